#pragma once
// Meta data initialisation (초기화): the meta result file of every keyword tab built anew from
// the tab's category file, its result workbook, the fixed values of the keyword definitions and
// the values the article tree and the job give (the automatic base values).
#include "articles/ArticleIndex.h"
#include "shell/myLIB.h"

#include <QList>
#include <QString>
#include <QStringList>

class Interaction;
class TVUX_codes;
class TWorkbookReader;
class TMetaFileWriter;
struct TJobDefine;

inline const QString MsgMetaInitQuestion =
    QStringLiteral("분류 지정값과 색인어 추출의 결과값을 결합하여 데이터를 초기화합니다.\r\n"
                   "메타 수정 작업을 진행한 적이 있다면 모두 없어지고 새로 초기화됩니다.\r\n\r\n"
                   "지금 초기화를 진행합니까?");
inline const QString MsgMetaMaking = QStringLiteral("서버에 전송할 메타 데이터를 생성하고 있습니다.");
inline const QString MsgMetaStopQuestion = QStringLiteral("작업을 취소합니까?");
inline const QString MsgMetaStopped = QStringLiteral("작업이 중단되었습니다.");
inline const QString MsgMetaDone = QStringLiteral("작업이 완료되었습니다.");
inline const QString MsgMetaCheckCounts = QStringLiteral("액셀 파일과 기사의 개수를 확인하십시오.");
inline const QString RecordTypeParent = QStringLiteral("Parent Record");

// Base meta positions the automatic values are written to; the group needs this many columns.
constexpr int MetaBaseMinColumns = 38;
enum MetaBaseColumn {
    BaseTitle = 0,
    BaseSubject1 = 5,
    BaseSubject2 = 6,
    BaseLocalId = 17,
    BasePath = 26,
    BaseRecordType = 27,
    BaseUrl = 30,
    BaseTabId = 31,
    BaseContentNumber = 32,
    BaseProductCode = 33,
    BaseProductId = 34,
    BasePageNumber = 35,
    BaseHasChild = 36,
    BaseParentNumber = 37,
};

// tab + ": 색인 추출 정보가 없습니다." ...
QString MsgMetaNoWorkbook(const QString& tabName);
// tab + ": 주제 분류 지정 작업을 진행하지 않았습니다." ...
QString MsgMetaNoCategory(const QString& tabName);
// "메타정보 생성 오류!\r\n인덱스 위치 = " + k
QString MsgMetaIndexError(int k);
// Why a code table cannot carry meta data: no base group, or one too small for the automatic
// values. Empty when it can.
QString MetaCodeTableProblem(const TVUX_codes& codes);

// Base defaults: per base column the first fixed option (stype 1) of any tab for it, else
// "Parent Record", the product code or ID at 27, 33, 34, else empty.
QStringList MetaBaseDefaults(const QList<TvuxSchOption>& options, const TVUX_codes& codes, const TJobDefine& job);
// Fixed values of group `group`, one per column of it; a null text where none is given.
QStringList MetaFixedValues(const QList<TvuxSchOption>& options, const TVUX_codes& codes, int group);

// The content-view address of article k, with the full-width "＝" the pages are linked by.
QString ContentViewUrl(const QString& contentBaseUrl, const QString& productId, const QString& tabId, int k);
// The titles from the root down to node `k`, joined by "^".
QString TitlePath(const TArticleTree& tree, int k);

// A category file shorter than the tree needs: the missing subjects are "기타".
void PadCategoryLines(QStringList& lines, int nodeCount);

struct TMetaArticleContext {
    const TArticleTree* tree = nullptr;
    const QStringList* category = nullptr; // lines 2k and 2k + 1: the subjects of node k
    const QStringList* defaults = nullptr; // base defaults
    QString tabId;
    QString productCode;
    QString productId;
    QString contentBaseUrl;
};
// Writes the automatic base values of node k into the record starting at line p (empty values
// become the column's default). False when node k or the record is missing.
bool WriteAutomaticBaseValues(QStringList& lines, qsizetype p, int k, const TMetaArticleContext& context);

enum class MetaBuild { Done, Stopped, Failed, WholeSheets };
// Builds the lines of one tab from its open workbook. Stopped: Esc confirmed or too many base
// rows (its messages shown). Failed: a sheet could not be read (`error`).
MetaBuild BuildTabMeta(const TVUX_codes& codes, const TWorkbookReader& book, const QList<TvuxSchOption>& options,
                       const TMetaArticleContext& context, QStringList& lines, Interaction& ui, QString* error);
// The same lines written to `out` record by record while the sheets are read side by side, so
// that a big book is never held. WholeSheets: the workbook needs BuildTabMeta (rows out of order,
// or a base sheet that is the image sheet); nothing of `out` is to be kept then.
MetaBuild StreamTabMeta(const TVUX_codes& codes, const TWorkbookReader& book, const QList<TvuxSchOption>& options,
                        const TMetaArticleContext& context, TMetaFileWriter& out, Interaction& ui, QString* error);

// Follows a run: the tab being initialised (entry of the keyword tab list).
class TMetaInitObserver {
public:
    virtual ~TMetaInitObserver() = default;
    virtual void TabStarted(int entry, int tab) = 0;
};

struct TMetaInitOutcome {
    bool started = false;     // checks passed and the question was answered Yes
    bool completed = false;   // every tab written; the job flagged "N"
    bool closeWindow = false; // a tree could not be loaded
    QStringList written;      // meta result files written
};
// The whole run over the keyword tabs (`arIds` order) with its question, checks, progress (bars
// 0 tabs, 1 groups, 2 rows; labels 0, 1, 2), Esc and closing message. Every file written is
// preceded by a numbered ".bak" of the previous one.
TMetaInitOutcome RunMetaInitialisation(const TJobDefine& job, const TVUX_codes& codes,
                                       const QList<TvuxSchOption>& options, const QStringList& arIds,
                                       const QString& contentBaseUrl, Interaction& ui,
                                       TMetaInitObserver* observer = nullptr);
