#include "indexing/KeywordExtract.h"

#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <future>
#include <thread>
#include <vector>

QString MsgCloseOpenFile(const QString& workbookName)
{
    return QStringLiteral("열려 있는 파일(") + workbookName + QStringLiteral(")을 닫으십시오.");
}

QString MsgNoImageExtension(const QString& articlePath, int line, const QString& fileName)
{
    return QStringLiteral("이미지 파일의 확장자가 없습니다. 수정하세요.\r\n파일이름 : ") + articlePath +
           QStringLiteral("\r\n") + QStringLiteral("줄번호 : ") + QString::number(line) + QStringLiteral("\r\n") +
           fileName + QStringLiteral("\r\n") + QStringLiteral("(파일이름 = H 태그의 ID)");
}

bool KeywordColumnsFor(const QList<TvuxSchOption>& options, const QString& arId, TKeywordColumns& columns)
{
    columns = {};
    qsizetype i = 0;
    while (i < options.size() && options[i].ar_id != arId)
        ++i;
    if (i == options.size())
        return false;
    for (; i < options.size() && options[i].ar_id == arId; ++i) {
        if (options[i].stype != 2)
            continue;
        columns.pointers << options[i].sptr;
        columns.texts << options[i].value;
    }
    return true;
}

bool FindImageNearLine(const QStringList& lines, int i, TImageLists& lists, const TImageContext& context,
                       Interaction& ui)
{
    for (int n = i - 1; n <= i + 1; ++n) {
        if (n < 0)
            continue;
        if (n >= lines.size())
            break;
        const QString& line = lines[n];
        const qsizetype lt = line.indexOf(QLatin1Char('<'));
        if (lt < 0)
            continue;
        QString tag = TrimBlanks(line.mid(lt + 1));
        if (tag.left(4).toLower() != QStringLiteral("img "))
            continue;
        while (tag.contains(QStringLiteral("  ")))
            tag.replace(QStringLiteral("  "), QStringLiteral(" "));
        tag.replace(QLatin1Char('\''), QLatin1Char('"'));
        const qsizetype src = tag.toLower().indexOf(QStringLiteral("src="));
        if (src < 0)
            continue;

        QString name = tag.mid(src + 4);
        if (name.startsWith(QLatin1Char('"')))
            name.remove(0, 1);
        // The name ends at whichever of quote, blank or ">" comes first: a quoted name with a
        // blank in it ends at the blank, and the missing extension is then reported.
        qsizetype end = name.size();
        for (QChar stop : {QChar(u'"'), QChar(u' '), QChar(u'>')}) {
            const qsizetype at = name.indexOf(stop);
            if (at >= 0 && at < end)
                end = at;
        }
        name.truncate(end);

        if (!lists.names.isEmpty()) {
            lists.names += QLatin1Char('^');
            lists.urls += QLatin1Char('^');
            lists.formats += QLatin1Char('^');
        }
        lists.names += name;
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        const qsizetype slash = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
        if (dot > slash && dot + 1 < name.size()) {
            lists.formats += name.mid(dot + 1);
            lists.urls += context.contentBaseUrl + QStringLiteral("/image_data/") + context.productId +
                          QLatin1Char('/') + name;
            return true;
        }
        ui.ShowInfo(MsgNoImageExtension(context.articlePath, i, name));
        return false;
    }
    return false;
}

bool SearchReference(const QStringList& lines, const QString& reference, bool imageColumn, QString& value,
                     TImageLists& lists, const TImageContext& context, Interaction& ui,
                     const std::function<bool()>& stop)
{
    if (reference.isEmpty())
        return false;
    bool found = false;
    for (int i = 0; i < lines.size(); ++i) {
        if (stop())
            break;
        const qsizetype p = lines[i].indexOf(reference);
        if (p < 0)
            continue;
        QString v = TrimBlanks(lines[i].mid(p + reference.size()));
        // A marker with nothing after it gathers no picture either, so file names and
        // descriptions stay paired.
        if (v.isEmpty())
            continue;
        if (imageColumn && !FindImageNearLine(lines, i, lists, context, ui))
            continue;
        if (!value.isEmpty())
            value += QLatin1Char('^');
        value += v;
        found = true;
    }
    return found;
}

