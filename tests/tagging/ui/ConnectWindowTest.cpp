#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/fWeb.h"
#include "common/DemoJob.h"
#include "common/TestSupport.h"
#include "shell/myLIB.h"
#include "shell/ui/WindowRegistry.h"
#include "tagging/ui/frmConnect.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

QStringList Index(const QStringList& titles)
{
    QStringList lines;
    for (int i = 0; i < titles.size(); ++i)
        lines << QString::number(i + 1) << "1" << titles[i];
    return lines;
}

// 번역 (base, 3 articles) is linked to 본문 (target, 서문 twice); a third tab 주석 links to 본문 too
// when `pairs` is 2.
struct ConnectJob : DemoJob {
    QString file;

    explicit ConnectJob(int pairs = 1)
        : DemoJob(QStringList{"본문", "번역", "주석"}.mid(0, pairs + 1))
    {
        TJobDefine& job = myLIB.Jobs;
        job.TabsLink[1] = "본문";
        job.TabsName[2] = "주석";
        job.TabsLink[2] = "본문";
        file = dir.filePath("번역_connect.txt");
        Tab("본문", {"서문", "1장", "서문", "2장"});
        Tab("번역", {"서문", "1장", "3장"});
        Tab("주석", {"1장"});
    }

    void Tab(const QString& name, const QStringList& titles)
    {
        WriteIndex(name, Index(titles));
        for (int i = 0; i < titles.size(); ++i)
            WriteBytes(dir.filePath(QStringLiteral("work_%1/%2.txt").arg(name).arg(i + 1)),
                       Utf16File({"<h1>" + titles[i] + "</h1>", name}));
    }
};

struct Window {
    RecordingInteraction ui;
    TfrmConnect w;
    explicit Window(bool wait = true)
    {
        w.setInteraction(&ui);
        w.resize(1100, 700);
        w.show();
        if (wait) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return w.isInit; }, 20000));
        }
    }
    ~Window() { w.setInteraction(nullptr); }
    int base() const { return w.TreeViewLeft->absoluteIndex(w.TreeViewLeft->currentItem()); }
    int target() const { return w.TreeViewRight->absoluteIndex(w.TreeViewRight->currentItem()); }
    void selectBase(int node) { w.TreeViewLeft->selectAbsolute(node); }
    void selectTarget(int node) { w.TreeViewRight->selectAbsolute(node); }
};

} // namespace

TEST(ConnectWindow, NoPairTellsAndCloses)
{
    WindowKind kind = WindowKind::Modal;
    ASSERT_NE(FindWindowFactory("frmConnect", &kind), nullptr);
    EXPECT_EQ(kind, WindowKind::Child);

    ConnectJob job;
    myLIB.Jobs.TabsLink[1] = "없는 탭";
    Window t(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !t.w.isVisible(); }, 5000));
    EXPECT_EQ(t.ui.infos, QStringList("연결 정보가 정의되지 않은 작업입니다. 연결 작업을 할 필요가 없습니다."));
    EXPECT_TRUE(t.ui.questions.isEmpty());
}

TEST(ConnectWindow, OpensOnTheFirstPairWithTheFileFittedToTheTree)
{
    ConnectJob job;
    ASSERT_TRUE(WriteBytes(job.file, Utf16File({"-", "4", "-"}))); // one line short
    Window t;
    TfrmConnect& w = t.w;
    EXPECT_EQ(w.windowTitle(), "탭 연결");
    EXPECT_EQ(w.LabelObject->text(), "번역");
    EXPECT_EQ(w.LabelTarget->text(), "본문");
    EXPECT_FALSE(w.tbSetup->isEnabled());
    EXPECT_EQ(w.ComboTabs->itemText(0), "(번역) - (본문)");
    EXPECT_EQ(w.Rows(), QStringList({"-", "4", "-", "-"}));
    // Base article 1 is connected to target 4: the column and the target tree follow it.
    EXPECT_EQ(t.base(), 1);
    EXPECT_EQ(w.ConnectList->currentRow(), 1);
    EXPECT_EQ(t.target(), 4);
    EXPECT_FALSE(w.fWebLeft->Furl.isEmpty());
    EXPECT_FALSE(w.fWebRight->Furl.isEmpty());
    EXPECT_FALSE(w.Dirty());
    // Rows of the column line up with the nodes of the base tree.
    EXPECT_EQ(w.ConnectList->visualItemRect(w.ConnectList->item(3)).top(),
              w.TreeViewLeft->visualItemRect(w.TreeViewLeft->itemAt(3)).top());

    // A click on a column row selects the base node of that row.
    w.ConnectList->setCurrentRow(2);
    EXPECT_EQ(t.base(), 2);
    EXPECT_EQ(t.target(), 4); // "-" leaves the target where it was

    // Connecting a row to what it already holds keeps the window clean.
    t.selectBase(1);
    w.tbConnect->click();
    EXPECT_FALSE(w.Dirty());

    // Saving writes one line per base node.
    t.selectBase(3);
    t.selectTarget(2);
    QTest::keyClick(w.TreeViewLeft, Qt::Key_Return);
    EXPECT_EQ(w.Rows(), QStringList({"-", "4", "-", "2"}));
    EXPECT_TRUE(w.Dirty() && w.tbCancelClose->isEnabled());
    w.tbSave->click();
    EXPECT_EQ(t.ui.infos, QStringList("번역의 연결 정보가 저장되었습니다."));
    EXPECT_FALSE(w.Dirty());
    EXPECT_EQ(ReadBytes(job.file), Utf16File({"-", "4", "-", "2"}));
}

