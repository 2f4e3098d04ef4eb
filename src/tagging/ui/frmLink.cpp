#include "tagging/ui/frmLink.h"

#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/Preview.h"
#include "articles/ui/TabCombo.h"
#include "articles/ui/fTreeModule.h"
#include "articles/ui/fWeb.h"
#include "controls/ui/EditPlus.h"
#include "jobs/JobLayout.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/myLIB.h"
#include "shell/ui/GridPainters.h"
#include "shell/ui/WindowRegistry.h"
#include "tagging/TagEditor.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

static WindowRegistrar reg(QStringLiteral("frmLink"), WindowKind::Child,
                           [](QWidget* parent) -> QWidget* { return new TfrmLink(parent); });

namespace {

QString Raw(const QPlainTextEdit* editor)
{
    return editor->document()->toRawText();
}

void Select(QPlainTextEdit* editor, int start, int end)
{
    QTextCursor c = editor->textCursor();
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    editor->setTextCursor(c);
}

void Apply(QPlainTextEdit* editor, const TTextChange& change)
{
    QTextCursor c = editor->textCursor();
    c.setPosition(change.start);
    c.setPosition(change.start + change.length, QTextCursor::KeepAnchor);
    c.insertText(change.replacement);
}

} // namespace

TfrmLink::TfrmLink(QWidget* parent)
    : TEditWindow(parent)
{
    setObjectName("frmLink");
    setWindowTitle(QStringLiteral("링크 만들기"));

    SourceCombo = NewTabCombo(this, 180, 1);
    SourceCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    tbReload = NewToolButton("tbReload", QStringLiteral("새로고침"), 56, this);
    tbConnect = NewToolButton("tbConnect", QStringLiteral("연결"), 56, this);
    tbClear = NewToolButton("tbClear", QStringLiteral("해제"), 56, this);
    tbSave = NewToolButton("tbSave", QStringLiteral("저장"), 56, this);
    tbCancelClose = NewToolButton("tbCancelClose", QStringLiteral("작업취소"), 56, this);
    auto* bar = new QHBoxLayout;
    bar->setSpacing(2);
    bar->addWidget(SourceCombo);
    bar->addWidget(tbReload);
    bar->addSpacing(12);
    bar->addWidget(tbConnect);
    bar->addWidget(tbClear);
    bar->addSpacing(12);
    bar->addWidget(tbSave);
    bar->addWidget(tbCancelClose);
    bar->addStretch();

    SplitterMain = new QSplitter(Qt::Horizontal, this);
    SplitterMain->setObjectName("SplitterMain");
    SplitterMain->setChildrenCollapsible(false);
    TreeLeft = new TfTreeModule(SplitterMain);
    TreeLeft->setObjectName("TreeLeft");
    TreeLeft->defaultSelectionHandler = false;
    // The selection stays visible while the operator works in the target pane.
    QPalette pal = TreeLeft->eTextSource->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    TreeLeft->eTextSource->setPalette(pal);

    LinkSourcePage = new QTabWidget(SplitterMain);
    LinkSourcePage->setObjectName("LinkSourcePage");
    TabThis = new QWidget(LinkSourcePage);
    TabThis->setObjectName("TabThis");
    TabOther = new QWidget(LinkSourcePage);
    TabOther->setObjectName("TabOther");
    LinkSourcePage->addTab(TabThis, QStringLiteral("제품 내 링크"));
    LinkSourcePage->addTab(TabOther, QStringLiteral("타 제품 링크"));

    PageControlThis = new QTabWidget(TabThis);
    PageControlThis->setObjectName("PageControlThis");
    PageControlThis->setUsesScrollButtons(true);
    auto* thisLayout = new QVBoxLayout(TabThis);
    thisLayout->setContentsMargins(2, 2, 2, 2);
    thisLayout->addWidget(PageControlThis);

    // One target page per tab of the job; the names follow the ten pages of the first layout
    // (TreeViewRight1, then TreeView1 …) and simply go on for jobs with more tabs.
    const int tabs = qBound(0, myLIB.Jobs.TabsCount, MaxTabs);
    for (int k = 0; k < tabs; ++k) {
        auto* sheet = new QWidget(PageControlThis);
        sheet->setObjectName(QStringLiteral("TabSheet%1").arg(k + 1));
        auto* split = new QSplitter(Qt::Vertical, sheet);
        split->setChildrenCollapsible(false);
        auto* tree = new TArticleTreeWidget(split);
        tree->setObjectName(k == 0 ? QStringLiteral("TreeViewRight1") : QStringLiteral("TreeView%1").arg(k));
        tree->setExpandsOnDoubleClick(false);
        auto* web = new TfWeb(split);
        web->setObjectName(QStringLiteral("fWeb%1").arg(k + 1));
        web->eURL->hide();
        web->btnWeb->hide();
        split->setStretchFactor(0, 1);
        split->setStretchFactor(1, 1);
        split->setSizes({300, 300}); // the preview gets its half from the start
        auto* l = new QVBoxLayout(sheet);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(split);
        PageControlThis->addTab(sheet, myLIB.Jobs.TabsName[size_t(k)]);
        m_sheets << sheet;
        m_trees << tree;
        m_webs << web;
        connect(tree, &QTreeWidget::currentItemChanged, this,
                [this, k](QTreeWidgetItem* current, QTreeWidgetItem*) { TargetTreeChange(k, current); });
        connect(tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem*, int) { tbConnectClick(); });
    }

    BookInfoGrid = new QTableWidget(TabOther);
    BookInfoGrid->setObjectName("BookInfoGrid");
    BookInfoGrid->setColumnCount(4);
    BookInfoGrid->setHorizontalHeaderLabels(
        {QStringLiteral("순서"), QStringLiteral("제품"), QStringLiteral("서비스"), QStringLiteral("제품명")});
    BookInfoGrid->verticalHeader()->hide();
    BookInfoGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    BookInfoGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    BookInfoGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    BookInfoGrid->horizontalHeader()->setStretchLastSection(true);
    BookInfoGrid->setColumnWidth(0, 50);
    BookInfoGrid->setColumnWidth(1, 40);
    // At least the header's width: the Korean caption is wider than the narrow column allows.
    BookInfoGrid->setColumnWidth(
        2, qMax(30, BookInfoGrid->horizontalHeader()->fontMetrics().horizontalAdvance(QStringLiteral("서비스")) + 12));
    DrawGridCell(BookInfoGrid);

    GroupSort = new QGroupBox(QStringLiteral("정렬 "), TabOther);
    GroupSort->setObjectName("GroupSort");
    RadioButton1 = new QRadioButton(QStringLiteral("자주 찾는 제품 순"), GroupSort);
    RadioButton1->setObjectName("RadioButton1");
    RadioButton2 = new QRadioButton(QStringLiteral("제품명 순"), GroupSort);
    RadioButton2->setObjectName("RadioButton2");
    RadioButton3 = new QRadioButton(QStringLiteral("제품명 역순"), GroupSort);
    RadioButton3->setObjectName("RadioButton3");
    auto* sortGroup = new QButtonGroup(this);
    sortGroup->addButton(RadioButton1, OrderFavourite);
    sortGroup->addButton(RadioButton2, OrderName);
    sortGroup->addButton(RadioButton3, OrderNameDescending);
    auto* sortLayout = new QHBoxLayout(GroupSort);
    sortLayout->addWidget(RadioButton1);
    sortLayout->addWidget(RadioButton2);
    sortLayout->addWidget(RadioButton3);
    sortLayout->addStretch();

    auto* searchLabel = new QLabel(QStringLiteral("찾기"), TabOther);
    eSearch = new TEditPlus(TabOther);
    eSearch->setObjectName("eSearch");
    eSearch->setP_RETURN2TAB(false);
    btnSearch = new QPushButton(QStringLiteral("찾기"), TabOther);
    btnSearch->setObjectName("btnSearch");
    btnSearch->setAutoDefault(false);
    auto* searchBar = new QHBoxLayout;
    searchBar->addWidget(searchLabel);
    searchBar->addWidget(eSearch, 1);
    searchBar->addWidget(btnSearch);
    auto* otherLayout = new QVBoxLayout(TabOther);
    otherLayout->setContentsMargins(2, 2, 2, 2);
    otherLayout->addWidget(BookInfoGrid, 1);
    otherLayout->addWidget(GroupSort);
    otherLayout->addLayout(searchBar);

    SplitterMain->setStretchFactor(0, 1);
    SplitterMain->setStretchFactor(1, 1);
    SplitterMain->setSizes({600, 500});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(SplitterMain, 1);

    SetDirtyButtons(tbSave, tbCancelClose);
    tbConnect->setEnabled(false);
    tbClear->setEnabled(false);
    LinkSourcePage->setEnabled(false);

    connect(SourceCombo, &QComboBox::currentIndexChanged, this, &TfrmLink::SourceComboChange);
    connect(TreeLeft->TreeView, &QTreeWidget::currentItemChanged, this, &TfrmLink::LeftTreeChange);
    connect(TreeLeft->eTextSource, &QPlainTextEdit::selectionChanged, this, &TfrmLink::EditorSelectionChange);
    connect(tbReload, &QToolButton::clicked, this, &TfrmLink::tbReloadClick);
    connect(tbConnect, &QToolButton::clicked, this, &TfrmLink::tbConnectClick);
    connect(tbClear, &QToolButton::clicked, this, &TfrmLink::tbClearClick);
    connect(tbSave, &QToolButton::clicked, this, &TfrmLink::tbSaveClick);
    connect(tbCancelClose, &QToolButton::clicked, this, &TfrmLink::CancelAndClose);
    connect(LinkSourcePage, &QTabWidget::currentChanged, this, &TfrmLink::LinkSourcePageChange);
    connect(sortGroup, &QButtonGroup::idClicked, this, &TfrmLink::SortClick);
    connect(eSearch, &QLineEdit::textChanged, this, &TfrmLink::eSearchChange);
    connect(eSearch, &QLineEdit::returnPressed, this, &TfrmLink::btnSearchClick);
    connect(btnSearch, &QPushButton::clicked, this, &TfrmLink::btnSearchClick);
    connect(BookInfoGrid, &QTableWidget::cellDoubleClicked, this, [this](int, int) { tbConnectClick(); });
    TreeLeft->eTextSource->viewport()->installEventFilter(this);
}

