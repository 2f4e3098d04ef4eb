#include "tagging/TagEditor.h"

#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

QString TabSourceMissingMessage(const TJobDefine& job, int tab)
{
    if (tab < 0 || tab >= MaxTabs || !job.TabsFile[tab].isEmpty())
        return {};
    return QStringLiteral("지정 탭[") + job.TabsName[tab] + QStringLiteral("]의 Source 폴더가 지정되지 않았습니다.")
           + QStringLiteral("\r\n") + QStringLiteral("'작업정의 > 작업 정보 변경' 메뉴에서 Source 폴더를 지정하세요.");
}

QString TabFolderText(const TJobDefine& job, int tab)
{
    return QDir::toNativeSeparators(TabSourceFolder(job, tab));
}

QString ArticleCountText(int articles)
{
    return QStringLiteral("기사 개수 : ") + FormatTagCount(articles);
}

bool LoadTagTab(const TJobDefine& job, int tab, TArticleTree& tree, Interaction& ui)
{
    tree.clear();
    if (tab < 0 || tab >= job.TabsCount)
        return false;
    const QString missing = TabSourceMissingMessage(job, tab);
    if (!missing.isEmpty()) {
        ui.ShowInfo(missing);
        return false;
    }
    return LoadArticleTree(job, tab, tree, ui);
}

QString TagArticlePath(const TJobDefine& job, int tab, const TArticleNode& node, Interaction& ui)
{
    const QString flat = ArticleFileName(job, tab, &node);
    if (flat.isEmpty()) {
        // An ID or tab name that would lead out of the job folder is no article name.
        ui.ShowInfo(node.info.id + QStringLiteral(".txt: 파일 형식이 다릅니다."));
        return {};
    }
    return ArticleStoragePath(flat, ui);
}

bool LoadTagArticle(const TJobDefine& job, int tab, const TArticleNode& node, QStringList& lines, Interaction& ui)
{
    lines.clear();
    const QString flat = ArticleFileName(job, tab, &node);
    if (flat.isEmpty()) {
        ui.ShowInfo(node.info.id + QStringLiteral(".txt: 지정하신 파일을 열 수 없습니다."));
        return false;
    }
    return LoadSourceText(flat, lines, ui);
}

TArticleWalk WalkTabArticles(const TJobDefine& job, int tab, const TArticleTree& tree, int first, int last,
                             Interaction& ui, const std::function<void(int, const QStringList&)>& visit)
{
    TArticleWalk walk;
    for (int n = first; n <= last && tree.valid(n); ++n) {
        ui.Progress(0, n - first, last - first);
        if (ui.StopRequested()) {
            walk.stopped = true;
            break;
        }
        QStringList lines;
        if (!LoadTagArticle(job, tab, tree.node(n), lines, ui)) {
            ++walk.unreadable;
            continue;
        }
        ++walk.articles;
        visit(n, lines);
    }
    return walk;
}

QStringList EditorTextLines(const QString& text)
{
    QString t = text;
    // Shift+Enter puts a line separator into the text, and pasted text may carry either kind.
    t.replace(QChar::ParagraphSeparator, u'\n');
    t.replace(QChar::LineSeparator, u'\n');
    return t.split(u'\n');
}

bool SaveEditedArticle(const TJobDefine& job, int tab, const TArticleNode& node, const QString& text, Interaction& ui)
{
    const QString path = TagArticlePath(job, tab, node, ui);
    if (path.isEmpty())
        return false;
    const TArticleSave saved = SaveArticleWithBackup(path, EditorTextLines(text));
    if (!saved.written)
        ui.ShowInfo(saved.error);
    return saved.written;
}

TArticleSave SaveArticleWithBackup(const QString& path, const QStringList& lines, const TTextWriter& writer)
{
    TArticleSave result;
    result.path = path;
    QDir().mkpath(QFileInfo(path).absolutePath());
    // No file there yet (a new group folder) is no failure: there is simply nothing to keep.
    result.backup = BackupByLink(path, QStringLiteral(".bak"));
    const bool ok = writer ? writer(path, lines, &result.error)
                           : WriteTextLines(path, lines, TextEncoding::Utf16LE, &result.error);
    if (!ok) {
        // The article on disk stays the last saved one; a backup of it is then only clutter.
        if (!result.backup.isEmpty()
            && (QFileInfo::exists(path) ? QFile::remove(result.backup) : QFile::rename(result.backup, path)))
            result.backup.clear();
        if (result.error.isEmpty())
            result.error = path + QStringLiteral(": 파일을 저장할 수 없습니다.");
        return result;
    }
    result.written = true;
    return result;
}

TTagTable CountArticleTags(const QStringList& lines, Interaction* ui)
{
    TTagTable table;
    const qsizetype n = lines.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (ui)
            ui->Progress(0, i, n - 1);
        ScanTagLine(lines[i], table);
    }
    return table;
}

QStringList UsedTagListLines(const TTagTable& table)
{
    QStringList out;
    for (const auto& [name, count] : table)
        out << name + u'\t' + QStringLiteral("%1").arg(FormatTagCount(count), 10) + u'\t';
    // The list sorts its lines alphabetically without regard to case.
    std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return out;
}

namespace {

bool WordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c.isMark();
}

} // namespace

bool IsWholeWordAt(const QString& text, qsizetype at, qsizetype length)
{
    if (at > 0 && WordChar(text[at - 1]))
        return false;
    const qsizetype end = at + length;
    return end >= text.size() || !WordChar(text[end]);
}

qsizetype FindInText(const QString& text, const QString& what, qsizetype selStart, qsizetype selEnd,
                     const TFindOptions& options)
{
    if (what.isEmpty())
        return -1;
    const Qt::CaseSensitivity cs = options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    auto accepted = [&](qsizetype at) { return !options.wholeWord || IsWholeWordAt(text, at, what.size()); };
    if (options.down) {
        for (qsizetype at = text.indexOf(what, qMax<qsizetype>(selEnd, 0), cs); at >= 0;
             at = text.indexOf(what, at + 1, cs))
            if (accepted(at))
                return at;
        return -1;
    }
    // lastIndexOf reads a negative start as "from the end", so the text's start is checked here.
    for (qsizetype from = qMin(selStart, text.size()) - 1; from >= 0;) {
        const qsizetype at = text.lastIndexOf(what, from, cs);
        if (at < 0)
            return -1;
        if (accepted(at))
            return at;
        from = at - 1;
    }
    return -1;
}

TFindOutcome FindNextInText(const QString& text, const QString& what, qsizetype selStart, qsizetype selEnd,
                            const TFindOptions& options, Interaction& ui)
{
    TFindOutcome out;
    if (what.isEmpty())
        return out;
    out.length = what.size();
    out.start = FindInText(text, what, selStart, selEnd, options);
    if (out.start >= 0)
        return out;
    if (!ui.AskYesNo(QStringLiteral("더이상 없습니다. 처음부터 다시 찾을까요?"))) {
        out.closeDialog = true;
        return out;
    }
    // Once more over the whole text: downwards from its start, upwards from its end.
    out.wrapped = true;
    out.start = options.down ? FindInText(text, what, 0, 0, options)
                             : FindInText(text, what, text.size(), text.size(), options);
    if (out.start < 0) {
        ui.ShowInfo(QStringLiteral("찾는 문자열이 없습니다."));
        out.closeDialog = true;
    }
    return out;
}
