#include "articles/ui/ArticleTreeWidget.h"
#include "common/DemoJob.h"
#include "common/TestSupport.h"
#include "shell/myLIB.h"
#include "shell/ui/WindowRegistry.h"
#include "tagging/JpegImage.h"
#include "tagging/ui/frmImages.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray Picture(int w, int h)
{
    TBitmap24 b;
    b.SetSize(w, h);
    for (std::size_t i = 0; i < b.pixels.size(); ++i)
        b.pixels[i] = std::uint8_t(i * 13);
    QByteArray bytes;
    EXPECT_TRUE(EncodeJpeg(b, 80, bytes));
    return bytes;
}

// Tab "본문" with three articles (the third below the second), tab "번역" with one; page
// scans 0001-0004, a file that only claims to be a JPEG, and a text file.
struct ImagesJob : DemoJob {
    QString links;

    ImagesJob()
        : DemoJob({"본문", "번역"})
    {
        myLIB.Jobs.srcImage = "Y";
        links = dir.path() + "/본문_images.txt";
        WriteIndex("본문", {"1", "1", "서문", "2", "1", "제1장", "2_1", "2", "1절"});
        WriteIndex("번역", {"1", "1", "번역 서문"});
        for (const char* id : {"1", "2", "2_1"})
            WriteBytes(dir.path() + "/work_본문/" + QStringLiteral("%1").arg(QString(id).left(1).toInt(), 4, 10, QChar('0')) +
                           "/" + id + ".txt",
                       Utf16File({"<h1>기사 " + QString(id) + "</h1>", "<p>본문"}));
        WriteBytes(dir.path() + "/work_번역/0001/1.txt", Utf16File({"<h1>번역</h1>"}));
        for (int i = 1; i <= 4; ++i)
            WriteBytes(dir.path() + QStringLiteral("/images/%1.jpg").arg(i, 4, 10, QChar('0')), Picture(600, 800));
        WriteBytes(dir.path() + "/images/깨진.jpg", "not a picture");
        WriteBytes(dir.path() + "/images/메모.txt", "note");
    }
};

struct Window {
    RecordingInteraction ui;
    TfrmImages w;
    Window()
    {
        w.setInteraction(&ui);
        w.resize(1200, 700);
        w.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.isInit && w.TreeViewLeft->articleCount() > 0; }, 20000));
    }
    ~Window() { w.setInteraction(nullptr); }
    QString cell(int row, int column) const { return w.ConnectList->item(row, column)->text(); }
    std::pair<int, int> at() const { return {w.ConnectList->currentRow(), w.ConnectList->currentColumn()}; }
    int node() const { return w.TreeViewLeft->absoluteIndex(w.TreeViewLeft->currentItem()); }
    void image(int row) { w.ImagesList->setCurrentRow(row); }
};

} // namespace

TEST(ImagesWindow, RegisteredAsChildWindow)
{
    WindowKind kind = WindowKind::Modal;
    ASSERT_NE(FindWindowFactory("frmImages", &kind), nullptr);
    EXPECT_EQ(kind, WindowKind::Child);
}

