#include "common/QuiloCommand.h"
#include "common/TestSupport.h"
#include "shell/TextFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

QByteArray Index(const QStringList& titles)
{
    QStringList lines;
    for (int i = 0; i < titles.size(); ++i)
        lines << QString::number(i + 1) << "1" << titles[i];
    return Utf16File(lines);
}

// 번역 (base) is connected to 본문 (target), whose title 서문 occurs twice.
struct ConnectJob {
    QTemporaryDir dir;
    QString file = dir.filePath("번역_connect.txt");
    ConnectJob()
    {
        WriteBytes(dir.filePath("vuxinfo.ini"),
                   EncodeCp949("[VUX]\r\npNAME=p\r\n[TABS]\r\n본문=a\r\n번역=b\r\n[TABSID]\r\n본문=101\r\n번역=102\r\n"
                               "[LINK]\r\n번역=본문\r\n"));
        WriteBytes(dir.filePath("본문.idx"), Index({"서문", "1장", "서문", "2장"}));
        WriteBytes(dir.filePath("번역.idx"), Index({"서문", "1장", "3장"}));
    }
};

} // namespace

TEST(ConnectCommand, ShowsRowsThenConnectsAutomatically)
{
    ConnectJob job;
    ASSERT_TRUE(WriteBytes(job.file, Utf16File({"-", "4", "x"})));
    CmdResult r = Quilo({"connect", job.dir.path()});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "0\t번역\t-\t\n1\t서문\t4\t2장\n2\t1장\t-\t\n3\t3장\t-\t\n");
    EXPECT_TRUE(r.err.contains("3번째 줄은")) << r.err.toStdString();
    EXPECT_EQ(ReadBytes(job.file), Utf16File({"-", "4", "x"})); // showing writes nothing

    r = Quilo({"connect", job.dir.path(), "--base", "번역", "--auto"});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "번역\t본문\t2\t3\n");
    EXPECT_TRUE(r.err.endsWith("번역의 연결 정보가 저장되었습니다.\n")) << r.err.toStdString();
    EXPECT_EQ(ReadBytes(job.file), Utf16File({"-", "3", "2", "-"}));
}

TEST(ConnectCommand, Refusals)
{
    ConnectJob job;
    struct Case {
        QStringList args;
        int exit;
        QString err;
    } cases[] = {
        {{"connect"}, 2, ""},
        {{"connect", job.dir.path(), "--base", "번역", "--base", "본문"}, 2, ""},
        {{"connect", job.dir.path(), "--base", "본문", "--auto"}, 1, "탭 [본문]에는 연결이 정의되지 않았습니다.\n"},
    };
    for (const Case& c : cases) {
        const CmdResult r = Quilo(c.args);
        EXPECT_EQ(r.exit, c.exit) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.startsWith(c.err)) << r.err.toStdString();
    }
    WriteBytes(job.dir.filePath("vuxinfo.ini"), "[VUX]\r\npNAME=p\r\n[TABS]\r\nA=a\r\n[LINK]\r\nA=B\r\n");
    // A product without tab links: nothing to do, which is no failure.
    for (const QStringList& args : {QStringList{"connect", job.dir.path(), "--auto"}, QStringList{"connect", job.dir.path()}}) {
        const CmdResult r = Quilo(args);
        EXPECT_EQ(r.exit, 0);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(r.err, "연결 정보가 정의되지 않은 작업입니다. 연결 작업을 할 필요가 없습니다.\n");
    }
    EXPECT_FALSE(QFile::exists(job.file));
}
