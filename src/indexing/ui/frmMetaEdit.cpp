#include "indexing/ui/frmMetaEdit.h"

#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/Preview.h"
#include "articles/ui/fWeb.h"
#include "controls/ui/EditPlus.h"
#include "indexing/KeywordDefinitions.h"
#include "indexing/KeywordExtract.h"
#include "indexing/MetaEdit.h"
#include "indexing/MetaInit.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/Settings.h"
#include "shell/myLIB.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/WindowRegistry.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <future>

static WindowRegistrar reg(QStringLiteral("frmMetaEdit"), WindowKind::Child,
                           [](QWidget* parent) -> QWidget* { return new TfrmMetaEdit(parent); });

namespace {

constexpr int RowHeight = 18;
constexpr int NameWidth = 150;

QLabel* PanelTitle(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, QColor(0, 0, 128));
    p.setColor(QPalette::WindowText, Qt::white);
    l->setPalette(p);
    l->setContentsMargins(6, 2, 6, 2);
    l->setFixedHeight(22);
    return l;
}

QTableWidget* MetaGrid(const char* name, int tag, QWidget* parent)
{
    auto* g = new QTableWidget(0, 2, parent);
    g->setObjectName(name);
    g->setProperty("tag", tag);
    g->horizontalHeader()->hide();
    g->verticalHeader()->hide();
    g->verticalHeader()->setMinimumSectionSize(1);
    g->verticalHeader()->setDefaultSectionSize(RowHeight);
    g->setColumnWidth(0, NameWidth);
    g->horizontalHeader()->setStretchLastSection(true);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    g->setMouseTracking(true);
    g->setWordWrap(false);
    return g;
}

void SetCell(QTableWidget* grid, int row, int column, const QString& text)
{
    QTableWidgetItem* item = grid->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        if (column == 0) {
            item->setBackground(QColor(236, 236, 236));
        }
        grid->setItem(row, column, item);
    }
    item->setText(text);
}

QString CellText(const QTableWidget* grid, int row, int column)
{
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}

// Tells the window, from the worker, that a tab's initialisation starts.
class StartObserver : public TMetaInitObserver {
public:
    explicit StartObserver(TfrmMetaEdit* window) : m_window(window) {}
    void TabStarted(int, int) override
    {
        QMetaObject::invokeMethod(m_window, "ShowMakeData", Qt::QueuedConnection);
    }

private:
    QPointer<TfrmMetaEdit> m_window;
};

} // namespace

