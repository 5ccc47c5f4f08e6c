#include "controls/GridExt.h"

#include "common/StrRout.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>

#include <algorithm>

namespace valdrin::controls {

namespace {

constexpr int kDefaultColWidth = 30;
constexpr int kEdgeGrip = 3; // pixels either side of a column line that start a resize
constexpr int kMinColWidth = 4;

// Fixed cells carry no item flags so that the view neither selects, edits
// nor moves the current cell onto them; this draws them as enabled header
// cells all the same.
class TFixedCellDelegate : public QStyledItemDelegate {
public:
    explicit TFixedCellDelegate(TStrGrid *grid)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!m_grid->IsFixed(index.column(), index.row()))
            return;
        option->state |= QStyle::State_Enabled;
        option->state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        option->backgroundBrush = m_grid->palette().button();
        option->palette.setColor(QPalette::Text, m_grid->palette().color(QPalette::ButtonText));
    }

private:
    TStrGrid *m_grid;
};

} // namespace

TStrGrid::TStrGrid(QWidget *parent)
    : QTableWidget(5, 5, parent)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(kMinColWidth);
    horizontalHeader()->setDefaultSectionSize(kDefaultColWidth);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(false);
    setDragEnabled(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setItemDelegate(new TFixedCellDelegate(this));
    applyRowHeight();
    resize(158, 83);

    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (m_silent == 0 && item && !IsFixed(item->column(), item->row()))
            emit CellEdited(item->column(), item->row());
    });
    applyFixedLook();
    keepCurrentMovable();
}

int TStrGrid::RowCount() const
{
    return rowCount();
}

void TStrGrid::SetRowCount(int count)
{
    setRowCount(std::max(count, 0));
    applyFixedLook();
    keepCurrentMovable();
}

int TStrGrid::ColCount() const
{
    return columnCount();
}

void TStrGrid::SetColCount(int count)
{
    const int old = columnCount();
    setColumnCount(std::max(count, 0));
    for (int c = old; c < columnCount() && c < m_colWidths.size(); ++c)
        setColumnWidth(c, m_colWidths[c]);
    applyFixedLook();
    keepCurrentMovable();
}

int TStrGrid::FixedRows() const
{
    return m_fixedRows;
}

void TStrGrid::SetFixedRows(int count)
{
    m_fixedRows = std::clamp(count, 0, 1);
    applyFixedLook();
    keepCurrentMovable();
}

int TStrGrid::FixedCols() const
{
    return m_fixedCols;
}

void TStrGrid::SetFixedCols(int count)
{
    m_fixedCols = std::clamp(count, 0, 1);
    applyFixedLook();
    keepCurrentMovable();
}

bool TStrGrid::IsFixed(int col, int row) const
{
    return row < m_fixedRows || col < m_fixedCols;
}

bool TStrGrid::IsEditing() const
{
    return state() == QAbstractItemView::EditingState;
}

bool TStrGrid::inRange(int col, int row) const
{
    return col >= 0 && row >= 0 && col < columnCount() && row < rowCount();
}

QString TStrGrid::Cells(int col, int row) const
{
    if (!inRange(col, row))
        return {};
    const QTableWidgetItem *it = item(row, col);
    return it ? it->text() : QString();
}

void TStrGrid::writeCell(int col, int row, const QString &text)
{
    ++m_silent;
    if (QTableWidgetItem *it = item(row, col)) {
        it->setText(text);
    } else if (!text.isEmpty()) {
        auto *created = new QTableWidgetItem(text);
        setItem(row, col, created);
        applyFixedLook(col, row);
    }
    --m_silent;
}

void TStrGrid::SetCells(int col, int row, const QString &text)
{
    if (inRange(col, row))
        writeCell(col, row, text);
}

void TStrGrid::SetEditText(int col, int row, const QString &text)
{
    if (!inRange(col, row))
        return;
    writeCell(col, row, text);
    emit CellEdited(col, row);
}

common::TCellTable TStrGrid::ToTable() const
{
    common::TCellTable table(rowCount(), columnCount());
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            if (const QTableWidgetItem *it = item(r, c))
                table.SetCell(r, c, it->text().toStdString());
    return table;
}

void TStrGrid::FromTable(const common::TCellTable &table)
{
    SetRowCount(table.RowCount());
    SetColCount(table.ColCount);
    for (int r = 0; r < table.RowCount(); ++r)
        for (int c = 0; c < table.ColCount; ++c)
            writeCell(c, r, QString::fromStdString(table.Cell(r, c)));
}

void TStrGrid::SetColWidths(const QList<int> &widths)
{
    m_colWidths = widths;
    for (int c = 0; c < columnCount() && c < widths.size(); ++c)
        setColumnWidth(c, std::max(widths[c], kMinColWidth));
}