TfrmLink::~TfrmLink() = default;

QString TfrmLink::ProductPrefix() const
{
    return ProductLinkPrefix(ContentSiteHost());
}

void TfrmLink::Timer1Timer()
{
    Timer1->stop();
    if (!OpenTargets()) {
        CloseWindow();
        return;
    }
    // A single tab is chosen straight away.
    if (ChosenTab() >= 0)
        SourceComboChange(SourceCombo->currentIndex());
}

bool TfrmLink::OpenTargets()
{
    isInit = false;
    for (int k = 0; k < m_trees.size(); ++k) {
        if (!LoadArticleTree(m_trees[k], k, true, window()))
            return false;
        m_trees[k]->selectAbsolute(1);
        PreviewSelectedArticle(k, m_trees[k], m_webs[k], static_cast<QPlainTextEdit*>(nullptr));
    }
    PageControlThis->setCurrentIndex(0);
    {
        const QSignalBlocker block(LinkSourcePage);
        LinkSourcePage->setCurrentWidget(TabThis);
    }
    FillTabCombo(SourceCombo, myLIB.Jobs, TabChooserPlaceholder);
    m_comboIndex = SourceCombo->currentIndex();
    m_products = LoadBookInfo(BookInfoFileName());
    FillProductGrid();
    LinkSourcePage->setEnabled(false);
    isInit = true;
    return true;
}

