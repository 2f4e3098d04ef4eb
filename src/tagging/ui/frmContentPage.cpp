#include "tagging/ui/frmContentPage.h"

#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/ProgressInteraction.h"
#include "articles/ui/TabCombo.h"
#include "articles/ui/fTreeModule.h"
#include "articles/ui/fWeb.h"
#include "jobs/JobLayout.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/myLIB.h"
#include "shell/ui/GridPainters.h"
#include "shell/ui/WindowRegistry.h"
#include "tagging/PageInfo.h"
#include "tagging/ui/frmImages.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

static WindowRegistrar reg(QStringLiteral("frmContentPage"), WindowKind::Child,
                           [](QWidget* parent) -> QWidget* { return new TfrmContentPage(parent); });

namespace {

// Rows that cannot be unticked: the root and articles with sub-articles.
constexpr int LockedRole = Qt::UserRole + 1;
// Above this many rows building the contents shows its progress window.
constexpr int LargeRowCount = 5000;

} // namespace

// Main rows in bold blue, pages in black, the selected row on salmon; the height of a tree row.
class TPageRowPainter : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    int rowHeight = 16;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight};
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool ticked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        const bool locked = index.data(LockedRole).toBool();
        painter->save();
        painter->fillRect(option.rect, (option.state & QStyle::State_Selected) ? QColor(255, 144, 128) : QColor(Qt::white));
        QStyleOptionButton box;
        const int side = qMin(option.rect.height() - 2, 13);
        box.rect = QRect(option.rect.left() + 3, option.rect.top() + (option.rect.height() - side) / 2, side, side);
        box.state = (ticked ? QStyle::State_On : QStyle::State_Off) | (locked ? QStyle::State_None : QStyle::State_Enabled);
        const QWidget* w = option.widget;
        QStyle* style = w ? w->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, w);
        QFont f = option.font;
        f.setBold(ticked);
        painter->setFont(f);
        painter->setPen(ticked ? QColor(Qt::blue) : QColor(Qt::black));
        painter->drawText(option.rect.adjusted(side + 8, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                          index.data().toString());
        painter->restore();
    }
};