TfrmMetaEdit::TfrmMetaEdit(QWidget* parent)
    : TEditWindow(parent)
{
    setObjectName("frmMetaEdit");
    setWindowTitle(QStringLiteral("메타 수정"));
    InputData.SetBlockLength(0);

    auto* top = new QFrame(this);
    top->setObjectName("PanelTop");
    m_panelTop = top;
    auto* topLayout = new QHBoxLayout(top);
    topLayout->setContentsMargins(4, 2, 4, 2);
    auto* title = new QLabel(QStringLiteral("메타 수정"), top);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    SourceCombo = NewTabCombo(top, 160);
    tbInitialize = NewToolButton("tbInitialize", QStringLiteral("초기화"), 64, top);
    tbSave = NewToolButton("tbSave", QStringLiteral("저장"), 64, top);
    tbCancel = NewToolButton("tbCancel", QStringLiteral("입력취소"), 64, top);
    topLayout->addWidget(title);
    topLayout->addSpacing(12);
    topLayout->addWidget(SourceCombo);
    topLayout->addSpacing(12);
    for (QToolButton* b : {tbInitialize, tbSave, tbCancel})
        topLayout->addWidget(b);
    topLayout->addStretch(1);
    eSource = new QTextEdit(top);
    eSource->setObjectName("eSource");
    eSource->setAcceptRichText(false);
    eSource->hide();
    eUnitSrc = new QTextEdit(top);
    eUnitSrc->setObjectName("eUnitSrc");
    eUnitSrc->hide();

    auto* body = new QSplitter(Qt::Horizontal, this);
    body->setObjectName("SplitterBody");
    Tree = new TArticleTreeWidget(body);
    Tree->setObjectName("Tree");

    PanelMain = new QWidget(body);
    PanelMain->setObjectName("PanelMain");
    SplitterUp = new QSplitter(Qt::Vertical, PanelMain);
    SplitterUp->setObjectName("SplitterUp");
    SplitterUp->setChildrenCollapsible(false);
    PanelBase = new QWidget(SplitterUp);
    PanelBase->setObjectName("PanelBase");
    auto* baseLayout = new QVBoxLayout(PanelBase);
    baseLayout->setContentsMargins(0, 0, 0, 0);
    baseLayout->setSpacing(0);
    baseLayout->addWidget(PanelTitle(QStringLiteral("기본메타"), PanelBase));
    gridMain = MetaGrid("gridMain", 0, PanelBase);
    baseLayout->addWidget(gridMain, 1);
    PanelBase->setMinimumHeight(31);

    SplitterDown = new QSplitter(Qt::Vertical, SplitterUp);
    SplitterDown->setObjectName("SplitterDown");
    SplitterDown->setChildrenCollapsible(false);
    PanelExtra = new QWidget(SplitterDown);
    PanelExtra->setObjectName("PanelExtra");
    auto* extraLayout = new QVBoxLayout(PanelExtra);
    extraLayout->setContentsMargins(0, 0, 0, 0);
    extraLayout->setSpacing(0);
    extraLayout->addWidget(PanelTitle(QStringLiteral("확장 메타"), PanelExtra));
    for (int g = 1; g <= 9; ++g) {
        gridExtArr[g] = MetaGrid(QStringLiteral("gridExt%1").arg(g).toLatin1().constData(), g, PanelExtra);
        extraLayout->addWidget(gridExtArr[g], 1);
        gridExtArr[g]->hide();
    }
    extraLayout->addStretch(0);
    PanelExtra->setMinimumHeight(27);
    PanelImage = new QWidget(SplitterDown);
    PanelImage->setObjectName("PanelImage");
    auto* imageLayout = new QVBoxLayout(PanelImage);
    imageLayout->setContentsMargins(0, 0, 0, 0);
    imageLayout->setSpacing(0);
    imageLayout->addWidget(PanelTitle(QStringLiteral("이미지"), PanelImage));
    gridExt10 = MetaGrid("gridExt10", 10, PanelImage);
    gridExtArr[10] = gridExt10;
    imageLayout->addWidget(gridExt10, 1);
    PanelImage->setMinimumHeight(31);

    ColText = new QPlainTextEdit(PanelMain);
    ColText->setObjectName("ColText");
    ColText->setReadOnly(true);
    ColText->setFixedHeight(60);
    auto* mainLayout = new QVBoxLayout(PanelMain);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(2);
    mainLayout->addWidget(SplitterUp, 1);
    mainLayout->addWidget(ColText);

    fWeb1 = new TfWeb(body);
    fWeb1->setObjectName("fWeb1");
    fWeb1->FOwnerForm = this;
    body->setStretchFactor(0, 2);
    body->setStretchFactor(1, 4);
    body->setStretchFactor(2, 3);
    body->setSizes({220, 460, 340});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(top);
    layout->addWidget(body, 1);

    // Editors float over the cells of the grids, outside every layout.
    FloatEdit = new TEditPlus(PanelMain);
    FloatEdit->setObjectName("FloatEdit");
    FloatDate = new TEditPlus(PanelMain);
    FloatDate->setObjectName("FloatDate");
    FloatDate->setP_ISDATE(true);
    FloatComboBox = new QComboBox(PanelMain);
    FloatComboBox->setObjectName("FloatComboBox");
    FloatComboBox->setMaxVisibleItems(10);

    FloatPanel = new QFrame(PanelMain);
    FloatPanel->setObjectName("FloatPanel");
    FloatPanel->setFrameShape(QFrame::Panel);
    FloatPanel->setFrameShadow(QFrame::Raised);
    FloatPanel->setAutoFillBackground(true);
    QPalette cream = FloatPanel->palette();
    cream.setColor(QPalette::Window, QColor(255, 251, 240));
    FloatPanel->setPalette(cream);
    FloatLabel = new QLabel(FloatPanel);
    FloatLabel->setObjectName("FloatLabel");
    FloatLabel->setFont(bold);
    btnFloatExtAdd = new QPushButton(QStringLiteral("추가"), FloatPanel);
    btnFloatExtAdd->setObjectName("btnFloatExtAdd");
    btnFloatExtDel = new QPushButton(QStringLiteral("삭제"), FloatPanel);
    btnFloatExtDel->setObjectName("btnFloatExtDel");
    btnFloatExtHide = new QPushButton(QStringLiteral("닫기"), FloatPanel);
    btnFloatExtHide->setObjectName("btnFloatExtHide");
    FloatCountLabel = new QLabel(MetaCountText(1), FloatPanel);
    FloatCountLabel->setObjectName("FloatCountLabel");
    FloatCountLabel->setMinimumWidth(FloatCountLabel->fontMetrics().horizontalAdvance(MetaCountText(999)) + 8);
    FloatGrid = new QTableWidget(0, 2, FloatPanel);
    FloatGrid->setObjectName("FloatGrid");
    FloatGrid->horizontalHeader()->hide();
    FloatGrid->verticalHeader()->hide();
    FloatGrid->verticalHeader()->setDefaultSectionSize(RowHeight + 4);
    FloatGrid->setColumnWidth(0, 110);
    ComboBoxOnFloat = new QComboBox(FloatGrid->viewport());
    ComboBoxOnFloat->setObjectName("ComboBoxOnFloat");
    ComboBoxOnFloat->setMaxVisibleItems(10);
    ComboBoxOnFloat->hide();
    auto* floatLayout = new QVBoxLayout(FloatPanel);
    floatLayout->setContentsMargins(6, 4, 6, 6);
    auto* floatTop = new QHBoxLayout;
    floatTop->addWidget(FloatLabel, 1);
    floatTop->addWidget(FloatCountLabel);
    floatTop->addWidget(btnFloatExtAdd);
    floatTop->addWidget(btnFloatExtDel);
    floatTop->addWidget(btnFloatExtHide);
    for (QPushButton* b : {btnFloatExtAdd, btnFloatExtDel, btnFloatExtHide})
        b->setMaximumWidth(64);
    floatLayout->addLayout(floatTop);
    floatLayout->addWidget(FloatGrid, 1);
    for (QWidget* w : std::initializer_list<QWidget*>{FloatEdit, FloatDate, FloatComboBox, FloatPanel})
        w->hide();

    PanelMakeData = new QFrame(PanelMain);
    PanelMakeData->setObjectName("PanelMakeData");
    PanelMakeData->setFrameShape(QFrame::Panel);
    PanelMakeData->setFrameShadow(QFrame::Raised);
    PanelMakeData->setAutoFillBackground(true);
    LabelExcel = new QLabel(MsgMetaMaking, PanelMakeData);
    LabelExcel->setObjectName("LabelExcel");
    LabelExcel->setFont(bold);
    auto* makeLayout = new QVBoxLayout(PanelMakeData);
    makeLayout->addWidget(LabelExcel);
    auto addRow = [&](const char* labelName, const char* barName, const QString& caption, QLabel*& counter,
                      QProgressBar*& bar) {
        auto* row = new QHBoxLayout;
        auto* cap = new QLabel(caption, PanelMakeData);
        cap->setMinimumWidth(70);
        counter = new QLabel(PanelMakeData);
        counter->setObjectName(labelName);
        counter->setMinimumWidth(110);
        bar = new QProgressBar(PanelMakeData);
        bar->setObjectName(barName);
        bar->setTextVisible(false);
        bar->setMinimumWidth(220);
        row->addWidget(cap);
        row->addWidget(bar, 1);
        row->addWidget(counter);
        makeLayout->addLayout(row);
    };
    addRow("LabelTabs", "TabsProgress", QStringLiteral("탭 진행"), LabelTabs, TabsProgress);
    addRow("LabelGroups", "MetaProgress", QStringLiteral("메타 그룹"), LabelGroups, MetaProgress);
    addRow("LabelCounts", "RowsProgress", QStringLiteral("개별 기사"), LabelCounts, RowsProgress);
    LabelTiming = new QLabel(QStringLiteral("0"), PanelMakeData);
    LabelTiming->setObjectName("LabelTiming");
    LabelTiming->setAlignment(Qt::AlignRight);
    makeLayout->addWidget(LabelTiming);
    PanelMakeData->hide();
    m_ownUi->setProgressBars({TabsProgress, MetaProgress, RowsProgress});
    m_ownUi->setStatusLabels({LabelTabs, LabelGroups, LabelCounts});

    Timer2 = new QTimer(this);
    Timer2->setObjectName("Timer2");
    Timer2->setInterval(1000);
    FloatTimer = new QTimer(this);
    FloatTimer->setObjectName("FloatTimer");
    FloatTimer->setSingleShot(true);
    FloatTimer->setInterval(10);

    SetDirtyButtons(tbSave, tbCancel);
    m_closeQuestion = MsgMetaSaveQuestionClose;

    connect(Timer2, &QTimer::timeout, this, &TfrmMetaEdit::Timer2Timer);
    connect(FloatTimer, &QTimer::timeout, this, &TfrmMetaEdit::FloatTimerTimer);
    connect(SourceCombo, &QComboBox::currentIndexChanged, this, &TfrmMetaEdit::SourceComboChange);
    connect(tbInitialize, &QToolButton::clicked, this, &TfrmMetaEdit::tbInitializeClick);
    connect(tbSave, &QToolButton::clicked, this, &TfrmMetaEdit::tbSaveClick);
    connect(tbCancel, &QToolButton::clicked, this, &TfrmMetaEdit::tbCancelClick);
    connect(Tree, &QTreeWidget::currentItemChanged, this, &TfrmMetaEdit::TreeChanged);
    for (int g = 0; g <= 10; ++g) {
        QTableWidget* grid = GroupGrid(g);
        connect(grid, &QTableWidget::cellClicked, this, [this, grid](int row, int) { SelectCell(grid, row); });
        connect(grid, &QTableWidget::currentCellChanged, this,
                [this, grid](int row, int, int, int) { SelectCell(grid, row); });
        grid->viewport()->installEventFilter(this);
    }
    connect(FloatEdit, &QLineEdit::editingFinished, this, [this] {
        if (!FloatEdit->hasFocus())
            ApplyEditor();
    });
    connect(FloatDate, &QLineEdit::editingFinished, this, [this] {
        if (!FloatDate->hasFocus())
            ApplyEditor();
    });
    connect(FloatComboBox, &QComboBox::currentIndexChanged, this, &TfrmMetaEdit::FloatComboChange);
    connect(FloatGrid, &QTableWidget::currentCellChanged, this,
            [this](int row, int column, int, int) { FloatGridSelect(row, column); });
    connect(FloatGrid, &QTableWidget::cellClicked, this, &TfrmMetaEdit::FloatGridSelect);
    connect(ComboBoxOnFloat, &QComboBox::activated, this, &TfrmMetaEdit::ComboBoxOnFloatChoose);
    connect(btnFloatExtAdd, &QPushButton::clicked, this, &TfrmMetaEdit::btnFloatExtAddClick);
    connect(btnFloatExtDel, &QPushButton::clicked, this, &TfrmMetaEdit::btnFloatExtDelClick);
    connect(btnFloatExtHide, &QPushButton::clicked, this, &TfrmMetaEdit::ApplyEditor);
    FloatEdit->installEventFilter(this);
    FloatComboBox->installEventFilter(this);
    ComboBoxOnFloat->installEventFilter(this);
}

