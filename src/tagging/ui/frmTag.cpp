#include "tagging/ui/frmTag.h"

#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/Preview.h"
#include "articles/ui/TabCombo.h"
#include "articles/ui/fWeb.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/myLIB.h"
#include "shell/ui/GridPainters.h"
#include "shell/ui/WindowRegistry.h"
#include "tagging/SpellCheck.h"
#include "tagging/ui/ReplaceDialog.h"
#include "tagging/ui/SpellHighlighter.h"
#include "tagging/ui/TextFindDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

static WindowRegistrar reg(QStringLiteral("frmTag"), WindowKind::Child,
                           [](QWidget* parent) -> QWidget* { return new TfrmTag(parent); });

namespace {

// The used-tag lines are "name TAB count TAB"; the counts line up at a tab stop of 60 dialog
// units (a dialog unit is a quarter of the average character width).
class TTabStopDelegate : public TOwnTextPainter {
public:
    using TOwnTextPainter::TOwnTextPainter;

protected:
    void paintText(QPainter* painter, const QStyleOptionViewItem& opt, const QString& text,
                   const QModelIndex&) const override
    {
        QStyle* style = opt.widget ? opt.widget->style() : nullptr;
        const QRect r = style ? style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget) : opt.rect;
        QTextOption to(Qt::AlignLeft | Qt::AlignVCenter);
        to.setWrapMode(QTextOption::NoWrap);
        to.setTabStopDistance(opt.fontMetrics.averageCharWidth() * 60 / 4.0);
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(QPalette::Active, (opt.state & QStyle::State_Selected)
                                                                ? QPalette::HighlightedText
                                                                : QPalette::Text));
        painter->drawText(QRectF(r.adjusted(2, 0, 0, 0)), text, to);
        painter->restore();
    }
};

// The tag analysis moves the window's bar.
class TBarProgress : public Interaction {
public:
    explicit TBarProgress(QProgressBar* bar) : m_bar(bar) {}
    void ShowInfo(const QString&) override {}
    bool AskYesNo(const QString&) override { return false; }
    void Progress(int, qint64 position, qint64) override { m_bar->setValue(int(position)); }

private:
    QProgressBar* m_bar;
};

QWidget* Page(const QString& name, QTabWidget* pages, const QString& caption)
{
    auto* w = new QWidget(pages);
    w->setObjectName(name);
    pages->addTab(w, caption);
    return w;
}

} // namespace

