#include "common/TestSupport.h"
#include "common/WindowTestSupport.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "shell/IniFile.h"
#include "shell/Settings.h"
#include "shell/StyleSheet.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"
#include "shell/ui/FormPosition.h"
#include "shell/ui/WindowRegistry.h"
#include "shell/ui/frmMain.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

// A child window that asks nothing, or refuses to close (unsaved work kept).
class TestChild : public QWidget {
public:
    bool refuse = false;

protected:
    void closeEvent(QCloseEvent* e) override
    {
        if (refuse)
            e->ignore();
        else
            e->accept();
    }
};

int g_modalRuns = 0;
WindowRegistrar g_child("testShellChild", WindowKind::Child, [](QWidget*) { return new TestChild(); });
WindowRegistrar g_refusing("testShellRefusing", WindowKind::Child, [](QWidget*) {
    auto* c = new TestChild();
    c->refuse = true;
    return c;
});
WindowRegistrar g_modal("testShellModal", WindowKind::Modal, [](QWidget* p) -> QWidget* {
    ++g_modalRuns;
    auto* box = new QMessageBox(QMessageBox::NoIcon, "t", "modal step", QMessageBox::Ok, p);
    return box;
});

const QString JobDefineMessage = QStringLiteral("작업을 정의하려면 로그인하십시오.");
const QString NoJobMessage = QStringLiteral("작업이 정의되어 있지 않습니다.");
const QString CloseAllQuestion = QStringLiteral("작업 중인 창을 모두 닫아야 다른 작업을 진행할 수 있습니다.\n모든 창을 닫을까요?");

// Job folder with a code page 949 job file, as the Windows program leaves it.
QString MakeJobFolder(const QString& root, const QString& srcImage, bool withLink, int tabs = 2)
{
    QDir().mkpath(root);
    QString ini = "[VUX]\r\npID=9001\r\npCODE=DEMO01\r\npNAME=데모 도서\r\nsrcImage=" + srcImage
        + "\r\ninsImage=N\r\n[TABS]\r\n본문=src1\r\n";
    if (tabs > 1)
        ini += "번역=src2\r\n";
    ini += "[TABSID]\r\n본문=101\r\n번역=102\r\n";
    if (withLink)
        ini += "[LINK]\r\n본문=번역\r\n";
    WriteBytes(root + "/vuxinfo.ini", EncodeCp949(ini));
    return root;
}

void OpenJob(const QString& folder)
{
    myLIB.Jobs = TJobDefine();
    myLIB.Jobs.WorkFolder = folder;
    LoadJobFile(myLIB.Jobs);
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        myLIB.Jobs = TJobDefine();
        myLIB.ClearLogin();
        QFile::remove(SettingsFileName());
        ASSERT_TRUE(tmp.isValid());
        win = std::make_unique<TfrmMain>();
        win->ShowAboutBoxAtStart = false;
    }
    void TearDown() override
    {
        win.reset();
        myLIB.Jobs = TJobDefine();
        myLIB.ClearLogin();
    }
    QAction* act(const char* name) { return win->FindAction(name); }
    QLabel* label(const char* name) { return win->findChild<QLabel*>(name); }

    QTemporaryDir tmp;
    std::unique_ptr<TfrmMain> win;
};

