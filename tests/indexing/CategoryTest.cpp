#include "articles/ArticleIndex.h"
#include "common/TestSupport.h"
#include "indexing/Category.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/TextFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

const QStringList kColumns = {
    "ks_coremeta\tks_coremeta\t기본메타\tmt_title\t제목\tx\tN\t1",
    "ks_coremeta\tks_coremeta\t기본메타\tmt_oCode\t주제분류1\tCode_92\tN\t1",
    "ks_coremeta\tks_coremeta\t기본메타\tmt_sCode\t주제분류2\tCode_93\tN\t1",
};
const QStringList kCodes = {
    "Code_92\t주제분류1\t00", "Code_92\t인명\t01", "Code_92\t기타\t99",
    "Code_93\t주제분류2\t00", "Code_93\t지명\t02", "Code_93\t기타\t99", "Code_93\t역사\t03",
};

TCategoryDefaults Defaults()
{
    return {"mt_ocode", "mt_scode", "인명", "지명"};
}

// root, 1, 1.1, 1.1.1, 1.2, 2, 2.1
TArticleTree SampleTree()
{
    TArticleTree t;
    const int root = t.addRoot("본문");
    const int a = t.addChild(root, "1", {"1", 1});
    const int a1 = t.addChild(a, "1.1", {"1_1", 2});
    t.addChild(a1, "1.1.1", {"1_1_1", 3});
    t.addChild(a, "1.2", {"1_2", 2});
    const int b = t.addChild(root, "2", {"2", 1});
    t.addChild(b, "2.1", {"2_1", 2});
    return t;
}

TEST(Category, DefaultsFromTheTabsOptions)
{
    TVUX_codes codes;
    codes.BuildColumns(kColumns);
    codes.vux_SubjPtr1 = codes.FindColumnPtr("ks_coremeta", "mt_oCode");
    codes.vux_SubjPtr2 = codes.FindColumnPtr("ks_coremeta", "mt_sCode");
    const QList<TvuxSchOption> options = {
        {"101", 1, 1, "인명"}, {"101", 1, 2, "기타"}, {"101", 2, 1, "지명"}, {"101", 1, 1, "too late"},
        {"102", 0, 1, "title only"},
        {"103", 2, 1, "지명"},
        {"104", 1, 1, "기타"}, {"104", 99, 1, "out of range"},
    };
    struct Case {
        QString arId;
        CategoryDefaults result;
        QString name1, name2;
    } cases[] = {
        // A later option of the same column wins until both columns are known.
        {"101", CategoryDefaults::Ok, "기타", "지명"},
        {"102", CategoryDefaults::NoSubject1, {}, {}},
        {"103", CategoryDefaults::NoSubject1, {}, "지명"},
        {"104", CategoryDefaults::NoSubject2, "기타", {}},
        {"999", CategoryDefaults::NoOptions, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arId.toStdString());
        TCategoryDefaults d;
        EXPECT_EQ(FindCategoryDefaults(options, c.arId, codes, d), c.result);
        EXPECT_EQ(d.subj1_name, c.name1);
        EXPECT_EQ(d.subj2_name, c.name2);
    }
    TCategoryDefaults d;
    FindCategoryDefaults(options, "101", codes, d);
    EXPECT_EQ(d.subj1_code, "mt_ocode");
    EXPECT_EQ(d.subj2_code, "mt_scode");
    EXPECT_EQ(CategoryDefaultsMessage(CategoryDefaults::NoSubject2), MsgCategoryNoSubject2);
}

TEST(Category, SubjectChoicesFromTheCodeTable)
{
    TVUX_codes codes;
    codes.BuildCodes(kCodes);
    TSubjectChoices ch;
    ASSERT_TRUE(LoadSubjectChoices(codes, ch));
    EXPECT_EQ(ch.caption1, "주제분류1");
    EXPECT_EQ(ch.items1, (QStringList{"인명", "기타"}));
    EXPECT_EQ(ch.etc1, 1);
    EXPECT_EQ(ch.caption2, "주제분류2");
    EXPECT_EQ(ch.items2, (QStringList{"지명", "기타", "역사"}));
    EXPECT_EQ(ch.etc2, 1);

    TVUX_codes partial;
    partial.BuildCodes(kCodes.mid(0, 3));
    TSubjectChoices none;
    EXPECT_FALSE(LoadSubjectChoices(partial, none));

    struct Case {
        QString s1, s2;
        bool ok;
        QString stored2;
    } cases[] = {
        {"인명", "", true, "-"},
        {"인명", "-", true, "-"},
        {"인명", "지명", false, {}},
        {"기타", "역사", true, "역사"},
        {"기타", "", true, "-"},
        {"기타", "인명", false, {}}, // a subject-1 name that is no subject 2
        {"주제분류1", "", false, {}}, // the header row is no choice
        {"없음", "", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.s1 + "/" + c.s2).toStdString());
        QString s2 = c.s2;
        const QString error = CheckSubjects(ch, c.s1, s2);
        EXPECT_EQ(error.isEmpty(), c.ok) << error.toStdString();
        if (c.ok) {
            EXPECT_EQ(s2, c.stored2);
        }
    }
}

