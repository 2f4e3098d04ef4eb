#include "server/ui/AboutBox.h"

#include "server/HttpClient.h"
#include "server/VersionCheck.h"
#include "shell/Runtime.h"
#include "shell/Settings.h"
#include "shell/ui/WindowRegistry.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

static DialogRegistrar reg(QStringLiteral("AboutBox"), [](QWidget* parent) {
    TAboutBox box(parent);
    return box.exec() == QDialog::Accepted ? 1 : 2;
});

namespace {

// An address that opens with the desktop's handler; blue and underlined under the mouse.
class TLinkLabel : public QLabel {
public:
    TLinkLabel(const QString& address, const QString& hint, QWidget* parent)
        : QLabel(address, parent)
    {
        setToolTip(hint);
        setCursor(Qt::PointingHandCursor);
        SetHot(false);
    }

protected:
    void enterEvent(QEnterEvent* event) override
    {
        SetHot(true);
        QLabel::enterEvent(event);
    }
    void leaveEvent(QEvent* event) override
    {
        SetHot(false);
        QLabel::leaveEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        QLabel::mouseReleaseEvent(event);
        QDesktopServices::openUrl(QUrl::fromUserInput(text()));
    }

private:
    void SetHot(bool hot)
    {
        QFont f = font();
        f.setUnderline(hot);
        setFont(f);
        QPalette p = palette();
        p.setColor(QPalette::WindowText, hot ? QColor(Qt::blue) : QColor(Qt::black));
        setPalette(p);
    }
};

QPixmap Banner(const QSize& size)
{
    QPixmap pm(size);
    QPainter p(&pm);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(0x1f, 0x3b, 0x6e));
    g.setColorAt(1, QColor(0x3f, 0x8f, 0xc9));
    p.fillRect(pm.rect(), g);
    p.setPen(Qt::white);
    QFont f = QApplication::font();
    f.setPointSize(20);
    f.setBold(true);
    p.setFont(f);
    p.drawText(pm.rect().adjusted(20, 0, 0, -14), Qt::AlignLeft | Qt::AlignVCenter, "VUX - Quilo Maker");
    f.setPointSize(10);
    f.setBold(false);
    p.setFont(f);
    p.drawText(pm.rect().adjusted(22, 0, 0, -12), Qt::AlignLeft | Qt::AlignBottom,
               QStringLiteral("전자책 콘텐츠 제작 도구"));
    return pm;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent)
{
    setObjectName("AboutBox");
    setWindowTitle(QStringLiteral("정보"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* banner = new QLabel(this);
    banner->setObjectName("ProgramIcon");
    // Wide enough for the update offer beside OK, so the box keeps its size when it appears.
    banner->setPixmap(Banner(QSize(540, 90)));

    Version = new QLabel(this);
    Version->setObjectName("Version");
    QFont bold = Version->font();
    bold.setBold(true);
    Version->setFont(bold);
    auto* info1 = new QLabel(QStringLiteral("원문 텍스트를 전자책 콘텐츠로 만들어 제작 서버에 올리는 작업 도구입니다."), this);
    auto* info2 = new QLabel(QStringLiteral("사용 중 문의는 제작 관리자에게 연락하십시오."), this);
    info1->setObjectName("Comments");
    info2->setObjectName("Copyright");

    const QString base = ServerBaseURL();
    const struct {
        QString address;
        QString hint;
    } links[] = {
        {base + "/", QStringLiteral("제작 서버")},
        {base + "/help/help.htm", QStringLiteral("작업자 도움말")},
        {ContentBaseURL() + "/", QStringLiteral("콘텐츠 사이트")},
        {base + "/ASP/ProgramUpdate/", QStringLiteral("프로그램 업데이트")},
        {QUrl::fromLocalFile(DataFolder()).toString(), QStringLiteral("프로그램 데이터 폴더")},
    };

    LabelComputerName = new QLabel(this);
    LabelComputerName->setObjectName("LabelComputerName");

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setDefault(true);

    PanelUpdate = new QFrame(this);
    PanelUpdate->setObjectName("PanelUpdate");
    PanelUpdate->setAutoFillBackground(true);
    PanelUpdate->setFrameShape(QFrame::Panel);
    PanelUpdate->setFrameShadow(QFrame::Raised);
    newVersion = new QLabel(PanelUpdate);
    newVersion->setObjectName("newVersion");
    newVersion->setFont(bold);
    UpdateMemo = new QPlainTextEdit(PanelUpdate);
    UpdateMemo->setObjectName("Memo1");
    UpdateMemo->setReadOnly(true);
    UpdateMemo->setFrameShape(QFrame::NoFrame);
    UpdateMemo->setPlainText(QStringLiteral("프로그램을\n업데이트하세요."));
    UpdateMemo->setFixedHeight(UpdateMemo->fontMetrics().lineSpacing() * 2 + 10);
    UpdateMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    UpdateMemo->setStyleSheet("background: transparent;");
    btnUpdate = new QPushButton(QStringLiteral("업데이트하기"), PanelUpdate);
    btnUpdate->setObjectName("btnUpdate");
    btnUpdate->setAutoDefault(false);
    auto* panel = new QHBoxLayout(PanelUpdate);
    auto* panelText = new QVBoxLayout;
    panelText->addWidget(newVersion);
    panelText->addWidget(UpdateMemo);
    panel->addLayout(panelText, 1);
    panel->addWidget(btnUpdate, 0, Qt::AlignVCenter);
    PanelUpdate->hide();
    QPalette yellow = PanelUpdate->palette();
    yellow.setColor(QPalette::Window, Qt::yellow);
    PanelUpdate->setPalette(yellow);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(500);

    auto* text = new QVBoxLayout;
    text->setContentsMargins(16, 8, 16, 0);
    text->addWidget(Version);
    text->addWidget(info1);
    text->addWidget(info2);
    text->addSpacing(8);
    for (const auto& l : links) {
        auto* label = new TLinkLabel(l.address, l.hint, this);
        label->setObjectName("Link");
        text->addWidget(label);
    }
    text->addSpacing(8);
    text->addWidget(LabelComputerName);

    auto* bottom = m_bottom = new QHBoxLayout;
    bottom->setContentsMargins(16, 8, 16, 12);
    bottom->addStretch(1);
    bottom->addWidget(OKButton, 0, Qt::AlignVCenter);
    bottom->addWidget(PanelUpdate);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(banner);
    layout->addLayout(text);
    layout->addStretch(1);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(Timer1, &QTimer::timeout, this, [this] {
        m_red = !m_red;
        QPalette p = PanelUpdate->palette();
        p.setColor(QPalette::Window, m_red ? QColor(Qt::red) : QColor(Qt::yellow));
        PanelUpdate->setPalette(p);
    });
    connect(btnUpdate, &QPushButton::clicked, this, [this] {
        if (m_runUpdate)
            m_runUpdate(this);
        else if (const DialogRunner* run = FindDialogRunner(QStringLiteral("frmUpdate")))
            (*run)(this);
    });

    m_http = new THttpClient(this);
    Version->setText(QApplication::applicationName() + QStringLiteral("   Version: ") + ProgramVersion());
    LabelComputerName->setText(ComputerName());
}

void TAboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_checked)
        return;
    m_checked = true;
    QTimer::singleShot(10, this, [this] { CheckVersion(); });
}

void TAboutBox::CheckVersion()
{
    Version->setText(QApplication::applicationName() + QStringLiteral("   Version: ") + ProgramVersion());
    LabelComputerName->setText(ComputerName());
    QPointer<TAboutBox> alive(this);
    m_checking = true;
    const QString published = CheckPublishedVersion(*m_http, ProgramVersion());
    if (!alive)
        return;
    m_checking = false;
    if (!published.isEmpty() && result() == 0 && isVisible())
        ShowUpdateOffer(published);
}

void TAboutBox::ShowUpdateOffer(const QString& published)
{
    newVersion->setText(QStringLiteral("Ver. ") + TrimBlanks(published));
    PanelUpdate->show();
    // OK sits left of the panel, one and a half button widths away from it.
    if (m_bottom->indexOf(PanelUpdate) == 2)
        m_bottom->insertSpacing(2, OKButton->sizeHint().width() / 2);
    m_red = false;
    Timer1->start();
}

void TAboutBox::done(int result)
{
    if (m_checking)
        m_http->Abort();
    QDialog::done(result);
}
