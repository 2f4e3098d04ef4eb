#include "common/TestSupport.h"
#include "common/WindowTestSupport.h"
#include "tagging/ImageFolder.h"
#include "tagging/JpegImage.h"
#include "tagging/ui/fImagePanel.h"
#include "tagging/ui/frmViewImageDialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QWheelEvent>
#include <functional>

namespace {

class FakeHost : public ImagePanelHost {
public:
    bool textPage = true;
    int switches = 0;
    QStringList inserted;

    bool TextPageActive() const override { return textPage; }
    void SwitchToEditing() override { ++switches; }
    void InsertAtCaret(const QString& text) override { inserted << text; }
};

QByteArray Picture(int w, int h)
{
    TBitmap24 b;
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = b.Row(y) + x * 3;
            p[0] = std::uint8_t(40 + x % 160);
            p[1] = std::uint8_t(90 + y % 120);
            p[2] = std::uint8_t(180 - (x + y) % 90);
        }
    QByteArray bytes;
    EXPECT_TRUE(EncodeJpeg(b, 85, bytes));
    return bytes;
}

// A job folder with pictures in the image root, two levels below it, and a look-alike beside it.
struct ImageJob {
    QTemporaryDir dir;
    QString root;
    ImageJob()
    {
        root = dir.path() + "/img";
        WriteBytes(root + "/0001.jpg", Picture(320, 200));
        WriteBytes(root + "/big.jpg", Picture(1000, 751));
        WriteBytes(root + "/broken.jpg", "not a picture");
        WriteBytes(root + "/notes.txt", "x");
        WriteBytes(root + "/ch1/지도/island.jpg", Picture(120, 90));
        WriteBytes(dir.path() + "/img1/other.jpg", Picture(50, 50));
    }
};

QAbstractButton* ListButton(QWidget* panel, const QString& fileName)
{
    for (QAbstractButton* b : Find<QWidget>(panel, "ImageButtonGroup")->findChildren<QAbstractButton*>())
        if (b->property("fileName").toString() == fileName)
            return b;
    return nullptr;
}

void Click(QWidget* panel, const char* name)
{
    auto* b = Find<QAbstractButton>(panel, name);
    ASSERT_TRUE(b->isEnabled()) << name;
    QTest::mouseClick(b, Qt::LeftButton);
}

void Choose(TfImagePanel& panel, const QString& fileName)
{
    QAbstractButton* b = ListButton(&panel, fileName);
    ASSERT_NE(b, nullptr) << fileName.toStdString();
    QTest::mouseClick(b, Qt::LeftButton);
}

QString Text(QWidget* panel, const char* name)
{
    return Find<QLineEdit>(panel, name)->text();
}

void Grab(QWidget* w, const QString& name)
{
    // Pictures for a person to look at, only when asked for.
    const QString dir = qEnvironmentVariable("QUILO_SHOT_DIR");
    if (!dir.isEmpty())
        w->grab().save(dir + "/" + name);
}

} // namespace

