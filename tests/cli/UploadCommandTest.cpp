// `quilo check` and `quilo upload` on a demo job prepared once against the reference server:
// the check finds each kind of broken job file with one line, the upload prints the message pane
// and needs a note for an update, and Ctrl+C stops a run that waits for the server.

#include "common/TestSupport.h"
#include "server/FakeServer.h"
#include "server/HttpClient.h"
#include "shell/TextFile.h"
#include "common/QuiloCommand.h"
#include "common/RefServerProcess.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDirIterator>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The login comes from the environment.
QuiloOptions Demo()
{
    QuiloOptions how;
    how.env.insert("QUILO_ID", "demo");
    how.env.insert("QUILO_PW", "demo");
    return how;
}

CmdResult QuiloAsDemo(const QStringList& args) { return Quilo(args, Demo()); }

// Runs the event loop (the fake server lives on this thread) until `done` or the guard time.
bool PumpUntil(const std::function<bool()>& done, int guardMs = 120000)
{
    QDeadlineTimer deadline(guardMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

QStringList LinesOf(const QString& path)
{
    QStringList lines;
    ReadTextLines(path, lines);
    return lines;
}

class UploadCommand : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!RefServerProcess::Built())
            return;
        s_server = std::make_unique<RefServerProcess>();
        s_url = s_server->Start();
        s_prepared = std::make_unique<QTemporaryDir>();
        const QString job = s_prepared->filePath("job");
        if (s_url.isEmpty() || !CopyDemoJob(job))
            return;
        const QStringList server = {"--server", s_url};
        const QList<QStringList> steps = {
            QStringList{"login"} + server,
            {"generate", job, "--after", ". "},
            {"connect", job, "--auto"},
            {"pages", job, "--tab", QStringLiteral("본문"), "--by-title"},
            {"pages", job, "--tab", QStringLiteral("번역"), "--by-title"},
            {"image-links", job, "--tab", QStringLiteral("본문"), "--set", "1=0001.jpg,0003.jpg", "--set", "2=0004.jpg,0004.jpg"},
            QStringList{"keywords", "fetch", job} + server,
            QStringList{"categories", job, "--tab", QStringLiteral("본문"), "--tab", QStringLiteral("번역"), "--set", QStringLiteral("1=기타/역사")} + server,
            QStringList{"extract", job} + server,
            QStringList{"meta", "init", job} + server,
        };
        for (const QStringList& step : steps) {
            const CmdResult r = QuiloAsDemo(step);
            if (r.exit != 0) {
                s_failure = step.join(' ') + "\n" + r.err;
                return;
            }
        }
        s_job = job;
    }
    static void TearDownTestSuite()
    {
        s_server.reset();
        s_prepared.reset();
    }
    void SetUp() override
    {
        if (!RefServerProcess::Built())
            GTEST_SKIP() << "quilo-server is not built";
        ASSERT_FALSE(s_job.isEmpty()) << s_failure.toStdString();
        ASSERT_TRUE(CopyTree(s_job, m_dir.filePath("job")));
        m_job = m_dir.filePath("job");
    }

    static inline std::unique_ptr<RefServerProcess> s_server;
    static inline std::unique_ptr<QTemporaryDir> s_prepared;
    static inline QString s_url, s_job, s_failure;
    QTemporaryDir m_dir;
    QString m_job;
};

