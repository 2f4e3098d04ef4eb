#include "common/SilentServer.h"
#include "common/DemoJob.h"
#include "common/TestSupport.h"
#include "indexing/KeywordDefinitions.h"
#include "indexing/ui/frmGetSearchInfo.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"
#include "shell/ui/WindowRegistry.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

const QStringList kDefinitions = {"ar_id^101",
                                  "1^ks_coremeta^mt_oCode^인명",
                                  "1^ks_coremeta^mt_sCode^지명",
                                  "2^ks_exMetaName^nm_name^【인물】",
                                  "2^ks_coremeta^mt_source^【출전】",
                                  "ar_id^102",
                                  "1^ks_coremeta^mt_lang^영어"};

QString Reply(const QStringList& lines)
{
    return (QStringList{"OK"} + lines + QStringList{"end"}).join("\r\n");
}

class GetSearchInfoWindow : public ::testing::Test {
protected:
    DemoJob demo{{"본문", "번역"}};
    QString savedId = myLIB.LoginID, savedPw = myLIB.LoginPW;
    RecordingInteraction ui;
    QStringList posts;
    QString reply;

    void SetUp() override
    {
        ASSERT_TRUE(DemoCodeTable());
        TJobDefine& job = myLIB.Jobs;
        job.pNAME = "데모 도서";
        job.pID = "9001";
        job.pCode = "DEMO01";
        job.TabsID[0] = "101";
        job.TabsID[1] = "102";
        myLIB.LoginID = "demo";
        myLIB.LoginPW = "demo";
    }
    void TearDown() override
    {
        myLIB.LoginID = savedId;
        myLIB.LoginPW = savedPw;
    }
    QString File() const { return demo.dir.filePath("keywords.txt"); }

    // Opens the window as the main window would, answering its boxes from `ui`.
    std::unique_ptr<TfrmGetSearchInfo> Open()
    {
        auto w = std::make_unique<TfrmGetSearchInfo>();
        w->setInteraction(&ui);
        w->setFormPost([this](const QString& path, const QList<QPair<QString, QString>>& fields, QString& r,
                              QString&) {
            QStringList sent;
            for (const auto& f : fields)
                sent << f.first + "=" + f.second;
            posts << path + "?" + sent.join('&');
            r = reply;
            return true;
        });
        w->show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w->started() && !w->Timer1->isActive(); }, 20000));
        return w;
    }
    static QStringList Rows(QTableWidget* grid)
    {
        QStringList out;
        for (int r = 0; r < grid->rowCount(); ++r)
            out << grid->item(r, 0)->text() + "|" + grid->item(r, 1)->text();
        return out;
    }
};

TEST_F(GetSearchInfoWindow, RegisteredAsModalDialog)
{
    WindowKind kind = WindowKind::Child;
    ASSERT_NE(FindWindowFactory("frmGetSearchInfo", &kind), nullptr);
    EXPECT_EQ(kind, WindowKind::Modal);
}

TEST_F(GetSearchInfoWindow, FetchesAtStartAndShowsEachTab)
{
    reply = Reply(kDefinitions);
    auto w = Open();
    EXPECT_EQ(w->windowTitle(), "색인 정보 가져오기");
    EXPECT_EQ(posts, QStringList{"/ASP/vx__getMetaInfo.asp?id=demo&pw=demo&p_id=9001&p_dcode=DEMO01"});
    EXPECT_EQ(ReadBytes(File()), Utf16File(kDefinitions));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->LabelGoodsName->text(), "제품명=데모 도서");
    EXPECT_EQ(w->LabelPID->text(), "PID=9001");
    EXPECT_EQ(w->LabelPDCODE->text(), "PDCODE=DEMO01");
    ASSERT_EQ(w->SourceCombo->count(), 2);
    EXPECT_EQ(w->SourceCombo->itemText(1), "번역");
    EXPECT_EQ(Rows(w->gridFixed), (QStringList{"기본메타 > 주제분류1|인명", "기본메타 > 주제분류2|지명"}));
    EXPECT_EQ(Rows(w->gridSearch), (QStringList{"인명 > 이름|【인물】", "기본메타 > 출전|【출전】"}));
    EXPECT_EQ(w->gridFixed->horizontalHeaderItem(1)->text(), "고정값");
    EXPECT_EQ(w->gridSearch->horizontalHeaderItem(1)->text(), "추출방법");
    EXPECT_EQ(w->gridFixed->columnWidth(1), 150);
    EXPECT_EQ(w->gridSearch->columnWidth(0), 300);

    w->SourceCombo->setCurrentIndex(1);
    EXPECT_EQ(Rows(w->gridFixed), (QStringList{"기본메타 > 언어|영어"}));
    EXPECT_TRUE(Rows(w->gridSearch).isEmpty());
    EXPECT_TRUE(ui.infos.isEmpty()) << ui.infos.join('/').toStdString();

    // Fetch again: asked first; a refused line shows the panel and keeps the file.
    reply = Reply({"ar_id^101", "2^ks_coremeta^mt_nothing^x"});
    ui.answers = {false};
    w->btnReload->click();
    EXPECT_EQ(posts.size(), 1);
    ui.answers = {true};
    w->btnReload->click();
    EXPECT_EQ(ui.questions, (QStringList{MsgKeywordsExists, MsgKeywordsExists}));
    EXPECT_EQ(posts.size(), 2);
    EXPECT_EQ(ui.infos, QStringList{MsgKeywordsBadCode});
    EXPECT_TRUE(w->PanelError->isVisible());
    EXPECT_EQ(w->errorMsg->toPlainText(), QString(MsgKeywordsBadCode + "\n" + KeywordErrorRule +
                                                  "\n2^ks_coremeta^mt_nothing^x\n" + KeywordErrorRule + "\n" + reply)
                                              .replace("\r\n", "\n"));
    EXPECT_EQ(ReadBytes(File()), Utf16File(kDefinitions));
    EXPECT_TRUE(w->isVisible());
    w->Button1->click();
    EXPECT_FALSE(w->PanelError->isVisible());
}

