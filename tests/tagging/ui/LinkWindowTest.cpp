#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/fTreeModule.h"
#include "articles/ui/fWeb.h"
#include "common/DemoJob.h"
#include "common/TestSupport.h"
#include "common/WindowTestSupport.h"
#include "controls/ui/EditPlus.h"
#include "jobs/JobLayout.h"
#include "shell/myLIB.h"
#include "shell/ui/WindowRegistry.h"
#include "tagging/ui/frmLink.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

// Tabs 본문 (ID 101, articles 가 나 다) and 번역 (ID 102, articles 일 이), articles in group folders;
// three products in bookinfo.ini.
struct LinkJob : DemoJob {

    explicit LinkJob(int tabs = 2)
        : DemoJob(TabNames(tabs))
    {
        TJobDefine& job = myLIB.Jobs;
        for (int k = 0; k < tabs; ++k) {
            const QString name = job.TabsName[size_t(k)];
            job.TabsID[size_t(k)] = QString::number(101 + k);
            Tab(name, k == 0 ? QStringList{"가", "나", "다"} : QStringList{"일", "이"});
        }
        WriteBytes(BookInfoFileName(), Utf16File({"3^9003^QU^데모 지명 사전", "10^9001^QU^데모 도서",
                                                  "9^9002^QU^데모 인물 사전"}));
    }
    ~LinkJob() { QFile::remove(BookInfoFileName()); }
    static QStringList TabNames(int tabs)
    {
        QStringList names;
        for (int k = 0; k < tabs; ++k)
            names << (k == 0 ? "본문" : k == 1 ? "번역" : QStringLiteral("탭%1").arg(k + 1));
        return names;
    }
    void Tab(const QString& name, const QStringList& titles)
    {
        QStringList index;
        for (int i = 0; i < titles.size(); ++i) {
            index << QString::number(i + 1) << "1" << titles[i];
            WriteBytes(Article(name, i + 1), Utf16File(Text(titles[i])));
        }
        WriteIndex(name, index);
    }
    QString Article(const QString& tab, int n) const
    {
        return dir.filePath(QStringLiteral("work_%1/%2/%3.txt").arg(tab).arg(n, 4, 10, QChar('0')).arg(n));
    }
    static QStringList Text(const QString& title) { return {"<h1>" + title + "</h1>", "첫 줄 " + title + " 끝"}; }
};

struct Window {
    RecordingInteraction ui;
    TfrmLink w;
    Window()
    {
        w.setInteraction(&ui);
        w.resize(1200, 760);
        w.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.isInit; }, 30000));
    }
    ~Window() { w.setInteraction(nullptr); }
    QPlainTextEdit* editor() const { return w.TreeLeft->eTextSource; }
    QString text() const { return editor()->toPlainText(); }
    void select(int start, int end)
    {
        QTextCursor c = editor()->textCursor();
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
        editor()->setTextCursor(c);
    }
    QString selected() const { return editor()->textCursor().selectedText(); }
    // A click in the text at `pos` with nothing selected.
    void click(int pos)
    {
        select(pos, pos);
        QTextCursor c = editor()->textCursor();
        QTest::mouseClick(editor()->viewport(), Qt::LeftButton, {}, editor()->cursorRect(c).center());
        QTest::qWait(20);
    }
    void chooseTab(int tab) { w.SourceCombo->setCurrentIndex(tab + 1); }
};

} // namespace

