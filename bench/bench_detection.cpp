// Minimum-magnitude scan of the default network, plane XY, 81 x 81 nodes:
// the engine on every core against the straightforward scan on one thread
// (a full ray search for every trial magnitude), in a three-layer medium
// with the source plane in the third layer; and the homogeneous case.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <optional>

#include "DetectionOracle.h"
#include "calc/Computation.h"
#include "medium/Threshold.h"

using namespace valdrin::calc;
namespace medium = valdrin::medium;

namespace {

TCalcSnapshot DefaultSnapshot(TMediumKind medium, double z0)
{
    TCalcSnapshot s;
    s.Params.Mode = TShowMode::smMinMagnitude;
    s.Params.Medium = medium;
    s.Stations = ReadStations(DefaultCooGrid(), DefaultStrGrid(), TViewPlane::vpXY, '.');
    s.PlaneGrid = { -2000, 2000, 50, -2000, 2000, 50, z0, 81, 81 };
    if (medium == TMediumKind::Layered) {
        const double rows[3][6] = { { 100, 1500, 750, 500, 10, 1.8 },
            { 200, 1800, 1040.5, 743.2, 20, 1.98 }, { 400, 2160, 1248.6, 891.9, 40, 2.178 } };
        s.Model.resize(3);
        for (std::size_t i = 0; i < 3; ++i) {
            auto &l = s.Model[i];
            l.H = rows[i][0];
            l.Velocity = { rows[i][1], rows[i][2], rows[i][3] };
            l.Q = rows[i][4];
            l.Rho = rows[i][5];
            l.SpreadExp = 1;
            l.Top = i == 0 ? s.Params.SurfaceAlt : s.Model[i - 1].Bottom;
            l.Bottom = l.Top - l.H;
        }
        s.Model.back().Bottom = -INFINITY;
    }
    return s;
}

bool Identical(const TMatrix2D &a, const TMatrix2D &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].size() != b[i].size())
            return false;
        for (std::size_t j = 0; j < a[i].size(); ++j)
            if (!(std::isnan(a[i][j]) && std::isnan(b[i][j]))
                && std::memcmp(&a[i][j], &b[i][j], sizeof(double)) != 0)
                return false;
    }
    return true;
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
    state.counters["identical"] = r && Identical(r->ResultMatrix, *g_layeredBaseline);
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
    state.counters["identical"] = r && Identical(r->ResultMatrix, oracle::OracleScan(s));
}

} // namespace

BENCHMARK(BM_LayeredStraightforwardOneThread)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_LayeredEngine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HomogeneousEngine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
