#include "indexing/MetaInit.h"

#include "indexing/Category.h"
#include "indexing/KeywordDefinitions.h"
#include "indexing/KeywordExtract.h"
#include "indexing/MetaFile.h"
#include "indexing/Workbook.h"
#include "indexing/WorkbookResults.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"

#include <QFileInfo>
#include <QLocale>

#include <vector>

QString MsgMetaNoWorkbook(const QString& tabName)
{
    return tabName + QStringLiteral(": 색인 추출 정보가 없습니다.") + QStringLiteral("\r\n") +
           QStringLiteral("색인작업 -> 색인어추출 작업을 실행하세요.");
}

QString MsgMetaNoCategory(const QString& tabName)
{
    return tabName + QStringLiteral(": 주제 분류 지정 작업을 진행하지 않았습니다.") + QStringLiteral("\r\n") +
           QStringLiteral("색인작업 -> 분류지정 작업을 실행하세요.");
}

QString MsgMetaIndexError(int k)
{
    return QStringLiteral("메타정보 생성 오류!\r\n인덱스 위치 = ") + QString::number(k);
}

QString MetaCodeTableProblem(const TVUX_codes& codes)
{
    const int count = codes.vux_GroupCount > 0 ? codes.vux_Groups[0].Count : 0;
    if (count >= MetaBaseMinColumns)
        return {};
    return QStringLiteral("코드테이블의 기본메타 칼럼이 %1개뿐이어서 메타 데이터를 만들 수 없습니다.\r\n"
                          "기본메타에는 칼럼이 %2개 이상 있어야 합니다.")
        .arg(count)
        .arg(MetaBaseMinColumns);
}

// The first fixed option of any tab for `column`; null when there is none.
static QString FirstFixedValue(const QList<TvuxSchOption>& options, int column)
{
    for (const TvuxSchOption& o : options)
        if (o.sptr == column && o.stype == KeywordFixed)
            return o.value.isNull() ? QStringLiteral("") : o.value;
    return {};
}

QStringList MetaBaseDefaults(const QList<TvuxSchOption>& options, const TVUX_codes& codes, const TJobDefine& job)
{
    QStringList defaults;
    const int count = codes.vux_GroupCount > 0 ? codes.vux_Groups[0].Count : 0;
    for (int j = 0; j < count; ++j) {
        QString v = FirstFixedValue(options, j);
        if (v.isNull()) {
            if (j == BaseRecordType)
                v = RecordTypeParent;
            else if (j == BaseProductCode)
                v = job.pCode;
            else if (j == BaseProductId)
                v = job.pID;
        }
        defaults << v;
    }
    return defaults;
}

QStringList MetaFixedValues(const QList<TvuxSchOption>& options, const TVUX_codes& codes, int group)
{
    QStringList fixed;
    if (group < 0 || group >= codes.vux_GroupCount)
        return fixed;
    const TVuxGroup& g = codes.vux_Groups[group];
    for (int j = 0; j < g.Count; ++j)
        fixed << FirstFixedValue(options, g.First + j);
    return fixed;
}

QString ContentViewUrl(const QString& contentBaseUrl, const QString& productId, const QString& tabId, int k)
{
    const QChar eq(0xFF1D);
    return contentBaseUrl + QStringLiteral("/pcontent/content_view_detail_QU.asp?svcid") + eq + QStringLiteral("QU&proid") +
           eq + productId + QStringLiteral("&arid") + eq + tabId + QStringLiteral("&ContentNumber") + eq +
           QString::number(k + 1) + QStringLiteral("&PageNumber") + eq + QString::number(k);
}

QString TitlePath(const TArticleTree& tree, int k)
{
    QStringList titles;
    for (int n = k; tree.valid(n); n = tree.node(n).parent)
        titles.prepend(tree.node(n).title);
    return titles.join(QLatin1Char('^'));
}

bool WriteAutomaticBaseValues(QStringList& lines, qsizetype p, int k, const TMetaArticleContext& c)
{
    const TArticleTree& tree = *c.tree;
    if (k < 1 || !tree.valid(k) || p < 0 || p + MetaBaseMinColumns > lines.size() ||
        c.defaults->size() < MetaBaseMinColumns)
        return false;
    const TArticleNode& node = tree.node(k);
    auto set = [&](int column, const QString& value) {
        lines[p + column] = value.isEmpty() ? c.defaults->at(column) : value;
    };
    const QStringList& category = *c.category;
    set(BaseTitle, node.title);
    set(BaseSubject1, category.value(2 * k));
    set(BaseSubject2, category.value(2 * k + 1));
    set(BaseLocalId, c.tabId + QLatin1Char('_') + QString::number(k));
    set(BasePath, TitlePath(tree, k));
    set(BaseRecordType, RecordTypeParent);
    set(BaseUrl, ContentViewUrl(c.contentBaseUrl, c.productId, c.tabId, k));
    set(BaseTabId, c.tabId);
    set(BaseContentNumber, QString::number(k + 1));
    set(BaseProductCode, c.productCode);
    set(BaseProductId, c.productId);
    set(BasePageNumber, QString::number(k));
    set(BaseHasChild, node.children.empty() ? QStringLiteral("0") : QStringLiteral("1"));
    set(BaseParentNumber, QString::number(node.parent + 1));
    return true;
}

