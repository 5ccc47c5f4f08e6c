// Array response on the default 25 stations and the default wavenumber grid
// (KCount 250: 501 x 501): the straightforward form, one sine and cosine per
// element and station on one thread, against the separable fast form.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "calc/ArrayResponse.h"
#include "calc/NetworkModel.h"

using namespace valdrin::calc;

namespace {

const TStationSet &Stations()
{
    static const TStationSet s
        = ReadStations(DefaultCooGrid(), DefaultStrGrid(), TViewPlane::vpXY, '.');
    return s;
}

const TWaveGrid kGrid { 0.005, 0.00002, 250 };

void BM_ResponseStraightforward(benchmark::State &state)
{
    for (auto _ : state) {
        auto r = ArrayResponseReference(Stations(), 25, kGrid, false);
        benchmark::DoNotOptimize(r.Matrix.data());
    }
    state.SetItemsProcessed(state.iterations() * 501 * 501);
}

void BM_ResponseFast(benchmark::State &state)
{
    TRunControl rc;
    rc.Threads = static_cast<int>(state.range(0));
    double worst = 0;
    const auto ref = ArrayResponseReference(Stations(), 25, kGrid, false);
    for (auto _ : state) {
        auto r = ArrayResponse(Stations(), 25, kGrid, false, rc);
        benchmark::DoNotOptimize(r->Matrix.data());
        state.PauseTiming();
        for (std::size_t p = 0; p < ref.Matrix.size(); ++p)
            for (std::size_t q = 0; q < ref.Matrix[p].size(); ++q)
                worst = std::max(worst, std::fabs(r->Matrix[p][q] - ref.Matrix[p][q]));
        state.ResumeTiming();
    }
    state.counters["max_abs_diff"] = worst;
    if (worst > 1e-12)
        state.SkipWithError("fast form differs from the straightforward form by more than 1e-12");
    state.SetItemsProcessed(state.iterations() * 501 * 501);
}

} // namespace

BENCHMARK(BM_ResponseStraightforward)->Unit(benchmark::kMillisecond);
// 1 thread, and every core (0).
BENCHMARK(BM_ResponseFast)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