TfrmMetaEdit::~TfrmMetaEdit()
{
    // The children go after this part of the object; their last focus events and signals must
    // not reach it.
    for (QObject* o : std::initializer_list<QObject*>{FloatEdit, FloatComboBox, ComboBoxOnFloat})
        o->removeEventFilter(this);
    for (int g = 0; g <= 10; ++g)
        GroupGrid(g)->viewport()->removeEventFilter(this);
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
    // A box the worker waits for is answered here, or the two threads would wait for each other.
    if (m_worker) {
        m_ownUi->Abandon();
        m_worker->wait();
    }
}

QTableWidget* TfrmMetaEdit::GroupGrid(int g) const
{
    if (g == 0)
        return gridMain;
    return g >= 1 && g <= 10 ? gridExtArr[size_t(g)] : nullptr;
}

void TfrmMetaEdit::closeEvent(QCloseEvent* event)
{
    if (m_worker) {
        // The run ends first; Esc's question decides whether it stops.
        m_ownUi->RequestStop();
        event->ignore();
        return;
    }
    TEditWindow::closeEvent(event);
}

void TfrmMetaEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && isLoadingProgress) {
        m_ownUi->RequestStop();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TfrmMetaEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FloatEdit && event->type() == QEvent::KeyPress && floatObject == 0) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
            MoveMainRow(-1);
            return true;
        case Qt::Key_Down:
            MoveMainRow(1);
            return true;
        case Qt::Key_PageUp:
            MoveMainRow(-20);
            return true;
        case Qt::Key_PageDown:
            MoveMainRow(20);
            return true;
        default:
            break;
        }
    }
    if ((watched == FloatEdit || watched == FloatComboBox) && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // The drop-down list of the combo box takes the focus for a moment; that is no leaving.
        if (reason != Qt::PopupFocusReason && !(watched == FloatComboBox && FloatComboBox->view()->isVisible()))
            QTimer::singleShot(0, this, [this, watched] {
                if (static_cast<QWidget*>(watched)->isVisible() && !static_cast<QWidget*>(watched)->hasFocus())
                    ApplyEditor();
            });
    }
    if (watched == ComboBoxOnFloat && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason && !ComboBoxOnFloat->view()->isVisible())
        ComboBoxOnFloat->hide();
    if (event->type() == QEvent::MouseMove)
        for (int g = 0; g <= 10; ++g)
            if (watched == GroupGrid(g)->viewport())
                ShowCellText(GroupGrid(g), static_cast<QMouseEvent*>(event)->position().toPoint());
    return QWidget::eventFilter(watched, event);
}

