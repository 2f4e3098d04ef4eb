// The meta editing window on the offscreen platform: values per article, the editors over the
// cells, the subject switching the extended grid, saving, questions and the initialisation.

#include "articles/ui/ArticleTreeWidget.h"
#include "common/DemoJob.h"
#include "common/TestSupport.h"
#include "common/WindowTestSupport.h"
#include "controls/ui/EditPlus.h"
#include "indexing/KeywordDefinitions.h"
#include "indexing/MetaEdit.h"
#include "indexing/MetaInit.h"
#include "indexing/Workbook.h"
#include "indexing/ui/frmMetaEdit.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"
#include "shell/ui/WindowRegistry.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QToolButton>
#include <atomic>

namespace {

const TVUX_codes& Codes()
{
    return *SessionCodes();
}

int Block()
{
    return Codes().vux_DataBlockLength;
}

// Tab 본문 (101): 1 "제1장" > 1_1 "제1절", 2 "제2장"; tab 번역 (102): one article.
struct MetaJob : DemoJob {

    MetaJob()
        : DemoJob({"본문", "번역"})
    {
        TJobDefine& job = myLIB.Jobs;
        job.pID = "9001";
        job.pCode = "DEMO01";
        job.TabsFile = {"src", "src2"};
        job.TabsID = {"101", "102"};
        WriteIndex("본문", {"1", "1", "제1장", "1_1", "2", "제1절", "2", "1", "제2장"});
        WriteIndex("번역", {"1", "1", "번역 1"});
        for (const char* id : {"1", "1_1", "2"})
            WriteBytes(dir.path() + "/work_본문/" + id + ".txt", Utf16File({QString("<h1 id=%1>기사</h1>").arg(id)}));
        WriteBytes(dir.path() + "/work_번역/1.txt", Utf16File({"<h1 id=1>번역</h1>"}));
        WriteTextLines(KeywordDefinitionsFile(job), {"ar_id^101", "1^ks_coremeta^mt_oCode^인명", "1^ks_coremeta^mt_sCode^지명",
                                                     "1^ks_exMetaName^nm_nation^한국", "ar_id^102"});
        // Node 1 names 인명, node 2 only 지명 by its subject 2, node 3 neither.
        QStringList lines(3 * Block());
        auto set = [&](int node, const QString& code, const QString& value) {
            for (int i = 0; i < Block(); ++i)
                if (Codes().vux_Columns[i].ColumnCode == code)
                    lines[(node - 1) * Block() + i] = value;
        };
        set(1, "mt_title", "제1장");
        set(1, "mt_ocode", "인명");
        set(1, "mt_scode", "지명");
        set(1, "nm_rel_type", "스승");
        set(2, "mt_ocode", "기타");
        set(2, "mt_scode", "지명");
        set(3, "mt_ocode", "기타");
        set(3, "mt_scode", "기타");
        WriteBytes(Kwd(), Utf16File(lines));
    }
    QString Kwd() const { return dir.path() + "/본문.kwd"; }
};

int Row(int group, const QString& code)
{
    const TVuxGroup& g = Codes().vux_Groups[group];
    for (int r = 0; r < g.Count; ++r)
        if (Codes().vux_Columns[g.First + r].ColumnCode == code)
            return r;
    return -1;
}

struct Window {
    RecordingInteraction ui;
    TfrmMetaEdit w;
    Window()
    {
        w.setInteraction(&ui);
        w.resize(1200, 700);
        w.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.isInit; }, 20000));
    }
    ~Window()
    {
        w.setInteraction(nullptr);
        w.tbSave->setEnabled(false);
    }
    QString cell(int group, int row) const
    {
        const QTableWidgetItem* i = w.GroupGrid(group)->item(row, 1);
        return i ? i->text() : QString();
    }
    // Selects the value cell and waits for its editor.
    void edit(int group, int row, QWidget* editor)
    {
        w.GroupGrid(group)->setCurrentCell(row, 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return editor->isVisible(); }, 5000)) << "row " << row;
    }
    // Leaving the editor by selecting the title cell of the base meta grid.
    void leave()
    {
        w.gridMain->setCurrentCell(0, 0);
        w.gridMain->setCurrentCell(1, 1);
        QTest::qWait(30);
    }
};

class MetaEditWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(DemoCodeTable()); }
};

TEST_F(MetaEditWindow, RegisteredAsChildWindow)
{
    WindowKind kind = WindowKind::Modal;
    ASSERT_NE(FindWindowFactory("frmMetaEdit", &kind), nullptr);
    EXPECT_EQ(kind, WindowKind::Child);
}

TEST_F(MetaEditWindow, ShowsArticlesAndTheGroupTheirSubjectNames)
{
    MetaJob job;
    Window t;
    TfrmMetaEdit& w = t.w;
    EXPECT_EQ(w.windowTitle(), "메타 수정");
    ASSERT_EQ(w.SourceCombo->count(), 2);
    EXPECT_EQ(w.SourceCombo->itemText(0), "본문");
    EXPECT_EQ(w.gridMain->rowCount(), Codes().vux_Groups[0].Count);
    EXPECT_EQ(w.gridMain->item(0, 0)->text(), "제목");
    EXPECT_EQ(t.cell(0, 0), "제1장");
    EXPECT_EQ(w.shownExtension(), 1);
    EXPECT_TRUE(w.gridExtArr[1]->isVisible());
    EXPECT_FALSE(w.tbSave->isEnabled());

    ASSERT_TRUE(w.Tree->selectAbsolute(2));
    EXPECT_EQ(t.cell(0, Row(0, "mt_ocode")), "기타");
    EXPECT_EQ(w.shownExtension(), 2); // subject 2 names 지명
    EXPECT_TRUE(w.gridExtArr[2]->isVisible());
    EXPECT_FALSE(w.gridExtArr[1]->isVisible());
    ASSERT_TRUE(w.Tree->selectAbsolute(3));
    EXPECT_EQ(w.shownExtension(), -1);
    // Beyond the end of the file: every value empty.
    EXPECT_EQ(t.cell(10, 0), "");
    EXPECT_TRUE(t.ui.infos.isEmpty()) << t.ui.infos.join('|').toStdString();
}

TEST_F(MetaEditWindow, SingleValueEditorsAndTheSubjectSwitch)
{
    MetaJob job;
    Window t;
    TfrmMetaEdit& w = t.w;

    // Free text: the same text changes nothing, a new one is written when the editor is left.
    t.edit(0, 0, w.FloatEdit);
    EXPECT_EQ(w.FloatEdit->text(), "제1장");
    t.leave();
    EXPECT_FALSE(w.tbSave->isEnabled());
    t.edit(0, 0, w.FloatEdit);
    w.FloatEdit->setText("새 제목");
    t.leave();
    EXPECT_EQ(t.cell(0, 0), "새 제목");
    EXPECT_TRUE(w.tbSave->isEnabled());
    EXPECT_TRUE(w.tbCancel->isEnabled());

    // A coded column: the choose entry first, which stores nothing.
    const int lang = Row(0, "mt_lang");
    t.edit(0, lang, w.FloatComboBox);
    EXPECT_EQ(w.FloatComboBox->itemText(0), "* 선택 - 언어");
    EXPECT_EQ(w.FloatComboBox->currentIndex(), 0);
    w.FloatComboBox->setCurrentIndex(w.FloatComboBox->findText("한국어"));
    t.leave();
    EXPECT_EQ(t.cell(0, lang), "한국어");
    t.edit(0, lang, w.FloatComboBox);
    EXPECT_EQ(w.FloatComboBox->currentText(), "한국어");
    w.FloatComboBox->setCurrentIndex(0);
    t.leave();
    EXPECT_EQ(t.cell(0, lang), "");

    // Dates get their own edit; columns of kind "0" none.
    t.edit(0, Row(0, "mt_regdate"), w.FloatDate);
    w.FloatDate->setText("2024-03-05");
    t.leave();
    EXPECT_EQ(t.cell(0, Row(0, "mt_regdate")), "2024-03-05");
    w.gridMain->setCurrentCell(Row(0, "mt_url"), 1);
    QTest::qWait(50);
    EXPECT_FALSE(w.FloatEdit->isVisible() || w.FloatDate->isVisible() || w.FloatComboBox->isVisible());
    EXPECT_EQ(w.floatRow, -1);

    // Subject 1 switches the extended grid while the list is still open.
    t.edit(0, Row(0, "mt_ocode"), w.FloatComboBox);
    w.FloatComboBox->setCurrentIndex(w.FloatComboBox->findText("역사"));
    EXPECT_EQ(t.cell(0, Row(0, "mt_ocode")), "역사");
    EXPECT_EQ(w.shownExtension(), 3);
    EXPECT_TRUE(w.gridExtArr[3]->isVisible());
    t.leave();

    // The edits belong to article 1 when it is left and shown again.
    ASSERT_TRUE(w.Tree->selectAbsolute(2));
    EXPECT_EQ(t.cell(0, 0), "");
    ASSERT_TRUE(w.Tree->selectAbsolute(1));
    EXPECT_EQ(t.cell(0, 0), "새 제목");
    EXPECT_EQ(t.cell(0, Row(0, "mt_ocode")), "역사");
}

