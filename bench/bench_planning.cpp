// The planning analyses at their working sizes: the gain map of 81 x 81
// candidates over the default 81 x 81 nodes and 25 stations, and the outage
// figures of 100 stations on 401 x 401 nodes, and one step of a station
// dragged on the map, the node map computed again on the default grid
// (homogeneous medium, plane XY).
// Argument: threads.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "BenchSnapshots.h"
#include "calc/Computation.h"
#include "calc/Planning.h"

using namespace valdrin::calc;

namespace {

TPlaneGrid Grid(double step)
{
    TPlaneGrid g { -2000, 2000, step, -2000, 2000, step, 400, 0, 0 };
    g.NU = g.NV = static_cast<int>(std::ceil((4000 + 0.0001) / step));
    return g;
}

TCalcSnapshot Default()
{
    TCalcSnapshot s = testing::DefaultNetworkSnapshot();
    s.PlaneGrid = Grid(50);
    return s;
}

// 100 stations spread over the grid, the default attenuation row each.
TCalcSnapshot Hundred()
{
    TCalcSnapshot s = Default();
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> xy(-2000, 2000), z(330, 420);
    TStationSet &st = s.Stations;
    st = TStationSet {};
    for (int i = 0; i < 100; ++i) {
        st.U.push_back(xy(rng));
        st.V.push_back(xy(rng));
        st.W.push_back(z(rng));
        st.A0.push_back(1);
        st.A1.push_back(1.3);
        st.A2.push_back(0.0001);
        st.A3.push_back(0.4);
        st.An.push_back(0.01);
        st.SNR.push_back(4);
        st.Name.push_back(std::to_string(i));
    }
    st.Count = s.Params.N = 100;
    s.PlaneGrid = Grid(10);
    return s;
}

void BM_GainMap(benchmark::State &state)
{
    const TCalcSnapshot snap = Default();
    TRunControl control;
    control.Threads = static_cast<int>(state.range(0));
    const auto grid = ScanOrderStats(snap, control);
    for (auto _ : state) {
        auto map = GainMap(snap, *grid, {}, control);
        benchmark::DoNotOptimize(map->Gain.data());
    }
    state.SetItemsProcessed(state.iterations() * 81 * 81 * 81 * 81);
}

void BM_OrderStats(benchmark::State &state)
{
    const TCalcSnapshot snap = Default();
    TRunControl control;
    control.Threads = static_cast<int>(state.range(0));
    for (auto _ : state) {
        auto grid = ScanOrderStats(snap, control);
        benchmark::DoNotOptimize(grid->Nodes.data());
    }
}

void BM_Outage100On401(benchmark::State &state)
{
    const TCalcSnapshot snap = Hundred();
    TRunControl control;
    control.Threads = static_cast<int>(state.range(0));
    for (auto _ : state) {
        auto figures = OutageFigures(snap, control);
        benchmark::DoNotOptimize(figures->data());
    }
    state.SetItemsProcessed(state.iterations() * 401 * 401 * 100);
}

// The window's drag step: station 4 moved, the magnitude map run whole.
void BM_DragStep(benchmark::State &state)
{
    TCalcSnapshot snap = Default();
    TRunControl control;
    control.Threads = static_cast<int>(state.range(0));
    int step = 0;
    for (auto _ : state) {
        const double a = 0.1 * ++step;
        snap.Stations.U[4] = 82 + 300 * std::cos(a);
        snap.Stations.V[4] = 336 + 300 * std::sin(a);
        auto result = RunComputation(snap, control);
        benchmark::DoNotOptimize(result->ResultMatrix.data());
    }
}

} // namespace

BENCHMARK(BM_DragStep)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GainMap)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OrderStats)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Outage100On401)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