int TStrGrid::ColumnWidthFor(const QString &sample) const
{
    ensurePolished();
    // What the delegate asks of the style for such a cell, margins included,
    // as a column sized to its contents would get.
    QStyleOptionViewItem opt;
    initViewItemOption(&opt);
    opt.features |= QStyleOptionViewItem::HasDisplay;
    opt.text = sample;
    const QSize hint = style()->sizeFromContents(QStyle::CT_ItemViewItem, &opt, QSize(), this);
    return hint.width() + (showGrid() ? 1 : 0);
}

void TStrGrid::SetDefaultColWidth(int width)
{
    horizontalHeader()->setDefaultSectionSize(std::max(width, kMinColWidth));
}

void TStrGrid::SetDefaultRowHeight(int height)
{
    m_rowHeight = height;
    applyRowHeight();
}

// Rows never get lower than the text they show; the asked-for height holds
// for fonts that fit it.
void TStrGrid::applyRowHeight()
{
    const int fit = fontMetrics().height() + 4;
    const int h = std::max(m_rowHeight, fit);
    verticalHeader()->setDefaultSectionSize(h);
    for (int r = 0; r < rowCount(); ++r)
        setRowHeight(r, h);
}

void TStrGrid::changeEvent(QEvent *event)
{
    QTableWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyRowHeight();
}

void TStrGrid::applyFixedLook(int col, int row)
{
    QTableWidgetItem *it = item(row, col);
    const bool fixed = IsFixed(col, row);
    if (!it) {
        if (!fixed)
            return;
        it = new QTableWidgetItem;
        setItem(row, col, it);
    }
    const Qt::ItemFlags wanted
        = fixed ? Qt::NoItemFlags : Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled;
    if (it->flags() != wanted)
        it->setFlags(wanted);
}

// Only the first row and column can be fixed, so they are the only cells
// whose look ever changes.
void TStrGrid::applyFixedLook()
{
    ++m_silent;
    for (int c = 0; c < columnCount(); ++c)
        applyFixedLook(c, 0);
    for (int r = 1; r < rowCount(); ++r)
        applyFixedLook(0, r);
    --m_silent;
}

// The current cell stays off the fixed cells, as a grid's cursor does.
void TStrGrid::keepCurrentMovable()
{
    if (m_fixedRows >= rowCount() || m_fixedCols >= columnCount())
        return;
    const int row = currentRow(), col = currentColumn();
    if (row >= m_fixedRows && col >= m_fixedCols)
        return;
    setCurrentCell(std::max(row, m_fixedRows), std::max(col, m_fixedCols));
}

TStrGrid::TRect TStrGrid::selectionRect() const
{
    TRect rect;
    const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
    if (!ranges.isEmpty()) {
        rect = { ranges.first().leftColumn(), ranges.first().topRow(), ranges.first().rightColumn(),
            ranges.first().bottomRow() };
        for (const auto &r : ranges) {
            rect.left = std::min(rect.left, r.leftColumn());
            rect.top = std::min(rect.top, r.topRow());
            rect.right = std::max(rect.right, r.rightColumn());
            rect.bottom = std::max(rect.bottom, r.bottomRow());
        }
    } else if (inRange(currentColumn(), currentRow())) {
        rect = { currentColumn(), currentRow(), currentColumn(), currentRow() };
    }
    // Whatever the selection model holds, never reach outside the grid.
    rect.left = std::max(rect.left, 0);
    rect.top = std::max(rect.top, 0);
    rect.right = std::min(rect.right, columnCount() - 1);
    rect.bottom = std::min(rect.bottom, rowCount() - 1);
    return rect;
}

void TStrGrid::CopyToClipboard()
{
    const TRect sel = selectionRect();
    if (sel.left > sel.right || sel.top > sel.bottom)
        return;
    QString text;
    for (int r = sel.top; r <= sel.bottom; ++r) {
        if (r > sel.top)
            text += QStringLiteral("\r\n");
        for (int c = sel.left; c <= sel.right; ++c) {
            if (c > sel.left)
                text += QLatin1Char('\t');
            text += Cells(c, r);
        }
    }
    QGuiApplication::clipboard()->setText(text);
}

void TStrGrid::ClearSelection()
{
    if (IsEditing())
        return;
    const TRect sel = selectionRect();
    if (sel.left > sel.right || sel.top > sel.bottom)
        return;
    for (int r = sel.top; r <= sel.bottom; ++r)
        for (int c = sel.left; c <= sel.right; ++c)
            SetEditText(c, r, QString());
    setCurrentCell(sel.top, sel.left);
}