TEST_F(MetaEditWindow, KeysInTheEditFieldMoveAlongTheBaseMeta)
{
    MetaJob job;
    Window t;
    TfrmMetaEdit& w = t.w;
    t.edit(0, 1, w.FloatEdit);
    w.FloatEdit->setText("부제");
    QTest::keyClick(w.FloatEdit, Qt::Key_Up); // applied before moving
    EXPECT_EQ(t.cell(0, 1), "부제");
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.FloatEdit->isVisible() && w.floatRow == 0; }, 5000));
    QTest::keyClick(w.FloatEdit, Qt::Key_Up); // not above the first row
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.FloatEdit->isVisible() && w.floatRow == 0; }, 5000));
    QTest::keyClick(w.FloatEdit, Qt::Key_Down);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.FloatEdit->isVisible() && w.floatRow == 1; }, 5000));
    EXPECT_EQ(w.FloatEdit->text(), "부제");
    QTest::keyClick(w.FloatEdit, Qt::Key_PageDown);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.FloatEdit->isVisible() && w.floatRow == 21; }, 5000));
    QTest::keyClick(w.FloatEdit, Qt::Key_PageDown);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.FloatEdit->isVisible() && w.floatRow == 41; }, 5000));
    QTest::keyClick(w.FloatEdit, Qt::Key_PageDown); // clamped to the last row
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.FloatEdit->isVisible() && w.floatRow == w.gridMain->rowCount() - 1; }, 5000));
}