TEST(ImagePanel, ListInfoAndInsertedTag)
{
    ImageJob job;
    FakeHost host;
    BoxAnswerer boxes;
    TfImagePanel panel(host, job.dir.path());
    panel.resize(560, 720);
    panel.show();
    EXPECT_EQ(Find<QLabel>(&panel, "ImgFolderName")->text(), job.root);
    panel.FillImageList();
    EXPECT_EQ(panel.ImageNames(), QStringList({"0001.jpg", "big.jpg", "broken.jpg"}));
    EXPECT_TRUE(ListButton(&panel, "big.jpg")->isVisible());
    for (const char* tool : {"tbResize", "tbRename", "tbDelete", "tbImgWindow", "btnImgInsert"})
        EXPECT_FALSE(Find<QWidget>(&panel, tool)->isEnabled()) << tool;

    Choose(panel, "0001.jpg");
    EXPECT_EQ(Text(&panel, "eImageFname"), "0001.jpg");
    EXPECT_EQ(Text(&panel, "eImgW"), "320");
    EXPECT_EQ(Text(&panel, "eImgH"), "200");
    EXPECT_EQ(Find<QLabel>(&panel, "Image1")->size(), QSize(320, 200));
    EXPECT_FALSE(Find<QWidget>(&panel, "btnOrg")->isEnabled());
    for (const char* tool : {"tbResize", "tbRename", "tbDelete", "tbImgWindow", "btnImgInsert"})
        EXPECT_TRUE(Find<QWidget>(&panel, tool)->isEnabled()) << tool;

    // With the tag page in front nothing is inserted.
    host.textPage = false;
    Click(&panel, "btnImgInsert");
    ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == 1; }));
    EXPECT_EQ(boxes.texts[0], "본문텍스트를 보이게 하고 삽입할 위치를 마우스로 클릭하세요.");
    EXPECT_TRUE(host.inserted.isEmpty());
    EXPECT_EQ(host.switches, 0);

    host.textPage = true;
    Click(&panel, "btnImgInsert");
    EXPECT_EQ(host.inserted, QStringList({"<img src=\"img/0001.jpg\" width=\"320\" height=\"200\">\r\n"}));
    EXPECT_EQ(host.switches, 1);
    Grab(&panel, "image-panel.png");

    // A file that is no JPEG: the message, zero sizes, and the tools stay usable.
    Choose(panel, "broken.jpg");
    ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == 2; }));
    EXPECT_TRUE(boxes.texts[1].startsWith("Error : ")) << boxes.texts[1].toStdString();
    EXPECT_EQ(Text(&panel, "eImgW"), "0");
    EXPECT_EQ(Text(&panel, "eImgH"), "0");
    EXPECT_TRUE(Find<QWidget>(&panel, "tbDelete")->isEnabled());
}

TEST(ImagePanel, FolderRuleAndSubFolder)
{
    ImageJob job;
    FakeHost host;
    BoxAnswerer boxes;
    TfImagePanel panel(host, job.dir.path());
    panel.resize(560, 720);
    panel.show();
    panel.FillImageList();

    Click(&panel, "BtnChangeImgFolder");
    auto* chooser = Find<QWidget>(&panel, "PanelChangeImage");
    auto* tree = Find<QTreeView>(&panel, "ImgDirectoryListBox");
    auto* chosen = Find<QLabel>(&panel, "ChangeImgFolderName");
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    ASSERT_TRUE(chooser->isVisible());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(chosen->text(), job.root);

    // "img1" begins like the root but lies beside it: refused, and the tree goes back.
    tree->setCurrentIndex(model->index(job.dir.path() + "/img1"));
    ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == 1; }));
    EXPECT_EQ(boxes.texts[0], FolderRuleMessage(job.root).replace("\r\n", "\n"));
    EXPECT_EQ(model->filePath(tree->currentIndex()), job.root);
    EXPECT_EQ(chosen->text(), job.root);

    const QString sub = job.root + "/ch1/지도";
    tree->setCurrentIndex(model->index(sub));
    EXPECT_EQ(chosen->text(), sub);
    Grab(&panel, "image-panel-folder.png");
    Click(&panel, "btnChangeImage_ok");
    EXPECT_FALSE(chooser->isVisible());
    EXPECT_EQ(panel.CurrentFolder(), sub);
    EXPECT_EQ(Find<QLabel>(&panel, "ImgFolderName")->text(), sub);
    EXPECT_EQ(panel.ImageNames(), QStringList({"island.jpg"}));

    Choose(panel, "island.jpg");
    Click(&panel, "btnImgInsert");
    EXPECT_EQ(host.inserted, QStringList({"<img src=\"img/ch1/지도/island.jpg\" width=\"120\" height=\"90\">\r\n"}));

    // Cancel leaves the folder as it was.
    Click(&panel, "BtnChangeImgFolder");
    tree->setCurrentIndex(model->index(job.root));
    Click(&panel, "btnChangeImage_cancel");
    EXPECT_EQ(panel.CurrentFolder(), sub);
    EXPECT_EQ(boxes.texts.size(), 1);
}

