#include "shell/ui/frmMain.h"

#include "jobs/JobLayout.h"
#include "shell/ui/GridPainters.h"
#include "jobs/JobDefine.h"
#include "shell/Settings.h"
#include "shell/StyleSheet.h"
#include "shell/myLIB.h"
#include "shell/ui/FormPosition.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/WindowRegistry.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QStyleOptionToolButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString NoJobCaption = QStringLiteral("작업 없음");
const QString PanelHint = QStringLiteral("작업 정보를 보려면 더블클릭하세요.");
const QString LoginToDefineJob = QStringLiteral("작업을 정의하려면 로그인하십시오.");

// Frame of a child window: reports its closing at the moment it closes, so a step that
// presses its tool button right after closing the others keeps the button pressed.
class TChildFrame : public QMdiSubWindow {
public:
    std::function<void()> onClosed;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        QMdiSubWindow::closeEvent(event);
        if (event->isAccepted())
            Closed();
    }
    void hideEvent(QHideEvent* event) override
    {
        QMdiSubWindow::hideEvent(event);
        // The window inside closed itself: the frame goes with it.
        if (isHidden() && !m_closed && (!widget() || widget()->isHidden())) {
            Closed();
            deleteLater();
        }
    }

private:
    void Closed()
    {
        if (m_closed)
            return;
        m_closed = true;
        if (onClosed)
            onClosed();
    }
    bool m_closed = false;
};

// Tool buttons are pressed by MarkToolButton only, never by the click itself.
class TStepButton : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void nextCheckState() override {}
    // Step captions are short; show them whole instead of the toolkit's elided form.
    void initStyleOption(QStyleOptionToolButton* option) const override
    {
        QToolButton::initStyleOption(option);
        option->text = text();
    }
    QSize sizeHint() const override
    {
        QSize s = QToolButton::sizeHint();
        s.setWidth(qMax(iconSize().width() + 12, fontMetrics().horizontalAdvance(text()) + 10));
        return s;
    }
};

// Ends the modal run of a window that is not a dialog when it closes itself.
class CloseWatcher : public QObject {
public:
    explicit CloseWatcher(QDialog* dialog)
        : QObject(dialog)
        , m_dialog(dialog)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close || event->type() == QEvent::HideToParent)
            QTimer::singleShot(0, m_dialog, [d = m_dialog] { d->done(0); });
        return QObject::eventFilter(watched, event);
    }

private:
    QDialog* m_dialog;
};

QIcon StepIcon(const QString& glyph, const QColor& color)
{
    QIcon icon;
    for (int size : {24, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 0, 0, size);
        g.setColorAt(0, color.lighter(135));
        g.setColorAt(1, color.darker(115));
        QPainterPath path;
        const qreal m = size / 16.0;
        path.addRoundedRect(QRectF(m, m, size - 2 * m, size - 2 * m), size / 5.0, size / 5.0);
        p.fillPath(path, g);
        p.setPen(QPen(color.darker(150), qMax(1.0, size / 32.0)));
        p.drawPath(path);
        QFont f(QStringLiteral("Noto Sans CJK KR"));
        f.setBold(true);
        f.setPixelSize(int(size * 0.5));
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, glyph);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QLabel* MakePanel(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMargin(4);
    label->setMinimumHeight(26);
    return label;
}

} // namespace

QIcon ProgramIcon()
{
    QIcon builtIn;
    for (const char* size : {"48", "64", "128", "256"})
        builtIn.addFile(QStringLiteral(":/icons/quilo-maker-%1.png").arg(QLatin1StringView(size)));
    return QIcon::fromTheme(QStringLiteral("quilo-maker"), builtIn);
}

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("VUX - Quilo Maker"));
    setWindowIcon(ProgramIcon());
    resize(1024, 730);

    ChooseFolder = [](QWidget* parent, const QString& caption, const QString& start) {
        return QFileDialog::getExistingDirectory(parent, caption, start, QFileDialog::ShowDirsOnly);
    };

    BuildActions();
    BuildMenus();
    BuildToolBar();

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("CentralPanel"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildTopBar(central);
    m_mdi = new QMdiArea(central);
    m_mdi->setObjectName(QStringLiteral("MdiArea"));
    m_mdi->setBackground(QColor(0x8a, 0x9b, 0xb0));
    m_mdi->installEventFilter(this);
    layout->addWidget(m_mdi, 1);
    setCentralWidget(central);
    BuildDetailPanel(central);

    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(true);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(10);
    connect(Timer1, &QTimer::timeout, this, &TfrmMain::Timer1Timer);

    TimerImsi = new QTimer(this);
    TimerImsi->setObjectName(QStringLiteral("TimerImsi"));
    TimerImsi->setSingleShot(true);
    TimerImsi->setInterval(800);
    connect(TimerImsi, &QTimer::timeout, this, [this] {
        if (TimerImsi->property("tag").toInt() == 1)
            PanelJobInfoDetail->hide();
    });

    ShowJobInfo();
}

