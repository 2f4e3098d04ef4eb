#include "articles/ArticleHtml.h"
#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/fTreeModule.h"
#include "articles/ui/fWeb.h"
#include "articles/ui/frmBrowser.h"
#include "common/TestSupport.h"
#include "shell/myLIB.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTimer>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

// A job of one tab "본문" with three articles; the first links to the third.
struct PreviewJob {
    QTemporaryDir dir;
    TJobDefine saved = myLIB.Jobs;

    PreviewJob()
    {
        TJobDefine& job = myLIB.Jobs;
        job = TJobDefine();
        job.WorkFolder = dir.path();
        job.pNAME = "시험 도서";
        job.TabsCount = 1;
        job.TabsName[0] = "본문";
        job.TabsID[0] = "101";
        WriteBytes(dir.path() + "/본문.idx", Utf16File({"1", "1", "첫째 기사", "1_1", "2", "둘째 기사", "2", "1", "셋째 기사"}));
        WriteBytes(dir.path() + "/work_본문/0001/1.txt",
                   Utf16File(QStringList{"<H1 id=1>첫째 기사</H1>", "낱말<FN>1</FN> 뒤",
                                         "<a id=\"go\" href=\"INNERREFER://page=3/\">셋째로</a>"}
                             + QStringList(80, "채우는 줄") + QStringList{"<A NAME=\"1\">1</A> 각주"}));
        WriteBytes(dir.path() + "/work_본문/0001/1_1.txt", Utf16File({"<H2 id=1_1>둘째 기사</H2>", "둘째 본문"}));
        WriteBytes(dir.path() + "/work_본문/0002/2.txt", Utf16File({"<H1 id=2>셋째 기사</H1>", "셋째 본문"}));
    }
    ~PreviewJob() { myLIB.Jobs = saved; }
};

QVariant RunScript(QWebEnginePage* page, const QString& script)
{
    QVariant result;
    bool done = false;
    page->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
    return result;
}

} // namespace

