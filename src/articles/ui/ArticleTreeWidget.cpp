#include "articles/ui/ArticleTreeWidget.h"

#include "jobs/JobLayout.h"
#include "shell/ui/GridPainters.h"
#include "articles/ui/ProgressInteraction.h"
#include "shell/myLIB.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {

constexpr int IndexRole = Qt::UserRole + 1;
// Above this many entries the load shows its progress window.
constexpr int LargeIndexEntries = 5000;

class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

} // namespace

TArticleTreeWidget::TArticleTreeWidget(QWidget* parent)
    : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setExpandsOnDoubleClick(true);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    DrawTreeNodeColors(this);
    // Whoever empties the widget by hand also drops the lookups into it.
    auto forget = [this] {
        m_items.clear();
        m_tree.clear();
    };
    connect(model(), &QAbstractItemModel::modelAboutToBeReset, this, forget);
    connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this, forget);
}

TArticleTreeWidget::~TArticleTreeWidget()
{
    // The items go with the model before QObject would cut our connections to it.
    disconnect(model(), nullptr, this, nullptr);
}

void TArticleTreeWidget::clearArticles()
{
    clear();
    m_items.clear();
    m_tree.clear();
    m_tab = -1;
}

void TArticleTreeWidget::setArticleTree(TArticleTree tree, int tabIndex, bool expandFirst)
{
    setUpdatesEnabled(false);
    clearArticles();
    m_tree = std::move(tree);
    m_tab = tabIndex;
    const int n = m_tree.count();
    m_items.resize(size_t(n));
    for (int i = 0; i < n; ++i) {
        auto* item = new QTreeWidgetItem(QStringList{m_tree.node(i).title});
        item->setData(0, IndexRole, i);
        m_items[size_t(i)] = item;
    }
    // Children are attached in bulk before the root enters the view: one insertion per parent.
    QList<QTreeWidgetItem*> kids;
    for (int i = 0; i < n; ++i) {
        const std::vector<int>& children = m_tree.node(i).children;
        if (children.empty())
            continue;
        kids.clear();
        kids.reserve(qsizetype(children.size()));
        for (int c : children)
            kids.append(m_items[size_t(c)]);
        m_items[size_t(i)]->addChildren(kids);
    }
    if (n > 0) {
        addTopLevelItem(m_items[0]);
        m_items[0]->setExpanded(true);
        if (expandFirst && n > 1)
            m_items[1]->setExpanded(true);
    }
    setUpdatesEnabled(true);
}

QTreeWidgetItem* TArticleTreeWidget::itemAt(int absoluteIndex) const
{
    if (absoluteIndex < 0 || absoluteIndex >= int(m_items.size()))
        return nullptr;
    return m_items[size_t(absoluteIndex)];
}

int TArticleTreeWidget::absoluteIndex(const QTreeWidgetItem* item) const
{
    if (!item)
        return -1;
    bool ok = false;
    const int i = item->data(0, IndexRole).toInt(&ok);
    if (!ok || i < 0 || i >= int(m_items.size()) || m_items[size_t(i)] != item)
        return -1;
    return i;
}

const TArticleNode* TArticleTreeWidget::nodeOf(const QTreeWidgetItem* item) const
{
    const int i = absoluteIndex(item);
    return i < 0 ? nullptr : &m_tree.node(i);
}

const THeaderInfo* TArticleTreeWidget::headerInfo(const QTreeWidgetItem* item) const
{
    const TArticleNode* n = nodeOf(item);
    return n ? &n->info : nullptr;
}

bool TArticleTreeWidget::selectAbsolute(int absoluteIndex)
{
    QTreeWidgetItem* item = itemAt(absoluteIndex);
    if (!item)
        return false;
    if (absoluteIndex == 0 && !m_rootSelectable)
        return false;
    setCurrentItem(item);
    scrollToItem(item);
    return true;
}

bool TArticleTreeWidget::refused(const QModelIndex& index) const
{
    return !m_rootSelectable && index.isValid() && !index.parent().isValid() && index.row() == 0;
}

void TArticleTreeWidget::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (refused(index)) {
        // A click on the root only opens or closes it; the article stays selected.
        const QRect row = visualRect(index);
        if (event->position().x() < row.left())
            setExpanded(index, !isExpanded(index));
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

QModelIndex TArticleTreeWidget::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex next = QTreeWidget::moveCursor(cursorAction, modifiers);
    return refused(next) ? currentIndex() : next;
}

QItemSelectionModel::SelectionFlags TArticleTreeWidget::selectionCommand(const QModelIndex& index,
                                                                         const QEvent* event) const
{
    if (refused(index))
        return QItemSelectionModel::NoUpdate;
    return QTreeWidget::selectionCommand(index, event);
}