TfrmMain::~TfrmMain()
{
    // Children outliving this object's own part must not call back into it.
    for (QMdiSubWindow* sub : m_mdi->subWindowList())
        if (auto* frame = dynamic_cast<TChildFrame*>(sub))
            frame->onClosed = nullptr;
}

QAction* TfrmMain::AddAction(const QString& name, const QString& caption, bool always,
                             void (TfrmMain::*handler)())
{
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    a->setProperty("tag", always ? 1 : 0);
    connect(a, &QAction::triggered, this, handler);
    m_actions << a;
    return a;
}

void TfrmMain::BuildActions()
{
    const QColor job(0x2f, 0x6d, 0xb5), basic(0x2e, 0x8b, 0x57), index(0xd2, 0x69, 0x1e),
        upload(0x7b, 0x3f, 0xa0), tools(0x5f, 0x6b, 0x78), help(0x1f, 0x8a, 0x99);
    struct Def {
        const char* name;
        const char* caption;
        bool always;
        void (TfrmMain::*handler)();
        const char* glyph;
        QColor color;
    };
    const Def defs[] = {
        {"actLogin", "로그인", true, &TfrmMain::actLoginExecute, "로", tools},
        {"FileExit", "프로그램 종료", true, &TfrmMain::FileExitExecute, "끝", tools},
        {"actNewJob", "새 작업 시작", true, &TfrmMain::actNewJobExecute, "새", job},
        {"actOpenJob", "작업 열기", true, &TfrmMain::actOpenJobExecute, "열", job},
        {"actEditJob", "작업 정보 보기 / 변경", false, &TfrmMain::actEditJobExecute, "정", job},
        {"actMakeArticle", "기사 생성", false, &TfrmMain::actMakeArticleExecute, "생", job},
        {"actTag", "기본 태그", false, &TfrmMain::actTagExecute, "태", basic},
        {"ActConnect", "탭 연결", false, &TfrmMain::ActConnectExecute, "연", basic},
        {"actImages", "원문 이미지 연결", false, &TfrmMain::actImagesExecute, "원", basic},
        {"actLink", "링크 구성", false, &TfrmMain::actLinkExecute, "링", basic},
        {"actGetSearchInfo", "색인 정보 가져오기", false, &TfrmMain::actGetSearchInfoExecute, "받", index},
        {"actCategory", "분류 지정", false, &TfrmMain::actCategoryExecute, "분", index},
        {"actKeyword", "색인 작업", false, &TfrmMain::actKeywordExecute, "색", index},
        {"actMetaEdit", "메타 수정", false, &TfrmMain::actMetaEditExecute, "메", index},
        {"actContentPage", "페이지 묶기", false, &TfrmMain::actContentPageExecute, "페", basic},
        {"actUpload", "결과 업로드", false, &TfrmMain::actUploadExecute, "업", upload},
        {"actFileMerge", "파일 합치기", true, &TfrmMain::actFileMergeExecute, "합", tools},
        {"actTagCount", "사용 TAG 통계", false, &TfrmMain::actTagCountExecute, "통", tools},
        {"actHelpOnline", "도움말", true, &TfrmMain::actHelpOnlineExecute, "?", help},
        {"HelpAbout1", "프로그램 정보", true, &TfrmMain::HelpAbout1Execute, "i", help},
    };
    for (const Def& d : defs) {
        QAction* a = AddAction(QString::fromUtf8(d.name), QString::fromUtf8(d.caption), d.always, d.handler);
        a->setIcon(StepIcon(QString::fromUtf8(d.glyph), d.color));
    }
    FindAction("FileExit")->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    FindAction("actHelpOnline")->setShortcut(QKeySequence::HelpContents);
}

