#include "common/SilentServer.h"
#include "common/TestSupport.h"
#include "jobs/ui/frmJobs.h"
#include "jobs/ui/frmJobsGetMy.h"
#include "server/FakeServer.h"
#include "shell/myLIB.h"
#include "shell/ui/WindowRegistry.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

const QByteArray ProductReplyText =
    "OK\r\n"
    "데모 도서^DEMO01^9001^Y^Y^본문,번역^번역,본문^101,102\r\n"
    "영어 사전^ENG01^9002^N^N^본문^x^201\r\n"
    "나쁜 책^BAD01^9003^N^N^본문,../밖^x^301,302\r\n"
    "end\r\n";

void DoubleClickRow(QTableWidget* grid, int row)
{
    const QRect r = grid->visualItemRect(grid->item(row, 0));
    // A real double-click: the view reacts only to a second click on the row it saw pressed.
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, r.center());
}

// Serves the product list on 127.0.0.1 and makes it the program's server.
struct ServerFixture {
    FakeServer server;
    ServerFixture(const QByteArray& reply = ProductReplyText)
    {
        server.On("/ASP/vx__JobsGetMy.asp", FakeReply::Text(reply));
        qputenv("QUILO_SERVER_URL", server.BaseURL().toUtf8());
        myLIB.ClearLogin();
        myLIB.LoginID = "demo";
        myLIB.LoginPW = "demo pw";
    }
    ~ServerFixture() { qunsetenv("QUILO_SERVER_URL"); }
};

} // namespace

TEST(ProductListWindow, LoadsSearchesAndChooses)
{
    ServerFixture fx;
    RecordingInteraction ui;
    TfrmJobsGetMy w;
    w.setInteraction(&ui);
    w.show();
    auto* grid = w.findChild<QTableWidget*>("gridList");
    auto* search = w.findChild<QLineEdit*>("eSearch");
    QTRY_COMPARE(grid->rowCount(), 3);
    ASSERT_EQ(fx.server.requests.size(), 1);
    EXPECT_EQ(fx.server.requests[0].method, "POST");
    EXPECT_EQ(fx.server.requests[0].body, "id=demo&pw=demo%20pw");
    EXPECT_EQ(grid->currentRow(), 0);
    EXPECT_EQ(grid->columnCount(), 8);
    EXPECT_EQ(grid->horizontalHeaderItem(7)->text(), "AR_ID");
    EXPECT_EQ(grid->item(1, 2)->text(), "9002");
    EXPECT_EQ(grid->item(0, 0)->toolTip(), "데모 도서 | 본문,번역 | 번역,본문");

    // Every change of the text searches onwards from the selected row, wrapping to the top.
    search->setText("사");
    search->setText("사전");
    EXPECT_EQ(grid->currentRow(), 1);
    search->clear();
    grid->selectRow(2);
    search->setText("데모");
    EXPECT_EQ(grid->currentRow(), 0);
    search->setText("없는 제품");
    EXPECT_EQ(grid->currentRow(), 0);

    // A product whose tab names would leave the job folder cannot be chosen.
    DoubleClickRow(grid, 2);
    ASSERT_EQ(ui.infos.size(), 1);
    EXPECT_TRUE(ui.infos[0].startsWith("이 제품의 탭 정보로는 작업을 만들 수 없습니다.")) << ui.infos[0].toStdString();
    EXPECT_TRUE(w.isVisible());

    DoubleClickRow(grid, 0);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(w.selectedProduct().value(2), "9001");
}