TEST_F(MainWindowTest, ActionsMenusAndToolBarInOrder)
{
    const QStringList always = {"actLogin", "FileExit", "actNewJob", "actOpenJob", "actFileMerge",
                                "actHelpOnline", "HelpAbout1"};
    for (QAction* a : win->ActionList())
        EXPECT_EQ(a->property("tag").toInt() == 1, always.contains(a->objectName())) << a->objectName().toStdString();
    EXPECT_EQ(win->ActionList().size(), 20);
    EXPECT_EQ(act("actOpenJob")->text(), "작업 열기");
    EXPECT_EQ(act("actEditJob")->text(), "작업 정보 보기 / 변경");

    QStringList buttons;
    for (QToolButton* b : win->findChild<QWidget*>("mainToolBar")->findChildren<QToolButton*>())
        if (b->property("actionName").isValid())
            buttons << b->property("actionName").toString();
    EXPECT_EQ(buttons, QStringList({"actNewJob", "actOpenJob", "actEditJob", "actMakeArticle", "actTag",
                                    "ActConnect", "actImages", "actLink", "actGetSearchInfo", "actCategory",
                                    "actKeyword", "actMetaEdit", "actContentPage", "actUpload"}));

    QStringList menus;
    for (QAction* m : win->menuBar()->actions())
        menus << m->text();
    EXPECT_EQ(menus, QStringList({"파일", "작업정의", "기본작업", "색인작업", "업로드", "도구", "도움말"}));
    QStringList jobMenu;
    for (QAction* a : win->menuBar()->actions()[1]->menu()->actions())
        jobMenu << a->text();
    EXPECT_EQ(jobMenu, QStringList({"새 작업 시작", "기존 작업 열기", "작업 정보 보기 / 변경"}));
}

TEST_F(MainWindowTest, WindowIconIsTheProgramsOwnWithoutAnIconTheme)
{
    // No icon theme holds the program here: the pictures built into it are used.
    const QList<QSize> sizes = win->windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(48, 48)) && sizes.contains(QSize(256, 256)));
    EXPECT_EQ(win->windowIcon().pixmap(48).toImage(), QImage(":/icons/quilo-maker-48.png").convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

TEST_F(MainWindowTest, ShowJobInfoEnablesByJobImagesAndLinks)
{
    struct Case {
        const char* srcImage;
        bool link;
        bool images;
        bool connect;
    } cases[] = {{"Y", true, true, true}, {"N", true, false, true}, {"Y", false, true, false}, {"", false, false, false}};
    int n = 0;
    for (const Case& c : cases) {
        OpenJob(MakeJobFolder(tmp.filePath(QString("job%1").arg(n++)), c.srcImage, c.link));
        win->ShowJobInfo();
        EXPECT_EQ(act("actImages")->isEnabled(), c.images) << c.srcImage;
        EXPECT_EQ(act("ActConnect")->isEnabled(), c.connect) << c.link;
        EXPECT_TRUE(act("actTag")->isEnabled());
        EXPECT_EQ(win->findChild<QToolButton*>("tb_actImages")->isEnabled(), c.images);
    }
    EXPECT_EQ(label("PanelJobname")->text(), "데모 도서");
    EXPECT_EQ(label("PanelImage")->text(), QString("원문이미지: ") + "" + "  |  " + "삽입이미지: N");
    EXPECT_EQ(label("titlePanelJobName")->text(), "데모 도서");
    auto* grid = win->findChild<QTableWidget*>("JobInfo");
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->item(1, 0)->text(), "번역");
    EXPECT_EQ(grid->item(1, 1)->text(), "src2");
    EXPECT_EQ(grid->item(0, 2)->text(), "");

    // A folder whose job file names no product leaves the job actions off.
    myLIB.Jobs.pNAME.clear();
    win->ShowJobInfo();
    EXPECT_EQ(label("PanelJobname")->text(), "작업 없음");
    EXPECT_TRUE(label("PanelWorkDir")->text().isEmpty());
    for (QAction* a : win->ActionList())
        EXPECT_EQ(a->isEnabled(), a->property("tag").toInt() == 1) << a->objectName().toStdString();
}

