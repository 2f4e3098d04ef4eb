#pragma once
// The article tree of a tab as the windows show it: one item per article, root = the tab.
// Item N (absolute index, root 0, then document order) is article N of the tab.

#include "articles/ArticleIndex.h"

#include <QTreeWidget>
#include <vector>

class QTextDocument;
class QPlainTextEdit;
class QTextEdit;

class TArticleTreeWidget : public QTreeWidget {
    Q_OBJECT
public:
    explicit TArticleTreeWidget(QWidget* parent = nullptr);
    ~TArticleTreeWidget() override;

    // Replaces the items with the given tree; `expandFirst` opens the first article node.
    void setArticleTree(TArticleTree tree, int tabIndex, bool expandFirst);
    void clearArticles();

    const TArticleTree& articles() const { return m_tree; }
    int tabIndex() const { return m_tab; }
    int articleCount() const { return int(m_items.size()); }

    QTreeWidgetItem* itemAt(int absoluteIndex) const;
    int absoluteIndex(const QTreeWidgetItem* item) const; // -1 for items not ours
    const TArticleNode* nodeOf(const QTreeWidgetItem* item) const;
    const THeaderInfo* headerInfo(const QTreeWidgetItem* item) const;
    // An article node (not the root) of this tree.
    bool carriesArticle(const QTreeWidgetItem* item) const { return absoluteIndex(item) > 0; }

    // Selects (and shows) the node with that absolute index; false when there is none.
    bool selectAbsolute(int absoluteIndex);

    // The root can never be selected (clicks on it leave the previous article selected).
    void setRootSelectable(bool on) { m_rootSelectable = on; }
    bool rootSelectable() const { return m_rootSelectable; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;

private:
    bool refused(const QModelIndex& index) const;

    TArticleTree m_tree;
    std::vector<QTreeWidgetItem*> m_items;
    int m_tab = -1;
    bool m_rootSelectable = false;
};

// Reads the tab's index into the tree widget with an hourglass and, for big indexes, a progress
// window. `show` true opens the first article node. A fault inside the index leaves the entries
// before it, after one message; false (after the message) only when nothing could be read.
bool LoadArticleTree(TArticleTreeWidget* tree, int tabIndex, bool show, QWidget* messageParent = nullptr);
// The index of the tab read with the same progress and messages, for a window that fills its tree
// itself (after other reading has succeeded); false when nothing could be read.
bool ReadArticleTree(int tabIndex, QWidget* owner, TArticleTree& articles);

// Loads an article or text file into a text pane, checks its line lengths and colours its
// heading lines. On a too-long line or Esc the pane (and, on Esc, the tree) is cleared.
bool LoadSourceText(const QString& path, QTreeWidget* tree, QPlainTextEdit* editor);
bool LoadSourceText(const QString& path, QTreeWidget* tree, QTextEdit* editor);

// Heading lines of the pane in teal and bold.
void HighlightHeadings(QTreeWidget* tree, QPlainTextEdit* editor);
void HighlightHeadings(QTreeWidget* tree, QTextEdit* editor);