void TfrmMetaEdit::ShowCellText(QTableWidget* grid, const QPoint& pos)
{
    const QModelIndex index = grid->indexAt(pos);
    if (index.isValid() && index.column() == 1)
        ColText->setPlainText(CellText(grid, index.row(), 1));
}

void TfrmMetaEdit::Timer1Timer()
{
    Timer1->stop();
    isInit = false;
    SetDirty(false);
    m_codes = SessionCodes();
    if (!m_codes) {
        m_ui->ShowInfo(MsgCodeTableMissing);
        CloseWindow();
        return;
    }
    if (const QString problem = MetaWindowLayoutProblem(*m_codes); !problem.isEmpty()) {
        m_ui->ShowInfo(problem);
        CloseWindow();
        return;
    }
    if (!LoadKeywordDefinitions(*m_ui)) {
        CloseWindow();
        return;
    }
    InputData.SetBlockLength(m_codes->vux_DataBlockLength);
    // Column names once per opening: the code table does not change during a run.
    for (int g = 0; g <= 10; ++g) {
        QTableWidget* grid = GroupGrid(g);
        const TVuxGroup& group = m_codes->vux_Groups[g];
        const QSignalBlocker block(grid);
        grid->setRowCount(group.Count);
        for (int r = 0; r < group.Count; ++r) {
            SetCell(grid, r, 0, m_codes->vux_Columns[group.First + r].ColumnName);
            SetCell(grid, r, 1, QString());
        }
    }
    m_tabs = KeywordTabs(myLIB.Jobs, myLIB.sch_ar_ids);
    {
        const QSignalBlocker block(SourceCombo);
        SourceCombo->clear();
        for (const TKeywordTab& t : m_tabs)
            SourceCombo->addItem(myLIB.Jobs.TabsName[t.tab], t.arId);
    }
    if (m_tabs.isEmpty()) {
        m_ui->ShowInfo(MsgKeywordsWrongInfo);
        CloseWindow();
        return;
    }
    SplitterDown->setSizes({27, qMax(100, SplitterDown->height() - 27)});
    {
        const QSignalBlocker block(SourceCombo);
        SourceCombo->setCurrentIndex(0);
    }
    LoadTab(0);

    for (const TKeywordTab& t : m_tabs) {
        const QFileInfo meta(KeywordFileName(myLIB.Jobs, t.tab));
        const QFileInfo book(KeywordWorkbookPath(myLIB.Jobs, t.tab));
        if (meta.exists() && book.exists() && book.lastModified() > meta.lastModified())
            m_ui->ShowInfo(MsgMetaWorkbookNewer(myLIB.Jobs.TabsName[t.tab]));
    }
    if (IsKeywordUpdated(myLIB.Jobs))
        m_ui->ShowInfo(MsgMetaKeywordsUpdated);
}

