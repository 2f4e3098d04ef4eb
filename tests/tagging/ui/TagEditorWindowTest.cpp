#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/fWeb.h"
#include "common/DemoJob.h"
#include "common/TestSupport.h"
#include "common/WindowTestSupport.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"
#include "shell/ui/WindowRegistry.h"
#include "tagging/ui/TextFindDialog.h"
#include "tagging/ui/frmTag.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

namespace {

const QString LongLine = QString(3901, u'가');

// Tab "본문" with four articles: 1 (UTF-16, group folder), 1_1 (code page 949, flat layout),
// 2 (a line too long for the editor) and 3 (flat, its group folder blocked by a file so it
// cannot be saved). Tab "번역" has no source folder.
struct TagJob : DemoJob {
    QString work;

    explicit TagJob(int tabs = 2)
        : DemoJob(QStringList{"본문", "번역"}.mid(0, tabs))
    {
        TJobDefine& job = myLIB.Jobs;
        job.insImage = "N";
        job.TabsFile[0] = "src";
        job.TabsName[1] = "번역";
        work = dir.path() + "/work_본문/";
        WriteIndex("본문", {"1", "1", "첫째 기사", "1_1", "2", "둘째 기사", "2", "1",
                                                         "셋째 기사", "3", "1", "넷째 기사"});
        WriteBytes(work + "0001/1.txt", Utf16File(FirstArticle()));
        WriteBytes(work + "1_1.txt", EncodeCp949("<h2>둘째 기사</h2>\r\n<p>둘째 본문\r\n"));
        WriteBytes(work + "0002/2.txt", Utf16File({"<h1>셋째 기사</h1>", LongLine}));
        WriteBytes(work + "3.txt", Utf16File({"<h1>넷째 기사</h1>"}));
        WriteBytes(work + "0003", "not a folder");
    }

    static QStringList FirstArticle()
    {
        return {"<h1>첫째 기사</h1>", "<p>기사 하나<b>굵게</b>", "<TABLE border=1>", "<table>",
                "그림 <img src=\"img/a.jpg\" width=\"3\""};
    }
};

struct Window {
    RecordingInteraction ui;
    TfrmTag w;
    Window()
    {
        w.setInteraction(&ui);
        w.resize(1100, 700);
        w.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.isInit && w.SourceCombo->count() > 0; }, 20000));
    }
    ~Window() { w.setInteraction(nullptr); }
    int current() const { return w.SourceTree->absoluteIndex(w.SourceTree->currentItem()); }
    QStringList text() const { return w.eTextSource->toPlainText().split('\n'); }
    void select(int node)
    {
        w.SourceTree->setCurrentItem(w.SourceTree->itemAt(node));
        QTest::qWait(1);
    }
    void type(const QString& s)
    {
        w.eTextSource->moveCursor(QTextCursor::End);
        QTest::keyClicks(w.eTextSource, s);
    }
};

} // namespace

TEST(TagEditorWindow, RegisteredAsChildWindow)
{
    WindowKind kind = WindowKind::Modal;
    ASSERT_NE(FindWindowFactory("frmTag", &kind), nullptr);
    EXPECT_EQ(kind, WindowKind::Child);
}

