// The engine against its earlier code (bench/baseline) on one thread, in the
// same run: node scans of the homogeneous law in metres and in degrees, the
// layered medium (rays through three layers, and direct rays), the results
// file of a response, and the response of 99 stations over 2001^2
// wavenumbers with its results file. Each line gives both times, their
// ratio and whether the outputs are identical bit for bit. Arguments: case
// names to run (default: all but the slowest), or "all".
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BenchSnapshots.h"
#include "baseline/Baseline.h"
#include "calc/ArrayResponse.h"
#include "calc/Computation.h"
#include "calc/ResultsFile.h"
#include "common/SafeFile.h"

using namespace valdrin::calc;

namespace {

TPlaneGrid Grid(double umin, double ustep, double vmin, double vstep, int n, double w)
{
    return { umin, umin + (n - 1) * ustep, ustep, vmin, vmin + (n - 1) * vstep, vstep, w, n, n };
}

// The default network, or N stations spread at random over 4 x 4 km, in
// metres or around 30 E, 60 N.
TCalcSnapshot Network(int N, bool degrees)
{
    TCalcSnapshot s = testing::DefaultNetworkSnapshot();
    s.Params.N = N;
    s.Params.Degrees = degrees;
    TStationSet &st = s.Stations;
    if (N != 25) {
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> d(-2000, 2000);
        for (auto *a : { &st.U, &st.V, &st.W, &st.A0, &st.A1, &st.A2, &st.A3, &st.An, &st.SNR })
            a->resize(static_cast<std::size_t>(N), a->front());
        st.Name.resize(static_cast<std::size_t>(N));
        for (std::size_t i = 0; i < st.U.size(); ++i) {
            st.U[i] = d(rng);
            st.V[i] = d(rng);
            st.W[i] = 400 + d(rng) / 40;
        }
        st.Count = N;
    }
    if (degrees)
        for (std::size_t i = 0; i < st.U.size(); ++i) {
            st.U[i] = 30 + st.U[i] / 55800;
            st.V[i] = 60 + st.V[i] / 111400;
        }
    return s;
}

struct TCase {
    std::string Name;
    bool Slow = false; // left out unless asked for
    std::function<TCalcSnapshot()> Make;
};

std::vector<TCase> Cases()
{
    return {
        { "homogeneous-81x81x25", false,
            [] {
                TCalcSnapshot s = Network(25, false);
                s.PlaneGrid = Grid(-2000, 50, -2000, 50, 81, 400);
                return s;
            } },
        { "homogeneous-401x401x100", false,
            [] {
                TCalcSnapshot s = Network(100, false);
                s.PlaneGrid = Grid(-4000, 20, -4000, 20, 401, 400);
                return s;
            } },
        { "degrees-161x161x12", false,
            [] {
                TCalcSnapshot s = Network(12, true);
                s.PlaneGrid = Grid(29.96, 0.0005, 59.98, 0.00025, 161, 400);
                return s;
            } },
        { "degrees-401x401x100", true,
            [] {
                TCalcSnapshot s = Network(100, true);
                s.PlaneGrid = Grid(29.93, 0.00035, 59.965, 0.000175, 401, 400);
                return s;
            } },
        { "layered-81x81", false,
            [] {
                TCalcSnapshot s = Network(25, false);
                s.PlaneGrid = Grid(-2000, 50, -2000, 50, 81, -300);
                testing::SetThreeLayers(s);
                return s;
            } },
        { "layered-direct-81x81", false,
            [] {
                TCalcSnapshot s = Network(25, false);
                s.PlaneGrid = Grid(-2000, 50, -2000, 50, 81, 150);
                testing::SetThreeLayers(s);
                return s;
            } },
    };
}

template<class F> double Seconds(F &&f, int repeats)
{
    double best = 1e300;
    for (int r = 0; r < repeats; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        const std::chrono::duration<double> dt = std::chrono::steady_clock::now() - t0;
        best = std::min(best, dt.count());
    }
    return best;
}

void Report(const std::string &name, double before, double after, bool identical)
{
    std::printf("%-26s before %10.5f s  after %10.5f s  %6.2fx  %s\n", name.c_str(), before, after,
        before / after, identical ? "identical bit for bit" : "OUTPUT DIFFERS");
    std::fflush(stdout);
}

void RunScan(const TCase &c)
{
    const TCalcSnapshot s = c.Make();
    TRunControl one;
    one.Threads = 1;
    std::optional<TMatrix2D> before, after;
    const int repeats = c.Slow ? 1 : 10;
    const double tb = Seconds([&] { before = baseline::ScanNodes(s, one); }, repeats);
    const double ta = Seconds([&] { after = RunComputation(s, one)->ResultMatrix; }, repeats);
    Report(c.Name, tb, ta, before && after && testing::IdenticalBits(*before, *after));
}

std::string ReadAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// Writes the result to a file with the earlier writer and with the engine's.
void CompareWriters(const std::string &name, const TResult &r)
{
    const std::string a = "bench_speed_before.txt", b = "bench_speed_after.txt";
    auto write = [&](const std::string &path, bool before) {
        std::ofstream out(path, std::ios::binary);
        if (before)
            baseline::WriteResultsFile(out, r, 6000, 1.5, 4.5);
        else
            WriteResultsFile(out, r, 6000, 1.5, 4.5);
    };
    const double tb = Seconds([&] { write(a, true); }, 2);
    const double ta = Seconds([&] { write(b, false); }, 2);
    Report(name, tb, ta, ReadAll(a) == ReadAll(b));
    std::remove(a.c_str());
    std::remove(b.c_str());
}

void RunResultsFile(int kCount)
{
    TCalcSnapshot s = Network(25, false);
    s.Params.Mode = TShowMode::smCdK;
    s.WaveGrid = { 0.005, 0.005 / kCount, kCount };
    TRunControl all;
    CompareWriters(
        "results-file-" + std::to_string(2 * kCount + 1) + "^2", *RunComputation(s, all));
    s.Params.Mode = TShowMode::smMinMagnitude;
    s.PlaneGrid = Grid(-2000, 5, -2000, 5, 801, 400);
    CompareWriters("results-file-nodes-801^2", *RunComputation(s, all));
}

// Throws away what it is given: the writers' formatting timed without the
// file system.
class TDiscardBuf : public std::streambuf {
protected:
    std::streamsize xsputn(const char *, std::streamsize n) override { return n; }
    int_type overflow(int_type ch) override { return traits_type::not_eof(ch); }
};

// The response of 99 stations over 2001 x 2001 wavenumbers on one thread,
// and its results file, against the code before the sums were kept in
// registers and the fields put straight into the write buffer.
void RunResponse()
{
    TCalcSnapshot s = Network(99, false);
    s.Params.Mode = TShowMode::smCdK;
    s.WaveGrid = { 0.005, 0.000005, 1000 };
    TRunControl one;
    one.Threads = 1;
    TResponse before;
    std::optional<TResponse> after;
    const double tb = Seconds(
        [&] { before = baseline::ArrayResponseZeroFilled(s.Stations, 99, s.WaveGrid); }, 2);
    const double ta
        = Seconds([&] { after = ArrayResponse(s.Stations, 99, s.WaveGrid, false, one); }, 2);
    Report("response-2001^2x99", tb, ta,
        after && testing::IdenticalBits(before.Matrix, after->Matrix)
            && std::memcmp(&before.Min, &after->Min, sizeof(double)) == 0);

    TResult r;
    r.ResultMode = TShowMode::smCdK;
    r.WaveGrid = s.WaveGrid;
    r.ResultMatrix = std::move(after->Matrix);
    r.Saveable = true;
    // The text alone, then into files (whose bytes are compared).
    TDiscardBuf discard;
    std::ostream nowhere(&discard);
    const double fb = Seconds([&] { baseline::WriteResponseFileAppending(nowhere, r); }, 2);
    const double fa = Seconds([&] { WriteResultsFile(nowhere, r, 6000, 1.5, 4.5); }, 2);
    const std::string a = "bench_speed_before.txt", b = "bench_speed_after.txt";
    const double wb = Seconds(
        [&] {
            std::ofstream out(a, std::ios::binary);
            baseline::WriteResponseFileAppending(out, r);
        },
        2);
    const double wa = Seconds(
        [&] {
            std::ofstream out(b, std::ios::binary);
            WriteResultsFile(out, r, 6000, 1.5, 4.5);
        },
        2);
    const bool same = ReadAll(a) == ReadAll(b);
    Report("response-text-2001^2x99", fb, fa, same);
    Report("response-file-2001^2x99", wb, wa, same);
    std::remove(a.c_str());
    std::remove(b.c_str());
}

// Resident memory of this process, KiB: the peak since the last reset
// (VmHWM) or now (VmRSS); -1 where /proc does not tell.
long StatusKiB(const std::string &field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stol(line.substr(field.size() + 1));
    return -1;
}

// Peak resident memory reached while save() ran, MiB above what was
// resident before it (the peak is reset through /proc/self/clear_refs).
double SavePeakMiB(const std::function<void()> &save)
{
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = StatusKiB("VmRSS");
    save();
    return static_cast<double>(StatusKiB("VmHWM") - before) / 1024;
}

// The window's save of a 2001 x 2001 response (99 stations): the results
// file streamed into the safe whole-file writer, as the window and
// valdrin-calc write it, against the whole text built in memory first.
void RunSaveMemory()
{
    TCalcSnapshot s = Network(99, false);
    s.Params.Mode = TShowMode::smCdK;
    s.WaveGrid = { 0.005, 0.000005, 1000 };
    const TResult r = *RunComputation(s, {});
    const std::string a = "bench_speed_before.txt", b = "bench_speed_after.txt";
    const double held = SavePeakMiB([&] {
        if (valdrin::common::WriteWholeFile(a, FormatResultsFile(r, 6000, 1.5, 4.5)))
            std::puts("the save failed");
    });
    const double streamed = SavePeakMiB([&] {
        if (valdrin::common::WriteWholeFileWith(
                b, [&](std::ostream &out) { WriteResultsFile(out, r, 6000, 1.5, 4.5); }))
            std::puts("the save failed");
    });
    std::printf("%-26s text held %7.1f MiB  streamed %7.1f MiB  (peak above the %.1f MiB "
                "result; file %.1f MiB)  %s\n",
        "save-memory-2001^2x99", held, streamed, 2001.0 * 2001 * 8 / (1 << 20),
        static_cast<double>(ReadAll(b).size()) / (1 << 20),
        ReadAll(a) == ReadAll(b) ? "identical bit for bit" : "OUTPUT DIFFERS");
    std::remove(a.c_str());
    std::remove(b.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> wanted(argv + 1, argv + argc);
    const bool all = std::find(wanted.begin(), wanted.end(), "all") != wanted.end();
    auto want = [&](const std::string &name, bool slow) {
        if (all)
            return true;
        if (wanted.empty())
            return !slow;
        return std::find(wanted.begin(), wanted.end(), name) != wanted.end();
    };
    for (const TCase &c : Cases())
        if (want(c.Name, c.Slow))
            RunScan(c);
    if (want("results-file", false))
        RunResultsFile(1000);
    if (want("response", false))
        RunResponse();
    if (want("save-memory", false))
        RunSaveMemory();
    return 0;
}