TfrmTag::TfrmTag(QWidget* parent)
    : TEditWindow(parent)
{
    setObjectName("frmTag");
    setWindowTitle(QStringLiteral("소스 태깅 작업"));

    // Top bar: tab chooser, reload, folder and file of the article.
    SourceCombo = NewTabCombo(this, 180, 1);
    SourceCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    btnReload = NewButton("btnReload", QStringLiteral("새로고침"), this);
    eFolderName = new QLineEdit(QStringLiteral("문서 폴더"), this);
    eFolderName->setObjectName("eFolderName");
    eFolderName->setReadOnly(true);
    eFileName = new QLineEdit(QStringLiteral("파일 이름"), this);
    eFileName->setObjectName("eFileName");
    eFileName->setReadOnly(true);
    eFileName->setMaximumWidth(220);
    auto* top = new QHBoxLayout;
    top->addWidget(SourceCombo);
    top->addWidget(btnReload);
    top->addWidget(eFolderName, 1);
    top->addWidget(eFileName);

    SplitterMain = new QSplitter(Qt::Horizontal, this);
    SplitterMain->setObjectName("SplitterMain");
    SplitterMain->setChildrenCollapsible(false);
    SourceTree = new TArticleTreeWidget(SplitterMain);
    SourceTree->setObjectName("SourceTree");
    SourceTree->setMinimumWidth(120);

    // Left work area: the text and the tags it uses.
    PageSource = new QTabWidget(SplitterMain);
    PageSource->setObjectName("PageSource");
    tabText = Page("tabText", PageSource, QStringLiteral("본문 텍스트"));
    btnEdit = NewButton("btnEdit", QStringLiteral("수정"), tabText);
    btnSave = NewButton("btnSave", QStringLiteral("저장"), tabText);
    btnSave->setToolTip(QStringLiteral("ctrl+S"));
    btnFind = NewButton("btnFind", QStringLiteral("찾기"), tabText);
    btnFind->setToolTip(QStringLiteral("ctrl+F"));
    CheckWrap = new QCheckBox(QStringLiteral("자동줄바꿈"), tabText);
    CheckWrap->setObjectName("CheckWrap");
    pnlEdit = new QLabel(QStringLiteral("수정중"), tabText);
    pnlEdit->setObjectName("pnlEdit");
    pnlEdit->setAlignment(Qt::AlignCenter);
    pnlEdit->setStyleSheet(QStringLiteral("QLabel { background: yellow; color: black; font-weight: bold; padding: 3px; }"));
    pnlEdit->hide();
    eTextSource = new QPlainTextEdit(tabText);
    eTextSource->setObjectName("eTextSource");
    auto* textBar = new QHBoxLayout;
    textBar->addWidget(btnEdit);
    textBar->addWidget(btnSave);
    textBar->addWidget(btnFind);
    btnReplace = NewButton("btnReplace", QStringLiteral("바꾸기"), tabText);
    btnReplace->setToolTip(QStringLiteral("ctrl+H"));
    // The text bar may narrow rather than hold the preview below half the window.
    btnReplace->setMinimumWidth(40);
    textBar->addWidget(btnReplace);
    SpellCheck = new TSpellSupport(eTextSource, FindKoreanDictionary(), [this] { SwitchToEditing(); return Editing(); },
                                   [this](const QString& text) { m_ui->ShowInfo(text); });
    btnSpellCheck = new QToolButton(tabText);
    btnSpellCheck->setObjectName("btnSpellCheck");
    btnSpellCheck->setDefaultAction(SpellCheck->toggleAction());
    textBar->addWidget(btnSpellCheck);
    textBar->addWidget(CheckWrap);
    textBar->addStretch();
    auto* textLayout = new QVBoxLayout(tabText);
    textLayout->setContentsMargins(2, 2, 2, 2);
    textLayout->addLayout(textBar);
    textLayout->addWidget(pnlEdit);
    textLayout->addWidget(eTextSource, 1);

    tabUsedTag = Page("tabUsedTag", PageSource, QStringLiteral("사용 태그"));
    btnNewHtmlTags = NewButton("btnNewHtmlTags", QStringLiteral("분석"), tabUsedTag);
    ProgressBar1 = new QProgressBar(tabUsedTag);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->hide();
    UsedTagList = new QListWidget(tabUsedTag);
    UsedTagList->setObjectName("UsedTagList");
    UsedTagList->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    UsedTagList->setItemDelegate(new TTabStopDelegate(UsedTagList));
    auto* tagBar = new QHBoxLayout;
    tagBar->addWidget(btnNewHtmlTags);
    tagBar->addWidget(ProgressBar1, 1);
    tagBar->addStretch();
    auto* tagLayout = new QVBoxLayout(tabUsedTag);
    tagLayout->setContentsMargins(2, 2, 2, 2);
    tagLayout->addLayout(tagBar);
    tagLayout->addWidget(UsedTagList, 1);

    // Right work area: the rendered article, its HTML and the image page.
    PageHtml = new QTabWidget(SplitterMain);
    PageHtml->setObjectName("PageHtml");
    tabWeb = Page("tabWeb", PageHtml, QStringLiteral("목차별 WEB"));
    fWeb1 = new TfWeb(tabWeb);
    fWeb1->setObjectName("fWeb1");
    auto* webLayout = new QVBoxLayout(tabWeb);
    webLayout->setContentsMargins(0, 0, 0, 0);
    webLayout->addWidget(fWeb1);
    tabHtml = Page("tabHtml", PageHtml, QStringLiteral("목차별 HTML"));
    eUnitSrc = new QPlainTextEdit(tabHtml);
    eUnitSrc->setObjectName("eUnitSrc");
    eUnitSrc->setReadOnly(true);
    PrepareRichEdit(eUnitSrc);
    auto* htmlLayout = new QVBoxLayout(tabHtml);
    htmlLayout->setContentsMargins(0, 0, 0, 0);
    htmlLayout->addWidget(eUnitSrc);
    tabImage = Page("tabImage", PageHtml, QStringLiteral("삽화연결"));
    auto* imageLayout = new QVBoxLayout(tabImage);
    imageLayout->setContentsMargins(0, 0, 0, 0);
    fImagePanel = new TfImagePanel(*this, myLIB.Jobs.WorkFolder, tabImage);
    imageLayout->addWidget(fImagePanel);

    SplitterMain->setStretchFactor(0, 0);
    SplitterMain->setStretchFactor(1, 1);
    SplitterMain->setStretchFactor(2, 1);
    SplitterMain->setSizes({220, 400, 400});

    // Bottom bar: the article count and the preview's font size.
    LabelTotalHeder = new QLabel(this);
    LabelTotalHeder->setObjectName("LabelTotalHeder");
    PanelFontSize = new QWidget(this);
    PanelFontSize->setObjectName("PanelFontSize");
    // The bottom bar keeps its height while the buttons are away.
    QSizePolicy keep = PanelFontSize->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    PanelFontSize->setSizePolicy(keep);
    btnFontPlus = NewButton("btnFontPlus", QStringLiteral("Font -"), PanelFontSize);
    btnFontZero = NewButton("btnFontZero", QStringLiteral("Font 0"), PanelFontSize);
    btnFontMinus = NewButton("btnFontMinus", QStringLiteral("Font +"), PanelFontSize);
    auto* fontLayout = new QHBoxLayout(PanelFontSize);
    fontLayout->setContentsMargins(0, 0, 0, 0);
    fontLayout->addWidget(btnFontPlus);
    fontLayout->addWidget(btnFontZero);
    fontLayout->addWidget(btnFontMinus);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(LabelTotalHeder);
    bottom->addStretch();
    bottom->addWidget(PanelFontSize);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(SplitterMain, 1);
    layout->addLayout(bottom);

    FindDialog1 = new TTextFindDialog(this);

    PrepareRichEdit(eTextSource);
    SetDirtyButtons(btnSave);
    btnEdit->setEnabled(false);
    eTextSource->setReadOnly(true);
    PageSource->setCurrentWidget(tabText);
    PageHtml->setCurrentWidget(tabWeb);
    if (myLIB.Jobs.insImage == QStringLiteral("N"))
        PageHtml->setTabVisible(PageHtml->indexOf(tabImage), false);
    EnablePages(false);
    btnReload->setEnabled(false);

    connect(SourceCombo, &QComboBox::currentIndexChanged, this, &TfrmTag::SourceComboChange);
    connect(SourceTree, &QTreeWidget::currentItemChanged, this, &TfrmTag::SourceTreeChange);
    connect(eTextSource, &QPlainTextEdit::textChanged, this, &TfrmTag::eTextSourceChange);
    connect(btnEdit, &QPushButton::clicked, this, &TfrmTag::btnEditClick);
    connect(btnSave, &QPushButton::clicked, this, &TfrmTag::btnSaveClick);
    connect(btnReload, &QPushButton::clicked, this, &TfrmTag::btnReloadClick);
    connect(btnFind, &QPushButton::clicked, this, &TfrmTag::btnFindClick);
    connect(FindDialog1, &TTextFindDialog::findNext, this, &TfrmTag::FindDialog1Find);
    connect(btnNewHtmlTags, &QPushButton::clicked, this, &TfrmTag::btnNewHtmlTagsClick);
    connect(btnReplace, &QPushButton::clicked, this, &TfrmTag::btnReplaceClick);
    connect(eFileName, &QLineEdit::textChanged, SpellCheck, &TSpellSupport::setArticle);
    connect(CheckWrap, &QCheckBox::clicked, this, &TfrmTag::CheckWrapClick);
    connect(PageHtml, &QTabWidget::currentChanged, this, &TfrmTag::PageHtmlChange);
    connect(btnFontPlus, &QPushButton::clicked, this, [this] { fWeb1->setFontSize(-1); });
    connect(btnFontZero, &QPushButton::clicked, this, [this] { fWeb1->setFontSize(0); });
    connect(btnFontMinus, &QPushButton::clicked, this, [this] { fWeb1->setFontSize(1); });

    auto* toTree = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_1), this);
    toTree->setContext(Qt::WidgetWithChildrenShortcut);
    connect(toTree, &QShortcut::activated, this, [this] {
        if (isInit)
            SourceTree->setFocus();
    });
    auto* toText = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_2), this);
    toText->setContext(Qt::WidgetWithChildrenShortcut);
    connect(toText, &QShortcut::activated, this, [this] {
        if (!isInit)
            return;
        PageSource->setCurrentWidget(tabText);
        eTextSource->setFocus();
    });
    auto* actReplace = new QAction(this);
    actReplace->setObjectName("actReplace");
    actReplace->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    actReplace->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(actReplace);
    connect(actReplace, &QAction::triggered, this, [this] {
        if (isInit)
            btnReplaceClick();
    });
    eTextSource->installEventFilter(this);
    SourceTree->installEventFilter(this);
    PageHtmlChange();
}