TEST(Preview, TreeFrameShowsFirstArticleAndFollowsLinks)
{
    PreviewJob job;
    ResetPreviewPageCounter();
    TfTreeModule frame;
    frame.resize(900, 600);
    frame.show();
    ASSERT_TRUE(frame.Show(0));

    // The first article is selected, its text on the text page, its page in the view.
    TArticleTreeWidget* tree = frame.TreeView;
    EXPECT_EQ(tree->absoluteIndex(tree->currentItem()), 1);
    EXPECT_EQ(frame.eTextSource->toPlainText().split('\n').first(), "<H1 id=1>첫째 기사</H1>");
    EXPECT_EQ(frame.PageHtml->currentWidget(), frame.tabText);
    EXPECT_EQ(QUrl(frame.fWeb1->Furl).toLocalFile(), job.dir.path() + "/unit1.htm");
    EXPECT_FALSE(frame.PanelExtra->isVisible());
    QWebEnginePage* page = frame.fWeb1->browser()->page();
    EXPECT_EQ(RunScript(page, "document.title").toString(), "펜드로룩스 디지털 컨텐츠");
    EXPECT_EQ(RunScript(page, "document.getElementsByName('bon1').length").toInt(), 1);

    // The root cannot be selected.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(tree->itemAt(0)).center());
    EXPECT_EQ(tree->absoluteIndex(tree->currentItem()), 1);

    // Font size through the page script.
    frame.fWeb1->setFontSize(1);
    EXPECT_EQ(frame.fWeb1->FhtmFontSize, 14);
    EXPECT_EQ(RunScript(page, "cSize").toInt(), 14);
    frame.fWeb1->FhtmFontSize = 18;
    frame.fWeb1->setFontSize(1);
    EXPECT_EQ(frame.fWeb1->FhtmFontSize, 18);
    frame.fWeb1->setFontSize(0);
    EXPECT_EQ(frame.fWeb1->FhtmFontSize, 12);
    EXPECT_EQ(RunScript(page, "cSize").toInt(), 12);

    // The footnote reference jumps to the footnote, not to the heading that has the same id.
    // The anchor's top sits at the top of the view, give or take the inline box.
    const QString topOf = "Math.abs(Math.round(document.getElementsByName('%1')[0].getBoundingClientRect().top))";
    RunScript(page, "document.getElementsByName('bon1')[0].click(); 1");
    EXPECT_TRUE(QTest::qWaitFor([&] { return RunScript(page, topOf.arg("1")).toInt() <= 4; }, 5000));
    EXPECT_GT(RunScript(page, "window.scrollY").toInt(), 0);
    RunScript(page, "document.getElementsByName('1')[0].click(); 1");
    EXPECT_TRUE(QTest::qWaitFor([&] { return RunScript(page, topOf.arg("bon1")).toInt() <= 4; }, 5000));

    // A click on the article link selects article 3 in the tree and shows it.
    QSignalSpy shown(&frame, &TfTreeModule::articleShown);
    RunScript(page, "document.getElementById('go').click(); 1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 10000));
    EXPECT_EQ(shown.last().at(0).toInt(), 3);
    EXPECT_EQ(frame.eTextSource->toPlainText().split('\n').first(), "<H1 id=2>셋째 기사</H1>");
    EXPECT_EQ(QUrl(frame.fWeb1->Furl).toLocalFile(), job.dir.path() + "/unit2.htm");
    EXPECT_FALSE(frame.fWeb1->errorShown());
}

TEST(Preview, HostControlsShowBetweenTreeAndPages)
{
    PreviewJob job;
    TfTreeModule frame;
    auto* layout = new QVBoxLayout(frame.PanelExtra);
    layout->addWidget(new QLabel("host", frame.PanelExtra));
    frame.resize(900, 600);
    frame.show();
    ASSERT_TRUE(frame.Show(0));
    EXPECT_TRUE(frame.PanelExtra->isVisible());
    EXPECT_LT(frame.TreeView->mapTo(&frame, QPoint(frame.TreeView->width(), 0)).x(),
              frame.PanelExtra->mapTo(&frame, QPoint(0, 0)).x());
    EXPECT_LT(frame.PanelExtra->mapTo(&frame, QPoint(0, 0)).x(), frame.PageHtml->mapTo(&frame, QPoint(0, 0)).x());
}

TEST(Preview, MissingIndexLeavesTheFrameEmpty)
{
    PreviewJob job;
    QFile::remove(job.dir.path() + "/본문.idx");
    TfTreeModule frame;
    // The reader's message box is closed as soon as it shows.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "ShowInfoBox" && w->isVisible())
                w->close();
    });
    closer.start(50);
    EXPECT_FALSE(frame.Show(0));
    EXPECT_EQ(frame.TreeView->topLevelItemCount(), 0);
    EXPECT_FALSE(frame.isInit);
}

