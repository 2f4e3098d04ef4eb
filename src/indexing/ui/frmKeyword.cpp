#include "indexing/ui/frmKeyword.h"

#include "articles/ui/ArticleTreeWidget.h"
#include "indexing/KeywordDefinitions.h"
#include "indexing/ui/frmSchResult.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/Settings.h"
#include "shell/myLIB.h"
#include "shell/ui/GridPainters.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/WindowRegistry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

static WindowRegistrar reg(QStringLiteral("frmKeyword"), WindowKind::Child,
                           [](QWidget* p) { return new TfrmKeyword(p); });

// ---------------------------------------------------------------- result model

void TResultSheetModel::setRows(TSheetRows rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int TResultSheetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || m_rows.isEmpty() ? 0 : int(m_rows.size()) - 1;
}

int TResultSheetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || m_rows.isEmpty() ? 0 : int(m_rows.first().size());
}

QVariant TResultSheetModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return m_rows.value(index.row() + 1).value(index.column());
}

QVariant TResultSheetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_rows.isEmpty() ? QVariant() : QVariant(m_rows.first().value(section));
    return section + 1;
}

// ---------------------------------------------------------------- window

namespace {

// The run's tab changes and article trees, handed to the window thread.
class WindowObserver : public TKeywordRunObserver {
public:
    explicit WindowObserver(QObject* context)
        : m_context(context)
    {
    }
    std::function<void(int, TKeywordColumns)> onTab;
    std::function<void(TArticleTree)> onTree;

    void TabStarted(int entry, const TKeywordColumns& columns) override
    {
        if (m_context)
            QMetaObject::invokeMethod(m_context, [f = onTab, entry, columns] { f(entry, columns); }, Qt::QueuedConnection);
    }
    void TreeLoaded(const TArticleTree& tree) override
    {
        if (m_context)
            QMetaObject::invokeMethod(m_context, [f = onTree, tree] { f(tree); }, Qt::QueuedConnection);
    }

private:
    QPointer<QObject> m_context;
};

QProgressBar* MakeBar(QWidget* parent, const QString& name)
{
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setTextVisible(false);
    bar->setRange(0, 0);
    bar->setValue(0);
    bar->setFixedHeight(16);
    return bar;
}

} // namespace

