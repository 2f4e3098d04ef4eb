#include "common/DemoJob.h"
#include "common/RefServerProcess.h"
#include "common/SilentServer.h"
#include "common/TestSupport.h"
#include "common/WindowTestSupport.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"
#include "shell/ui/WindowRegistry.h"
#include "upload/ui/frmUpdateMsg.h"
#include "upload/ui/frmUpload.h"

#include <gtest/gtest.h>

#include <QScrollBar>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

// Pictures of the window for a person to look at, only when asked for.
void Shot(QWidget& w, const QString& name)
{
    const QString dir = qEnvironmentVariable("QUILO_SHOT_DIR");
    if (!dir.isEmpty())
        w.grab().save(dir + "/" + name);
}

// The demo product with one tab of two articles, a meta result file newer than the index, and
// one inserted image; logged in as the demo operator against a fresh reference server.
class UploadWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!RefServerProcess::Built())
            GTEST_SKIP() << "quilo-server is not built";
        QString log;
        const QString url = m_server.Start(&log);
        ASSERT_FALSE(url.isEmpty()) << log.toStdString();
        qputenv("QUILO_SERVER_URL", url.toUtf8());
        ASSERT_TRUE(DemoCodeTable());
        const int block = SessionCodes()->vux_DataBlockLength;

        TJobDefine& job = myLIB.Jobs;
        job.pID = "9001";
        job.pCode = "DEMO01";
        job.pNAME = "데모 도서";
        job.insImage = "Y";
        job.TabsID[0] = "101";
        WriteBytes(path("keywords.txt"), Utf16File({"ar_id^101", "1^ks_coremeta^mt_lang^한국어"}));
        WriteBytes(path("본문.idx"), Utf16File({"1", "1", "첫 기사", "2", "1", "둘째 & 끝"}));
        WriteBytes(path("work_본문/1.txt"), Utf16File({"<h1>첫 기사</h1>", "본문 한 줄"}));
        WriteBytes(path("work_본문/2.txt"), Utf16File({"<h1>둘째 & 끝</h1>", "a & b"}));
        QStringList meta(2 * block);
        meta[0] = "첫 기사";
        meta[block] = "둘째 & 끝";
        WriteBytes(path("본문.kwd"), Utf16File(meta));
        QFile idx(path("본문.idx"));
        ASSERT_TRUE(idx.open(QIODevice::ReadWrite));
        idx.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime);
        WriteBytes(path("img/그림.jpg"), "jpeg bytes");
        myLIB.LoginID = "demo";
        myLIB.LoginPW = "demo";
    }
    void TearDown() override
    {
        myLIB.ClearLogin();
        qunsetenv("QUILO_SERVER_URL");
    }
    QString path(const QString& name) const { return m_job.dir.filePath(name); }
    static bool Has(const TfrmUpload& w, const QString& line) { return w.eMsg->toPlainText().split('\n').contains(line); }

    RefServerProcess m_server;
    DemoJob m_job{{"본문"}};
};

// Notes when a bar shows and hides, with the pane's last line at that moment.
class TabBarWatch : public QObject {
public:
    QStringList events;
    TabBarWatch(QWidget* bar, QPlainTextEdit* pane) : m_pane(pane) { bar->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Show || e->type() == QEvent::Hide)
            events << QString(e->type() == QEvent::Show ? "show" : "hide") + " after " + m_pane->toPlainText().split('\n').last();
        return false;
    }

private:
    QPlainTextEdit* m_pane;
};

TEST_F(UploadWindow, RegisteredAsModalWindow)
{
    WindowKind kind = WindowKind::Child;
    ASSERT_NE(FindWindowFactory("frmUpload", &kind), nullptr);
    EXPECT_EQ(kind, WindowKind::Modal);
}