TEST(ImagePanel, ShrinkAndRestore)
{
    ImageJob job;
    FakeHost host;
    BoxAnswerer boxes;
    TfImagePanel panel(host, job.dir.path());
    panel.resize(560, 720);
    panel.show();
    panel.FillImageList();
    Choose(panel, "big.jpg");
    const QByteArray original = ReadBytes(job.root + "/big.jpg");

    Click(&panel, "tbResize");
    auto* bar = Find<QWidget>(&panel, "PanelResize");
    auto* width = Find<QLineEdit>(&panel, "eResizeWidth");
    ASSERT_TRUE(bar->isVisible());
    EXPECT_EQ(width->text(), "1000");
    Grab(&panel, "image-panel-resize.png");

    struct Refusal {
        QString typed;
        QString message;
    } refusals[] = {
        {"1001", "크기를 늘일 수는 없습니다."},
        {"9", "지정 크기가 너무 작습니다."},
        {"  ", "변경할 크기 : 반드시 입력해야합니다."},
    };
    for (const Refusal& r : refusals) {
        width->setText(r.typed);
        const int before = boxes.texts.size();
        Click(&panel, "btnChangeSize");
        ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == before + 1; })) << r.typed.toStdString();
        EXPECT_EQ(boxes.texts.last(), r.message);
        EXPECT_EQ(ReadBytes(job.root + "/big.jpg"), original);
    }

    width->setText("500");
    Click(&panel, "btnChangeSize");
    EXPECT_EQ(Text(&panel, "eImgW"), "500");
    EXPECT_EQ(Text(&panel, "eImgH"), "376");
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(Find<QWidget>(&panel, "btnOrg")->isEnabled());

    Click(&panel, "tbResize");
    width->setText("200");
    Click(&panel, "btnChangeSize");
    EXPECT_EQ(Text(&panel, "eImgW"), "200");
    EXPECT_EQ(ReadBytes(job.root + "/big.jpg.원본"), original);

    Click(&panel, "tbResize");
    Click(&panel, "btnOrg");
    EXPECT_EQ(Text(&panel, "eImgW"), "1000");
    EXPECT_EQ(Text(&panel, "eImgH"), "751");
    EXPECT_EQ(ReadBytes(job.root + "/big.jpg"), original);
    EXPECT_FALSE(Find<QWidget>(&panel, "btnOrg")->isEnabled());
    EXPECT_EQ(boxes.texts.size(), 3);
}