bool TfrmMetaEdit::LoadTab(int entry)
{
    isInit = false;
    HideEditors();
    ForgetCell();
    if (entry < 0 || entry >= m_tabs.size())
        return false;
    const int tab = m_tabs[entry].tab;
    // Read first: a file that cannot be read leaves the tab shown as it was. The meta file (tens
    // of megabytes in a big book) is read on a thread of its own while the index is read here.
    struct TRead {
        TMetaData data;
        QString error;
        bool ok = false;
    };
    const QString file = KeywordFileName(myLIB.Jobs, tab);
    std::future<TRead> reading = std::async(std::launch::async, [file, block = m_codes->vux_DataBlockLength] {
        TRead r{TMetaData(block), {}, false};
        r.ok = !file.isEmpty() && ReadMetaFile(file, r.data, &r.error);
        return r;
    });
    TArticleTree articles;
    const bool indexRead = ReadArticleTree(tab, this, articles);
    TRead read = reading.get();
    if (!read.ok) {
        m_ui->ShowInfo(file + QStringLiteral(": 파일을 읽을 수 없습니다.\r\n") + read.error);
        isInit = m_shownEntry >= 0;
        return false;
    }
    {
        const QSignalBlocker block(Tree);
        m_node = -1;
        if (!indexRead) {
            Tree->clearArticles();
            m_shownEntry = -1;
            tabs_now = -1;
            return false;
        }
        Tree->setArticleTree(std::move(articles), tab, true);
        Tree->selectAbsolute(1);
    }
    tabs_now = tab;
    m_shownEntry = entry;
    InputData = std::move(read.data);
    ShowArticle();
    isInit = true;
    return true;
}

void TfrmMetaEdit::ShowArticle()
{
    const int node = qMax(1, Tree->absoluteIndex(Tree->currentItem()));
    m_node = node;
    qsizetype p = qsizetype(node - 1) * InputData.BlockLength();
    for (int g = 0; g <= 10; ++g) {
        QTableWidget* grid = GroupGrid(g);
        const QSignalBlocker block(grid);
        for (int r = 0; r < grid->rowCount(); ++r)
            SetCell(grid, r, 1, InputData.Line(p++));
    }
    ChooseExtensionGrid();
    PreviewSelectedArticle(tabs_now, Tree, fWeb1, eSource);
}

void TfrmMetaEdit::StoreArticle()
{
    if (m_node < 1)
        return;
    QStringList values;
    for (int g = 0; g <= 10; ++g) {
        QTableWidget* grid = GroupGrid(g);
        for (int r = 0; r < grid->rowCount(); ++r)
            values << CellText(grid, r, 1);
    }
    InputData.SetRecord(m_node, values);
}

void TfrmMetaEdit::ChooseExtensionGrid()
{
    for (int g = 1; g <= 9; ++g)
        gridExtArr[size_t(g)]->hide();
    const int s1 = m_codes->vux_SubjPtr1, s2 = m_codes->vux_SubjPtr2;
    const int g = ExtensionGroupFor(*m_codes, s1 >= 0 ? CellText(gridMain, s1, 1) : QString(),
                                    s2 >= 0 ? CellText(gridMain, s2, 1) : QString());
    m_extension = g;
    QList<int> sizes = SplitterDown->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    const int title = 22;
    if (g < 0) {
        SplitterDown->setSizes({title + 5, qMax(31, total - title - 5)});
        return;
    }
    QTableWidget* grid = gridExtArr[size_t(g)];
    grid->show();
    if (sizes.value(0) < title + 20) {
        // As high as the group's rows, but leave the image panel its room.
        const int want = RowHeight * (grid->rowCount() + 2) + title;
        const int extra = qMin(want, qMax(title + 20, total - 130));
        SplitterDown->setSizes({extra, qMax(31, total - extra)});
    }
    const QList<int> up = SplitterUp->sizes();
    if (up.value(0) < SplitterDown->sizes().value(0) || up.value(0) < title + 30) {
        const int joint = up.value(0) + SplitterDown->sizes().value(0);
        SplitterUp->setSizes({joint / 2, up.value(1)});
    }
}

