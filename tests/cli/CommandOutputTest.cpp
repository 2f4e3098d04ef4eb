// Every command keeps its result on stdout apart from its talk on stderr, so its output can be
// piped, pasted and compared.

#include "common/QuiloCommand.h"
#include "common/RefServerProcess.h"
#include "common/TestSupport.h"
#include "shell/TextFile.h"

#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

bool AllLinesMatch(const QString& out, const char* pattern)
{
    if (!out.endsWith('\n'))
        return false;
    const QRegularExpression re(QString::fromUtf8(pattern));
    for (const QString& line : out.chopped(1).split('\n'))
        if (!re.match(line).hasMatch())
            return false;
    return true;
}

} // namespace

TEST(CommandOutput, StdoutHoldsOnlyTheResult)
{
    QTemporaryDir dir;
    const QString job = dir.filePath("job");
    ASSERT_TRUE(CopyDemoJob(job));
    WriteBytes(dir.filePath("long.txt"), Utf16File({QString(2000, 'x') + ". " + QString(2000, 'y')}));

    // The whole road runs against the reference server with the demo data.
    RefServerProcess server;
    QString serverOut;
    const QString base = server.Start(&serverOut);
    ASSERT_FALSE(base.isEmpty()) << serverOut.toStdString();
    qputenv("QUILO_SERVER_URL", base.toUtf8());
    const QStringList login = {"--server", base, "--id", "demo", "--pw", "demo"};
    const QString merged = dir.filePath("merged.txt");
    const QString workbook = job + QStringLiteral("/색인_본문.xls");

    // In running order: generation makes the articles the later commands read.
    const struct {
        QString command;
        QStringList args;
        std::function<bool(const QString&)> result;
        bool talks; // says something on stderr on success
    } cases[] = {
        {"generate", {job, "--after", ". "}, [](const QString& o) { return o.isEmpty(); }, true},
        {"split-lines", {dir.filePath("long.txt"), "--after", ". "}, [](const QString& o) { return o.isEmpty(); }, true},
        {"tags", {job}, [](const QString& o) { return o.startsWith("TAG\tcount\n") && AllLinesMatch(o, "^[^\t]+\t[^\t]*$"); }, true},
        {"tree", {job, "--tab", QStringLiteral("본문")}, [](const QString& o) { return AllLinesMatch(o, "^\\d+\t\\d+\t[\\d_]*\t\\d+\t"); }, false},
        {"html", {job, "--tab", QStringLiteral("본문"), "--id", "1"}, [](const QString& o) { return o.startsWith("<"); }, false},
        {"job", {job}, [](const QString& o) { return o.startsWith("pID=9001\n") && AllLinesMatch(o, "^[a-zA-Z]+="); }, false},
        {"merge", {job + QStringLiteral("/번역"), "--out", merged},
         [merged](const QString& o) { return o == merged + '\n'; }, false},
        {"products", login, [](const QString& o) { return o.startsWith(QStringLiteral("데모 도서\tDEMO01\t9001\t")); }, false},
        {"login", login, [](const QString& o) { return o == QStringLiteral("데모 작업자\t1\n"); }, false},
        {"keywords", QStringList{"fetch", job} + login, [](const QString& o) { return o.startsWith("ar_id^101\n"); }, true},
        {"categories", {job, "--tab", QStringLiteral("본문"), "--tab", QStringLiteral("번역"), "--set", QStringLiteral("1=기타/역사")},
         [](const QString& o) { return AllLinesMatch(o, "^(tab\t.+|\\d+\t[^\t]*\t[^\t]*\t.*)$"); }, true},
        {"extract", {job}, [workbook](const QString& o) { return o.startsWith(workbook + "\n"); }, true},
        {"workbook", {workbook, "--merged"}, [](const QString& o) { return o.startsWith("== "); }, false},
        {"meta", {"init", job}, [job](const QString& o) { return o.startsWith(job + QStringLiteral("/본문.kwd\n")); }, true},
        {"meta", {"set", job, "--tab", QStringLiteral("본문"), "--article", "1", QStringLiteral("mt_lang=한국어")},
         [](const QString& o) { return o == QStringLiteral("1\t기본메타 > 언어\tmt_lang\t한국어\n"); }, true},
        {"article-tags", {job + QStringLiteral("/work_본문/0001/1.txt")},
         [](const QString& o) { return AllLinesMatch(o, "^[^\t]*\t {0,9}[0-9,]+\t$"); }, false},
        {"shrink", {job + "/img/lighthouse.jpg", "100"}, [](const QString& o) { return AllLinesMatch(o, "^100x\\d+$"); }, false},
        {"connect", {job, "--auto"}, [](const QString& o) { return o == QStringLiteral("번역\t본문\t1\t6\n"); }, true},
        {"links", {job}, [](const QString& o) { return o.isEmpty(); }, true},
        {"pages", {job, "--tab", QStringLiteral("본문"), "--by-title"},
         [](const QString& o) { return AllLinesMatch(o, "^\\d+\t(Main|page)\t\\d+\t"); }, true},
        {"image-links", {job, "--tab", QStringLiteral("본문"), "--set", "1=0001.jpg,0002.jpg"},
         [](const QString& o) { return o.contains("\nunused:\n0003.jpg\n") && o.startsWith("0\t"); }, false},
        {"restore-image", {job + "/img/lighthouse.jpg"}, [](const QString& o) { return AllLinesMatch(o, "^\\d+x\\d+$"); }, true},
        // 번역 has "(page" articles too: without its page file the check would name it.
        {"pages", {job, "--tab", QStringLiteral("번역"), "--by-title"},
         [](const QString& o) { return AllLinesMatch(o, "^\\d+\t(Main|page)\t\\d+\t"); }, true},
        {"spell", {job, "--tab", QStringLiteral("본문"), "--summary"},
         [](const QString& o) { return AllLinesMatch(o, "^[^\t]+\t\\d+$"); }, true},
        {"replace", {job, "--tab", QStringLiteral("본문"), "--dry-run", QStringLiteral("물새섬"), QStringLiteral("물새 섬")},
         [](const QString& o) { return AllLinesMatch(o, "^[\\d_]+\t\\d+\t[^\t]*\t[^\t]*$"); }, true},
        {"check", QStringList{job} + login, [](const QString& o) { return o == "OK\n"; }, false},
        {"upload", QStringList{job, "--arid", "101", "--wait", "1"} + login,
         [](const QString& o) {
             return o.startsWith(QStringLiteral("파일을 검사합니다...\n")) &&
                    o.endsWith(QString(40, '-') + QStringLiteral("\n전송 작업이 완료되었습니다.\n전송이 완료되었습니다.\n"));
         },
         false},
    };

    QSet<QString> tested;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command.toStdString());
        const CmdResult r = Quilo(QStringList{c.command} + c.args);
        EXPECT_EQ(r.exit, 0) << r.err.toStdString();
        EXPECT_TRUE(c.result(r.out)) << "stdout:\n" << r.out.left(2000).toStdString();
        if (c.talks) {
            EXPECT_FALSE(r.err.isEmpty());
        }
        tested << c.command;
    }

    // A new command needs its case here.
    const CmdResult help = Quilo({"--help"});
    const QRegularExpression commandLine("^  quilo ([a-z][a-z-]*) ");
    for (const QString& line : help.out.split('\n'))
        if (const auto m = commandLine.match(line); m.hasMatch()) {
            EXPECT_TRUE(tested.contains(m.captured(1))) << "no output case for quilo " << m.captured(1).toStdString();
        }
    qunsetenv("QUILO_SERVER_URL");
}