TEST(TagEditorWindow, ChoosingATabLoadsItsFirstArticle)
{
    TagJob job;
    Window t;
    TfrmTag& w = t.w;
    EXPECT_EQ(w.windowTitle(), "소스 태깅 작업");
    // Two tabs: the chooser stays on its placeholder and nothing is loaded.
    ASSERT_EQ(w.SourceCombo->count(), 3);
    EXPECT_EQ(w.SourceCombo->currentText(), "=== 탭 선택 ===");
    EXPECT_FALSE(w.PageSource->isEnabled());
    EXPECT_FALSE(w.PageHtml->isEnabled());
    EXPECT_EQ(w.SourceTree->topLevelItemCount(), 0);
    EXPECT_EQ(w.PageHtml->indexOf(w.tabImage) >= 0 && w.PageHtml->isTabVisible(w.PageHtml->indexOf(w.tabImage)),
              false);

    // A tab without a source folder.
    w.SourceCombo->setCurrentIndex(2);
    EXPECT_EQ(t.ui.infos, QStringList("지정 탭[번역]의 Source 폴더가 지정되지 않았습니다.\r\n"
                                      "'작업정의 > 작업 정보 변경' 메뉴에서 Source 폴더를 지정하세요."));
    EXPECT_FALSE(w.PageSource->isEnabled());

    w.SourceCombo->setCurrentIndex(1);
    EXPECT_EQ(t.current(), 1);
    EXPECT_EQ(w.eFolderName->text(), job.dir.path() + "/src");
    EXPECT_EQ(w.eFileName->text(), "1.txt");
    EXPECT_EQ(w.LabelTotalHeder->text(), "기사 개수 : 4");
    EXPECT_EQ(t.text(), TagJob::FirstArticle());
    EXPECT_TRUE(w.eTextSource->isReadOnly());
    EXPECT_EQ(w.btnEdit->text(), "수정");
    EXPECT_FALSE(w.btnSave->isEnabled());
    EXPECT_TRUE(w.PageSource->isEnabled() && w.PageHtml->isEnabled() && w.btnReload->isEnabled());
    EXPECT_TRUE(w.eUnitSrc->toPlainText().contains("<p>기사 하나<b>굵게</b>\n<TABLE border=1>"));
    EXPECT_TRUE(QUrl(w.fWeb1->Furl).toLocalFile().startsWith(job.dir.path() + "/unit"));

    // The root cannot be chosen; another article is loaded and its preview shown.
    QTest::mouseClick(w.SourceTree->viewport(), Qt::LeftButton, {},
                      w.SourceTree->visualItemRect(w.SourceTree->itemAt(0)).center());
    EXPECT_EQ(t.current(), 1);
    w.PageHtml->setCurrentWidget(w.tabHtml);
    t.select(2);
    EXPECT_EQ(w.eFileName->text(), "1_1.txt");
    EXPECT_EQ(t.text(), QStringList({"<h2>둘째 기사</h2>", "<p>둘째 본문"}));
    EXPECT_EQ(w.PageHtml->currentWidget(), w.tabWeb);
    // Only the heading line is marked, also in an article loaded after another one.
    auto bold = [&](int line) {
        QTextCursor c(w.eTextSource->document()->findBlockByNumber(line));
        c.movePosition(QTextCursor::NextCharacter);
        return c.charFormat().fontWeight() == QFont::Bold;
    };
    EXPECT_TRUE(bold(0));
    EXPECT_FALSE(bold(1));
    EXPECT_TRUE(t.ui.questions.isEmpty());
}

TEST(TagEditorWindow, EditSaveAndSilentSaveWhenLeaving)
{
    TagJob job(1);
    Window t;
    TfrmTag& w = t.w;
    // One tab: straight into its first article.
    ASSERT_EQ(t.current(), 1);

    w.btnEdit->click();
    EXPECT_EQ(w.btnEdit->text(), "수정취소");
    EXPECT_TRUE(w.pnlEdit->isVisible());
    EXPECT_FALSE(w.eTextSource->isReadOnly());
    EXPECT_FALSE(w.btnSave->isEnabled());
    t.type("end");
    EXPECT_TRUE(w.btnSave->isEnabled());
    // Shift+Enter breaks the line in the file as it does on screen.
    QTest::keyClick(w.eTextSource, Qt::Key_Return, Qt::ShiftModifier);
    t.type("new");
    w.btnSave->click();
    QStringList edited = TagJob::FirstArticle();
    edited.last() += "end";
    edited << "new";
    EXPECT_EQ(ReadBytes(job.work + "0001/1.txt"), Utf16File(edited));
    EXPECT_EQ(ReadBytes(job.work + "0001/1.txt.001.bak"), Utf16File(TagJob::FirstArticle()));
    EXPECT_FALSE(w.btnSave->isEnabled());
    EXPECT_TRUE(w.eTextSource->isReadOnly());
    EXPECT_EQ(w.btnEdit->text(), "수정");
    EXPECT_TRUE(w.eUnitSrc->toPlainText().contains("width=\"3\"end"));
    EXPECT_TRUE(w.eUnitSrc->toPlainText().contains("\nnew"));

    // Leaving a changed article saves it without a question.
    w.btnEdit->click();
    QTest::keyClick(w.eTextSource, Qt::Key_Return);
    t.type("two");
    t.select(2);
    edited << "two";
    EXPECT_TRUE(t.ui.questions.isEmpty());
    EXPECT_EQ(ReadBytes(job.work + "0001/1.txt"), Utf16File(edited));
    EXPECT_TRUE(QFileInfo::exists(job.work + "0001/1.txt.002.bak"));
    EXPECT_EQ(w.eFileName->text(), "1_1.txt");

    // An article read from a code page 949 file is saved into its group folder as UTF-16LE,
    // through Ctrl+S in the editor; the flat file stays as it was.
    w.btnEdit->click();
    t.type("!");
    QTest::keyClick(w.eTextSource, Qt::Key_S, Qt::ControlModifier);
    const QByteArray saved = ReadBytes(job.work + "0001/1_1.txt");
    EXPECT_EQ(saved, Utf16File({"<h2>둘째 기사</h2>", "<p>둘째 본문!"}));
    EXPECT_TRUE(saved.startsWith("\xFF\xFE"));
    EXPECT_EQ(ReadBytes(job.work + "1_1.txt"), EncodeCp949("<h2>둘째 기사</h2>\r\n<p>둘째 본문\r\n"));
    EXPECT_FALSE(w.btnSave->isEnabled());
}