TfrmContentPage::TfrmContentPage(QWidget* parent)
    : TEditWindow(parent)
{
    setObjectName("frmContentPage");
    setWindowTitle(QStringLiteral("페이지 묶음 지정"));

    SourceCombo = NewTabCombo(this, 160);
    ButtonMakeDefault = NewButton("ButtonMakeDefault", QStringLiteral("일괄적용"), this);
    ButtonMakeDefault->setToolTip(QStringLiteral("모든 작업을 취소함"));
    tbReload = NewButton("tbReload", QStringLiteral("되돌리기"), this);
    tbReload->setToolTip(QStringLiteral("저장 상태로 돌림"));
    ButtonResetAll = NewButton("ButtonResetAll", QStringLiteral("모두해제"), this);
    tbSave = NewButton("tbSave", QStringLiteral("저장"), this);
    tbCancelClose = NewButton("tbCancelClose", QStringLiteral("작업취소"), this);
    auto* top = new QHBoxLayout;
    top->addWidget(SourceCombo);
    for (QPushButton* b : {ButtonMakeDefault, tbReload, ButtonResetAll, tbSave, tbCancelClose})
        top->addWidget(b);
    top->addStretch();

    SplitterMain = new QSplitter(Qt::Horizontal, this);
    SplitterMain->setObjectName("SplitterMain");
    SplitterMain->setChildrenCollapsible(false);
    TreeModule = new TfTreeModule(SplitterMain);
    TreeModule->setObjectName("TreeModule");

    // The page list sits in the frame's extra panel, between the tree and the preview.
    CheckListBox = new QListWidget(TreeModule->PanelExtra);
    CheckListBox->setObjectName("CheckListBox");
    CheckListBox->setFixedWidth(80);
    CheckListBox->setUniformItemSizes(true);
    CheckListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    m_painter = new TPageRowPainter(CheckListBox);
    CheckListBox->setItemDelegate(m_painter);
    auto* extra = new QVBoxLayout(TreeModule->PanelExtra);
    extra->setContentsMargins(0, 0, 0, 0);
    extra->addWidget(CheckListBox);

    PanelContents = new QWidget(SplitterMain);
    PanelContents->setObjectName("PanelContents");
    PanelChangedMsg = new QWidget(PanelContents);
    PanelChangedMsg->setObjectName("PanelChangedMsg");
    PanelChangedMsg->setAutoFillBackground(true);
    QPalette pal = PanelChangedMsg->palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 160));
    PanelChangedMsg->setPalette(pal);
    auto* changedText = new QLabel(QStringLiteral("페이지가 변경되었습니다."), PanelChangedMsg);
    changedText->setObjectName("LabelChangedMsg");
    ButtonViewContentTree = NewButton("ButtonViewContentTree", QStringLiteral("새로고침"), PanelChangedMsg);
    auto* changedLayout = new QHBoxLayout(PanelChangedMsg);
    changedLayout->setContentsMargins(4, 2, 4, 2);
    changedLayout->addWidget(changedText, 1);
    changedLayout->addWidget(ButtonViewContentTree);
    PanelChangedMsg->hide();
    TreeViewContents = new QTreeWidget(PanelContents);
    TreeViewContents->setObjectName("TreeViewContents");
    TreeViewContents->setHeaderHidden(true);
    TreeViewContents->setSelectionMode(QAbstractItemView::SingleSelection);
    DrawTreeNodeColors(TreeViewContents);
    auto* contentsCaption = new QLabel(QStringLiteral("묶음 목차"), PanelContents);
    auto* contentsLayout = new QVBoxLayout(PanelContents);
    contentsLayout->setContentsMargins(0, 0, 0, 0);
    contentsLayout->setSpacing(2);
    contentsLayout->addWidget(contentsCaption);
    contentsLayout->addWidget(PanelChangedMsg);
    contentsLayout->addWidget(TreeViewContents, 1);

    SplitterMain->setStretchFactor(0, 3);
    SplitterMain->setStretchFactor(1, 1);
    SplitterMain->setSizes({900, 280});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(SplitterMain, 1);

    SetDirtyButtons(tbSave, tbCancelClose);

    connect(SourceCombo, &QComboBox::currentIndexChanged, this, &TfrmContentPage::SourceComboChange);
    connect(TreeModule->TreeView, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { TreeViewChange(current); });
    connect(CheckListBox, &QListWidget::currentRowChanged, this, &TfrmContentPage::CheckListBoxClick);
    connect(CheckListBox, &QListWidget::itemChanged, this, &TfrmContentPage::CheckListBoxClickCheck);
    connect(TreeViewContents, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { TreeViewContentsChange(current); });
    connect(ButtonMakeDefault, &QPushButton::clicked, this, &TfrmContentPage::ButtonMakeDefaultClick);
    connect(ButtonResetAll, &QPushButton::clicked, this, &TfrmContentPage::ButtonResetAllClick);
    connect(ButtonViewContentTree, &QPushButton::clicked, this, &TfrmContentPage::BuildContentsTree);
    connect(tbSave, &QPushButton::clicked, this, &TfrmContentPage::tbSaveClick);
    connect(tbReload, &QPushButton::clicked, this, &TfrmContentPage::tbReloadClick);
    connect(tbCancelClose, &QPushButton::clicked, this, &TfrmContentPage::CancelAndClose);
}

void TfrmContentPage::Timer1Timer()
{
    Timer1->stop();
    isInit = false;
    {
        const QSignalBlocker block(SourceCombo);
        FillTabCombo(SourceCombo, myLIB.Jobs, QString());
        SourceCombo->setCurrentIndex(SourceCombo->count() > 0 ? 0 : -1);
    }
    m_comboIndex = SourceCombo->currentIndex();
    const QString path = PageInfoFileName(myLIB.Jobs, 0);
    if (myLIB.Jobs.TabsCount > 0 && !QFileInfo::exists(path) && !m_ui->AskYesNo(NoPageFileQuestion)) {
        CloseWindow();
        return;
    }
    LoadTab();
}

