#include "articles/ui/frmFixMsgModal.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TfrmFixMsgModal::TfrmFixMsgModal(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmFixMsgModal"));
    setWindowTitle(QStringLiteral("긴 줄"));
    setModal(true);
    resize(560, 300);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 128, 0));
    setPalette(pal);

    MemoFixMsg = new QPlainTextEdit(this);
    MemoFixMsg->setObjectName(QStringLiteral("MemoFixMsg"));
    MemoFixMsg->setReadOnly(true);
    MemoFixMsg->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoFixMsg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoFixMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    chkNoResp = new QCheckBox(QStringLiteral("묻지 않기"), this);
    chkNoResp->setObjectName(QStringLiteral("chkNoResp"));
    OKBtn = new QPushButton(QStringLiteral("긴 줄 수정"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    OKBtn->setMinimumSize(100, 30);
    CancelBtn = new QPushButton(QStringLiteral("작업종료"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setMinimumSize(100, 30);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkNoResp);
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addSpacing(12);
    buttons->addWidget(CancelBtn);
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(12, 12, 12, 12);
    main->addWidget(MemoFixMsg, 1);
    main->addLayout(buttons);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    // Esc rejects through QDialog as the cancel button would.
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmFixMsgModal::SetMessage(const QString& filePath, int lineNumber, const QString& line)
{
    MemoFixMsg->setPlainText(filePath + '\n' + QStringLiteral("줄 번호 : %1").arg(lineNumber) + '\n'
                             + QStringLiteral("줄이 너무 깁니다. 줄 조절을 해야 됩니다.") + '\n'
                             + QStringLiteral("원문을 참조하여 줄을 분리할 부분을 결정하십시오.") + '\n' + line);
    MemoFixMsg->moveCursor(QTextCursor::Start);
}

void TfrmFixMsgModal::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect r = screen->availableGeometry();
        move(r.center() - QPoint(width() / 2, height() / 2));
    }
}