TEST(ImagesWindow, EnteringRangesAndSaving)
{
    ImagesJob job;
    Window t;
    TfrmImages& w = t.w;
    EXPECT_EQ(w.windowTitle(), "이미지 연결");
    EXPECT_EQ(w.SourceCombo->currentText(), "본문");
    EXPECT_EQ(w.PanelImageFolder->text(), job.dir.path() + "/images");
    EXPECT_EQ(w.Images(), QStringList({"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg", "깨진.jpg"}));
    ASSERT_EQ(w.ConnectList->rowCount(), 4);
    EXPECT_EQ(t.cell(0, 0), "-");
    EXPECT_EQ(t.cell(3, 1), "-");
    // The first article and the first image are current; the picture is shown.
    EXPECT_EQ(t.node(), 1);
    EXPECT_EQ(t.at(), std::make_pair(1, 0));
    EXPECT_FALSE(w.Image1->pixmap().isNull());
    // Rows line up with the tree.
    EXPECT_EQ(w.ConnectList->rowHeight(3), w.TreeViewLeft->visualItemRect(w.TreeViewLeft->itemAt(3)).height());
    EXPECT_FALSE(w.Dirty());

    // Start, Enter, end, Enter: the cursor is on the next article.
    w.tbConnect->click();
    EXPECT_EQ(t.at(), std::make_pair(1, 1));
    EXPECT_EQ(w.ImagesList->currentRow(), 1);
    t.image(2);
    QTest::keyClick(w.ConnectList, Qt::Key_Return);
    EXPECT_EQ(t.at(), std::make_pair(2, 0));
    EXPECT_EQ(t.node(), 2);
    EXPECT_EQ(w.ImagesList->currentRow(), 3);
    EXPECT_EQ(t.cell(1, 0), "0001.jpg");
    EXPECT_EQ(t.cell(1, 1), "0003.jpg");
    EXPECT_TRUE(w.Dirty() && w.tbCancelClose->isEnabled());

    // Article 2 starts before article 1 ends: refused, article 2 selected, nothing written.
    t.image(1);
    w.tbConnect->click();
    t.image(3);
    w.tbConnect->click();
    t.w.TreeViewLeft->selectAbsolute(1);
    w.tbSave->click();
    EXPECT_EQ(t.ui.infos.last(), ImageOrderMessage);
    EXPECT_EQ(t.node(), 2);
    EXPECT_FALSE(QFileInfo::exists(job.links));
    EXPECT_TRUE(w.Dirty());

    // Emptied by 해제, the row no longer counts and the save goes through.
    w.ConnectList->setCurrentCell(2, 0);
    EXPECT_TRUE(w.tbClear->isEnabled());
    w.tbClear->click();
    EXPECT_EQ(t.cell(2, 0), "");
    EXPECT_FALSE(w.tbClear->isEnabled());
    w.tbSave->click();
    EXPECT_EQ(t.ui.infos.last(), "이미지 연결 정보가 저장되었습니다.");
    EXPECT_EQ(ReadBytes(job.links), Utf16File({"-", "-", "0001.jpg", "0003.jpg", "-", "0004.jpg", "-", "-"}));
    EXPECT_FALSE(w.Dirty() || w.tbCancelClose->isEnabled());

    // Enter on the last image writes it and moves nothing.
    w.ConnectList->setCurrentCell(3, 0);
    t.image(4);
    QTest::keyClick(w.ImagesList, Qt::Key_Return);
    EXPECT_EQ(t.cell(3, 0), "깨진.jpg");
    EXPECT_EQ(t.at(), std::make_pair(3, 0));
    EXPECT_EQ(w.ImagesList->currentRow(), 4);
    EXPECT_TRUE(t.ui.questions.isEmpty());
}