void TfrmMetaEdit::SelectCell(QTableWidget* grid, int row)
{
    if (!isInit || row < 0 || m_applying)
        return;
    const int tag = grid->property("tag").toInt();
    if (tag == floatObject && row == floatRow && (FloatEdit->isVisible() || FloatDate->isVisible() ||
                                                  FloatComboBox->isVisible() || FloatPanel->isVisible()))
        return;
    ApplyEditor();
    floatCol = 1;
    floatRow = row;
    floatObject = tag;
    FloatTimer->start();
}

void TfrmMetaEdit::PlaceEditor(QWidget* editor, QTableWidget* grid, int row)
{
    QRect cell = grid->visualRect(grid->model()->index(row, 1));
    const QPoint at = grid->viewport()->mapTo(PanelMain, cell.topLeft());
    const int width = qMax(120, PanelMain->width() - NameWidth - 25);
    editor->move(at.x(), at.y());
    editor->resize(qMin(width, PanelMain->width() - at.x()), editor == FloatPanel ? editor->height() : RowHeight + 6);
    editor->show();
    editor->raise();
}

void TfrmMetaEdit::FloatTimerTimer()
{
    FloatTimer->stop();
    if (floatObject < 0 || floatRow < 0 || !m_codes)
        return;
    QTableWidget* grid = GroupGrid(floatObject);
    const TVuxGroup& group = m_codes->vux_Groups[floatObject];
    if (!grid || floatRow >= group.Count)
        return ForgetCell();
    floatPointer = group.First + floatRow;
    const TVuxColumn& column = m_codes->vux_Columns[floatPointer];
    float_is_Code = column.CodeGroup;
    float_is_MultipleYN = column.MultipleYN;
    float_is_iTYPE = column.InputType;
    const QString text = CellText(grid, floatRow, 1);
    switch (EditorOf(column)) {
    case MetaEditor::None:
        return ForgetCell();
    case MetaEditor::Date:
        FloatDate->setText(text);
        PlaceEditor(FloatDate, grid, floatRow);
        FloatDate->setFocus();
        return;
    case MetaEditor::Text:
        FloatEdit->setText(text);
        PlaceEditor(FloatEdit, grid, floatRow);
        FloatEdit->setFocus();
        return;
    case MetaEditor::Code: {
        QStringList items;
        if (!CodeChoices(*m_codes, column.CodeGroup, items)) {
            m_ui->ShowInfo(MsgMetaUndefinedCode(column.CodeGroup));
            return ForgetCell();
        }
        {
            const QSignalBlocker block(FloatComboBox);
            FloatComboBox->clear();
            FloatComboBox->addItems(items);
            const int at = items.indexOf(text);
            FloatComboBox->setCurrentIndex(at > 0 ? at : 0);
            FloatComboBox->setMaxVisibleItems(qMin(10, int(items.size())));
        }
        PlaceEditor(FloatComboBox, grid, floatRow);
        FloatComboBox->setFocus();
        return;
    }
    case MetaEditor::Multi: {
        QString title;
        int from = 0, count = 0;
        m_codes->GetMultiColumnInfo(floatPointer, title, from, count);
        FloatLabel->setText(title);
        floatRow += from - floatPointer;
        floatPointer = from;
        floatGridOptions.clear();
        const QSignalBlocker block(FloatGrid);
        ComboBoxOnFloat->hide();
        FloatGrid->clear();
        FloatGrid->setRowCount(count);
        FloatGrid->setColumnCount(2);
        for (int n = 0; n < count; ++n) {
            const TVuxColumn& c = m_codes->vux_Columns[from + n];
            auto* name = new QTableWidgetItem(c.ColumnName);
            name->setFlags(Qt::ItemIsEnabled);
            name->setBackground(QColor(236, 236, 236));
            FloatGrid->setItem(n, 0, name);
            floatGridOptions << c.CodeGroup;
            const QStringList values = SplitMultiValues(CellText(grid, floatRow + n, 1));
            if (FloatGrid->columnCount() < values.size() + 1)
                FloatGrid->setColumnCount(int(values.size()) + 1);
            for (int v = 0; v < values.size(); ++v)
                FloatGrid->setItem(n, v + 1, new QTableWidgetItem(values[v]));
        }
        for (int c = 1; c < FloatGrid->columnCount(); ++c)
            FloatGrid->setColumnWidth(c, 120);
        FloatCountLabel->setText(MetaCountText(FloatGrid->columnCount() - 1));
        FloatPanel->resize(FloatPanel->width(), 70 + count * (RowHeight + 4));
        PlaceEditor(FloatPanel, grid, floatRow);
        FloatGrid->setCurrentCell(0, 1);
        FloatPanel->setFocus();
        return;
    }
    }
}

void TfrmMetaEdit::HideEditors()
{
    for (QWidget* w : std::initializer_list<QWidget*>{FloatEdit, FloatDate, FloatComboBox, FloatPanel, ComboBoxOnFloat})
        w->hide();
}

