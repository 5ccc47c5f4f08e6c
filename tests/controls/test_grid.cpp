#include "controls/GridExt.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace valdrin::controls;

namespace {

// A grid of cols × rows with one fixed row and column, every movable cell
// filled with "c,r" so that untouched cells are easy to tell.
class GridTest : public ::testing::Test {
protected:
    void Make(int cols, int rows)
    {
        grid.SetColCount(cols);
        grid.SetRowCount(rows);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                grid.SetCells(c, r, Tag(c, r));
    }
    static QString Tag(int c, int r) { return QStringLiteral("%1,%2").arg(c).arg(r); }

    void Select(int left, int top, int right, int bottom)
    {
        grid.clearSelection();
        grid.setCurrentCell(top, left);
        grid.setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
    }
    void Paste(const QString &text)
    {
        QApplication::clipboard()->setText(text);
        grid.PasteFromClipboard();
    }
    static QString Clip() { return QApplication::clipboard()->text(); }

    TStrGrid grid;
};

} // namespace

TEST_F(GridTest, CellsOutsideTheGridReadEmptyAndIgnoreWrites)
{
    Make(3, 4);
    QSignalSpy edited(&grid, &TStrGrid::CellEdited);
    EXPECT_EQ(grid.Cells(3, 0), QString());
    EXPECT_EQ(grid.Cells(0, 4), QString());
    EXPECT_EQ(grid.Cells(-1, 1), QString());
    grid.SetCells(-1, 0, QStringLiteral("x"));
    grid.SetCells(3, 3, QStringLiteral("x"));
    grid.SetEditText(0, 99, QStringLiteral("x"));
    grid.SetCells(1, 1, QStringLiteral("program"));
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("program"));
    EXPECT_EQ(edited.count(), 0);
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.ColCount(), 3);
}

