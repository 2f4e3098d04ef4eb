#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/fTreeModule.h"
#include "common/DemoJob.h"
#include "common/TestSupport.h"
#include "indexing/KeywordDefinitions.h"
#include "indexing/ui/frmCategory.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"
#include "shell/ui/WindowRegistry.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTabWidget>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

// Tab 본문 (101): 1 > 1_1 > 1_1_1, 2 > 2_1. Tab 번역 (102) lacks the subject-2 default, tab 주석
// (103) has no options at all.
struct CategoryJob : DemoJob {

    CategoryJob()
        : DemoJob({"본문", "번역", "주석"})
    {
        TJobDefine& job = myLIB.Jobs;
        job.pID = "9001";
        job.TabsFile = {"src", "src2", "src3"};
        job.TabsID = {"101", "102", "103"};
        WriteIndex("본문", {"1", "1", "제1장", "1_1", "2", "제1절", "1_1_1", "3", "항목",
                                                         "2", "1", "제2장", "2_1", "2", "제2절"});
        for (const char* id : {"1", "1_1", "1_1_1", "2", "2_1"})
            WriteBytes(dir.path() + "/work_본문/" + id + ".txt", Utf16File({QString("<h1 id=%1>기사</h1>").arg(id)}));
        WriteTextLines(KeywordDefinitionsFile(job),
                       {"ar_id^101", "1^ks_coremeta^mt_oCode^인명", "1^ks_coremeta^mt_sCode^지명",
                        "2^ks_exMetaName^nm_name^【인물】", "ar_id^102", "1^ks_coremeta^mt_oCode^기타", "ar_id^103",
                        "ar_id^999"});
    }
    QString File() const { return dir.path() + "/본문_category.txt"; }
};

struct Window {
    RecordingInteraction ui;
    TfrmCategory w;
    explicit Window(bool waitReady = true)
    {
        w.setInteraction(&ui);
        w.resize(1100, 600);
        w.show();
        if (waitReady) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return w.isInit; }, 20000));
        }
    }
    ~Window() { w.setInteraction(nullptr); }
    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 0; r < w.GridList->rowCount(); ++r)
            out << w.GridList->item(r, c)->text();
        return out;
    }
    QRadioButton* radio(QGroupBox* group, const QString& text) const
    {
        for (QRadioButton* b : group->findChildren<QRadioButton*>())
            if (b->text() == text)
                return b;
        return nullptr;
    }
    // Opens the set panel on `row` and sets the subjects (subject 2 empty: leave the group as it is).
    void set(int row, const QString& s1, const QString& s2 = {})
    {
        w.GridList->setCurrentCell(row, 0);
        w.tbSet->click();
        ASSERT_TRUE(w.PanelSet->isVisible());
        radio(w.RadioGroup1, s1)->click();
        if (!s2.isEmpty())
            radio(w.RadioGroup2, s2)->click();
        w.btnSetCat->click();
    }
};

class CategoryWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(DemoCodeTable()); }
};

TEST_F(CategoryWindow, RegisteredAsChildWindow)
{
    WindowKind kind = WindowKind::Modal;
    ASSERT_NE(FindWindowFactory("frmCategory", &kind), nullptr);
    EXPECT_EQ(kind, WindowKind::Child);
}

