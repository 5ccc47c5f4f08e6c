// The node scan of the detection computation (modes 3..6).
#pragma once

#include <memory>
#include <optional>
#include <span>

#include "calc/Computation.h"

namespace valdrin::calc {

// Fills the NU x NV matrix of the snapshot's mode over its plane grid, on
// control.Threads threads (0: every core), in pieces of rows. Progress counts
// nodes, of NU * NV. Expects a snapshot that RunComputation has checked.
// Cancelled: nullopt. Only rows firstRow..lastRow (U index, both included;
// lastRow -1: to the end) are computed; the others are left empty.
std::optional<TMatrix2D> ScanNodes(
    const TCalcSnapshot &snapshot, const TRunControl &control, int firstRow = 0, int lastRow = -1);

struct TStationScratch; // one thread's working storage of TStationValues

// Each station's value at a node exactly as the scan takes it before it
// selects the k-th: the station's smallest registered magnitude (+infinity:
// not registered) or its location error; NaN where the station has none. For
// analyses that need more of the order than the k-th. Built once for a
// snapshot RunComputation has checked (its first Params.N stations); every
// thread asks through a scratch of its own.
class TStationValues {
public:
    class TScratch {
    public:
        ~TScratch();
        TScratch(TScratch &&) noexcept;
        TScratch &operator=(TScratch &&) noexcept;

    private:
        friend class TStationValues;
        explicit TScratch(std::unique_ptr<TStationScratch> state);
        std::unique_ptr<TStationScratch> m_state;
    };

    explicit TStationValues(const TCalcSnapshot &snapshot);
    ~TStationValues();
    TStationValues(TStationValues &&) noexcept;
    TStationValues &operator=(TStationValues &&) noexcept;

    std::size_t Count() const;
    TScratch NewScratch() const;
    // Station s (0 .. Count()-1) at node (i, j) of the snapshot's plane grid.
    double Value(TScratch &scratch, std::size_t s, int i, int j) const;
    // The law's value of every station at node (i, j) in double, each within
    // Bound[s] of Value's; valid until the scratch is used again. nullopt
    // where the mode has no such estimate (layered medium, location error)
    // or it cannot be vouched for at this node.
    struct TEstimates {
        std::span<const double> Value, Bound;
    };
    std::optional<TEstimates> Estimates(TScratch &scratch, int i, int j) const;
    // The node's value of the mode (row j of V) from its k-th station value.
    double NodeValue(double kth, int j) const;

private:
    struct TSetup;
    std::unique_ptr<const TSetup> m_setup;
};

} // namespace valdrin::calc
