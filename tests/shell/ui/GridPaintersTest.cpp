#include "shell/ui/GridPainters.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QImage>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTreeWidget>

namespace {

QColor PixelAt(QWidget* w, QPoint p)
{
    return w->grab().toImage().pixelColor(p);
}

} // namespace

TEST(GridPainters, CellColoursFollowRowSelectionAndAlignments)
{
    QTableWidget grid(2, 3);
    grid.resize(400, 200);
    grid.setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            grid.setItem(r, c, new QTableWidgetItem(QString("셀%1%2").arg(r).arg(c)));
    TGridCellPainter* painter = DrawGridCell(&grid, {Qt::AlignLeft, Qt::AlignRight});
    ASSERT_NE(painter, nullptr);
    EXPECT_EQ(grid.itemDelegate(), painter);
    EXPECT_EQ(painter->alignmentOf(1), Qt::AlignRight);
    EXPECT_EQ(painter->alignmentOf(2), Qt::AlignLeft); // beyond the list
    EXPECT_EQ(DrawGridCell(&grid), painter);            // installing twice keeps one painter

    grid.show();
    grid.selectRow(1);
    const QRect selectedCell = grid.visualRect(grid.model()->index(1, 0));
    const QRect plainCell = grid.visualRect(grid.model()->index(0, 0));
    QWidget* vp = grid.viewport();
    EXPECT_EQ(PixelAt(vp, plainCell.topLeft() + QPoint(1, 1)), QColor(Qt::white));
    EXPECT_EQ(PixelAt(vp, selectedCell.topLeft() + QPoint(1, 1)),
              grid.palette().color(QPalette::Active, QPalette::Highlight));
}

TEST(GridPainters, FitColumnWidthTakesTheWidestText)
{
    QTableWidget grid(2, 1);
    grid.setHorizontalHeaderLabels({"x"});
    grid.setItem(0, 0, new QTableWidgetItem("짧은"));
    grid.setItem(1, 0, new QTableWidgetItem("조금 더 긴 글자들"));
    const int widest = QFontMetrics(grid.font()).horizontalAdvance("조금 더 긴 글자들");
    const int w = FitColumnWidth(&grid, 0);
    EXPECT_GE(w, widest + 5);
    EXPECT_EQ(grid.columnWidth(0), w);
    EXPECT_EQ(FitColumnWidth(&grid, 5), 0);
}

TEST(GridPainters, SelectedTreeNodeIsWhiteOnBlue)
{
    QTreeWidget tree;
    tree.setHeaderHidden(true);
    tree.resize(300, 200);
    auto* root = new QTreeWidgetItem(&tree, {"루트"});
    auto* child = new QTreeWidgetItem(root, {"기사 하나"});
    tree.expandAll();
    DrawTreeNodeColors(&tree);
    tree.show();
    tree.setCurrentItem(child);
    const QRect r = tree.visualItemRect(child);
    const QRect rr = tree.visualItemRect(root);
    QImage img = tree.viewport()->grab().toImage();
    // Somewhere in the selected row there is the blue box; the other row has none.
    bool blue = false, blueInRoot = false;
    for (int x = r.left(); x < r.right(); ++x)
        blue |= img.pixelColor(x, r.center().y()) == QColor(Qt::blue);
    for (int x = rr.left(); x < rr.right(); ++x)
        blueInRoot |= img.pixelColor(x, rr.center().y()) == QColor(Qt::blue);
    EXPECT_TRUE(blue);
    EXPECT_FALSE(blueInRoot);
}

TEST(GridPainters, PrepareRichEditTurnsWrappingOff)
{
    QPlainTextEdit edit;
    PrepareRichEdit(&edit);
    EXPECT_EQ(edit.lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(edit.maximumBlockCount(), 0);
}