TEST_F(MetaEditWindow, MultiValueBlock)
{
    MetaJob job;
    Window t;
    TfrmMetaEdit& w = t.w;
    const int rel = Row(1, "nm_rel_name");
    t.edit(1, Row(1, "nm_rel_type"), w.FloatPanel); // any column of the block opens the block
    EXPECT_EQ(w.floatRow, rel);
    EXPECT_EQ(w.FloatLabel->text(), "인명 관련인물");
    ASSERT_EQ(w.FloatGrid->rowCount(), 2);
    EXPECT_EQ(w.FloatGrid->item(0, 0)->text(), "관련 인물");
    EXPECT_EQ(w.FloatGrid->item(1, 1)->text(), "스승");
    EXPECT_EQ(w.FloatCountLabel->text(), "입력 데이터: 1건");

    w.btnFloatExtDel->click();
    EXPECT_EQ(t.ui.infos, QStringList({MsgMetaNoMoreDelete}));
    w.btnFloatExtAdd->click();
    w.btnFloatExtAdd->click();
    EXPECT_EQ(w.FloatCountLabel->text(), "입력 데이터: 3건");
    t.ui.answers = {true};
    w.btnFloatExtDel->click();
    EXPECT_EQ(t.ui.questions, QStringList({MsgMetaDeleteColumn}));
    EXPECT_EQ(w.FloatCountLabel->text(), "입력 데이터: 2건");
    w.btnFloatExtAdd->click();

    // Row 0: x, empty, y. Row 1 (a coded column): emptied through the list, so all empty.
    w.FloatGrid->setItem(0, 1, new QTableWidgetItem("x"));
    w.FloatGrid->setItem(0, 3, new QTableWidgetItem(" y "));
    w.FloatGrid->setCurrentCell(1, 1);
    ASSERT_TRUE(w.ComboBoxOnFloat->isVisible());
    EXPECT_EQ(w.ComboBoxOnFloat->itemText(0), "* 선택 - 관계");
    EXPECT_EQ(w.ComboBoxOnFloat->currentText(), "스승");
    emit w.ComboBoxOnFloat->activated(0);
    EXPECT_EQ(w.FloatGrid->item(1, 1)->text(), "");
    w.btnFloatExtHide->click();
    EXPECT_FALSE(w.FloatPanel->isVisible());
    EXPECT_EQ(t.cell(1, rel), "x\t\ty");
    EXPECT_EQ(t.cell(1, rel + 1), "스승"); // an all-empty row leaves the value
    EXPECT_TRUE(w.tbSave->isEnabled());
}

TEST_F(MetaEditWindow, SaveKeepsBackupsAndQuestionsGuardTheEdits)
{
    MetaJob job;
    Window t;
    TfrmMetaEdit& w = t.w;
    t.edit(0, 0, w.FloatEdit);
    w.FloatEdit->setText("하나");
    t.leave();
    w.tbSave->click();
    EXPECT_FALSE(w.tbSave->isEnabled());
    EXPECT_TRUE(QFileInfo::exists(job.Kwd() + ".001.bak"));
    QStringList lines;
    ASSERT_TRUE(ReadTextLines(job.Kwd(), lines));
    EXPECT_EQ(lines.value(0), "하나");
    EXPECT_EQ(lines.size(), 3 * Block());

    t.edit(0, 0, w.FloatEdit);
    w.FloatEdit->setText("둘");
    t.leave();
    // Declining the tab change keeps the tab and its edits.
    t.ui.answers = {false};
    w.SourceCombo->setCurrentIndex(1);
    EXPECT_EQ(t.ui.questions.last(), MsgMetaCancelTab);
    EXPECT_EQ(w.SourceCombo->currentIndex(), 0);
    EXPECT_EQ(w.shownEntry(), 0);
    EXPECT_EQ(t.cell(0, 0), "둘");
    // Declining the close keeps the window.
    t.ui.answers = {false};
    w.close();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(t.ui.questions.last(), MsgMetaSaveQuestionClose);
    w.tbSave->click();
    EXPECT_TRUE(QFileInfo::exists(job.Kwd() + ".002.bak"));
    ASSERT_TRUE(ReadTextLines(job.Kwd() + ".002.bak", lines));
    EXPECT_EQ(lines.value(0), "하나");

    // Cancelling drops the edits and reloads the file.
    t.edit(0, 0, w.FloatEdit);
    w.FloatEdit->setText("셋");
    t.leave();
    t.ui.answers = {true};
    w.tbCancel->click();
    EXPECT_EQ(t.ui.questions.last(), MsgMetaCancelAll);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.isInit && t.cell(0, 0) == "둘"; }, 5000));
    EXPECT_FALSE(w.tbSave->isEnabled());

    // A confirmed tab change shows the other tab, whose file is missing: all empty.
    w.SourceCombo->setCurrentIndex(1);
    EXPECT_EQ(w.shownEntry(), 1);
    EXPECT_EQ(t.cell(0, 0), "");
}

