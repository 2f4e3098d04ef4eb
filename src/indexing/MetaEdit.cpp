#include "indexing/MetaEdit.h"

#include "controls/EditPlusRules.h"
#include "server/VUX_codes.h"
#include "shell/Runtime.h"

#include <QDate>

QString MsgMetaWorkbookNewer(const QString& tabName)
{
    return tabName + QStringLiteral(":") + QStringLiteral("\r\n") + QStringLiteral("최종 수정 후 Excel 파일이 변경되었습니다.") +
           QStringLiteral("\r\n") + QStringLiteral("변경된 내용을 적용하려면 초기화를 진행하십시오.") + QStringLiteral("\r\n") +
           QStringLiteral("만일 초기화를 진행하면 이 메뉴에서 작업한 내용은 모두 무시됩니다.");
}

QString MsgMetaUndefinedCode(const QString& codeGroup)
{
    return codeGroup + QStringLiteral(": 미정의 코드입니다.");
}

QString MetaCountText(int values)
{
    return QStringLiteral("입력 데이터: ") + QString::number(values) + QStringLiteral("건");
}

QString MetaWindowLayoutProblem(const TVUX_codes& codes)
{
    if (codes.vux_GroupCount == MetaWindowGroups)
        return {};
    return QStringLiteral("코드테이블의 메타 그룹이 %1개입니다. 메타 수정 화면은 그룹이 %2개인 코드테이블만 "
                          "표시할 수 있습니다.\r\n관리자에게 문의하십시오.")
        .arg(codes.vux_GroupCount)
        .arg(MetaWindowGroups);
}

MetaEditor EditorOf(const TVuxColumn& column)
{
    if (column.InputType == QLatin1String("0"))
        return MetaEditor::None;
    if (column.InputType == QLatin1String("d"))
        return MetaEditor::Date;
    if (column.MultipleYN == QLatin1String("Y"))
        return MetaEditor::Multi;
    if (column.CodeGroup != QLatin1String("x"))
        return MetaEditor::Code;
    if (column.InputType == QLatin1String("1"))
        return MetaEditor::Text;
    return MetaEditor::None;
}

bool CodeChoices(const TVUX_codes& codes, const QString& codeGroup, QStringList& items)
{
    items.clear();
    const int g = codes.FindCodePointer(codeGroup);
    if (g < 0)
        return false;
    const TVuxGroup& def = codes.vux_CodeDef[g];
    items << MetaChoosePrefix + codes.vux_CodeData[def.First].CodeName;
    for (int i = def.First + 1; i < def.First + def.Count; ++i)
        items << codes.vux_CodeData[i].CodeName;
    return true;
}

QString ChosenValue(const QStringList& items, int index)
{
    return index >= 1 && index < items.size() ? items[index] : QString();
}

QString JoinMultiValues(const QStringList& cells)
{
    QStringList values;
    bool any = false;
    for (const QString& c : cells) {
        values << TrimBlanks(c);
        any = any || !values.last().isEmpty();
    }
    if (!any)
        return {};
    return values.join(QLatin1Char('\t'));
}

QStringList SplitMultiValues(const QString& text)
{
    QStringList values;
    SplitByChar(text, values, QLatin1Char('\t'));
    if (values.isEmpty())
        values << QString();
    return values;
}

int ExtensionGroupFor(const TVUX_codes& codes, const QString& subject1, const QString& subject2)
{
    for (const QString& s : {subject1, subject2}) {
        const int g = s.isEmpty() ? -1 : codes.GetGroupPtrByName(s);
        if (g >= 1 && g < qMin(codes.vux_GroupCount - 1, MetaImageGroup))
            return g;
    }
    return -1;
}