TEST(TagEditorWindow, FailedSaveKeepsTheArticleAndItsEdits)
{
    TagJob job(1);
    Window t;
    TfrmTag& w = t.w;
    t.select(4);
    ASSERT_EQ(w.eFileName->text(), "3.txt");
    w.btnEdit->click();
    t.type("more");
    t.select(1);
    // The group folder cannot be made: the operator is told, and stays on the changed article.
    ASSERT_EQ(t.ui.infos.size(), 1);
    EXPECT_EQ(t.current(), 4);
    EXPECT_TRUE(w.btnSave->isEnabled());
    EXPECT_EQ(t.text(), QStringList("<h1>넷째 기사</h1>more"));
    EXPECT_EQ(ReadBytes(job.work + "3.txt"), Utf16File({"<h1>넷째 기사</h1>"}));

    // Closing still asks.
    t.ui.answers = {false};
    w.close();
    EXPECT_TRUE(w.isVisible());
}

TEST(TagEditorWindow, CancelReloadAndCloseQuestions)
{
    TagJob job(1);
    Window t;
    TfrmTag& w = t.w;
    const QString cancel = "수정 내용을 취소합니까?";
    const QString rollback = "작업 내용을 취소하고 최종 저장 상태로 되돌립니다. 맞습니까?";
    const QString close = "작업 내용을 저장하지 않았습니다. 작업 내용을 모두 취소합니까";

    // Leaving editing without changes asks nothing.
    w.btnEdit->click();
    w.btnEdit->click();
    EXPECT_TRUE(w.eTextSource->isReadOnly());
    EXPECT_TRUE(t.ui.questions.isEmpty());

    w.btnEdit->click();
    t.type("X");
    t.ui.answers = {false};
    w.btnEdit->click();
    EXPECT_EQ(t.ui.questions, QStringList(cancel));
    EXPECT_FALSE(w.eTextSource->isReadOnly());
    EXPECT_TRUE(w.btnSave->isEnabled());
    EXPECT_TRUE(t.text().last().endsWith("X"));
    t.ui.answers = {true};
    w.btnEdit->click();
    EXPECT_EQ(t.text(), TagJob::FirstArticle());
    EXPECT_TRUE(w.eTextSource->isReadOnly());
    EXPECT_FALSE(w.btnSave->isEnabled());

    t.ui.questions.clear();
    w.btnReload->click(); // nothing changed: no question
    EXPECT_TRUE(t.ui.questions.isEmpty());
    w.btnEdit->click();
    t.type("Y");
    t.ui.answers = {false};
    w.btnReload->click();
    EXPECT_EQ(t.ui.questions, QStringList(rollback));
    EXPECT_TRUE(t.text().last().endsWith("Y"));
    t.ui.answers = {true};
    w.btnReload->click();
    EXPECT_EQ(t.text(), TagJob::FirstArticle());

    w.btnEdit->click();
    t.type("Z");
    t.ui.questions.clear();
    t.ui.answers = {false, true};
    w.close();
    EXPECT_TRUE(w.isVisible());
    w.close();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(t.ui.questions, QStringList({close, close}));
    EXPECT_EQ(ReadBytes(job.work + "0001/1.txt"), Utf16File(TagJob::FirstArticle()));
    EXPECT_FALSE(QFileInfo::exists(job.work + "0001/1.txt.001.bak"));
}