void TStrGrid::PasteFromClipboard()
{
    if (IsEditing())
        return;
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    if (!mime || !mime->hasText())
        return;
    std::string T = mime->text().toStdString();
    if (T.empty())
        return;
    // Spreadsheets and editors end the copied block with a line break; like
    // the breaks between lines it ends a line and starts no new one. Text of
    // breaks only is one empty cell.
    while (!T.empty() && (T.back() == '\r' || T.back() == '\n'))
        T.pop_back();
    const TRect sel = selectionRect();
    if (sel.left > sel.right || sel.top > sel.bottom)
        return;

    static const common::TCharSet lineBreaks = common::MakeCharSet("\r\n");
    static const common::TCharSet tab = common::MakeCharSet("\t");
    int n = std::min(common::CountWords(T, lineBreaks, true), rowCount() - sel.top);
    if (n <= 0)
        n = 1;
    std::vector<std::vector<std::string>> lines;
    lines.reserve(static_cast<std::size_t>(n));
    int m = 0;
    for (int i = 1; i <= n; ++i) {
        lines.push_back(
            common::SplitToStrings(common::NthWord(T, i, lineBreaks, true), tab, false));
        m = std::max(m, static_cast<int>(lines.back().size()));
    }
    m = std::min(m, columnCount() - sel.left);
    if (m <= 0)
        return;
    const int h = std::max((sel.right - sel.left + 1) / m, 1);
    const int v = std::max((sel.bottom - sel.top + 1) / n, 1);
    for (int a = 0; a < h; ++a)
        for (int b = 0; b < v; ++b)
            for (int i = 0; i < n; ++i) {
                const auto &fields = lines[static_cast<std::size_t>(i)];
                const int count = std::min(m, static_cast<int>(fields.size()));
                for (int j = 0; j < count; ++j)
                    SetEditText(sel.left + a * m + j, sel.top + b * n + i,
                        QString::fromStdString(fields[static_cast<std::size_t>(j)]));
            }
}

void TStrGrid::keyPressEvent(QKeyEvent *event)
{
    if (IsEditing()) {
        QTableWidget::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers mods
        = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const int key = event->key();
    const bool ctrl = mods == Qt::ControlModifier;
    const bool shift = mods == Qt::ShiftModifier;
    if ((key == Qt::Key_Insert && ctrl) || (key == Qt::Key_C && ctrl)) {
        CopyToClipboard();
    } else if ((key == Qt::Key_Insert && shift) || (key == Qt::Key_V && ctrl)) {
        PasteFromClipboard();
    } else if ((key == Qt::Key_Delete && shift) || (key == Qt::Key_X && ctrl)) {
        CopyToClipboard();
        ClearSelection();
    } else if (key == Qt::Key_Delete && mods == Qt::NoModifier) {
        ClearSelection();
    } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::NoModifier
        && currentIndex().isValid()) {
        edit(currentIndex());
    } else {
        QTableWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

// The x of the column line under pos when pos lies in the fixed row within
// reach of it: the column to the left of that line, or -1.
int TStrGrid::columnEdgeAt(const QPoint &pos) const
{
    if (m_fixedRows == 0 || rowAt(pos.y()) != 0)
        return -1;
    for (int c = 0; c < columnCount(); ++c) {
        if (isColumnHidden(c))
            continue;
        const int edge = columnViewportPosition(c) + columnWidth(c);
        if (std::abs(pos.x() - edge) <= kEdgeGrip)
            return c;
    }
    return -1;
}

void TStrGrid::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        const int edge = columnEdgeAt(pos);
        if (edge >= 0) {
            m_resizeCol = edge;
            m_resizeStartX = pos.x();
            m_resizeStartWidth = columnWidth(edge);
            event->accept();
            return;
        }
    }
    const int row = rowAt(pos.y()), col = columnAt(pos.x());
    if (row >= 0 && col >= 0 && IsFixed(col, row)) {
        event->accept(); // header cells take no part in selecting
        return;
    }
    QTableWidget::mousePressEvent(event);
}

void TStrGrid::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_resizeCol >= 0) {
        setColumnWidth(
            m_resizeCol, std::max(m_resizeStartWidth + pos.x() - m_resizeStartX, kMinColWidth));
        event->accept();
        return;
    }
    if (event->buttons() == Qt::NoButton) {
        if (columnEdgeAt(pos) >= 0)
            viewport()->setCursor(Qt::SplitHCursor);
        else
            viewport()->unsetCursor();
    }
    QTableWidget::mouseMoveEvent(event);
}

void TStrGrid::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_resizeCol >= 0) {
        m_resizeCol = -1;
        event->accept();
        return;
    }
    QTableWidget::mouseReleaseEvent(event);
}

void TStrGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos.y()), col = columnAt(pos.x());
    if (columnEdgeAt(pos) >= 0 || (row >= 0 && col >= 0 && IsFixed(col, row))) {
        event->accept();
        return;
    }
    QTableWidget::mouseDoubleClickEvent(event);
}

} // namespace valdrin::controls
