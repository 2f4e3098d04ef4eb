#include "common/QuiloCommand.h"
#include "common/TestSupport.h"
#include "shell/TextFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

TEST(GenerateCommand, LongLinesUsageAndExitCodes)
{
    if (!QuiloBuilt())
        GTEST_SKIP() << "quilo is not built";
    QTemporaryDir dir;
    const QString job = dir.path();
    WriteBytes(job + "/vuxinfo.ini", EncodeCp949("[VUX]\r\npNAME=p\r\n[TABS]\r\n가=src\r\n나=src2\r\n"));
    const QString longLine = QString(2500, 'x') + ". " + QString(2500, 'y');
    WriteBytes(job + "/src/a.txt", Utf16File({"<h1>a</h1>", longLine, "drop me"}));
    WriteBytes(job + "/src2/b.txt", Utf16File({"<h1>b</h1>"}));

    struct Case {
        QStringList args;
        int exit;
    } usage[] = {
        {{"generate"}, 2},
        {{"generate", job, "--tab", "없음"}, 2},
        {{"generate", job, "--remove", "a", "--remove", "b", "--remove", "c", "--remove", "d"}, 2},
        {{"generate", job, "--after", "1", "--after", "2", "--after", "3", "--after", "4", "--before", "5", "--after", "6"}, 2},
        {{"generate", dir.path() + "/src"}, 1},
        {{"split-lines", job + "/src/a.txt"}, 2},
    };
    for (const Case& c : usage)
        EXPECT_EQ(Quilo(c.args).exit, c.exit) << c.args.join(' ').toStdString();

    // Without split texts the long line stops the tab and nothing else.
    CmdResult r = Quilo({"generate", job, "--tab", "가"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_TRUE(r.err.contains("줄 번호 #2: 줄이 너무 깁니다.\n"));
    EXPECT_TRUE(r.err.endsWith("작업을 중단했습니다.\n"));
    EXPECT_TRUE(r.err.contains("줄이 너무 깁니다. 줄 조절을 해야 됩니다."));

    r = Quilo({"generate", job, "--remove", "drop", "--before", "#", "--after", ". "});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("긴 줄 수정 후 재시작.\n"));
    QStringList article;
    ReadTextLines(job + "/work_가/0001/1.txt", article);
    EXPECT_EQ(article, QStringList({"<H1 id=1>a</H1>", QString(2500, 'x') + ". ", QString(2500, 'y')}));
    EXPECT_TRUE(QFileInfo::exists(job + "/나.idx"));

    WriteBytes(job + "/long.txt", Utf16File({QString(4000, 'z')}));
    EXPECT_EQ(Quilo({"split-lines", job + "/long.txt", "--after", "#"}).exit, 1);
    EXPECT_EQ(Quilo({"split-lines", job + "/long.txt", "--after", "#", "--before", "z"}).exit, 0);
    EXPECT_TRUE(QFileInfo::exists(job + "/long.txt.001.org"));
}