TEST_F(MainWindowTest, GuardMessagesOfTheSteps)
{
    // RequireJob adds the login hint only while nobody is logged in.
    {
        BoxAnswerer boxes;
        EXPECT_FALSE(win->RequireJob());
        EXPECT_EQ(boxes.texts, QStringList({NoJobMessage, JobDefineMessage}));
    }
    myLIB.LoginID = "demo";
    {
        BoxAnswerer boxes;
        EXPECT_FALSE(win->RequireJob());
        EXPECT_EQ(boxes.texts, QStringList({NoJobMessage}));
    }
    myLIB.ClearLogin();
    {
        BoxAnswerer boxes;
        act("actNewJob")->trigger();
        EXPECT_EQ(boxes.texts, QStringList({JobDefineMessage}));
    }

    // Product known but no folder: the steps are enabled and RequireJob stops them.
    myLIB.Jobs.pNAME = "데모 도서";
    win->ShowJobInfo();
    {
        BoxAnswerer boxes;
        act("actTagCount")->trigger();
        EXPECT_EQ(boxes.texts, QStringList({NoJobMessage, JobDefineMessage}));
    }

    // One tab with a link: the connection step is enabled and refuses with its own message.
    OpenJob(MakeJobFolder(tmp.filePath("one"), "Y", true, 1));
    win->ShowJobInfo();
    ASSERT_TRUE(act("ActConnect")->isEnabled());
    {
        BoxAnswerer boxes;
        act("ActConnect")->trigger();
        EXPECT_EQ(boxes.texts, QStringList({"탭이 1개밖에 없으므로 탭 연결 작업은 필요 없습니다."}));
    }
    EXPECT_FALSE(win->findChild<QToolButton*>("tb_ActConnect")->isChecked());

    // A code table that cannot be made stops the steps that need it, before anything else.
    win->CodeTableRunner = [](QWidget*) { return 0; };
    {
        BoxAnswerer boxes;
        act("actCategory")->trigger();
        act("actUpload")->trigger();
        EXPECT_TRUE(boxes.texts.isEmpty());
    }
    EXPECT_FALSE(win->findChild<QToolButton*>("tb_actCategory")->isChecked());

    // Steps that need a login; the registered code table guard before them finds its two tables.
    win->CodeTableRunner = nullptr;
    WriteBytes(DataFolder() + "/VuxMetaInfo.txt",
               Utf16File({"ks_coremeta\tks_coremeta\t주제\tmt_oCode\t주제1\tsubj\tN\t2"}));
    WriteBytes(CodeTableFileName(), Utf16File({"subj\t주제\t00", "subj\t문학\t10"}));
    {
        BoxAnswerer boxes;
        act("actGetSearchInfo")->trigger();
        act("actUpload")->trigger();
        EXPECT_EQ(boxes.texts,
                  QStringList({"색인 정보를 받으려면 로그인하십시오.", "결과를 업로드하려면 로그인하십시오."}));
    }
    win->MarkToolButton(act("actTag"));
    {
        BoxAnswerer boxes;
        win->ChildOpen("noSuchWindow");
        EXPECT_EQ(boxes.texts, QStringList({NotReadyMessage}));
    }
    EXPECT_FALSE(win->findChild<QToolButton*>("tb_actTag")->isChecked());
}

TEST_F(MainWindowTest, ChildWindowsOnePerNameAndCloseQuestion)
{
    OpenJob(MakeJobFolder(tmp.filePath("job"), "Y", true));
    win->ShowJobInfo();
    win->ChildOpen("testShellChild");
    win->ChildOpen("testShellChild");
    ASSERT_EQ(win->OpenChildCount(), 1);
    QMdiSubWindow* sub = win->mdiArea()->subWindowList().first();
    EXPECT_TRUE(sub->isMaximized());

    // Answering No leaves the child and opens nothing.
    win->MarkToolButton(act("actLink"));
    {
        BoxAnswerer boxes({false});
        act("actTag")->trigger();
        EXPECT_EQ(boxes.questions, QStringList({CloseAllQuestion}));
        EXPECT_EQ(boxes.texts.size(), 1);
    }
    EXPECT_EQ(win->OpenChildCount(), 1);
    EXPECT_TRUE(win->findChild<QToolButton*>("tb_actLink")->isChecked());
    EXPECT_FALSE(win->findChild<QToolButton*>("tb_actTag")->isChecked());

    // Yes closes it (its tool button is released) unless a child keeps its unsaved work.
    win->ChildOpen("testShellRefusing");
    {
        BoxAnswerer boxes({true});
        EXPECT_FALSE(win->CloseAllChildren());
        EXPECT_EQ(boxes.questions.size(), 1);
    }
    EXPECT_EQ(win->OpenChildCount(), 1);
    EXPECT_FALSE(win->findChild<QToolButton*>("tb_actLink")->isChecked());
    EXPECT_EQ(win->mdiArea()->subWindowList().last()->property("windowName").toString(), "testShellRefusing");

    // Modal steps run fresh each time.
    g_modalRuns = 0;
    {
        BoxAnswerer boxes;
        win->ChildOpen("testShellModal");
        win->ChildOpen("testShellModal");
        EXPECT_EQ(boxes.texts, QStringList({"modal step", "modal step"}));
    }
    EXPECT_EQ(g_modalRuns, 2);
}