void TfrmMetaEdit::ForgetCell()
{
    floatCol = -1;
    floatRow = -1;
}

void TfrmMetaEdit::ApplyEditor()
{
    if (m_applying)
        return;
    m_applying = true;
    const bool edit = FloatEdit->isVisible(), date = FloatDate->isVisible(), combo = FloatComboBox->isVisible(),
               panel = FloatPanel->isVisible();
    QTableWidget* grid = GroupGrid(floatObject);
    if (grid && floatRow >= 0 && floatCol >= 0) {
        auto write = [&](int row, const QString& value) {
            if (CellText(grid, row, 1) == value)
                return;
            SetCell(grid, row, 1, value);
            if (isInit)
                SetDirty(true);
        };
        if (edit || date) {
            TEditPlus* e = edit ? FloatEdit : FloatDate;
            write(floatRow, e->text());
        } else if (combo) {
            QStringList items;
            for (int i = 0; i < FloatComboBox->count(); ++i)
                items << FloatComboBox->itemText(i);
            write(floatRow, ChosenValue(items, FloatComboBox->currentIndex()));
        } else if (panel) {
            // Moving the current cell commits a value still being typed.
            if (FloatGrid->currentRow() >= 0) {
                const QSignalBlocker block(FloatGrid);
                FloatGrid->setCurrentCell(FloatGrid->currentRow(), 0);
            }
            for (int n = 0; n < FloatGrid->rowCount(); ++n) {
                QStringList cells;
                for (int c = 1; c < FloatGrid->columnCount(); ++c)
                    cells << CellText(FloatGrid, n, c);
                const QString joined = JoinMultiValues(cells);
                if (!joined.isNull() && floatRow + n < grid->rowCount())
                    write(floatRow + n, joined);
            }
        }
    }
    HideEditors();
    ForgetCell();
    m_applying = false;
}

void TfrmMetaEdit::FloatComboChange(int index)
{
    Q_UNUSED(index);
    if (!isInit || floatObject != 0 || floatRow < 0 || !FloatComboBox->isVisible())
        return;
    if (floatRow != m_codes->vux_SubjPtr1 && floatRow != m_codes->vux_SubjPtr2)
        return;
    QStringList items;
    for (int i = 0; i < FloatComboBox->count(); ++i)
        items << FloatComboBox->itemText(i);
    const QString value = ChosenValue(items, FloatComboBox->currentIndex());
    if (CellText(gridMain, floatRow, 1) == value)
        return;
    SetCell(gridMain, floatRow, 1, value);
    ChooseExtensionGrid();
    SetDirty(true);
}

void TfrmMetaEdit::FloatGridSelect(int row, int column)
{
    ComboBoxOnFloat->hide();
    if (!FloatPanel->isVisible() || row < 0 || column < 1 || row >= floatGridOptions.size())
        return;
    const QString codeGroup = floatGridOptions[row];
    if (codeGroup == QLatin1String("x"))
        return;
    QStringList items;
    if (!CodeChoices(*m_codes, codeGroup, items)) {
        m_ui->ShowInfo(MsgMetaUndefinedCode(codeGroup));
        return;
    }
    const QSignalBlocker block(ComboBoxOnFloat);
    ComboBoxOnFloat->clear();
    ComboBoxOnFloat->addItems(items);
    const int at = items.indexOf(CellText(FloatGrid, row, column));
    ComboBoxOnFloat->setCurrentIndex(at > 0 ? at : 0);
    ComboBoxOnFloat->setMaxVisibleItems(qMin(10, int(items.size())));
    const QRect cell = FloatGrid->visualRect(FloatGrid->model()->index(row, column));
    ComboBoxOnFloat->setGeometry(cell.left() + 2, cell.top() + 3, cell.width(), cell.height());
    ComboBoxOnFloat->show();
    ComboBoxOnFloat->raise();
    ComboBoxOnFloat->setFocus();
}

void TfrmMetaEdit::ComboBoxOnFloatChoose(int index)
{
    const int row = FloatGrid->currentRow(), column = FloatGrid->currentColumn();
    if (row < 0 || column < 1)
        return;
    QStringList items;
    for (int i = 0; i < ComboBoxOnFloat->count(); ++i)
        items << ComboBoxOnFloat->itemText(i);
    QTableWidgetItem* item = FloatGrid->item(row, column);
    if (!item)
        FloatGrid->setItem(row, column, item = new QTableWidgetItem);
    item->setText(ChosenValue(items, index));
}

void TfrmMetaEdit::btnFloatExtAddClick()
{
    ComboBoxOnFloat->hide();
    const int c = FloatGrid->columnCount();
    FloatGrid->setColumnCount(c + 1);
    FloatGrid->setColumnWidth(c, 120);
    FloatCountLabel->setText(MetaCountText(c));
}

void TfrmMetaEdit::btnFloatExtDelClick()
{
    ComboBoxOnFloat->hide();
    if (FloatGrid->columnCount() <= 2) {
        m_ui->ShowInfo(MsgMetaNoMoreDelete);
        return;
    }
    if (!m_ui->AskYesNo(MsgMetaDeleteColumn))
        return;
    FloatGrid->setColumnCount(FloatGrid->columnCount() - 1);
    FloatCountLabel->setText(MetaCountText(FloatGrid->columnCount() - 1));
}