TEST(ProductListWindow, ReportsLoginRefusalAndDeadServer)
{
    {
        ServerFixture fx("오류");
        RecordingInteraction ui;
        TfrmJobsGetMy w;
        w.setInteraction(&ui);
        w.show();
        QTRY_COMPARE(ui.infos.size(), 1);
        EXPECT_EQ(ui.infos[0], "아이디나 비밀번호가 맞지 않습니다.");
        EXPECT_TRUE(w.isVisible()); // stays open with an empty list
        EXPECT_EQ(w.findChild<QTableWidget*>("gridList")->rowCount(), 0);
    }
    {
        ServerFixture fx;
        qputenv("QUILO_SERVER_URL", "http://127.0.0.1:1");
        RecordingInteraction ui;
        TfrmJobsGetMy w;
        w.setInteraction(&ui);
        w.show();
        QTRY_COMPARE(ui.infos.size(), 1);
        EXPECT_EQ(ui.infos[0], "서버에 연결하지 못했습니다. 인터넷 연결을 확인하십시오.");
        EXPECT_EQ(w.result(), QDialog::Rejected);
        EXPECT_FALSE(w.isVisible());
    }
    {
        ServerFixture fx;
        myLIB.ClearLogin();
        RecordingInteraction ui;
        TfrmJobsGetMy w;
        w.setInteraction(&ui);
        w.show();
        QTRY_COMPARE(ui.infos.size(), 1);
        EXPECT_EQ(ui.infos[0], "제품 정보를 보려면 로그인을 해야 합니다. 창을 닫고 로그인하십시요.");
        EXPECT_FALSE(w.findChild<QWidget*>("PanelTop")->isVisibleTo(&w));
        EXPECT_TRUE(fx.server.requests.isEmpty());
    }
}

