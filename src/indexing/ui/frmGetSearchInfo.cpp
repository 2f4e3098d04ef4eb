#include "indexing/ui/frmGetSearchInfo.h"

#include "articles/ArticleIndex.h"
#include "indexing/KeywordDefinitions.h"
#include "jobs/JobLayout.h"
#include "server/HttpClient.h"
#include "server/VUX_codes.h"
#include "shell/myLIB.h"
#include "shell/ui/GridPainters.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/WindowRegistry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

static WindowRegistrar reg(QStringLiteral("frmGetSearchInfo"), WindowKind::Modal,
                           [](QWidget* parent) -> QWidget* { return new TfrmGetSearchInfo(parent); });

namespace {

// Passes the fetch's messages on, except once the operator has stopped it: the "no server"
// message would then only report his own stop back to him.
class QuietOnceStopped : public Interaction {
public:
    QuietOnceStopped(Interaction& inner, const bool& stopped)
        : m_inner(inner)
        , m_stopped(stopped)
    {
    }
    void ShowInfo(const QString& text) override
    {
        if (!m_stopped)
            m_inner.ShowInfo(text);
    }
    bool AskYesNo(const QString& text) override { return !m_stopped && m_inner.AskYesNo(text); }
    void Report(const QString& line) override { m_inner.Report(line); }
    void Progress(int bar, qint64 position, qint64 maximum) override { m_inner.Progress(bar, position, maximum); }
    void Status(int slot, const QString& text) override { m_inner.Status(slot, text); }

private:
    Interaction& m_inner;
    const bool& m_stopped;
};

} // namespace

static QTableWidget* MakeGrid(QWidget* parent, const char* name, const QString& second)
{
    auto* grid = new QTableWidget(0, 2, parent);
    grid->setObjectName(name);
    grid->setHorizontalHeaderLabels({QStringLiteral("필드명"), second});
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(22);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DrawGridCell(grid);
    return grid;
}

static QWidget* TitledPane(QWidget* parent, const char* name, const QString& title, QTableWidget*& grid,
                           const char* gridName, const QString& second)
{
    auto* pane = new QWidget(parent);
    pane->setObjectName(name);
    auto* l = new QVBoxLayout(pane);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(2);
    auto* caption = new QLabel(title, pane);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    caption->setContentsMargins(4, 4, 4, 2);
    l->addWidget(caption);
    grid = MakeGrid(pane, gridName, second);
    l->addWidget(grid, 1);
    return pane;
}

