// The keyword window through its controls: definitions, a whole run with its questions and
// completion dialog, and the result grids read back.

#include "common/TestSupport.h"
#include "common/WindowTestSupport.h"
#include "indexing/KeywordExtract.h"
#include "indexing/ui/frmKeyword.h"
#include "indexing/ui/frmSchResult.h"
#include "server/VUX_codes.h"
#include "shell/myLIB.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <deque>
#include <functional>
#include <ostream>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Answers the boxes; the completion dialog is closed with OK after its list was kept.
struct KeywordBoxes : BoxAnswerer {
    QString resultList;
    KeywordBoxes()
    {
        otherWindow = [this](QWidget* w) {
            auto* done = qobject_cast<TfrmSchResult*>(w);
            if (!done)
                return false;
            resultList = done->RichEdit1->toPlainText();
            if (qEnvironmentVariableIsSet("QUILO_SHOTS"))
                done->grab().save(qEnvironmentVariable("QUILO_SHOTS") + "/schresult.png");
            QTimer::singleShot(0, done->OKBtn, &QAbstractButton::click);
            return true;
        };
    }
};

const QStringList kColumns = {"ks_coremeta\tks_coremeta\t기본메타\tmt_title\t제목\tx\tN\t1",
                              "ks_coremeta\tks_coremeta\t기본메타\tmt_source\t출전\tx\tN\t1",
                              "ks_exMetaName\tks_exMetaName\t인명\tnm_name\t이름\tx\tN\t1",
                              "ks_exMetaPlace\tks_exMetaPlace\t지명\tpl_name\t지명\tx\tN\t1",
                              "ks_MetaTypeDetail\tks_MetaTypeDetail\t이미지\tkf_desc\t설명\tx\tN\t1",
                              "ks_MetaTypeDetail\tks_MetaTypeDetail\t이미지\tkf_sFilename\t파일명\tx\tN\t1",
                              "ks_MetaTypeDetail\tks_MetaTypeDetail\t이미지\tkf_sPath\t경로\tx\tN\t1",
                              "ks_MetaTypeDetail\tks_MetaTypeDetail\t이미지\tkf_sformat\t형식\tx\tN\t1"};

// A job with tab 본문 (101) of three articles and its keyword definitions; the session's code table.
struct WindowFixture {
    QTemporaryDir dir;

    WindowFixture()
    {
        const QString home = qEnvironmentVariable("QUILO_HOME");
        WriteBytes(home + "/VuxMetaInfo.txt", Utf16File(kColumns));
        WriteBytes(home + "/codetable.txt", Utf16File({"Code_92\t주제분류1\t00", "Code_92\t인명\t01"}));
        RecordingInteraction ui;
        EXPECT_TRUE(EnsureCodeTable(ui)) << ui.infos.join('\n').toStdString();
        // Another test of this program may have made the session's table first: ours for now.
        m_saved = *SessionCodes();
        SessionCodes()->BuildColumns(kColumns);

        TJobDefine& job = myLIB.Jobs;
        job = {};
        job.WorkFolder = dir.path();
        job.pID = "9001";
        job.pNAME = "데모 도서";
        job.TabsCount = 1;
        job.TabsName[0] = "본문";
        job.TabsID[0] = "101";
        WriteBytes(dir.filePath("vuxinfo.ini"), "[VUX]\r\npID=9001\r\n");
        WriteBytes(dir.filePath("keywords.txt"),
                   Utf16File({"ar_id^101", "1^ks_coremeta^mt_source^고정", "2^ks_exMetaName^nm_name^【인물】",
                              "2^ks_coremeta^mt_source^【출전】", "2^ks_MetaTypeDetail^kf_desc^【그림】"}));
        const QList<QStringList> texts = {{"【인물】 홍길동", "<img src=\"a.jpg\">", "【그림】 등대"},
                                          {"【출전】 열하일기"},
                                          {"【인물】 이순신", "【인물】 권율"}};
        QStringList index;
        for (int i = 0; i < texts.size(); ++i) {
            index << QString::number(i + 1) << "1" << QString("기사 %1").arg(i + 1);
            WriteBytes(dir.filePath(QString("work_본문/%1.txt").arg(i + 1)), Utf16File(texts[i]));
        }
        WriteBytes(dir.filePath("본문.idx"), Utf16File(index));
    }
    ~WindowFixture()
    {
        myLIB.Jobs = {};
        *SessionCodes() = m_saved;
    }

private:
    TVUX_codes m_saved;
};

QStringList Row(QTableView* grid, int row)
{
    QStringList out;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        out << grid->model()->index(row, c).data().toString();
    return out;
}

QStringList Header(QTableView* grid)
{
    QStringList out;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        out << grid->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    return out;
}

} // namespace

