#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/fTreeModule.h"
#include "common/DemoJob.h"
#include "common/TestSupport.h"
#include "shell/myLIB.h"
#include "shell/ui/WindowRegistry.h"
#include "tagging/PageInfo.h"
#include "tagging/ui/frmContentPage.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

// Tab "본문": 서문, 제1장, (page 2), (page 3), 제2장 and 1절 below 제2장; tab "번역" with one article.
struct PagesJob : DemoJob {
    QString pages;

    PagesJob()
        : DemoJob({"본문", "번역"})
    {
        pages = dir.path() + "/본문_pageinfo.txt";
        WriteIndex("본문", {"1", "1", "서문", "2", "1", "제1장", "3", "1", "(page 2)", "4", "1",
                                                         "(page 3)", "5", "1", "제2장", "5_1", "2", "1절"});
        for (const char* id : {"1", "2", "3", "4", "5", "5_1"})
            WriteBytes(dir.path() + QStringLiteral("/work_본문/000%1/%2.txt").arg(id[0]).arg(id),
                       Utf16File({"<h1>기사 " + QString(id) + "</h1>"}));
        WriteIndex("번역", {"1", "1", "번역 서문"});
        WriteBytes(dir.path() + "/work_번역/0001/1.txt", Utf16File({"<h1>번역</h1>"}));
    }
};

struct Window {
    RecordingInteraction ui;
    TfrmContentPage w;
    explicit Window(std::deque<bool> answers = {})
    {
        ui.answers = std::move(answers);
        w.setInteraction(&ui);
        w.resize(1200, 700);
        w.show();
        (void)QTest::qWaitFor([&] { return !w.isVisible() || (w.isInit && w.CheckListBox->count() > 0); }, 20000);
    }
    ~Window() { w.setInteraction(nullptr); }
    QStringList contents() const
    {
        QStringList titles;
        for (QTreeWidgetItemIterator it(w.TreeViewContents); *it; ++it)
            titles << (*it)->text(0);
        return titles;
    }
    int node() const { return w.TreeModule->TreeView->absoluteIndex(w.TreeModule->TreeView->currentItem()); }
    void tick(int row, bool on)
    {
        QListWidgetItem* item = w.CheckListBox->item(row);
        if (item->flags() & Qt::ItemIsUserCheckable)
            item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
};

const QStringList AllTitles{"본문", "서문", "제1장", "(page 2)", "(page 3)", "제2장", "1절"};

} // namespace

TEST(ContentPageWindow, RegisteredAsChildWindow)
{
    WindowKind kind = WindowKind::Modal;
    ASSERT_NE(FindWindowFactory("frmContentPage", &kind), nullptr);
    EXPECT_EQ(kind, WindowKind::Child);
}

TEST(ContentPageWindow, NoPageFileAsksFirst)
{
    PagesJob job;
    {
        Window t({false});
        EXPECT_EQ(t.ui.questions, QStringList{NoPageFileQuestion});
        EXPECT_FALSE(t.w.isVisible());
    }
    Window t;
    EXPECT_EQ(t.ui.questions, QStringList{NoPageFileQuestion});
    EXPECT_EQ(t.w.windowTitle(), "페이지 묶음 지정");
    EXPECT_EQ(t.w.Rows(), QStringList(7, "Main"));
    EXPECT_EQ(t.contents(), AllTitles);
    EXPECT_FALSE(t.w.Dirty());
    EXPECT_FALSE(t.w.PanelChangedMsg->isVisible());
    EXPECT_EQ(t.node(), 1);
    // The root and the article with a sub-article cannot be unticked.
    for (int row : {0, 5})
        EXPECT_FALSE(t.w.CheckListBox->item(row)->flags() & Qt::ItemIsUserCheckable) << row;
    EXPECT_TRUE(t.w.CheckListBox->item(3)->flags() & Qt::ItemIsUserCheckable);
}

TEST(ContentPageWindow, MarkByTitleFollowAndSave)
{
    PagesJob job;
    Window t({true});
    TfrmContentPage& w = t.w;
    w.ButtonMakeDefault->click();
    EXPECT_EQ(w.Rows(), QStringList({"Main", "Main", "Main", "page", "page", "Main", "Main"}));
    EXPECT_EQ(w.CheckListBox->item(3)->checkState(), Qt::Unchecked);
    EXPECT_EQ(w.CheckListBox->item(2)->checkState(), Qt::Checked);
    EXPECT_EQ(t.contents(), QStringList({"본문", "서문", "제1장", "제2장", "1절"}));
    EXPECT_EQ(w.tree_pointers, (std::vector<int>{0, 1, 2, 5, 6}));
    EXPECT_TRUE(w.Dirty());
    EXPECT_FALSE(w.PanelChangedMsg->isVisible());

    // The three selections move together.
    w.TreeModule->TreeView->selectAbsolute(5);
    EXPECT_EQ(w.CheckListBox->currentRow(), 5);
    EXPECT_EQ(w.TreeViewContents->currentItem()->text(0), "제2장");
    w.CheckListBox->setCurrentRow(3);
    EXPECT_EQ(t.node(), 3);
    EXPECT_TRUE(w.TreeViewContents->selectedItems().isEmpty()) << "a page has no contents node";
    w.TreeViewContents->setCurrentItem(w.TreeViewContents->topLevelItem(0)->child(1));
    EXPECT_EQ(w.CheckListBox->currentRow(), 2);
    EXPECT_EQ(t.node(), 2);

    w.tbSave->click();
    EXPECT_EQ(t.ui.infos, QStringList{"페이지 정보가 저장되었습니다."});
    EXPECT_EQ(ReadBytes(job.pages), Utf16File({"Main", "Main", "Main", "page", "page", "Main", "Main"}));
    EXPECT_FALSE(w.Dirty() || w.tbCancelClose->isEnabled());
}

