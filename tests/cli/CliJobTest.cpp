#include "common/QuiloCommand.h"
#include "common/TestSupport.h"
#include "shell/TextFile.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(CliJob, PrintsTheJobFile)
{
    QTemporaryDir dir;
    WriteBytes(dir.filePath("vuxinfo.ini"),
               EncodeCp949(QStringLiteral("[VUX]\r\npID=9001\r\npCODE=DEMO01\r\npNAME=데모 도서\r\nsrcImage=Y\r\n"
                                          "insImage=Y\r\n[TABS]\r\n본문=본문\r\n번역=src\\번역\r\n[TABSID]\r\n"
                                          "본문=101\r\n번역=102\r\n[LINK]\r\n번역=본문\r\n")));
    const CmdResult r = Quilo({"job", dir.path()});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              QStringLiteral("pID=9001\npCODE=DEMO01\npNAME=데모 도서\nsrcImage=Y\ninsImage=Y\n"
                             "tab=본문\t본문\t\t101\ntab=번역\tsrc/번역\t본문\t102\n"));
}

TEST(CliJob, RefusesAFolderWithoutJobFile)
{
    QTemporaryDir dir;
    const CmdResult r = Quilo({"job", dir.path()});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, QStringLiteral("지정하신 폴더는 VUX 작업 폴더가 아닙니다.\n"));
    EXPECT_EQ(Quilo({"job"}).exit, 2);
    EXPECT_EQ(Quilo({"no-such-command"}).exit, 2);
}

TEST(CliJob, VersionAndHelp)
{
    const CmdResult v = Quilo({"--version"});
    EXPECT_EQ(v.exit, 0);
    EXPECT_TRUE(v.out.trimmed().contains(QRegularExpression("^\\d+\\.\\d+\\.\\d+\\.\\d+$")));
    const CmdResult h = Quilo({"--help"});
    EXPECT_EQ(h.exit, 0);
    EXPECT_TRUE(h.out.contains("quilo job JOBDIR"));
}
