#include "tagging/ui/frmViewImageDialog.h"

#include "shell/ui/WidgetInteraction.h"
#include "tagging/JpegImage.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

QImage ImageFromBitmap(const TBitmap24& bitmap)
{
    if (bitmap.width <= 0 || bitmap.height <= 0)
        return {};
    return QImage(bitmap.pixels.data(), bitmap.width, bitmap.height, bitmap.width * 3, QImage::Format_RGB888)
        .copy();
}

QImage LoadJpegImage(const QString& path, QString* error)
{
    TBitmap24 bitmap;
    if (!DecodeJpegFile(path, bitmap, error))
        return {};
    return ImageFromBitmap(bitmap);
}

TImageDragScroll::TImageDragScroll(QScrollArea* area, QWidget* picture)
    : QObject(picture)
    , m_area(area)
    , m_picture(picture)
{
    picture->installEventFilter(this);
    picture->setMouseTracking(true);
}

bool TImageDragScroll::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_picture)
        return false;
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    auto* e = static_cast<QMouseEvent*>(event);
    const QPoint pt = m_picture->window()->mapFromGlobal(e->globalPosition().toPoint());
    if (type == QEvent::MouseButtonPress) {
        MouseAction = QStringLiteral("SCROLL");
        m_picture->setCursor(Qt::PointingHandCursor);
        MousePt = pt;
        xx = pt.x();
        yy = pt.y();
        return true;
    }
    if (type == QEvent::MouseButtonRelease) {
        MouseAction.clear();
        m_picture->unsetCursor();
        return true;
    }
    m_area->setFocus(Qt::MouseFocusReason);
    if (MouseAction == QLatin1String("SCROLL") && (pt.x() != xx || pt.y() != yy)) {
        m_area->horizontalScrollBar()->setValue(m_area->horizontalScrollBar()->value() + (xx - pt.x()));
        m_area->verticalScrollBar()->setValue(m_area->verticalScrollBar()->value() + (yy - pt.y()));
        xx = pt.x();
        yy = pt.y();
    }
    return true;
}

namespace {

QLineEdit* SizeField(const char* name, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setReadOnly(true);
    e->setFixedWidth(56);
    e->setAlignment(Qt::AlignRight);
    return e;
}

} // namespace

TfrmViewImageDialog::TfrmViewImageDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmViewImageDialog"));
    setWindowTitle(QStringLiteral("이미지 보기"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinMaxButtonsHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(820, 620);

    PanelControl = new QWidget(this);
    PanelControl->setObjectName(QStringLiteral("PanelControl"));
    auto* bar = new QHBoxLayout(PanelControl);
    bar->setContentsMargins(8, 6, 8, 6);
    RadioButton1 = new QRadioButton(QStringLiteral("원본크기"), PanelControl);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setProperty("tag", 1);
    RadioButton1->setChecked(true);
    RadioButton2 = new QRadioButton(QStringLiteral("화면맞춤"), PanelControl);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setProperty("tag", 2);
    eImgW = SizeField("eImgW", PanelControl);
    eImgH = SizeField("eImgH", PanelControl);
    eScrW = SizeField("eScrW", PanelControl);
    eScrH = SizeField("eScrH", PanelControl);
    SpeedButton1 = new QToolButton(PanelControl);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("?"));
    SpeedButton1->setToolTip(QStringLiteral("그림 위에서 마우스를 누르고 움직이면 이미지가 스크롤됩니다."));
    lFileName = new QLabel(QStringLiteral("FILE : "), PanelControl);
    lFileName->setObjectName(QStringLiteral("lFileName"));
    lFileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lFileName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // a long path must not widen the window

    bar->addWidget(RadioButton1);
    bar->addWidget(RadioButton2);
    bar->addSpacing(16);
    bar->addWidget(new QLabel(QStringLiteral("이미지:"), PanelControl));
    bar->addWidget(eImgW);
    bar->addWidget(eImgH);
    bar->addSpacing(8);
    bar->addWidget(new QLabel(QStringLiteral("화면:"), PanelControl));
    bar->addWidget(eScrW);
    bar->addWidget(eScrH);
    bar->addWidget(SpeedButton1);
    bar->addSpacing(8);
    bar->addWidget(lFileName, 1);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setBackgroundRole(QPalette::Dark);
    m_holder = new QWidget;
    Image1 = new QLabel(m_holder);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->move(2, 2);
    ScrollBox1->setWidget(m_holder);
    ScrollBox1->viewport()->installEventFilter(this);
    m_drag = new TImageDragScroll(ScrollBox1, Image1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PanelControl);
    layout->addWidget(ScrollBox1, 1);

    for (QRadioButton* b : {RadioButton1, RadioButton2})
        connect(b, &QRadioButton::clicked, this, [this, b] { ApplyMode(b->property("tag").toInt()); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { ShowInfoBox(this, SpeedButton1->toolTip()); });
}

void TfrmViewImageDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // After the window is up, so that closing at once or a load message has a window to belong to.
    QTimer::singleShot(0, this, [this] { FormShow(); });
}

void TfrmViewImageDialog::FormShow()
{
    const QString path = lFileName->text();
    if (path.isEmpty()) {
        reject();
        return;
    }
    QString why;
    m_picture = LoadJpegImage(path, &why);
    Image1->move(2, 2);
    Image1->setPixmap(QPixmap::fromImage(m_picture));
    eImgW->setText(QString::number(m_picture.width()));
    eImgH->setText(QString::number(m_picture.height()));
    ApplyMode(CheckedMode());
    if (m_picture.isNull())
        ShowInfoBox(this, QStringLiteral("Error : ") + why);
}

int TfrmViewImageDialog::CheckedMode() const
{
    return RadioButton2->isChecked() ? 2 : 1;
}

void TfrmViewImageDialog::ApplyMode(int mode)
{
    if (mode == 2) {
        const int w = width() - 40;
        int h = Image1->height();
        // Deliberately not the exact aspect ratio: the bar's height and a margin come off.
        if (m_picture.width() != 0)
            h = m_picture.height() * w / m_picture.width() - PanelControl->height() - 40;
        Image1->setScaledContents(true);
        Image1->resize(qMax(0, w), qMax(0, h));
    } else {
        Image1->setScaledContents(false);
        Image1->resize(m_picture.size());
    }
    PlaceHolder();
    eScrW->setText(QString::number(width()));
    eScrH->setText(QString::number(height()));
}

void TfrmViewImageDialog::PlaceHolder()
{
    m_holder->resize(Image1->x() + Image1->width() + 2, Image1->y() + Image1->height() + 2);
}

void TfrmViewImageDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    ApplyMode(CheckedMode());
}

bool TfrmViewImageDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ScrollBox1->viewport() && event->type() == QEvent::Wheel) {
        // 30 pixels a step whatever the desktop's wheel setting; fine-grained wheels add up to steps.
        auto* e = static_cast<QWheelEvent*>(event);
        m_wheelRest += e->angleDelta().y();
        const int steps = m_wheelRest / 120;
        m_wheelRest -= steps * 120;
        QScrollBar* v = ScrollBox1->verticalScrollBar();
        v->setValue(v->value() - steps * 30);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