TEST(ConnectWindow, ConnectingByHandByTitleAndAutomatically)
{
    ConnectJob job;
    Window t;
    TfrmConnect& w = t.w;
    ASSERT_EQ(w.Rows(), QStringList(4, "-"));

    // A double click in the target tree connects and moves on to the next article.
    t.selectTarget(2);
    emit w.TreeViewRight->itemDoubleClicked(w.TreeViewRight->itemAt(2), 0);
    EXPECT_EQ(w.Rows(), QStringList({"-", "2", "-", "-"}));
    EXPECT_EQ(t.base(), 2);
    EXPECT_EQ(w.ConnectList->currentRow(), 2);

    w.tbClear->click(); // row 2 holds "-": nothing to do
    t.selectBase(1);
    w.tbClear->click();
    EXPECT_EQ(w.Rows(), QStringList(4, "-"));

    // Title search takes the first 서문; no title 3장 in the target.
    w.tbSearch->click();
    EXPECT_EQ(w.Rows()[1], "1");
    EXPECT_EQ(t.target(), 1);
    t.selectBase(3);
    w.tbSearch->click();
    EXPECT_EQ(t.ui.infos, QStringList("일치하는 제목을 찾을 수 없습니다."));

    // Automatic connection asks first and takes the last 서문.
    const QString question = "연결 자료가 있다면 모두 무시됩니다. 진행합니까?";
    t.ui.answers = {false};
    w.btnAuto->click();
    EXPECT_EQ(w.Rows(), QStringList({"-", "1", "-", "-"}));
    w.btnAuto->click();
    EXPECT_EQ(w.Rows(), QStringList({"-", "3", "2", "-"}));
    t.ui.answers = {false};
    w.tbClearAll->click();
    EXPECT_EQ(w.Rows(), QStringList({"-", "3", "2", "-"}));
    w.tbClearAll->click();
    EXPECT_EQ(w.Rows(), QStringList(4, "-"));
    EXPECT_EQ(t.ui.questions, QStringList(4, question));

    // Hiding the trees leaves the previews.
    w.chkHideTree->click();
    EXPECT_FALSE(w.SplitterTrees->isVisible());
    EXPECT_TRUE(w.fWebLeft->isVisible() && w.fWebRight->isVisible());
    w.chkHideTree->click();
    EXPECT_TRUE(w.SplitterTrees->isVisible());

    // Closing with unsaved work asks; No keeps the window.
    t.ui.questions.clear();
    t.ui.answers = {false};
    EXPECT_FALSE(w.close());
    EXPECT_EQ(t.ui.questions, QStringList("작업 내용을 저장하지 않았습니다. 작업 내용을 모두 취소합니까"));
    // "작업취소" asks its own question; Yes closes without saving.
    t.ui.answers = {true};
    w.tbCancelClose->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(t.ui.questions.last(), "작업 내용을 모두 취소합니까?");
    EXPECT_FALSE(QFile::exists(job.file));
}

TEST(ConnectWindow, ReloadAndChoosingAnotherPair)
{
    ConnectJob job(2);
    ASSERT_TRUE(WriteBytes(job.file, Utf16File({"-", "2"})));
    Window t;
    TfrmConnect& w = t.w;
    ASSERT_EQ(w.ComboTabs->count(), 2);
    EXPECT_TRUE(w.tbSetup->isEnabled());

    t.selectBase(2);
    t.selectTarget(4);
    w.tbConnect->click();
    ASSERT_TRUE(w.Dirty());

    // The same pair again: the work goes on.
    w.tbSetup->click();
    EXPECT_TRUE(w.PanelDefineLink->isVisible());
    EXPECT_FALSE(w.btnSetNew->isEnabled());
    w.ComboTabs->setCurrentIndex(1);
    w.ComboTabs->setCurrentIndex(0);
    w.btnSetNew->click();
    EXPECT_EQ(t.ui.infos, QStringList("연결 설정을 바꾸지 않고 현재 작업을 계속합니다."));
    EXPECT_FALSE(w.PanelDefineLink->isVisible());

    // Another pair while dirty: No keeps the panel and the pair; 취소 puts the chooser back.
    w.tbSetup->click();
    w.ComboTabs->setCurrentIndex(1);
    EXPECT_TRUE(w.btnSetNew->isEnabled());
    t.ui.answers = {false};
    w.btnSetNew->click();
    EXPECT_EQ(t.ui.questions, QStringList("작업 내용을 모두 취소합니까?"));
    EXPECT_TRUE(w.PanelDefineLink->isVisible());
    EXPECT_EQ(w.PairInWork(), 0);
    w.btnCancelNew->click();
    EXPECT_EQ(w.ComboTabs->currentIndex(), 0);

    // Reload asks to roll back and to drop the connections, then reads the file again.
    t.ui.questions.clear();
    t.ui.answers = {true, false};
    w.tbReload->click();
    EXPECT_TRUE(w.Dirty());
    w.tbReload->click();
    EXPECT_EQ(t.ui.questions, QStringList({"작업 내용을 취소하고 최종 저장 상태로 되돌립니다. 맞습니까?",
                                           "연결 자료가 있다면 모두 무시됩니다. 진행합니까?",
                                           "작업 내용을 취소하고 최종 저장 상태로 되돌립니다. 맞습니까?",
                                           "연결 자료가 있다면 모두 무시됩니다. 진행합니까?"}));
    EXPECT_FALSE(w.Dirty());
    EXPECT_EQ(w.Rows(), QStringList({"-", "2", "-", "-"}));

    // Choosing the other pair loads its trees.
    w.tbSetup->click();
    w.ComboTabs->setCurrentIndex(1);
    w.btnSetNew->click();
    EXPECT_EQ(w.PairInWork(), 1);
    EXPECT_EQ(w.LabelObject->text(), "주석");
    EXPECT_EQ(w.Rows(), QStringList({"-", "-"}));
}
