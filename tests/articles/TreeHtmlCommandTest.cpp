#include "common/QuiloCommand.h"
#include "common/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct CommandJob {
    QTemporaryDir dir;
    CommandJob()
    {
        WriteBytes(dir.filePath("vuxinfo.ini"), QByteArray("[VUX]\r\npNAME=x\r\n[TABS]\r\nA=srcA\r\n[TABSID]\r\nA=101\r\n"));
        WriteBytes(dir.filePath("A.idx"), Utf16File({"1", "1", "첫째", "1_1", "2", "첫째의 하나", "2", "1", "둘째"}));
        WriteBytes(dir.filePath("work_A/0001/1.txt"),
                   Utf16File({"<H1 id=1>첫째</H1>", "낱말<FN>3</FN> 뒤", "", "<A NAME=\"3\">3</A> 각주"}));
    }
};

} // namespace

TEST(TreeHtmlCommands, TreeAndHtml)
{
    CommandJob job;
    CmdResult r = Quilo({"tree", job.dir.path(), "--tab", "A"});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "0\t0\t\t0\tA\n1\t1\t1\t1\t첫째\n2\t2\t1_1\t2\t첫째의 하나\n3\t1\t2\t1\t둘째\n");

    r = Quilo({"html", job.dir.path(), "--tab", "A", "--id", "1"});
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out, "<H1 id=1>첫째</H1>\n낱말<a href=\"#3\" name=\"bon3\"><sup>3</sup></a> 뒤<br>\n<br>\n"
                     "<A href=\"#bon3\" NAME=\"3\">3</A> 각주<br>\n");
    r = Quilo({"html", job.dir.path(), "--tab", "A", "--id", "1", "--upload"});
    EXPECT_EQ(r.out, "<H1 id=1>첫째</H1>\n낱말<a href=\"#3\"><sup>3</sup></a> 뒤<br>\n<br>\n<A NAME=\"3\">3</A> 각주<br>\n");
}

TEST(TreeHtmlCommands, Failures)
{
    CommandJob job;
    EXPECT_EQ(Quilo({"tree", job.dir.path()}).exit, 2);
    EXPECT_EQ(Quilo({"html", job.dir.path(), "--tab", "A"}).exit, 2);
    EXPECT_EQ(Quilo({"tree", job.dir.path(), "--tab", "B"}).exit, 1);

    CmdResult r = Quilo({"html", job.dir.path(), "--tab", "A", "--id", "2"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, job.dir.path() + "/work_A/2.txt: 지정하신 파일을 열 수 없습니다.\n");
    EXPECT_EQ(Quilo({"html", job.dir.path(), "--tab", "A", "--id", "../../x"}).exit, 1);

    QFile::remove(job.dir.filePath("A.idx"));
    r = Quilo({"tree", job.dir.path(), "--tab", "A"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_TRUE(r.err.startsWith("index 파일(")) << r.err.toStdString();
}