TEST(LinkWindow, InnerLinkInsertRecogniseRemoveAndSave)
{
    WindowKind kind = WindowKind::Modal;
    ASSERT_NE(FindWindowFactory("frmLink", &kind), nullptr);
    EXPECT_EQ(kind, WindowKind::Child);

    LinkJob job;
    Window t;
    TfrmLink& w = t.w;
    EXPECT_EQ(w.windowTitle(), "링크 만들기");
    ASSERT_EQ(w.TargetPages(), 2);
    EXPECT_EQ(w.PageControlThis->tabText(1), "번역");
    EXPECT_EQ(w.SourceCombo->currentText(), "=== 탭 선택 ===");
    EXPECT_FALSE(w.LinkSourcePage->isEnabled());
    EXPECT_FALSE(w.TargetWeb(1)->Furl.isEmpty());

    t.chooseTab(0);
    ASSERT_TRUE(w.LinkSourcePage->isEnabled());
    const QString original = LinkJob::Text("가").join('\n');
    ASSERT_EQ(t.text(), original);
    EXPECT_FALSE(w.tbConnect->isEnabled());

    // Blank selections cannot be linked.
    t.select(12, 13);
    EXPECT_FALSE(w.tbConnect->isEnabled());
    // "가" of the second line, linked to article 2 of 번역.
    const int at = int(original.indexOf("가 끝"));
    t.select(at, at + 1);
    EXPECT_TRUE(w.tbConnect->isEnabled());
    w.PageControlThis->setCurrentIndex(1);
    w.TargetTree(1)->selectAbsolute(2);
    w.tbConnect->click();
    const QString tag = "<A HREF=\"INNERREFER://page=0002&tap=102\">";
    EXPECT_EQ(t.text(), QString(original).replace(at, 1, tag + "가</A>"));
    EXPECT_EQ(t.selected(), tag);
    EXPECT_TRUE(w.Dirty() && w.tbClear->isEnabled());

    // Recognising it from a click inside the tag selects its target.
    w.PageControlThis->setCurrentIndex(0);
    w.TargetTree(1)->selectAbsolute(1);
    t.click(at + 10);
    EXPECT_EQ(t.selected(), tag);
    EXPECT_EQ(w.PageControlThis->currentIndex(), 1);
    EXPECT_EQ(w.TargetTree(1)->absoluteIndex(w.TargetTree(1)->currentItem()), 2);
    EXPECT_TRUE(w.tbClear->isEnabled());
    EXPECT_FALSE(w.tbConnect->isEnabled());

    // Saving keeps the previous file as .001.bak.
    w.tbSave->click();
    EXPECT_FALSE(w.Dirty());
    const QString file = job.Article("본문", 1);
    EXPECT_EQ(ReadBytes(file), Utf16File(t.text().split('\n')));
    EXPECT_EQ(ReadBytes(file + ".001.bak"), Utf16File(LinkJob::Text("가")));

    // Removing it brings the text back; moving to another article saves silently.
    w.tbClear->click();
    EXPECT_EQ(t.text(), original);
    EXPECT_TRUE(w.Dirty());
    EXPECT_FALSE(w.tbClear->isEnabled());
    w.TreeLeft->TreeView->selectAbsolute(2);
    EXPECT_FALSE(w.Dirty());
    EXPECT_EQ(ReadBytes(file), Utf16File(LinkJob::Text("가")));
    EXPECT_TRUE(QFile::exists(file + ".002.bak"));
    EXPECT_EQ(t.text(), LinkJob::Text("나").join('\n'));
    EXPECT_TRUE(t.ui.infos.isEmpty()) << t.ui.infos.join('|').toStdString();
}