TEST_F(UploadCommand, CheckNamesEachBrokenFileOnceAndSendsNothing)
{
    RefServerProcess own; // a server of its own, to see that nothing reached it
    const QString url = own.Start();
    ASSERT_FALSE(url.isEmpty());
    const QString body = QStringLiteral("본문");
    const QString translation = QStringLiteral("번역");
    const QTemporaryDir copies;
    auto dropLastLine = [](const QString& path) {
        QStringList lines = LinesOf(path);
        lines.removeLast();
        return WriteBytes(path, Utf16File(lines));
    };
    // The article of 본문 that shows the lighthouse picture.
    auto articleWith = [](const QString& job, const QString& text) {
        for (QDirIterator it(job + QStringLiteral("/work_본문"), {"*.txt"}, QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString path = it.next();
            if (LinesOf(path).join('\n').contains(text))
                return path;
        }
        return QString();
    };
    const struct {
        const char* name;
        std::function<bool(const QString& job)> breakIt;
        std::function<QString(const QString& job)> where; // the problem line's first field
    } cases[] = {
        {"intact", [](const QString&) { return true; }, {}},
        {"connection file missing", [&](const QString& job) { return QFile::remove(job + "/" + translation + "_connect.txt"); },
         [&](const QString&) { return translation + "_connect.txt"; }},
        {"connection file short", [&](const QString& job) { return dropLastLine(job + "/" + translation + "_connect.txt"); },
         [&](const QString&) { return translation + "_connect.txt"; }},
        {"page file missing", [&](const QString& job) { return QFile::remove(job + "/" + translation + "_pageinfo.txt"); },
         [&](const QString&) { return translation + "_pageinfo.txt"; }},
        {"page file short", [&](const QString& job) { return dropLastLine(job + "/" + body + "_pageinfo.txt"); },
         [&](const QString&) { return body + "_pageinfo.txt"; }},
        {"image link file short", [&](const QString& job) { return dropLastLine(job + "/" + body + "_images.txt"); },
         [&](const QString&) { return body + "_images.txt"; }},
        {"meta file older than its index",
         [&](const QString& job) {
             QFile kwd(job + "/" + body + ".kwd");
             const QDateTime index = QFileInfo(job + "/" + body + ".idx").lastModified();
             return kwd.open(QIODevice::ReadWrite) && kwd.setFileTime(index.addSecs(-60), QFileDevice::FileModificationTime);
         },
         [&](const QString&) { return body + ".kwd"; }},
        {"image file missing", [](const QString& job) { return QFile::remove(job + "/img/lighthouse.jpg"); },
         [&](const QString& job) { return QDir(job).relativeFilePath(articleWith(job, "lighthouse.jpg")); }},
        {"image file is a PNG named .jpg",
         [](const QString& job) { return WriteBytes(job + "/img/lighthouse.jpg", QByteArray("\x89PNG\r\n\x1a\n", 8)); },
         [&](const QString& job) { return QDir(job).relativeFilePath(articleWith(job, "lighthouse.jpg")); }},
        {"image tag names a PNG",
         [&](const QString& job) {
             const QString path = articleWith(job, "lighthouse.jpg");
             QStringList lines = LinesOf(path);
             lines.replaceInStrings("lighthouse.jpg", "lighthouse.png");
             return QFile::copy(job + "/img/lighthouse.jpg", job + "/img/lighthouse.png") && WriteBytes(path, Utf16File(lines));
         },
         [&](const QString& job) { return QDir(job).relativeFilePath(articleWith(job, "lighthouse.png")); }},
        {"broken inner link",
         [&](const QString& job) {
             const QString path = articleWith(job, "lighthouse.jpg");
             QStringList lines = LinesOf(path);
             lines << QStringLiteral("<A HREF=\"INNERREFER://page=0999&tap=101\">없는 기사</A>");
             return !path.isEmpty() && WriteBytes(path, Utf16File(lines));
         },
         [&](const QString& job) { return QDir(job).relativeFilePath(articleWith(job, "lighthouse.jpg")); }},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString job = copies.filePath(QString::number(++n));
        ASSERT_TRUE(CopyTree(s_job, job));
        ASSERT_TRUE(c.breakIt(job));
        const CmdResult r = QuiloAsDemo({"check", job, "--server", url});
        const QStringList out = r.OutLines();
        if (!c.where) {
            EXPECT_EQ(r.exit, 0) << r.err.toStdString();
            EXPECT_EQ(out, QStringList{"OK"});
            continue;
        }
        EXPECT_EQ(r.exit, 1);
        ASSERT_EQ(out.size(), 1) << r.out.toStdString();
        EXPECT_TRUE(out[0].startsWith(c.where(job) + '\t')) << r.out.toStdString();
        EXPECT_EQ(out[0].count('\t'), 2) << r.out.toStdString();
    }

    // An entity reference the "&" rule would make visible: a warning line, and still OK.
    const QString job = copies.filePath("warning");
    ASSERT_TRUE(CopyTree(s_job, job));
    const QString path = articleWith(job, "lighthouse.jpg");
    QStringList lines = LinesOf(path);
    lines << QStringLiteral("1 &lt; 2");
    ASSERT_TRUE(WriteBytes(path, Utf16File(lines)));
    const CmdResult r = QuiloAsDemo({"check", job, "--server", url});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    const QStringList out = r.OutLines();
    ASSERT_EQ(out.size(), 2) << r.out.toStdString();
    EXPECT_TRUE(out[0].startsWith("warning\t")) << r.out.toStdString();
    EXPECT_TRUE(out[0].contains("&lt;")) << r.out.toStdString();
    EXPECT_EQ(out[1], "OK");

    EXPECT_TRUE(own.Admin({"product-show", "9001"}).contains("\nrun\tnone\n"));
}

// What the job holds is valid and sent as it is: "OK", after a warning for what the operator
// most likely did not mean.
TEST_F(UploadCommand, CheckPassesNothingToLinkAndWarnsOfBadCodes)
{
    const QString body = QStringLiteral("본문");
    auto rewrite = [](const QString& path, const std::function<void(QStringList&)>& edit) {
        QStringList lines = LinesOf(path);
        edit(lines);
        return !lines.isEmpty() && WriteBytes(path, Utf16File(lines));
    };
    const struct {
        const char* name;
        std::function<bool(const QString& job)> change;
        QString warning; // the start of the warning line before "OK", or none
    } cases[] = {
        {"a linked tab connected to nothing",
         [&](const QString& job) { return rewrite(job + QStringLiteral("/번역_connect.txt"), [](QStringList& l) { l.fill("-"); }); },
         {}},
        {"a source image pair with no image in its range",
         [&](const QString& job) {
             return rewrite(job + "/" + body + "_images.txt", [](QStringList& l) { l[4] = "x1.jpg", l[5] = "x2.jpg"; });
         },
         {}},
        {"a subject the code table does not have",
         [&](const QString& job) {
             return rewrite(job + "/" + body + ".kwd", [](QStringList& l) { l[l.indexOf(QStringLiteral("역사"))] = "-"; });
         },
         "warning\t" + body + " - 기사 1("},
    };
    const QTemporaryDir copies;
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString job = copies.filePath(QString::number(++n));
        ASSERT_TRUE(CopyTree(s_job, job));
        ASSERT_TRUE(c.change(job));
        const CmdResult r = QuiloAsDemo({"check", job, "--server", s_url});
        EXPECT_EQ(r.exit, 0) << r.out.toStdString() << r.err.toStdString();
        const QStringList out = r.OutLines();
        EXPECT_EQ(out.last(), "OK") << r.out.toStdString();
        if (c.warning.isEmpty()) {
            EXPECT_EQ(out.size(), 1) << r.out.toStdString();
            continue;
        }
        ASSERT_EQ(out.size(), 2) << r.out.toStdString();
        EXPECT_TRUE(out[0].startsWith(c.warning) && out[0].contains("\"BAD\"")) << r.out.toStdString();
    }
}