TEST(Preview, LinksIntoAnotherTabOpenThePreviewWindow)
{
    PreviewJob job;
    TJobDefine& j = myLIB.Jobs;
    j.TabsCount = 2;
    j.TabsName[1] = "번역";
    j.TabsID[1] = "102";
    WriteBytes(job.dir.path() + "/번역.idx", Utf16File({"1", "1", "번역 첫째", "2", "1", "번역 둘째"}));
    WriteBytes(job.dir.path() + "/work_번역/0002/2.txt", Utf16File({"<H1 id=2>번역 둘째</H1>", "옮긴 글"}));
    WriteBytes(job.dir.path() + "/work_본문/0001/1.txt",
               Utf16File({"<H1 id=1>첫째 기사</H1>", "<a id=\"tab\" href=\"INNERREFER://page=2&TAP=102/\">번역 둘째로</a>",
                          "<a id=\"bad\" href=\"innerrefer://page=2&tap=999/\">없는 탭</a>",
                          "<a id=\"web\" href=\"http://127.0.0.1:9/\">웹</a>"}));

    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    auto* frame = new TfTreeModule(&host);
    layout->addWidget(frame);
    host.resize(900, 600);
    host.show();
    ASSERT_TRUE(frame->Show(0));
    QWebEnginePage* page = frame->fWeb1->browser()->page();
    const QString shownPage = frame->fWeb1->Furl;

    // Whatever window opens is read and closed by this watcher.
    QString tabName, header, info;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible())
                continue;
            if (auto* b = qobject_cast<TfrmBrowser*>(w); b && !b->EditHeader->text().isEmpty()) {
                tabName = b->EditTabName->text();
                header = b->EditHeader->text();
                b->close();
            } else if (w->objectName() == "ShowInfoBox") {
                info = w->findChild<QLabel*>("qt_msgbox_label")->text();
                w->close();
            }
        }
    });
    watcher.start(30);

    RunScript(page, "document.getElementById('tab').click(); 1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !header.isEmpty(); }, 15000));
    EXPECT_EQ(tabName, "번역");
    EXPECT_EQ(header, "번역 둘째");

    RunScript(page, "document.getElementById('bad').click(); 1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !info.isEmpty(); }, 10000));
    EXPECT_EQ(info, "tap의 arid[999] 지정 오류입니다.");

    // A web address is not shown in the view (it goes to the system browser).
    QList<QUrl> opened;
    TfWeb::ExternalOpener() = [&](const QUrl& url) { opened << url; };
    RunScript(page, "document.getElementById('web').click(); 1");
    QTest::qWait(300);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, 5000));
    EXPECT_EQ(opened, QList<QUrl>{QUrl("http://127.0.0.1:9/")});
    EXPECT_EQ(frame->fWeb1->Furl, "http://127.0.0.1:9/");
    EXPECT_EQ(page->url().toString(), shownPage);
    EXPECT_FALSE(frame->fWeb1->errorShown());
    TfWeb::ExternalOpener() = [](const QUrl&) {};
}

TEST(Preview, FailedPageShowsTheErrorBar)
{
    TfWeb view;
    view.resize(600, 400);
    view.show();
    view.GoURL("/no/such/folder/unit1.htm", nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.errorShown(); }, 10000));
    EXPECT_TRUE(view.errURL->text().endsWith("/no/such/folder/unit1.htm"));
    QTest::mouseClick(view.btnBack, Qt::LeftButton);
    EXPECT_FALSE(view.errorShown());
}

TEST(Preview, SourceTextColoursHeadingsAndRefusesLongLines)
{
    PreviewJob job;
    QPlainTextEdit editor;
    const QString path = job.dir.path() + "/work_본문/1.txt";
    ASSERT_TRUE(LoadSourceText(path, nullptr, &editor));
    const QTextBlock heading = editor.document()->findBlockByNumber(0);
    const QTextBlock body = editor.document()->findBlockByNumber(1);
    const QTextCharFormat hf = heading.begin().fragment().charFormat();
    EXPECT_EQ(hf.foreground().color(), QColor(0, 128, 128));
    EXPECT_EQ(hf.fontWeight(), QFont::Bold);
    EXPECT_NE(body.begin().fragment().charFormat().fontWeight(), QFont::Bold);

    WriteBytes(job.dir.path() + "/work_본문/0001/1.txt", Utf16File({"<H1 id=1>첫째 기사</H1>", QString(3901, 'x')}));
    QString info;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->objectName() == "ShowInfoBox") {
                info = w->findChild<QLabel*>("qt_msgbox_label")->text();
                w->close();
            }
    });
    watcher.start(30);
    EXPECT_FALSE(LoadSourceText(path, nullptr, &editor));
    EXPECT_TRUE(editor.toPlainText().isEmpty());
    EXPECT_TRUE(info.contains("줄번호 #2")) << info.toStdString();
}