int FindMetaColumn(const TVUX_codes& codes, const QString& name, QString& error)
{
    const qsizetype colon = name.indexOf(QLatin1Char(':'));
    const QString group = colon < 0 ? QString() : name.left(colon).toLower();
    const QString code = (colon < 0 ? name : name.mid(colon + 1)).toLower();
    int found = -1;
    for (int i = 0; i < codes.vux_DataBlockLength; ++i) {
        const TVuxColumn& c = codes.vux_Columns[i];
        if (c.ColumnCode != code || (!group.isEmpty() && c.GroupCode != group))
            continue;
        if (found >= 0) {
            error = name + QStringLiteral(": 같은 코드의 칼럼이 여럿입니다. 그룹코드:칼럼코드로 지정하십시오.");
            return -1;
        }
        found = i;
    }
    if (found < 0)
        error = name + QStringLiteral(": 코드테이블에 없는 칼럼입니다.");
    return found;
}

// The first column of the multi-value block around `column` that has an editor of its own: the
// block is edited from any of its columns.
static bool BlockEditable(const TVUX_codes& codes, int column)
{
    QString title;
    int from = 0, count = 0;
    codes.GetMultiColumnInfo(column, title, from, count);
    for (int i = from; i < from + count; ++i)
        if (codes.vux_Columns[i].InputType != QLatin1String("0"))
            return true;
    return false;
}

static bool CheckCode(const TVUX_codes& codes, const TVuxColumn& c, const QString& value, QString& error)
{
    if (value.isEmpty())
        return true;
    QStringList items;
    if (!CodeChoices(codes, c.CodeGroup, items)) {
        error = MsgMetaUndefinedCode(c.CodeGroup);
        return false;
    }
    if (items.indexOf(value) >= 1)
        return true;
    items.removeFirst();
    error = c.GroupName + QStringLiteral(" > ") + c.ColumnName + QStringLiteral(": '") + value +
            QStringLiteral("'은(는) 선택할 수 있는 값이 아닙니다. (") + items.join(QStringLiteral(", ")) + QLatin1Char(')');
    return false;
}

bool CheckMetaValue(const TVUX_codes& codes, int column, const QString& value, QString& stored, QString& error)
{
    if (column < 0 || column >= codes.vux_DataBlockLength) {
        error = QStringLiteral("칼럼 번호가 잘못되었습니다.");
        return false;
    }
    const TVuxColumn& c = codes.vux_Columns[column];
    const QString label = c.GroupName + QStringLiteral(" > ") + c.ColumnName;
    const bool multi = c.MultipleYN == QLatin1String("Y");
    const MetaEditor editor = EditorOf(c);
    if (editor == MetaEditor::None && !(multi && BlockEditable(codes, column))) {
        error = label + QStringLiteral(": 직접 수정할 수 없는 칼럼입니다.");
        return false;
    }
    if (multi && editor != MetaEditor::Date) {
        QStringList cells = SplitMultiValues(value);
        for (const QString& cell : cells)
            if (c.CodeGroup != QLatin1String("x") && !CheckCode(codes, c, TrimBlanks(cell), error))
                return false;
        stored = JoinMultiValues(cells);
        if (stored.isNull()) {
            error = label + QStringLiteral(": 빈 값만으로는 여러 값 칼럼을 바꿀 수 없습니다.");
            return false;
        }
        return true;
    }
    switch (editor) {
    case MetaEditor::Date: {
        const NormalizedValue n = NormalizeDate(value, QDate::currentDate());
        if (!n.valid) {
            error = label + QStringLiteral(": ") + InvalidEntryMessage(EditKind::Date);
            return false;
        }
        stored = n.text;
        return true;
    }
    case MetaEditor::Code:
        stored = value;
        return CheckCode(codes, c, value, error);
    default: {
        const FilteredInsert f = FilterInsertedText(EditKind::Plain, value, 0, EditCharCase::Normal);
        if (f.text != value) {
            error = label + QStringLiteral(": 작은따옴표, 탭, 줄바꿈은 입력할 수 없습니다.");
            return false;
        }
        stored = value;
        return true;
    }
    }
}