void TfrmContentPage::LoadTab()
{
    isInit = false;
    SetDirty(false);
    m_rows.clear();
    tree_pointers.clear();
    m_contentsItems.clear();
    {
        const QSignalBlocker block(CheckListBox);
        CheckListBox->clear();
    }
    TreeViewContents->clear();
    PanelChangedMsg->hide();
    m_tab = ChosenTab();
    if (m_tab < 0 || !TreeModule->Show(m_tab)) {
        isInit = true;
        return;
    }
    TreeModule->PageHtml->setCurrentWidget(TreeModule->tabWeb);
    TreeModule->PageHtml->setTabVisible(TreeModule->PageHtml->indexOf(TreeModule->tabText), false);
    QList<int> sizes = TreeModule->Splitter2->sizes();
    if (sizes.size() == 2) {
        const int total = sizes[0] + sizes[1];
        TreeModule->Splitter2->setSizes({80, qMax(0, total - 80)});
    }
    m_painter->rowHeight = LineUpWithTree(TreeModule->TreeView, CheckListBox);

    const QString path = PageInfoFileName(myLIB.Jobs, m_tab);
    QStringList rows;
    const TPageInfoRead read = ReadPageInfo(path, TreeModule->TreeView->articles(), rows);
    if (!read.ok) {
        // A file that is there but unreadable is not replaced by a fresh one.
        m_ui->ShowInfo(path + QStringLiteral(": 지정하신 파일을 열 수 없습니다.\r\n") + read.error);
        isInit = true;
        return;
    }
    m_rows = rows;
    FillRows();
    BuildContentsTree();
    if (read.changed) {
        PanelChangedMsg->show();
        SetDirty(true);
    }
    isInit = true;
}