QAction* TfrmMain::FindAction(const QString& name) const
{
    for (QAction* a : m_actions)
        if (a->objectName() == name)
            return a;
    return nullptr;
}

void TfrmMain::BuildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));
    auto menu = [&](const char* name, const char* caption, const QStringList& items) {
        QMenu* m = bar->addMenu(QString::fromUtf8(caption));
        m->setObjectName(QString::fromUtf8(name));
        for (const QString& item : items) {
            if (item == "-")
                m->addSeparator();
            else
                m->addAction(FindAction(item));
        }
        return m;
    };
    menu("mnuFile", "파일", {"actLogin", "-", "FileExit"});
    QMenu* jobs = menu("mnuJob", "작업정의", {"actNewJob"});
    // The menu names the open action differently from its tool button; the menu item follows
    // the action's enabled state.
    QAction* open = FindAction("actOpenJob");
    auto* openItem = jobs->addAction(open->icon(), QStringLiteral("기존 작업 열기"));
    openItem->setObjectName(QStringLiteral("mnuOpenJob"));
    connect(openItem, &QAction::triggered, open, &QAction::trigger);
    connect(open, &QAction::changed, openItem, [open, openItem] { openItem->setEnabled(open->isEnabled()); });
    jobs->addAction(FindAction("actEditJob"));
    menu("mnuBasic", "기본작업", {"actMakeArticle", "actTag", "ActConnect", "actImages", "actLink"});
    menu("mnuIndex", "색인작업", {"actGetSearchInfo", "actCategory", "actKeyword", "actMetaEdit"});
    menu("mnuUpload", "업로드", {"actUpload"});
    menu("mnuTools", "도구", {"actFileMerge", "actTagCount"});
    menu("mnuHelp", "도움말", {"actHelpOnline", "HelpAbout1"});
}

void TfrmMain::BuildToolBar()
{
    mainToolBar = addToolBar(QStringLiteral("mainToolBar"));
    mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    mainToolBar->setMovable(false);
    mainToolBar->setIconSize(QSize(32, 32));
    mainToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const QStringList order = {"actNewJob", "actOpenJob", "actEditJob", "actMakeArticle", "-",
                               "actTag", "ActConnect", "actImages", "actLink", "-",
                               "actGetSearchInfo", "actCategory", "actKeyword", "actMetaEdit",
                               "actContentPage", "actUpload"};
    for (const QString& name : order) {
        if (name == "-") {
            mainToolBar->addSeparator();
            continue;
        }
        QAction* a = FindAction(name);
        auto* b = new TStepButton(mainToolBar);
        b->setObjectName("tb_" + name);
        b->setProperty("actionName", name);
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setIconSize(QSize(32, 32));
        QFont small = b->font();
        small.setPointSizeF(small.pointSizeF() * 0.92);
        b->setFont(small);
        auto sync = [a, b] {
            b->setText(a->text());
            b->setIcon(a->icon());
            b->setEnabled(a->isEnabled());
        };
        sync();
        connect(a, &QAction::changed, b, sync);
        connect(b, &QToolButton::clicked, a, &QAction::trigger);
        mainToolBar->addWidget(b);
        m_toolButtons << b;
    }
}

void TfrmMain::BuildTopBar(QWidget* host)
{
    auto* top = new QFrame(host);
    top->setObjectName(QStringLiteral("TopBar"));
    top->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(top);
    row->setContentsMargins(4, 3, 4, 3);
    row->setSpacing(4);

    pnlUser = MakePanel(QStringLiteral("pnlUser"), QStringLiteral("로그인하세요"), top);
    pnlUser->setAlignment(Qt::AlignCenter);
    pnlUser->setMinimumWidth(130);
    pnlUser->setStyleSheet(QStringLiteral("QLabel#pnlUser { background: #ffff80; color: #202020; font-weight: bold; }"));
    pnlUser->setCursor(Qt::PointingHandCursor);
    pnlUser->installEventFilter(this);

    PanelJobname = MakePanel(QStringLiteral("PanelJobname"), NoJobCaption, top);
    PanelJobname->setMinimumWidth(240);
    QFont bold = PanelJobname->font();
    bold.setBold(true);
    PanelJobname->setFont(bold);
    PanelImage = MakePanel(QStringLiteral("PanelImage"), QString(), top);
    PanelImage->setMinimumWidth(230);
    PanelWorkDir = MakePanel(QStringLiteral("PanelWorkDir"), QString(), top);
    PanelWorkDir->setMinimumWidth(120);
    for (QLabel* panel : {PanelJobname, PanelImage, PanelWorkDir}) {
        panel->setStatusTip(PanelHint);
        panel->setToolTip(PanelHint);
        panel->installEventFilter(this);
    }
    row->addWidget(pnlUser);
    row->addWidget(PanelJobname);
    row->addWidget(PanelImage);
    row->addWidget(PanelWorkDir, 1);
    host->layout()->addWidget(top);
}