TEST(TagEditorWindow, UnreadableArticlesAreRefusedAndTheWindowGoesOn)
{
    TagJob job(1);
    QFile::remove(job.work + "1_1.txt");
    BoxAnswerer boxes({}, false);
    Window t;
    TfrmTag& w = t.w;
    // Nothing of the article before stays in the editor or the preview.
    auto refused = [&](const QString& file) {
        EXPECT_EQ(w.eFileName->text(), file);
        EXPECT_TRUE(w.eTextSource->toPlainText().isEmpty());
        EXPECT_FALSE(w.eTextSource->isEnabled());
        EXPECT_TRUE(w.eTextSource->isReadOnly());
        EXPECT_FALSE(w.btnEdit->isEnabled());
        EXPECT_TRUE(w.eUnitSrc->toPlainText().isEmpty());
        EXPECT_EQ(w.fWeb1->Furl, "about:blank");
    };
    t.select(3);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].contains("줄번호 #2"));
    EXPECT_TRUE(boxes.texts[0].contains("길이가 너무 깁니다."));
    refused("2.txt");
    t.select(1);
    EXPECT_EQ(t.text(), TagJob::FirstArticle());
    EXPECT_TRUE(w.btnEdit->isEnabled());

    t.select(2); // its file is gone
    ASSERT_EQ(boxes.texts.size(), 2);
    EXPECT_TRUE(boxes.texts[1].endsWith("1_1.txt: 지정하신 파일을 열 수 없습니다.")) << boxes.texts[1].toStdString();
    refused("1_1.txt");
    t.select(1);
    EXPECT_TRUE(w.eTextSource->isEnabled());
    EXPECT_EQ(t.text(), TagJob::FirstArticle());
}

TEST(TagEditorWindow, FindDialog)
{
    TagJob job(1);
    Window t;
    TfrmTag& w = t.w;
    QTest::keyClick(w.eTextSource, Qt::Key_F, Qt::ControlModifier);
    TTextFindDialog* find = w.FindDialog1;
    ASSERT_TRUE(find->isVisible());
    find->eFindText->setText("기사");

    auto selected = [&] {
        const QTextCursor c = w.eTextSource->textCursor();
        return QPair<int, int>(c.selectionStart(), c.selectionEnd());
    };
    // "<h1>첫째 기사</h1>\n<p>기사 하나": matches at 7 and 18.
    find->btnFindNext->click();
    EXPECT_EQ(selected(), (QPair<int, int>(7, 9)));
    find->btnFindNext->click();
    EXPECT_EQ(selected(), (QPair<int, int>(18, 20)));
    t.ui.answers = {true};
    find->btnFindNext->click();
    EXPECT_EQ(t.ui.questions, QStringList("더이상 없습니다. 처음부터 다시 찾을까요?"));
    EXPECT_EQ(selected(), (QPair<int, int>(7, 9)));

    // Upwards from a caret between the two matches.
    find->rbUp->setChecked(true);
    QTextCursor c = w.eTextSource->textCursor();
    c.setPosition(15);
    w.eTextSource->setTextCursor(c);
    find->btnFindNext->click();
    EXPECT_EQ(selected(), (QPair<int, int>(7, 9)));

    find->eFindText->setText("없는 말");
    t.ui.answers = {true};
    find->btnFindNext->click();
    EXPECT_EQ(t.ui.infos, QStringList("찾는 문자열이 없습니다."));
    EXPECT_FALSE(find->isVisible());
}