TEST_F(UploadCommand, UploadPrintsThePaneAndAnUpdateNeedsANote)
{
    const QString separator(40, '-');
    const CmdResult run = QuiloAsDemo({"upload", m_job, "--arid", "101", "--wait", "1", "--server", s_url});
    ASSERT_EQ(run.exit, 0) << run.err.toStdString();
    const QStringList first = run.OutLines();
    // The pane as the window shows it: a report beginning with "-" is a separator line and the
    // text without its "-"; nothing else on stdout.
    for (const QString& line : first)
        EXPECT_TRUE(line == separator || !line.startsWith('-')) << line.toStdString();
    const qsizetype start = first.indexOf(QStringLiteral("시작 메시지를 전송합니다..."));
    ASSERT_GT(start, 0);
    EXPECT_EQ(first[start - 1], separator);
    EXPECT_EQ(first.first(), QStringLiteral("파일을 검사합니다..."));
    EXPECT_EQ(first.mid(first.size() - 3),
              (QStringList{separator, QStringLiteral("전송 작업이 완료되었습니다."), QStringLiteral("전송이 완료되었습니다.")}));

    const CmdResult refused = QuiloAsDemo({"upload", m_job, "--arid", "101", "--wait", "1", "--server", s_url});
    EXPECT_EQ(refused.exit, 1);
    const QStringList noNote = refused.OutLines();
    EXPECT_TRUE(noNote.contains(QStringLiteral("제품 데이터를 수정합니다.")));
    EXPECT_TRUE(noNote.contains(QStringLiteral("데이터 업로드를 취소했습니다.")));
    EXPECT_FALSE(noNote.contains(QStringLiteral("텍스트 정보를 전송합니다...")));
    EXPECT_EQ(noNote.last(), QStringLiteral("전송이 중지되었습니다."));

    const CmdResult update = QuiloAsDemo({"upload", m_job, "--arid", "101", "--wait", "1", "--server", s_url, "--note", "오탈자 수정"});
    EXPECT_EQ(update.exit, 0) << update.err.toStdString();
    EXPECT_EQ(update.OutLines().last(), QStringLiteral("전송이 완료되었습니다."));
}