TEST_F(MetaEditWindow, OpeningNotices)
{
    MetaJob job;
    const QString book = job.dir.path() + "/색인_본문.xls";
    WriteBytes(book, "x");
    QFile f(book);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QFileInfo(job.Kwd()).lastModified().addSecs(60), QFileDevice::FileModificationTime));
    f.close();
    SetKeywordUpdated(myLIB.Jobs, "Y");
    Window t;
    EXPECT_EQ(t.ui.infos, QStringList({MsgMetaWorkbookNewer("본문"), MsgMetaKeywordsUpdated}));
}

// The workbook of a tab as the extraction leaves it: every group's sheet, titles only, and
// one extracted person for article 1.
void WriteWorkbook(const QString& path, const QStringList& titles)
{
    TWorkbookWriter w(path);
    for (int g = 0; g < Codes().vux_GroupCount; ++g) {
        ASSERT_TRUE(w.AddSheet(Codes().GetGroupName(g)));
        QStringList header{"헤더"};
        for (int j = 0; j < Codes().vux_Groups[g].Count; ++j)
            header << Codes().vux_Columns[Codes().vux_Groups[g].First + j].ColumnName;
        ASSERT_TRUE(w.WriteRow(1, header));
        for (int k = 0; k < titles.size(); ++k) {
            QStringList row{titles[k]};
            if (g == 0)
                row << titles[k];
            if (g == 1 && k == 0)
                row << "서하린";
            ASSERT_TRUE(w.WriteRow(k + 2, row));
        }
    }
    ASSERT_TRUE(w.Save());
}

TEST_F(MetaEditWindow, InitialiseRunsOnAWorkerAndShowsTheNewValues)
{
    MetaJob job;
    Window t;
    TfrmMetaEdit& w = t.w;

    // Declined, and refused for a keyword tab without its workbook: nothing changes, an
    // unsaved edit included.
    t.edit(0, 0, w.FloatEdit);
    w.FloatEdit->setText("고친 제목");
    t.leave();
    for (bool answer : {false, true}) {
        t.ui.answers = {answer};
        w.tbInitialize->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.initRunning() && w.isInit; }, 20000));
        EXPECT_EQ(t.cell(0, 0), "고친 제목");
        EXPECT_TRUE(w.tbSave->isEnabled());
    }
    EXPECT_EQ(t.ui.questions, QStringList({MsgMetaInitQuestion, MsgMetaInitQuestion}));
    EXPECT_EQ(t.ui.infos, QStringList({MsgMetaNoWorkbook("본문")}));
    t.ui.questions.clear();

    WriteWorkbook(job.dir.path() + "/색인_본문.xls", {"제1장", "제1절", "제2장"});
    WriteWorkbook(job.dir.path() + "/색인_번역.xls", {"번역 1"});
    WriteBytes(job.dir.path() + "/본문_category.txt", Utf16File({"1주제", "2주제", "인명", "지명"}));
    WriteBytes(job.dir.path() + "/번역_category.txt", Utf16File({"1주제", "2주제", "기타", "기타"}));
    SetKeywordUpdated(myLIB.Jobs, "Y");
    t.ui.infos.clear();
    t.ui.answers = {true};
    w.tbInitialize->click();
    EXPECT_FALSE(w.isInit);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.initRunning() && w.isInit; }, 20000));
    EXPECT_EQ(t.ui.infos, QStringList({MsgMetaDone}));
    EXPECT_FALSE(w.PanelMakeData->isVisible());
    EXPECT_FALSE(IsKeywordUpdated(myLIB.Jobs));
    EXPECT_TRUE(QFileInfo::exists(job.Kwd() + ".001.bak"));
    EXPECT_EQ(w.shownEntry(), 0);
    EXPECT_EQ(t.cell(0, 0), "제1장");
    EXPECT_EQ(t.cell(0, Row(0, "mt_localid")), "101_1");
    EXPECT_EQ(t.cell(1, Row(1, "nm_name")), "서하린");
    EXPECT_EQ(t.cell(1, Row(1, "nm_nation")), "한국"); // the fixed value
    ASSERT_TRUE(w.Tree->selectAbsolute(3));
    EXPECT_EQ(t.cell(0, Row(0, "mt_ocode")), "기타"); // missing category lines
    EXPECT_EQ(t.cell(1, Row(1, "nm_nation")), "한국");
}