void TfrmContentPage::FillRows()
{
    const TArticleTree& tree = TreeModule->TreeView->articles();
    const QSignalBlocker block(CheckListBox);
    CheckListBox->clear();
    for (int i = 0; i < m_rows.size(); ++i) {
        auto* item = new QListWidgetItem(m_rows[i]);
        const bool locked = i == 0 || !tree.node(i).children.empty();
        item->setData(LockedRole, locked);
        item->setFlags(locked ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                              : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(m_rows[i] == PageMain ? Qt::Checked : Qt::Unchecked);
        item->setSizeHint(QSize(60, m_painter->rowHeight));
        CheckListBox->addItem(item);
    }
}

void TfrmContentPage::SetRow(int row, const QString& value)
{
    m_rows[row] = value;
    if (QListWidgetItem* item = CheckListBox->item(row)) {
        const QSignalBlocker block(CheckListBox);
        item->setText(value);
        item->setCheckState(value == PageMain ? Qt::Checked : Qt::Unchecked);
    }
}

void TfrmContentPage::BuildContentsTree()
{
    const TArticleTree& tree = TreeModule->TreeView->articles();
    if (tree.empty())
        return;
    const bool wasInit = isInit;
    isInit = false;
    TProgressInteraction progress(window(), m_rows.size() > LargeRowCount);
    progress.Status(1, QStringLiteral("항목을 정리하고 있습니다."));
    QApplication::setOverrideCursor(Qt::WaitCursor);

    const TPageContents c = BuildPageContents(tree, m_rows);
    TreeViewContents->setUpdatesEnabled(false);
    TreeViewContents->clear();
    m_contentsItems.clear();
    for (size_t j = 0; j < c.pointers.size(); ++j) {
        auto* item = new QTreeWidgetItem(QStringList{tree.node(c.pointers[j]).title});
        if (j == 0) {
            item->setFlags(item->flags() & ~Qt::ItemIsSelectable); // the root cannot be chosen
            TreeViewContents->addTopLevelItem(item);
        } else {
            m_contentsItems[size_t(c.parents[j])]->addChild(item);
        }
        m_contentsItems.push_back(item);
        if (j % 100 == 0)
            progress.Progress(0, qint64(j), qint64(m_rows.size()));
    }
    tree_pointers = c.pointers;
    if (!m_contentsItems.empty()) {
        m_contentsItems[0]->setExpanded(true);
        if (m_contentsItems.size() > 1)
            m_contentsItems[1]->setExpanded(true);
    }
    TreeViewContents->setUpdatesEnabled(true);
    QApplication::restoreOverrideCursor();
    if (c.failedRow >= 0) {
        progress.close();
        m_ui->ShowInfo(PageContentsErrorMessage(tree, c.failedRow));
        isInit = wasInit;
        return;
    }
    progress.Status(1, QStringLiteral("트리를 구성하고 있습니다."));
    progress.Progress(0, m_rows.size(), m_rows.size());
    progress.close();
    PanelChangedMsg->hide();
    isInit = true;
}

void TfrmContentPage::SourceComboChange(int index)
{
    if (TabChanging(index, [this] { return DirtyGivenUp(CancelEditsQuestion); }))
        LoadTab();
}

void TfrmContentPage::TreeViewChange(QTreeWidgetItem* current)
{
    TArticleTreeWidget* tree = TreeModule->TreeView;
    if (!isInit || m_selecting || !current)
        return;
    const int index = tree->absoluteIndex(current);
    if (index <= 0)
        return;
    m_selecting = true;
    if (index < CheckListBox->count())
        CheckListBox->setCurrentRow(index);
    QTreeWidgetItem* contents = nullptr;
    for (size_t j = 1; j < tree_pointers.size(); ++j)
        if (tree_pointers[j] == index)
            contents = m_contentsItems[j];
    if (contents)
        TreeViewContents->setCurrentItem(contents);
    else
        TreeViewContents->clearSelection();
    m_selecting = false;
}

void TfrmContentPage::CheckListBoxClick(int row)
{
    if (!isInit || m_selecting || row <= 0)
        return;
    // Following the tree brings the contents along.
    TreeModule->TreeView->selectAbsolute(row);
}

void TfrmContentPage::CheckListBoxClickCheck(QListWidgetItem* item)
{
    const int row = CheckListBox->row(item);
    if (!isInit || row <= 0 || row >= m_rows.size())
        return;
    const QString value = item->checkState() == Qt::Checked ? PageMain : PagePage;
    if (m_rows[row] == value)
        return;
    SetRow(row, value);
    SetDirty(true);
    PanelChangedMsg->show();
}

void TfrmContentPage::TreeViewContentsChange(QTreeWidgetItem* current)
{
    if (!isInit || m_selecting || !current)
        return;
    for (size_t j = 1; j < m_contentsItems.size(); ++j) {
        if (m_contentsItems[j] == current) {
            CheckListBox->setCurrentRow(tree_pointers[j]);
            return;
        }
    }
}

void TfrmContentPage::ButtonMakeDefaultClick()
{
    const TArticleTree& tree = TreeModule->TreeView->articles();
    if (m_rows.isEmpty() || tree.count() != m_rows.size())
        return;
    const QStringList rows = PagesByTitle(tree);
    for (int i = 1; i < rows.size(); ++i)
        SetRow(i, rows[i]);
    SetDirty(true);
    BuildContentsTree();
}

void TfrmContentPage::ButtonResetAllClick()
{
    if (m_rows.isEmpty())
        return;
    if (isInit && Dirty() && !m_ui->AskYesNo(CancelEditsQuestion))
        return;
    for (int i = 1; i < m_rows.size(); ++i)
        SetRow(i, PageMain);
    BuildContentsTree();
    SetDirty(true);
}

void TfrmContentPage::tbSaveClick()
{
    if (m_rows.isEmpty())
        return;
    QString error;
    if (!WriteLinkFile(PageInfoFileName(myLIB.Jobs, m_tab), m_rows, &error)) {
        m_ui->ShowInfo(error);
        return;
    }
    PanelChangedMsg->hide();
    m_ui->ShowInfo(PagesSavedMessage);
    SetDirty(false);
}

void TfrmContentPage::tbReloadClick()
{
    if (Dirty() && !ConfirmRollback(*m_ui))
        return;
    Timer1Timer();
}