void TfrmMetaEdit::MoveMainRow(int delta)
{
    const int from = floatRow;
    ApplyEditor();
    const int row = qBound(0, from + delta, gridMain->rowCount() - 1);
    gridMain->setCurrentCell(row, 1);
    SelectCell(gridMain, row);
}

void TfrmMetaEdit::TreeChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    Q_UNUSED(previous);
    if (!isInit)
        return;
    ApplyEditor();
    StoreArticle();
    if (Tree->absoluteIndex(current) < 1) {
        const QSignalBlocker block(Tree);
        Tree->selectAbsolute(qMax(1, m_node));
        return;
    }
    ShowArticle();
}

void TfrmMetaEdit::SourceComboChange(int entry)
{
    if (!isInit || entry == m_shownEntry)
        return;
    ApplyEditor();
    if (!DirtyGivenUp(MsgMetaCancelTab)) {
        // The combo box goes on naming the tab whose values are shown, so a save writes that tab.
        ShowTabInCombo(m_shownEntry);
        return;
    }
    SetDirty(false);
    if (!LoadTab(entry))
        ShowTabInCombo(m_shownEntry);
}

void TfrmMetaEdit::tbSaveClick()
{
    if (tabs_now < 0)
        return;
    StoreArticle();
    QString error;
    const QString file = KeywordFileName(myLIB.Jobs, tabs_now);
    if (file.isEmpty() || !SaveMetaFile(file, InputData, nullptr, &error)) {
        m_ui->ShowInfo(file + QStringLiteral(": 파일을 저장할 수 없습니다.\r\n") + error);
        return;
    }
    SetDirty(false);
}

void TfrmMetaEdit::tbCancelClick()
{
    if (!m_ui->AskYesNo(MsgMetaCancelAll))
        return;
    SetDirty(false);
    HideEditors();
    ForgetCell();
    InputData.Clear();
    Timer1->start();
}

void TfrmMetaEdit::Timer2Timer()
{
    ++iTimerSec;
    LabelTiming->setText(KeywordElapsedText(iTimerSec));
}

void TfrmMetaEdit::tbInitializeClick()
{
    if (m_worker || !m_codes)
        return;
    ApplyEditor();
    if (myLIB.schOptions.isEmpty() && !LoadKeywordDefinitions(*m_ui)) {
        CloseWindow();
        return;
    }
    isInit = false;
    isLoadingProgress = true;
    m_ownUi->ClearStop();
    // The worker rewrites the .kwd files: no saving, cancelling (a reopening) or tab change
    // may read or write them meanwhile.
    m_panelTop->setEnabled(false);
    setFocus();

    const TJobDefine job = myLIB.Jobs;
    const QList<TvuxSchOption> options = myLIB.schOptions;
    const QStringList arIds = myLIB.sch_ar_ids;
    const QString content = ContentBaseURL();
    const TVUX_codes* codes = m_codes;
    Interaction* ui = m_ui;
    auto outcome = std::make_shared<TMetaInitOutcome>();
    // The progress panel and the clock appear once the question is answered and the checks
    // passed, when the first tab starts.
    auto observer = std::make_shared<StartObserver>(this);
    m_worker = QThread::create([job, options, arIds, content, codes, ui, outcome, observer] {
        *outcome = RunMetaInitialisation(job, *codes, options, arIds, content, *ui, observer.get());
    });
    connect(m_worker, &QThread::finished, this, [this, outcome] {
        m_worker->deleteLater();
        m_worker = nullptr;
        InitFinished(*outcome);
    });
    m_worker->start();
}

void TfrmMetaEdit::ShowMakeData()
{
    if (PanelMakeData->isVisible())
        return;
    iTimerSec = 0;
    LabelTiming->setText(QStringLiteral("0"));
    PanelMakeData->adjustSize();
    PanelMakeData->move(5, 5);
    PanelMakeData->show();
    PanelMakeData->raise();
    Timer2->start();
}

void TfrmMetaEdit::InitFinished(const TMetaInitOutcome& outcome)
{
    Timer2->stop();
    isLoadingProgress = false;
    PanelMakeData->hide();
    m_panelTop->setEnabled(true);
    if (outcome.closeWindow) {
        // A tab's article tree could not be loaded.
        CloseWindow();
        return;
    }
    if (!outcome.started) {
        // Declined or refused before anything was written: the values shown, edits included, stay.
        isInit = m_shownEntry >= 0;
        return;
    }
    // Completed: the first tab from its new file; otherwise the tab shown, reloaded, so tree,
    // values and combo box name one tab again.
    const int entry = outcome.completed || m_shownEntry < 0 ? 0 : m_shownEntry;
    {
        const QSignalBlocker block(SourceCombo);
        SourceCombo->setCurrentIndex(entry);
    }
    LoadTab(entry);
    if (m_discard)
        close();
}