TEST(Category, SettingANodeReachesItsDescendantsOnly)
{
    const TArticleTree tree = SampleTree();
    struct Case {
        int node;
        QList<int> changed;
    } cases[] = {
        {1, {1, 2, 3, 4}}, // chapter: its sub-articles, not the next chapter
        {2, {2, 3}},
        {4, {4}},          // leaf before a shallower node
        {6, {6}},          // last node
        {5, {5, 6}},
        {0, {}},           // the header row is never set
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.node);
        TCategoryGrid grid;
        grid.Reset(tree.count(), Defaults());
        EXPECT_EQ(grid.SetNode(tree, c.node, "기타", "역사"), c.changed.size());
        for (int r = 0; r < grid.rowCount(); ++r) {
            const bool set = c.changed.contains(r);
            EXPECT_EQ(grid.subj1[r], set ? "기타" : (r == 0 ? Subject1Header : "인명")) << r;
            EXPECT_EQ(grid.subj2[r], set ? "역사" : (r == 0 ? Subject2Header : "지명")) << r;
        }
    }
}

TEST(Category, FileRoundTripAndDefaultsForMissingLines)
{
    QTemporaryDir dir;
    const TArticleTree tree = SampleTree();
    const QString file = CategoryFileName(dir.path(), "본문");
    EXPECT_EQ(file, dir.filePath("본문_category.txt"));

    TCategoryGrid grid;
    grid.Reset(tree.count(), Defaults());
    grid.SetNode(tree, 1, "인명", "-");
    grid.SetNode(tree, 5, "기타", "역사");
    grid.subj2[6] = ""; // an empty cell is written as "-"
    ASSERT_TRUE(WriteCategoryFile(file, grid));
    const QStringList expected = {"1주제", "2주제", "인명", "-", "인명", "-", "인명", "-", "인명", "-",
                                  "기타",  "역사",  "기타", "-"};
    EXPECT_EQ(ReadBytes(file), Utf16File(expected));

    // Read back: "-" and empty cells come back as the defaults and mark the grid modified.
    QStringList lines;
    RecordingInteraction ui;
    ASSERT_TRUE(ReadCategoryFile(file, lines, ui));
    TCategoryGrid back;
    EXPECT_TRUE(back.Fill(lines, tree.count(), Defaults()));
    EXPECT_EQ(back.subj1, grid.subj1);
    EXPECT_EQ(back.subj2, (QStringList{"2주제", "지명", "지명", "지명", "지명", "역사", "지명"}));

    struct Case {
        const char* name;
        QStringList lines;
        bool defaulted;
        QStringList subj1, subj2;
    } cases[] = {
        {"no file", {}, true, {"1주제", "인명", "인명"}, {"2주제", "지명", "지명"}},
        {"header lines are not read", {"x", "y", "기타", "역사", "인명", "지명"}, false,
         {"1주제", "기타", "인명"}, {"2주제", "역사", "지명"}},
        {"missing lines", {"1주제", "2주제", "기타"}, true, {"1주제", "기타", "인명"}, {"2주제", "지명", "지명"}},
        {"extra lines ignored", {"1주제", "2주제", "기타", "역사", "기타", "역사", "a", "b"}, false,
         {"1주제", "기타", "기타"}, {"2주제", "역사", "역사"}},
        {"dash in subject 1", {"1주제", "2주제", "-", "역사", "기타", "-"}, true, {"1주제", "인명", "기타"},
         {"2주제", "역사", "지명"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TCategoryGrid g;
        EXPECT_EQ(g.Fill(c.lines, 3, Defaults()), c.defaulted);
        EXPECT_EQ(g.subj1, c.subj1);
        EXPECT_EQ(g.subj2, c.subj2);
    }
}

TEST(Category, RootOnlyTreeAndUnsafeNames)
{
    QTemporaryDir dir;
    TCategoryGrid grid;
    EXPECT_FALSE(grid.Fill({}, 1, Defaults()));
    const QString file = CategoryFileName(dir.path(), "번역");
    ASSERT_TRUE(WriteCategoryFile(file, grid));
    EXPECT_EQ(ReadBytes(file), Utf16File({"1주제", "2주제"}));

    for (const QString name : {"../up", "a/b", ""})
        EXPECT_TRUE(CategoryFileName(dir.path(), name).isEmpty()) << name.toStdString();
    QString error;
    EXPECT_FALSE(WriteCategoryFile({}, grid, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(Category, KeywordTabsFollowTheDefinitionsOrder)
{
    TJobDefine job;
    job.TabsCount = 3;
    job.TabsName = {"본문", "번역", "주석"};
    job.TabsID = {"101", "102", "103"};
    const QList<TKeywordTab> tabs = KeywordTabs(job, {"102", "999", "101", "102"});
    ASSERT_EQ(tabs.size(), 3);
    EXPECT_EQ(tabs[0].tab, 1);
    EXPECT_EQ(tabs[1].tab, 0);
    EXPECT_EQ(tabs[2].arId, "102");
}

} // namespace
