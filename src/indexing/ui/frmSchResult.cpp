#include "indexing/ui/frmSchResult.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>

TfrmSchResult::TfrmSchResult(const QString& resultList, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSchResult"));
    setWindowTitle(QStringLiteral("색인 작업 완료"));
    setModal(true);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 12);
    const QStringList notes = {
        QStringLiteral("기본 색인 작업이 완료되었습니다."),
        QStringLiteral("메타 수정 메뉴에서 초기화를 진행하면 이번 색인 결과가 반영됩니다."),
        QStringLiteral("작업 결과의 수정이 필요하면 아래의 결과 파일을 직접 수정하십시오."),
        QStringLiteral("수정한 후에는 Excel 읽기 버튼을 클릭하여 수정 결과를 확인하십시오."),
        QStringLiteral("이곳에는 고정값은 보이지 않고 데이터에서 추출한 내용만 보입니다."),
        QStringLiteral("결과 파일에도 고정값은 보이지 않고 데이터에서 추출한 내용만 보입니다."),
        QStringLiteral("고정값은 메타 수정 화면에서 확인합니다."),
    };
    for (int i = 0; i < notes.size(); ++i) {
        auto* l = new QLabel(notes[i], this);
        l->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        l->setStyleSheet(QStringLiteral("font-weight: bold; color: blue;"));
        layout->addWidget(l);
    }
    layout->addSpacing(10);
    auto* files = new QLabel(QStringLiteral("결과 파일 :"), this);
    files->setObjectName(QStringLiteral("Label8"));
    files->setStyleSheet(QStringLiteral("font-weight: bold; color: black;"));
    layout->addWidget(files);

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setAcceptRichText(false);
    RichEdit1->setLineWrapMode(QTextEdit::NoWrap);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setPlainText(QString(resultList).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    RichEdit1->setMinimumHeight(110);
    layout->addWidget(RichEdit1, 1);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    OKBtn->setFixedSize(90, 28);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    // A fixed dialog border, centred on the screen.
    adjustSize();
    resize(std::max(width(), 560), height());
    setFixedSize(size());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}