TEST_F(MainWindowTest, OpenJobRepeatsOnFolderWithoutJobFile)
{
    const QString plain = tmp.filePath("plain");
    QDir().mkpath(plain);
    const QString job = MakeJobFolder(tmp.filePath("job"), "N", false);
    QStringList starts;
    QStringList script = {plain, ""};
    win->ChooseFolder = [&](QWidget*, const QString& caption, const QString& start) {
        EXPECT_EQ(caption, "작업하고 있던 폴더를 선택하십시오.");
        starts << start;
        return script.isEmpty() ? QString() : script.takeFirst();
    };
    {
        BoxAnswerer boxes;
        act("actOpenJob")->trigger();
        EXPECT_EQ(boxes.texts, QStringList({"지정하신 폴더는 VUX 작업 폴더가 아닙니다."}));
    }
    ASSERT_EQ(starts.size(), 2);
    EXPECT_EQ(starts[1], plain);
    EXPECT_TRUE(myLIB.Jobs.WorkFolder.isEmpty());
    EXPECT_FALSE(act("actTag")->isEnabled());

    script = {plain, job};
    starts.clear();
    {
        BoxAnswerer boxes;
        act("actOpenJob")->trigger();
        EXPECT_EQ(boxes.texts.size(), 1);
    }
    EXPECT_EQ(myLIB.Jobs.WorkFolder, job);
    EXPECT_EQ(myLIB.Jobs.TabsCount, 2);
    EXPECT_EQ(ReadSetting("JOBS", "WorkFolder"), job);
    EXPECT_TRUE(act("actTag")->isEnabled());

    // The next choice starts in the open job.
    script = {""};
    starts.clear();
    act("actOpenJob")->trigger();
    EXPECT_EQ(starts, QStringList({job}));

    // A new job forgets the open one; the definition window that opens is cancelled.
    myLIB.LoginID = "demo";
    {
        BoxAnswerer boxes;
        boxes.otherWindow = [](QWidget* w) {
            auto* dlg = qobject_cast<QDialog*>(w);
            if (!dlg || dlg->objectName() != "frmJobs")
                return false;
            dlg->reject();
            return true;
        };
        act("actNewJob")->trigger();
    }
    EXPECT_TRUE(myLIB.Jobs.WorkFolder.isEmpty());
    EXPECT_TRUE(myLIB.Jobs.TabsName[0].isEmpty());
    EXPECT_EQ(ReadSetting("JOBS", "WorkFolder"), "");
    EXPECT_FALSE(act("actEditJob")->isEnabled());
}

TEST_F(MainWindowTest, StartUpWithFolderThatLostItsJobFile)
{
    const QString gone = tmp.filePath("gone");
    QDir().mkpath(gone);
    WriteSetting("JOBS", "WorkFolder", gone);
    QFile::remove(PendroluxCssFileName());

    win->Timer1Timer();
    EXPECT_TRUE(myLIB.Jobs.WorkFolder.isEmpty());
    EXPECT_FALSE(myLIB.Jobs.IsLoaded());
    for (QAction* a : win->ActionList())
        EXPECT_EQ(a->isEnabled(), a->property("tag").toInt() == 1) << a->objectName().toStdString();
    EXPECT_EQ(win->size(), QSize(1024, 730));
    EXPECT_EQ(win->findChild<QToolButton*>("tb_actTag")->statusTip(), "기본 태그");
    EXPECT_EQ(ReadBytes(PendroluxCssFileName()), EncodeLines(PendroluxCssLines(), TextEncoding::Utf8));

    // The detail panel goes away 800 ms after start-up.
    auto* detail = win->findChild<QFrame*>("PanelJobInfoDetail");
    win->show();
    detail->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return detail->isHidden(); }, 5000));
    win->hide();
}