// The list request waits on the server without a time-out: Esc and the close box end it and
// the window closes at once, without a message about the server.
TEST(ProductListWindow, ClosingEndsAWaitingRequest)
{
    ServerFixture fx;
    SilentServer silent;
    qputenv("QUILO_SERVER_URL", silent.BaseURL().toUtf8());
    const struct {
        const char* name;
        std::function<void(QDialog&)> stop;
    } cases[] = {
        {"Esc", [](QDialog& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
        {"close box", [](QDialog& w) { w.close(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingInteraction ui;
        TfrmJobsGetMy w;
        w.setInteraction(&ui);
        StopWhileWaiting stop(silent, [&] { c.stop(w); });
        w.show();
        QTRY_VERIFY_WITH_TIMEOUT(stop.stopped && !w.isVisible(), 10000);
        QTest::qWait(50);
        EXPECT_FALSE(stop.late) << "the request went on after the stop";
        EXPECT_EQ(w.result(), QDialog::Rejected);
        EXPECT_TRUE(ui.infos.isEmpty()) << ui.infos.join("|").toStdString();
    }
}

TEST(JobWindow, DefinesANewJobAndReopensIt)
{
    const WindowFactory* factory = nullptr;
    WindowKind kind = WindowKind::Child;
    factory = FindWindowFactory("frmJobs", &kind);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(kind, WindowKind::Modal);

    ServerFixture fx;
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("src/본문");
    QDir(dir.path()).mkpath("src/번역");
    QTemporaryDir outside;
    myLIB.Jobs = TJobDefine{};

    RecordingInteraction ui;
    QStringList folders;    // answers of the folder dialog, in order
    QStringList captions;
    TfrmJobs w;
    w.setInteraction(&ui);
    w.setFolderChooser([&](const QString& caption, const QString&) {
        captions << caption;
        return folders.isEmpty() ? QString() : folders.takeFirst();
    });
    w.show();
    QApplication::processEvents();
    EXPECT_TRUE(w.is_new_job);
    auto* btnName = w.findChild<QPushButton*>("btnJob_Name");
    auto* btnFolder = w.findChild<QPushButton*>("btnJob_WorkFolder");
    auto* grid = w.findChild<QTableWidget*>("gridTabs");
    EXPECT_TRUE(btnName->isEnabled());
    EXPECT_FALSE(btnFolder->isEnabled());

    // Saving before anything is chosen.
    QTest::mouseClick(w.findChild<QPushButton*>("btnSave"), Qt::LeftButton);
    EXPECT_EQ(ui.infos, QStringList{"작업 폴더가 지정되지 않았습니다."});
    ui.infos.clear();

    // The product list opens modally; choose "데모 도서" once it has loaded.
    QTimer pick;
    QObject::connect(&pick, &QTimer::timeout, [&] {
        auto* list = qobject_cast<TfrmJobsGetMy*>(QApplication::activeModalWidget());
        if (!list || list->products().isEmpty())
            return;
        pick.stop();
        DoubleClickRow(list->findChild<QTableWidget*>("gridList"), 0);
    });
    pick.start(20);
    QTest::mouseClick(btnName, Qt::LeftButton);
    EXPECT_EQ(w.findChild<QLineEdit*>("eJob_Name")->text(), "데모 도서");
    EXPECT_EQ(w.findChild<QLineEdit*>("ePID")->text(), "9001");
    EXPECT_EQ(w.findChild<QLineEdit*>("ePCode")->text(), "DEMO01");
    EXPECT_EQ(w.findChild<QLineEdit*>("esImage")->text(), "Y");
    EXPECT_EQ(grid->item(0, 0)->text(), "본문");
    EXPECT_EQ(grid->item(0, 3)->text(), "101");
    EXPECT_EQ(grid->item(1, 0)->text(), "번역");
    EXPECT_EQ(grid->item(1, 2)->text(), "본문");
    EXPECT_TRUE(btnFolder->isEnabled());

    // Source folders need the job folder first.
    DoubleClickRow(grid, 0);
    EXPECT_EQ(ui.infos, QStringList{"작업 폴더를 먼저 설정하십시오."});
    ui.infos.clear();

    folders = {dir.path()};
    QTest::mouseClick(btnFolder, Qt::LeftButton);
    EXPECT_EQ(w.findChild<QLineEdit*>("eJob_WorkFolder")->text(), dir.path());
    EXPECT_TRUE(ui.questions.isEmpty());

    folders = {dir.path() + "/src/본문", outside.path(), dir.path() + "/src/본문"};
    DoubleClickRow(grid, 0);
    DoubleClickRow(grid, 1); // outside the job folder: refused
    EXPECT_EQ(ui.infos.size(), 1);
    DoubleClickRow(grid, 1);
    EXPECT_EQ(captions.last(), "탭(번역)의 텍스트가 들어 있는 폴더를 선택하십시오.");
    EXPECT_EQ(grid->item(0, 1)->text(), "src/본문");
    ui.infos.clear();
    QTest::mouseClick(w.findChild<QPushButton*>("btnSave"), Qt::LeftButton);
    EXPECT_EQ(ui.infos, QStringList{"같은 파일을 두 개의 탭에 사용할 수 없습니다."});
    EXPECT_TRUE(w.isVisible());

    folders = {dir.path() + "/src/번역"};
    DoubleClickRow(grid, 1);
    QTest::mouseClick(w.findChild<QPushButton*>("btnSave"), Qt::LeftButton);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(myLIB.Jobs.WorkFolder, dir.path());
    EXPECT_EQ(myLIB.Jobs.TabsCount, 2);
    EXPECT_EQ(myLIB.Jobs.TabsFile[1], "src/번역");
    EXPECT_EQ(myLIB.Jobs.TabsLink[1], "본문");
    EXPECT_TRUE(IsJobFolder(dir.path()));

    // Opened again for the open job: product fixed, folder changeable.
    TfrmJobs again;
    again.setInteraction(&ui);
    again.show();
    QApplication::processEvents();
    EXPECT_FALSE(again.is_new_job);
    EXPECT_FALSE(again.findChild<QPushButton*>("btnJob_Name")->isEnabled());
    EXPECT_TRUE(again.findChild<QPushButton*>("btnJob_WorkFolder")->isEnabled());
    EXPECT_EQ(again.findChild<QTableWidget*>("gridTabs")->item(1, 1)->text(), "src/번역");
    EXPECT_EQ(again.findChild<QLineEdit*>("eJob_WorkFolder")->text(), dir.path());
}