TEST_F(CategoryWindow, OpensWithDefaultsAndSetsANodeWithItsDescendants)
{
    CategoryJob job;
    Window t;
    TfrmCategory& w = t.w;
    EXPECT_EQ(w.windowTitle(), "분류 지정");
    // Tabs of the definitions that are job tabs, in their order.
    ASSERT_EQ(w.SourceCombo->count(), 3);
    EXPECT_EQ(w.SourceCombo->itemText(0), "본문");
    EXPECT_EQ(w.GridList->rowCount(), 6);
    EXPECT_EQ(t.column(0), (QStringList{"1주제", "인명", "인명", "인명", "인명", "인명"}));
    EXPECT_EQ(t.column(1), (QStringList{"2주제", "지명", "지명", "지명", "지명", "지명"}));
    // No file yet: the defaults are unsaved.
    EXPECT_TRUE(w.tbSave->isEnabled());
    EXPECT_TRUE(w.tbCancelClose->isEnabled());
    EXPECT_EQ(w.RadioGroup1->title(), "주제분류1");
    EXPECT_EQ(w.RadioGroup2->title(), "주제분류2");
    EXPECT_EQ(w.iSubjectEtc1, 10);
    EXPECT_EQ(w.iSubjectEtc2, 10);
    EXPECT_FALSE(w.TreeModule->PageHtml->isTabVisible(w.TreeModule->PageHtml->indexOf(w.TreeModule->tabText)));
    EXPECT_TRUE(t.ui.infos.isEmpty()) << t.ui.infos.join('/').toStdString();

    // The panel opens on the row's values; a subject other than "기타" locks subject 2 to "-".
    w.GridList->setCurrentCell(2, 0);
    w.tbSet->click();
    EXPECT_TRUE(w.PanelSet->isVisible());
    EXPECT_FALSE(w.PanelMain->isEnabled());
    EXPECT_EQ(w.RadioIndex(w.RadioGroup1), 0);
    EXPECT_FALSE(w.RadioGroup2->isEnabled());
    EXPECT_EQ(w.RadioIndex(w.RadioGroup2), w.iSubjectEtc2);
    t.radio(w.RadioGroup1, "기타")->click();
    EXPECT_TRUE(w.RadioGroup2->isEnabled());
    t.radio(w.RadioGroup1, "역사")->click();
    EXPECT_FALSE(w.RadioGroup2->isEnabled());
    w.btnCancelCat->click();
    EXPECT_FALSE(w.PanelSet->isVisible());
    EXPECT_TRUE(w.PanelMain->isEnabled());
    EXPECT_EQ(t.column(0)[2], "인명");

    // Chapter 1 takes its section and item along, chapter 2 stays.
    t.set(1, "기타", "역사");
    EXPECT_EQ(t.column(0), (QStringList{"1주제", "기타", "기타", "기타", "인명", "인명"}));
    EXPECT_EQ(t.column(1), (QStringList{"2주제", "역사", "역사", "역사", "지명", "지명"}));
    t.set(4, "문학");
    EXPECT_EQ(t.column(0), (QStringList{"1주제", "기타", "기타", "기타", "문학", "문학"}));
    EXPECT_EQ(t.column(1), (QStringList{"2주제", "역사", "역사", "역사", "-", "-"}));
    // Reopened on a "기타" row, subject 2 comes back selected.
    w.GridList->setCurrentCell(3, 0);
    w.tbSet->click();
    EXPECT_TRUE(w.RadioGroup2->isEnabled());
    EXPECT_EQ(w.RadioIndex(w.RadioGroup2), 2);
    w.btnCancelCat->click();

    w.tbSave->click();
    EXPECT_EQ(t.ui.infos, QStringList{"분류 정보가 저장되었습니다."});
    EXPECT_FALSE(w.tbSave->isEnabled());
    EXPECT_FALSE(w.tbCancelClose->isEnabled());
    EXPECT_EQ(ReadBytes(job.File()), Utf16File({"1주제", "2주제", "기타", "역사", "기타", "역사", "기타", "역사", "문학",
                                                "-", "문학", "-"}));
}

TEST_F(CategoryWindow, GridAndTreeFollowEachOther)
{
    CategoryJob job;
    Window t;
    TfrmCategory& w = t.w;
    TArticleTreeWidget* tree = w.TreeModule->TreeView;
    w.GridList->setCurrentCell(4, 0);
    EXPECT_EQ(tree->absoluteIndex(tree->currentItem()), 4);
    tree->setCurrentItem(tree->itemAt(2));
    EXPECT_EQ(w.GridList->currentRow(), 2);
    // The root cannot be selected; the grid stays where it was.
    tree->selectAbsolute(0);
    EXPECT_EQ(w.GridList->currentRow(), 2);
    EXPECT_TRUE(w.GridList->isRowHidden(0));
}

TEST_F(CategoryWindow, SavedFileReopensDashesAsDefaultsAndRollbackQuestions)
{
    CategoryJob job;
    // Fewer lines than nodes and a "-": defaults stand in and the grid counts as modified.
    WriteBytes(job.File(), Utf16File({"1주제", "2주제", "기타", "역사", "문학", "-", "기타"}));
    Window t;
    TfrmCategory& w = t.w;
    EXPECT_EQ(t.column(0), (QStringList{"1주제", "기타", "문학", "기타", "인명", "인명"}));
    EXPECT_EQ(t.column(1), (QStringList{"2주제", "역사", "지명", "지명", "지명", "지명"}));
    EXPECT_TRUE(w.tbSave->isEnabled());
    w.tbSave->click();

    // A complete file is taken as it is and leaves nothing to save.
    Window again;
    EXPECT_FALSE(again.w.tbSave->isEnabled());
    again.w.close();

    t.set(5, "역사");
    const QStringList edited = t.column(0);
    // Clear all and reload answered No change nothing.
    t.ui.answers = {false, false};
    w.tbClearAll->click();
    w.tbReload->click();
    EXPECT_EQ(t.column(0), edited);
    EXPECT_EQ(t.ui.questions, (QStringList{"수정 내용을 취소합니까?", "작업 내용을 취소하고 최종 저장 상태로 되돌립니다. 맞습니까?"}));
    // Clear all answered Yes puts the defaults back, unsaved.
    t.ui.answers = {true};
    w.tbClearAll->click();
    EXPECT_EQ(t.column(0), (QStringList{"1주제", "인명", "인명", "인명", "인명", "인명"}));
    EXPECT_TRUE(w.tbSave->isEnabled());
    // Reload answered Yes brings the saved file back.
    t.ui.answers = {true};
    w.tbReload->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.isInit && t.column(0)[1] == "기타"; }, 20000));
    EXPECT_EQ(t.column(0), (QStringList{"1주제", "기타", "문학", "기타", "인명", "인명"}));
}