// Holds the worker at its question until the test lets it go on.
class HeldInteraction : public RecordingInteraction {
public:
    std::atomic<bool> asked{false};
    std::atomic<bool> release{false};
    bool AskYesNo(const QString& text) override
    {
        asked = true;
        while (!release)
            QThread::msleep(5);
        return RecordingInteraction::AskYesNo(text);
    }
};

// Both tabs ready for an initialisation.
void InitialisationSources(const MetaJob& job)
{
    WriteWorkbook(job.dir.path() + "/색인_본문.xls", {"제1장", "제1절", "제2장"});
    WriteWorkbook(job.dir.path() + "/색인_번역.xls", {"번역 1"});
    WriteBytes(job.dir.path() + "/본문_category.txt", Utf16File({"1주제", "2주제", "인명", "지명"}));
    WriteBytes(job.dir.path() + "/번역_category.txt", Utf16File({"1주제", "2주제", "기타", "기타"}));
}

TEST_F(MetaEditWindow, NothingReadsOrWritesTheFilesWhileTheInitialisationRuns)
{
    MetaJob job;
    InitialisationSources(job);
    Window t;
    TfrmMetaEdit& w = t.w;
    t.edit(0, 0, w.FloatEdit);
    w.FloatEdit->setText("고친 제목");
    t.leave();
    ASSERT_TRUE(w.Dirty());

    HeldInteraction held;
    w.setInteraction(&held);
    w.tbInitialize->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return held.asked.load(); }, 5000));
    for (QWidget* c : std::initializer_list<QWidget*>{w.tbSave, w.tbCancel, w.SourceCombo, w.tbInitialize})
        EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
    w.tbSave->click();
    EXPECT_FALSE(QFileInfo::exists(job.Kwd() + ".001.bak")) << "no save over the file the worker rewrites";

    held.release = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.initRunning() && w.isInit; }, 20000));
    EXPECT_EQ(held.infos, QStringList({MsgMetaDone}));
    EXPECT_TRUE(w.tbSave->isEnabled()) << "the modified state is not changed by the initialisation";
    EXPECT_TRUE(w.SourceCombo->isEnabled());
    EXPECT_TRUE(w.tbInitialize->isEnabled());
    w.setInteraction(&t.ui);
}

TEST_F(MetaEditWindow, ATreeThatFailsDuringTheInitialisationClosesTheWindow)
{
    MetaJob job;
    InitialisationSources(job);
    Window t;
    TfrmMetaEdit& w = t.w;
    ASSERT_TRUE(QFile::remove(job.dir.path() + "/번역.idx"));
    t.ui.answers = {true};
    w.tbInitialize->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.initRunning(); }, 20000));
    QTest::qWait(50);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(t.ui.infos.contains(MsgMetaStopped)) << t.ui.infos.join('|').toStdString();
}

TEST_F(MetaEditWindow, ClosingDuringTheInitialisationQuestionAnswersItNo)
{
    MetaJob job;
    InitialisationSources(job);
    const QByteArray before = ReadBytes(job.Kwd());
    BoxAnswerer boxes;
    auto* w = new TfrmMetaEdit;
    w->resize(1200, 700);
    w->show();
    ASSERT_TRUE(WaitFor([&] { return w->isInit; }));
    boxes.texts.clear();
    // The worker asks its question of the window thread, which is busy destroying the window.
    w->tbInitialize->click();
    ASSERT_TRUE(w->initRunning());
    ReturnsWithin(20, "~TfrmMetaEdit", [&] { delete w; });
    QTest::qWait(100);
    EXPECT_TRUE(boxes.texts.isEmpty()) << "no box of a window that is gone";
    EXPECT_EQ(ReadBytes(job.Kwd()), before) << "the initialisation did not start";
}

} // namespace
