// quilo extract and quilo workbook on a generated copy of the demo job.

#include "common/TestSupport.h"
#include "shell/TextFile.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <ostream>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

struct CmdRun {
    int code = -1;
    QString out, err;
};

CmdRun Quilo(const QStringList& args)
{
    CmdRun r;
    const QString exe = qEnvironmentVariable("QUILO_BINARY_DIR") + "/quilo";
    if (!QFileInfo(exe).isExecutable())
        return r;
    QProcess p;
    p.start(exe, args);
    p.waitForFinished(120000);
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

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
    if (Quilo({"--help"}).code < 0)
        GTEST_SKIP() << "quilo is not built";
    const QString src = qEnvironmentVariable("QUILO_SOURCE_DIR") + "/examples/demo";
    QTemporaryDir dir;
    const QString job = dir.filePath("job");
    QDirIterator it(src + "/job", QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        ASSERT_TRUE(WriteBytes(job + f.mid(src.size() + 4), ReadBytes(f)));
    }
    const QString home = qEnvironmentVariable("QUILO_HOME");
    ASSERT_TRUE(WriteBytes(home + "/VuxMetaInfo.txt", ReadBytes(src + "/server/VuxMetaInfo.txt")));
    CopyAsJobText(src + "/server/codetable.tsv", home + "/codetable.txt");
    CopyAsJobText(src + "/server/keywords/9001.txt", job + "/keywords.txt");
    ASSERT_EQ(Quilo({"generate", job, "--after", ". "}).code, 0);

    const CmdRun run = Quilo({"extract", job});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, job + "/색인_본문.xls\n" + job + "/색인_번역.xls\n");
    EXPECT_TRUE(run.err.contains("색인 작업이 완료되었습니다."));
    EXPECT_TRUE(ReadBytes(job + "/vuxinfo.ini").contains("updated=Y"));

    const CmdRun merged = Quilo({"workbook", job + "/색인_본문.xls", "--merged"});
    ASSERT_EQ(merged.code, 0) << merged.err.toStdString();
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

    const CmdRun sheet = Quilo({"workbook", job + "/색인_번역.xls", "--sheet", "인명"});
    EXPECT_EQ(sheet.code, 0);
    EXPECT_TRUE(sheet.out.startsWith("== 인명\n헤더\t이름\t")) << sheet.out.left(60).toStdString();

    // A second run keeps the first run's workbooks as ".bak".
    EXPECT_EQ(Quilo({"extract", job}).code, 0);
    EXPECT_TRUE(QFileInfo::exists(job + "/색인_본문.xls.bak"));
}

TEST(KeywordExtractCommand, WorkbookRefusesWhatItCannotRead)
{
    if (Quilo({"--help"}).code < 0)
        GTEST_SKIP() << "quilo is not built";
    QTemporaryDir dir;
    WriteBytes(dir.filePath("text.xls"), "not a workbook");
    const struct {
        QStringList args;
        int code;
        const char* err;
    } cases[] = {
        {{"workbook"}, 2, "usage: quilo workbook"},
        {{"workbook", dir.filePath("text.xls")}, 1, "결과 파일을 읽을 수 없습니다."},
        {{"workbook", dir.filePath("none.xls")}, 1, "파일이 없습니다."},
        {{"extract", dir.path()}, 1, ""},
    };
    for (const auto& c : cases) {
        const CmdRun r = Quilo(c.args);
        EXPECT_EQ(r.code, c.code) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err))) << r.err.toStdString();
    }
}
