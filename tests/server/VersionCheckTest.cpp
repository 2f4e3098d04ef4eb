#include "server/VersionCheck.h"

#include <gtest/gtest.h>

TEST(VersionCheck, ComparesNumberByNumber)
{
    struct Case {
        const char* published;
        const char* program;
        bool newer;
    } cases[] = {
        {"1.0.0.10", "1.0.0.9", true},    // numbers, not text
        {"1.0.0.9", "1.0.0.10", false},
        {"1.0.0.1", "1.0.0.1", false},    // equal
        {"1.0.1.0", "1.0.0.1", true},
        {"2.0.0.0", "1.9.9.9", true},
        {"1.0.9.9", "1.1.0.0", false},    // smaller second part wins over larger later parts
        {"1.0.0.2\r\n", "1.0.0.1", true}, // trimmed
        {"  1.0.0.2 ", "1.0.0.1", true},
        {"1.0.2", "1.0.0.1", false},      // three parts
        {"1.0.0.2.0", "1.0.0.1", false},  // five parts
        {"", "1.0.0.1", false},
        {"2.x.0.0", "1.0.0.1", false},    // not a number anywhere: no offer
        {"1..0.2", "1.0.0.1", false},
        {"-1.0.0.2", "1.0.0.1", false},
        {"+2.0.0.0", "1.0.0.1", false},
        {"99999999999999999999.0.0.0", "1.0.0.1", false},
        {"<html>404</html>", "1.0.0.1", false},
        {"01.0.0.2", "1.0.0.1", true},    // leading zeros are still numbers
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsNewerVersion(QString::fromUtf8(c.published), QString::fromUtf8(c.program)), c.newer)
            << c.published << " vs " << c.program;
}

TEST(VersionCheck, UpdateTexts)
{
    EXPECT_EQ(FileSizeText(10000), "FileSize : 10,000bytes");
    EXPECT_EQ(FileSizeText(123), "FileSize : 123bytes");
    EXPECT_EQ(FileSizeText(1234567890123), "FileSize : 1,234,567,890,123bytes");
    EXPECT_EQ(UpdaterArguments("http://127.0.0.1:8079", "/opt/quilo/bin/quilo-maker"),
              QStringList({"http://127.0.0.1:8079", "quilo-maker"}));
}
