#include "shell/ui/GridPainters.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyle>
#include <QScrollBar>
#include <QTableView>
#include <QTextEdit>
#include <QTreeView>

namespace {

constexpr int CellInset = 4;

QString CellText(const QModelIndex& index)
{
    return index.data(Qt::DisplayRole).toString();
}

} // namespace

TGridCellPainter::TGridCellPainter(QObject* parent, QList<Qt::Alignment> alignments)
    : QStyledItemDelegate(parent)
    , m_alignments(std::move(alignments))
{
}

Qt::Alignment TGridCellPainter::alignmentOf(int column) const
{
    if (column < 0 || column >= m_alignments.size())
        return Qt::AlignLeft;
    const Qt::Alignment a = m_alignments[column] & Qt::AlignHorizontal_Mask;
    return a ? a : Qt::AlignLeft;
}

void TGridCellPainter::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const bool rowSelect = view && view->selectionBehavior() == QAbstractItemView::SelectRows;
    const bool alwaysEditor = view && (view->editTriggers() & QAbstractItemView::CurrentChanged);
    const bool selected = option.state & QStyle::State_Selected;

    const QPalette& pal = option.widget ? option.widget->palette() : option.palette;
    QColor back = Qt::white;
    QColor fore = pal.color(QPalette::Text);
    if (selected && (rowSelect || alwaysEditor)) {
        back = pal.color(QPalette::Active, QPalette::Highlight);
        fore = pal.color(QPalette::Active, QPalette::HighlightedText);
    }
    // A background set on the item (a coloured state cell) wins over white.
    const QVariant itemBack = index.data(Qt::BackgroundRole);
    if (!(selected && (rowSelect || alwaysEditor)) && itemBack.canConvert<QBrush>()) {
        const QBrush b = itemBack.value<QBrush>();
        if (b.style() != Qt::NoBrush)
            back = b.color();
    }

    painter->save();
    painter->fillRect(option.rect, back);

    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    // Check boxes stay the style's business; only the text is ours.
    QRect textRect = option.rect.adjusted(CellInset, 0, -2, 0);
    if (opt.features & QStyleOptionViewItem::HasCheckIndicator) {
        const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        QStyleOptionViewItem check(opt);
        check.rect = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, option.widget);
        check.state &= ~QStyle::State_HasFocus;
        switch (opt.checkState) {
        case Qt::Unchecked: check.state |= QStyle::State_Off; break;
        case Qt::PartiallyChecked: check.state |= QStyle::State_NoChange; break;
        case Qt::Checked: check.state |= QStyle::State_On; break;
        }
        style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, painter, option.widget);
        textRect.setLeft(qMax(textRect.left(), check.rect.right() + CellInset));
    }

    painter->setFont(opt.font);
    painter->setPen(fore);
    const QString text = CellText(index);
    const QString shown = painter->fontMetrics().elidedText(text, Qt::ElideNone, textRect.width());
    painter->drawText(textRect, int(alignmentOf(index.column()) | Qt::AlignVCenter | Qt::TextSingleLine),
                      shown);

    // Without row selection the current cell keeps a focus frame so the operator sees it.
    if (!rowSelect && !alwaysEditor && (option.state & QStyle::State_HasFocus)) {
        QPen pen(fore, 1, Qt::DotLine);
        painter->setPen(pen);
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

TGridCellPainter* DrawGridCell(QTableView* grid, const QList<Qt::Alignment>& alignments)
{
    if (!grid)
        return nullptr;
    auto* painter = grid->findChild<TGridCellPainter*>(QString(), Qt::FindDirectChildrenOnly);
    if (!painter) {
        painter = new TGridCellPainter(grid, alignments);
        grid->setItemDelegate(painter);
    } else {
        painter->setAlignments(alignments);
    }
    grid->viewport()->update();
    return painter;
}

int FitColumnWidth(QTableView* grid, int column)
{
    if (!grid || !grid->model() || column < 0 || column >= grid->model()->columnCount())
        return 0;
    const QAbstractItemModel* model = grid->model();
    const QFontMetrics fm(grid->font());
    int widest = 0;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QString text = model->index(row, column).data(Qt::DisplayRole).toString();
        widest = qMax(widest, fm.horizontalAdvance(text));
    }
    const QString header = model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    if (grid->horizontalHeader() && grid->horizontalHeader()->isVisible())
        widest = qMax(widest, QFontMetrics(grid->horizontalHeader()->font()).horizontalAdvance(header));
    const int width = widest + 5 + CellInset;
    grid->setColumnWidth(column, width);
    return width;
}

void TTreeNodeColorsPainter::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const bool selected = option.state & QStyle::State_Selected;
    const QColor back = selected ? QColor(Qt::blue) : QColor(Qt::white);
    const QColor fore = selected ? QColor(Qt::white) : QColor(Qt::black);
    opt.font.setBold(selected);

    painter->save();
    const QString text = opt.text;
    opt.text.clear();
    opt.state &= ~QStyle::State_Selected;
    opt.backgroundBrush = Qt::NoBrush;
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    // Icon (if any) by the style; the node's text box in our colours.
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, option.widget);
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, option.widget);
    painter->setFont(opt.font);
    const QFontMetrics fm(opt.font);
    QRect box = textRect;
    box.setWidth(qMin(textRect.width(), fm.horizontalAdvance(text) + 6));
    painter->fillRect(box, back);
    painter->setPen(fore);
    painter->drawText(box.adjusted(3, 0, 0, 0), int(Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine),
                      fm.elidedText(text, Qt::ElideRight, box.width() - 3));
    painter->restore();
}

QSize TTreeNodeColorsPainter::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // Room for the bold form, so selecting a node never clips its title.
    QStyleOptionViewItem opt(option);
    opt.font.setBold(true);
    QSize s = QStyledItemDelegate::sizeHint(opt, index);
    s.rwidth() += 6;
    return s;
}

TTreeNodeColorsPainter* DrawTreeNodeColors(QTreeView* tree)
{
    if (!tree)
        return nullptr;
    auto* painter = tree->findChild<TTreeNodeColorsPainter*>(QString(), Qt::FindDirectChildrenOnly);
    if (!painter) {
        painter = new TTreeNodeColorsPainter(tree);
        tree->setItemDelegate(painter);
    }
    QPalette pal = tree->palette();
    pal.setColor(QPalette::Base, Qt::white);
    tree->setPalette(pal);
    return painter;
}

void PrepareRichEdit(QPlainTextEdit* editor)
{
    if (!editor)
        return;
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor->setWordWrapMode(QTextOption::NoWrap);
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    editor->setMaximumBlockCount(0);
    editor->document()->setDocumentMargin(6);
    editor->moveCursor(QTextCursor::Start);
}

void PrepareRichEdit(QTextEdit* editor)
{
    if (!editor)
        return;
    editor->setAcceptRichText(false);
    editor->setLineWrapMode(QTextEdit::NoWrap);
    editor->setWordWrapMode(QTextOption::NoWrap);
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    editor->document()->setDocumentMargin(6);
    editor->moveCursor(QTextCursor::Start);
}

void TOwnTextPainter::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    if (QStyle* style = opt.widget ? opt.widget->style() : nullptr)
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    paintText(painter, opt, text, index);
}
