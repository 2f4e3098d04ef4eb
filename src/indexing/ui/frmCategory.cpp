#include "indexing/ui/frmCategory.h"

#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/fTreeModule.h"
#include "indexing/KeywordDefinitions.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/myLIB.h"
#include "shell/ui/GridPainters.h"
#include "shell/ui/WindowRegistry.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

static WindowRegistrar reg(QStringLiteral("frmCategory"), WindowKind::Child,
                           [](QWidget* parent) -> QWidget* { return new TfrmCategory(parent); });

static const QString MsgChooseSubject1 = QStringLiteral("1주제를 선택하십시오.");

static QGroupBox* RadioGroup(const char* name, QWidget* parent)
{
    auto* g = new QGroupBox(parent);
    g->setObjectName(name);
    new QGridLayout(g);
    return g;
}

TfrmCategory::TfrmCategory(QWidget* parent)
    : TEditWindow(parent)
{
    setObjectName("frmCategory");
    setWindowTitle(QStringLiteral("분류 지정"));

    PanelMain = new QWidget(this);
    PanelMain->setObjectName("PanelMain");

    PanelTop = new QFrame(PanelMain);
    PanelTop->setObjectName("PanelTop");
    auto* top = new QHBoxLayout(PanelTop);
    top->setContentsMargins(4, 2, 4, 2);
    auto* title = new QLabel(QStringLiteral("분류 지정"), PanelTop);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    SourceCombo = NewTabCombo(PanelTop, 160);
    tbClearAll = NewToolButton("tbClearAll", QStringLiteral("초기화"), 64, PanelTop, QStringLiteral("모든 작업을 취소함"));
    tbReload = NewToolButton("tbReload", QStringLiteral("새로고침"), 64, PanelTop, QStringLiteral("저장 상태로 돌림"));
    tbSet = NewToolButton("tbSet", QStringLiteral("설정"), 64, PanelTop, QStringLiteral("Enter키, 더블클릭"));
    tbSave = NewToolButton("tbSave", QStringLiteral("저장"), 64, PanelTop);
    tbCancelClose = NewToolButton("tbCancelClose", QStringLiteral("작업취소"), 64, PanelTop);
    top->addWidget(title);
    top->addSpacing(12);
    top->addWidget(SourceCombo);
    top->addSpacing(12);
    for (QToolButton* b : {tbClearAll, tbReload, tbSet, tbSave, tbCancelClose})
        top->addWidget(b);
    top->addStretch(1);

    TreeModule = new TfTreeModule(PanelMain);
    TreeModule->setObjectName("TreeModule");

    // The grid lives in the frame's extra panel, between the tree and the article, one row per node.
    GridList = new QTableWidget(0, 2, TreeModule->PanelExtra);
    GridList->setObjectName("GridList");
    GridList->setHorizontalHeaderLabels({Subject1Header, Subject2Header});
    GridList->verticalHeader()->hide();
    GridList->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    GridList->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    GridList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridList->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridList->setSelectionMode(QAbstractItemView::SingleSelection);
    GridList->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    GridList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DrawGridCell(GridList);
    auto* extra = new QVBoxLayout(TreeModule->PanelExtra);
    extra->setContentsMargins(0, 0, 0, 0);
    extra->addWidget(GridList);
    TreeModule->PanelExtra->setMinimumWidth(220);
    TreeModule->PanelExtra->show();
    TreeModule->Splitter2->setSizes({300, 600});
    TreeModule->TreeView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* mainLayout = new QVBoxLayout(PanelMain);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);
    mainLayout->addWidget(PanelTop);
    mainLayout->addWidget(TreeModule, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PanelMain);

    // The set panel floats over the article, outside the layout.
    PanelSet = new QFrame(this);
    PanelSet->setObjectName("PanelSet");
    static_cast<QFrame*>(PanelSet)->setFrameShape(QFrame::Panel);
    static_cast<QFrame*>(PanelSet)->setFrameShadow(QFrame::Raised);
    PanelSet->setAutoFillBackground(true);
    QPalette cream = PanelSet->palette();
    cream.setColor(QPalette::Window, QColor(255, 251, 240));
    PanelSet->setPalette(cream);
    Panel3 = new QLabel(QStringLiteral("분류 지정"), PanelSet);
    Panel3->setObjectName("Panel3");
    Panel3->setFont(bold);
    Panel3->setAlignment(Qt::AlignCenter);
    Panel3->setAutoFillBackground(true);
    QPalette titlePal = Panel3->palette();
    titlePal.setColor(QPalette::Window, QColor(0, 0, 128));
    titlePal.setColor(QPalette::WindowText, Qt::white);
    Panel3->setPalette(titlePal);
    Panel3->setMinimumHeight(24);
    RadioGroup1 = RadioGroup("RadioGroup1", PanelSet);
    RadioGroup2 = RadioGroup("RadioGroup2", PanelSet);
    m_radio1 = new QButtonGroup(this);
    m_radio2 = new QButtonGroup(this);
    btnSetCat = new QPushButton(QStringLiteral("설정"), PanelSet);
    btnSetCat->setObjectName("btnSetCat");
    btnCancelCat = new QPushButton(QStringLiteral("취소"), PanelSet);
    btnCancelCat->setObjectName("btnCancelCat");
    auto* setLayout = new QVBoxLayout(PanelSet);
    setLayout->addWidget(Panel3);
    setLayout->addWidget(RadioGroup1);
    setLayout->addWidget(RadioGroup2);
    auto* setButtons = new QHBoxLayout;
    setButtons->addStretch(1);
    setButtons->addWidget(btnSetCat);
    setButtons->addWidget(btnCancelCat);
    setLayout->addLayout(setButtons);
    PanelSet->hide();

    SetDirtyButtons(tbSave, tbCancelClose);
    m_closeQuestion = MsgCategoryNotSaved;

    connect(SourceCombo, &QComboBox::currentIndexChanged, this, &TfrmCategory::SourceComboChange);
    connect(tbClearAll, &QToolButton::clicked, this, &TfrmCategory::tbClearAllClick);
    connect(tbReload, &QToolButton::clicked, this, &TfrmCategory::tbReloadClick);
    connect(tbSet, &QToolButton::clicked, this, &TfrmCategory::tbSetClick);
    connect(tbSave, &QToolButton::clicked, this, &TfrmCategory::tbSaveClick);
    connect(tbCancelClose, &QToolButton::clicked, this, &TfrmCategory::CancelAndClose);
    connect(btnSetCat, &QPushButton::clicked, this, &TfrmCategory::btnSetCatClick);
    connect(btnCancelCat, &QPushButton::clicked, this, &TfrmCategory::btnCancelCatClick);
    connect(m_radio1, &QButtonGroup::idClicked, this, [this](int) { RadioGroup1Click(); });
    connect(GridList, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { GridListSelectCell(row); });
    connect(GridList, &QTableWidget::cellDoubleClicked, this, [this](int, int) { tbSetClick(); });
    connect(GridList->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int) { SyncTreeScroll(); });
    connect(TreeModule, &TfTreeModule::articleShown, this, &TfrmCategory::TreeNodeShown);
    GridList->installEventFilter(this);
    TreeModule->PanelExtra->installEventFilter(this);
}