TfrmGetSearchInfo::TfrmGetSearchInfo(QWidget* parent)
    : QDialog(parent)
{
    setObjectName("frmGetSearchInfo");
    setWindowTitle(QStringLiteral("색인 정보 가져오기"));
    resize(980, 560);
    m_ownUi = new WidgetInteraction(this);
    m_ui = m_ownUi;
    m_http = new THttpClient(this);
    m_post = ServerFormPost(m_http);

    PanelTop = new QFrame(this);
    PanelTop->setObjectName("PanelTop");
    static_cast<QFrame*>(PanelTop)->setFrameShape(QFrame::StyledPanel);
    auto* top = new QHBoxLayout(PanelTop);
    LabelGoodsName = new QLabel(PanelTop);
    LabelGoodsName->setObjectName("LabelGoodsName");
    QFont bold = LabelGoodsName->font();
    bold.setBold(true);
    LabelGoodsName->setFont(bold);
    LabelPID = new QLabel(PanelTop);
    LabelPID->setObjectName("LabelPID");
    LabelPDCODE = new QLabel(PanelTop);
    LabelPDCODE->setObjectName("LabelPDCODE");
    Label3 = new QLabel(QStringLiteral("탭="), PanelTop);
    Label3->setObjectName("Label3");
    SourceCombo = new QComboBox(PanelTop);
    SourceCombo->setObjectName("SourceCombo");
    SourceCombo->setMinimumWidth(160);
    btnReload = new QPushButton(QStringLiteral("새로 받기"), PanelTop);
    btnReload->setObjectName("btnReload");
    btnCancel = new QPushButton(QStringLiteral("닫기"), PanelTop);
    btnCancel->setObjectName("btnCancel");
    top->addWidget(LabelGoodsName);
    top->addSpacing(16);
    top->addWidget(LabelPID);
    top->addSpacing(16);
    top->addWidget(LabelPDCODE);
    top->addSpacing(24);
    top->addWidget(Label3);
    top->addWidget(SourceCombo);
    top->addStretch(1);
    top->addWidget(btnReload);
    top->addWidget(btnCancel);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setChildrenCollapsible(false);
    PanelFixed = TitledPane(Splitter1, "PanelFixed", QStringLiteral("추출하지 않는 값(서버에서 지정한 고정값)"),
                            gridFixed, "gridFixed", QStringLiteral("고정값"));
    PanelSearch = TitledPane(Splitter1, "PanelSearch", QStringLiteral("데이터에서 추출할 항목"), gridSearch,
                             "gridSearch", QStringLiteral("추출방법"));
    Splitter1->setSizes({460, 520});
    gridFixed->installEventFilter(this);
    gridSearch->installEventFilter(this);

    PanelError = new QFrame(this);
    PanelError->setObjectName("PanelError");
    static_cast<QFrame*>(PanelError)->setFrameShape(QFrame::Box);
    auto* errorLayout = new QVBoxLayout(PanelError);
    auto* errorTitle = new QLabel(QStringLiteral("색인어 수신 오류"), PanelError);
    errorTitle->setObjectName("LabelErrorTitle");
    errorTitle->setFont(bold);
    errorTitle->setAutoFillBackground(true);
    QPalette pal = errorTitle->palette();
    pal.setColor(QPalette::Window, QColor(160, 0, 0));
    pal.setColor(QPalette::WindowText, Qt::white);
    errorTitle->setPalette(pal);
    errorTitle->setContentsMargins(6, 4, 6, 4);
    errorMsg = new QPlainTextEdit(PanelError);
    errorMsg->setObjectName("errorMsg");
    errorMsg->setReadOnly(true);
    errorMsg->setLineWrapMode(QPlainTextEdit::NoWrap);
    Button1 = new QPushButton(QStringLiteral("확인"), PanelError);
    Button1->setObjectName("Button1");
    errorLayout->addWidget(errorTitle);
    errorLayout->addWidget(errorMsg, 1);
    auto* errorButtons = new QHBoxLayout;
    errorButtons->addStretch(1);
    errorButtons->addWidget(Button1);
    errorLayout->addLayout(errorButtons);
    PanelError->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PanelTop);
    layout->addWidget(Splitter1, 1);
    layout->addWidget(PanelError, 1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setSingleShot(true);
    Timer1->setInterval(10);

    connect(Timer1, &QTimer::timeout, this, &TfrmGetSearchInfo::Timer1Timer);
    connect(btnReload, &QPushButton::clicked, this, &TfrmGetSearchInfo::btnReloadClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button1, &QPushButton::clicked, PanelError, &QWidget::hide);
    connect(SourceCombo, &QComboBox::currentIndexChanged, this, &TfrmGetSearchInfo::SourceComboChange);
}

TfrmGetSearchInfo::~TfrmGetSearchInfo() = default;

void TfrmGetSearchInfo::reject()
{
    if (m_busy) {
        m_cancelPending = true;
        m_http->Abort();
        return;
    }
    QDialog::reject();
}

void TfrmGetSearchInfo::closeEvent(QCloseEvent* event)
{
    if (m_busy) {
        event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(event);
}

void TfrmGetSearchInfo::setInteraction(Interaction* ui)
{
    m_ui = ui ? ui : m_ownUi;
}

void TfrmGetSearchInfo::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Painted first, then the file is read or fetched.
    if (!m_started) {
        m_started = true;
        Timer1->start();
    }
}

bool TfrmGetSearchInfo::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == gridFixed || watched == gridSearch) && event->type() == QEvent::Resize)
        SizeColumns();
    return QDialog::eventFilter(watched, event);
}

void TfrmGetSearchInfo::SizeColumns()
{
    // The value column of the fixed grid and the name column of the search grid keep their width;
    // the other column takes the rest less room for the scroll bar.
    gridFixed->setColumnWidth(1, 150);
    gridFixed->setColumnWidth(0, qMax(60, gridFixed->width() - 150 - 25));
    gridSearch->setColumnWidth(0, 300);
    gridSearch->setColumnWidth(1, qMax(60, gridSearch->width() - 300 - 25));
}

