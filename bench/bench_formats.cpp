// Reading a 10 MB StationXML (100 stations, each with the channels and
// response stages a full fdsnws-station answer carries) and writing a
// 2001 x 2001 node grid as netCDF.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <unistd.h>

#include "formats/Grids.h"
#include "formats/Stations.h"

namespace {

namespace fs = std::filesystem;
using namespace valdrin::formats;
using namespace valdrin::calc;

std::string StationXml(std::size_t targetBytes)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<FDSNStationXML xmlns=\"http://www.fdsn.org/xml/station/1\" "
                    "schemaVersion=\"1.1\">\n<Source>bench</Source>\n";
    const std::size_t perStation = targetBytes / 100;
    for (int n = 0; n < 2; ++n) {
        x += "<Network code=\"N" + std::to_string(n) + "\">\n";
        for (int s = 0; s < 50; ++s) {
            const std::size_t start = x.size();
            x += "<Station code=\"S" + std::to_string(s) + "\"><Latitude>"
                + std::to_string(40 + s * 0.01) + "</Latitude><Longitude>"
                + std::to_string(70 + n + s * 0.01) + "</Longitude><Elevation>"
                + std::to_string(300 + s) + "</Elevation><Site><Name>Пункт " + std::to_string(s)
                + "</Name></Site>\n";
            for (int c = 0; x.size() - start < perStation; ++c) {
                x += "<Channel code=\"HH" + std::to_string(c % 3) + "\" locationCode=\""
                    + std::to_string(c / 3)
                    + "\"><Latitude>40</Latitude><Longitude>70</Longitude>"
                      "<Elevation>300</Elevation><Depth>0</Depth><Response>";
                for (int p = 0; p < 20; ++p)
                    x += "<Stage number=\"" + std::to_string(p)
                        + "\"><PolesZeros><Pole number=\"0\"><Real>-0.037</Real>"
                          "<Imaginary>0.037</Imaginary></Pole></PolesZeros></Stage>";
                x += "</Response></Channel>\n";
            }
            x += "</Station>\n";
        }
        x += "</Network>\n";
    }
    return x + "</FDSNStationXML>\n";
}

void BM_ReadStationXml10MB(benchmark::State &state)
{
    const std::string xml = StationXml(10u << 20);
    for (auto _ : state) {
        const TStationTable t = ParseStationXml(xml, "bench.xml");
        benchmark::DoNotOptimize(t.Rows.data());
    }
    state.SetBytesProcessed(
        static_cast<long long>(state.iterations()) * static_cast<long long>(xml.size()));
}
BENCHMARK(BM_ReadStationXml10MB)->Unit(benchmark::kMillisecond);

void BM_WriteNetCdf2001(benchmark::State &state)
{
    constexpr int n = 2001;
    TResult r;
    r.ResultMode = TShowMode::smMinMagnitude;
    r.PlaneGrid = { -10000, 10000, 10, -10000, 10000, 10, 0, n, n };
    r.ResultMatrix.assign(n, std::vector<double>(n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            r.ResultMatrix[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]
                = std::hypot(i - 1000, j - 1000) > 900
                ? std::numeric_limits<double>::infinity()
                : 0.5 + std::log10(1 + std::hypot(i - 1000.0, j - 1000.0));
    r.Saveable = true;
    TRunInfo run;
    run.k = 3;
    const std::string path
        = (fs::temp_directory_path() / ("valdrin-bench-" + std::to_string(::getpid()) + ".nc"))
              .string();
    for (auto _ : state)
        WriteNetCdf(path, r, run);
    state.counters["MB"] = static_cast<double>(fs::file_size(path)) / 1e6;
    fs::remove(path);
}
BENCHMARK(BM_WriteNetCdf2001)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
