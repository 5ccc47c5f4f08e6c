// Loading a long noise spectrum file, and the column and band level the page
// computes from it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "noise/NoiseLevel.h"
#include "noise/NoiseSpectrum.h"

namespace {

namespace fs = std::filesystem;
using namespace valdrin::noise;

// A file of rows spectra of three columns, written once per size.
std::string SpectrumFile(int rows)
{
    const fs::path path
        = fs::temp_directory_path() / ("valdrin-bench-noise-" + std::to_string(rows) + ".dat");
    if (!fs::exists(path)) {
        std::ofstream out(path);
        out << "f\tZ\tN\tE\n";
        char line[128];
        for (int r = 0; r < rows; ++r) {
            const double f = 0.01 * std::pow(10.0, 4.0 * r / rows);
            const double p = 1e-15 / (1 + f);
            std::snprintf(line, sizeof line, "%.6e\t%.6e\t%.6e\t%.6e\n", f, p, 1.3 * p, 0.9 * p);
            out << line;
        }
    }
    return path.string();
}

void BM_LoadNoiseFile(benchmark::State &state)
{
    const int rows = static_cast<int>(state.range(0));
    const std::string path = SpectrumFile(rows);
    for (auto _ : state) {
        const auto load = LoadNoiseFile(path);
        if (load.Status != TNoiseLoadStatus::Complete
            || load.Spectrum.Freq.size() != std::size_t(rows))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(load.Spectrum.Data.data());
    }
    state.SetItemsProcessed(state.iterations() * rows);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(path)));
}
BENCHMARK(BM_LoadNoiseFile)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ColumnAndBandLevel(benchmark::State &state)
{
    const int rows = static_cast<int>(state.range(0));
    const auto load = LoadNoiseFile(SpectrumFile(rows));
    for (auto _ : state) {
        const auto points = SpectrumColumnPoints(load.Spectrum, 1, true);
        benchmark::DoNotOptimize(NoiseBandLevel(points, 1, 10));
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_ColumnAndBandLevel)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
