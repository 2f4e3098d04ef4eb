#include "common/SilentServer.h"
#include "common/TestSupport.h"
#include "server/FakeServer.h"
#include "server/ui/AboutBox.h"
#include "server/ui/frmUpdate.h"
#include "shell/Runtime.h"
#include "shell/ui/WindowRegistry.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

struct UpdateServer {
    FakeServer server;
    UpdateServer() { qputenv("QUILO_SERVER_URL", server.BaseURL().toUtf8()); }
    ~UpdateServer() { qunsetenv("QUILO_SERVER_URL"); }
};

} // namespace

TEST(AboutBox, OffersTheUpdateOnlyForANewerVersion)
{
    ASSERT_NE(FindDialogRunner("AboutBox"), nullptr);
    ASSERT_NE(FindDialogRunner("frmUpdate"), nullptr);
    struct Case {
        QByteArray published;
        int status;
        bool offer;
    } cases[] = {
        {"9.0.0.0\r\n", 200, true},
        {ProgramVersion().toUtf8(), 200, false},
        {"0.9.9.9", 200, false},
        {"9.0.0", 200, false},
        {"", 200, false},
        {"9.0.0.0", 404, false}, // an error page is no version
    };
    for (const Case& c : cases) {
        UpdateServer fx;
        FakeReply reply = FakeReply::Text(c.published, "text/plain");
        reply.status = c.status;
        fx.server.On("/ASP/ProgramUpdate/VUXVersion.txt", reply);
        TAboutBox box;
        box.show();
        QTRY_COMPARE(fx.server.requests.size(), 1);
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
        auto* panel = box.findChild<QWidget*>("PanelUpdate");
        EXPECT_EQ(panel->isVisible(), c.offer) << c.published.constData();
        EXPECT_TRUE(box.findChild<QLabel*>("Version")->text().endsWith("   Version: " + ProgramVersion()));
        EXPECT_EQ(box.findChild<QLabel*>("LabelComputerName")->text(), ComputerName());
        if (c.offer) {
            EXPECT_EQ(box.findChild<QLabel*>("newVersion")->text(), "Ver. 9.0.0.0");
            const QColor before = panel->palette().color(QPalette::Window);
            EXPECT_EQ(before, QColor(Qt::yellow));
            QTRY_VERIFY_WITH_TIMEOUT(panel->palette().color(QPalette::Window) == QColor(Qt::red), 2000);
        }
    }
}

TEST(AboutBox, SilentWithoutServer)
{
    qputenv("QUILO_SERVER_URL", "http://127.0.0.1:1");
    TAboutBox box;
    box.show();
    QTest::qWait(200);
    EXPECT_FALSE(box.findChild<QWidget*>("PanelUpdate")->isVisible());
    EXPECT_TRUE(box.isVisible());
    qunsetenv("QUILO_SERVER_URL");
}

// The version check has no time-out: OK, Esc and the close box end it and the box closes.
TEST(AboutBox, ClosesWhileTheServerIsSilent)
{
    SilentServer silent;
    qputenv("QUILO_SERVER_URL", silent.BaseURL().toUtf8());
    const struct {
        const char* name;
        std::function<void(TAboutBox&)> stop;
    } cases[] = {
        {"OK", [](TAboutBox& b) { b.findChild<QPushButton*>("OKButton")->click(); }},
        {"Esc", [](TAboutBox& b) { QTest::keyClick(&b, Qt::Key_Escape); }},
        {"close box", [](TAboutBox& b) { b.close(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TAboutBox box;
        StopWhileWaiting stop(silent, [&] { c.stop(box); });
        box.show();
        QTRY_VERIFY_WITH_TIMEOUT(stop.stopped && !box.isVisible(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(silent.Open(), 0, 10000);
        EXPECT_FALSE(stop.late) << "the request went on after the box closed";
        EXPECT_FALSE(box.findChild<QWidget*>("PanelUpdate")->isVisible());
    }
    qunsetenv("QUILO_SERVER_URL");
}

TEST(UpdateWindow, DownloadsStartsTheUpdaterAndEnds)
{
    UpdateServer fx;
    const QByteArray updater(20000, 'u');
    fx.server.On("/ASP/ProgramUpdate/Tupdate.exe", FakeReply::Text(updater, "application/octet-stream"));
    RecordingInteraction ui;
    QString started;
    QStringList arguments;
    bool ended = false;
    TfrmUpdate w;
    w.setInteraction(&ui);
    w.setStarter([&](const QString& program, const QStringList& args) {
        started = program;
        arguments = args;
        return true;
    });
    w.setProgramEnd([&] { ended = true; });
    w.show();
    QTRY_VERIFY_WITH_TIMEOUT(ended, 5000);
    EXPECT_TRUE(ui.infos.isEmpty()) << ui.infos.join("|").toStdString();
    EXPECT_EQ(started, TfrmUpdate::UpdaterPath());
    EXPECT_EQ(arguments, QStringList({fx.server.BaseURL(), QFileInfo(QCoreApplication::applicationFilePath()).fileName()}));
    EXPECT_EQ(ReadBytes(started), updater);
    EXPECT_TRUE(QFile::permissions(started) & QFile::ExeOwner);
    EXPECT_EQ(w.findChild<QLabel*>("nFileSize")->text(), "FileSize : 20,000bytes");
    EXPECT_EQ(w.findChild<QPushButton*>("btnUpdate")->text(), "전송완료");
    const QString memo = w.findChild<QPlainTextEdit*>("Memo1")->toPlainText();
    for (const char* line : {"다운로드중...", "완료.", "프로세스를 다시 시작하겠습니다.", "잠시만 기다려 주십시요."})
        EXPECT_TRUE(memo.contains(QString::fromUtf8(line))) << line;
}

TEST(UpdateWindow, FailuresKeepTheWindowAndTheOldUpdater)
{
    struct Case {
        const char* name;
        FakeReply reply;
        QString message;
    } cases[] = {
        {"too small", FakeReply::Text("tiny", "application/octet-stream"),
         "서버에 파일이 없습니다. 운영자에게 문의하십시요."},
        {"missing", [] { FakeReply r; r.status = 404; r.body = QByteArray(20000, 'x'); return r; }(),
         "0 : HTTP 404 Error"},
        {"stopped", [] { FakeReply r; r.mode = FakeReply::Silent; return r; }(), "0 : stopped"},
    };
    for (const Case& c : cases) {
        UpdateServer fx;
        WriteBytes(TfrmUpdate::UpdaterPath(), "old updater");
        fx.server.On("/ASP/ProgramUpdate/Tupdate.exe", c.reply);
        RecordingInteraction ui;
        bool started = false;
        TfrmUpdate w;
        w.setInteraction(&ui);
        w.setStarter([&](const QString&, const QStringList&) { return started = true; });
        w.setProgramEnd([] {});
        auto* cancel = w.findChild<QPushButton*>("btnCancel");
        QTimer::singleShot(300, cancel, [cancel] { cancel->click(); });
        w.show();
        QTRY_COMPARE_WITH_TIMEOUT(ui.infos.size(), 1, 5000);
        EXPECT_EQ(ui.infos[0], c.message) << c.name;
        EXPECT_FALSE(started) << c.name;
        EXPECT_TRUE(w.isVisible()) << c.name;
        EXPECT_TRUE(w.findChild<QPushButton*>("btnUpdate")->isEnabled()) << c.name;
        EXPECT_EQ(ReadBytes(TfrmUpdate::UpdaterPath()), "old updater") << c.name;
    }
}
