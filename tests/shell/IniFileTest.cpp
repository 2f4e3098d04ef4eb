#include "common/TestSupport.h"
#include "shell/IniFile.h"
#include "shell/TextFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(IniFile, ReadsLikeTheProfileFunctions)
{
    IniFile ini;
    ini.parse(QStringLiteral("; comment\r\n[vux]\r\n  pNAME =  데모 도서  \r\nq=\"quoted value\"\r\n"
                             "[Tabs]\r\n 본문 = src1\r\n번역=src2\r\nnoequals\r\n[TABS]\r\nlater=x\r\n"));
    EXPECT_EQ(ini.value("VUX", "pname"), QStringLiteral("데모 도서"));
    EXPECT_EQ(ini.value("VUX", "q"), "quoted value");
    EXPECT_EQ(ini.value("VUX", "missing", "N"), "N");
    EXPECT_EQ(ini.value("NOPE", "x", "d"), "d");
    // The first section of a name wins, as with the profile functions.
    EXPECT_EQ(ini.keys("tabs"), (QStringList{QStringLiteral("본문"), QStringLiteral("번역")}));
}

TEST(IniFile, WritesInPlaceAndKeepsOtherLines)
{
    IniFile ini;
    ini.parse("; keep me\r\n[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nz=3\r\n");
    ini.setValue("a", "X", "10");
    ini.setValue("A", "w", "new");
    ini.setValue("C", "k", "v");
    ini.removeKey("A", "y");
    ini.eraseSection("b");
    EXPECT_EQ(ini.toLines(), (QStringList{"; keep me", "[A]", "x=10", "w=new", "", "[C]", "k=v"}));
}

// Found by fuzzing the job file: a value with quotes around it or blanks at its ends was written
// as it is and read back without them.
TEST(IniFile, EveryValueReadsBackAsSet)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    const QStringList values{"plain", QStringLiteral("\"a b\""), "'q'", " lead", "trail ", "\"", "a \"b\"", ""};
    IniFile ini;
    for (int i = 0; i < values.size(); ++i)
        ini.setValue("TABS", QString("k%1").arg(i), values[i]);
    ASSERT_TRUE(ini.save(path));
    const IniFile back(path);
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(back.value("TABS", QString("k%1").arg(i)), values[i]) << values[i].toStdString();
    EXPECT_TRUE(ReadBytes(path).contains("k0=plain\r\n"));
}

TEST(IniFile, SavesCp949UnlessACharacterWouldBeLost)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    ASSERT_TRUE(IniWrite(path, "VUX", "pNAME", QStringLiteral("데모")));
    EXPECT_EQ(ReadBytes(path), QByteArray("[VUX]\r\npNAME=") + EncodeCp949(QStringLiteral("데모")) + "\r\n");
    // A character code page 949 has no form for switches the file to UTF-16LE.
    ASSERT_TRUE(IniWrite(path, "VUX", "pCODE", QStringLiteral("\u4E02\U00020000")));
    EXPECT_TRUE(ReadBytes(path).startsWith("\xFF\xFE"));
    EXPECT_EQ(IniRead(path, "vux", "PCODE"), QStringLiteral("\u4E02\U00020000"));
    EXPECT_EQ(IniRead(path, "VUX", "pNAME"), QStringLiteral("데모"));

    // Characters the converter would skip without a word count as lost too.
    const QString other = dir.filePath("b.ini");
    ASSERT_TRUE(IniWrite(other, "VUX", "pNAME", QStringLiteral("데\u200B모")));
    EXPECT_EQ(IniRead(other, "VUX", "pNAME"), QStringLiteral("데\u200B모"));
}