TEST_F(CategoryWindow, TabsWithoutDefaultsLeaveTheGridInactive)
{
    CategoryJob job;
    Window t;
    TfrmCategory& w = t.w;
    t.set(1, "역사");
    const QStringList edited = t.column(0);

    // Declining the question keeps the tab whose data is shown.
    t.ui.answers = {false};
    w.SourceCombo->setCurrentIndex(1);
    EXPECT_EQ(w.SourceCombo->currentIndex(), 0);
    EXPECT_EQ(t.column(0), edited);

    struct Case {
        int entry;
        QString message;
    } cases[] = {{1, MsgCategoryNoSubject2}, {2, MsgCategoryNoOptions}};
    for (const Case& c : cases) {
        t.ui.infos.clear();
        t.ui.answers = {true};
        w.SourceCombo->setCurrentIndex(c.entry);
        EXPECT_EQ(t.ui.infos, QStringList{c.message});
        // The tab shown stays, named by the combo and still usable.
        EXPECT_EQ(w.SourceCombo->currentIndex(), 0);
        EXPECT_TRUE(w.isInit);
        EXPECT_EQ(t.column(0), edited);
    }
    w.tbSave->click();
    QStringList lines;
    ASSERT_TRUE(ReadTextLines(job.File(), lines));
    EXPECT_EQ(lines.value(2), "역사");
    EXPECT_FALSE(QFileInfo::exists(job.dir.path() + "/번역_category.txt"));

    // A first tab without its subject-2 default leaves the grid inactive.
    WriteTextLines(KeywordDefinitionsFile(myLIB.Jobs), {"ar_id^102", "1^ks_coremeta^mt_oCode^기타", "ar_id^101",
                                                         "1^ks_coremeta^mt_oCode^인명", "1^ks_coremeta^mt_sCode^지명"});
    Window first(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !first.ui.infos.isEmpty(); }, 20000));
    EXPECT_EQ(first.ui.infos, QStringList{MsgCategoryNoSubject2});
    EXPECT_FALSE(first.w.isInit);
    first.w.tbSet->click();
    EXPECT_FALSE(first.w.PanelSet->isVisible());
    // Another tab then loads.
    first.w.SourceCombo->setCurrentIndex(1);
    EXPECT_TRUE(first.w.isInit);
    EXPECT_EQ(first.w.GridList->rowCount(), 6);
}

TEST_F(CategoryWindow, CloseQuestionsAndMissingDefinitions)
{
    CategoryJob job;
    {
        Window t;
        TfrmCategory& w = t.w;
        t.ui.answers = {false};
        EXPECT_FALSE(w.close());
        EXPECT_TRUE(w.isVisible());
        EXPECT_TRUE(w.tbSave->isEnabled());
        EXPECT_TRUE(w.tbCancelClose->isEnabled());
        // The open set panel disables the bar around the save button; the changes are still unsaved.
        w.GridList->setCurrentCell(1, 0);
        w.tbSet->click();
        ASSERT_TRUE(w.PanelSet->isVisible());
        t.ui.answers = {false};
        EXPECT_FALSE(w.close());
        EXPECT_TRUE(w.isVisible());
        w.btnCancelCat->click();
        t.ui.answers = {false};
        w.tbCancelClose->click();
        EXPECT_TRUE(w.isVisible());
        t.ui.answers = {true};
        w.tbCancelClose->click();
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(t.ui.questions, (QStringList{MsgCategoryNotSaved, MsgCategoryNotSaved, MsgCategoryCancelAll, MsgCategoryCancelAll}));
        EXPECT_FALSE(QFileInfo::exists(job.File()));
    }
    QFile::remove(KeywordDefinitionsFile(myLIB.Jobs));
    Window t(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !t.w.isVisible(); }, 20000));
    EXPECT_EQ(t.ui.infos, QStringList{MsgKeywordsFileMissing});
}

} // namespace