TEST_F(UploadWindow, CheckTabChoiceUploadWithLogsAndThenAnUpdate)
{
    BoxAnswerer boxes;
    {
        TfrmUpload w;
        w.show();
        ASSERT_TRUE(WaitFor([&] { return w.PanelReady->isVisible() || (!w.isRunning() && w.eMsg->toPlainText().size() > 20); }));
        ASSERT_TRUE(w.PanelReady->isVisible()) << w.eMsg->toPlainText().toStdString() << boxes.texts.join("\n").toStdString();
        EXPECT_TRUE(Has(w, "업로드 준비가 되었습니다."));
        EXPECT_FALSE(w.PanelWonImageID->isVisible());
        EXPECT_EQ(w.LabelUpTabsCount->text(), "전체");

        // No tab chosen keeps the choice open.
        w.ButtonSetUpTabs->click();
        EXPECT_TRUE(w.PanelUploadTabs->isVisible());
        EXPECT_FALSE(w.PanelReady->isEnabled());
        Shot(w, "frmUpload-tabs.png");
        w.CheckBoxTabsAll->click();
        EXPECT_EQ(w.LabelUpTabsCount->text(), "0");
        w.SpeedButtonTabSetOK->click();
        ASSERT_TRUE(WaitFor([&] { return boxes.texts.contains("전송할 탭을 하나라도 선택하세요."); }));
        EXPECT_TRUE(w.PanelUploadTabs->isVisible());
        w.CheckListBoxTabs->item(0)->setCheckState(Qt::Checked);
        EXPECT_TRUE(w.CheckBoxTabsAll->isChecked());
        EXPECT_EQ(w.LabelUpTabsCount->text(), "전체");
        w.SpeedButtonTabSetOK->click();
        EXPECT_FALSE(w.PanelUploadTabs->isVisible());

        // An old log folder goes first.
        WriteBytes(path("log/old.txt"), "x");
        w.LogCheckBox->setChecked(true);
        // The tab bar shows for the text phase alone; the pane follows its last line even when
        // the operator had scrolled up.
        TabBarWatch watch(w.ProgressTabs, w.eMsg);
        for (int i = 0; i < 100; ++i)
            w.eMsg->appendPlainText("앞 줄");
        w.eMsg->verticalScrollBar()->setValue(0);
        w.btnUpload->click();
        ASSERT_TRUE(WaitFor([&] { return !w.isRunning() && w.btnCancel1->text() == "닫기"; }))
            << w.eMsg->toPlainText().toStdString() << boxes.texts.join("\n").toStdString();
        EXPECT_EQ(watch.events, (QStringList{"hide after 로그 폴더를 정리합니다.", "show after 텍스트 정보를 전송합니다...",
                                             "hide after 본문 - 2 둘째 & 끝"}));
        EXPECT_GT(w.eMsg->verticalScrollBar()->maximum(), 0);
        EXPECT_EQ(w.eMsg->verticalScrollBar()->value(), w.eMsg->verticalScrollBar()->maximum());
        EXPECT_TRUE(Has(w, "전송 작업이 완료되었습니다."));
        EXPECT_TRUE(Has(w, "전송이 완료되었습니다."));
        EXPECT_TRUE(Has(w, QString(40, '-')));
        EXPECT_TRUE(Has(w, "(1/1) 그림.jpg"));
        EXPECT_FALSE(w.btnUpload->isEnabled());
        const QStringList logs = QDir(path("log")).entryList(QDir::Files, QDir::Name);
        EXPECT_EQ(logs, (QStringList{"001_dn.txt", "001_up.txt", "002_dn.txt", "002_up.txt", "003_dn.txt", "003_up.txt",
                                     "004_dn.txt", "004_up.txt", "005_dn.txt", "005_up.txt"}));
        EXPECT_TRUE(ReadBytes(path("log/001_up.txt")).contains("\r\npw=****\r\n"));
        EXPECT_EQ(ReadBytes(path("log/001_dn.txt")), QByteArray("INSERT\r\n"));
        Shot(w, "frmUpload-done.png");
        w.btnCancel1->click();
        EXPECT_FALSE(w.isVisible());
    }
    {
        // The second run of the product is an update with its note.
        TfrmUpload w;
        QStringList asked;
        w.noteForTest = [&](QStringList& note) { return note = QStringList{"고친 내용"}, asked << "note", true; };
        w.show();
        ASSERT_TRUE(WaitFor([&] { return w.PanelReady->isVisible(); }));
        w.btnUpload->click();
        ASSERT_TRUE(WaitFor([&] { return !w.isRunning() && w.btnCancel1->text() == "닫기"; }))
            << w.eMsg->toPlainText().toStdString();
        EXPECT_EQ(asked, QStringList{"note"});
        EXPECT_TRUE(Has(w, "제품 데이터를 수정합니다."));
    }
}