TEST_F(GridTest, FixedCellsCannotBeSelectedOrEdited)
{
    Make(4, 4);
    EXPECT_EQ(grid.currentRow(), 1);
    EXPECT_EQ(grid.currentColumn(), 1);
    EXPECT_FALSE(grid.item(0, 2)->flags() & Qt::ItemIsSelectable);
    EXPECT_FALSE(grid.item(2, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(grid.item(2, 2)->flags() & Qt::ItemIsEditable);
    // Rows added later get a fixed first cell too.
    grid.SetRowCount(6);
    ASSERT_NE(grid.item(5, 0), nullptr);
    EXPECT_FALSE(grid.item(5, 0)->flags() & Qt::ItemIsSelectable);
    // Without a fixed column the first column is an ordinary one.
    grid.SetFixedCols(0);
    EXPECT_TRUE(grid.item(2, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(grid.item(0, 0)->flags() & Qt::ItemIsEditable);
}

TEST_F(GridTest, TableRoundTripKeepsHeaderAndUtf8)
{
    valdrin::common::TCellTable table(3, 2);
    table.SetCell(0, 0, "№");
    table.SetCell(0, 1, "Код");
    table.SetCell(1, 1, "ст. Ёлкино");
    table.SetCell(2, 0, "2");
    grid.FromTable(table);
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.ColCount(), 2);
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("ст. Ёлкино"));
    EXPECT_EQ(grid.ToTable(), table);
}

TEST_F(GridTest, CopyGivesTabsAndCrLfWithoutATrailingBreak)
{
    Make(4, 4);
    Select(2, 2, 2, 2);
    grid.CopyToClipboard();
    EXPECT_EQ(Clip(), QStringLiteral("2,2"));
    Select(1, 1, 2, 2);
    grid.SetCells(2, 2, QString());
    grid.CopyToClipboard();
    EXPECT_EQ(Clip(), QStringLiteral("1,1\t2,1\r\n1,2\t"));
}

TEST_F(GridTest, CopyThenPasteElsewhereReproducesTheBlockClipped)
{
    Make(6, 6);
    Select(1, 1, 3, 3);
    grid.CopyToClipboard();
    Select(4, 4, 4, 4);
    QSignalSpy edited(&grid, &TStrGrid::CellEdited);
    grid.PasteFromClipboard();
    EXPECT_EQ(edited.count(), 4);
    EXPECT_EQ(grid.Cells(4, 4), Tag(1, 1));
    EXPECT_EQ(grid.Cells(5, 4), Tag(2, 1));
    EXPECT_EQ(grid.Cells(4, 5), Tag(1, 2));
    EXPECT_EQ(grid.Cells(5, 5), Tag(2, 2));
    EXPECT_EQ(grid.Cells(3, 4), Tag(3, 4));
    EXPECT_EQ(grid.RowCount(), 6);
    EXPECT_EQ(grid.ColCount(), 6);
}

TEST_F(GridTest, SmallBlockRepeatsOverAWholeMultipleOnly)
{
    Make(6, 6);
    Select(1, 1, 3, 2);
    Paste(QStringLiteral("x"));
    for (int r = 1; r <= 2; ++r)
        for (int c = 1; c <= 3; ++c)
            EXPECT_EQ(grid.Cells(c, r), QStringLiteral("x")) << c << "," << r;
    EXPECT_EQ(grid.Cells(4, 1), Tag(4, 1));

    Make(6, 6);
    Select(1, 1, 3, 3);
    Paste(QStringLiteral("a\tb\r\nc\td"));
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("a"));
    EXPECT_EQ(grid.Cells(2, 2), QStringLiteral("d"));
    EXPECT_EQ(grid.Cells(3, 1), Tag(3, 1));
    EXPECT_EQ(grid.Cells(1, 3), Tag(1, 3));
    EXPECT_EQ(grid.Cells(3, 3), Tag(3, 3));

    Make(6, 6);
    Select(1, 1, 4, 4);
    Paste(QStringLiteral("a\tb\r\nc\td"));
    EXPECT_EQ(grid.Cells(3, 3), QStringLiteral("a"));
    EXPECT_EQ(grid.Cells(4, 4), QStringLiteral("d"));
    EXPECT_EQ(grid.Cells(4, 1), QStringLiteral("b"));
}

TEST_F(GridTest, LineBreaksAndFieldsOfTheClipboardText)
{
    // A trailing line break, as spreadsheets copy a block, adds no row: the
    // cells below keep their texts, also when the block repeats.
    for (const char *end : { "\r\n", "\n", "\r", "\r\n\r\n" }) {
        Make(5, 5);
        Select(1, 1, 1, 1);
        Paste(QStringLiteral("a\tb\r\nc\td") + QString::fromLatin1(end));
        EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("c"));
        EXPECT_EQ(grid.Cells(1, 3), Tag(1, 3)) << end;
        EXPECT_EQ(grid.Cells(2, 3), Tag(2, 3));
    }
    Make(5, 5);
    Select(1, 1, 2, 4);
    QSignalSpy edited(&grid, &TStrGrid::CellEdited);
    Paste(QStringLiteral("111\t222\n"));
    EXPECT_EQ(edited.count(), 8); // the single row fills all four selected rows
    EXPECT_EQ(grid.Cells(2, 4), QStringLiteral("222"));
    // A copied empty cell is one empty line.
    Make(5, 5);
    Select(1, 1, 1, 1);
    Paste(QStringLiteral("\r\n"));
    EXPECT_EQ(grid.Cells(1, 1), QString());
    EXPECT_EQ(grid.Cells(1, 2), Tag(1, 2));

    // Blank lines and lone LFs count as one break.
    Make(5, 5);
    Select(1, 1, 1, 1);
    Paste(QStringLiteral("a\r\n\r\n\nb"));
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("a"));
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("b"));
    EXPECT_EQ(grid.Cells(1, 3), Tag(1, 3));

    // Short lines leave their cells, empty fields empty theirs, quotes group.
    Make(5, 5);
    Select(1, 1, 1, 1);
    Paste(QStringLiteral("a\t\tc\r\nd\r\n\"e\tf\"\tg"));
    EXPECT_EQ(grid.Cells(2, 1), QString());
    EXPECT_EQ(grid.Cells(3, 1), QStringLiteral("c"));
    EXPECT_EQ(grid.Cells(2, 2), Tag(2, 2));
    EXPECT_EQ(grid.Cells(1, 3), QStringLiteral("\"e\tf\""));
    EXPECT_EQ(grid.Cells(2, 3), QStringLiteral("g"));
}

TEST_F(GridTest, PasteWithoutTextChangesNothing)
{
    Make(4, 4);
    Select(1, 1, 2, 2);
    QSignalSpy edited(&grid, &TStrGrid::CellEdited);
    Paste(QString());
    QApplication::clipboard()->setMimeData(new QMimeData);
    grid.PasteFromClipboard();
    EXPECT_EQ(edited.count(), 0);
    EXPECT_EQ(grid.Cells(1, 1), Tag(1, 1));
}

TEST_F(GridTest, DeleteOnABlockEmptiesItAndKeepsTheTopLeftCell)
{
    Make(5, 5);
    Select(2, 1, 3, 3);
    QSignalSpy edited(&grid, &TStrGrid::CellEdited);
    QTest::keyClick(&grid, Qt::Key_Delete);
    for (int r = 1; r <= 3; ++r)
        for (int c = 2; c <= 3; ++c)
            EXPECT_EQ(grid.Cells(c, r), QString());
    EXPECT_EQ(edited.count(), 6);
    EXPECT_EQ(grid.Cells(1, 1), Tag(1, 1));
    const auto ranges = grid.selectedRanges();
    ASSERT_EQ(ranges.size(), 1);
    EXPECT_EQ(ranges[0].rowCount() * ranges[0].columnCount(), 1);
    EXPECT_EQ(ranges[0].leftColumn(), 2);
    EXPECT_EQ(ranges[0].topRow(), 1);
    EXPECT_EQ(grid.currentColumn(), 2);
    EXPECT_EQ(grid.currentRow(), 1);
}

