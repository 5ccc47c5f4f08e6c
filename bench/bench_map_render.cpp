// The report page of a 401 x 401 result with contours and 100 stations,
// rendered and written as PNG.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>

#include <cmath>
#include <string>

#include "map/Grids.h"
#include "map/qt/MapRender.h"

using namespace valdrin;

namespace {

struct TPage {
    calc::TResult Result;
    map::TMapScene Scene;
};

TPage MakePage()
{
    TPage p;
    map::TRanges ranges;
    ranges.X = { -2000, 2000, 10, 0 }; // 401 nodes
    ranges.Y = { -2000, 2000, 10, 0 };
    const calc::TPlaneGrid grid = map::UpdatePlaneGrid(ranges, calc::TViewPlane::vpXY);
    p.Result.ResultMode = calc::TShowMode::smMinMagnitude;
    p.Result.Saveable = true;
    p.Result.PlaneGrid = grid;
    p.Result.ResultMatrix.assign(
        static_cast<std::size_t>(grid.NU), std::vector<double>(static_cast<std::size_t>(grid.NV)));
    for (int i = 0; i < grid.NU; ++i)
        for (int j = 0; j < grid.NV; ++j)
            p.Result.ResultMatrix[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]
                = std::sin(i * 0.03) * std::cos(j * 0.02) + 0.001 * i;
    auto &s = p.Scene;
    s.Selected = p.Result.ResultMode;
    s.Result = &p.Result;
    s.SaveEnabled = true;
    s.PlaneGrid = grid;
    s.CooGrid = common::TCellTable(101, calc::kCooGridCols);
    for (std::size_t k = 0; k < 100; ++k) {
        // A spiral: dense in the middle, where labels need leaders.
        const double r = 20 + 18.0 * static_cast<double>(k), a = static_cast<double>(k) * 0.7;
        s.Stations.U.push_back(std::fmod(r * std::cos(a), 2000));
        s.Stations.V.push_back(std::fmod(r * std::sin(a), 2000));
        s.CooGrid.Rows[k + 1][0] = std::to_string(k);
        s.CooGrid.Rows[k + 1][4] = "ST" + std::to_string(k);
    }
    s.Stations.Count = 100;
    return p;
}

void BM_MapPagePng(benchmark::State &state)
{
    const TPage page = MakePage();
    map::TRenderOptions o;
    o.Size = QSize(1200, 900);
    const QString file = QDir::temp().filePath(QStringLiteral("bench_map_render.png"));
    for (auto _ : state)
        map::SaveMapPng(file, page.Scene, o);
    QFile::remove(file);
}
BENCHMARK(BM_MapPagePng)->Unit(benchmark::kMillisecond);

// The window's redraw: the default 81 x 81 grid with 25 stations on a
// large window's map panel; the argument switches the contours on.
void BM_WindowMap(benchmark::State &state)
{
    TPage page = MakePage();
    map::TRanges ranges; // the window's default grid, 50 m steps
    page.Result.PlaneGrid = map::UpdatePlaneGrid(ranges, calc::TViewPlane::vpXY);
    page.Scene.PlaneGrid = page.Result.PlaneGrid;
    auto &m = page.Result.ResultMatrix;
    m.assign(81, std::vector<double>(81));
    for (std::size_t i = 0; i < 81; ++i)
        for (std::size_t j = 0; j < 81; ++j)
            m[i][j] = std::hypot(static_cast<double>(i) - 40, static_cast<double>(j) - 40) * 0.02
                - 2
                + 0.1 * std::sin(0.2 * static_cast<double>(i))
                    * std::cos(0.15 * static_cast<double>(j));
    page.Scene.Stations.Count = 25;
    map::TRenderOptions o;
    o.Size = QSize(930, 850);
    o.Contours = state.range(0) ? map::TContourLevels { true, {} } : map::TContourLevels {};
    for (auto _ : state)
        benchmark::DoNotOptimize(map::RenderMapImage(page.Scene, o));
}
BENCHMARK(BM_WindowMap)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