TfrmTag::~TfrmTag() = default;

bool TfrmTag::Editing() const
{
    return !eTextSource->isReadOnly();
}

void TfrmTag::Timer1Timer()
{
    Timer1->stop();
    isInit = false;
    {
        const QSignalBlocker block(SourceCombo);
        FillTabCombo(SourceCombo, myLIB.Jobs, TabChooserPlaceholder);
    }
    m_comboIndex = SourceCombo->currentIndex();
    if (PageHtml->isTabVisible(PageHtml->indexOf(tabImage)))
        fImagePanel->FillImageList();
    LoadTab();
    isInit = true;
}

void TfrmTag::EnablePages(bool on)
{
    PageSource->setEnabled(on);
    PageHtml->setEnabled(on);
}

void TfrmTag::LoadTab()
{
    isInit = false;
    m_articleIndex = -1;
    SourceTree->clearArticles();
    eTextSource->clear();
    eTextSource->setReadOnly(true);
    SetDirty(false);
    btnEdit->setEnabled(false);
    pnlEdit->hide();
    UsedTagList->clear();
    eUnitSrc->clear();
    EnablePages(false);
    btnReload->setEnabled(false);
    eFolderName->clear();
    LabelTotalHeder->clear();

    const int tab = ChosenTab();
    if (tab < 0) {
        SourceCombo->setFocus();
        isInit = true;
        return;
    }
    const QString missing = TabSourceMissingMessage(myLIB.Jobs, tab);
    if (!missing.isEmpty()) {
        m_ui->ShowInfo(missing);
        isInit = true;
        return;
    }
    eFolderName->setText(TabFolderText(myLIB.Jobs, tab));
    if (!LoadArticleTree(SourceTree, tab, true, window())) {
        isInit = true;
        return;
    }
    LabelTotalHeder->setText(ArticleCountText(qMax(0, SourceTree->articleCount() - 1)));
    SourceTree->selectAbsolute(1);
    if (!LoadArticle()) {
        EnablePages(false);
        btnReload->setEnabled(false);
        return;
    }
    SourceTree->setFocus();
    fImagePanel->CloseBars();
    EnablePages(true);
    btnReload->setEnabled(true);
    eTextSource->setFocus();
}