QString KeywordElapsedText(int seconds)
{
    if (seconds < 60)
        return QString::number(seconds);
    if (seconds < 3600)
        return QString::asprintf("%.2d:%.2d", seconds / 60, seconds % 60);
    return QString::asprintf("%.2d:%.2d:%.2d", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

namespace {

// The tree loader reports its own progress on bar 0 and asks its own stop question; inside a
// run the run's bars and question stand, so those are kept from the window.
class TreeLoadInteraction : public Interaction {
public:
    explicit TreeLoadInteraction(Interaction& ui)
        : m_ui(ui)
    {
    }
    void ShowInfo(const QString& text) override { m_ui.ShowInfo(text); }
    bool AskYesNo(const QString& text) override { return m_ui.AskYesNo(text); }
    void Report(const QString& line) override { m_ui.Report(line); }

private:
    Interaction& m_ui;
};

// Esc during a run: asked once per press; after Yes every later check stops at once.
class StopCheck {
public:
    explicit StopCheck(Interaction& ui)
        : m_ui(ui)
    {
    }
    bool operator()()
    {
        if (m_stopped)
            return true;
        if (!m_ui.StopRequested())
            return false;
        if (!m_ui.AskYesNo(MsgStopQuestion)) {
            m_ui.ClearStop();
            return false;
        }
        m_ui.ShowInfo(MsgStopping);
        m_stopped = true;
        return true;
    }
    bool stopped() const { return m_stopped; }

private:
    Interaction& m_ui;
    bool m_stopped = false;
};

// Which reference strings occur in a text, in one pass over it: the references are compared
// only where a character starts one of them. A reference holding a line break never matches a
// line, so it is never looked for.
class TReferenceFinder {
public:
    explicit TReferenceFinder(const QStringList& references)
        : m_references(references)
        , m_starts(size_t(1) << 16)
    {
        for (int j = 0; j < references.size(); ++j) {
            const QString& r = references[j];
            if (r.isEmpty() || r.contains(QLatin1Char('\r')) || r.contains(QLatin1Char('\n')))
                continue;
            m_usable.push_back(j);
            m_starts[r.front().unicode()] = true;
        }
    }

    std::vector<bool> Find(QStringView text) const
    {
        std::vector<bool> present(size_t(m_references.size()), false);
        size_t left = m_usable.size();
        const char16_t* d = text.utf16();
        for (qsizetype i = 0, n = text.size(); i < n && left > 0; ++i) {
            if (!m_starts[d[i]])
                continue;
            for (int j : m_usable) {
                if (!present[size_t(j)] && text.sliced(i).startsWith(m_references[j])) {
                    present[size_t(j)] = true;
                    --left;
                }
            }
        }
        return present;
    }

private:
    const QStringList m_references;
    std::vector<int> m_usable;
    std::vector<bool> m_starts;
};

// One tab's reference strings with what their values need: the column each fills and, for the
// image description, the three columns of its picture.
struct TTabSearch {
    TKeywordColumns columns;
    int image[4] = {-1, -1, -1, -1}; // description, file names, addresses, formats
    TImageContext context;
};

// What a search thread hands over for one article: the messages the loader and the search
// would have shown (shown in article order by the caller) and the values found, by column.
struct TSearchedArticle {
    QStringList messages;
    std::vector<std::pair<int, QString>> values;
    bool loaded = false;
};

// Searches one article: its lines are split only when some reference string occurs in it.
TSearchedArticle SearchArticle(const QString& path, const TTabSearch& search, const TReferenceFinder& finder)
{
    TSearchedArticle a;
    TRecordedMessages recorder;
    QString text;
    a.loaded = !path.isEmpty() && LoadArticleContent(text, path, recorder);
    const std::vector<bool> present = a.loaded ? finder.Find(text) : std::vector<bool>();
    if (std::find(present.begin(), present.end(), true) != present.end()) {
        const QStringList lines = SplitLines(text);
        TImageContext context = search.context;
        context.articlePath = path;
        const auto never = [] { return false; };
        for (int j = 0; j < search.columns.count(); ++j) {
            if (!present[size_t(j)])
                continue;
            const int column = search.columns.pointers[j];
            const bool imageColumn = column == search.image[0];
            QString value;
            TImageLists lists;
            if (!SearchReference(lines, search.columns.texts[j], imageColumn, value, lists, context, recorder, never))
                continue;
            a.values.emplace_back(column, value);
            if (imageColumn) {
                a.values.emplace_back(search.image[1], lists.names);
                a.values.emplace_back(search.image[2], lists.urls);
                a.values.emplace_back(search.image[3], lists.formats);
            }
        }
    }
    a.messages = std::move(recorder.messages);
    return a;
}

// Searches the articles of a tab ahead of the caller on a few threads, a block of articles per
// thread, and hands them out in tree order. Only a bounded number of blocks is done ahead.
class TArticlePrefetch {
public:
    TArticlePrefetch(const TJobDefine& job, int tab, const TArticleTree& tree, const TTabSearch& search)
        : m_job(job)
        , m_tab(tab)
        , m_tree(tree)
        , m_search(search)
        , m_finder(search.columns.texts)
        , m_ahead(std::clamp(int(std::thread::hardware_concurrency()), 2, 4))
    {
    }
    ~TArticlePrefetch()
    {
        for (auto& f : m_blocks)
            if (f.valid())
                f.wait();
    }

    // Article k (1 ...), asked for in increasing order.
    TSearchedArticle& Take(int k)
    {
        const int block = (k - 1) / BlockSize;
        while (m_launched <= block + m_ahead && m_launched * BlockSize + 1 < m_tree.count())
            Launch(m_launched++);
        if (block != m_current) {
            m_ready = m_blocks[size_t(block % MaxBlocks)].get();
            m_current = block;
        }
        return m_ready[size_t(k - 1 - block * BlockSize)];
    }

private:
    static constexpr int BlockSize = 64;
    static constexpr int MaxBlocks = 8;

    void Launch(int block)
    {
        const int first = block * BlockSize + 1;
        const int last = std::min(m_tree.count(), first + BlockSize);
        m_blocks[size_t(block % MaxBlocks)] = std::async(std::launch::async, [this, first, last] {
            std::vector<TSearchedArticle> out;
            out.reserve(size_t(last - first));
            for (int k = first; k < last; ++k)
                out.push_back(SearchArticle(ArticleFileName(m_job, m_tab, &m_tree.node(k)), m_search, m_finder));
            return out;
        });
    }

    const TJobDefine& m_job;
    const int m_tab;
    const TArticleTree& m_tree;
    const TTabSearch& m_search;
    const TReferenceFinder m_finder;
    const int m_ahead;
    std::array<std::future<std::vector<TSearchedArticle>>, MaxBlocks> m_blocks;
    std::vector<TSearchedArticle> m_ready;
    int m_launched = 0;
    int m_current = -1;
};

} // namespace

bool AnyKeywordWorkbookMissing(const TJobDefine& job, const QStringList& arIds)
{
    for (const QString& id : arIds) {
        const int tab = TabIndexById(job, id);
        if (tab < 0)
            continue;
        const QString path = KeywordWorkbookPath(job, tab);
        if (path.isEmpty() || !QFileInfo::exists(path))
            return true;
    }
    return false;
}

bool SearchKeywordTab(const TJobDefine& job, int tab, const TVUX_codes& codes, const TKeywordColumns& columns,
                      const QString& contentBaseUrl, TArticleTree& tree, TKeywordResults& results,
                      Interaction& ui, const std::function<bool()>& stop)
{
    TreeLoadInteraction quiet(ui);
    if (!LoadArticleTree(job, tab, tree, quiet))
        return false;
    const int nodes = tree.count();
    ui.Progress(1, 0, nodes);
    results.Clear();
    if (columns.count() == 0)
        return true;

    int loc = -1, ptr = -1, count = 0;
    if (!codes.GetGroupInfo(ImageGroupCode, loc, ptr, count)) {
        ui.ShowInfo(QStringLiteral("프로그램 오류!!! ") + ImageGroupCode);
        return false;
    }
    TTabSearch search{columns, {}, {contentBaseUrl, job.pID, QString()}};
    const char* codesNeeded[4] = {"kf_desc", "kf_sFilename", "kf_sPath", "kf_sformat"};
    for (int i = 0; i < 4; ++i) {
        search.image[i] = codes.FindColumnByCode(loc, QString::fromLatin1(codesNeeded[i]));
        if (search.image[i] < 0) {
            ui.ShowInfo(QStringLiteral("프로그램 오류!!! ") + QString::fromLatin1(codesNeeded[i]));
            return false;
        }
    }

    results.Reset(std::max(0, nodes - 1), codes.vux_DataBlockLength);
    TProgressTicker pages(ui, 1, nodes);
    TArticlePrefetch prefetch(job, tab, tree, search);
    int k = 1;
    for (; k < nodes; ++k) {
        if (stop())
            break;
        pages.Set(k);
        TSearchedArticle& article = prefetch.Take(k);
        for (const QString& message : article.messages)
            ui.ShowInfo(message);
        if (!article.loaded)
            break;
        for (const auto& [column, value] : article.values)
            results.Set(k - 1, column, value);
    }
    // A tab searched to its end shows a full bar.
    if (k == nodes)
        pages.Set(nodes);
    return true;
}

TKeywordRunOutcome RunKeywordExtraction(const TJobDefine& job, const TVUX_codes& codes,
                                        const QList<TvuxSchOption>& options, const QStringList& arIds,
                                        const QString& contentBaseUrl, Interaction& ui,
                                        TKeywordRunObserver* observer)
{
    TKeywordRunOutcome outcome;
    if (!ui.AskYesNo(MsgRunQuestion))
        return outcome;
    outcome.started = true;

    // Every tab's previous workbook goes aside before anything is written.
    for (const QString& id : arIds) {
        const int tab = TabIndexById(job, id);
        if (tab < 0) {
            ui.ShowInfo(MsgArIdError);
            outcome.closeWindow = true;
            return outcome;
        }
        const QString path = KeywordWorkbookPath(job, tab);
        if (path.isEmpty()) {
            ui.ShowInfo(TabNameProblem(job.TabsName[tab]));
            return outcome;
        }
        outcome.workbooks << path;
        if (!QFileInfo::exists(path))
            continue;
        const QString bak = path + QStringLiteral(".bak");
        if (QFileInfo::exists(bak) && !QFile::remove(bak)) {
            ui.ShowInfo(bak + QStringLiteral(": 파일을 지울 수 없습니다."));
            return outcome;
        }
        if (!QFile::rename(path, bak)) {
            ui.ShowInfo(MsgCloseOpenFile(QFileInfo(path).fileName()));
            return outcome;
        }
    }

    ui.ClearStop();
    StopCheck stop(ui);
    const std::function<bool()> stopFn = [&stop] { return stop(); };
    ui.Progress(0, 0, arIds.size());
    bool failed = false;
    for (int r = 0; r < arIds.size() && !failed; ++r) {
        const int tab = TabIndexById(job, arIds[r]);
        TKeywordColumns columns;
        if (tab < 0 || !KeywordColumnsFor(options, arIds[r], columns)) {
            ui.ShowInfo(MsgArIdError);
            outcome.closeWindow = true;
            failed = true;
            break;
        }
        if (observer)
            observer->TabStarted(r, columns);
        ui.Progress(0, r + 1, arIds.size());
        ui.Progress(1, 0, 0);
        ui.Progress(2, 0, 0);

        TArticleTree tree;
        TKeywordResults results;
        if (!SearchKeywordTab(job, tab, codes, columns, contentBaseUrl, tree, results, ui, stopFn)) {
            failed = true;
            break;
        }
        if (observer)
            observer->TreeLoaded(tree);
        if (stop()) {
            failed = true;
            break;
        }
        const TWorkbookWrite written = WriteKeywordWorkbook(KeywordWorkbookPath(job, tab), tree, codes, results,
                                                            columns.count() > 0, ui, stopFn, 2);
        if (written == TWorkbookWrite::TooManyImageColumns)
            outcome.closeWindow = true;
        failed = written != TWorkbookWrite::Saved;
    }

    outcome.stopped = stop.stopped();
    outcome.completed = !failed && !outcome.stopped;
    // A run that ended on a fault is not reported as complete: its own message said why.
    ui.ShowInfo(outcome.completed ? MsgRunDone : MsgRunStopped);
    ui.ClearStop();
    if (outcome.stopped)
        ui.ShowInfo(MsgRunAbandoned);
    if (outcome.completed)
        SetKeywordUpdated(job, QStringLiteral("Y"));
    return outcome;
}