void TfrmGetSearchInfo::Timer1Timer()
{
    Timer1->stop();
    const TJobDefine& job = myLIB.Jobs;
    LabelGoodsName->setText(QStringLiteral("제품명=") + job.pNAME);
    LabelPID->setText(QStringLiteral("PID=") + job.pID);
    LabelPDCODE->setText(QStringLiteral("PDCODE=") + job.pCode);
    ClearGrids();
    if (QFileInfo::exists(KeywordDefinitionsFile(job))) {
        Display();
        return;
    }
    if (Download())
        Display();
    else
        reject();
}

void TfrmGetSearchInfo::btnReloadClick()
{
    if (QFileInfo::exists(KeywordDefinitionsFile(myLIB.Jobs)) && !m_ui->AskYesNo(MsgKeywordsExists))
        return;
    if (Download())
        Display();
}

bool TfrmGetSearchInfo::Download()
{
    if (!myLIB.IsLoggedIn()) {
        PanelTop->hide();
        Splitter1->hide();
    }
    const TVUX_codes* codes = SessionCodes();
    if (myLIB.IsLoggedIn() && !codes) {
        m_ui->ShowInfo(MsgCodeTableMissing);
        return false;
    }
    static const TVUX_codes noCodes;
    btnReload->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_busy = true;
    m_cancelPending = false;
    QuietOnceStopped ui(*m_ui, m_cancelPending);
    const KeywordFetchResult r = FetchKeywordDefinitions(myLIB.Jobs, myLIB.LoginID, myLIB.LoginPW,
                                                         codes ? *codes : noCodes, m_post, ui);
    m_busy = false;
    QApplication::restoreOverrideCursor();
    btnReload->setEnabled(true);
    if (m_cancelPending) {
        m_cancelPending = false;
        QDialog::reject();
        return false;
    }
    if (r.status == KeywordFetch::NotLoggedIn) {
        reject();
        return false;
    }
    if (r.status == KeywordFetch::BadLine) {
        errorMsg->setPlainText(r.errorPanel);
        PanelError->show();
    }
    return r.status == KeywordFetch::Ok;
}

void TfrmGetSearchInfo::ClearGrids()
{
    gridFixed->setRowCount(0);
    gridSearch->setRowCount(0);
}

void TfrmGetSearchInfo::Display()
{
    isInit = false;
    SourceCombo->clear();
    SourceCombo->setEnabled(true);
    ClearGrids();
    if (!LoadKeywordDefinitions(*m_ui))
        return;
    for (const QString& id : myLIB.sch_ar_ids) {
        const int tab = TabIndexById(myLIB.Jobs, id);
        if (tab < 0) {
            m_ui->ShowInfo(MsgKeywordsUnknownTab(id));
            // Entries would no longer line up with the tab IDs behind them.
            SourceCombo->setEnabled(false);
            return;
        }
        SourceCombo->addItem(myLIB.Jobs.TabsName[tab]);
    }
    if (SourceCombo->count() == 0) {
        m_ui->ShowInfo(MsgKeywordsWrongInfo);
        return;
    }
    SourceCombo->setCurrentIndex(0);
    FillGrids(0);
    isInit = true;
}

void TfrmGetSearchInfo::SourceComboChange()
{
    if (isInit)
        FillGrids(SourceCombo->currentIndex());
}

void TfrmGetSearchInfo::FillGrids(int entry)
{
    ClearGrids();
    const TVUX_codes* codes = SessionCodes();
    if (!codes || entry < 0 || entry >= myLIB.sch_ar_ids.size())
        return;
    const QString arId = myLIB.sch_ar_ids[entry];
    for (const TvuxSchOption& o : myLIB.schOptions) {
        if (o.ar_id != arId)
            continue;
        QTableWidget* grid = o.stype == KeywordFixed ? gridFixed : o.stype == KeywordExtract ? gridSearch : nullptr;
        if (!grid) {
            m_ui->ShowInfo(MsgKeywordsGridKind);
            return;
        }
        const TVuxColumn& c = codes->vux_Columns[o.sptr];
        const int row = grid->rowCount();
        grid->insertRow(row);
        grid->setItem(row, 0, new QTableWidgetItem(c.GroupName + " > " + c.ColumnName));
        grid->setItem(row, 1, new QTableWidgetItem(o.value));
    }
}