bool ReadArticleTree(int tabIndex, QWidget* owner, TArticleTree& articles)
{
    WaitCursor wait;
    const TJobDefine& job = myLIB.Jobs;
    bool large = false;
    if (tabIndex >= 0 && tabIndex < job.TabsCount) {
        // The file size tells early whether the operator should see progress.
        const qint64 bytes = QFileInfo(ArticleIndexFileName(job, tabIndex)).size();
        large = bytes > qint64(LargeIndexEntries) * 3 * 24;
    }
    TProgressInteraction ui(owner, large);
    articles = TArticleTree();
    LoadArticleTree(job, tabIndex, articles, ui);
    ui.close();
    // A fault inside the index leaves the entries before it (its message was shown); the
    // window works with those. Nothing read at all is a failed load.
    return !articles.empty();
}

bool LoadArticleTree(TArticleTreeWidget* tree, int tabIndex, bool show, QWidget* messageParent)
{
    if (!tree)
        return false;
    tree->clearArticles();
    TArticleTree articles;
    if (!ReadArticleTree(tabIndex, messageParent ? messageParent : tree->window(), articles))
        return false;
    WaitCursor wait;
    tree->setArticleTree(std::move(articles), tabIndex, show);
    return true;
}

static void Highlight(QTreeWidget* tree, QTextDocument* doc, QWidget* owner, bool* cleared)
{
    *cleared = false;
    const QList<HeadingSpan> spans = FindHeadingSpans(doc->toPlainText());
    const bool large = doc->blockCount() > LargeTextLines;
    TProgressInteraction ui(owner, large);
    if (large) {
        ui.Status(1, QStringLiteral("제목 줄 표시 중입니다..."));
        ui.Status(0, QString());
    }
    QTextCharFormat fmt;
    fmt.setForeground(QColor(0, 128, 128));
    fmt.setFontWeight(QFont::Bold);
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    int lastHundred = -1;
    for (const HeadingSpan& s : spans) {
        if (large && s.line / 100 > lastHundred) {
            lastHundred = s.line / 100;
            ui.Status(0, QStringLiteral("%1 / %2").arg(s.line).arg(doc->blockCount()));
            ui.Progress(0, s.line, doc->blockCount());
            if (ConfirmStop(ui)) {
                *cleared = true;
                break;
            }
        }
        cursor.setPosition(s.start);
        cursor.setPosition(s.start + s.length, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(fmt);
    }
    cursor.endEditBlock();
    doc->setUndoRedoEnabled(undo);
    if (*cleared) {
        doc->clear();
        if (auto* at = qobject_cast<TArticleTreeWidget*>(tree))
            at->clearArticles();
        else if (tree)
            tree->clear();
    }
}

template <typename Editor>
static void HighlightEditor(QTreeWidget* tree, Editor* editor)
{
    if (!editor)
        return;
    WaitCursor wait;
    editor->setUpdatesEnabled(false);
    bool cleared = false;
    Highlight(tree, editor->document(), editor->window(), &cleared);
    editor->setUpdatesEnabled(true);
}

void HighlightHeadings(QTreeWidget* tree, QPlainTextEdit* editor) { HighlightEditor(tree, editor); }
void HighlightHeadings(QTreeWidget* tree, QTextEdit* editor) { HighlightEditor(tree, editor); }

template <typename Editor>
static bool LoadSourceInto(const QString& path, QTreeWidget* tree, Editor* editor)
{
    if (!editor)
        return false;
    TProgressInteraction ui(editor->window(), false);
    QStringList lines;
    if (!LoadArticleText(lines, path, ui))
        return false;
    WaitCursor wait;
    const bool large = lines.size() > LargeTextLines;
    editor->setUpdatesEnabled(false);
    editor->clear();
    // The caret may still carry the colour of the last heading, which would colour the whole new text.
    editor->setCurrentCharFormat(QTextCharFormat());
    // The whole text in one operation.
    editor->setPlainText(lines.join('\n'));
    editor->moveCursor(QTextCursor::Start);
    if (large) {
        ui.setShowWindow(true);
        ui.Status(1, path);
    }
    const int bad = CheckSourceLines(lines, path, ui);
    ui.close();
    bool ok = true;
    if (bad == -2) {
        editor->clear();
        if (auto* at = qobject_cast<TArticleTreeWidget*>(tree))
            at->clearArticles();
        else if (tree)
            tree->clear();
        ok = false;
    } else if (bad >= 0) {
        editor->clear();
        ui.ShowInfo(LongSourceLineMessage(path, bad));
        ok = false;
    }
    HighlightHeadings(tree, editor);
    editor->setUpdatesEnabled(true);
    return ok;
}

bool LoadSourceText(const QString& path, QTreeWidget* tree, QPlainTextEdit* editor)
{
    return LoadSourceInto(path, tree, editor);
}

bool LoadSourceText(const QString& path, QTreeWidget* tree, QTextEdit* editor)
{
    return LoadSourceInto(path, tree, editor);
}
