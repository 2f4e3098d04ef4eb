#pragma once
// Keyword extraction (색인 작업): every article of every keyword tab is searched for the tab's
// reference strings; the text after a marker becomes the value of its column, image markers
// also collect the picture next to them. Each tab's results go to its result workbook.

#include "articles/ArticleIndex.h"
#include "indexing/WorkbookResults.h"
#include "shell/myLIB.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class Interaction;
class TVUX_codes;
struct TJobDefine;

inline const QString MsgArIdError = QStringLiteral("ar_id 오류입니다.");
inline const QString MsgRunFirst =
    QStringLiteral("색인 작업을 실행하십시오.\r\n\r\n참조문자열이 지정되지 않았더라도\r\n"
                   "반드시 색인 작업을 실행하여 메타 데이터를 작성하십시오.");
inline const QString MsgRunQuestion =
    QStringLiteral("색인 작업 후 결과는 Excel 파일로 저장됩니다.\r\n"
                   "이전에 작업한 색인 결과 파일이 있다면 모두 삭제됩니다.\r\n"
                   "이후 기본 파일의 정보를 수정하면 그 내용은 색인 결과에 반영되지 않습니다.\r\n\r\n"
                   "색인작업을 새로 진행합니까?");
inline const QString MsgStopQuestion = QStringLiteral("작업을 중단합니까?");
inline const QString MsgStopping =
    QStringLiteral("작업을 중단합니다...\r\n작업 결과 파일(excel)은 삭제하지 않으나 그 내용을 "
                   "보증할 수 없으므로 새로 작업해야 합니다.");
inline const QString MsgRunStopped = QStringLiteral("색인 작업을 중단했습니다.");
inline const QString MsgRunAbandoned = QStringLiteral("색인 작업을 중단했습니다!!!");
inline const QString MsgRunDone = QStringLiteral("색인 작업이 완료되었습니다.");
inline const QString ImageGroupCode = QStringLiteral("ks_MetaTypeDetail");

// "열려 있는 파일(" + name + ")을 닫으십시오."
QString MsgCloseOpenFile(const QString& workbookName);
// The missing-extension message of an image next to a marker on line `line` (zero-based).
QString MsgNoImageExtension(const QString& articlePath, int line, const QString& fileName);

// The reference strings of one tab, in definition order, with their code-table columns.
struct TKeywordColumns {
    QList<int> pointers;
    QStringList texts;
    int count() const { return int(texts.size()); }
};

// The options of `arId` from its first record while the records keep that ar_id (they are
// contiguous); options of kind 2 give the reference strings. False when no record has it.
bool KeywordColumnsFor(const QList<TvuxSchOption>& options, const QString& arId, TKeywordColumns& columns);

// The three "^"-joined lists gathered for the image description column.
struct TImageLists {
    QString names;
    QString urls;
    QString formats;
    void clear() { names.clear(), urls.clear(), formats.clear(); }
};

// What an image reference needs besides the lines.
struct TImageContext {
    QString contentBaseUrl; // public content site, no trailing "/"
    QString productId;
    QString articlePath;    // for the missing-extension message
};

// Looks at lines i-1, i and i+1 for a first tag "<img ... src=...>"; the first one found is
// added to the lists. False when none is found or its file name has no extension (message).
bool FindImageNearLine(const QStringList& lines, int i, TImageLists& lists, const TImageContext& context,
                       Interaction& ui);

// Every line holding `reference` gives the rest of the line after its first occurrence, trimmed
// of blanks (TrimBlanks); non-empty values are joined by "^" into `value`. For the image
// description column a value counts only with a picture next to it. True when a value was kept.
bool SearchReference(const QStringList& lines, const QString& reference, bool imageColumn, QString& value,
                     TImageLists& lists, const TImageContext& context, Interaction& ui,
                     const std::function<bool()>& stop);

// "59", "01:05", "01:02:03".
QString KeywordElapsedText(int seconds);

// What the window follows during a run besides messages and the three bars
// (0 tabs, 1 articles, 2 workbook rows).
class TKeywordRunObserver {
public:
    virtual ~TKeywordRunObserver() = default;
    // Entry `entry` of the ar_id list is being processed: select it and show its definitions.
    virtual void TabStarted(int entry, const TKeywordColumns& columns) = 0;
    // The article tree of the tab being searched.
    virtual void TreeLoaded(const TArticleTree& tree) { Q_UNUSED(tree); }
};

// One tab searched: false when its index cannot be loaded or the image columns are missing
// from the code table (message shown). A file that cannot be read ends the tab's search with
// the results so far, and true.
bool SearchKeywordTab(const TJobDefine& job, int tab, const TVUX_codes& codes, const TKeywordColumns& columns,
                      const QString& contentBaseUrl, TArticleTree& tree, TKeywordResults& results,
                      Interaction& ui, const std::function<bool()>& stop);

struct TKeywordRunOutcome {
    bool started = false;     // the question was answered Yes
    bool completed = false;   // every tab's workbook was written; the job is flagged "Y"
    bool stopped = false;     // the operator stopped it
    bool closeWindow = false; // ar_id error or too many image columns
    QStringList workbooks;    // the result list: every tab's workbook path
};

// The whole run over `arIds` in order: question, ".bak" of the previous workbooks, search and
// workbook per tab, the closing message, and the keyword-updated flag "Y" when complete.
// Esc (StopRequested) is confirmed with "작업을 중단합니까?" at every article, sheet and workbook
// row; No carries on.
TKeywordRunOutcome RunKeywordExtraction(const TJobDefine& job, const TVUX_codes& codes,
                                        const QList<TvuxSchOption>& options, const QStringList& arIds,
                                        const QString& contentBaseUrl, Interaction& ui,
                                        TKeywordRunObserver* observer = nullptr);

// Keyword tabs (by `arIds`) that have no result workbook yet.
bool AnyKeywordWorkbookMissing(const TJobDefine& job, const QStringList& arIds);

