// quilo upload JOBDIR: the pre-upload check, then the upload run as the upload window makes it.
// The message pane is this command's result: its lines go to stdout as the pane shows them;
// boxes, the wait countdown and the rest go to stderr. Ctrl+C stops the run (a second one kills).

#include "cli/UploadCommands.h"
#include "jobs/JobLayout.h"
#include "server/HttpClient.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/Settings.h"
#include "shell/TextFile.h"
#include "upload/UploadCheck.h"
#include "upload/UploadRun.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <unistd.h>

namespace {

std::atomic<bool> g_stop{false};

void OnInterrupt(int)
{
    if (g_stop.exchange(true))
        _exit(130); // the second Ctrl+C does not wait for the run
}

// Ctrl+C sets the stop flag for the lifetime of the object, instead of ending the process.
class InterruptGuard {
public:
    InterruptGuard()
    {
        g_stop = false;
        struct sigaction sa {};
        sa.sa_handler = OnInterrupt;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &m_old);
    }
    ~InterruptGuard() { sigaction(SIGINT, &m_old, nullptr); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction m_old {};
};

// The message pane on stdout; boxes and questions on stderr; the stop flag is Ctrl+C.
class UploadConsole : public ConsoleInteraction {
public:
    void Report(const QString& line) override
    {
        for (const QString& l : MessagePaneLines(line))
            Out(l);
        fflush(stdout);
    }
    bool StopRequested() override { return g_stop.load(); }
};

// The window's wait panel on stderr: the title, then the seconds left, until 0 or Ctrl+C.
bool WaitOnConsole(int seconds, UploadConsole& ui)
{
    Err(QStringLiteral("서버와 연결이 너무 많아 ") + QString::number(seconds) + QStringLiteral("초 동안 기다립니다."));
    for (int left = seconds; left > 0; --left) {
        Err(QStringLiteral("대기 : %1초 남음").arg(left));
        for (int tick = 0; tick < 10; ++tick) {
            if (g_stop.load())
                return !ui.AskYesNo(QStringLiteral("전송을 중지합니까?"));
            QThread::msleep(100);
        }
    }
    return !g_stop.load();
}

const QString Usage = QStringLiteral(
    "usage: quilo upload JOBDIR [--tab NAME]... [--arid ID] [--no-images] [--log] [--note TEXT] [--wait SECONDS]\n"
    "                    [--id ID] [--pw PASSWORD] [--server URL]");

} // namespace

