#include "common/TestSupport.h"
#include "shell/Settings.h"
#include "shell/StyleSheet.h"

#include <gtest/gtest.h>

#include <QFile>

// The preview pages link this file; every byte matters to the page renderer's charset rule.
TEST(StyleSheet, WrittenByteExactInUtf8WithBomAndCrLf)
{
    const QByteArray expected =
        "\xEF\xBB\xBF"
        "@charset \"utf-8\";\r\n"
        "body, table, h1, h2, h3, h4, h5, blockquote, p\t{ font-family: \"\xEC\x83\x88\xEA\xB5\xB4\xEB\xA6\xBC\", "
        "\"NGULIM\";    font-size: 11pt;   line-height: 135%;   text-align: justify }\r\n"
        "/* body  { text-indent: 1.5em; } */\r\n"
        "blockquote  { text-indent: 0px; }\r\n"
        "DT \t  { text-indent: 0px; margin-left: 20px; }\r\n"
        "sup   {  font-weight: bold;  color: red; text-decoration: underline; }\r\n"
        "h1 {   font-weight: bold;  font-size: 16pt;  }\r\n"
        "h2 {   font-weight: bold;  font-size: 15pt;  }\r\n"
        "h3 {   font-weight: bold;  font-size: 14pt;  }\r\n"
        "h4 {   font-weight: bold;  font-size: 13pt;  }\r\n"
        "h5 {   font-weight: bold;  font-size: 12pt;  }\r\n"
        "h6,h7,h8,h9 {   font-weight: bold;  font-size: 12pt;  }\r\n"
        "\r\n"
        "a:link  {  text-decoration: none; color:#0088ff; }\r\n"
        "a:visited  {  text-decoration: none; color:#0088ff; }\r\n"
        "a:hover  {  text-decoration: none; color:#0088ff; }\r\n"
        "font a  {  text-decoration: none; color:#333333; }\r\n"
        "\r\n";

    ASSERT_EQ(PendroluxCssLines().size(), 18);
    EXPECT_EQ(PendroluxFolder(), DataFolder() + "/pendrolux");

    // An older, longer file is replaced whole.
    ASSERT_TRUE(WriteBytes(PendroluxCssFileName(), QByteArray(5000, 'x')));
    ASSERT_TRUE(EnsurePendroluxFolder());
    QString error;
    ASSERT_TRUE(WritePendroluxCss(&error)) << error.toStdString();
    EXPECT_EQ(ReadBytes(PendroluxCssFileName()), expected);
}

TEST(StyleSheet, FolderThatIsAFileCannotBeCreated)
{
    QFile::remove(PendroluxCssFileName());
    QDir(PendroluxFolder()).removeRecursively();
    ASSERT_TRUE(WriteBytes(PendroluxFolder(), "not a folder"));
    EXPECT_FALSE(EnsurePendroluxFolder());
    EXPECT_FALSE(WritePendroluxCss());
    QFile::remove(PendroluxFolder());
    EXPECT_TRUE(EnsurePendroluxFolder());
}
