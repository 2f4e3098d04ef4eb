#include "upload/ui/frmUpdateMsg.h"

#include "shell/Runtime.h"
#include "shell/TextFile.h"
#include "shell/ui/WidgetInteraction.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmUpdateMsg::TfrmUpdateMsg(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmUpdateMsg"));
    setWindowTitle(QStringLiteral("업데이트 내용 입력"));
    setModal(true);
    resize(440, 260);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("제품을 업데이트합니다. 업데이트 내용을 간단히 입력하십시오."), this);
    label->setWordWrap(true);
    layout->addWidget(label);
    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    layout->addWidget(RichEdit1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setAutoDefault(false);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setAutoDefault(false);
    buttons->addWidget(BitBtn1);
    buttons->addSpacing(30);
    buttons->addWidget(BitBtn2);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmUpdateMsg::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

QString TfrmUpdateMsg::Note() const
{
    return RichEdit1->toPlainText();
}

void TfrmUpdateMsg::BitBtn1Click()
{
    const QString note = TrimBlanks(RichEdit1->toPlainText());
    RichEdit1->setPlainText(note);
    if (note.isEmpty()) {
        ShowInfoBox(this, QStringLiteral("메시지를 입력하세요."));
        return;
    }
    accept();
}

bool AskUpdateNote(QWidget* owner, QStringList& note)
{
    TfrmUpdateMsg dialog(owner);
    if (owner) {
        const QRect r = owner->frameGeometry();
        dialog.move(r.center() - QPoint(dialog.width() / 2, dialog.height() / 2));
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    note = SplitLines(dialog.Note());
    return true;
}