static int RunUploadCommand(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, ServerOptions + QStringList{"tab", "arid", "note", "wait"}, {"no-images", "log"});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(Usage);
    int waitSeconds = 60;
    if (p.has("wait")) {
        bool ok = false;
        waitSeconds = p.value("wait").toInt(&ok);
        if (!ok || waitSeconds < 1 || waitSeconds > 86400)
            return UsageError(QStringLiteral("--wait takes a number of seconds from 1 to 86400"));
    }
    QStringList note;
    if (p.has("note")) {
        // As the note dialog takes it: the text trimmed, then its lines.
        const QString text = TrimBlanks(p.value("note"));
        if (!text.isEmpty())
            note = SplitLines(text);
        if (note.isEmpty())
            return UsageError(QStringLiteral("메시지를 입력하세요. (--note)"));
    }

    UploadSession s;
    if (!OpenSessionJob(p.positional[0], s))
        return 1;
    const TJobDefine& job = s.job;
    TUploadSettings settings;
    const int tabCount = qMin(job.TabsCount, MaxTabs);
    if (!p.has("tab")) {
        for (int t = 0; t < tabCount; ++t)
            settings.selected[size_t(t)] = true;
    }
    for (const QString& name : p.values("tab")) {
        int found = -1;
        for (int t = 0; t < tabCount && found < 0; ++t)
            if (job.TabsName[size_t(t)] == name)
                found = t;
        if (found < 0)
            return UsageError(QStringLiteral("no tab named \"%1\" in this job").arg(name));
        settings.selected[size_t(found)] = true;
    }
    if (job.srcImage == QLatin1String("Y")) {
        settings.sourceImageArid = TrimBlanks(p.value("arid"));
        if (settings.sourceImageArid.isEmpty())
            return UsageError(QStringLiteral("원문이미지의 ARID를 입력하세요 (--arid)"));
    }

    if (const int rc = OpenUploadSession(p, s))
        return rc;

    UploadConsole ui;
    if (!LoadSessionKeywords(s, ui))
        return 1;
    const TUploadCheck check = RunUploadCheck(job, s.defs.ar_ids, ui, s.codes, &s.defs.options);
    if (!check.passed)
        return 1;
    ui.Report(UploadReadyReport);

    QString logFolder;
    if (p.has("log")) {
        ui.Report(QStringLiteral("로그 폴더를 정리합니다."));
        logFolder = UploadLogFolder(job.WorkFolder);
        if (QFileInfo::exists(logFolder) && !DeleteDirectory(logFolder)) {
            ui.ShowInfo(QStringLiteral("로그 폴더를 삭제할 수 없습니다.\r\n[") + logFolder + QStringLiteral("]"));
            return 1;
        }
        if (!QDir().mkpath(logFolder)) {
            ui.ShowInfo(logFolder + QStringLiteral(": 폴더를 만들 수 없습니다."));
            return 1;
        }
    }

    settings.job = &job;
    settings.codes = s.codes;
    settings.options = &s.defs.options;
    settings.loginId = s.id;
    settings.loginPw = s.pw;
    settings.linkedTabs = check.linkedTabs;
    settings.sendImages = !p.has("no-images") && check.imagesAvailable;
    settings.sourceImages = check.sourceImages;
    settings.contentBaseUrl = ContentBaseURL();
    settings.defaultSubject1 = DefaultSubjectCode(s.defs.options, *s.codes, s.codes->vux_SubjPtr1);
    settings.defaultSubject2 = DefaultSubjectCode(s.defs.options, *s.codes, s.codes->vux_SubjPtr2);

    THttpClient forms;
    THttpClient files;
    forms.SetBaseURL(s.server);
    files.SetBaseURL(s.server);
    THttpUploadTransport wire(forms, files);
    TUploadLog log(logFolder);
    TLoggingTransport logged(wire, log);
    TUploadTransport& transport = logFolder.isEmpty() ? static_cast<TUploadTransport&>(wire) : logged;

    InterruptGuard interrupt;
    // A request in flight is aborted at once; the requests block inside their own event loop,
    // which runs this timer.
    QTimer abortTimer;
    abortTimer.setInterval(100);
    QObject::connect(&abortTimer, &QTimer::timeout, [&] {
        if (!g_stop.load())
            return;
        forms.Abort();
        files.Abort();
        abortTimer.stop();
    });
    abortTimer.start();

    const TServerWait wait = [&](const HttpResult& failed) {
        Err(failed.error.isEmpty() ? TransferStatusText(failed) : failed.error);
        if (g_stop.load())
            return false;
        return WaitOnConsole(waitSeconds, ui);
    };
    const TUpdateNoteAsk askNote = [&](QStringList& typed) {
        if (note.isEmpty()) {
            Err(QStringLiteral("제품을 업데이트합니다. 업데이트 내용이 없어(--note) 업로드를 취소합니다."));
            return false;
        }
        typed = note;
        return true;
    };
    const TUploadRunResult r = RunUpload(settings, transport, wait, ui, askNote);
    abortTimer.stop();
    if (!log.LastError().isEmpty())
        Err(log.LastError());
    ui.Report(r.completed ? QStringLiteral("전송이 완료되었습니다.") : QStringLiteral("전송이 중지되었습니다."));
    return r.completed ? 0 : 1;
}

static CommandRegistrar reg({QStringLiteral("upload"),
                             QStringLiteral("JOBDIR [--tab NAME]... [--arid ID] [--no-images] [--log] [--note TEXT] "
                                            "[--wait SECONDS] [--id ID] [--pw PASSWORD] [--server URL]"),
                             QStringLiteral("log in, run the pre-upload check and upload the job; prints the message "
                                            "pane's lines; an UPDATE needs --note; a failed request waits --wait "
                                            "seconds (60) and is sent again; Ctrl+C stops"),
                             RunUploadCommand});