TEST(ImagePanel, RenameAndDelete)
{
    ImageJob job;
    FakeHost host;
    BoxAnswerer boxes;
    TfImagePanel panel(host, job.dir.path());
    panel.resize(560, 720);
    panel.show();
    panel.FillImageList();
    Choose(panel, "0001.jpg");
    const QByteArray first = ReadBytes(job.root + "/0001.jpg");
    const QByteArray big = ReadBytes(job.root + "/big.jpg");

    Click(&panel, "tbRename");
    auto* bar = Find<QWidget>(&panel, "PanelRename");
    auto* name = Find<QLineEdit>(&panel, "eRename");
    ASSERT_TRUE(bar->isVisible());
    EXPECT_EQ(name->text(), "0001");
    EXPECT_EQ(Find<QLabel>(&panel, "jpgEXT")->text(), ".jpg");

    // Taken names and paths are refused; both pictures stay and the bar stays open.
    for (const char* typed : {"big", "ch1/x", ""}) {
        name->setText(QString::fromUtf8(typed));
        const int before = boxes.texts.size();
        Click(&panel, "btnRename");
        ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == before + 1; })) << typed;
        EXPECT_TRUE(bar->isVisible());
    }
    EXPECT_EQ(boxes.texts.last(), "변경할 이름 : 반드시 입력해야합니다.");
    EXPECT_EQ(ReadBytes(job.root + "/0001.jpg"), first);
    EXPECT_EQ(ReadBytes(job.root + "/big.jpg"), big);
    EXPECT_EQ(Text(&panel, "eImageFname"), "0001.jpg");

    name->setText("표지");
    Click(&panel, "btnRename");
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(panel.ImageNames(), QStringList({"big.jpg", "broken.jpg", "표지.jpg"}));
    EXPECT_EQ(Text(&panel, "eImageFname"), "표지.jpg");
    EXPECT_EQ(Text(&panel, "eImgW"), "320");
    EXPECT_TRUE(ListButton(&panel, "표지.jpg")->isChecked());
    EXPECT_EQ(ReadBytes(job.root + "/표지.jpg"), first);

    const int before = boxes.texts.size();
    boxes.answers = {false};
    Click(&panel, "tbDelete");
    ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == before + 1; }));
    EXPECT_EQ(boxes.texts.last(), "표지.jpg : 정말 삭제합니까?");
    EXPECT_TRUE(QFileInfo::exists(job.root + "/표지.jpg"));

    Click(&panel, "tbDelete");
    ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == before + 2; }));
    EXPECT_FALSE(QFileInfo::exists(job.root + "/표지.jpg"));
    EXPECT_EQ(panel.ImageNames(), QStringList({"big.jpg", "broken.jpg"}));
    EXPECT_EQ(Text(&panel, "eImageFname"), "");
    EXPECT_EQ(Text(&panel, "eImgW"), "");
    EXPECT_FALSE(Find<QWidget>(&panel, "tbDelete")->isEnabled());
    EXPECT_FALSE(Find<QWidget>(&panel, "btnImgInsert")->isEnabled());
}

TEST(ImagePanel, OpensTheViewerOnTheImage)
{
    ImageJob job;
    FakeHost host;
    TfImagePanel panel(host, job.dir.path());
    panel.show();
    panel.FillImageList();
    Choose(panel, "big.jpg");
    QString shownPath;
    QTimer::singleShot(0, [&] {
        WaitFor([&] { return qobject_cast<TfrmViewImageDialog*>(QApplication::activeModalWidget()) != nullptr; });
        auto* viewer = qobject_cast<TfrmViewImageDialog*>(QApplication::activeModalWidget());
        if (!viewer)
            return;
        WaitFor([&] { return Find<QLineEdit>(viewer, "eImgW")->text() == "1000"; });
        shownPath = viewer->lFileName->text();
        viewer->accept();
    });
    Click(&panel, "tbImgWindow");
    EXPECT_EQ(shownPath, job.root + "/big.jpg");
}

