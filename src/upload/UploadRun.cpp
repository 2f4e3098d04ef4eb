#include "upload/UploadRun.h"

#include "indexing/MetaFile.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/TextFile.h"
#include "tagging/ImageLinks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <future>
#include <vector>

QStringList MessagePaneLines(const QString& report)
{
    if (report.startsWith(QLatin1Char('-')))
        return {UploadSeparator, report.mid(1)};
    return {report};
}

QString WithThousands(qint64 value)
{
    QString digits = QString::number(value < 0 ? -value : value);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

namespace {

const QString TextPhaseError = QStringLiteral("오류 발생으로 작업을 중단합니다.\r\n");

// One record of the text phase, ready to send, or why it is not.
struct TBuiltRecord {
    bool ok = false;
    TFormFields fields;
    QStringList messages; // what reading the article said, shown before the record is sent
    QString error;        // a failure of the meta result file; empty when the article told why
};

// Builds the records of a tab a block ahead of the sending on a thread of its own, so that reading
// and converting the next articles overlaps the wait for the server. Blocks are built in order,
// one at a time, because the meta result file is read forward; a block stops at its first failure.
class TRecordPrefetch {
public:
    explicit TRecordPrefetch(std::function<TBuiltRecord(int)> build)
        : m_build(std::move(build))
    {
    }
    ~TRecordPrefetch()
    {
        if (m_next.valid())
            m_next.wait();
    }

    // Record j of the nodes 1 … count - 1, asked for in increasing order.
    const TBuiltRecord& Take(int j, int count)
    {
        if (j >= m_first + int(m_block.size())) {
            if (!m_next.valid())
                Launch(j, count);
            m_block = m_next.get();
            m_first = j;
            const int after = j + int(m_block.size());
            if (after < count && m_block.back().ok)
                Launch(after, count);
        }
        return m_block[size_t(j - m_first)];
    }

private:
    static constexpr int BlockSize = 32;

    void Launch(int first, int count)
    {
        const int last = std::min(count, first + BlockSize);
        m_next = std::async(std::launch::async, [this, first, last] {
            std::vector<TBuiltRecord> out;
            for (int j = first; j < last && (out.empty() || out.back().ok); ++j)
                out.push_back(m_build(j));
            return out;
        });
    }

    std::function<TBuiltRecord(int)> m_build;
    std::future<std::vector<TBuiltRecord>> m_next;
    std::vector<TBuiltRecord> m_block;
    int m_first = 0;
};

class Run {
public:
    Run(const TUploadSettings& s, TUploadTransport& t, const TServerWait& w, Interaction& ui, const TUpdateNoteAsk& ask)
        : s(s), job(*s.job), codes(*s.codes), transport(t), ui(ui), askNote(ask)
    {
        // The status label shows why the run waits.
        if (w)
            wait = [this, w](const HttpResult& failed) {
                this->ui.Status(UploadLabelHttp, TransferStatusText(failed));
                return w(failed);
            };
    }

    TUploadRunResult Go()
    {
        TUploadRunResult result;
        if (!Start())
            return result;
        result.startSucceeded = true;
        const bool done = !Cancelled() && Text() && !Cancelled() && TabLinks() && !Cancelled() && PageImages() &&
                          !Cancelled() && InsertedImages() && !Cancelled() && SourceImages() && !Cancelled() &&
                          Complete() && !Cancelled();
        if (done) {
            ui.Report(UploadDoneReport);
            result.completed = true;
        }
        return result;
    }

private:
    const TUploadSettings& s;
    const TJobDefine& job;
    const TVUX_codes& codes;
    TUploadTransport& transport;
    Interaction& ui;
    TServerWait wait;
    const TUpdateNoteAsk& askNote;
    QStringList note;
    bool inTextPhase = false;

    bool Cancelled() { return ui.StopRequested(); }
    bool Selected(int tab) const { return tab >= 0 && tab < MaxTabs && s.selected[size_t(tab)]; }

    TFormFields Fields() const { return IdentityFields(s.loginId, s.loginPw); }
    TFormFields ProductFields() const
    {
        TFormFields f = Fields();
        f.Set(QStringLiteral("p_id"), job.pID);
        f.Set(QStringLiteral("p_dcode"), job.pCode);
        return f;
    }

    // The form post with its messages; the reply lines on success.
    bool Post(const QString& path, const TFormFields& fields, QStringList* lines = nullptr)
    {
        const TPostResult r = PostForm(transport, wait, path, fields);
        ui.Status(UploadLabelHttp, r.status);
        if (r.ok) {
            if (lines)
                *lines = r.lines;
            return true;
        }
        if (r.stopped)
            return false;
        if (r.emptyReply && inTextPhase)
            ui.ShowInfo(TextPhaseError + QStringLiteral("서버의 응답이 비어 있습니다."));
        else
            ui.ShowInfo(r.message);
        return false;
    }

    bool Start()
    {
        ui.Report(QStringLiteral("-시작 메시지를 전송합니다..."));
        QStringList reply;
        if (!Post(UploadStartPath, ProductFields(), &reply))
            return false;
        ui.Report(QStringLiteral("시작 메시지를 전송했습니다."));
        const QString first = reply.value(0);
        if (first == QLatin1String("INSERT")) {
            ui.Report(QStringLiteral("-새로운 제품 데이터를 업로드합니다."));
            ui.Report(QStringLiteral("-"));
            return true;
        }
        if (first == QLatin1String("UPDATE")) {
            ui.Report(QStringLiteral("-제품 데이터를 수정합니다."));
            ui.Report(QStringLiteral("-"));
            QStringList typed;
            if (askNote && askNote(typed)) {
                note = typed;
                return true;
            }
            ui.Report(QStringLiteral("데이터 업로드를 취소했습니다."));
            ui.Report(QStringLiteral("-"));
            return false;
        }
        ui.Report(QStringLiteral("-업로드 방법이 INSERT 혹은 UPDATE가 아닙니다 ... ") + first);
        ui.Report(QStringLiteral("-"));
        return false;
    }

    bool Fail(const QString& error)
    {
        ui.ShowInfo(TextPhaseError + error);
        return false;
    }

    bool Text()
    {
        ui.Report(QStringLiteral("-텍스트 정보를 전송합니다..."));
        inTextPhase = true;
        ui.Status(UploadStatusPhase, QStringLiteral("text"));
        const bool ok = TextTabs();
        ui.Status(UploadStatusPhase, QString());
        inTextPhase = false;
        if (ok)
            ui.Report(QStringLiteral("텍스트 정보 전송이 완료되었습니다."));
        return ok;
    }

    bool TextTabs()
    {
        for (int tab = 0; tab < job.TabsCount && tab < MaxTabs; ++tab) {
            ui.Progress(UploadBarTabs, tab + 1, job.TabsCount);
            ui.Status(UploadLabelTabs, QStringLiteral("탭 : %1 / %2").arg(tab + 1).arg(job.TabsCount));
            if (!Selected(tab))
                continue;
            if (!TextTab(tab))
                return false;
            if (Cancelled())
                return false;
        }
        return true;
    }

    bool TextTab(int tab)
    {
        const QString tabName = job.TabsName[size_t(tab)];
        TRecordContext base;
        base.job = &job;
        base.tab = tab;
        base.codes = &codes;
        base.options = s.options;
        base.contentBaseUrl = s.contentBaseUrl;
        base.defaultSubject1 = s.defaultSubject1;
        base.defaultSubject2 = s.defaultSubject2;
        TTabRecords records(base);
        TTreeLoadInteraction treeUi(ui);
        QString error;
        if (!records.Open(treeUi, &error))
            return error.isEmpty() ? false : Fail(error);
        if (Cancelled())
            return false;

        const QString tabId = job.TabsID[size_t(tab)];
        TFormFields header = ProductFields();
        header.Set(QStringLiteral("ar_id"), tabId);
        header.Set(QStringLiteral("content_number"), QStringLiteral("1"));
        header.Set(QStringLiteral("page_number"), QStringLiteral("1"));
        header.Set(QStringLiteral("content_detail"), EscapeForUpload(TabHeaderTitle(job, tab)));
        header.Set(QStringLiteral("coremeta"), QStringLiteral("has_child=1|parent_number=0"));
        if (!Post(UploadRecordPath, header))
            return false;
        ui.Report(QStringLiteral("Header ") + job.pNAME + QLatin1Char(' ') + tabName);

        const TArticleTree& tree = records.Tree();
        const int count = tree.count();
        TRecordPrefetch ahead([&](int j) { return BuildRecord(records, tab, j); });
        for (int j = 1; j < count && !Cancelled(); ++j) {
            ui.Progress(UploadBarItems, j, count);
            ui.Status(UploadLabelItems, QStringLiteral("%1 / %2").arg(j).arg(count));
            const TBuiltRecord& built = ahead.Take(j, count);
            for (const QString& m : built.messages)
                ui.ShowInfo(m);
            if (!built.ok)
                return built.error.isEmpty() ? false : Fail(built.error);
            if (!Post(UploadRecordPath, built.fields))
                return false;
            ui.Report(tabName + QStringLiteral(" - ") + QString::number(j) + QLatin1Char(' ') + tree.node(j).title);
        }
        return !Cancelled();
    }

    // The record of node j with what its reading had to say; built on the prefetch thread, so
    // it touches nothing but the job, the tab's records and its own result.
    TBuiltRecord BuildRecord(TTabRecords& records, int tab, int j) const
    {
        TBuiltRecord r;
        TRecordedMessages said;
        QString html;
        TArticleRecords meta;
        const TArticleTree& tree = records.Tree();
        if (BuildArticleHtml(job, tab, tree, j, said, html) && records.Records(j, meta, &r.error)) {
            r.error = meta.ex.error;
            r.ok = r.error.isEmpty();
        }
        r.messages = std::move(said.messages);
        if (!r.ok)
            return r;
        TFormFields& f = r.fields;
        f = ProductFields();
        f.Set(QStringLiteral("ar_id"), job.TabsID[size_t(tab)]);
        f.Set(QStringLiteral("content_number"), QString::number(records.ContentNumber(j)));
        f.Set(QStringLiteral("page_number"), QString::number(j));
        f.Set(QStringLiteral("content_detail"), EscapeForUpload(ArticleTitle(tree, j)));
        f.Set(QStringLiteral("page_detail"), EscapeForUpload(html));
        f.Set(QStringLiteral("coremeta"), EscapeForUpload(meta.core));
        f.Set(QStringLiteral("exmeta"), EscapeForUpload(meta.ex.exmeta));
        f.Set(QStringLiteral("exaddmeta"), EscapeForUpload(meta.ex.exaddmeta));
        f.Set(QStringLiteral("imgmeta"), EscapeForUpload(meta.image));
        return r;
    }

    bool TabLinks()
    {
        if (s.linkedTabs.isEmpty())
            return true;
        ui.Report(QStringLiteral("-탭 연결 정보를 전송합니다..."));
        for (const auto& [tab, linked] : s.linkedTabs) {
            if (!Selected(tab))
                continue;
            ui.Report(QStringLiteral("탭 [") + job.TabsName[size_t(tab)] + QStringLiteral("] 연결 정보 전송."));
            QString record, error;
            if (!TabLinkRecordFromFile(job, tab, linked, record, &error)) {
                ui.ShowInfo(error);
                return false;
            }
            TFormFields f = Fields();
            f.Set(QStringLiteral("tabLink"), record);
            if (!Post(UploadTabLinkPath, f) || Cancelled())
                return false;
        }
        ui.Report(QStringLiteral("탭 연결 정보를 전송했습니다."));
        return true;
    }

    QStringList SourceImageNames() const
    {
        QStringList names;
        for (const TUploadFile& f : s.sourceImages.files)
            names << f.name;
        return names;
    }

    bool PageImages()
    {
        if (job.srcImage != QLatin1String("Y"))
            return true;
        ui.Report(QStringLiteral("-원문 이미지 정보를 전송합니다..."));
        const QStringList images = SourceImageNames();
        for (int tab = 0; tab < job.TabsCount && tab < MaxTabs; ++tab) {
            if (!Selected(tab))
                continue;
            const QString path = ImageLinkFileName(job, tab);
            QStringList lines;
            QString error;
            if (!path.isEmpty() && QFileInfo::exists(path) && !ReadTextLines(path, lines, &error)) {
                ui.ShowInfo(error);
                return false;
            }
            if (lines.size() <= 1)
                continue;
            ui.Report(QStringLiteral("[") + job.TabsName[size_t(tab)] + QStringLiteral("] 원문 이미지 연결 정보 전송."));
            ui.Report(QStringLiteral("원문이미지 정보를 정리합니다."));
            const int nodes = int(lines.size() / 2);
            for (const TPageImages& p : PageImageRequests(lines, images)) {
                if (Cancelled())
                    return false;
                ui.Progress(UploadBarItems, p.node, nodes);
                TFormFields f = Fields();
                f.Set(QStringLiteral("arid"), s.sourceImageArid);
                f.Set(QStringLiteral("pageNumber"), QString::number(p.node));
                f.Set(QStringLiteral("wImage"), EscapeForUpload(p.list));
                if (!Post(UploadPageImagePath, f))
                    return false;
            }
        }
        ui.Report(QStringLiteral("원문이미지 정보를 전송했습니다."));
        return true;
    }

    // Sends the files; false when one was refused, could not be read or the wait was stopped.
    bool SendFiles(const TUploadFileList& list, const std::function<QString(const TUploadFile&)>& folderValue)
    {
        ui.Report(QStringLiteral("이미지 개수: ") + QString::number(list.files.size()));
        ui.Report(QStringLiteral("이미지 사이즈: ") + WithThousands(list.totalSize));
        const int count = int(list.files.size());
        for (int i = 0; i < count; ++i) {
            if (Cancelled())
                return false;
            const TUploadFile& file = list.files[i];
            ui.Report(QStringLiteral("(%1/%2) ").arg(i + 1).arg(count) + file.RelativeName());
            ui.Progress(UploadBarItems, i + 1, count);
            QFile in(file.path);
            if (!in.open(QIODevice::ReadOnly)) {
                ui.Report(file.path + QStringLiteral(": ") + in.errorString());
                return false;
            }
            const QByteArray bytes = in.readAll();
            TFormFields f = Fields();
            f.Set(QStringLiteral("pID"), job.pID);
            f.Set(QStringLiteral("imageFolder"), folderValue(file));
            const TPostResult r = PostFile(transport, wait, UploadFilePath, f, file.name, bytes);
            ui.Status(UploadLabelHttp, r.status);
            if (!r.ok) {
                if (!r.stopped)
                    ui.Report(r.message);
                return false;
            }
        }
        return true;
    }

    bool InsertedImages()
    {
        if (job.insImage != QLatin1String("Y"))
            return true;
        ui.Report(QStringLiteral("-삽입 이미지를 전송합니다..."));
        if (!s.sendImages) {
            ui.Report(QStringLiteral("이미지 전송을 선택하지 않아 삽입 이미지를 전송하지 않습니다."));
            return true;
        }
        if (!SendFiles(InsertedImageFiles(job.WorkFolder), InsertedImageFolderValue))
            return false;
        ui.Report(QStringLiteral("삽입 이미지를 모두 전송했습니다."));
        return true;
    }

    bool SourceImages()
    {
        if (job.srcImage != QLatin1String("Y"))
            return true;
        ui.Report(QStringLiteral("-원문 이미지를 전송합니다..."));
        if (!s.sendImages) {
            ui.Report(QStringLiteral("이미지 전송을 선택하지 않아 원문 이미지를 전송하지 않습니다."));
            return true;
        }
        if (!SendFiles(s.sourceImages, [](const TUploadFile&) { return QStringLiteral("img"); }))
            return false;
        ui.Report(QStringLiteral("원문 이미지를 모두 전송했습니다."));
        return true;
    }

    bool Complete()
    {
        ui.Report(QStringLiteral("-완료 메시지를 전송합니다..."));
        TFormFields f = ProductFields();
        QString text;
        for (const QString& line : note)
            text += line + QStringLiteral("\r\n");
        f.Set(QStringLiteral("p_update"), EscapeForUpload(text));
        if (!Post(UploadCompletePath, f))
            return false;
        if (!Cancelled())
            ui.Report(QStringLiteral("완료 메시지를 전송했습니다."));
        return true;
    }
};

} // namespace

TUploadRunResult RunUpload(const TUploadSettings& settings, TUploadTransport& transport, const TServerWait& wait,
                           Interaction& ui, const TUpdateNoteAsk& askNote)
{
    if (!settings.job || !settings.codes)
        return {};
    return Run(settings, transport, wait, ui, askNote).Go();
}

TUploadLog::TUploadLog(const QString& folder)
    : m_folder(folder)
    , m_writer([this] { WriteFiles(); })
{
}

TUploadLog::~TUploadLog()
{
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    m_writer.join();
}

void TUploadLog::Finish()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.empty() && !m_writing; });
}

