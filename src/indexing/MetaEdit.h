#pragma once
// The rules of meta editing that the editor window and `quilo meta set` share: which editor a
// column gets, the coded choices, how a multi-value row is stored, which extended meta group an
// article shows, and the check of a value typed for a column.
#include <QString>
#include <QStringList>

class TVUX_codes;
struct TVuxColumn;

inline const QString MsgMetaSaveQuestionClose = QStringLiteral("수정 사항을 무시합니까?");
inline const QString MsgMetaCancelAll = QStringLiteral("정말 모든 수정 내용을 취소합니까?");
inline const QString MsgMetaCancelTab = QStringLiteral("수정 내용을 취소합니까?");
inline const QString MsgMetaNoMoreDelete = QStringLiteral("더 이상 삭제할 수 없습니다.");
inline const QString MsgMetaDeleteColumn = QStringLiteral("맨 우측의 한 줄이 삭제됩니다. 정말 삭제합니까?");
inline const QString MsgMetaKeywordsUpdated =
    QStringLiteral("색인어를 새로 추출한 정보가 있습니다.\r\n\r\n만일 메타 수정 작업을 한 이후에 색인어를 추출했다면 "
                   "다시 로드해야 반영됩니다.\r\n\r\n새로 추출한 색인어를 적용하려면 초기화 버튼을 클릭하세요.");
inline const QString MetaChoosePrefix = QStringLiteral("* 선택 - ");
// The window lays the groups out as base meta, nine extended groups and the image group.
constexpr int MetaWindowGroups = 11;
constexpr int MetaImageGroup = 10;

// tab + ":\r\n최종 수정 후 Excel 파일이 변경되었습니다. ..."
QString MsgMetaWorkbookNewer(const QString& tabName);
// codeGroup + ": 미정의 코드입니다."
QString MsgMetaUndefinedCode(const QString& codeGroup);
// "입력 데이터: " + n + "건"
QString MetaCountText(int values);
// A clear refusal when the code table's groups do not fit the window; empty when they do.
QString MetaWindowLayoutProblem(const TVUX_codes& codes);

enum class MetaEditor { None, Text, Date, Code, Multi };
// The editor of a column by the order of the rules: InputType "0" none, "d" date, a multi-value
// column the block editor, a coded column the drop-down, InputType "1" free text, else none.
MetaEditor EditorOf(const TVuxColumn& column);

// The drop-down items of a code group: "* 선택 - " + its title, then its code names. False when
// the code table has no such group.
bool CodeChoices(const TVUX_codes& codes, const QString& codeGroup, QStringList& items);
// The stored value of a chosen item: item 0 (the choose entry) and no choice store nothing.
QString ChosenValue(const QStringList& items, int index);

// A row of the multi-value editor: the trimmed values joined by TAB (empty ones in between
// stay); a null text when every value is empty, which leaves the stored value as it was.
QString JoinMultiValues(const QStringList& cells);
// The values of a stored multi-value text, at least one.
QStringList SplitMultiValues(const QString& text);

// The extended meta group (1 ... 9, never the last, the image group) named by subject 1, else by subject 2; -1 when neither
// names one.
int ExtensionGroupFor(const TVUX_codes& codes, const QString& subject1, const QString& subject2);

// The column a `meta set` names: "code" or "groupcode:code" (case ignored). -1 with the reason
// when it is unknown or the code is ambiguous.
int FindMetaColumn(const TVUX_codes& codes, const QString& name, QString& error);
// Checks `value` for column `column` as its editor would take it and gives the text to store
// (dates normalised, multi-value items trimmed and joined by TAB). False with the reason.
bool CheckMetaValue(const TVUX_codes& codes, int column, const QString& value, QString& stored, QString& error);