TEST_F(MainWindowTest, StartUpRestoresBoundsAndLastJob)
{
    const QString job = MakeJobFolder(tmp.filePath("job"), "Y", true);
    WriteSetting("JOBS", "WorkFolder", job);
    SaveFormPosition("frmMain", FormPosition{0, 20, 30, 800, 600});
    win->Timer1Timer();
    EXPECT_EQ(myLIB.Jobs.pNAME, "데모 도서");
    EXPECT_EQ(label("PanelWorkDir")->text(), job);
    EXPECT_EQ(win->size(), QSize(800, 600));
    EXPECT_EQ(win->pos(), QPoint(20, 30));

    // Bounds left from a screen that is gone bring the window back onto the primary screen.
    SaveFormPosition("frmMain", FormPosition{0, -5000, -4000, 800, 600});
    RestoreFormPosition(win.get(), "frmMain");
    EXPECT_EQ(win->pos(), QGuiApplication::primaryScreen()->availableGeometry().topLeft());
    EXPECT_EQ(win->size(), QSize(800, 600));
}

TEST_F(MainWindowTest, CloseAnsweredNoKeepsRunningButSavesPositionAndClosesChildren)
{
    const QString job = MakeJobFolder(tmp.filePath("job"), "Y", true);
    OpenJob(job);
    win->ShowJobInfo();
    win->ChildOpen("testShellChild");
    win->resize(900, 650);
    {
        BoxAnswerer boxes({false});
        EXPECT_FALSE(win->close());
        EXPECT_EQ(boxes.questions, QStringList({"프로그램을 종료합니까?"}));
    }
    EXPECT_EQ(win->OpenChildCount(), 0);
    EXPECT_EQ(RestoreFormPosition("frmMain").width, 900);
    EXPECT_EQ(RestoreFormPosition("frmMain").height, 650);

    // Yes removes the preview pages and the downloaded updater.
    for (int n = 0; n < 5; ++n)
        WriteBytes(job + QString("/unit%1.htm").arg(n), "x");
    WriteBytes(job + "/unit5.htm", "x");
    WriteBytes(DataFolder() + "/Tupdate.exe", "x");
    {
        BoxAnswerer boxes({true});
        EXPECT_TRUE(win->close());
    }
    for (int n = 0; n < 5; ++n)
        EXPECT_FALSE(QFile::exists(job + QString("/unit%1.htm").arg(n)));
    EXPECT_TRUE(QFile::exists(job + "/unit5.htm"));
    EXPECT_FALSE(QFile::exists(DataFolder() + "/Tupdate.exe"));
}

TEST_F(MainWindowTest, TerminateAsksTheChildrenButNotTheQuitQuestion)
{
    win->show();
    win->ChildOpen("testShellRefusing");
    {
        BoxAnswerer boxes;
        TerminateProgram(win->mdiArea());
        QTest::qWait(50);
        EXPECT_TRUE(boxes.questions.isEmpty());
        EXPECT_TRUE(win->isVisible()); // the child kept its unsaved work
    }
    for (QMdiSubWindow* sub : win->mdiArea()->subWindowList())
        static_cast<TestChild*>(sub->widget())->refuse = false;
    {
        BoxAnswerer boxes;
        TerminateProgram(win.get());
        EXPECT_TRUE(QTest::qWaitFor([&] { return !win->isVisible(); }, 2000));
        EXPECT_TRUE(boxes.questions.isEmpty());
    }
    // An ordinary close asks again.
    win->show();
    BoxAnswerer boxes({false});
    EXPECT_FALSE(win->close());
    EXPECT_EQ(boxes.questions, QStringList({"프로그램을 종료합니까?"}));
}

TEST_F(MainWindowTest, CloseYesWithChildKeepingItsWorkStaysOpen)
{
    win->ChildOpen("testShellRefusing");
    BoxAnswerer boxes({true});
    EXPECT_FALSE(win->close());
    EXPECT_EQ(win->OpenChildCount(), 1);
}

} // namespace