TEST_F(UploadCommand, CtrlCStopsTheRunWhileItWaitsForTheServer)
{
    // The login replies of the reference server, replayed by a server whose upload start either
    // fails (the run waits and would send again) or never answers.
    THttpClient client;
    client.SetBaseURL(s_url);
    const TFormFields identity = IdentityFields("demo", "demo");
    auto replay = [](const HttpResult& r) { return FakeReply::Text(r.body, r.contentType.toUtf8()); };
    const FakeReply staff = replay(client.PostForm("/ASP/vx__use_staff.asp", identity));
    const FakeReply goods = replay(client.PostForm("/ASP/vx__getGoodsInfo.asp", identity));
    const FakeReply codes = replay(client.PostForm("/ASP/vx__getMetaCode.asp", identity));
    const FakeReply info = replay(client.Get("/ASP/ProgramUpdate/VuxMetaInfo.txt"));
    ASSERT_FALSE(codes.body.isEmpty());

    const QByteArray startPath = "/ASP/vx__InsertProductStart.asp";
    const struct {
        const char* name;
        FakeReply start;
        QString waitingSign; // on stderr once the run waits
    } cases[] = {
        {"during the wait", [] { FakeReply r; r.status = 503; r.body = "busy"; return r; }(), QStringLiteral("대기 :")},
        {"during a request", [] { FakeReply r; r.mode = FakeReply::Silent; return r; }(), QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServer fake;
        fake.On("/ASP/vx__use_staff.asp", staff);
        fake.On("/ASP/vx__getGoodsInfo.asp", goods);
        fake.On("/ASP/vx__getMetaCode.asp", codes);
        fake.On("/ASP/ProgramUpdate/VuxMetaInfo.txt", info);
        fake.On(startPath, c.start);

        QProcess p;
        StartQuilo(p, {"upload", m_job, "--arid", "101", "--wait", "600", "--server", fake.BaseURL()}, Demo());
        QString err;
        auto started = [&] {
            for (const FakeRequest& r : fake.requests)
                if (r.path == startPath)
                    return true;
            return false;
        };
        ASSERT_TRUE(PumpUntil([&] {
            err += QString::fromUtf8(p.readAllStandardError());
            return p.state() == QProcess::NotRunning || (started() && (c.waitingSign.isEmpty() || err.contains(c.waitingSign)));
        })) << err.toStdString();
        ASSERT_EQ(p.state(), QProcess::Running) << err.toStdString();
        ::kill(pid_t(p.processId()), SIGINT);
        ASSERT_TRUE(PumpUntil([&] { return p.state() == QProcess::NotRunning || p.waitForFinished(50); }, 60000));
        const CmdResult r = FinishQuilo(p);
        EXPECT_EQ(r.exit, 1) << (err + r.err).toStdString();
        ASSERT_FALSE(r.out.isEmpty());
        EXPECT_EQ(r.OutLines().last(), QStringLiteral("전송이 중지되었습니다."));
        int starts = 0;
        for (const FakeRequest& req : fake.requests)
            starts += req.path == startPath;
        EXPECT_EQ(starts, 1); // stopped, not sent again
    }
}

} // namespace
