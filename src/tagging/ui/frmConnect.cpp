#include "tagging/ui/frmConnect.h"

#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/Preview.h"
#include "articles/ui/fWeb.h"
#include "jobs/JobLayout.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/myLIB.h"
#include "shell/ui/WindowRegistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

static WindowRegistrar reg(QStringLiteral("frmConnect"), WindowKind::Child,
                           [](QWidget* parent) -> QWidget* { return new TfrmConnect(parent); });

namespace {

constexpr int ColumnWidth = 64;

QLabel* HeadLabel(const QString& name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignCenter);
    l->setFixedHeight(24);
    l->setStyleSheet(QStringLiteral("QLabel { background: #dfe6ef; font-weight: bold; }"));
    return l;
}

QWidget* Column(const QString& name, QLabel* head, QWidget* body, QWidget* parent)
{
    auto* w = new QWidget(parent);
    w->setObjectName(name);
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    l->addWidget(head);
    l->addWidget(body, 1);
    return w;
}

void HideAddressBar(TfWeb* web)
{
    web->eURL->hide();
    web->btnWeb->hide();
}

} // namespace

TfrmConnect::TfrmConnect(QWidget* parent)
    : TEditWindow(parent)
{
    setObjectName("frmConnect");
    setWindowTitle(QStringLiteral("탭 연결"));

    auto* bar = new QHBoxLayout;
    bar->setSpacing(2);
    tbSetup = NewToolButton("tbSetup", QStringLiteral("설정"), 56, this, QStringLiteral("여러 개의 연결이 있을 경우 연결 방식을 선택"));
    tbReload = NewToolButton("tbReload", QStringLiteral("새로고침"), 56, this, QStringLiteral("저장 상태로 되돌림"));
    tbClearAll = NewToolButton("tbClearAll", QStringLiteral("초기화"), 56, this, QStringLiteral("모든 연결을 지움"));
    tbSearch = NewToolButton("tbSearch", QStringLiteral("찾기"), 56, this, QStringLiteral("왼쪽 제목을 오른쪽 제목에서 찾음"));
    tbConnect = NewToolButton("tbConnect", QStringLiteral("연결"), 56, this, QStringLiteral("연결 설정: Enter 키"));
    tbClear = NewToolButton("tbClear", QStringLiteral("해제"), 56, this, QStringLiteral("연결 해제"));
    tbSave = NewToolButton("tbSave", QStringLiteral("저장"), 56, this, QStringLiteral("작업 내용을 저장"));
    tbCancelClose = NewToolButton("tbCancelClose", QStringLiteral("작업취소"), 56, this, QStringLiteral("작업을 취소하고 닫음"));
    chkHideTree = new QCheckBox(QStringLiteral("트리 감추기"), this);
    chkHideTree->setObjectName("chkHideTree");
    btnAuto = new QPushButton(QStringLiteral("자동연결"), this);
    btnAuto->setObjectName("btnAuto");
    btnAuto->setToolTip(QStringLiteral("왼쪽 기준으로 오른쪽 제목이 있을 경우 자동으로 연결시켜줍니다."));
    btnAuto->setAutoDefault(false);
    for (QWidget* w : {static_cast<QWidget*>(tbSetup), static_cast<QWidget*>(tbReload),
                       static_cast<QWidget*>(tbClearAll), static_cast<QWidget*>(tbSearch)})
        bar->addWidget(w);
    bar->addSpacing(12);
    bar->addWidget(tbConnect);
    bar->addWidget(tbClear);
    bar->addSpacing(12);
    bar->addWidget(tbSave);
    bar->addWidget(tbCancelClose);
    bar->addSpacing(12);
    bar->addWidget(chkHideTree);
    bar->addStretch();
    bar->addWidget(btnAuto);

    // Trees and the column above, the two previews below.
    SplitterMain = new QSplitter(Qt::Vertical, this);
    SplitterMain->setObjectName("SplitterMain");
    SplitterMain->setChildrenCollapsible(false);
    SplitterTrees = new QSplitter(Qt::Horizontal, SplitterMain);
    SplitterTrees->setObjectName("SplitterTrees");
    SplitterTrees->setChildrenCollapsible(false);
    TreeViewLeft = new TArticleTreeWidget;
    TreeViewLeft->setObjectName("TreeViewLeft");
    LabelObject = HeadLabel("LabelObject", QStringLiteral("기본탭"), nullptr);
    PanelLeft = Column("PanelLeft", LabelObject, TreeViewLeft, SplitterTrees);
    ConnectList = new QListWidget;
    ConnectList->setObjectName("ConnectList");
    PanelConnect = Column("PanelConnect", HeadLabel("LabelConnect", QStringLiteral("연결"), nullptr), ConnectList,
                          SplitterTrees);
    PanelConnect->setMinimumWidth(40);
    TreeViewRight = new TArticleTreeWidget;
    TreeViewRight->setObjectName("TreeViewRight");
    LabelTarget = HeadLabel("LabelTarget", QStringLiteral("기본탭"), nullptr);
    PanelRight = Column("PanelRight", LabelTarget, TreeViewRight, SplitterTrees);

    SplitterWeb = new QSplitter(Qt::Horizontal, SplitterMain);
    SplitterWeb->setObjectName("SplitterWeb");
    SplitterWeb->setChildrenCollapsible(false);
    fWebLeft = new TfWeb(SplitterWeb);
    fWebLeft->setObjectName("fWebLeft");
    fWebRight = new TfWeb(SplitterWeb);
    fWebRight->setObjectName("fWebRight");
    HideAddressBar(fWebLeft);
    HideAddressBar(fWebRight);
    SplitterMain->setStretchFactor(0, 3);
    SplitterMain->setStretchFactor(1, 2);
    SplitterMain->setSizes({300, 260}); // the previews get their share from the start

    // Every node of the base tree stays open, so that row i of the column is node i of the tree.
    TreeViewLeft->setItemsExpandable(false);
    TreeViewLeft->setRootIsDecorated(false);
    TreeViewLeft->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TreeViewLeft->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    ConnectList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ConnectList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ConnectList->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    ConnectList->setUniformItemSizes(true);
    ConnectList->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeViewRight->setExpandsOnDoubleClick(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(SplitterMain, 1);

    // The pair chooser floats over the window's top left corner.
    auto* frame = new QFrame(this);
    frame->setObjectName("PanelDefineLink");
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Raised);
    frame->setAutoFillBackground(true);
    PanelDefineLink = frame;
    auto* title = new QLabel(QStringLiteral("탭 연결 선택"), frame);
    title->setStyleSheet(QStringLiteral("QLabel { font-weight: bold; }"));
    ComboTabs = new QComboBox(frame);
    ComboTabs->setObjectName("ComboTabs");
    ComboTabs->setMinimumWidth(220);
    btnSetNew = new QPushButton(QStringLiteral("선택"), frame);
    btnSetNew->setObjectName("btnSetNew");
    btnCancelNew = new QPushButton(QStringLiteral("취소"), frame);
    btnCancelNew->setObjectName("btnCancelNew");
    auto* panelButtons = new QHBoxLayout;
    panelButtons->addStretch();
    panelButtons->addWidget(btnSetNew);
    panelButtons->addWidget(btnCancelNew);
    auto* panelLayout = new QVBoxLayout(frame);
    panelLayout->addWidget(title);
    panelLayout->addWidget(ComboTabs);
    panelLayout->addLayout(panelButtons);
    frame->hide();

    ConnectTabsPtr = BuildConnectPairs(myLIB.Jobs);
    for (const TConnectPair& pair : ConnectTabsPtr)
        ComboTabs->addItem(ConnectPairCaption(myLIB.Jobs, pair));
    tbSetup->setEnabled(ConnectTabsPtr.size() >= 2);
    SetDirtyButtons(tbSave, tbCancelClose);

    connect(TreeViewLeft, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { TreeViewLeftChange(current); });
    connect(TreeViewRight, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { TreeViewRightChange(current); });
    connect(TreeViewRight, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { TreeViewRightDblClick(item); });
    connect(ConnectList, &QListWidget::currentRowChanged, this, &TfrmConnect::ConnectListClick);
    connect(ConnectList, &QListWidget::itemDoubleClicked, this, &TfrmConnect::ConnectListDblClick);
    // The column scrolls with the base tree.
    connect(TreeViewLeft->verticalScrollBar(), &QScrollBar::valueChanged, ConnectList->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(ConnectList->verticalScrollBar(), &QScrollBar::valueChanged, TreeViewLeft->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(tbSetup, &QToolButton::clicked, this, &TfrmConnect::tbSetupClick);
    connect(tbReload, &QToolButton::clicked, this, &TfrmConnect::tbReloadClick);
    connect(tbClearAll, &QToolButton::clicked, this, &TfrmConnect::tbClearAllClick);
    connect(tbSearch, &QToolButton::clicked, this, &TfrmConnect::tbSearchClick);
    connect(tbConnect, &QToolButton::clicked, this, [this] { ConnectSelected(); });
    connect(tbClear, &QToolButton::clicked, this, &TfrmConnect::tbClearClick);
    connect(tbSave, &QToolButton::clicked, this, &TfrmConnect::tbSaveClick);
    connect(tbCancelClose, &QToolButton::clicked, this, &TfrmConnect::tbCancelCloseClick);
    connect(chkHideTree, &QCheckBox::clicked, this, &TfrmConnect::chkHideTreeClick);
    connect(btnAuto, &QPushButton::clicked, this, &TfrmConnect::btnAutoClick);
    connect(ComboTabs, &QComboBox::currentIndexChanged, this, &TfrmConnect::ComboTabsChange);
    connect(btnSetNew, &QPushButton::clicked, this, &TfrmConnect::btnSetNewClick);
    connect(btnCancelNew, &QPushButton::clicked, this, &TfrmConnect::btnCancelNewClick);
    for (QWidget* w : {static_cast<QWidget*>(TreeViewLeft), static_cast<QWidget*>(TreeViewRight),
                       static_cast<QWidget*>(ConnectList)})
        w->installEventFilter(this);
}

TfrmConnect::~TfrmConnect() = default;

QStringList TfrmConnect::Rows() const
{
    QStringList rows;
    for (int i = 0; i < ConnectList->count(); ++i)
        rows << ConnectList->item(i)->text();
    return rows;
}

void TfrmConnect::SetRow(int row, const QString& value)
{
    if (QListWidgetItem* item = ConnectList->item(row); item && item->text() != value) {
        item->setText(value);
        SetDirty(true);
    }
}

void TfrmConnect::Timer1Timer()
{
    Timer1->stop();
    isInit = false;
    if (ConnectTabsPtr.isEmpty()) {
        SplitterMain->hide();
        m_ui->ShowInfo(NoConnectPairMessage);
        CloseWindow();
        return;
    }
    {
        const QSignalBlocker block(ComboTabs);
        ComboTabs->setCurrentIndex(0);
    }
    LoadPair(0);
}

void TfrmConnect::LoadPair(int pair)
{
    isInit = false;
    ConnectList->clear();
    TreeViewLeft->clearArticles();
    TreeViewRight->clearArticles();
    SetDirty(false);
    m_pairInWork = pair;
    const TConnectPair p = ConnectTabsPtr[pair];
    const TJobDefine& job = myLIB.Jobs;
    LabelObject->setText(job.TabsName[size_t(p.base)]);
    LabelTarget->setText(job.TabsName[size_t(p.target)]);

    if (!LoadArticleTree(TreeViewLeft, p.base, true, window()))
        return;
    TreeViewLeft->expandAll();
    TreeViewLeft->selectAbsolute(1);

    const QString path = ConnectFileName(job, p.base);
    const TConnectRead read = ReadConnectFile(path, TreeViewLeft->articleCount());
    if (!read.error.isEmpty())
        m_ui->ShowInfo(read.error);
    if (const QString m = UnusableConnectLinesMessage(path, read.unusable); !m.isEmpty())
        m_ui->ShowInfo(m);
    // Rows as high as the tree's, so that they line up.
    QTreeWidgetItem* first = TreeViewLeft->itemAt(0);
    int rowHeight = first ? TreeViewLeft->visualItemRect(first).height() : 0;
    if (rowHeight <= 0)
        rowHeight = qMax(16, TreeViewLeft->sizeHintForRow(0));
    for (const QString& row : read.rows) {
        auto* item = new QListWidgetItem(row);
        item->setTextAlignment(Qt::AlignCenter);
        item->setSizeHint(QSize(ColumnWidth - 8, rowHeight));
        ConnectList->addItem(item);
    }

    if (!LoadArticleTree(TreeViewRight, p.target, true, window()))
        return;
    isInit = true;
    TreeViewRight->selectAbsolute(1);
    TreeViewRightChange(TreeViewRight->currentItem());
    // The base node is already selected: follow it by hand.
    TreeViewLeftChange(TreeViewLeft->currentItem());
    TreeViewLeft->setFocus();
}

void TfrmConnect::TreeViewLeftChange(QTreeWidgetItem* current)
{
    TreeViewLeft->viewport()->update();
    if (!isInit || !current || !TreeViewLeft->carriesArticle(current))
        return;
    const int index = TreeViewLeft->absoluteIndex(current);
    PreviewSelectedArticle(ConnectTabsPtr[m_pairInWork].base, TreeViewLeft, fWebLeft,
                           static_cast<QPlainTextEdit*>(nullptr));
    m_following = true;
    ConnectList->setCurrentRow(index);
    m_following = false;
    int target = -1;
    if (QListWidgetItem* row = ConnectList->item(index); row && ParseConnectValue(row->text(), &target)
        && target >= 0 && target < TreeViewRight->articleCount())
        TreeViewRight->selectAbsolute(target);
}

void TfrmConnect::TreeViewRightChange(QTreeWidgetItem* current)
{
    TreeViewRight->viewport()->update();
    if (!isInit || !current || !TreeViewRight->carriesArticle(current))
        return;
    PreviewSelectedArticle(ConnectTabsPtr[m_pairInWork].target, TreeViewRight, fWebRight,
                           static_cast<QPlainTextEdit*>(nullptr));
}

void TfrmConnect::ConnectListClick(int row)
{
    if (!isInit || m_following || row < 1)
        return;
    TreeViewLeft->selectAbsolute(row);
}

bool TfrmConnect::ConnectSelected()
{
    QTreeWidgetItem* base = TreeViewLeft->currentItem();
    QTreeWidgetItem* target = TreeViewRight->currentItem();
    const int row = ConnectList->currentRow();
    if (!isInit || !base || !TreeViewLeft->carriesArticle(base) || !target || TreeViewRight->absoluteIndex(target) < 0
        || row < 0)
        return false;
    SetRow(row, QString::number(TreeViewRight->absoluteIndex(target)));
    return true;
}

void TfrmConnect::ConnectListDblClick(QListWidgetItem*)
{
    if (ConnectList->selectedItems().size() == 1)
        ConnectSelected();
}

void TfrmConnect::TreeViewRightDblClick(QTreeWidgetItem*)
{
    if (!ConnectSelected())
        return;
    // On to the next article, so that the operator can connect one after the other.
    const int next = ConnectList->currentRow() + 1;
    if (next < ConnectList->count())
        TreeViewLeft->selectAbsolute(next);
}

void TfrmConnect::tbClearClick()
{
    const int row = ConnectList->currentRow();
    if (row >= 0)
        SetRow(row, NotConnected);
}

void TfrmConnect::tbSearchClick()
{
    QTreeWidgetItem* base = TreeViewLeft->currentItem();
    const int row = ConnectList->currentRow();
    if (!isInit || !base || !TreeViewLeft->carriesArticle(base) || row < 0)
        return;
    const int found = FindTitle(TreeViewRight->articles(), TreeViewLeft->nodeOf(base)->title);
    if (found < 0) {
        m_ui->ShowInfo(NoMatchingTitleMessage);
        return;
    }
    SetRow(row, QString::number(found));
    TreeViewRight->selectAbsolute(found);
}

void TfrmConnect::btnAutoClick()
{
    if (!isInit || !m_ui->AskYesNo(DiscardConnectionsQuestion))
        return;
    QStringList rows = Rows();
    AutoConnect(rows, TreeViewLeft->articles(), TreeViewRight->articles());
    for (int i = 0; i < rows.size(); ++i)
        ConnectList->item(i)->setText(rows[i]);
    SetDirty(true);
    TreeViewLeftChange(TreeViewLeft->currentItem());
}

void TfrmConnect::tbClearAllClick()
{
    if (!isInit || !m_ui->AskYesNo(DiscardConnectionsQuestion))
        return;
    for (int i = 1; i < ConnectList->count(); ++i)
        ConnectList->item(i)->setText(NotConnected);
    SetDirty(true);
}

void TfrmConnect::tbReloadClick()
{
    if (Dirty() && !ConfirmRollback(*m_ui))
        return;
    if (!m_ui->AskYesNo(DiscardConnectionsQuestion))
        return;
    for (int i = 1; i < ConnectList->count(); ++i)
        ConnectList->item(i)->setText(NotConnected);
    Timer1Timer();
}

void TfrmConnect::tbSetupClick()
{
    m_rememberedPair = ComboTabs->currentIndex();
    btnSetNew->setEnabled(false);
    PanelDefineLink->adjustSize();
    PanelDefineLink->move(SplitterMain->geometry().topLeft() + QPoint(8, 8));
    PanelDefineLink->show();
    PanelDefineLink->raise();
    ComboTabs->setFocus();
}

void TfrmConnect::ComboTabsChange()
{
    if (isInit)
        btnSetNew->setEnabled(true);
}

void TfrmConnect::btnSetNewClick()
{
    const int chosen = ComboTabs->currentIndex();
    if (chosen == m_rememberedPair) {
        m_ui->ShowInfo(QStringLiteral("연결 설정을 바꾸지 않고 현재 작업을 계속합니다."));
        PanelDefineLink->hide();
        return;
    }
    if (!DirtyGivenUp(CancelAllQuestion))
        return;
    SetDirty(false);
    PanelDefineLink->hide();
    if (chosen >= 0 && chosen < ConnectTabsPtr.size())
        LoadPair(chosen);
}

void TfrmConnect::btnCancelNewClick()
{
    PanelDefineLink->hide();
    const QSignalBlocker block(ComboTabs);
    ComboTabs->setCurrentIndex(m_pairInWork);
}

void TfrmConnect::tbSaveClick()
{
    if (m_pairInWork < 0)
        return;
    QString error;
    const QString path = ConnectFileName(myLIB.Jobs, ConnectTabsPtr[m_pairInWork].base);
    if (!WriteConnectFile(path, Rows(), &error)) {
        m_ui->ShowInfo(error);
        return;
    }
    m_ui->ShowInfo(ConnectSavedMessage(LabelObject->text()));
    SetDirty(false);
}

void TfrmConnect::tbCancelCloseClick()
{
    if (DirtyGivenUp(CancelAllQuestion))
        CloseWindow();
}

void TfrmConnect::chkHideTreeClick()
{
    SplitterTrees->setVisible(!chkHideTree->isChecked());
}

void TfrmConnect::PlaceHalves()
{
    const int w = SplitterTrees->width();
    if (w <= 0)
        return;
    const int column = PanelConnect->isVisible() ? ColumnWidth : 0;
    SplitterTrees->setSizes({w / 2, column, qMax(0, w - w / 2 - column)});
    SplitterWeb->setSizes({w / 2, w - w / 2});
}

void TfrmConnect::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The splitters take their new widths once the layout has run.
    QTimer::singleShot(0, this, &TfrmConnect::PlaceHalves);
}

bool TfrmConnect::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ConnectSelected();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
