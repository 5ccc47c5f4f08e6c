// The table control of the window: a string grid of text cells with an
// optional fixed header row and column, range selection, an in-place editor
// and block exchange with the clipboard as tab-separated text.
//
// The grid follows the string-grid model: the table's own rows and columns
// include the fixed ones, so Cells(0, 0) is the top-left header cell when
// FixedRows() == FixedCols() == 1. Qt's header views are hidden; fixed cells
// are ordinary items drawn grey, neither editable nor selectable.
#pragma once

#include "common/CellTable.h"

#include <QList>
#include <QString>
#include <QTableWidget>

namespace valdrin::controls {

class TStrGrid : public QTableWidget {
    Q_OBJECT

public:
    explicit TStrGrid(QWidget *parent = nullptr);

    int RowCount() const;
    void SetRowCount(int count);
    int ColCount() const;
    void SetColCount(int count);
    int FixedRows() const; // 0 or 1
    void SetFixedRows(int count);
    int FixedCols() const; // 0 or 1
    void SetFixedCols(int count);

    // Out of range: the empty text / ignored. SetCells does not emit CellEdited.
    QString Cells(int col, int row) const;
    void SetCells(int col, int row, const QString &text);

    // UTF-8 texts, [row][col], fixed cells included.
    common::TCellTable ToTable() const;
    void FromTable(const common::TCellTable &table);

    // Widths of the first columns in pixels, also for columns added later;
    // the others take the default width. Rows take the default height but
    // never get lower than the font needs. Columns are sized with the mouse
    // on the lines of the fixed row; rows are not.
    void SetColWidths(const QList<int> &widths);
    void SetDefaultColWidth(int width);
    void SetDefaultRowHeight(int height);
    // The column width that shows sample whole, not cut short, at the grid's font.
    int ColumnWidthFor(const QString &sample) const;

    // The block commands. The selection is the bounding rectangle of the
    // selected cells, or the current cell when nothing is selected.
    void CopyToClipboard();
    void PasteFromClipboard();
    void ClearSelection();

    // The edit-text hook: writes a cell as if typed into its editor, so it
    // emits CellEdited. Paste and clear go through here.
    virtual void SetEditText(int col, int row, const QString &text);

    bool IsEditing() const;
    bool IsFixed(int col, int row) const; // a header cell

signals:
    // The user changed a cell: editor commit, paste or clear.
    void CellEdited(int col, int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct TRect {
        int left = 0, top = 0, right = -1, bottom = -1;
    };
    TRect selectionRect() const;
    bool inRange(int col, int row) const;
    void writeCell(int col, int row, const QString &text);
    void applyFixedLook();
    void applyFixedLook(int col, int row);
    void keepCurrentMovable();
    void applyRowHeight();
    int columnEdgeAt(const QPoint &pos) const;

    int m_fixedRows = 1;
    int m_fixedCols = 1;
    int m_rowHeight = 15; // as asked; rows grow to fit the font
    QList<int> m_colWidths; // of the first columns, kept for columns added later
    int m_silent = 0; // > 0 while the grid itself writes cells
    int m_resizeCol = -1; // column whose right edge the mouse drags
    int m_resizeStartX = 0;
    int m_resizeStartWidth = 0;
};

} // namespace valdrin::controls
