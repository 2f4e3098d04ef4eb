#include "shell/ui/frmProgressBar.h"

#include "shell/Runtime.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

TfrmProgressBar::TfrmProgressBar(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmProgressBar"));
    setFixedSize(429, 64);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    StartTime = QDateTime::currentDateTime();

    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(0, 0, width(), height());
    Shape1->setStyleSheet(QStringLiteral("QFrame#Shape1 { border: 1px solid #00a000; background: transparent; }"));

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(8, 22, width() - 16, 18);
    ProgressBar->setTextVisible(false);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);

    mLoadingeText = new QLabel(this);
    mLoadingeText->setObjectName(QStringLiteral("mLoadingeText"));
    mLoadingeText->setGeometry(8, 3, width() - 16, 18);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 42, 220, 18);

    LabelTiming = new QLabel(QStringLiteral("00:00:00"), this);
    LabelTiming->setObjectName(QStringLiteral("LabelTiming"));
    LabelTiming->setGeometry(width() - 8 - 190, 42, 190, 18);
    LabelTiming->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Shape1->raise();
    Shape1->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, [this] { LabelTiming->setText(ElapsedText(StartTime)); });
    m_timer->start();
}

void TfrmProgressBar::ShowLoadingText(const QString& text)
{
    mLoadingeText->setText(text);
    mLoadingeText->repaint();
}

void TfrmProgressBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    CentreOnMainWindow();
    activateWindow();
    setFocus();
}

void TfrmProgressBar::CentreOnMainWindow()
{
    QWidget* anchor = parentWidget() ? parentWidget()->window() : nullptr;
    if (!anchor) {
        const auto tops = QApplication::topLevelWidgets();
        for (QWidget* w : tops)
            if (w->objectName() == QLatin1String("frmMain") && w->isVisible())
                anchor = w;
    }
    QRect area;
    if (anchor && anchor != this)
        area = anchor->frameGeometry();
    else if (QScreen* s = QGuiApplication::primaryScreen())
        area = s->availableGeometry();
    if (area.isValid())
        move(area.center() - QPoint(width() / 2, height() / 2));
}

void TfrmProgressBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        PressESC = true;
        emit escPressed();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