void TfrmMain::BuildDetailPanel(QWidget* host)
{
    PanelJobInfoDetail = new QFrame(host);
    PanelJobInfoDetail->setObjectName(QStringLiteral("PanelJobInfoDetail"));
    PanelJobInfoDetail->setFrameShape(QFrame::Box);
    PanelJobInfoDetail->setAutoFillBackground(true);
    PanelJobInfoDetail->setStyleSheet(QStringLiteral(
        "QFrame#PanelJobInfoDetail { background: #fbfbf4; border: 1px solid #4a6a8a; }"
        "QLabel#titlePanelJobName { background: #2f6db5; color: white; font-size: 15px; font-weight: bold; "
        "padding: 6px; }"
        "QLabel.columnLabel { font-weight: bold; color: #304050; }"));
    PanelJobInfoDetail->resize(660, 330);

    auto* v = new QVBoxLayout(PanelJobInfoDetail);
    v->setContentsMargins(1, 1, 1, 8);
    v->setSpacing(6);
    titlePanelJobName = new QLabel(NoJobCaption, PanelJobInfoDetail);
    titlePanelJobName->setObjectName(QStringLiteral("titlePanelJobName"));
    v->addWidget(titlePanelJobName);

    auto* body = new QWidget(PanelJobInfoDetail);
    auto* grid = new QGridLayout(body);
    grid->setContentsMargins(10, 0, 10, 0);
    grid->setHorizontalSpacing(8);
    grid->addWidget(new QLabel(QStringLiteral("작업 폴더 :"), body), 0, 0);
    LabelWorkDir = new QLabel(body);
    LabelWorkDir->setObjectName(QStringLiteral("LabelWorkDir"));
    LabelWorkDir->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(LabelWorkDir, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("원문이미지 :"), body), 1, 0);
    LabelSrcImage = new QLabel(body);
    LabelSrcImage->setObjectName(QStringLiteral("LabelSrcImage"));
    grid->addWidget(LabelSrcImage, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("삽입이미지 :"), body), 1, 2);
    LabelInsImage = new QLabel(body);
    LabelInsImage->setObjectName(QStringLiteral("LabelInsImage"));
    grid->addWidget(LabelInsImage, 1, 3);
    grid->setColumnStretch(3, 1);
    v->addWidget(body);

    const int widths[3] = {150, 320, 150};
    auto* headRow = new QHBoxLayout;
    headRow->setContentsMargins(11, 4, 10, 0);
    headRow->setSpacing(0);
    const char* heads[3] = {"탭 이름", "Source 텍스트 파일", "연결 탭 이름"};
    for (int c = 0; c < 3; ++c) {
        auto* l = new QLabel(QString::fromUtf8(heads[c]), PanelJobInfoDetail);
        l->setProperty("class", "columnLabel");
        l->setFixedWidth(widths[c]);
        headRow->addWidget(l);
    }
    headRow->addStretch(1);
    v->addLayout(headRow);

    JobInfo = new QTableWidget(0, 3, PanelJobInfoDetail);
    JobInfo->setObjectName(QStringLiteral("JobInfo"));
    JobInfo->horizontalHeader()->hide();
    JobInfo->verticalHeader()->hide();
    JobInfo->setEditTriggers(QAbstractItemView::NoEditTriggers);
    JobInfo->setSelectionBehavior(QAbstractItemView::SelectRows);
    DrawGridCell(JobInfo, {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignLeft});
    JobInfo->verticalHeader()->setDefaultSectionSize(22);
    for (int c = 0; c < 3; ++c)
        JobInfo->setColumnWidth(c, widths[c]);
    JobInfo->horizontalHeader()->setStretchLastSection(true);
    auto* gridRow = new QHBoxLayout;
    gridRow->setContentsMargins(10, 0, 10, 0);
    gridRow->addWidget(JobInfo);
    v->addLayout(gridRow, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(10, 0, 10, 0);
    buttons->addStretch(1);
    btnHidePanel = new QPushButton(QStringLiteral("닫기"), PanelJobInfoDetail);
    btnHidePanel->setObjectName(QStringLiteral("btnHidePanel"));
    btnHidePanel->setMinimumWidth(90);
    connect(btnHidePanel, &QPushButton::clicked, PanelJobInfoDetail, &QWidget::hide);
    buttons->addWidget(btnHidePanel);
    v->addLayout(buttons);

    PlaceDetailPanel();
    PanelJobInfoDetail->raise();
}

