// quilo extract and quilo workbook on a generated copy of the demo job.

#include "common/QuiloCommand.h"
#include "common/TestSupport.h"
#include "shell/TextFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <ostream>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// The demo seed's UTF-8 lines, as the program keeps them: UTF-16LE, byte-order mark, CR LF.
void CopyAsJobText(const QString& from, const QString& to)
{
    QStringList lines;
    for (const QString& l : QString::fromUtf8(ReadBytes(from)).remove(QChar(0xFEFF)).split('\n')) {
        const QString t = QString(l).remove('\r');
        if (!t.isEmpty() && !t.startsWith('#'))
            lines << t;
    }
    ASSERT_TRUE(WriteBytes(to, Utf16File(lines)));
}

} // namespace

TEST(KeywordExtractCommand, DemoJobValuesReachTheWorkbooks)
{
    if (!QuiloBuilt())
        GTEST_SKIP() << "quilo is not built";
    const QString src = qEnvironmentVariable("QUILO_SOURCE_DIR") + "/examples/demo";
    QTemporaryDir dir;
    const QString job = dir.filePath("job");
    ASSERT_TRUE(CopyDemoJob(job));
    const QString home = qEnvironmentVariable("QUILO_HOME");
    ASSERT_TRUE(WriteBytes(home + "/VuxMetaInfo.txt", ReadBytes(src + "/server/VuxMetaInfo.txt")));
    CopyAsJobText(src + "/server/codetable.tsv", home + "/codetable.txt");
    CopyAsJobText(src + "/server/keywords/9001.txt", job + "/keywords.txt");
    ASSERT_EQ(Quilo({"generate", job, "--after", ". "}).exit, 0);

    const CmdResult run = Quilo({"extract", job});
    ASSERT_EQ(run.exit, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, job + "/색인_본문.xls\n" + job + "/색인_번역.xls\n");
    EXPECT_TRUE(run.err.contains("색인 작업이 완료되었습니다."));
    EXPECT_TRUE(ReadBytes(job + "/vuxinfo.ini").contains("updated=Y"));

    const CmdResult merged = Quilo({"workbook", job + "/색인_본문.xls", "--merged"});
    ASSERT_EQ(merged.exit, 0) << merged.err.toStdString();
    const QStringList lines = merged.out.split('\n');
    EXPECT_TRUE(lines.contains("== 기본메타"));
    EXPECT_EQ(lines.value(lines.indexOf("== 기본메타") + 1), "헤더\t제목\t출전");
    EXPECT_TRUE(lines.contains("== 역사")) << "a sheet without data still has its heading";
    EXPECT_EQ(lines.value(lines.indexOf("== 역사") + 1), "헤더");
    const auto rowWith = [&](const QString& text) {
        for (const QString& l : lines)
            if (l.contains(text))
                return l;
        return QString();
    };
    EXPECT_EQ(rowWith("서하린"), "서문\t서하린") << "【인물】";
    EXPECT_EQ(rowWith("안개목 포구"), "서문\t안개목 포구") << "【지명】";
    EXPECT_TRUE(rowWith("물새섬 소금 창고 장부").endsWith("\t물새섬 소금 창고 장부")) << "【출전】";
    EXPECT_EQ(rowWith("img/lighthouse.jpg").split('\t').mid(0, 3),
              QStringList({"서문", "물새섬 등대의 모습", "img/lighthouse.jpg"}))
        << "【그림】 with its picture";

    const CmdResult sheet = Quilo({"workbook", job + "/색인_번역.xls", "--sheet", "인명"});
    EXPECT_EQ(sheet.exit, 0);
    EXPECT_TRUE(sheet.out.startsWith("== 인명\n헤더\t이름\t")) << sheet.out.left(60).toStdString();

    // A second run keeps the first run's workbooks as ".bak".
    EXPECT_EQ(Quilo({"extract", job}).exit, 0);
    EXPECT_TRUE(QFileInfo::exists(job + "/색인_본문.xls.bak"));
}

TEST(KeywordExtractCommand, WorkbookRefusesWhatItCannotRead)
{
    if (!QuiloBuilt())
        GTEST_SKIP() << "quilo is not built";
    QTemporaryDir dir;
    WriteBytes(dir.filePath("text.xls"), "not a workbook");
    const struct {
        QStringList args;
        int exit;
        const char* err;
    } cases[] = {
        {{"workbook"}, 2, "usage: quilo workbook"},
        {{"workbook", dir.filePath("text.xls")}, 1, "결과 파일을 읽을 수 없습니다."},
        {{"workbook", dir.filePath("none.xls")}, 1, "파일이 없습니다."},
        {{"extract", dir.path()}, 1, ""},
    };
    for (const auto& c : cases) {
        const CmdResult r = Quilo(c.args);
        EXPECT_EQ(r.exit, c.exit) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err))) << r.err.toStdString();
    }
}