namespace {
// Passes messages and questions on but keeps a loader's own progress off the run's bars and
// labels, which mean tabs, groups and rows here.
class QuietProgress : public Interaction {
public:
    explicit QuietProgress(Interaction& ui) : m_ui(ui) {}
    void ShowInfo(const QString& text) override { m_ui.ShowInfo(text); }
    bool AskYesNo(const QString& text) override { return m_ui.AskYesNo(text); }
    void Report(const QString& line) override { m_ui.Report(line); }
    bool StopRequested() override { return m_ui.StopRequested(); }
    void ClearStop() override { m_ui.ClearStop(); }

private:
    Interaction& m_ui;
};
} // namespace

void PadCategoryLines(QStringList& lines, int nodeCount)
{
    while (lines.size() < 2 * qsizetype(nodeCount))
        lines << SubjectEtc;
}

static QString Counter(qint64 a, qint64 b)
{
    const QLocale c = QLocale::c();
    return c.toString(a) + QStringLiteral(" / ") + c.toString(b);
}

// Esc at a sheet row: "작업을 취소합니까?"; No carries on.
static bool StopConfirmed(Interaction& ui)
{
    if (!ui.StopRequested())
        return false;
    if (ui.AskYesNo(MsgMetaStopQuestion))
        return true;
    ui.ClearStop();
    return false;
}

// A row without a title carries more pictures of the article above; the first data row has no
// article above and counts as its own.
static bool IsContinuationRow(bool imageSheet, int row, const QStringList& cells)
{
    return imageSheet && row > 2 && cells.value(0).isEmpty();
}

// One sheet row into the record starting at line `p`: an ordinary row first puts the group's
// fixed values, then every non-empty cell replaces its value, or on a continuation row is
// appended to it after "^". Lines outside `lines` are not written.
static void ApplySheetRow(QStringList& lines, qsizetype p, const TVuxGroup& group, const QStringList& fixed,
                          const QStringList& row, bool continuation)
{
    for (int j = 0; j < group.Count; ++j) {
        const qsizetype line = p + j;
        if (line < 0 || line >= lines.size())
            continue;
        if (!continuation && !fixed.value(j).isNull())
            lines[line] = fixed[j];
        const QString v = row.value(j + 1);
        if (v.isEmpty())
            continue;
        lines[line] = continuation ? lines[line] + QLatin1Char('^') + v : v;
    }
}

// A value made of "^" alone lists nothing.
static bool OnlySeparators(const QString& line)
{
    return !line.isEmpty() && line.count(QLatin1Char('^')) == line.size();
}

MetaBuild BuildTabMeta(const TVUX_codes& codes, const TWorkbookReader& book, const QList<TvuxSchOption>& options,
                       const TMetaArticleContext& context, QStringList& lines, Interaction& ui, QString* error)
{
    const int block = codes.vux_DataBlockLength;
    lines.clear();
    ui.Progress(1, 0, codes.vux_GroupCount);
    for (int g = 0; g < codes.vux_GroupCount; ++g) {
        ui.Status(1, Counter(g + 1, codes.vux_GroupCount));
        ui.Progress(1, g + 1, codes.vux_GroupCount);
        const QStringList fixed = g >= 1 ? MetaFixedValues(options, codes, g) : QStringList();
        const QString sheet = codes.GetGroupName(g);
        const bool imageSheet = sheet == ImageGroupName;
        TSheetRows rows;
        if (!book.ReadSheet(sheet, rows, error))
            return MetaBuild::Failed;
        const int R = int(rows.size());
        if (g == 0) {
            const qsizetype n = qsizetype(qMax(0, R - 1)) * block;
            lines.reserve(n);
            for (qsizetype i = 0; i < n; ++i)
                lines.append(QString());
        }
        const TVuxGroup& group = codes.vux_Groups[g];
        qsizetype p = group.First;
        TProgressTicker rowBar(ui, 2, qMax(0, R - 1));
        for (int r = 2; r <= R; ++r) {
            if ((r & 63) == 0 || r == R)
                ui.Status(2, Counter(r, R));
            rowBar.Set(r - 1);
            if (StopConfirmed(ui))
                return MetaBuild::Stopped;
            if (g == 0 && !WriteAutomaticBaseValues(lines, p, r - 1, context)) {
                ui.ShowInfo(MsgMetaIndexError(r - 1));
                ui.ShowInfo(MsgMetaCheckCounts);
                return MetaBuild::Stopped;
            }
            const QStringList& row = rows[r - 1];
            const bool continuation = IsContinuationRow(imageSheet, r, row);
            if (continuation)
                p -= block;
            ApplySheetRow(lines, p, group, fixed, row, continuation);
            p += block;
        }
        rowBar.Set(qMax(0, R - 1));
    }
    for (QString& l : lines)
        if (OnlySeparators(l))
            l.clear();
    return MetaBuild::Done;
}