// The check names each image tag whose file would stay behind and keeps the upload closed; once
// the job is whole it shows its warnings, and the run sends a picture two folders below img.
TEST_F(UploadWindow, CheckNamesImagesLeftBehindWarnsAndSendsImagesAtAnyDepth)
{
    BoxAnswerer boxes;
    const TVUX_codes& codes = *SessionCodes();
    QStringList meta(2 * codes.vux_DataBlockLength);
    meta[0] = "첫 기사";
    meta[codes.vux_DataBlockLength] = "둘째 & 끝";
    meta[codes.vux_DataBlockLength + codes.vux_SubjPtr2] = "-";
    WriteBytes(path("본문.kwd"), Utf16File(meta));
    WriteBytes(path("work_본문/2.txt"), Utf16File({"<h1>둘째 & 끝</h1>", "a &gt; b", "<img src=\"img/지도/남해/섬.jpg\">"}));
    const QString article = "본문 - 기사 2(둘째 & 끝): ";
    auto checked = [&](TfrmUpload& w) {
        return WaitFor([&] { return w.PanelReady->isVisible() || Has(w, "오류가 발생했습니다."); });
    };
    {
        TfrmUpload w;
        w.show();
        ASSERT_TRUE(checked(w)) << w.eMsg->toPlainText().toStdString();
        EXPECT_TRUE(Has(w, article + "이미지 img/지도/남해/섬.jpg이(가) 없습니다.")) << w.eMsg->toPlainText().toStdString();
        EXPECT_FALSE(w.PanelReady->isVisible());
        Shot(w, "frmUpload-image-left-behind.png");
    }
    WriteBytes(path("img/지도/남해/섬.jpg"), QByteArray("\xFF\xD8\xFF\xE0 JFIF", 9));
    {
        // With source images but none to send, the image option goes off and the picture with it.
        myLIB.Jobs.srcImage = "Y";
        WriteBytes(path("본문_images.txt"), Utf16File({"-", "-", "1.jpg", "1.jpg", "-", "-"}));
        WriteBytes(path("images/1.jpg"), "");
        TfrmUpload w;
        w.show();
        ASSERT_TRUE(checked(w)) << w.eMsg->toPlainText().toStdString();
        EXPECT_TRUE(Has(w, "원문 이미지가 하나도 없습니다. 이미지 전송을 하지 않습니다."));
        EXPECT_TRUE(Has(w, article + "이미지 img/지도/남해/섬.jpg: 원문 이미지가 하나도 없어 이미지 전송이 꺼지므로 전송되지 않습니다."))
            << w.eMsg->toPlainText().toStdString();
        EXPECT_FALSE(w.PanelReady->isVisible());
        myLIB.Jobs.srcImage = "N";
    }
    TfrmUpload w;
    w.show();
    ASSERT_TRUE(checked(w)) << w.eMsg->toPlainText().toStdString();
    ASSERT_TRUE(w.PanelReady->isVisible()) << w.eMsg->toPlainText().toStdString();
    const QStringList pane = w.eMsg->toPlainText().split('\n');
    EXPECT_EQ(pane.filter(QRegularExpression("^주의: " + QRegularExpression::escape(article) + ".*&gt;")).size(), 1);
    EXPECT_EQ(pane.filter(QRegularExpression("^주의: " + QRegularExpression::escape(article) + ".*\"BAD\"")).size(), 1);
    w.btnUpload->click();
    ASSERT_TRUE(WaitFor([&] { return !w.isRunning() && w.btnCancel1->text() == "닫기"; }))
        << w.eMsg->toPlainText().toStdString() << boxes.texts.join("\n").toStdString();
    EXPECT_TRUE(Has(w, "(2/2) 지도/남해/섬.jpg"));
    EXPECT_TRUE(m_server.Admin({"product-show", "9001"}).contains(QRegularExpression("\nfile\timg/지도/남해\t섬.jpg\t")));
}

TEST_F(UploadWindow, ServerDownWaitsUntilTheOperatorStops)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    qputenv("QUILO_SERVER_URL", QByteArray("http://127.0.0.1:") + QByteArray::number(port));

    BoxAnswerer boxes;
    boxes.answers = {false, true}; // the first stop is taken back
    TfrmUpload w;
    w.show();
    ASSERT_TRUE(WaitFor([&] { return w.PanelReady->isVisible(); }));
    w.btnUpload->click();
    ASSERT_TRUE(WaitFor([&] { return w.PanelDelay->isVisible(); }));
    EXPECT_EQ(w.Label_delay_title->text(), "서버와 연결이 너무 많아 60초 동안 기다립니다.");
    ASSERT_TRUE(WaitFor([&] { return w.Label_delay_count->text() == "대기 : 59초 남음"; }));
    Shot(w, "frmUpload-wait.png");
    w.BitBtn_cancel_sending->click();
    ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == 1; }));
    EXPECT_EQ(boxes.texts[0], "전송을 중지합니까?");
    QTest::qWait(300);
    EXPECT_TRUE(w.isRunning());
    EXPECT_EQ(boxes.texts.size(), 1); // not asked again until the button is pressed anew
    w.BitBtn_cancel_sending->click();
    ASSERT_TRUE(WaitFor([&] { return !w.isRunning(); }));
    EXPECT_FALSE(w.PanelDelay->isVisible());
    EXPECT_TRUE(Has(w, "전송이 중지되었습니다."));
    EXPECT_TRUE(w.btnUpload->isEnabled()); // the server never opened the run
    EXPECT_EQ(w.btnCancel1->text(), "취소");
}

