#include "server/ui/frmLogin.h"

#include "controls/ui/EditPlus.h"
#include "server/HttpClient.h"
#include "server/Login.h"
#include "shell/Runtime.h"
#include "shell/myLIB.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/WindowRegistry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

QPixmap LoginBanner(int width, int height)
{
    QPixmap pm(width, height);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient bg(0, 0, width, height);
    bg.setColorAt(0.0, QColor(0x1B, 0x2F, 0x4E));
    bg.setColorAt(1.0, QColor(0x1F, 0x6F, 0x78));
    p.fillRect(pm.rect(), bg);

    // Soft diagonal bands for depth.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        QPainterPath band;
        const qreal x = width * 0.45 + i * 60;
        band.moveTo(x, 0);
        band.lineTo(x + 40, 0);
        band.lineTo(x - 20, height);
        band.lineTo(x - 60, height);
        band.closeSubpath();
        p.fillPath(band, QColor(255, 255, 255, 14 + i * 4));
    }

    // An open book: two pages with text lines, a spine shadow.
    const qreal cx = 58, cy = height / 2.0 + 4, w = 34, h = 42;
    QPainterPath left;
    left.moveTo(cx, cy - h / 2 + 4);
    left.cubicTo(cx - w * 0.4, cy - h / 2 - 2, cx - w * 0.8, cy - h / 2, cx - w, cy - h / 2 + 2);
    left.lineTo(cx - w, cy + h / 2);
    left.cubicTo(cx - w * 0.8, cy + h / 2 - 2, cx - w * 0.4, cy + h / 2 - 4, cx, cy + h / 2 + 2);
    left.closeSubpath();
    QPainterPath right;
    right.moveTo(cx, cy - h / 2 + 4);
    right.cubicTo(cx + w * 0.4, cy - h / 2 - 2, cx + w * 0.8, cy - h / 2, cx + w, cy - h / 2 + 2);
    right.lineTo(cx + w, cy + h / 2);
    right.cubicTo(cx + w * 0.8, cy + h / 2 - 2, cx + w * 0.4, cy + h / 2 - 4, cx, cy + h / 2 + 2);
    right.closeSubpath();
    p.fillPath(left, QColor(0xF4, 0xF1, 0xE8));
    p.fillPath(right, QColor(0xFF, 0xFD, 0xF6));
    p.setPen(QPen(QColor(0x9A, 0xB0, 0xB8), 1.2));
    for (int i = 0; i < 5; ++i) {
        const qreal y = cy - h / 2 + 10 + i * 6.5;
        p.drawLine(QPointF(cx - w + 6, y), QPointF(cx - 6, y + 1));
        p.drawLine(QPointF(cx + 6, y + 1), QPointF(cx + w - 6, y));
    }
    p.setPen(QPen(QColor(0xE9, 0xA8, 0x3B), 2.2));
    p.drawLine(QPointF(cx, cy - h / 2 + 4), QPointF(cx, cy + h / 2 + 2));

    // Title and subtitle.
    QFont title = QApplication::font();
    title.setPixelSize(30);
    title.setBold(true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(108, 14, width - 120, 38), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("VUX"));
    QFont sub = QApplication::font();
    sub.setPixelSize(15);
    p.setFont(sub);
    p.setPen(QColor(0xE9, 0xA8, 0x3B));
    p.drawText(QRectF(110, 50, width - 120, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Quilo Maker"));
    QFont small = QApplication::font();
    small.setPixelSize(12);
    p.setFont(small);
    p.setPen(QColor(255, 255, 255, 190));
    p.drawText(QRectF(110, 70, width - 124, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("전자책 콘텐츠 제작 도구"));
    return pm;
}

TfrmLogin::TfrmLogin(QWidget* parent)
    : QDialog(parent)
    , m_client(new THttpClient(this))
    , m_ui(new WidgetInteraction(this))
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("VUX 로그인"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setModal(true);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    const int bannerWidth = 440;
    auto* banner = new QLabel(this);
    banner->setObjectName(QStringLiteral("imgBanner"));
    banner->setPixmap(LoginBanner(bannerWidth, 96));
    banner->setFixedSize(bannerWidth, 96);
    root->addWidget(banner);

    auto* body = new QWidget(this);
    auto* grid = new QGridLayout(body);
    grid->setContentsMargins(28, 20, 28, 8);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);

    auto* lblID = new QLabel(QStringLiteral("아이디 :"), body);
    lblID->setObjectName(QStringLiteral("Label1"));
    auto* lblPw = new QLabel(QStringLiteral("비밀번호 :"), body);
    lblPw->setObjectName(QStringLiteral("Label2"));
    eID = new TEditPlus(body); // Enter moves on to the password
    eID->setObjectName(QStringLiteral("eID"));
    ePw = new QLineEdit(body);
    ePw->setObjectName(QStringLiteral("ePw"));
    ePw->setEchoMode(QLineEdit::Password);
    ePw->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    ePw->installEventFilter(this);
    lblID->setBuddy(eID);
    lblPw->setBuddy(ePw);

    btnLogin = new QPushButton(QStringLiteral("로그인"), body);
    btnLogin->setObjectName(QStringLiteral("btnLogin"));
    btnExit = new QPushButton(QStringLiteral("취소"), body);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    // Enter is handled by the edits themselves, never by a default button.
    for (QPushButton* b : {btnLogin, btnExit}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setMinimumWidth(84);
    }
    connect(btnLogin, &QPushButton::clicked, this, &TfrmLogin::btnLoginClick);
    connect(btnExit, &QPushButton::clicked, this, &TfrmLogin::btnExitClick);

    grid->addWidget(lblID, 0, 0, Qt::AlignRight);
    grid->addWidget(eID, 0, 1);
    grid->addWidget(btnLogin, 0, 2);
    grid->addWidget(lblPw, 1, 0, Qt::AlignRight);
    grid->addWidget(ePw, 1, 1);
    grid->addWidget(btnExit, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* hint1 = new QLabel(QStringLiteral("로그인하기 위해서는 인터넷에 연결되어 있어야 합니다."), body);
    hint1->setObjectName(QStringLiteral("Label3"));
    auto* hint2 = new QLabel(QStringLiteral("아이디와 비밀번호는 회사에서 미리 발급 받아야 합니다."), body);
    hint2->setObjectName(QStringLiteral("Label4"));
    for (QLabel* h : {hint1, hint2})
        h->setStyleSheet(QStringLiteral("color: #5a6570;"));
    grid->addItem(new QSpacerItem(1, 8), 2, 0);
    grid->addWidget(hint1, 3, 0, 1, 3);
    grid->addWidget(hint2, 4, 0, 1, 3);
    root->addWidget(body);

    versionPanel = new QLabel(this);
    versionPanel->setObjectName(QStringLiteral("버전판넬"));
    versionPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    versionPanel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    versionPanel->setContentsMargins(6, 2, 8, 2);
    versionPanel->setStyleSheet(QStringLiteral("color: #404850;"));
    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(4, 10, 4, 4);
    bottom->addWidget(versionPanel);
    root->addLayout(bottom);

    setFixedSize(bannerWidth, sizeHint().height());
    eID->setFocus();
}

TfrmLogin::~TfrmLogin() = default;

void TfrmLogin::showEvent(QShowEvent* event)
{
    versionPanel->setText(QStringLiteral("Version: ") + ProgramVersion());
    // Centred on the screen, like every sign-in box.
    if (QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}

bool TfrmLogin::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == ePw) {
                btnLogin->click();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmLogin::SetBusy(bool busy)
{
    m_busy = busy;
    eID->setEnabled(!busy);
    ePw->setEnabled(!busy);
    btnLogin->setEnabled(!busy);
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TfrmLogin::btnLoginClick()
{
    if (m_busy)
        return;
    m_cancelPending = false;
    SetBusy(true);
    const LoginResult result = RunLogin(eID->text(), ePw->text(), *m_client, *m_ui, myLIB);
    SetBusy(false);
    if (m_cancelPending) {
        done(ResultCancel);
        return;
    }
    // Focus back to the dialog after a message box.
    activateWindow();
    switch (result) {
    case LoginResult::Complete:
        done(ResultOK);
        break;
    case LoginResult::MissingInput:
        (TrimBlanks(eID->text()).isEmpty() ? eID : ePw)->setFocus();
        break;
    case LoginResult::WrongCredentials:
        ePw->setFocus();
        ePw->selectAll();
        break;
    default:
        break;
    }
}

void TfrmLogin::btnExitClick() { reject(); }

void TfrmLogin::reject()
{
    // A request still waits: stop it, and close once the login routine has returned.
    if (m_busy) {
        m_cancelPending = true;
        m_client->Abort();
        return;
    }
    done(ResultCancel);
}

void TfrmLogin::closeEvent(QCloseEvent* event)
{
    if (m_busy) {
        event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(event);
}

int LoginProcess(QWidget* parent)
{
    TfrmLogin dlg(parent);
    return dlg.exec() == TfrmLogin::ResultOK ? TfrmLogin::ResultOK : TfrmLogin::ResultCancel;
}

static DialogRegistrar reg(QStringLiteral("frmLogin"), [](QWidget* parent) { return LoginProcess(parent); });