// The fetch waits on the server without a time-out: the close button, Esc and the close box stop
// it, the window closes without a message about the server, and keywords.txt stays as it was.
TEST_F(GetSearchInfoWindow, StopsAFetchTheServerNeverAnswers)
{
    SilentServer silent;
    qputenv("QUILO_SERVER_URL", silent.BaseURL().toUtf8());
    ASSERT_TRUE(WriteTextLines(File(), kDefinitions));
    const QByteArray before = ReadBytes(File());
    const struct {
        const char* name;
        std::function<void(TfrmGetSearchInfo&)> stop;
    } cases[] = {
        {"close button", [](TfrmGetSearchInfo& w) { w.btnCancel->click(); }},
        {"Esc", [](TfrmGetSearchInfo& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
        {"close box", [](TfrmGetSearchInfo& w) { w.close(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.infos.clear();
        ui.questions.clear();
        TfrmGetSearchInfo w; // the real client, against the silent server
        w.setInteraction(&ui);
        w.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.started() && !w.Timer1->isActive(); }, 20000));
        StopWhileWaiting stop(silent, [&] {
            EXPECT_TRUE(w.busy());
            c.stop(w);
        });
        w.btnReload->click(); // "replace the file?" Yes; returns once the fetch has ended
        EXPECT_TRUE(stop.stopped);
        EXPECT_FALSE(stop.late) << "the request went on after the stop";
        EXPECT_FALSE(w.busy());
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(w.result(), QDialog::Rejected);
        EXPECT_EQ(ui.questions, QStringList{MsgKeywordsExists});
        EXPECT_TRUE(ui.infos.isEmpty()) << ui.infos.join('/').toStdString();
        EXPECT_EQ(ReadBytes(File()), before);
    }
    qunsetenv("QUILO_SERVER_URL");
}

TEST_F(GetSearchInfoWindow, StartsFromTheFileAndReportsItsFaults)
{
    struct Case {
        const char* name;
        QStringList lines;
        QStringList infos;
        int entries;
        bool comboEnabled;
    } cases[] = {
        {"duplicate tab lines list the tab twice", {"ar_id^101", "1^ks_coremeta^mt_oCode^인명", "ar_id^101"}, {}, 2, true},
        {"kind 3 stops filling", {"ar_id^101", "1^ks_coremeta^mt_oCode^인명", "3^ks_coremeta^mt_sCode^지명"},
         {MsgKeywordsGridKind}, 1, true},
        {"unknown tab", {"ar_id^101", "ar_id^999"}, {MsgKeywordsUnknownTab("999")}, 1, false},
        {"no tabs", {"1^ks_coremeta^mt_oCode^인명"}, {MsgKeywordsLoaderNoArId}, 0, true},
        {"empty file", {}, {MsgKeywordsWrongInfo}, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.infos.clear();
        ASSERT_TRUE(WriteTextLines(File(), c.lines));
        auto w = Open();
        EXPECT_TRUE(posts.isEmpty());
        EXPECT_EQ(ui.infos, c.infos);
        EXPECT_EQ(w->SourceCombo->count(), c.entries);
        EXPECT_EQ(w->SourceCombo->isEnabled(), c.comboEnabled);
        EXPECT_TRUE(w->isVisible());
    }
}

TEST_F(GetSearchInfoWindow, FailedFirstFetchClosesTheWindow)
{
    struct Case {
        const char* name;
        QString id;
        QString reply;
        QString message;
    } cases[] = {
        {"not logged in", "", Reply(kDefinitions), MsgKeywordsLoginFirst},
        {"no information", "demo", "오류", MsgKeywordsNoInfo},
        {"three lines", "demo", Reply({"ar_id^101"}), MsgKeywordsNotRegistered},
        {"unknown tab", "demo", Reply({"ar_id^103", "1^ks_coremeta^mt_oCode^인명"}), MsgKeywordsBadArId("103")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.infos.clear();
        posts.clear();
        myLIB.LoginID = c.id;
        reply = c.reply;
        auto w = Open();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !w->isVisible(); }, 5000));
        EXPECT_EQ(w->result(), QDialog::Rejected);
        EXPECT_EQ(ui.infos, QStringList{c.message});
        EXPECT_EQ(posts.isEmpty(), c.id.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(File()));
    }
}

} // namespace