void TfrmMain::PlaceDetailPanel()
{
    if (!PanelJobInfoDetail || !m_mdi)
        return;
    const QRect area = m_mdi->geometry();
    const int w = qMin(660, qMax(300, area.width() - 16));
    const int h = qMin(330, qMax(200, area.height() - 16));
    PanelJobInfoDetail->setGeometry(area.left() + 8, area.top() + 8, w, h);
}

void TfrmMain::ShowDetailPanel()
{
    TimerImsi->stop();
    PlaceDetailPanel();
    PanelJobInfoDetail->show();
    PanelJobInfoDetail->raise();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == pnlUser) {
            FindAction("actLogin")->trigger();
            return true;
        }
        if (watched == PanelJobname || watched == PanelImage || watched == PanelWorkDir) {
            ShowDetailPanel();
            return true;
        }
    }
    if (watched == m_mdi && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        PlaceDetailPanel();
    return QMainWindow::eventFilter(watched, event);
}

int TfrmMain::OpenChildCount() const
{
    int n = 0;
    for (QMdiSubWindow* sub : m_mdi->subWindowList())
        if (!sub->isHidden())
            ++n;
    return n;
}

void TfrmMain::CloseChildrenLastToFirst()
{
    const QList<QMdiSubWindow*> subs = m_mdi->subWindowList(QMdiArea::CreationOrder);
    for (qsizetype i = subs.size() - 1; i >= 0; --i) {
        QPointer<QMdiSubWindow> sub = subs[i];
        if (!sub || sub->isHidden())
            continue;
        sub->close();
        QCoreApplication::processEvents();
    }
}

bool TfrmMain::CloseAllChildren()
{
    if (OpenChildCount() == 0)
        return true;
    if (!AskYesNoBox(this, QStringLiteral("작업 중인 창을 모두 닫아야 다른 작업을 진행할 수 있습니다.\r\n"
                                          "모든 창을 닫을까요?")))
        return false;
    CloseChildrenLastToFirst();
    return OpenChildCount() == 0;
}

bool TfrmMain::RequireJob()
{
    if (!myLIB.Jobs.WorkFolder.isEmpty())
        return true;
    ShowInfoBox(this, QStringLiteral("작업이 정의되어 있지 않습니다."));
    if (!myLIB.IsLoggedIn())
        ShowInfoBox(this, LoginToDefineJob);
    return false;
}

bool TfrmMain::EnsureCodeTable()
{
    if (CodeTableRunner)
        return CodeTableRunner(this) == 1;
    // The code table routine registers itself under this name; without it there is nothing
    // to build and the steps go on.
    if (const DialogRunner* run = FindDialogRunner(QStringLiteral("EnsureCodeTable")))
        return (*run)(this) == 1;
    return true;
}

