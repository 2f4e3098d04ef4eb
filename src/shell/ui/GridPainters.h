#pragma once
// Painters shared by every window: grid cells, column fitting, tree node colours and the
// set-up of the plain text panes.

#include <QList>
#include <QStyledItemDelegate>
#include <Qt>

class QAbstractItemView;
class QPlainTextEdit;
class QTableView;
class QTextEdit;
class QTreeView;

// Draws one grid cell: selected cells of a grid that selects whole rows (or is being edited)
// in the highlight colours, every other cell white with the grid's text colour; the text on one
// line, vertically centred, 4 pixels in, aligned by the column's entry in `alignments`
// (columns beyond the list are left-aligned).
class TGridCellPainter : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TGridCellPainter(QObject* parent = nullptr, QList<Qt::Alignment> alignments = {});

    void setAlignments(const QList<Qt::Alignment>& alignments) { m_alignments = alignments; }
    const QList<Qt::Alignment>& alignments() const { return m_alignments; }
    Qt::Alignment alignmentOf(int column) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    QList<Qt::Alignment> m_alignments;
};

// Installs the cell painter on a table (QTableWidget or QTableView) and returns it.
// Alignments are Qt::AlignLeft, Qt::AlignHCenter or Qt::AlignRight per column.
TGridCellPainter* DrawGridCell(QTableView* grid, const QList<Qt::Alignment>& alignments = {});

// Widest text of the column (cells and header) + 5 pixels, plus the painter's 4-pixel inset;
// applied to the column and returned.
int FitColumnWidth(QTableView* grid, int column);

// Tree nodes: the selected node white on blue and bold, every other node black on white.
class TTreeNodeColorsPainter : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Installs the node colours on a tree (QTreeWidget or QTreeView) and returns the painter.
TTreeNodeColorsPainter* DrawTreeNodeColors(QTreeView* tree);

// Items whose text a subclass paints itself (tab stops, a marked part): the style draws the
// item (selection, focus) without its text, then `paintText` draws the text.
class TOwnTextPainter : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    // `opt` holds the item's options (its text cleared); `text` is the item's text.
    virtual void paintText(QPainter* painter, const QStyleOptionViewItem& opt, const QString& text,
                           const QModelIndex& index) const = 0;
};

// Text panes of long source lines: no word wrap, both scroll bars, unlimited length.
void PrepareRichEdit(QPlainTextEdit* editor);
void PrepareRichEdit(QTextEdit* editor);
