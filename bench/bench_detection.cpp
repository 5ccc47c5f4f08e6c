// Minimum-magnitude scan of the default network, plane XY, 81 x 81 nodes:
// the engine on every core against the straightforward scan on one thread
// (a full ray search for every trial magnitude), in a three-layer medium
// with the source plane in the third layer; and the homogeneous case.
#include <benchmark/benchmark.h>

#include <optional>

#include "BenchSnapshots.h"
#include "DetectionOracle.h"
#include "calc/Computation.h"
#include "medium/Threshold.h"

using namespace valdrin::calc;
namespace medium = valdrin::medium;

namespace {

TCalcSnapshot DefaultSnapshot(TMediumKind medium, double z0)
{
    TCalcSnapshot s = testing::DefaultNetworkSnapshot();
    s.PlaneGrid = { -2000, 2000, 50, -2000, 2000, 50, z0, 81, 81 };
    if (medium == TMediumKind::Layered)
        testing::SetThreeLayers(s);
    return s;
}

std::optional<TMatrix2D> g_layeredBaseline; // kept for the identity check of the engine

void BM_LayeredStraightforwardOneThread(benchmark::State &state)
{
    const TCalcSnapshot s = DefaultSnapshot(TMediumKind::Layered, -300);
    for (auto _ : state) {
        g_layeredBaseline = oracle::OracleScan(s);
        benchmark::DoNotOptimize(g_layeredBaseline);
    }
}

void BM_LayeredEngine(benchmark::State &state)
{
    const TCalcSnapshot s = DefaultSnapshot(TMediumKind::Layered, -300);
    TRunControl rc;
    rc.Threads = static_cast<int>(state.range(0));
    std::optional<TResult> r;
    for (auto _ : state) {
        r = RunComputation(s, rc);
        benchmark::DoNotOptimize(r);
    }
    if (!g_layeredBaseline)
        g_layeredBaseline = oracle::OracleScan(s);
    state.counters["identical"] = r && testing::IdenticalBits(r->ResultMatrix, *g_layeredBaseline);
}

void BM_HomogeneousEngine(benchmark::State &state)
{
    const TCalcSnapshot s = DefaultSnapshot(TMediumKind::Homogeneous, 400);
    TRunControl rc;
    rc.Threads = static_cast<int>(state.range(0));
    std::optional<TResult> r;
    for (auto _ : state) {
        r = RunComputation(s, rc);
        benchmark::DoNotOptimize(r);
    }
    state.counters["identical"]
        = r && testing::IdenticalBits(r->ResultMatrix, oracle::OracleScan(s));
}

} // namespace

BENCHMARK(BM_LayeredStraightforwardOneThread)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_LayeredEngine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HomogeneousEngine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