void TfrmMain::ChildOpen(const QString& name)
{
    for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
        if (!sub->isHidden() && sub->property("windowName").toString() == name) {
            sub->showMaximized();
            m_mdi->setActiveSubWindow(sub);
            return;
        }
    }
    WindowKind kind = WindowKind::Modal;
    const WindowFactory* factory = FindWindowFactory(name, &kind);
    if (!factory) {
        // Nothing opened: no tool button stays pressed for it.
        ChildClosed();
        ShowInfoBox(this, NotReadyMessage);
        return;
    }

    if (kind == WindowKind::Child) {
        auto* frame = new TChildFrame;
        frame->setAttribute(Qt::WA_DeleteOnClose);
        frame->setProperty("windowName", name);
        frame->setObjectName("sub_" + name);
        QWidget* w = (*factory)(frame);
        if (!w) {
            delete frame;
            return;
        }
        if (w->objectName().isEmpty())
            w->setObjectName(name);
        frame->setWidget(w);
        frame->setWindowTitle(w->windowTitle());
        frame->setWindowIcon(windowIcon());
        frame->onClosed = [this] { ChildClosed(); };
        m_mdi->addSubWindow(frame);
        frame->showMaximized();
        m_mdi->setActiveSubWindow(frame);
        return;
    }

    QPointer<QWidget> w = (*factory)(this);
    if (!w)
        return;
    if (w->objectName().isEmpty())
        w->setObjectName(name);
    if (auto* dialog = qobject_cast<QDialog*>(w.data())) {
        dialog->exec();
    } else {
        // A plain widget registered as modal runs inside a dialog of its own.
        QDialog host(this);
        host.setWindowTitle(w->windowTitle());
        auto* l = new QVBoxLayout(&host);
        l->setContentsMargins(0, 0, 0, 0);
        w->setParent(&host, Qt::Widget);
        l->addWidget(w);
        w->installEventFilter(new CloseWatcher(&host));
        w->show();
        host.exec();
        if (w)
            w->setParent(nullptr);
    }
    delete w.data();
}

void TfrmMain::ChildClosed()
{
    for (QToolButton* b : m_toolButtons)
        b->setChecked(false);
}

void TfrmMain::MarkToolButton(QAction* executing)
{
    const QString name = executing ? executing->objectName() : QString();
    for (QToolButton* b : m_toolButtons)
        b->setChecked(b->property("actionName").toString() == name);
}

void TfrmMain::ShowJobInfo()
{
    const TJobDefine& job = myLIB.Jobs;
    const bool loaded = job.IsLoaded();
    if (loaded) {
        PanelJobname->setText(job.pNAME);
        PanelImage->setText(QStringLiteral("원문이미지: ") + job.srcImage + QStringLiteral("  |  ")
                            + QStringLiteral("삽입이미지: ") + job.insImage);
        PanelWorkDir->setText(job.WorkFolder);
    } else {
        PanelJobname->setText(NoJobCaption);
        PanelImage->clear();
        PanelWorkDir->clear();
    }

    for (QAction* a : m_actions)
        a->setEnabled(a->property("tag").toInt() == 1 || loaded);
    if (loaded) {
        FindAction("actImages")->setEnabled(job.srcImage == QLatin1String("Y"));
        bool anyLink = false;
        for (const QString& link : job.TabsLink)
            anyLink = anyLink || !link.isEmpty();
        FindAction("ActConnect")->setEnabled(anyLink);
    }

    titlePanelJobName->setText(PanelJobname->text());
    LabelWorkDir->setText(PanelWorkDir->text());
    LabelSrcImage->setText(job.srcImage);
    LabelInsImage->setText(job.insImage);
    const int rows = qBound(0, job.TabsCount, MaxTabs);
    JobInfo->clearContents();
    JobInfo->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        const QString cells[3] = {job.TabsName[r], job.TabsFile[r], job.TabsLink[r]};
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            item->setToolTip(cells[c]);
            JobInfo->setItem(r, c, item);
        }
    }
}

void TfrmMain::CheckFonts()
{
    const QStringList families = QFontDatabase::families();
    const QStringList korean = {QStringLiteral("새굴림"), QStringLiteral("New Gulim"),
                                QStringLiteral("Noto Sans CJK KR"), QStringLiteral("Noto Serif CJK KR"),
                                QStringLiteral("NanumGothic"), QStringLiteral("Nanum Gothic"),
                                QStringLiteral("NanumMyeongjo")};
    for (const QString& f : korean)
        if (families.contains(f, Qt::CaseInsensitive))
            return;
    ShowInfoBox(this, QStringLiteral("이 프로그램은 새굴림 글꼴을 사용합니다.\r\n"
                                     "새굴림 글꼴이 없으면 옛 한글과 확장 한자가 안 보입니다.\r\n"
                                     "새굴림 글꼴을 시스템에 설치하십시오."));
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_firstShown)
        return;
    m_firstShown = true;
    // Let the window paint before the font question and the slower start-up steps.
    QTimer::singleShot(0, this, [this] {
        CheckFonts();
        Timer1->start();
    });
}