void TfrmLink::FillProductGrid()
{
    BookInfoGrid->clearContents();
    BookInfoGrid->setRowCount(int(m_products.size()));
    for (int r = 0; r < m_products.size(); ++r)
        for (int c = 0; c < 4; ++c)
            BookInfoGrid->setItem(r, c, new QTableWidgetItem(m_products[r].value(c)));
    BookInfoGrid->setColumnWidth(3, qMax(60, BookInfoGrid->width() - 25));
}

void TfrmLink::SelectProductRow(int row)
{
    if (row < 0 || row >= BookInfoGrid->rowCount())
        return;
    BookInfoGrid->setCurrentCell(row, 3);
    BookInfoGrid->selectRow(row);
    BookInfoGrid->scrollToItem(BookInfoGrid->item(row, 3));
}

void TfrmLink::SourceComboChange(int index)
{
    if (m_reverting)
        return;
    if (isInit && Dirty()) {
        if (!m_ui->AskYesNo(CancelEditsQuestion)) {
            ShowTabInCombo(m_comboIndex);
            return;
        }
        // The dropped links leave the editor too, or the next save would write them after all.
        SetDirty(false);
        LoadLeftArticle();
    }
    m_comboIndex = index;
    LinkSourcePage->setEnabled(false);
    const int tab = ChosenTab();
    if (tab < 0)
        return;
    m_articleIndex = -1;
    TreeLeft->Show(tab);
    SetDirty(false);
    tbClear->setEnabled(false);
    LinkSourcePage->setEnabled(true);
    LinkSourcePage->setCurrentWidget(TabThis);
    PageControlThis->setCurrentIndex(0);
}