TEST(ImagesWindow, ImageSyncBrokenPictureAndViews)
{
    ImagesJob job;
    WriteBytes(job.links, Utf16File({"-", "-", "0002.jpg", "0003.jpg", "-"}));
    Window t;
    TfrmImages& w = t.w;
    EXPECT_EQ(t.cell(1, 1), "0003.jpg");
    EXPECT_EQ(t.cell(2, 0), "-");
    EXPECT_EQ(t.cell(2, 1), "-") << "a missing line reads as -";

    w.CheckImgSimm->setChecked(true);
    w.ConnectList->setCurrentCell(1, 1);
    EXPECT_EQ(w.ImagesList->currentRow(), 2);
    EXPECT_FALSE(w.Image1->pixmap().isNull());
    // "-" is no image: the list loses its selection and the picture goes.
    w.ConnectList->setCurrentCell(2, 0);
    EXPECT_TRUE(w.ImagesList->selectedItems().isEmpty());
    EXPECT_TRUE(w.Image1->pixmap().isNull());
    // Nothing to put without a current image.
    w.tbConnect->click();
    EXPECT_EQ(t.cell(2, 0), "-");
    EXPECT_FALSE(w.Dirty());

    // A file that cannot be decoded: the message, and the previous picture stays.
    t.image(0);
    const QSize shown = w.Image1->pixmap().size();
    t.image(4);
    EXPECT_TRUE(t.ui.infos.last().startsWith("Error : ")) << t.ui.infos.join('|').toStdString();
    EXPECT_EQ(w.Image1->pixmap().size(), shown);

    // Fit fills the visible area; actual size starts at the right-hand edge; dragging scrolls.
    t.image(1);
    EXPECT_TRUE(w.FitView());
    EXPECT_EQ(w.Image1->size(), w.ScrollBox1->viewport()->size());
    w.btnBigImage->click();
    EXPECT_FALSE(w.btnBigImage->isVisible());
    EXPECT_TRUE(w.btnFixImage->isVisible());
    EXPECT_EQ(w.Image1->size(), QSize(600, 800));
    QScrollBar* h = w.ScrollBox1->horizontalScrollBar();
    QScrollBar* v = w.ScrollBox1->verticalScrollBar();
    ASSERT_GT(h->maximum(), 0);
    EXPECT_EQ(h->value(), h->maximum());
    QTest::mousePress(w.Image1, Qt::LeftButton, {}, QPoint(300, 100));
    EXPECT_EQ(w.imgMouseAction, "SCROLL");
    QMouseEvent move(QEvent::MouseMove, QPointF(340, 60), w.Image1->mapToGlobal(QPointF(340, 60)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(w.Image1, &move);
    EXPECT_EQ(h->value(), h->maximum() - 40);
    EXPECT_EQ(v->value(), 40);
    QTest::mouseRelease(w.Image1, Qt::LeftButton, {}, QPoint(340, 60));
    EXPECT_TRUE(w.imgMouseAction.isEmpty());
    w.btnFixImage->click();
    EXPECT_EQ(w.Image1->size(), w.ScrollBox1->viewport()->size());
}

TEST(ImagesWindow, QuestionsBeforeWorkIsDiscarded)
{
    ImagesJob job;
    const QByteArray file = Utf16File({"-", "-", "0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg", "-", "-"});
    WriteBytes(job.links, file);
    Window t;
    TfrmImages& w = t.w;
    const QString discard = "연결 자료가 있다면 모두 무시됩니다. 진행합니까?";

    t.ui.answers = {false};
    w.tbClearAll->click();
    EXPECT_EQ(t.ui.questions, QStringList{discard});
    EXPECT_EQ(t.cell(1, 0), "0001.jpg");
    EXPECT_FALSE(w.Dirty());
    w.tbClearAll->click();
    EXPECT_EQ(t.cell(1, 0), "");
    EXPECT_EQ(t.cell(2, 1), "");
    EXPECT_TRUE(w.Dirty());

    // Another tab: No keeps the chooser and the work.
    t.ui.questions.clear();
    t.ui.answers = {false};
    w.SourceCombo->setCurrentIndex(1);
    EXPECT_EQ(t.ui.questions, QStringList{"수정 내용을 취소합니까?"});
    EXPECT_EQ(w.SourceCombo->currentIndex(), 0);
    EXPECT_EQ(w.ConnectList->rowCount(), 4);

    // Reload: the rollback question, then the discard question; both Yes read the file again.
    t.ui.questions.clear();
    w.tbReload->click();
    EXPECT_EQ(t.ui.questions, QStringList({"작업 내용을 취소하고 최종 저장 상태로 되돌립니다. 맞습니까?", discard}));
    EXPECT_EQ(t.cell(2, 0), "0003.jpg");
    EXPECT_FALSE(w.Dirty());

    // Closing with unsaved work asks; No keeps the window.
    w.ConnectList->setCurrentCell(1, 0);
    w.tbClear->click();
    t.ui.questions.clear();
    t.ui.answers = {false};
    w.close();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(t.ui.questions, QStringList{"작업 내용을 저장하지 않았습니다. 작업 내용을 모두 취소합니까"});
    t.ui.answers = {true};
    w.tbCancelClose->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(ReadBytes(job.links), file);
}

TEST(ImagesWindow, UnreadableLinkFileIsNotReplaced)
{
    ImagesJob job;
    QDir().mkpath(job.links); // a folder where the file should be
    Window t;
    ASSERT_EQ(t.ui.infos.size(), 1);
    EXPECT_TRUE(t.ui.infos[0].startsWith(job.links + ": 지정하신 파일을 열 수 없습니다."));
    EXPECT_EQ(t.w.ConnectList->rowCount(), 0);
    t.w.tbConnect->click();
    EXPECT_FALSE(t.w.Dirty());
}