void TfrmMain::Timer1Timer()
{
    Timer1->stop();
    RestoreFormPosition(this, QStringLiteral("frmMain"));

    for (QToolButton* b : m_toolButtons) {
        b->setStatusTip(b->text());
        b->setToolTip(b->text());
    }
    for (QAction* a : m_actions)
        a->setStatusTip(a->text());

    LoadLastJob(myLIB.Jobs);
    // A remembered folder that is no longer a job folder is no open job.
    if (!IsJobFolder(myLIB.Jobs.WorkFolder))
        myLIB.Jobs.WorkFolder.clear();
    ShowJobInfo();

    if (!EnsurePendroluxFolder()) {
        ShowInfoBox(this, QStringLiteral("HTML 작업 폴더를 생성하지 못했습니다.\r\n%1/\r\n"
                                         "폴더를 수동으로 생성하신 후 작업하십시오.")
                              .arg(PendroluxFolder()));
        return;
    }
    QString error;
    if (!WritePendroluxCss(&error))
        statusBar()->showMessage(error, 10000);
    if (ShowAboutBoxAtStart) {
        if (const DialogRunner* about = FindDialogRunner(QStringLiteral("AboutBox")))
            (*about)(this);
    }
    TimerImsi->setProperty("tag", 1);
    TimerImsi->start();
}

void TerminateProgram(QWidget* from)
{
    if (!from)
        return;
    QWidget* main = from->window();
    main->setProperty("terminating", true);
    QTimer::singleShot(0, main, [main] {
        main->close();
        main->setProperty("terminating", QVariant());
    });
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    const bool yes = property("terminating").toBool() || AskYesNoBox(this, QStringLiteral("프로그램을 종료합니까?"));
    SaveFormPosition(this, QStringLiteral("frmMain"));
    CloseChildrenLastToFirst();
    // A child that kept its unsaved work open keeps the program running too.
    if (!yes || OpenChildCount() > 0) {
        event->ignore();
        return;
    }
    if (!myLIB.Jobs.WorkFolder.isEmpty()) {
        for (int n = 0; n <= 4; ++n) {
            const QString page = PreviewPageFileName(myLIB.Jobs, n);
            if (!page.isEmpty() && QFile::exists(page))
                QFile::remove(page);
        }
    }
    const QString updater = DataFolder() + QStringLiteral("/Tupdate.exe");
    if (QFile::exists(updater))
        QFile::remove(updater);
    event->accept();
}

// ---- actions ----

void TfrmMain::actLoginExecute()
{
    const DialogRunner* login = FindDialogRunner(QStringLiteral("frmLogin"));
    if (!login) {
        ShowInfoBox(this, NotReadyMessage);
        return;
    }
    if ((*login)(this) == 1)
        pnlUser->setText(myLIB.staffNAME);
}

void TfrmMain::actNewJobExecute()
{
    if (!CloseAllChildren())
        return;
    if (!myLIB.IsLoggedIn()) {
        ShowInfoBox(this, LoginToDefineJob);
        return;
    }
    TJobDefine& job = myLIB.Jobs;
    job.WorkFolder.clear();
    job.pID.clear();
    job.pCode.clear();
    job.pNAME.clear();
    ClearJobTabs(job);
    SaveLastWorkFolder(job.WorkFolder);
    ShowJobInfo();
    ChildOpen(QStringLiteral("frmJobs"));
    ShowJobInfo();
}

void TfrmMain::actOpenJobExecute()
{
    if (!CloseAllChildren())
        return;
    QString start = myLIB.Jobs.WorkFolder.isEmpty() ? QDir::homePath() : myLIB.Jobs.WorkFolder;
    for (;;) {
        QString folder = ChooseFolder ? ChooseFolder(this, QStringLiteral("작업하고 있던 폴더를 선택하십시오."), start)
                                      : QString();
        if (folder.isEmpty())
            return;
        folder = NormalizeJobPath(QDir(folder).absolutePath());
        if (IsJobFolder(folder)) {
            TJobDefine job;
            job.WorkFolder = folder;
            LoadJobFile(job);
            myLIB.Jobs = job;
            SaveLastWorkFolder(folder);
            ShowJobInfo();
            return;
        }
        ShowInfoBox(this, NotJobFolderMessage);
        start = folder;
    }
}