TEST(KeywordWindow, RunShowsProgressCompletionAndTheResults)
{
    WindowFixture f;
    KeywordBoxes boxes;
    TfrmKeyword w;
    w.resize(1100, 760);
    w.show();
    ASSERT_TRUE(WaitFor([&] { return w.isInit; }));
    EXPECT_EQ(boxes.texts, QStringList{QString(MsgRunFirst).replace("\r\n", "\n")}) << "no workbook yet";

    auto* combo = w.findChild<QComboBox*>("TabsCombo");
    auto* grid = w.findChild<QTableWidget*>("gridDefine");
    ASSERT_TRUE(combo && grid);
    EXPECT_EQ(combo->currentText(), "본문");
    ASSERT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(grid->item(0, 1)->text(), "【인물】");
    EXPECT_EQ(grid->item(0, 2)->text(), "인명 > 이름");
    EXPECT_EQ(grid->item(2, 2)->text(), "이미지 > 설명");
    EXPECT_EQ(w.findChild<QTabWidget*>("TableControl")->count(), 4);
    EXPECT_FALSE(w.findChild<QWidget*>("panelBottom")->isVisible());

    // Reading before any run: the tab has no results.
    boxes.texts.clear();
    QTest::mouseClick(w.findChild<QToolButton*>("tbReload"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !boxes.texts.isEmpty(); }));
    EXPECT_EQ(boxes.texts, QStringList{"본문: 검색 결과가 없습니다."});

    boxes.texts.clear();
    bool finished = false, completed = false, shown = false;
    QObject::connect(&w, &TfrmKeyword::runFinished, [&](bool ok) { finished = true, completed = ok; });
    QObject::connect(&w, &TfrmKeyword::resultsShown, [&] { shown = true; });
    QTest::mouseClick(w.findChild<QToolButton*>("tbMake"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return finished && shown; }));
    EXPECT_TRUE(completed);
    EXPECT_EQ(boxes.texts, QStringList({QString(MsgRunQuestion).replace("\r\n", "\n"), MsgRunDone}));
    EXPECT_EQ(boxes.resultList, f.dir.filePath("색인_본문.xls") + "\n");
    EXPECT_FALSE(w.findChild<QWidget*>("panelPgr")->isVisible());
    EXPECT_TRUE(grid->isEnabled());
    EXPECT_TRUE(IsKeywordUpdated(myLIB.Jobs));

    auto* tabs = w.findChild<QTabWidget*>("TableControl");
    auto* base = w.findChild<QTableView*>("resultGrid0");
    auto* names = w.findChild<QTableView*>("resultGrid1");
    auto* places = w.findChild<QTableView*>("resultGrid2");
    auto* images = w.findChild<QTableView*>("resultGrid3");
    ASSERT_TRUE(base && names && places && images);
    EXPECT_TRUE(w.findChild<QWidget*>("panelBottom")->isVisible());
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(Header(base), QStringList({"헤더", "제목", "출전"})) << "the title column of group 0 stays";
    EXPECT_EQ(Row(base, 1), QStringList({"기사 2", "기사 2", "열하일기"}));
    EXPECT_EQ(Row(names, 2), QStringList({"기사 3", "이순신^권율"}));
    EXPECT_EQ(Row(images, 0), QStringList({"기사 1", "등대", "a.jpg", "http://127.0.0.1:8079/content/image_data/9001/a.jpg", "jpg"}))
        << Row(images, 0).join('|').toStdString();
    EXPECT_TRUE(places->isHidden()) << "지명 has no data column";
    EXPECT_EQ(tabs->tabBar()->tabTextColor(2), QColor(Qt::gray));
    EXPECT_EQ(tabs->tabBar()->tabTextColor(1), QColor(Qt::blue));

    // The current row follows from page to page.
    tabs->setCurrentIndex(1);
    names->setCurrentIndex(names->model()->index(2, 0));
    tabs->setCurrentIndex(3);
    EXPECT_EQ(images->currentIndex().row(), 2);

    if (qEnvironmentVariableIsSet("QUILO_SHOTS"))
        w.grab().save(qEnvironmentVariable("QUILO_SHOTS") + "/keyword.png");
}

TEST(KeywordWindow, DefinitionsFollowTheChosenTab)
{
    WindowFixture f;
    myLIB.Jobs.TabsCount = 2;
    myLIB.Jobs.TabsName[1] = "번역";
    myLIB.Jobs.TabsID[1] = "102";
    WriteBytes(f.dir.filePath("keywords.txt"),
               Utf16File({"ar_id^101", "2^ks_exMetaName^nm_name^【인물】", "2^ks_coremeta^mt_source^【출전】",
                          "ar_id^102", "2^ks_exMetaName^nm_name^【사람】"}));
    KeywordBoxes boxes;
    TfrmKeyword w;
    w.show();
    ASSERT_TRUE(WaitFor([&] { return w.isInit; }));
    auto* combo = w.findChild<QComboBox*>("TabsCombo");
    auto* grid = w.findChild<QTableWidget*>("gridDefine");
    ASSERT_EQ(combo->count(), 2);
    ASSERT_EQ(grid->rowCount(), 2);
    combo->setCurrentIndex(1);
    ASSERT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(grid->item(0, 1)->text(), "【사람】");
    combo->setCurrentIndex(0);
    EXPECT_EQ(grid->rowCount(), 2);

    // While a tab's results are being read, a tab change is refused and the combo box keeps
    // naming the tab being read.
    WriteBytes(f.dir.filePath("색인_본문.xls"), "not a workbook");
    bool shown = false;
    QObject::connect(&w, &TfrmKeyword::resultsShown, [&] { shown = true; });
    w.tbReload->click();
    ASSERT_TRUE(w.isReading());
    combo->setCurrentIndex(1);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(grid->rowCount(), 2);
    ASSERT_TRUE(WaitFor([&] { return shown; }));
    EXPECT_EQ(combo->currentIndex(), 0);
}

TEST(KeywordWindow, ClosingDuringTheRunQuestionAnswersItNo)
{
    WindowFixture f;
    KeywordBoxes boxes;
    auto* w = new TfrmKeyword;
    w->show();
    ASSERT_TRUE(WaitFor([&] { return w->isInit; }));
    boxes.texts.clear();
    // The worker asks its question of the window thread, which is busy destroying the window.
    w->tbMake->click();
    ASSERT_TRUE(w->isRunning());
    ReturnsWithin(20, "~TfrmKeyword", [&] { delete w; });
    QTest::qWait(100);
    EXPECT_TRUE(boxes.texts.isEmpty()) << "no box of a window that is gone";
    EXPECT_FALSE(QFileInfo::exists(f.dir.filePath("색인_본문.xls"))) << "the run did not start";
}