TfrmCategory::~TfrmCategory() = default;

void TfrmCategory::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    setPanelSet();
}

bool TfrmCategory::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == GridList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            tbSetClick();
            return true;
        }
    }
    if (watched == TreeModule->PanelExtra && event->type() == QEvent::Resize) {
        SizeGrid();
        setPanelSet();
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmCategory::SizeGrid()
{
    const int w = TreeModule->PanelExtra->width() / 2 - 12;
    GridList->setColumnWidth(0, qMax(40, w));
    GridList->setColumnWidth(1, qMax(40, w));
    // Rows and the header as high as the tree's rows, so row k sits beside node k.
    int h = 0;
    if (QTreeWidgetItem* root = TreeModule->TreeView->itemAt(0))
        h = TreeModule->TreeView->visualItemRect(root).height();
    if (h <= 0)
        h = GridList->fontMetrics().height() + 4;
    GridList->verticalHeader()->setMinimumSectionSize(1);
    GridList->verticalHeader()->setDefaultSectionSize(h);
    GridList->horizontalHeader()->setFixedHeight(h);
}

void TfrmCategory::setPanelSet()
{
    if (!PanelSet)
        return;
    PanelSet->adjustSize();
    // Beside the grid, over the article, vertically centred on the grid.
    int x = TreeModule->PanelExtra->mapTo(this, QPoint(TreeModule->PanelExtra->width(), 0)).x();
    int y = GridList->mapTo(this, QPoint(0, 0)).y() + (GridList->height() - PanelSet->height()) / 2;
    x = qMin(x, qMax(0, width() - PanelSet->width()));
    y = qBound(0, y, qMax(0, height() - PanelSet->height()));
    PanelSet->move(x, y);
}

void TfrmCategory::Timer1Timer()
{
    Timer1->stop();
    isInit = false;
    PanelSet->hide();
    PanelMain->setEnabled(true);
    const TVUX_codes* codes = SessionCodes();
    if (!codes) {
        m_ui->ShowInfo(MsgCodeTableMissing);
        CloseWindow();
        return;
    }
    if (!LoadKeywordDefinitions(*m_ui)) {
        CloseWindow();
        return;
    }
    m_tabs = KeywordTabs(myLIB.Jobs, myLIB.sch_ar_ids);
    {
        const QSignalBlocker block(SourceCombo);
        SourceCombo->clear();
        for (const TKeywordTab& t : m_tabs)
            SourceCombo->addItem(myLIB.Jobs.TabsName[t.tab]);
    }
    if (m_tabs.isEmpty()) {
        m_ui->ShowInfo(MsgKeywordsWrongInfo);
        CloseWindow();
        return;
    }
    m_shownEntry = -1;
    {
        const QSignalBlocker block(SourceCombo);
        SourceCombo->setCurrentIndex(0);
    }
    InitAll(0);
    iSubjectEtc1 = m_choices.etc1;
    iSubjectEtc2 = m_choices.etc2;
}

bool TfrmCategory::InitAll(int entry)
{
    isInit = false;
    const TVUX_codes* codes = SessionCodes();
    if (!codes || entry < 0 || entry >= m_tabs.size())
        return false;
    const TKeywordTab& kt = m_tabs[entry];
    TCategoryDefaults d;
    const CategoryDefaults found = FindCategoryDefaults(myLIB.schOptions, kt.arId, *codes, d);
    if (found != CategoryDefaults::Ok) {
        m_ui->ShowInfo(CategoryDefaultsMessage(found));
        return false;
    }
    // Read before anything shown changes: a file that exists but cannot be read must not be
    // overwritten by defaults, and a failed load leaves the tab shown as it was.
    const QString file = CategoryFileName(myLIB.Jobs.WorkFolder, myLIB.Jobs.TabsName[kt.tab]);
    QStringList lines;
    if (file.isEmpty() || !ReadCategoryFile(file, lines, *m_ui))
        return false;
    if (!TreeModule->Show(kt.tab)) {
        m_shownEntry = -1;
        m_grid = {};
        ShowGrid();
        return false;
    }
    TreeModule->TreeView->expandAll();
    TreeModule->PageHtml->setCurrentWidget(TreeModule->tabWeb);
    TreeModule->PageHtml->setTabVisible(TreeModule->PageHtml->indexOf(TreeModule->tabText), false);

    defaultSubj1_code = d.subj1_code;
    defaultSubj2_code = d.subj2_code;
    defaultSubj1_name = d.subj1_name;
    defaultSubj2_name = d.subj2_name;
    const int nodes = TreeModule->TreeView->articles().count();
    if (m_grid.Fill(lines, nodes, d))
        SetDirty(true);

    if (!LoadSubjectChoices(*codes, m_choices)) {
        m_ui->ShowInfo(MsgCategoryBadCodeTable);
        CloseWindow();
        return false;
    }
    FillRadioGroup(RadioGroup1, m_radio1, m_choices.caption1, m_choices.items1);
    FillRadioGroup(RadioGroup2, m_radio2, m_choices.caption2, m_choices.items2);
    iSubjectEtc1 = m_choices.etc1;
    iSubjectEtc2 = m_choices.etc2;
    m_shownEntry = entry;
    ShowGrid();
    isInit = true;
    GridList->setCurrentCell(1, 0);
    return true;
}

void TfrmCategory::FillRadioGroup(QGroupBox* group, QButtonGroup* buttons, const QString& caption,
                                  const QStringList& items)
{
    group->setTitle(caption);
    for (QAbstractButton* b : buttons->buttons()) {
        buttons->removeButton(b);
        delete b;
    }
    auto* grid = static_cast<QGridLayout*>(group->layout());
    for (int i = 0; i < items.size(); ++i) {
        auto* r = new QRadioButton(items[i], group);
        r->setObjectName(QStringLiteral("%1_%2").arg(group->objectName()).arg(i));
        buttons->addButton(r, i);
        grid->addWidget(r, i / 4, i % 4);
    }
}

int TfrmCategory::RadioIndex(QGroupBox* group) const
{
    QButtonGroup* buttons = group == RadioGroup1 ? m_radio1 : m_radio2;
    return buttons->checkedId();
}

void TfrmCategory::SetRadioIndex(QGroupBox* group, int index)
{
    QButtonGroup* buttons = group == RadioGroup1 ? m_radio1 : m_radio2;
    if (QAbstractButton* b = buttons->button(index)) {
        b->setChecked(true);
        return;
    }
    // No item: clear the choice (exclusive groups keep one checked unless told otherwise).
    buttons->setExclusive(false);
    for (QAbstractButton* b : buttons->buttons())
        b->setChecked(false);
    buttons->setExclusive(true);
}

void TfrmCategory::ShowGrid()
{
    const bool was = m_syncing;
    m_syncing = true;
    const int current = GridList->currentRow();
    GridList->setRowCount(m_grid.rowCount());
    for (int r = 0; r < m_grid.rowCount(); ++r) {
        for (int c = 0; c < 2; ++c) {
            const QString& text = c == 0 ? m_grid.subj1[r] : m_grid.subj2[r];
            if (QTableWidgetItem* item = GridList->item(r, c))
                item->setText(text);
            else
                GridList->setItem(r, c, new QTableWidgetItem(text));
        }
    }
    // Row 0 is the header row of the file; the grid's own header shows it.
    GridList->setRowHidden(0, true);
    SizeGrid();
    if (current > 0 && current < GridList->rowCount())
        GridList->setCurrentCell(current, 0);
    m_syncing = was;
    SyncTreeScroll();
}

void TfrmCategory::SourceComboChange(int entry)
{
    if (m_tabs.isEmpty() || entry == m_shownEntry || entry < 0)
        return;
    if (!DirtyGivenUp(MsgCategoryCancelEdits)) {
        // The combo goes on naming the tab whose data is shown, so a save writes that tab's file.
        ShowTabInCombo(m_shownEntry);
        return;
    }
    // A tab that cannot be loaded leaves the one shown in place, still usable.
    const bool wasInit = isInit;
    if (!InitAll(entry) && m_shownEntry >= 0 && m_shownEntry != entry) {
        ShowTabInCombo(m_shownEntry);
        isInit = wasInit;
    }
}

void TfrmCategory::tbClearAllClick()
{
    if (isInit && !DirtyGivenUp(MsgCategoryCancelEdits))
        return;
    if (m_shownEntry < 0)
        return;
    TCategoryDefaults d{defaultSubj1_code, defaultSubj2_code, defaultSubj1_name, defaultSubj2_name};
    m_grid.Reset(TreeModule->TreeView->articles().count(), d);
    ShowGrid();
    SetDirty(true);
}

void TfrmCategory::tbReloadClick()
{
    if (Dirty() && !ConfirmRollback(*m_ui))
        return;
    Timer1->start();
}

void TfrmCategory::tbSetClick()
{
    const int r = GridList->currentRow();
    if (!isInit || r <= 0 || r >= m_grid.rowCount())
        return;
    isInit = false;
    m_setRow = r;
    int i1 = int(m_choices.items1.indexOf(m_grid.subj1[r]));
    if (i1 < 0)
        i1 = iSubjectEtc1;
    SetRadioIndex(RadioGroup1, i1);
    if (i1 >= 0 && i1 == iSubjectEtc1) {
        RadioGroup2->setEnabled(true);
        int i2 = int(m_choices.items2.indexOf(m_grid.subj2[r]));
        if (i2 < 0)
            i2 = iSubjectEtc2;
        SetRadioIndex(RadioGroup2, i2);
    } else {
        SetRadioIndex(RadioGroup2, iSubjectEtc2);
        RadioGroup2->setEnabled(false);
    }
    setPanelSet();
    PanelSet->show();
    PanelSet->raise();
    PanelMain->setEnabled(false);
    btnSetCat->setFocus();
    isInit = true;
}

void TfrmCategory::RadioGroup1Click()
{
    if (!isInit)
        return;
    if (RadioIndex(RadioGroup1) == iSubjectEtc1 && iSubjectEtc1 >= 0) {
        RadioGroup2->setEnabled(true);
    } else {
        SetRadioIndex(RadioGroup2, iSubjectEtc2);
        RadioGroup2->setEnabled(false);
    }
}

void TfrmCategory::btnSetCatClick()
{
    const int i1 = RadioIndex(RadioGroup1);
    if (i1 < 0) {
        m_ui->ShowInfo(MsgChooseSubject1);
        return;
    }
    const QString s1 = m_choices.items1[i1];
    QString s2 = EmptySubject;
    const int i2 = RadioIndex(RadioGroup2);
    if (RadioGroup2->isEnabled() && i2 >= 0)
        s2 = m_choices.items2[i2];
    m_grid.SetNode(TreeModule->TreeView->articles(), m_setRow, s1, s2);
    ShowGrid();
    btnCancelCatClick();
    SetDirty(true);
}

void TfrmCategory::btnCancelCatClick()
{
    PanelSet->hide();
    PanelMain->setEnabled(true);
    GridList->setFocus();
}

void TfrmCategory::tbSaveClick()
{
    if (m_shownEntry < 0)
        return;
    const QString file = CategoryFileName(myLIB.Jobs.WorkFolder, myLIB.Jobs.TabsName[m_tabs[m_shownEntry].tab]);
    QString error;
    if (!WriteCategoryFile(file, m_grid, &error)) {
        m_ui->ShowInfo(file + QStringLiteral(": 파일을 저장할 수 없습니다.\r\n") + error);
        return;
    }
    m_ui->ShowInfo(MsgCategorySaved);
    SetDirty(false);
}

void TfrmCategory::GridListSelectCell(int row)
{
    if (m_syncing || !isInit || row <= 0)
        return;
    m_syncing = true;
    TreeModule->TreeView->selectAbsolute(row);
    m_syncing = false;
    SyncTreeScroll();
}

void TfrmCategory::SyncTreeScroll()
{
    // The node beside the grid's first visible row stays beside it.
    const int top = GridList->rowAt(0);
    if (top < 1)
        return;
    if (QTreeWidgetItem* item = TreeModule->TreeView->itemAt(top - 1))
        TreeModule->TreeView->scrollToItem(item, QAbstractItemView::PositionAtTop);
}

void TfrmCategory::TreeNodeShown(int absoluteIndex)
{
    if (m_syncing || !isInit || absoluteIndex <= 0 || absoluteIndex >= GridList->rowCount())
        return;
    m_syncing = true;
    GridList->setCurrentCell(absoluteIndex, qMax(0, GridList->currentColumn()));
    m_syncing = false;
    SyncTreeScroll();
}
