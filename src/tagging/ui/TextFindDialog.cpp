#include "tagging/ui/TextFindDialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TTextFindDialog::TTextFindDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName("FindDialog1");
    setWindowTitle(QStringLiteral("찾기"));
    setModal(false);

    auto* label = new QLabel(QStringLiteral("찾을 내용(&N):"), this);
    eFindText = new QLineEdit(this);
    eFindText->setObjectName("eFindText");
    label->setBuddy(eFindText);
    chkWholeWord = new QCheckBox(QStringLiteral("단어 단위로(&W)"), this);
    chkWholeWord->setObjectName("chkWholeWord");
    chkMatchCase = new QCheckBox(QStringLiteral("대/소문자 구분(&C)"), this);
    chkMatchCase->setObjectName("chkMatchCase");
    auto* direction = new QGroupBox(QStringLiteral("방향"), this);
    rbUp = new QRadioButton(QStringLiteral("위로(&U)"), direction);
    rbUp->setObjectName("rbUp");
    rbDown = new QRadioButton(QStringLiteral("아래로(&D)"), direction);
    rbDown->setObjectName("rbDown");
    rbDown->setChecked(true);
    auto* dirLayout = new QHBoxLayout(direction);
    dirLayout->addWidget(rbUp);
    dirLayout->addWidget(rbDown);

    btnFindNext = new QPushButton(QStringLiteral("다음 찾기(&F)"), this);
    btnFindNext->setObjectName("btnFindNext");
    btnFindNext->setDefault(true);
    btnFindNext->setEnabled(false);
    btnCancel = new QPushButton(QStringLiteral("취소"), this);
    btnCancel->setObjectName("btnCancel");

    auto* left = new QVBoxLayout;
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(eFindText, 1);
    left->addLayout(row);
    auto* optionRow = new QHBoxLayout;
    auto* checks = new QVBoxLayout;
    checks->addWidget(chkWholeWord);
    checks->addWidget(chkMatchCase);
    optionRow->addLayout(checks);
    optionRow->addWidget(direction);
    left->addLayout(optionRow);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnFindNext);
    buttons->addWidget(btnCancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connect(eFindText, &QLineEdit::textChanged, this,
            [this](const QString& t) { btnFindNext->setEnabled(!t.isEmpty()); });
    connect(btnFindNext, &QPushButton::clicked, this, [this] {
        if (!findText().isEmpty())
            emit findNext(findText(), options());
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::close);
}

QString TTextFindDialog::findText() const
{
    return eFindText->text();
}

TFindOptions TTextFindDialog::options() const
{
    TFindOptions o;
    o.matchCase = chkMatchCase->isChecked();
    o.wholeWord = chkWholeWord->isChecked();
    o.down = rbDown->isChecked();
    return o;
}