TEST_F(UploadWindow, CancelDuringTheWaitClosesTheWindowOnlyWhenTheRunHasEnded)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    qputenv("QUILO_SERVER_URL", QByteArray("http://127.0.0.1:") + QByteArray::number(port));

    BoxAnswerer boxes;
    boxes.answers = {false, true}; // "전송을 취소합니까?": No, then Yes
    TfrmUpload w;
    w.show();
    ASSERT_TRUE(WaitFor([&] { return w.PanelReady->isVisible(); }));
    w.btnUpload->click();
    ASSERT_TRUE(WaitFor([&] { return w.PanelDelay->isVisible(); }));
    w.btnCancel1->click();
    ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == 1; }));
    QTest::qWait(200);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.isRunning());
    QTest::keyClick(&w, Qt::Key_Escape); // Esc is the cancel button
    ASSERT_TRUE(WaitFor([&] { return !w.isVisible(); }));
    EXPECT_FALSE(w.isRunning());
    EXPECT_EQ(boxes.texts, (QStringList{"전송을 취소합니까?", "전송을 취소합니까?"}));
    EXPECT_TRUE(Has(w, "전송이 중지되었습니다."));
}

// A server that takes the start message and never answers: the cancel button and Esc (answered
// Yes) end the waiting request, and the window closes once the run has stopped.
TEST_F(UploadWindow, CancelEndsARequestTheServerNeverAnswers)
{
    SilentServer silent;
    qputenv("QUILO_SERVER_URL", silent.BaseURL().toUtf8());
    const struct {
        const char* name;
        std::function<void(TfrmUpload&)> stop;
    } cases[] = {
        {"cancel button", [](TfrmUpload& w) { w.btnCancel1->click(); }},
        {"Esc", [](TfrmUpload& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BoxAnswerer boxes; // "전송을 취소합니까?": Yes
        TfrmUpload w;
        w.show();
        ASSERT_TRUE(WaitFor([&] { return w.PanelReady->isVisible(); }));
        StopWhileWaiting stop(silent, [&] { c.stop(w); });
        w.btnUpload->click();
        ASSERT_TRUE(WaitFor([&] { return stop.stopped && !w.isVisible(); }, 15000)) << w.eMsg->toPlainText().toStdString();
        EXPECT_FALSE(stop.late) << "the request went on after the cancel";
        EXPECT_FALSE(w.isRunning());
        EXPECT_EQ(boxes.texts, QStringList{"전송을 취소합니까?"});
        EXPECT_TRUE(Has(w, "전송이 중지되었습니다."));
    }
}

TEST_F(UploadWindow, StaleMetaFileBlocksTheUpload)
{
    BoxAnswerer boxes;
    QFile meta(path("본문.kwd"));
    ASSERT_TRUE(meta.open(QIODevice::ReadWrite));
    meta.setFileTime(QDateTime::currentDateTime().addSecs(-600), QFileDevice::FileModificationTime);
    meta.close();
    TfrmUpload w;
    w.show();
    ASSERT_TRUE(WaitFor([&] { return !boxes.texts.isEmpty(); }));
    EXPECT_TRUE(boxes.texts.first().contains("최종 메타 결과 파일 수정 후 기사 인덱스가 수정되었습니다."));
    QTest::qWait(100);
    EXPECT_FALSE(w.PanelReady->isVisible());
    EXPECT_FALSE(w.CheckPassed());
}

TEST(UpdateNoteDialog, EmptyNoteKeepsTheDialogOpen)
{
    BoxAnswerer boxes;
    TfrmUpdateMsg d;
    d.show();
    d.RichEdit1->setPlainText("   \n ");
    d.BitBtn1->click();
    ASSERT_TRUE(WaitFor([&] { return boxes.texts.contains("메시지를 입력하세요."); }));
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.RichEdit1->toPlainText(), "");
    d.RichEdit1->setPlainText("  고침 \n");
    d.BitBtn1->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.Note(), "고침");
}

} // namespace