TEST(LinkWindow, RecognitionMessagesAndTargetChecks)
{
    LinkJob job;
    WriteBytes(job.Article("본문", 1), Utf16File({"<a href=\"innerrefer://page=0003&tap=101\">소문자</a>",
                                                   "<A HREF=\"INNERREFER://page=0001&tap=999\">잘못</A>"}));
    Window t;
    TfrmLink& w = t.w;
    t.chooseTab(0);

    // A lower-case anchor is recognised, but removing needs the prefix as written.
    t.click(5);
    EXPECT_EQ(t.selected(), "<a href=\"innerrefer://page=0003&tap=101\">");
    EXPECT_EQ(w.TargetTree(0)->absoluteIndex(w.TargetTree(0)->currentItem()), 3);
    w.tbClear->click();
    EXPECT_FALSE(w.Dirty());

    const int second = int(t.text().indexOf("<A HREF"));
    t.click(second + 5);
    EXPECT_EQ(t.ui.infos, QStringList("tap의 arid[999] 지정 오류입니다."));
    EXPECT_FALSE(w.tbClear->isEnabled());

    // No target article selected.
    t.select(0, 3);
    w.TargetTree(0)->setCurrentItem(nullptr);
    w.tbConnect->click();
    EXPECT_EQ(t.ui.infos.last(), "우측 창에서 연결할 제목을 선택하세요.");
    EXPECT_FALSE(w.Dirty());

    // Changing the tab with unsaved links asks; No stays.
    t.select(0, 3);
    w.TargetTree(0)->selectAbsolute(2);
    w.tbConnect->click();
    ASSERT_TRUE(w.Dirty());
    t.ui.answers = {false};
    t.chooseTab(1);
    EXPECT_EQ(t.ui.questions, QStringList("수정 내용을 취소합니까?"));
    EXPECT_EQ(w.SourceCombo->currentIndex(), 1);
    EXPECT_TRUE(w.Dirty());
    t.chooseTab(1); // Yes: the links are dropped
    EXPECT_FALSE(w.Dirty());
    EXPECT_EQ(t.text(), LinkJob::Text("일").join('\n'));
    EXPECT_EQ(ReadBytes(job.Article("본문", 1)), Utf16File({"<a href=\"innerrefer://page=0003&tap=101\">소문자</a>",
                                                            "<A HREF=\"INNERREFER://page=0001&tap=999\">잘못</A>"}));
}

// An article whose file cannot be read must not show, link or save the article left before it.
TEST(LinkWindow, UnreadableArticleIsEmptyAndNeverSaved)
{
    LinkJob job;
    const QString missing = job.Article("본문", 2);
    QFile::remove(missing);
    BoxAnswerer boxes;
    Window t;
    TfrmLink& w = t.w;
    t.chooseTab(0);
    w.TreeLeft->TreeView->selectAbsolute(2);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].endsWith(": 지정하신 파일을 열 수 없습니다.")) << boxes.texts[0].toStdString();
    EXPECT_EQ(t.text(), QString());
    EXPECT_TRUE(t.editor()->isReadOnly());

    // Nothing to link, nothing written: not by the save button, not when moving on.
    w.PageControlThis->setCurrentIndex(1);
    w.TargetTree(1)->selectAbsolute(1);
    t.select(0, 0);
    w.tbConnect->click();
    w.tbSave->click();
    EXPECT_FALSE(w.Dirty());
    w.TreeLeft->TreeView->selectAbsolute(3);
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(t.text(), LinkJob::Text("다").join('\n'));
    EXPECT_FALSE(t.editor()->isReadOnly());
    EXPECT_EQ(ReadBytes(job.Article("본문", 1)), Utf16File(LinkJob::Text("가")));
}

// Discarding the links by choosing the placeholder reads the article again.
TEST(LinkWindow, DiscardedLinksLeaveTheEditor)
{
    LinkJob job;
    Window t;
    TfrmLink& w = t.w;
    t.chooseTab(0);
    const QString original = t.text();
    t.select(0, 4);
    w.TargetTree(0)->selectAbsolute(2);
    w.tbConnect->click();
    ASSERT_TRUE(w.Dirty());
    t.ui.answers = {true};
    w.SourceCombo->setCurrentIndex(0);
    EXPECT_EQ(t.ui.questions, QStringList("수정 내용을 취소합니까?"));
    EXPECT_FALSE(w.Dirty());
    EXPECT_EQ(t.text(), original);

    // The next link is saved alone (silently, on moving to another article).
    const int at = int(original.indexOf("가 끝"));
    t.select(at, at + 1);
    w.tbConnect->click();
    w.TreeLeft->TreeView->selectAbsolute(2);
    const QString linked = QString(original).replace(at, 1, "<A HREF=\"INNERREFER://page=0002&tap=101\">가</A>");
    EXPECT_EQ(ReadBytes(job.Article("본문", 1)), Utf16File(linked.split('\n')));
}