bool TfrmTag::LoadArticle()
{
    QTreeWidgetItem* item = SourceTree->currentItem();
    if (!item || !SourceTree->carriesArticle(item))
        return false;
    SetDirty(false);
    btnEdit->setEnabled(false);
    pnlEdit->hide();
    UsedTagList->clear();
    isInit = false;
    m_articleIndex = -1;
    const TArticleNode* node = SourceTree->nodeOf(item);
    eFileName->setText(node->info.id + QStringLiteral(".txt"));
    if (!LoadSourceText(ArticleFileName(myLIB.Jobs, SourceTree->tabIndex(), node), SourceTree, eTextSource)) {
        // The loader has told why. Nothing of the previous article stays in sight while the file
        // field names this one; the tree and the tabs stay usable.
        eTextSource->clear();
        eTextSource->setReadOnly(true);
        eTextSource->setEnabled(false);
        eUnitSrc->clear();
        fWeb1->GoURL(QStringLiteral("about:blank"), SourceTree);
        isInit = true;
        return false;
    }
    eTextSource->setEnabled(true);
    m_articleIndex = SourceTree->absoluteIndex(item);
    SetViewing();
    eTextSource->moveCursor(QTextCursor::Start);
    PreviewEditorText(SourceTree, item, eTextSource, eUnitSrc, fWeb1);
    EnablePages(true);
    btnReload->setEnabled(true);
    isInit = true;
    return true;
}

