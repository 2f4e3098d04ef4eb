#include "common/SilentServer.h"
#include "common/TestSupport.h"
#include "common/WindowTestSupport.h"
#include "controls/ui/EditPlus.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/FakeServer.h"
#include "server/HttpClient.h"
#include "server/Login.h"
#include "server/VUX_codes.h"
#include "server/ui/frmGetMetaInfo.h"
#include "server/ui/frmLogin.h"
#include "shell/Runtime.h"
#include "shell/myLIB.h"
#include "shell/ui/WindowRegistry.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <memory>

namespace {

class LoginWindowTest : public ::testing::Test {
protected:
    FakeServer server;
    void SetUp() override
    {
        qputenv("QUILO_SERVER_URL", server.BaseURL().toUtf8());
        myLIB.ClearLogin();
        QFile::remove(BookInfoFileName());
        QFile::remove(CodeTableFileName());
        server.On("/ASP/vx__use_staff.asp", FakeReply::Text(QString("데모 작업자|1").toUtf8()));
        server.On("/ASP/vx__getGoodsInfo.asp", FakeReply::Text(QString("OK\r\n0^9001^QU^데모 도서\r\nend").toUtf8()));
        server.On("/ASP/vx__getMetaCode.asp", FakeReply::Text(QString("OK\r\nsubj^주제^00\r\nend").toUtf8()));
    }
    void TearDown() override { qunsetenv("QUILO_SERVER_URL"); }
};

TEST_F(LoginWindowTest, ControlsAndCompleteLogin)
{
    TfrmLogin dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(dlg.windowTitle(), QString("VUX 로그인"));
    auto* version = dlg.findChild<QLabel*>("버전판넬");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "Version: " + ProgramVersion());
    auto* eID = dlg.findChild<QLineEdit*>("eID");
    auto* ePw = dlg.findChild<QLineEdit*>("ePw");
    ASSERT_TRUE(eID && ePw && dlg.findChild<QPushButton*>("btnLogin") && dlg.findChild<QPushButton*>("btnExit"));
    EXPECT_EQ(ePw->echoMode(), QLineEdit::Password);

    // Enter in the ID box moves on; Enter in the password box logs in.
    eID->setFocus();
    QTest::keyClicks(eID, "demo");
    QTest::keyClick(eID, Qt::Key_Return);
    EXPECT_TRUE(ePw->hasFocus());
    QTest::keyClicks(ePw, "de mo#");
    BoxAnswerer boxes;
    QTest::keyClick(ePw, Qt::Key_Return);

    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('/').toStdString();
    EXPECT_EQ(dlg.result(), TfrmLogin::ResultOK);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(myLIB.LoginID, QString("demo"));
    EXPECT_EQ(myLIB.LoginPW, QString("de mo#"));
    EXPECT_EQ(myLIB.staffNAME, QString("데모 작업자"));
    EXPECT_EQ(ReadBytes(CodeTableFileName()), Utf16File({"subj\t주제\t00"}));
    ASSERT_EQ(server.requests.size(), 3);
    EXPECT_EQ(server.requests[0].body, QByteArray("id=demo&pw=de%20mo%23"));
}

TEST_F(LoginWindowTest, RefusalsKeepTheDialogOpen)
{
    server.Clear();
    server.On("/ASP/vx__use_staff.asp", FakeReply::Text(QString("오류").toUtf8()));
    TfrmLogin dlg;
    dlg.show();
    BoxAnswerer boxes;
    dlg.btnLogin->click();
    dlg.eID->setText("kim");
    dlg.btnLogin->click();
    dlg.ePw->setText("wrong");
    dlg.btnLogin->click();
    EXPECT_EQ(boxes.texts, QStringList({MsgEnterId, MsgEnterPw, MsgWrongLogin}));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(myLIB.IsLoggedIn());
    EXPECT_TRUE(dlg.btnLogin->isEnabled());

    // Cancel closes with the cancel result.
    dlg.btnExit->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), TfrmLogin::ResultCancel);
}