TEST(LinkWindow, ProductLinksListAndSearch)
{
    LinkJob job(1);
    Window t;
    TfrmLink& w = t.w;
    // One tab: chosen straight away.
    ASSERT_EQ(w.SourceCombo->currentIndex(), 1);
    ASSERT_EQ(w.BookInfoGrid->rowCount(), 3);
    w.LinkSourcePage->setCurrentWidget(w.TabOther);
    EXPECT_TRUE(t.ui.infos.isEmpty());

    w.RadioButton1->click();
    EXPECT_EQ(w.BookInfoGrid->item(0, 0)->text(), "10");
    w.RadioButton3->click();
    EXPECT_EQ(w.BookInfoGrid->item(0, 3)->text(), "데모 지명 사전");

    w.btnSearch->click();
    EXPECT_EQ(t.ui.infos, QStringList("찾을 제품명 : 반드시 입력해야합니다."));
    w.eSearch->insert("지"); // typed one character at a time
    w.eSearch->insert("명");
    EXPECT_EQ(w.BookInfoGrid->currentRow(), 0);
    w.eSearch->setText("사전");
    EXPECT_EQ(w.BookInfoGrid->currentRow(), 1); // the next match after the selected row
    w.btnSearch->click();
    EXPECT_EQ(w.BookInfoGrid->currentRow(), 0); // round to the top

    // The product link of the selected row; in a one-tab job inner links carry no tab part.
    const QString original = t.text();
    t.select(0, 4);
    w.tbConnect->click();
    const QString tag = ProductLinkTag(ContentSiteHost(), "QU", "9003");
    EXPECT_TRUE(t.text().startsWith(tag + "<h1></A>")) << t.text().toStdString();
    w.LinkSourcePage->setCurrentWidget(w.TabThis);
    const int end = int(t.text().indexOf("</A>") + 4);
    t.select(end, end + 2);
    w.TargetTree(0)->selectAbsolute(2);
    w.tbConnect->click();
    const QString inner = "<A HREF=\"INNERREFER://page=0002\">가<</A>/h1>";
    EXPECT_TRUE(t.text().startsWith(tag + "<h1></A>" + inner)) << t.text().toStdString();

    // Recognising the product link selects its row.
    w.BookInfoGrid->selectRow(2);
    t.click(3);
    EXPECT_EQ(w.LinkSourcePage->currentWidget(), w.TabOther);
    EXPECT_EQ(w.BookInfoGrid->currentRow(), 0);
    EXPECT_EQ(t.selected(), tag);
    w.tbClear->click();
    EXPECT_TRUE(t.text().startsWith("<h1>" + inner)) << t.text().toStdString();

    // Closing with unsaved links asks; Yes closes without saving.
    t.ui.answers = {false, true};
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.close());
    EXPECT_EQ(t.ui.questions, QStringList(2, "작업 내용을 저장하지 않았습니다. 작업 내용을 모두 취소합니까"));
    EXPECT_EQ(ReadBytes(job.Article("본문", 1)), Utf16File(original.split('\n')));
}

TEST(LinkWindow, EmptyProductListAndManyTabs)
{
    LinkJob job(12);
    QFile::remove(BookInfoFileName());
    Window t;
    TfrmLink& w = t.w;
    // Every tab gets its target page, also beyond the tenth.
    ASSERT_EQ(w.TargetPages(), 12);
    EXPECT_EQ(w.PageControlThis->tabText(11), "탭12");
    EXPECT_EQ(w.TargetTree(11)->objectName(), "TreeView11");
    t.chooseTab(0);
    w.LinkSourcePage->setCurrentWidget(w.TabOther);
    EXPECT_EQ(t.ui.infos, QStringList("타 제품에 대한 정보가 없습니다. 타 제품 정보를 얻으려면 로그인하십시요."));

    w.LinkSourcePage->setCurrentWidget(w.TabThis);
    w.PageControlThis->setCurrentIndex(11);
    w.TargetTree(11)->selectAbsolute(2);
    t.select(4, 5);
    w.tbConnect->click();
    EXPECT_EQ(t.selected(), "<A HREF=\"INNERREFER://page=0002&tap=112\">");
    w.PageControlThis->setCurrentIndex(0);
    t.click(10);
    EXPECT_EQ(w.PageControlThis->currentIndex(), 11);
}