void TfrmLink::LeftTreeChange(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    if (m_reverting)
        return;
    TArticleTreeWidget* tree = TreeLeft->TreeView;
    tree->viewport()->update();
    if (!TreeLeft->isInit || !current || !tree->carriesArticle(current))
        return;
    // The links of the article being left are kept without asking.
    if (!LeaveArticle(tree, previous))
        return;
    TreeLeft->eTextSource->moveCursor(QTextCursor::Start);
    LoadLeftArticle();
}

void TfrmLink::LoadLeftArticle()
{
    QPlainTextEdit* editor = TreeLeft->eTextSource;
    TArticleTreeWidget* tree = TreeLeft->TreeView;
    m_articleIndex = -1;
    // An article that cannot be read leaves the editor empty and read-only, and with no article
    // in it nothing can be linked or saved: its empty text never reaches any file.
    const bool loaded = PreviewSelectedArticle(TreeLeft->FiTabsPtr, tree, TreeLeft->fWeb1, editor);
    editor->setReadOnly(!loaded);
    if (loaded)
        m_articleIndex = tree->absoluteIndex(tree->currentItem());
    tbClear->setEnabled(false);
    EditorSelectionChange();
}

bool TfrmLink::SaveArticle()
{
    TArticleTreeWidget* tree = TreeLeft->TreeView;
    if (!Dirty() || m_articleIndex <= 0 || !tree->articles().valid(m_articleIndex))
        return true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool saved = SaveEditedArticle(myLIB.Jobs, TreeLeft->FiTabsPtr, tree->articles().node(m_articleIndex),
                                         Raw(TreeLeft->eTextSource), *m_ui);
    QApplication::restoreOverrideCursor();
    if (saved)
        SetDirty(false);
    return saved;
}

void TfrmLink::TargetTreeChange(int page, QTreeWidgetItem* current)
{
    TArticleTreeWidget* tree = m_trees[page];
    tree->viewport()->update();
    if (!isInit || !current || !tree->carriesArticle(current))
        return;
    PreviewSelectedArticle(page, tree, m_webs[page], static_cast<QPlainTextEdit*>(nullptr));
}

void TfrmLink::EditorSelectionChange()
{
    const QTextCursor c = TreeLeft->eTextSource->textCursor();
    tbConnect->setEnabled(m_articleIndex > 0 && !TrimBlanks(c.selectedText()).isEmpty());
}

void TfrmLink::tbConnectClick()
{
    QPlainTextEdit* editor = TreeLeft->eTextSource;
    const QTextCursor cursor = editor->textCursor();
    const QString text = Raw(editor);
    TTextChange change;
    if (m_articleIndex <= 0 || !WrapInLink(text, cursor.selectionStart(), cursor.selectionEnd(), QString(), &change)) {
        tbConnect->setEnabled(false);
        return;
    }
    QString tag;
    if (LinkSourcePage->currentWidget() == TabOther) {
        const int row = BookInfoGrid->currentRow();
        if (row < 0 || row >= m_products.size() || !BookInfoGrid->item(row, 0)->isSelected())
            return;
        tag = ProductLinkTag(ContentSiteHost(), m_products[row].value(2), m_products[row].value(1));
    } else {
        const int page = PageControlThis->currentIndex();
        TArticleTreeWidget* tree = m_trees.value(page);
        QTreeWidgetItem* item = tree ? tree->currentItem() : nullptr;
        if (!item || !tree->carriesArticle(item)) {
            m_ui->ShowInfo(ChooseTargetMessage);
            return;
        }
        const TJobDefine& job = myLIB.Jobs;
        tag = InnerLinkTag(tree->absoluteIndex(item), job.TabsID[size_t(page)], job.TabsCount >= 2);
    }
    WrapInLink(text, cursor.selectionStart(), cursor.selectionEnd(), tag, &change);
    Apply(editor, change);
    Select(editor, change.start, change.start + int(tag.size()));
    tbConnect->setEnabled(false);
    SetDirty(true);
    tbClear->setEnabled(true);
}