TEST(ImageViewer, ModesAndScrolling)
{
    ImageJob job;
    BoxAnswerer boxes;
    TfrmViewImageDialog viewer;
    EXPECT_EQ(viewer.windowTitle(), "이미지 보기");
    EXPECT_EQ(viewer.lFileName->text(), "FILE : ");
    viewer.lFileName->setText(job.root + "/big.jpg");
    viewer.resize(820, 620);
    viewer.show();
    auto* image = Find<QLabel>(&viewer, "Image1");
    auto* box = Find<QScrollArea>(&viewer, "ScrollBox1");
    ASSERT_TRUE(WaitFor([&] { return Text(&viewer, "eImgW") == "1000"; }));
    EXPECT_EQ(Text(&viewer, "eImgH"), "751");
    EXPECT_EQ(Text(&viewer, "eScrW"), QString::number(viewer.width()));
    EXPECT_EQ(Text(&viewer, "eScrH"), QString::number(viewer.height()));
    EXPECT_TRUE(Find<QRadioButton>(&viewer, "RadioButton1")->isChecked());
    EXPECT_EQ(image->size(), QSize(1000, 751));
    EXPECT_EQ(image->pos(), QPoint(2, 2));
    Grab(&viewer, "image-viewer.png");

    // Wheel: 30 pixels a step, down adds.
    QScrollBar* v = box->verticalScrollBar();
    QScrollBar* h = box->horizontalScrollBar();
    v->setValue(0);
    struct Wheel {
        int delta, expected;
    } wheels[] = {{-120, 30}, {-240, 90}, {120, 60}, {-60, 60}, {-60, 90}};
    for (const Wheel& w : wheels) {
        const QPointF at(100, 100);
        QWheelEvent e(at, box->viewport()->mapToGlobal(at), QPoint(), QPoint(0, w.delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(box->viewport(), &e);
        EXPECT_EQ(v->value(), w.expected) << w.delta;
    }

    // Drag: moving the pointer left and up scrolls right and down by the same amount.
    v->setValue(0);
    h->setValue(0);
    auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
        const QPointF local = image->mapFromGlobal(global);
        QMouseEvent e(type, local, global, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(image, &e);
    };
    const QPoint start = image->mapToGlobal(QPoint(300, 300));
    send(QEvent::MouseButtonPress, start, Qt::LeftButton);
    EXPECT_EQ(viewer.DragState()->MouseAction, "SCROLL");
    send(QEvent::MouseMove, start - QPoint(50, 20), Qt::LeftButton);
    send(QEvent::MouseMove, start - QPoint(70, 25), Qt::LeftButton);
    EXPECT_EQ(h->value(), 70);
    EXPECT_EQ(v->value(), 25);
    send(QEvent::MouseButtonRelease, start - QPoint(70, 25), Qt::NoButton);
    EXPECT_EQ(viewer.DragState()->MouseAction, "");
    send(QEvent::MouseMove, start, Qt::NoButton);
    EXPECT_EQ(h->value(), 70);

    // Fit to the window: the width follows the window, the height the rule of the mode.
    QTest::mouseClick(Find<QRadioButton>(&viewer, "RadioButton2"), Qt::LeftButton);
    const int fitW = viewer.width() - 40;
    const int fitH = 751 * fitW / 1000 - Find<QWidget>(&viewer, "PanelControl")->height() - 40;
    EXPECT_EQ(image->size(), QSize(fitW, fitH));
    viewer.resize(1100, 700);
    EXPECT_EQ(image->width(), 1060);
    EXPECT_EQ(Text(&viewer, "eScrW"), "1100");
    EXPECT_EQ(Text(&viewer, "eScrH"), "700");
    QTest::mouseClick(Find<QRadioButton>(&viewer, "RadioButton1"), Qt::LeftButton);
    EXPECT_EQ(image->size(), QSize(1000, 751));

    Find<QToolButton>(&viewer, "SpeedButton1")->click();
    ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == 1; }));
    EXPECT_EQ(boxes.texts[0], "그림 위에서 마우스를 누르고 움직이면 이미지가 스크롤됩니다.");
}

TEST(ImageViewer, WithoutAFileItClosesAndABadFileIsReported)
{
    ImageJob job;
    BoxAnswerer boxes;
    {
        TfrmViewImageDialog viewer;
        viewer.lFileName->setText("");
        viewer.show();
        ASSERT_TRUE(WaitFor([&] { return !viewer.isVisible(); }));
        EXPECT_EQ(viewer.result(), QDialog::Rejected);
    }
    TfrmViewImageDialog viewer;
    viewer.lFileName->setText(job.root + "/broken.jpg");
    viewer.show();
    ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == 1; }));
    EXPECT_TRUE(boxes.texts[0].startsWith("Error : ")) << boxes.texts[0].toStdString();
    EXPECT_EQ(Text(&viewer, "eImgW"), "0");
}