namespace {

// One sheet of the workbook read along the records: the rows taken so far and the next row
// that holds a value.
struct SheetCursor {
    TSheetStream stream;
    const TVuxGroup* group = nullptr;
    QStringList fixed;
    bool image = false;
    int taken = 1;       // the last sheet row taken; row 1 holds the titles
    int record = -1;     // the record of the last ordinary row taken
    int nextRow = 0;     // the next row holding a value, 0 after the last
    QStringList next;

    // Moves to the next row holding a value beyond the rows taken. False on a fault or on
    // rows out of order.
    bool Advance(QString* error)
    {
        do {
            if (!stream.Next(nextRow, next, error)) {
                nextRow = 0;
                return !stream.Failed() && !stream.Disordered();
            }
        } while (nextRow <= taken);
        return true;
    }
};

} // namespace

MetaBuild StreamTabMeta(const TVUX_codes& codes, const TWorkbookReader& book, const QList<TvuxSchOption>& options,
                        const TMetaArticleContext& context, TMetaFileWriter& out, Interaction& ui, QString* error)
{
    const int block = codes.vux_DataBlockLength;
    const int groups = codes.vux_GroupCount;
    // Continuation rows in the base sheet would move its records away from the articles.
    if (groups == 0 || codes.GetGroupName(0) == ImageGroupName)
        return MetaBuild::WholeSheets;
    std::vector<SheetCursor> sheets(static_cast<size_t>(groups));
    for (int g = 0; g < groups; ++g) {
        SheetCursor& c = sheets[size_t(g)];
        const QString name = codes.GetGroupName(g);
        c.group = &codes.vux_Groups[g];
        c.image = name == ImageGroupName;
        if (g >= 1)
            c.fixed = MetaFixedValues(options, codes, g);
        if (!c.stream.Open(book, name, error))
            return MetaBuild::Failed;
        if (!c.Advance(error))
            return c.stream.Disordered() ? MetaBuild::WholeSheets : MetaBuild::Failed;
    }
    ui.Status(1, Counter(groups, groups));
    ui.Progress(1, groups, groups);

    const int articles = qMax(0, context.tree->count() - 1);
    TProgressTicker rowBar(ui, 2, articles);
    QStringList record;
    const QStringList none;
    // Record i is article i + 1 and row i + 2 of the base sheet; it exists while the base sheet
    // has rows that far.
    for (int i = 0; sheets[0].nextRow != 0; ++i) {
        if ((i & 63) == 0 || i + 1 == articles)
            ui.Status(2, Counter(i + 1, articles));
        rowBar.Set(i + 1);
        if (StopConfirmed(ui))
            return MetaBuild::Stopped;
        record.fill(QString(), block);
        if (!WriteAutomaticBaseValues(record, 0, i + 1, context)) {
            ui.ShowInfo(MsgMetaIndexError(i + 1));
            ui.ShowInfo(MsgMetaCheckCounts);
            return MetaBuild::Stopped;
        }
        for (SheetCursor& c : sheets) {
            // The sheet's rows up to the next one that starts a later record.
            while (c.nextRow != 0) {
                const int r = c.taken + 1;
                const QStringList& row = c.nextRow == r ? c.next : none;
                const bool continuation = IsContinuationRow(c.image, r, row);
                if (!continuation && c.record + 1 > i)
                    break;
                if (!continuation)
                    ++c.record;
                ApplySheetRow(record, c.group->First, *c.group, c.fixed, row, continuation);
                c.taken = r;
                if (c.nextRow == r && !c.Advance(error))
                    return c.stream.Disordered() ? MetaBuild::WholeSheets : MetaBuild::Failed;
            }
        }
        for (const QString& l : record)
            out.WriteLine(OnlySeparators(l) ? QString() : l);
    }
    // Rows past the last record count for nothing, but a fault or disorder in them does.
    for (SheetCursor& c : sheets)
        while (c.nextRow != 0)
            if (!c.Advance(error))
                return c.stream.Disordered() ? MetaBuild::WholeSheets : MetaBuild::Failed;
    rowBar.Set(articles);
    return MetaBuild::Done;
}