TEST_F(GridTest, KeysWhileTheEditorIsOpenGoToTheEditor)
{
    Make(4, 4);
    Select(1, 1, 1, 1);
    grid.edit(grid.currentIndex());
    ASSERT_TRUE(grid.IsEditing());
    auto *editor = grid.findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    editor->setCursorPosition(0);
    QTest::keyClick(editor, Qt::Key_Delete);
    EXPECT_EQ(editor->text(), QStringLiteral(",1"));

    // The block commands wait while the editor is open.
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    grid.PasteFromClipboard();
    grid.ClearSelection();
    QTest::keyClick(&grid, Qt::Key_Delete);
    EXPECT_EQ(grid.Cells(1, 1), Tag(1, 1));

    QSignalSpy edited(&grid, &TStrGrid::CellEdited);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the delegate commits through a queued call
    EXPECT_FALSE(grid.IsEditing());
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral(",1"));
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(edited[0][0].toInt(), 1);
    EXPECT_EQ(edited[0][1].toInt(), 1);
}

TEST_F(GridTest, EditingAnEmptyCellReportsItOnce)
{
    Make(4, 4);
    delete grid.takeItem(2, 2);
    Select(2, 2, 2, 2);
    grid.edit(grid.currentIndex());
    auto *editor = grid.findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    QSignalSpy edited(&grid, &TStrGrid::CellEdited);
    QTest::keyClicks(editor, QStringLiteral("12"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid.Cells(2, 2), QStringLiteral("12"));
    EXPECT_EQ(edited.count(), 1);
}

TEST_F(GridTest, ClipboardKeys)
{
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
    };
    const Case copies[]
        = { { Qt::Key_Insert, Qt::ControlModifier }, { Qt::Key_C, Qt::ControlModifier } };
    const Case pastes[]
        = { { Qt::Key_Insert, Qt::ShiftModifier }, { Qt::Key_V, Qt::ControlModifier } };
    const Case cuts[]
        = { { Qt::Key_Delete, Qt::ShiftModifier }, { Qt::Key_X, Qt::ControlModifier } };
    for (const Case &k : copies) {
        Make(4, 4);
        QApplication::clipboard()->clear();
        Select(1, 1, 2, 1);
        QTest::keyClick(&grid, k.key, k.mods);
        EXPECT_EQ(Clip(), QStringLiteral("1,1\t2,1"));
    }
    for (const Case &k : pastes) {
        Make(4, 4);
        QApplication::clipboard()->setText(QStringLiteral("p\tq"));
        Select(2, 3, 2, 3);
        QTest::keyClick(&grid, k.key, k.mods);
        EXPECT_EQ(grid.Cells(2, 3), QStringLiteral("p"));
        EXPECT_EQ(grid.Cells(3, 3), QStringLiteral("q"));
    }
    for (const Case &k : cuts) {
        Make(4, 4);
        Select(1, 2, 1, 3);
        QTest::keyClick(&grid, k.key, k.mods);
        EXPECT_EQ(Clip(), QStringLiteral("1,2\r\n1,3"));
        EXPECT_EQ(grid.Cells(1, 2), QString());
        EXPECT_EQ(grid.Cells(1, 3), QString());
    }
    // Other modifier sets are not the commands.
    Make(4, 4);
    Select(1, 1, 1, 1);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(grid.Cells(1, 1), Tag(1, 1));
}

TEST_F(GridTest, SizesFollowTheLayoutAndTheFont)
{
    grid.SetColCount(3);
    grid.SetColWidths({ 30, 43, 44, 46, 50 });
    grid.SetColCount(5);
    EXPECT_EQ(grid.columnWidth(1), 43);
    EXPECT_EQ(grid.columnWidth(4), 50);
    grid.SetDefaultRowHeight(15);
    EXPECT_GE(grid.rowHeight(1), 15);
    EXPECT_GT(grid.rowHeight(1), grid.fontMetrics().height());
}

TEST_F(GridTest, MouseSizesColumnsOnTheHeaderRowAndIgnoresHeaderCells)
{
    Make(4, 4);
    grid.SetColWidths({ 30, 40, 40, 40 });
    QWidget *vp = grid.viewport();
    const int edge = grid.columnViewportPosition(1) + grid.columnWidth(1);
    const int headerY = grid.rowViewportPosition(0) + grid.rowHeight(0) / 2;
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(edge, headerY));
    QMouseEvent move(QEvent::MouseMove, QPointF(edge + 15, headerY),
        vp->mapToGlobal(QPointF(edge + 15, headerY)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(edge + 15, headerY));
    EXPECT_EQ(grid.columnWidth(1), 55);

    // A click on a header cell leaves the current cell where it was.
    Select(2, 2, 2, 2);
    const QPoint fixedCell(
        grid.columnViewportPosition(0) + 5, grid.rowViewportPosition(3) + grid.rowHeight(3) / 2);
    QTest::mouseClick(vp, Qt::LeftButton, {}, fixedCell);
    EXPECT_EQ(grid.currentColumn(), 2);
    EXPECT_EQ(grid.currentRow(), 2);
}