bool TfrmTag::SaveArticle()
{
    if (!Dirty() || !SourceTree->articles().valid(m_articleIndex) || m_articleIndex <= 0)
        return true;
    if (!SaveEditedArticle(myLIB.Jobs, SourceTree->tabIndex(), SourceTree->articles().node(m_articleIndex),
                           eTextSource->document()->toRawText(), *m_ui))
        return false;
    SetViewing();
    return true;
}

void TfrmTag::SetViewing()
{
    SetDirty(false);
    btnEdit->setEnabled(true);
    btnEdit->setText(QStringLiteral("수정"));
    pnlEdit->hide();
    eTextSource->setReadOnly(true);
}

void TfrmTag::SetEditing()
{
    btnEdit->setText(QStringLiteral("수정취소"));
    pnlEdit->show();
    eTextSource->setReadOnly(false);
    SetDirty(false);
}

void TfrmTag::SourceComboChange(int index)
{
    // Unsaved edits go to disk first; when they cannot, the window stays on the article.
    if (TabChanging(index, [this] { return SaveArticle(); }))
        LoadTab();
}

void TfrmTag::SourceTreeChange(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    if (!LeaveArticle(SourceTree, previous))
        return;
    SourceTree->viewport()->update();
    if (isInit && current && SourceTree->carriesArticle(current)) {
        LoadArticle();
        PageHtml->setCurrentWidget(tabWeb);
    }
}

void TfrmTag::eTextSourceChange()
{
    if (isInit)
        SetDirty(true);
}

void TfrmTag::btnEditClick()
{
    if (!Editing()) {
        SetEditing();
        return;
    }
    if (Dirty()) {
        if (!m_ui->AskYesNo(QStringLiteral("수정 내용을 취소합니까?")))
            return;
        LoadArticle();
        return;
    }
    SetViewing();
}

void TfrmTag::btnSaveClick()
{
    SaveArticle();
    PreviewEditorText(SourceTree, SourceTree->itemAt(m_articleIndex), eTextSource, eUnitSrc, fWeb1);
}

void TfrmTag::btnReloadClick()
{
    if (Dirty() && !ConfirmRollback(*m_ui))
        return;
    LoadArticle();
}

void TfrmTag::btnFindClick()
{
    if (!FindDialog1->isVisible() && !m_findPlaced) {
        // Over the preview, so the match in the text stays in sight.
        FindDialog1->adjustSize();
        const QPoint corner = PageHtml->mapToGlobal(QPoint(PageHtml->width() - FindDialog1->width() - 8, 40));
        FindDialog1->move(corner);
        m_findPlaced = true;
    }
    FindDialog1->show();
    FindDialog1->raise();
    FindDialog1->activateWindow();
    FindDialog1->eFindText->setFocus();
    FindDialog1->eFindText->selectAll();
}

void TfrmTag::FindDialog1Find(const QString& text, const TFindOptions& options)
{
    QTextCursor cursor = eTextSource->textCursor();
    const TFindOutcome found = FindNextInText(eTextSource->document()->toRawText(), text, cursor.selectionStart(),
                                              cursor.selectionEnd(), options, *m_ui);
    if (found.wrapped) {
        cursor.movePosition(QTextCursor::Start);
        eTextSource->setTextCursor(cursor);
    }
    if (found.start >= 0) {
        eTextSource->setFocus();
        cursor.setPosition(int(found.start));
        cursor.setPosition(int(found.start + found.length), QTextCursor::KeepAnchor);
        eTextSource->setTextCursor(cursor);
        eTextSource->ensureCursorVisible();
    }
    if (found.closeDialog)
        FindDialog1->close();
}

