// The editing rules shared by the meta editor and `quilo meta set`.

#include "indexing/MetaEdit.h"
#include "indexing/MetaFixture.h"

#include <gtest/gtest.h>

TEST(MetaEdit, MultiValueRows)
{
    struct {
        QStringList cells;
        QString stored; // null: the old value stays
    } cases[] = {
        {{"x", "", "y"}, "x\t\ty"},
        {{" x ", "y\t"}, "x\ty"},
        {{"", " "}, QString()},
        {{"", "z"}, "\tz"},
    };
    for (const auto& c : cases) {
        const QString joined = JoinMultiValues(c.cells);
        EXPECT_EQ(joined, c.stored) << c.cells.join('|').toStdString();
        EXPECT_EQ(joined.isNull(), c.stored.isNull());
    }
    EXPECT_EQ(SplitMultiValues(""), QStringList({""}));
    EXPECT_EQ(SplitMultiValues("x\t\ty"), QStringList({"x", "", "y"}));
}

TEST(MetaEdit, EditorsChoicesAndExtensionGroup)
{
    TVUX_codes codes;
    BuildMetaCodes(codes);
    EXPECT_EQ(EditorOf(codes.vux_Columns[0]), MetaEditor::Text);
    EXPECT_EQ(EditorOf(codes.vux_Columns[5]), MetaEditor::Code);
    EXPECT_EQ(EditorOf(codes.vux_Columns[25]), MetaEditor::Date);
    EXPECT_EQ(EditorOf(codes.vux_Columns[30]), MetaEditor::None);
    EXPECT_EQ(EditorOf(codes.vux_Columns[41]), MetaEditor::Multi);

    QStringList items;
    ASSERT_TRUE(CodeChoices(codes, "Code_SEX", items));
    EXPECT_EQ(items, QStringList({"* 선택 - 성별", "남", "여"}));
    EXPECT_EQ(ChosenValue(items, 0), ""); // the choose entry stores nothing
    EXPECT_EQ(ChosenValue(items, -1), "");
    EXPECT_EQ(ChosenValue(items, 2), "여");
    EXPECT_FALSE(CodeChoices(codes, "code_sex", items)); // code groups match exactly

    struct {
        QString s1, s2;
        int group;
    } subjects[] = {{"인명", "지명", 1}, {"기타", "지명", 2}, {"기타", "기타", -1}, {"이미지", "", -1}, {"기본메타", "", -1}};
    for (const auto& s : subjects)
        EXPECT_EQ(ExtensionGroupFor(codes, s.s1, s.s2), s.group) << s.s1.toStdString();
}

TEST(MetaEdit, ValuesCheckedAsTheEditorTakesThem)
{
    TVUX_codes codes;
    BuildMetaCodes(codes);
    struct {
        QString column, value;
        bool ok;
        QString stored;
    } cases[] = {
        {"b0", "새 제목", true, "새 제목"},
        {"B0", "it's", false, ""},                 // the edit field takes no apostrophe
        {"b8", "한국어", true, "한국어"},
        {"b8", "", true, ""},                       // the choose entry
        {"b8", "영어", false, ""},                  // not a name of the code group
        {"b8", "ko", false, ""},                    // a code value is no display name
        {"b25", "2024-1-5", true, "2024-01-05"},
        {"b25", "2024-13-40", false, ""},
        {"b30", "x", false, ""},                    // no editor of its own
        {"nm_rel_type", "남\t\t여", true, "남\t\t여"},
        {"nm_rel_type", "남\t누구", false, ""},
        {"ks_exmetaname:nm_rel", " 갑 \t을", true, "갑\t을"},
        {"nm_rel", "\t", false, ""},                // all empty leaves the old value: refused
        {"nm_nothing", "x", false, ""},
        {"ks_exmetaplace:nm_name", "x", false, ""}, // right code, wrong group
    };
    for (const auto& c : cases) {
        QString error, stored;
        const int column = FindMetaColumn(codes, c.column, error);
        const bool ok = column >= 0 && CheckMetaValue(codes, column, c.value, stored, error);
        EXPECT_EQ(ok, c.ok) << c.column.toStdString() << "=" << c.value.toStdString();
        if (ok)
            EXPECT_EQ(stored, c.stored) << c.column.toStdString();
        else
            EXPECT_FALSE(error.isEmpty()) << c.column.toStdString();
    }
}

TEST(MetaEdit, WindowNeedsElevenGroups)
{
    TVUX_codes codes;
    BuildMetaCodes(codes);
    EXPECT_TRUE(MetaWindowLayoutProblem(codes).contains("4개"));
}