TEST(ContentPageWindow, ShortFileTickingByHandAndAllMain)
{
    PagesJob job;
    WriteBytes(job.pages, Utf16File({"Main", "Main", "page", "Main", "Main", "page"}));
    Window t;
    TfrmContentPage& w = t.w;
    EXPECT_TRUE(t.ui.questions.isEmpty());
    // 6 lines for 7 nodes, and a page that carries an article: both read as Main.
    EXPECT_EQ(w.Rows(), QStringList({"Main", "Main", "page", "Main", "Main", "Main", "Main"}));
    EXPECT_TRUE(w.PanelChangedMsg->isVisible());
    EXPECT_TRUE(w.Dirty());
    EXPECT_EQ(t.contents(), QStringList({"본문", "서문", "(page 2)", "(page 3)", "제2장", "1절"}));

    // By hand: the row changes and the notice shows; the contents wait for 새로고침.
    w.tbSave->click();
    EXPECT_FALSE(w.PanelChangedMsg->isVisible());
    t.tick(3, false);
    t.tick(5, false); // locked
    EXPECT_EQ(w.Rows(), QStringList({"Main", "Main", "page", "page", "Main", "Main", "Main"}));
    EXPECT_TRUE(w.PanelChangedMsg->isVisible());
    EXPECT_TRUE(w.Dirty());
    EXPECT_EQ(t.contents().size(), 6);
    w.ButtonViewContentTree->click();
    EXPECT_EQ(t.contents(), QStringList({"본문", "서문", "(page 3)", "제2장", "1절"}));
    EXPECT_FALSE(w.PanelChangedMsg->isVisible());

    // All main asks while there are changes; No changes nothing.
    t.ui.answers = {false};
    w.ButtonResetAll->click();
    EXPECT_EQ(t.ui.questions, QStringList{"수정 내용을 취소합니까?"});
    EXPECT_EQ(w.Rows()[2], "page");
    w.ButtonResetAll->click();
    EXPECT_EQ(w.Rows(), QStringList(7, "Main"));
    EXPECT_EQ(t.contents(), AllTitles);

    // Starting over reads the saved file again.
    t.ui.questions.clear();
    w.tbReload->click();
    EXPECT_EQ(t.ui.questions, QStringList{"작업 내용을 취소하고 최종 저장 상태로 되돌립니다. 맞습니까?"});
    EXPECT_EQ(w.Rows()[2], "page");
    EXPECT_FALSE(w.Dirty());

    // Another tab while dirty: No stays.
    t.tick(4, false);
    t.ui.questions.clear();
    t.ui.answers = {false};
    w.SourceCombo->setCurrentIndex(1);
    EXPECT_EQ(w.SourceCombo->currentIndex(), 0);
    EXPECT_EQ(w.Rows()[4], "page");
    t.ui.answers = {false};
    w.close();
    EXPECT_TRUE(w.isVisible());
    t.ui.answers = {true};
    w.close();
    EXPECT_FALSE(w.isVisible());
}

TEST(ContentPageWindow, RootLineAndLockedRowsAreNoChange)
{
    PagesJob job;
    // The root's "page" stays; 제2장 carries 1절, so its "page" reads as Main without asking to save.
    const QByteArray file = Utf16File({"page", "Main", "Main", "page", "page", "page", "Main"});
    WriteBytes(job.pages, file);
    Window t;
    TfrmContentPage& w = t.w;
    EXPECT_EQ(w.Rows(), QStringList({"page", "Main", "Main", "page", "page", "Main", "Main"}));
    EXPECT_EQ(w.CheckListBox->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(w.CheckListBox->item(5)->checkState(), Qt::Checked);
    EXPECT_FALSE(w.Dirty());
    EXPECT_FALSE(w.PanelChangedMsg->isVisible());
    EXPECT_EQ(t.contents(), QStringList({"본문", "서문", "제1장", "제2장", "1절"}));

    // Saving after a change writes the root's line back as it was read.
    t.tick(3, true);
    w.tbSave->click();
    EXPECT_EQ(ReadBytes(job.pages), Utf16File({"page", "Main", "Main", "Main", "page", "Main", "Main"}));
}
