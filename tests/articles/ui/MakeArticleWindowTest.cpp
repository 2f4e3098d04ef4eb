#include "articles/ArticleGenerator.h"
#include "articles/ui/frmFixMsgModal.h"
#include "articles/ui/frmMakeArticle.h"
#include "common/DemoJob.h"
#include "common/WindowTestSupport.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"
#include "shell/ui/WindowRegistry.h"
#include "tools/LineSplitter.h"
#include "tools/ui/frmFixTextColumn.h"

#include <gtest/gtest.h>


#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

// Answers the boxes; the long-line notice with "긴 줄 수정" and "묻지 않기" ticked, after its
// first lines were kept.
struct Operator : BoxAnswerer {
    QStringList notices;
    Operator()
    {
        otherWindow = [this](QWidget* w) {
            auto* notice = qobject_cast<TfrmFixMsgModal*>(w);
            if (!notice)
                return false;
            notices << notice->MemoFixMsg->toPlainText().split('\n').mid(0, 4);
            notice->chkNoResp->setChecked(true);
            QTimer::singleShot(0, notice->OKBtn, &QAbstractButton::click);
            return true;
        };
    }
};

QString Cell(QTableWidget* g, int r, int c) { return g->item(r, c) ? g->item(r, c)->text() : QString(); }

} // namespace

TEST(MakeArticleWindow, GeneratesTheTickedTabsThroughItsControls)
{
    DemoJob demo({"본문", "번역"});
    myLIB.Jobs.TabsFile[0] = "본문";
    myLIB.Jobs.TabsFile[1] = "번역";
    const QString job = demo.dir.path();
    WriteBytes(job + "/vuxinfo.ini", "[VUX]\r\n");
    WriteBytes(job + "/본문/a.txt", Utf16File({"<h1>하나</h1>", "광고 지우기", QString(3000, u'가') + ". " + QString(1000, u'나'), "<h2>둘</h2>"}));
    WriteBytes(job + "/번역/b.txt", Utf16File({"<h1>x</h1>"}));
    LineSplitOptions split;
    split.seps[0] = {". ", false};
    SaveSplitterSettings(split);

    WindowKind kind = WindowKind::Child;
    const WindowFactory* factory = FindWindowFactory("frmMakeArticle", &kind);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(kind, WindowKind::Modal);
    std::unique_ptr<QWidget> widget((*factory)(nullptr));
    auto* w = qobject_cast<TfrmMakeArticle*>(widget.get());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "기사 만들기");
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QTRY_COMPARE(w->sGrid->rowCount(), 2);
    EXPECT_EQ(Cell(w->sGrid, 1, 1), "번역");
    EXPECT_EQ(w->sGrid->horizontalHeaderItem(4)->text(), "오류수정");

    // Only the first tab, with the remove option.
    w->sGrid->item(1, 2)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(w->PanelRemoveOption->isVisibleTo(w));
    w->chkRemoveOption->click();
    EXPECT_TRUE(w->PanelRemoveOption->isVisibleTo(w));
    w->eRemoveText[1]->setText("광고");

    Operator op;
    // The clock stops with the work, before the closing box shows, and stays still behind it.
    bool clockRanBehindTheBox = true;
    op.onBox = [&](const QString& text) {
        if (text == "작업을 완료했습니다.")
            clockRanBehindTheBox = w->findChild<QTimer*>("ElapseTimer")->isActive();
    };
    QSignalSpy done(w, &TfrmMakeArticle::runFinished);
    QTest::mouseClick(w->btnOK, Qt::LeftButton);
    ASSERT_TRUE(done.wait(20000));
    EXPECT_TRUE(done.first().first().toBool()) << op.texts.join(" | ").toStdString();

    EXPECT_EQ(op.notices, QStringList({job + "/본문/a.txt", "줄 번호 : 3", "줄이 너무 깁니다. 줄 조절을 해야 됩니다.",
                                       "원문을 참조하여 줄을 분리할 부분을 결정하십시오."}));
    EXPECT_EQ(op.texts.last(), "작업을 완료했습니다.");
    EXPECT_FALSE(clockRanBehindTheBox);
    QTRY_COMPARE(Cell(w->sGrid, 0, 3), QString("완료"));
    EXPECT_EQ(Cell(w->sGrid, 0, 4), "정상 완료");
    EXPECT_EQ(Cell(w->sGrid, 1, 3), "미실행");
    EXPECT_EQ(w->btnOK->text(), "재실행");
    EXPECT_TRUE(w->eMsg->toPlainText().contains("긴 줄 수정 후 재시작."));
    EXPECT_TRUE(w->LabelTiming->text().startsWith("경과시간 = "));
    QStringList article;
    ReadTextLines(job + "/work_본문/0001/1.txt", article);
    EXPECT_EQ(article, QStringList({"<H1 id=1>하나</H1>", QString(3000, u'가') + ". ", QString(1000, u'나')}));
    EXPECT_TRUE(QFileInfo::exists(job + "/본문.idx"));
    EXPECT_FALSE(QFileInfo::exists(job + "/번역.idx"));

    // "재실행" answered No closes the window with OK.
    op.answers = {false};
    QTest::mouseClick(w->btnOK, Qt::LeftButton);
    QTRY_VERIFY(!w->isVisible());
    EXPECT_EQ(w->result(), QDialog::Accepted);
    EXPECT_EQ(op.texts.last(), "다시 실행합니까?");
}

TEST(MakeArticleWindow, SplitterWindowOnItsOwn)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/a.txt";
    WriteBytes(file, Utf16File({QString(3000, 'a') + "#" + QString(1000, 'b')}));
    LineSplitOptions split;
    split.seps[0] = {"#", true};
    SaveSplitterSettings(split);
    Operator op;

    // Do-not-ask: runs without showing and answers OK.
    bool noAsk = true;
    EXPECT_TRUE(TfrmFixTextColumn::Run(nullptr, file, noAsk));
    EXPECT_TRUE(noAsk);
    EXPECT_TRUE(QFileInfo::exists(file + ".001.org"));

    // Nothing to split with: the window stays for the operator, who closes it.
    WriteBytes(file, Utf16File({QString(4000, 'c')}));
    QTimer::singleShot(300, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<TfrmFixTextColumn*>(w); f && f->isVisible()) {
                EXPECT_FALSE(f->chkNoResp->isChecked());
                EXPECT_TRUE(f->PanelEnding->isVisible());
                EXPECT_TRUE(f->eMsg->toPlainText().contains("바꾸지 못한 줄 수") || f->eMsg->toPlainText().contains("구분자를 찾을 수 없습니다."));
                EXPECT_EQ(f->eSeperator[0]->text(), "#");
                EXPECT_TRUE(f->rbSep1[0]->isChecked());
                f->close();
            }
    });
    EXPECT_FALSE(TfrmFixTextColumn::Run(nullptr, file, noAsk));
    EXPECT_FALSE(noAsk);
}
