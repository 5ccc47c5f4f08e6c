// Undo and redo of the window's tables. A step holds the state before and
// after a change, taken whole: the tables are small (at most a few hundred
// rows), and a whole state cannot drift from the controls as a replayed edit
// could.
#pragma once

#include <QString>
#include <QUndoCommand>

#include <functional>
#include <utility>
#include <vector>

#include "common/CellTable.h"
#include "medium/MediumModel.h"

namespace valdrin::app {

// The three tables with the counts that shape them and the layer model the
// layer table shows.
struct TTablesState {
    common::TCellTable CooGrid;
    common::TCellTable StrGrid;
    common::TCellTable ModelStrGrid;
    int Sensors = 0; // SensorsSpinEdit
    int Layers = 0; // LayerCountSpinEdit
    medium::THorizontalModel Model;
    std::vector<int> OutOfOperation; // station rows out of operation

    bool operator==(const TTablesState &) const = default;
};

// The last station row of a coordinate table with a coordinate or a name; 0
// when there is none.
inline int LastDataRow(const common::TCellTable &cooGrid)
{
    for (int r = cooGrid.RowCount() - 1; r > 0; --r)
        for (int c = 1; c < cooGrid.ColCount; ++c)
            if (!cooGrid.Cell(r, c).empty())
                return r;
    return 0;
}

// A change already made: pushing it does not apply it again.
template<typename TState> class TStateCommand : public QUndoCommand {
public:
    using TApply = std::function<void(const TState &)>;

    TStateCommand(const QString &text, TState before, TState after, TApply apply)
        : QUndoCommand(text)
        , m_before(std::move(before))
        , m_after(std::move(after))
        , m_apply(std::move(apply))
    {
    }

    void undo() override { m_apply(m_before); }
    void redo() override
    {
        if (m_done)
            m_apply(m_after);
        m_done = true;
    }

private:
    TState m_before;
    TState m_after;
    TApply m_apply;
    bool m_done = false;
};

} // namespace valdrin::app