TfrmKeyword::TfrmKeyword(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("frmKeyword"));
    setWindowTitle(QStringLiteral("색인 작업"));
    resize(1000, 700);

    ToolBarConnect = new QToolBar(this);
    ToolBarConnect->setObjectName(QStringLiteral("ToolBarConnect"));
    ToolBarConnect->setToolButtonStyle(Qt::ToolButtonTextOnly);
    Label1 = new QLabel(QStringLiteral("색인 작업"), ToolBarConnect);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 14pt; padding: 0 16px 0 8px;"));
    ToolBarConnect->addWidget(Label1);
    tbMake = new QToolButton(ToolBarConnect);
    tbMake->setObjectName(QStringLiteral("tbMake"));
    tbMake->setText(QStringLiteral("색인 작업 실행"));
    ToolBarConnect->addWidget(tbMake);
    ToolBarConnect->addSeparator();
    tbReload = new QToolButton(ToolBarConnect);
    tbReload->setObjectName(QStringLiteral("tbReload"));
    tbReload->setText(QStringLiteral("결과 파일(Excel) 읽기"));
    ToolBarConnect->addWidget(tbReload);

    TabsCombo = new QComboBox(this);
    TabsCombo->setObjectName(QStringLiteral("TabsCombo"));
    TabsCombo->setMinimumWidth(200);

    gridDefine = new QTableWidget(0, 3, this);
    gridDefine->setObjectName(QStringLiteral("gridDefine"));
    gridDefine->setHorizontalHeaderLabels({QString(), QStringLiteral("참조문자열"), QStringLiteral("저장 위치")});
    gridDefine->verticalHeader()->hide();
    gridDefine->verticalHeader()->setDefaultSectionSize(22);
    gridDefine->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridDefine->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridDefine->setColumnWidth(0, 64);
    gridDefine->setColumnWidth(1, 357);
    gridDefine->setColumnWidth(2, 471);
    gridDefine->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    DrawGridCell(gridDefine, {Qt::AlignHCenter});

    aTree = new TArticleTreeWidget(this);
    aTree->setObjectName(QStringLiteral("aTree"));
    aTree->hide();

    panelPgr = new QWidget(this);
    panelPgr->setObjectName(QStringLiteral("panelPgr"));
    auto* pgr = new QGridLayout(panelPgr);
    auto* label8 = new QLabel(QStringLiteral("색인 작업중입니다."), panelPgr);
    label8->setObjectName(QStringLiteral("Label8"));
    label8->setStyleSheet(QStringLiteral("font-weight: bold;"));
    LabelTiming = new QLabel(QStringLiteral("00:00:00"), panelPgr);
    LabelTiming->setObjectName(QStringLiteral("LabelTiming"));
    LabelTiming->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pgrTabs = MakeBar(panelPgr, QStringLiteral("pgrTabs"));
    pgrPages = MakeBar(panelPgr, QStringLiteral("pgrPages"));
    pgrExcel = MakeBar(panelPgr, QStringLiteral("pgrExcel"));
    pgr->addWidget(label8, 0, 0, 1, 2);
    pgr->addWidget(LabelTiming, 0, 2);
    const QList<QPair<QString, QProgressBar*>> bars = {
        {QStringLiteral("탭 진행"), pgrTabs}, {QStringLiteral("페이지별 검색"), pgrPages}, {QStringLiteral("Excel 저장"), pgrExcel}};
    for (int i = 0; i < bars.size(); ++i) {
        pgr->addWidget(new QLabel(bars[i].first, panelPgr), i + 1, 0);
        pgr->addWidget(bars[i].second, i + 1, 1, 1, 2);
    }
    pgr->setColumnStretch(1, 1);
    panelPgr->setMaximumWidth(560);
    panelPgr->hide();

    auto* top = new QWidget(this);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    auto* tabRow = new QHBoxLayout;
    auto* tabLabel = new QLabel(QStringLiteral("탭 :"), top);
    tabRow->addWidget(tabLabel);
    tabRow->addWidget(TabsCombo);
    tabRow->addStretch();
    topLayout->addLayout(tabRow);
    topLayout->addWidget(gridDefine, 1);
    topLayout->addWidget(panelPgr, 0, Qt::AlignHCenter);

    panelBottom = new QWidget(this);
    panelBottom->setObjectName(QStringLiteral("panelBottom"));
    auto* bottom = new QVBoxLayout(panelBottom);
    bottom->setContentsMargins(0, 0, 0, 0);
    TableControl = new QTabWidget(panelBottom);
    TableControl->setObjectName(QStringLiteral("TableControl"));
    bottom->addWidget(TableControl);
    PanelWaiting = new QLabel(QStringLiteral("표에 데이터를 배치하고 있습니다. 잠시만 기다려 주십시오..."), this);
    PanelWaiting->setObjectName(QStringLiteral("PanelWaiting"));
    PanelWaiting->setAlignment(Qt::AlignCenter);
    PanelWaiting->setStyleSheet(QStringLiteral("background: #ffffe0; border: 1px solid gray; padding: 12px;"));
    PanelWaiting->hide();

    Splitter2 = new QSplitter(Qt::Vertical, this);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->addWidget(top);
    Splitter2->addWidget(panelBottom);
    Splitter2->setChildrenCollapsible(false);
    panelBottom->hide();

    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(4, 4, 4, 4);
    main->addWidget(ToolBarConnect);
    main->addWidget(Splitter2, 1);

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);
    connect(Timer2, &QTimer::timeout, this, &TfrmKeyword::Timer2Timer);

    m_ui = new WidgetInteraction(this);
    m_ui->setProgressBars({pgrTabs, pgrPages, pgrExcel});

    // Esc anywhere in the window, but only while a run goes on.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WidgetWithChildrenShortcut);
    connect(esc, &QShortcut::activated, this, [this] {
        if (SearchInProgress)
            m_ui->RequestStop();
    });

    connect(tbMake, &QToolButton::clicked, this, &TfrmKeyword::tbMakeClick);
    connect(tbReload, &QToolButton::clicked, this, [this] { ReadResults(true); });
    connect(TabsCombo, &QComboBox::currentIndexChanged, this, &TfrmKeyword::TabsComboChange);
    connect(TableControl, &QTabWidget::currentChanged, this, &TfrmKeyword::TableControlChange);
}

TfrmKeyword::~TfrmKeyword()
{
    // Should the window go during a run, the worker ends first; a box it waits for is answered
    // here, or the two threads would wait for each other.
    if (m_worker) {
        m_ui->Abandon();
        m_worker->wait();
    }
    if (m_reader)
        m_reader->wait();
}

void TfrmKeyword::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_opened) {
        m_opened = true;
        QTimer::singleShot(10, this, &TfrmKeyword::Timer1Timer);
    }
}