// The login and the column file download wait on the server without a time-out: the window's
// cancel, Esc and close box stop the wait, the dialog closes, and the files stay as they were.
TEST_F(LoginWindowTest, StoppedWhileTheServerIsSilent)
{
    SilentServer silent;
    qputenv("QUILO_SERVER_URL", silent.BaseURL().toUtf8());
    const QString metaInfo = MetaInfoFileName();
    const struct {
        const char* name;
        bool login; // else the column file download
        std::function<void(QDialog&)> stop;
    } cases[] = {
        {"login, cancel button", true, [](QDialog& d) { static_cast<TfrmLogin&>(d).btnExit->click(); }},
        {"login, Esc", true, [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"login, close box", true, [](QDialog& d) { d.close(); }},
        {"column file, Esc", false, [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"column file, close box", false, [](QDialog& d) { d.close(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(BookInfoFileName(), "OLD\r\n");
        WriteBytes(CodeTableFileName(), "OLD\r\n");
        QFile::remove(metaInfo);
        BoxAnswerer boxes;
        std::unique_ptr<QDialog> dlg;
        if (c.login) {
            auto* login = new TfrmLogin;
            dlg.reset(login);
            login->show();
            login->eID->setText("kim");
            login->ePw->setText("pw");
            StopWhileWaiting stop(silent, [&] { c.stop(*dlg); });
            login->btnLogin->click(); // returns once the request has ended
            EXPECT_TRUE(stop.stopped);
            EXPECT_FALSE(stop.late) << "the request went on after the stop";
            EXPECT_EQ(dlg->result(), TfrmLogin::ResultCancel);
        } else {
            dlg.reset(new TfrmGetMetaInfo(metaInfo));
            StopWhileWaiting stop(silent, [&] { c.stop(*dlg); });
            EXPECT_EQ(dlg->exec(), QDialog::Rejected);
            EXPECT_TRUE(stop.stopped);
            EXPECT_FALSE(stop.late) << "the request went on after the stop";
            EXPECT_FALSE(QFile::exists(metaInfo));
        }
        EXPECT_FALSE(dlg->isVisible());
        EXPECT_FALSE(myLIB.IsLoggedIn());
        EXPECT_EQ(ReadBytes(BookInfoFileName()), QByteArray("OLD\r\n"));
        EXPECT_EQ(ReadBytes(CodeTableFileName()), QByteArray("OLD\r\n"));
        if (c.login) {
            EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('/').toStdString();
        }
    }
    QFile::remove(BookInfoFileName());
    QFile::remove(CodeTableFileName());
}

TEST_F(LoginWindowTest, RegisteredRunners)
{
    ASSERT_NE(FindDialogRunner("frmLogin"), nullptr);
    ASSERT_NE(FindDialogRunner("EnsureCodeTable"), nullptr);
    BoxAnswerer boxes;
    boxes.otherWindow = [](QWidget* w) {
        auto* dlg = qobject_cast<TfrmLogin*>(w);
        if (!dlg)
            return false;
        dlg->eID->setText("demo");
        dlg->ePw->setText("demo");
        dlg->btnLogin->click();
        return true;
    };
    EXPECT_EQ((*FindDialogRunner("frmLogin"))(nullptr), 1);
    EXPECT_EQ(myLIB.staffNAME, QString("데모 작업자"));
}

TEST_F(LoginWindowTest, MetaInfoDownloadWindow)
{
    const QString target = MetaInfoFileName();
    QFile::remove(target);
    server.On(MetaInfoPath.toLatin1(), FakeReply::Text("short", "text/plain"));
    BoxAnswerer boxes;
    {
        TfrmGetMetaInfo dlg(target);
        EXPECT_EQ(dlg.exec(), QDialog::Rejected);
    }
    EXPECT_EQ(boxes.texts, QStringList({MsgMetaInfoNotOnServer, MsgMetaInfoNotFetched}));

    server.Clear();
    server.On(MetaInfoPath.toLatin1(), FakeReply::Text(QByteArray(12000, 'a'), "text/plain"));
    TfrmGetMetaInfo dlg(target);
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(dlg.ProgressBar1->value(), dlg.ProgressBar1->maximum());
    EXPECT_EQ(QFileInfo(target).size(), 12000);
}

TEST_F(LoginWindowTest, TableErrorClosesTheMainWindowThroughItsOwnClose)
{
    QFile::remove(MetaInfoFileName());
    myLIB.VUX_codes_Created = false;
    QWidget main;
    main.show();
    BoxAnswerer boxes;
    EXPECT_EQ((*FindDialogRunner("EnsureCodeTable"))(&main), 0);
    EXPECT_EQ(boxes.texts.size(), 3); // not on the server, not fetched, the table error
    EXPECT_TRUE(boxes.texts.last().startsWith("테이블["));
    EXPECT_TRUE(boxes.texts.last().endsWith("[VuxMetaInfo.txt] 파일을 찾을 수 없습니다."));
    for (int i = 0; i < 100 && main.isVisible(); ++i)
        QTest::qWait(10);
    EXPECT_FALSE(main.isVisible());
}

} // namespace