QString TUploadLog::LastError()
{
    Finish();
    std::lock_guard lock(m_mutex);
    return m_error;
}

void TUploadLog::WriteRequest(const TFormFields& fields)
{
    ++m_counter;
    QStringList lines;
    for (const auto& [name, value] : fields.Items()) {
        if (value.isEmpty())
            continue; // not sent
        // The log lies in the job folder for anyone to read; the password stays out of it.
        lines << name + QLatin1Char('=') + (name == QLatin1String("pw") ? QStringLiteral("****") : value);
    }
    Write(QString::asprintf("%.3d_up.txt", m_counter), EncodeLines(lines, TextEncoding::Cp949));
}

void TUploadLog::WriteReply(const QString& replyText)
{
    if (replyText.isEmpty())
        return;
    Write(QString::asprintf("%.3d_dn.txt", m_counter), EncodeLines(SplitLines(replyText), TextEncoding::Cp949));
}

void TUploadLog::Write(const QString& name, const QByteArray& bytes)
{
    {
        // When the writer falls behind, the run waits for it here rather than holding a whole
        // run's logs in memory.
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.size() < MaxQueued; });
        m_queue.emplace_back(name, bytes);
    }
    m_changed.notify_all();
}

// A log is a record of the run, not the operator's data: a plain write, left to the system to
// put on disk, instead of a sync per file (thousands of them made the run several times slower).
void TUploadLog::WriteFiles()
{
    // The files are made relative to the folder opened once: tens of thousands of them are made
    // in a run, and each would otherwise walk the whole path again.
    const int folder = ::open(QFile::encodeName(m_folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    // Logs are written mostly in the gaps while the run waits for the server, not in its way; a
    // lower priority, not the idle class, so a machine busy with other work still writes them.
    ::setpriority(PRIO_PROCESS, pid_t(::gettid()), 10);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_queue.empty() || m_closing; });
        if (m_queue.empty())
            break;
        const auto [name, bytes] = std::move(m_queue.front());
        m_queue.pop_front();
        m_writing = true;
        lock.unlock();
        // Three calls per file.
        const QString path = m_folder + QLatin1Char('/') + name;
        QString error;
        const int fd = folder >= 0
            ? ::openat(folder, QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)
            : ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        bool ok = fd >= 0;
        for (qsizetype done = 0; ok && done < bytes.size();) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            done += n;
        }
        const int code = ok ? 0 : errno;
        if (fd >= 0 && ::close(fd) != 0 && ok) {
            ok = false;
            error = path + QStringLiteral(": ") + qt_error_string(errno);
        } else if (!ok) {
            error = path + QStringLiteral(": ") + qt_error_string(code);
        }
        lock.lock();
        m_writing = false;
        if (!error.isEmpty())
            m_error = error;
        m_changed.notify_all();
    }
    if (folder >= 0)
        ::close(folder);
}

HttpResult TLoggingTransport::SendForm(const QString& path, const TFormFields& fields)
{
    HttpResult r = m_inner.SendForm(path, fields);
    // Only a request that went out over a connection is logged: a server that is down for ten
    // minutes adds no files and leaves the numbering to the requests it could have seen.
    if (r.sent)
        m_log.WriteRequest(fields);
    if (r.sent && r.ok)
        m_log.WriteReply(r.text);
    return r;
}
