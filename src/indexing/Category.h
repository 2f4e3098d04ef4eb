#pragma once
// Subject categories of the articles of a keyword tab: two subjects per node of the tab's
// article tree, kept in the tab's category file "{tab}_category.txt" in the job folder.
// Meta data initialisation reads line 2k and 2k+1 as subject 1 and 2 of article k.

#include "shell/myLIB.h"

#include <QList>
#include <QString>
#include <QStringList>

class Interaction;
class TArticleTree;
class TVUX_codes;
struct TJobDefine;

inline const QString Subject1Header = QStringLiteral("1주제");
inline const QString Subject2Header = QStringLiteral("2주제");
inline const QString SubjectEtc = QStringLiteral("기타");
inline const QString EmptySubject = QStringLiteral("-");
inline const QString Subject1CodeGroup = QStringLiteral("Code_92");
inline const QString Subject2CodeGroup = QStringLiteral("Code_93");

inline const QString MsgCategoryNoOptions =
    QStringLiteral("이 탭은 색인어 추출이 없으므로 주제 분류가 필요 없습니다.");
inline const QString MsgCategoryNoSubject1 =
    QStringLiteral("기본 주제 1의 분류가 설정되어있지 않습니다.\r\n색인정보 가져오기 메뉴를 실행하여 색인 정보를 확인하십시오.");
inline const QString MsgCategoryNoSubject2 =
    QStringLiteral("기본 주제 2의 분류가 설정되어있지 않습니다.\r\n색인정보 가져오기 메뉴를 실행하여 색인 정보를 확인하십시오.");
inline const QString MsgCategoryBadCodeTable = QStringLiteral("코드테이블 이상으로 프로그램을 수행할 수 없습니다.");
inline const QString MsgCategorySaved = QStringLiteral("분류 정보가 저장되었습니다.");
inline const QString MsgCategoryCancelEdits = QStringLiteral("수정 내용을 취소합니까?");
inline const QString MsgCategoryCancelAll = QStringLiteral("작업 내용을 모두 취소합니까?");
inline const QString MsgCategoryNotSaved =
    QStringLiteral("작업 내용을 저장하지 않았습니다. 작업 내용을 모두 취소합니까");

// The tabs a category or extraction window lists: one entry per ar_id of the keyword definitions
// (in their order) that names a job tab.
struct TKeywordTab {
    QString arId;
    int tab = -1; // job tab index
};
QList<TKeywordTab> KeywordTabs(const TJobDefine& job, const QStringList& arIds);

struct TCategoryDefaults {
    QString subj1_code; // ColumnCode of the subject-1 column; only tested for presence
    QString subj2_code;
    QString subj1_name;
    QString subj2_name;
};

enum class CategoryDefaults { Ok, NoOptions, NoSubject1, NoSubject2 };

// The default subjects of a tab from the options of its ar_id; a later option of the same column
// overwrites an earlier one until both columns are known.
CategoryDefaults FindCategoryDefaults(const QList<TvuxSchOption>& options, const QString& arId,
                                      const TVUX_codes& codes, TCategoryDefaults& out);
// The message for a result other than Ok.
QString CategoryDefaultsMessage(CategoryDefaults result);

// The subject choices: the header row's name of each code group as caption and its code names.
struct TSubjectChoices {
    QString caption1, caption2;
    QStringList items1, items2;
    int etc1 = -1; // index of "기타" among the items, -1 when absent
    int etc2 = -1;
};
// False when "Code_92" or "Code_93" is missing from the code table.
bool LoadSubjectChoices(const TVUX_codes& codes, TSubjectChoices& out);

// The grid of one tab: row 0 is the header, row k the subjects of tree node k.
struct TCategoryGrid {
    QStringList subj1;
    QStringList subj2;

    int rowCount() const { return int(subj1.size()); }
    // `nodeCount` rows, the header in row 0 and the defaults in every other row.
    void Reset(int nodeCount, const TCategoryDefaults& defaults);
    // Fills rows 1... from the lines of a category file (lines 2k, 2k+1 for row k); a missing
    // line or "-" takes its column's default. True when a default had to stand in.
    bool Fill(const QStringList& fileLines, int nodeCount, const TCategoryDefaults& defaults);
    // Two lines per row, an empty cell as "-".
    QStringList FileLines() const;
    // Writes both subjects into row `node` and the rows of all its descendants. Returns the
    // number of rows written.
    int SetNode(const TArticleTree& tree, int node, const QString& subject1, const QString& subject2);
};

// Reads the category file (missing: no lines); false after the message when it exists but
// cannot be read.
bool ReadCategoryFile(const QString& file, QStringList& lines, Interaction& ui);
// Replaces the category file (UTF-16LE with byte-order mark, CR LF), atomically.
bool WriteCategoryFile(const QString& file, const TCategoryGrid& grid, QString* error = nullptr);

// Subject 2 when the operator picks subject 1 (and possibly subject 2): "-" unless subject 1 is
// "기타". Empty text in `error` when the pair is allowed; the Korean reason otherwise.
QString CheckSubjects(const TSubjectChoices& choices, const QString& subject1, QString& subject2);