TMetaInitOutcome RunMetaInitialisation(const TJobDefine& job, const TVUX_codes& codes,
                                       const QList<TvuxSchOption>& options, const QStringList& arIds,
                                       const QString& contentBaseUrl, Interaction& ui, TMetaInitObserver* observer)
{
    TMetaInitOutcome outcome;
    if (const QString problem = MetaCodeTableProblem(codes); !problem.isEmpty()) {
        ui.ShowInfo(problem);
        return outcome;
    }
    const QList<TKeywordTab> tabs = KeywordTabs(job, arIds);
    if (tabs.isEmpty()) {
        ui.ShowInfo(MsgKeywordsWrongInfo);
        return outcome;
    }
    if (!ui.AskYesNo(MsgMetaInitQuestion))
        return outcome;
    for (const TKeywordTab& t : tabs) {
        const QString name = job.TabsName[t.tab];
        const QString book = KeywordWorkbookPath(job, t.tab);
        if (book.isEmpty() || !QFileInfo::exists(book)) {
            ui.ShowInfo(MsgMetaNoWorkbook(name));
            return outcome;
        }
        const QString category = CategoryFileName(job.WorkFolder, name);
        if (category.isEmpty() || !QFileInfo::exists(category)) {
            ui.ShowInfo(MsgMetaNoCategory(name));
            return outcome;
        }
    }
    outcome.started = true;

    const QStringList defaults = MetaBaseDefaults(options, codes, job);
    ui.Report(MsgMetaMaking);
    ui.Progress(0, 0, tabs.size());
    bool stopped = false;
    QString failure;
    int done = 0;
    for (int t = 0; t < tabs.size() && !stopped && failure.isEmpty(); ++t) {
        const int tab = tabs[t].tab;
        const QString name = job.TabsName[tab];
        ui.Status(0, Counter(t + 1, tabs.size()));
        ui.Progress(0, t + 1, tabs.size());
        if (observer)
            observer->TabStarted(t, tab);

        TArticleTree tree;
        QuietProgress quiet(ui);
        if (!LoadArticleTree(job, tab, tree, quiet) || tree.empty()) {
            outcome.closeWindow = true;
            stopped = true;
            break;
        }
        QStringList category;
        if (!ReadCategoryFile(CategoryFileName(job.WorkFolder, name), category, ui)) {
            stopped = true;
            break;
        }
        PadCategoryLines(category, tree.count());

        TWorkbookReader reader;
        QString error;
        const QString bookPath = KeywordWorkbookPath(job, tab);
        if (!reader.Open(bookPath, &error)) {
            failure = MsgWorkbookUnreadable(bookPath, error);
            break;
        }
        TMetaArticleContext context;
        context.tree = &tree;
        context.category = &category;
        context.defaults = &defaults;
        context.tabId = job.TabsID[tab];
        context.productCode = job.pCode;
        context.productId = job.pID;
        context.contentBaseUrl = contentBaseUrl;
        const QString file = KeywordFileName(job, tab);
        bool saved = false;
        MetaBuild built = MetaBuild::Failed;
        if (!file.isEmpty()) {
            TMetaFileWriter out(file);
            built = StreamTabMeta(codes, reader, options, context, out, ui, &error);
            saved = built == MetaBuild::Done && out.Commit(nullptr, &error);
        }
        if (built == MetaBuild::WholeSheets) {
            TMetaData data(codes.vux_DataBlockLength);
            built = BuildTabMeta(codes, reader, options, context, data.Lines(), ui, &error);
            saved = built == MetaBuild::Done && SaveMetaFile(file, data, nullptr, &error);
        }
        if (built == MetaBuild::Stopped) {
            stopped = true;
            break;
        }
        if (built == MetaBuild::Failed && !file.isEmpty()) {
            failure = MsgWorkbookUnreadable(bookPath, error);
            break;
        }
        if (!saved) {
            failure = file + QStringLiteral(": 파일을 저장할 수 없습니다.\r\n") + error;
            break;
        }
        outcome.written << file;
        ++done;
    }
    // A failure is no completion: the closing message says the work stopped, then why.
    ui.ShowInfo(stopped || !failure.isEmpty() ? MsgMetaStopped : MsgMetaDone);
    if (!failure.isEmpty())
        ui.ShowInfo(failure);
    ui.ClearStop();
    if (done == tabs.size()) {
        SetKeywordUpdated(job, QStringLiteral("N"));
        outcome.completed = true;
    }
    return outcome;
}