void TfrmTag::btnNewHtmlTagsClick()
{
    const QStringList lines = EditorTextLines(eTextSource->document()->toRawText());
    ProgressBar1->setRange(0, int(qMax<qsizetype>(lines.size() - 1, 0)));
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    TBarProgress progress(ProgressBar1);
    const TTagTable table = CountArticleTags(lines, &progress);
    UsedTagList->clear();
    UsedTagList->addItems(UsedTagListLines(table));
    ProgressBar1->hide();
}

void TfrmTag::btnReplaceClick()
{
    if (!PageSource->isEnabled() || SourceTree->articles().count() < 2)
        return;
    TReplaceTarget target{myLIB.Jobs, SourceTree->tabIndex(), &SourceTree->articles(), qMax(0, m_articleIndex), {}, {}};
    // The dialog reads the files: unsaved edits are saved first, or nothing is read.
    target.saveEdits = [this] {
        return !Dirty()
               || (m_ui->AskYesNo(QStringLiteral("저장하지 않은 수정 내용이 있습니다. 저장한 뒤 계속합니까?"))
                   && SaveArticle());
    };
    target.replaced = [this](const QList<int>& nodes) {
        if (nodes.contains(m_articleIndex))
            LoadArticle();
    };
    TReplaceDialog dialog(target, m_ui, this);
    dialog.exec();
}

void TfrmTag::CheckWrapClick()
{
    isInit = false;
    // Unsaved edits are saved first; when that fails the text stays as it is rather than being
    // read back from the file.
    bool saved = true;
    if (Dirty()) {
        saved = SaveArticle();
        PreviewEditorText(SourceTree, SourceTree->itemAt(m_articleIndex), eTextSource, eUnitSrc, fWeb1);
    }
    const bool wrap = CheckWrap->isChecked();
    eTextSource->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    eTextSource->setWordWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    eTextSource->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    isInit = true;
    if (saved)
        LoadArticle();
}

void TfrmTag::PageHtmlChange()
{
    PanelFontSize->setVisible(PageHtml->currentWidget() == tabWeb);
}

void TfrmTag::PlacePages()
{
    QList<int> sizes = SplitterMain->sizes();
    if (sizes.size() != 3)
        return;
    // The tree gets a readable width the first time the window has one of its own.
    if (!m_treePlaced && width() > 600) {
        sizes[0] = 220;
        m_treePlaced = true;
    }
    const int tree = sizes[0];
    const int total = sizes[0] + sizes[1] + sizes[2];
    const int html = qMax(0, (width() - tree) / 2);
    SplitterMain->setSizes({tree, qMax(0, total - tree - html), html});
}

void TfrmTag::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlacePages();
}

bool TfrmTag::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::AltModifier) {
            if (watched == eTextSource && key->key() == Qt::Key_1) {
                SourceTree->setFocus();
                return true;
            }
            if (watched == eTextSource && key->key() == Qt::Key_3) {
                PageHtml->setFocus();
                return true;
            }
            if (watched == SourceTree && key->key() == Qt::Key_2) {
                eTextSource->setFocus();
                return true;
            }
        }
        // Taken on the press: a quick Ctrl+S can release Ctrl before the S arrives.
        if (watched == eTextSource && isInit && (key->modifiers() & Qt::ControlModifier)) {
            if (key->key() == Qt::Key_F) {
                btnFindClick();
                return true;
            }
            if (key->key() == Qt::Key_S) {
                if (btnSave->isEnabled())
                    btnSaveClick();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmTag::closeEvent(QCloseEvent* event)
{
    TEditWindow::closeEvent(event);
    if (event->isAccepted())
        FindDialog1->close();
}

bool TfrmTag::TextPageActive() const
{
    return PageSource->currentWidget() == tabText;
}

void TfrmTag::SwitchToEditing()
{
    if (!Editing() && btnEdit->isEnabled())
        SetEditing();
}

void TfrmTag::InsertAtCaret(const QString& text)
{
    if (!Editing())
        return;
    eTextSource->textCursor().insertText(text);
    PageSource->setCurrentWidget(tabText);
}
