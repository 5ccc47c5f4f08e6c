// A table of cell texts (UTF-8), as the window's string grids hold them.
// Indexed [row][column]; row 0 is the header row.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace valdrin::common {

using TCellRow = std::vector<std::string>;

struct TCellTable {
    std::vector<TCellRow> Rows; // every row has ColCount cells
    int ColCount = 0;

    TCellTable() = default;
    TCellTable(int rowCount, int colCount) { Resize(rowCount, colCount); }

    int RowCount() const { return static_cast<int>(Rows.size()); }

    // Out-of-range reads give the empty text; out-of-range writes are ignored.
    const std::string &Cell(int row, int col) const
    {
        static const std::string empty;
        if (row < 0 || col < 0 || row >= RowCount() || col >= ColCount)
            return empty;
        return Rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
    }
    void SetCell(int row, int col, std::string text)
    {
        if (row < 0 || col < 0 || row >= RowCount() || col >= ColCount)
            return;
        Rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = std::move(text);
    }
    // New rows and columns are empty; existing cells keep their texts.
    void Resize(int rowCount, int colCount)
    {
        if (rowCount < 0)
            rowCount = 0;
        if (colCount < 0)
            colCount = 0;
        ColCount = colCount;
        Rows.resize(static_cast<std::size_t>(rowCount));
        for (auto &row : Rows)
            row.resize(static_cast<std::size_t>(colCount));
    }
    void SetRowCount(int rowCount) { Resize(rowCount, ColCount); }

    bool operator==(const TCellTable &) const = default;
};

} // namespace valdrin::common