void TfrmLink::RecogniseLink()
{
    QPlainTextEdit* editor = TreeLeft->eTextSource;
    if (m_articleIndex <= 0 || editor->textCursor().hasSelection())
        return;
    tbClear->setEnabled(false);
    const QString prefix = ProductPrefix();
    const TLinkAtCaret link = LinkAtCaret(Raw(editor), editor->textCursor().position(), prefix);
    if (link.kind == TLinkKind::None)
        return;
    Select(editor, link.tagStart, link.tagStart);
    if (link.kind == TLinkKind::OtherTag) {
        tbClear->setEnabled(true);
        return;
    }
    // A tag cut off at the end of its line is no link that could be followed or removed.
    if (link.tagEnd < 0)
        return;
    if (link.kind == TLinkKind::Inner) {
        LinkSourcePage->setCurrentWidget(TabThis);
        QString message;
        const int page = InnerLinkTab(myLIB.Jobs, link, &message);
        if (page < 0) {
            m_ui->ShowInfo(message);
            return;
        }
        if (page < m_trees.size()) {
            PageControlThis->setCurrentIndex(page);
            m_trees[page]->selectAbsolute(link.node);
        }
    } else {
        if (!link.hasProid)
            return;
        LinkSourcePage->setCurrentWidget(TabOther);
        if (!link.proid.isEmpty())
            SelectProductRow(FindProduct(m_products, link.svcid, link.proid));
    }
    Select(editor, link.tagStart, link.tagEnd);
    tbConnect->setEnabled(false);
    tbClear->setEnabled(true);
}

void TfrmLink::tbClearClick()
{
    QPlainTextEdit* editor = TreeLeft->eTextSource;
    const QTextCursor cursor = editor->textCursor();
    TTextChange tag;
    TTextChange end;
    if (!UnwrapLink(Raw(editor), cursor.selectionStart(), cursor.selectionEnd(), ProductPrefix(), &tag, &end))
        return;
    QTextCursor edit = editor->textCursor();
    edit.beginEditBlock();
    if (end.length > 0) {
        edit.setPosition(end.start);
        edit.setPosition(end.start + end.length, QTextCursor::KeepAnchor);
        edit.removeSelectedText();
    }
    edit.setPosition(tag.start);
    edit.setPosition(tag.start + tag.length, QTextCursor::KeepAnchor);
    edit.removeSelectedText();
    edit.endEditBlock();
    editor->setTextCursor(edit);
    SetDirty(true);
    tbClear->setEnabled(false);
}

void TfrmLink::tbSaveClick()
{
    if (ChosenTab() < 0)
        return;
    SaveArticle();
}

void TfrmLink::tbReloadClick()
{
    if (Dirty() && !ConfirmRollback(*m_ui))
        return;
    // Rolled back: the left article is read again as well, so the dropped links cannot come
    // back with a later save.
    const int tab = ChosenTab();
    const int article = m_articleIndex;
    SetDirty(false);
    if (!OpenTargets()) {
        CloseWindow();
        return;
    }
    if (tab >= 0) {
        const QSignalBlocker block(SourceCombo);
        SourceCombo->setCurrentIndex(tab + 1);
        m_comboIndex = tab + 1;
        TreeLeft->Show(tab);
        if (article > 1)
            TreeLeft->TreeView->selectAbsolute(article);
        LinkSourcePage->setEnabled(true);
    }
    tbClear->setEnabled(false);
}

void TfrmLink::LinkSourcePageChange()
{
    if (LinkSourcePage->currentWidget() == TabOther && m_products.isEmpty())
        m_ui->ShowInfo(NoProductListMessage);
}

void TfrmLink::SortClick(int order)
{
    SortProducts(m_products, order);
    FillProductGrid();
}

void TfrmLink::eSearchChange()
{
    const QString text = eSearch->text();
    if (text.isEmpty())
        return;
    SelectProductRow(FindProductByName(m_products, text, BookInfoGrid->currentRow()));
}

void TfrmLink::btnSearchClick()
{
    QString text = eSearch->text();
    if (RequireInputText(text, QStringLiteral("찾을 제품명"), *m_ui)) {
        eSearch->setFocus();
        return;
    }
    SelectProductRow(FindProductByName(m_products, eSearch->text(), BookInfoGrid->currentRow()));
}

bool TfrmLink::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == TreeLeft->eTextSource->viewport() && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        // After the editor has placed the caret.
        QTimer::singleShot(0, this, &TfrmLink::RecogniseLink);
    return QWidget::eventFilter(watched, event);
}