void TfrmKeyword::closeEvent(QCloseEvent* event)
{
    // A run or a reading holds the window's state: it stops first, then the window may go.
    if (m_worker || m_reader) {
        if (m_worker)
            m_ui->RequestStop();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TfrmKeyword::Timer1Timer()
{
    m_job = myLIB.Jobs;
    const TVUX_codes* codes = SessionCodes();
    if (!codes || !LoadKeywordDefinitions(*m_ui)) {
        if (!codes)
            ShowInfoBox(this, MsgCodeTableMissing);
        close();
        return;
    }
    for (int g = 0; g < codes->vux_GroupCount; ++g) {
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("ts%1").arg(g));
        auto* l = new QVBoxLayout(page);
        l->setContentsMargins(0, 0, 0, 0);
        auto* grid = new QTableView(page);
        grid->setObjectName(QStringLiteral("resultGrid%1").arg(g));
        auto* model = new TResultSheetModel(grid);
        grid->setModel(model);
        grid->verticalHeader()->hide();
        grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        grid->verticalHeader()->setDefaultSectionSize(22);
        grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        grid->setSelectionMode(QAbstractItemView::SingleSelection);
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->setWordWrap(false);
        grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        DrawGridCell(grid);
        l->addWidget(grid);
        TableControl->addTab(page, codes->GetGroupName(g));
        resultGrids << grid;
        m_models << model;
    }
    TableControl->setCurrentIndex(0);

    for (const QString& id : myLIB.sch_ar_ids) {
        const int tab = TabIndexById(m_job, id);
        if (tab >= 0)
            TabsCombo->addItem(m_job.TabsName[tab], id);
    }
    if (TabsCombo->count() > 0) {
        TabsCombo->setCurrentIndex(0);
        ShowDefinitions(0);
    }
    if (!isVisible())
        return; // the definitions closed the window
    if (AnyKeywordWorkbookMissing(m_job, myLIB.sch_ar_ids))
        ShowInfoBox(this, MsgRunFirst);
    m_ui->ClearStop();
    SearchInProgress = false;
    isInit = true;
}

QString TfrmKeyword::SelectedArId() const
{
    return TabsCombo->currentData().toString();
}

void TfrmKeyword::ShowDefinitions(int entry)
{
    const QString id = TabsCombo->itemData(entry).toString();
    TKeywordColumns columns;
    if (!KeywordColumnsFor(myLIB.schOptions, id, columns)) {
        ShowInfoBox(this, MsgArIdError);
        if (m_worker)
            m_ui->RequestStop();
        close();
        return;
    }
    schColumns = columns;
    const TVUX_codes* codes = SessionCodes();
    gridDefine->setRowCount(columns.count());
    for (int i = 0; i < columns.count(); ++i) {
        const int ptr = columns.pointers[i];
        QString where;
        if (codes && ptr >= 0 && ptr < codes->vux_Columns.size())
            where = codes->vux_Columns[ptr].GroupName + QStringLiteral(" > ") + codes->vux_Columns[ptr].ColumnName;
        gridDefine->setItem(i, 0, new QTableWidgetItem(QString::number(i + 1)));
        gridDefine->setItem(i, 1, new QTableWidgetItem(columns.texts[i]));
        gridDefine->setItem(i, 2, new QTableWidgetItem(where));
    }
}

void TfrmKeyword::TabsComboChange()
{
    if (isInit && m_reader) {
        // The change is refused: the combo box goes on naming the tab being read.
        const QSignalBlocker block(TabsCombo);
        TabsCombo->setCurrentIndex(m_readEntry);
        return;
    }
    if (isInit && !SearchInProgress) {
        // The definitions shown always belong to the tab named above them.
        ShowDefinitions(TabsCombo->currentIndex());
        ReadResults(false);
    }
}

void TfrmKeyword::tbMakeClick()
{
    if (m_worker || m_reader || !isInit)
        return;
    const TVUX_codes* codes = SessionCodes();
    if (!codes)
        return;
    SearchInProgress = true;
    tbMake->setEnabled(false);
    tbReload->setEnabled(false);
    TabsCombo->setEnabled(false);

    auto* observer = new WindowObserver(this);
    observer->onTab = [this](int entry, const TKeywordColumns&) {
        if (!panelPgr->isVisible()) {
            // The question was answered Yes and the previous workbooks are aside: the work shows.
            panelPgr->show();
            gridDefine->setEnabled(false);
            iTimerSec = 0;
            LabelTiming->setText(KeywordElapsedText(0));
            Timer2->start();
        }
        const bool init = isInit;
        isInit = false;
        TabsCombo->setCurrentIndex(entry);
        isInit = init;
        tabs_now = TabIndexById(m_job, TabsCombo->itemData(entry).toString());
        ShowDefinitions(entry);
    };
    observer->onTree = [this](const TArticleTree& tree) { aTree->setArticleTree(tree, tabs_now, false); };

    auto outcome = std::make_shared<TKeywordRunOutcome>();
    const TJobDefine job = m_job;
    const QList<TvuxSchOption> options = myLIB.schOptions;
    const QStringList ids = myLIB.sch_ar_ids;
    const QString content = ContentBaseURL();
    WidgetInteraction* ui = m_ui;
    m_worker = QThread::create([=] { *outcome = RunKeywordExtraction(job, *codes, options, ids, content, *ui, observer); });
    connect(m_worker, &QThread::finished, this, [this, observer, outcome] {
        delete observer;
        m_worker->deleteLater();
        m_worker = nullptr;
        RunEnded(*outcome);
    });
    m_worker->start();
}

void TfrmKeyword::RunEnded(const TKeywordRunOutcome& outcome)
{
    Timer2->stop();
    panelPgr->hide();
    m_ui->ClearStop();
    SearchInProgress = false;
    gridDefine->setEnabled(true);
    tbMake->setEnabled(true);
    tbReload->setEnabled(true);
    TabsCombo->setEnabled(true);
    if (outcome.closeWindow) {
        emit runFinished(false);
        close();
        return;
    }
    if (outcome.completed) {
        isInit = false;
        TabsCombo->setCurrentIndex(0);
        ShowDefinitions(0);
        TfrmSchResult dialog(outcome.workbooks.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"), this);
        dialog.exec();
        isInit = true;
        ReadResults(false);
    }
    emit runFinished(outcome.completed);
}

void TfrmKeyword::Timer2Timer()
{
    ++iTimerSec;
    LabelTiming->setText(KeywordElapsedText(iTimerSec));
}

void TfrmKeyword::ReadResults(bool markUpdated)
{
    if (m_worker || m_reader)
        return;
    const TVUX_codes* codes = SessionCodes();
    const int tab = TabIndexById(m_job, SelectedArId());
    if (!codes || tab < 0)
        return;
    if (markUpdated)
        SetKeywordUpdated(m_job, QStringLiteral("Y"));
    m_readEntry = TabsCombo->currentIndex();
    const QString path = KeywordWorkbookPath(m_job, tab);
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        ShowInfoBox(this, MsgNoResults(m_job.TabsName[tab]));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    PanelWaiting->adjustSize();
    PanelWaiting->move((width() - PanelWaiting->width()) / 2, height() / 2);
    PanelWaiting->raise();
    PanelWaiting->show();
    tbMake->setEnabled(false);
    tbReload->setEnabled(false);

    auto sheets = std::make_shared<QList<TResultSheet>>();
    auto error = std::make_shared<QString>();
    m_reader = QThread::create([=] { ReadResultSheets(path, *codes, *sheets, error.get()); });
    connect(m_reader, &QThread::finished, this, [this, sheets, error, path] {
        m_reader->deleteLater();
        m_reader = nullptr;
        QApplication::restoreOverrideCursor();
        tbMake->setEnabled(true);
        tbReload->setEnabled(true);
        ShowResults(*sheets, *error, path);
        PanelWaiting->hide();
        emit resultsShown();
    });
    m_reader->start();
}

void TfrmKeyword::ShowResults(const QList<TResultSheet>& sheets, const QString& error, const QString& path)
{
    if (!error.isEmpty() || sheets.size() != m_models.size()) {
        ShowInfoBox(this, MsgWorkbookUnreadable(path, error));
        return;
    }
    for (int g = 0; g < sheets.size(); ++g) {
        m_models[g]->setRows(sheets[g].rows);
        resultGrids[g]->setVisible(sheets[g].hasData);
        TableControl->tabBar()->setTabTextColor(g, sheets[g].hasData ? QColor(Qt::blue) : QColor(Qt::gray));
    }
    TableControl->setCurrentIndex(0);
    m_lastPage = 0;
    if (panelBottom->isHidden()) {
        panelBottom->show();
        const int h = Splitter2->height();
        Splitter2->setSizes({h / 3, h - h / 3});
    }
    // Titles get the width of the first visible grid's titles, at most a third of the grid.
    int w = -1;
    for (QTableView* grid : resultGrids) {
        if (grid->isHidden())
            continue;
        if (w < 0)
            w = std::min(FitColumnWidth(grid, 0), std::max(60, TableControl->width() / 3));
        grid->setColumnWidth(0, w);
        for (int c = 1; c < grid->model()->columnCount(); ++c)
            grid->setColumnWidth(c, std::min(FitColumnWidth(grid, c), 400));
    }
}

void TfrmKeyword::TableControlChange(int page)
{
    // One current row and top row for all result grids.
    QTableView* from = resultGrids.value(m_lastPage);
    QTableView* to = resultGrids.value(page);
    m_lastPage = page;
    if (!from || !to || from == to || from->isHidden() || to->isHidden())
        return;
    const int row = from->currentIndex().isValid() ? from->currentIndex().row() : -1;
    const int topRow = from->verticalScrollBar()->value();
    if (row >= 0 && row < to->model()->rowCount())
        to->setCurrentIndex(to->model()->index(row, 0));
    to->verticalScrollBar()->setValue(topRow);
}