void TfrmMain::actEditJobExecute()
{
    if (!RequireJob() || !CloseAllChildren())
        return;
    ChildOpen(QStringLiteral("frmJobs"));
    ShowJobInfo();
}

bool TfrmMain::StepGuards(bool closeChildren, bool codeTable)
{
    if (closeChildren && !CloseAllChildren())
        return false;
    if (!RequireJob())
        return false;
    if (codeTable && !EnsureCodeTable())
        return false;
    return true;
}

void TfrmMain::actMakeArticleExecute()
{
    if (!StepGuards(true, false))
        return;
    ChildOpen(QStringLiteral("frmMakeArticle"));
}

void TfrmMain::actTagExecute()
{
    if (!StepGuards(true, false))
        return;
    MarkToolButton(FindAction("actTag"));
    ChildOpen(QStringLiteral("frmTag"));
}

void TfrmMain::ActConnectExecute()
{
    if (!StepGuards(true, false))
        return;
    if (myLIB.Jobs.TabsCount <= 1) {
        ShowInfoBox(this, QStringLiteral("탭이 1개밖에 없으므로 탭 연결 작업은 필요 없습니다."));
        return;
    }
    MarkToolButton(FindAction("ActConnect"));
    ChildOpen(QStringLiteral("frmConnect"));
}

void TfrmMain::actImagesExecute()
{
    if (!StepGuards(true, false))
        return;
    MarkToolButton(FindAction("actImages"));
    ChildOpen(QStringLiteral("frmImages"));
}

void TfrmMain::actLinkExecute()
{
    if (!StepGuards(true, false))
        return;
    MarkToolButton(FindAction("actLink"));
    ChildOpen(QStringLiteral("frmLink"));
}

void TfrmMain::actGetSearchInfoExecute()
{
    if (!StepGuards(false, true))
        return;
    if (!myLIB.IsLoggedIn()) {
        ShowInfoBox(this, QStringLiteral("색인 정보를 받으려면 로그인하십시오."));
        return;
    }
    MarkToolButton(FindAction("actGetSearchInfo"));
    ChildOpen(QStringLiteral("frmGetSearchInfo"));
}

void TfrmMain::actCategoryExecute()
{
    if (!StepGuards(true, true))
        return;
    MarkToolButton(FindAction("actCategory"));
    ChildOpen(QStringLiteral("frmCategory"));
}

void TfrmMain::actKeywordExecute()
{
    if (!StepGuards(true, true))
        return;
    MarkToolButton(FindAction("actKeyword"));
    ChildOpen(QStringLiteral("frmKeyword"));
}

void TfrmMain::actMetaEditExecute()
{
    if (!StepGuards(true, true))
        return;
    MarkToolButton(FindAction("actMetaEdit"));
    ChildOpen(QStringLiteral("frmMetaEdit"));
}

void TfrmMain::actContentPageExecute()
{
    if (!StepGuards(true, true))
        return;
    MarkToolButton(FindAction("actContentPage"));
    ChildOpen(QStringLiteral("frmContentPage"));
}

void TfrmMain::actUploadExecute()
{
    if (!StepGuards(true, true))
        return;
    if (!myLIB.IsLoggedIn()) {
        ShowInfoBox(this, QStringLiteral("결과를 업로드하려면 로그인하십시오."));
        return;
    }
    MarkToolButton(FindAction("actUpload"));
    ChildOpen(QStringLiteral("frmUpload"));
}

void TfrmMain::actFileMergeExecute()
{
    ChildOpen(QStringLiteral("frmFileMerge"));
}

void TfrmMain::actTagCountExecute()
{
    if (!RequireJob())
        return;
    ChildOpen(QStringLiteral("frmUsedTags"));
}

void TfrmMain::actHelpOnlineExecute()
{
    const QString url = ServerBaseURL() + QStringLiteral("/help/help.htm");
    // Without a browser the operator at least learns where the help lives.
    if (!QDesktopServices::openUrl(QUrl(url)))
        ShowInfoBox(this, QStringLiteral("도움말을 열지 못했습니다.\r\n") + url);
}

void TfrmMain::HelpAbout1Execute()
{
    const DialogRunner* about = FindDialogRunner(QStringLiteral("AboutBox"));
    if (!about) {
        ShowInfoBox(this, NotReadyMessage);
        return;
    }
    (*about)(this);
}

void TfrmMain::FileExitExecute()
{
    close();
}