TEST(TagEditorWindow, TagAnalysisWrapFontPanelAndKeys)
{
    TagJob job(1);
    Window t;
    TfrmTag& w = t.w;
    w.PageSource->setCurrentWidget(w.tabUsedTag);
    w.btnNewHtmlTags->click();
    QStringList rows;
    for (int i = 0; i < w.UsedTagList->count(); ++i)
        rows << w.UsedTagList->item(i)->text();
    EXPECT_EQ(rows, QStringList({"B\t         1\t", "H1\t         1\t", "IMG\t         1\t", "P\t         1\t",
                                 "TABLE\t         2\t"}));
    EXPECT_FALSE(w.ProgressBar1->isVisible());
    EXPECT_EQ(w.ProgressBar1->maximum(), 4);

    // Loading an article clears the analysis.
    t.select(2);
    EXPECT_EQ(w.UsedTagList->count(), 0);

    w.CheckWrap->click();
    EXPECT_EQ(w.eTextSource->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(w.eTextSource->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(t.text(), QStringList({"<h2>둘째 기사</h2>", "<p>둘째 본문"}));
    w.CheckWrap->click();
    EXPECT_EQ(w.eTextSource->lineWrapMode(), QPlainTextEdit::NoWrap);

    w.PageHtml->setCurrentWidget(w.tabWeb);
    EXPECT_TRUE(w.PanelFontSize->isVisible());
    w.btnFontMinus->click();
    EXPECT_EQ(w.fWeb1->FhtmFontSize, 14);
    w.btnFontPlus->click();
    w.btnFontPlus->click();
    EXPECT_EQ(w.fWeb1->FhtmFontSize, 10);
    w.btnFontZero->click();
    EXPECT_EQ(w.fWeb1->FhtmFontSize, 12);
    w.PageHtml->setCurrentWidget(w.tabHtml);
    EXPECT_FALSE(w.PanelFontSize->isVisible());

    // The preview takes half of what the tree leaves.
    w.resize(1200, 700);
    QTest::qWait(1);
    EXPECT_NEAR(w.PageHtml->width(), (w.width() - w.SourceTree->width()) / 2, 12);

    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.eTextSource->setFocus();
    QTest::keyClick(w.eTextSource, Qt::Key_1, Qt::AltModifier);
    EXPECT_TRUE(w.SourceTree->hasFocus());
    QTest::keyClick(w.SourceTree, Qt::Key_2, Qt::AltModifier);
    EXPECT_TRUE(w.eTextSource->hasFocus());
    QTest::keyClick(w.eTextSource, Qt::Key_3, Qt::AltModifier);
    EXPECT_TRUE(w.PageHtml->hasFocus());
    w.PageSource->setCurrentWidget(w.tabUsedTag);
    QTest::keyClick(w.PageHtml, Qt::Key_1, Qt::ControlModifier);
    EXPECT_TRUE(w.SourceTree->hasFocus());
    QTest::keyClick(w.SourceTree, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(w.PageSource->currentWidget(), w.tabText);
    EXPECT_TRUE(w.eTextSource->hasFocus());
}

TEST(TagEditorWindow, ImagePageInsertsAtTheCaret)
{
    TagJob job(1);
    myLIB.Jobs.insImage = "Y";
    QImage picture(32, 20, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(QDir().mkpath(job.dir.path() + "/img"));
    ASSERT_TRUE(picture.save(job.dir.path() + "/img/0001.jpg", "JPG"));
    BoxAnswerer boxes({}, false);
    Window t;
    TfrmTag& w = t.w;
    ASSERT_TRUE(w.PageHtml->isTabVisible(w.PageHtml->indexOf(w.tabImage)));
    w.PageHtml->setCurrentWidget(w.tabImage);
    QAbstractButton* image = nullptr;
    for (QAbstractButton* b : w.fImagePanel->findChildren<QAbstractButton*>())
        if (b->text() == "0001.jpg")
            image = b;
    ASSERT_NE(image, nullptr);
    image->click();
    auto* insert = w.fImagePanel->findChild<QPushButton*>("btnImgInsert");
    ASSERT_NE(insert, nullptr);

    // Only into the text page.
    w.PageSource->setCurrentWidget(w.tabUsedTag);
    insert->click();
    EXPECT_EQ(boxes.texts, QStringList("본문텍스트를 보이게 하고 삽입할 위치를 마우스로 클릭하세요."));
    EXPECT_TRUE(w.eTextSource->isReadOnly());

    // Viewing switches to editing; the tag goes in at the caret and the article is changed.
    w.PageSource->setCurrentWidget(w.tabText);
    QTextCursor c = w.eTextSource->textCursor();
    c.setPosition(0);
    c.movePosition(QTextCursor::Down);
    w.eTextSource->setTextCursor(c);
    insert->click();
    EXPECT_FALSE(w.eTextSource->isReadOnly());
    EXPECT_EQ(w.btnEdit->text(), "수정취소");
    EXPECT_TRUE(w.btnSave->isEnabled());
    EXPECT_EQ(t.text()[1], "<img src=\"img/0001.jpg\" width=\"32\" height=\"20\">");
    EXPECT_EQ(t.text()[2], TagJob::FirstArticle()[1]);
    w.btnSave->click();
    QStringList saved = TagJob::FirstArticle();
    saved.insert(1, "<img src=\"img/0001.jpg\" width=\"32\" height=\"20\">");
    EXPECT_EQ(ReadBytes(job.work + "0001/1.txt"), Utf16File(saved));
}
