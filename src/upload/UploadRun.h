#pragma once
// One upload run: start, text, tab links, source image information, inserted image files,
// source image files and completion, in that order, stopping after a phase that failed or was
// cancelled. The window, the command line and the tests drive it with their own transport,
// wait and operator.

#include "upload/UploadProtocol.h"
#include "upload/UploadRecords.h"
#include "shell/Interaction.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>


// Progress bars and labels the run reports through Interaction::Progress / Status.
enum UploadProgressBar { UploadBarTabs = 0, UploadBarItems = 1 };
enum UploadStatusLabel { UploadLabelTabs = 0, UploadLabelItems = 1, UploadLabelHttp = 2 };
// Not a label: "text" while the text phase runs, "" when it ends (the tab bar shows only then).
constexpr int UploadStatusPhase = 3;

inline const QString UploadSeparator = QString(40, QLatin1Char('-'));
inline const QString UploadDoneReport = QStringLiteral("-전송 작업이 완료되었습니다.");

// The message pane's lines for one report: a text beginning with "-" gets a separator line of
// 40 "-" in front and loses its "-".
QStringList MessagePaneLines(const QString& report);

// The tree loader reports on bar 0 and labels 0 and 1; in the upload those belong to the tabs,
// so its progress goes to the item bar and label instead (its second label is dropped).
class TTreeLoadInteraction : public Interaction {
public:
    explicit TTreeLoadInteraction(Interaction& ui) : m_ui(ui) {}
    void ShowInfo(const QString& text) override { m_ui.ShowInfo(text); }
    bool AskYesNo(const QString& text) override { return m_ui.AskYesNo(text); }
    void Report(const QString& line) override { m_ui.Report(line); }
    void Progress(int bar, qint64 position, qint64 maximum) override
    {
        if (bar == 0)
            m_ui.Progress(UploadBarItems, position, maximum);
    }
    void Status(int slot, const QString& text) override
    {
        if (slot == 0)
            m_ui.Status(UploadLabelItems, text);
    }
    bool StopRequested() override { return m_ui.StopRequested(); }

private:
    Interaction& m_ui;
};

// "1,234,567".
QString WithThousands(qint64 value);

struct TUploadSettings {
    const TJobDefine* job = nullptr;
    const TVUX_codes* codes = nullptr;
    const QList<TvuxSchOption>* options = nullptr;
    QString loginId;
    QString loginPw;
    std::array<bool, MaxTabs> selected{}; // tabs chosen for the upload
    QList<QPair<int, int>> linkedTabs;    // (tab, the tab it links to), as the check found them
    QString sourceImageArid;              // what the operator typed as the source images' tab ID
    bool sendImages = true;
    TUploadFileList sourceImages;         // collected by the check
    QString contentBaseUrl;
    QString defaultSubject1;
    QString defaultSubject2;
};

// Asks the operator for the note of an update run; false when the dialog was cancelled.
using TUpdateNoteAsk = std::function<bool(QStringList& note)>;

struct TUploadRunResult {
    bool completed = false;      // "-전송 작업이 완료되었습니다." was reported
    bool startSucceeded = false; // the upload button stays off for good
};

// Interaction: Report for the message pane, ShowInfo for boxes, Progress/Status for the bars and
// labels, StopRequested for the cancel-upload flag (polled, never asked about).
TUploadRunResult RunUpload(const TUploadSettings& settings, TUploadTransport& transport, const TServerWait& wait,
                           Interaction& ui, const TUpdateNoteAsk& askNote);

// The request logs of a run: every form request as "%.3d_up.txt" (one "name=value" line per field
// sent, the password as "****"), every non-empty reply as "%.3d_dn.txt" under the same number,
// in code page 949 without byte-order mark.
// The files are written in order on a thread of their own, so that creating thousands of small
// files does not hold up the requests; Finish waits for them.
class TUploadLog {
public:
    explicit TUploadLog(const QString& folder);
    ~TUploadLog();
    TUploadLog(const TUploadLog&) = delete;
    TUploadLog& operator=(const TUploadLog&) = delete;
    int Counter() const { return m_counter; }
    void WriteRequest(const TFormFields& fields);
    void WriteReply(const QString& replyText);
    // Waits until every file asked for is written or failed.
    void Finish();
    // After Finish: the last failure, if any.
    QString LastError();

private:
    void Write(const QString& name, const QByteArray& bytes);
    void WriteFiles();

    static constexpr size_t MaxQueued = 4096;
    QString m_folder;
    int m_counter = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<QString, QByteArray>> m_queue;
    bool m_closing = false;
    bool m_writing = false;
    QString m_error;
    std::thread m_writer;
};

// Logs the form posts that pass through it (file posts are not logged); every attempt that went
// out over a connection, a resend included, gets its own number; one that found no server none.
class TLoggingTransport : public TUploadTransport {
public:
    TLoggingTransport(TUploadTransport& inner, TUploadLog& log) : m_inner(inner), m_log(log) {}
    HttpResult SendForm(const QString& path, const TFormFields& fields) override;
    HttpResult SendFile(const QString& path, const TFormFields& fields, const QString& fileName,
                        const QByteArray& fileBytes) override
    {
        return m_inner.SendFile(path, fields, fileName, fileBytes);
    }

private:
    TUploadTransport& m_inner;
    TUploadLog& m_log;
};
