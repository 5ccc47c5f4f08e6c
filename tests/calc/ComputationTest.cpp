#include "calc/Computation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "CalcFixtures.h"
#include "LayerFixtures.h"
#include "common/Error.h"
#include "medium/Threshold.h"

using namespace valdrin::calc;
using valdrin::common::TValdrinError;
using enum TShowMode;
using valdrin::calc::fixtures::Grid;

namespace {

TCalcSnapshot DefaultSnapshot(TShowMode mode)
{
    TCalcSnapshot s;
    s.Params.Mode = mode;
    s.Stations = ReadStations(DefaultCooGrid(), DefaultStrGrid(), TViewPlane::vpXY, '.');
    s.PlaneGrid = Grid(-2000, 2000, 50, -2000, 2000, 50, 400);
    s.WaveGrid = { 0.005, 0.00002, 250 };
    return s;
}

// Stations with the default attenuation row at the given plane points and W.
TCalcSnapshot Network(
    TShowMode mode, const std::vector<std::array<double, 3>> &uvw, TPlaneGrid grid)
{
    TCalcSnapshot s;
    s.Params.Mode = mode;
    s.Params.N = static_cast<int>(uvw.size());
    s.Params.k = 1;
    for (const auto &p : uvw) {
        s.Stations.U.push_back(p[0]);
        s.Stations.V.push_back(p[1]);
        s.Stations.W.push_back(p[2]);
        s.Stations.A0.push_back(1);
        s.Stations.A1.push_back(1.3);
        s.Stations.A2.push_back(0.0001);
        s.Stations.A3.push_back(0.4);
        s.Stations.An.push_back(0.01);
        s.Stations.SNR.push_back(4);
        s.Stations.Name.emplace_back("S");
    }
    s.Stations.Count = s.Params.N;
    s.PlaneGrid = grid;
    return s;
}

std::string RefusalOf(const TCalcSnapshot &s)
{
    try {
        RunComputation(s);
    } catch (const TValdrinError &e) {
        return e.what();
    }
    return {};
}

bool StartsWith(const std::string &s, const std::string &prefix)
{
    return s.rfind(prefix, 0) == 0;
}

} // namespace

TEST(RunComputation, DefaultNetworkMinimumMagnitude)
{
    const TCalcSnapshot s = DefaultSnapshot(smMinMagnitude);
    const auto r = RunComputation(s);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->ResultMode, smMinMagnitude);
    EXPECT_TRUE(r->Saveable);
    EXPECT_EQ(r->PlaneGrid, s.PlaneGrid);
    EXPECT_EQ(r->Plane, TViewPlane::vpXY);
    ASSERT_EQ(r->ResultMatrix.size(), 81u);
    ASSERT_EQ(r->ResultMatrix[0].size(), 81u);
    // Each node holds the third-smallest station value.
    for (int i : { 0, 17, 40, 80 }) {
        for (int j : { 0, 40, 63, 80 }) {
            const double u = i * 50.0 - 2000, v = j * 50.0 - 2000;
            std::vector<double> m;
            for (std::size_t st = 0; st < 25; ++st) {
                const double epi = std::hypot(u - s.Stations.U[st], v - s.Stations.V[st]);
                m.push_back(valdrin::medium::LawMagnitude(
                    1, 1.3, 0.0001, 0.4, epi, 400, s.Stations.W[st], 0.04));
            }
            std::sort(m.begin(), m.end());
            EXPECT_NEAR(r->ResultMatrix[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)],
                m[2], 1e-12);
        }
    }
}

TEST(RunComputation, StationsAtOneAndTenKilometres)
{
    TCalcSnapshot s = Network(smMinMagnitude,
        { { 1000, 0, 400 }, { 0, 10000, 400 }, { -30000, 0, 400 } }, Grid(0, 0, 50, 0, 0, 50, 400));
    const auto nearest = RunComputation(s);
    ASSERT_TRUE(nearest);
    EXPECT_NEAR(nearest->ResultMatrix[0][0], -0.99784, 5e-6);
    s.Params.k = 2;
    EXPECT_NEAR(RunComputation(s)->ResultMatrix[0][0], 0.30306, 5e-6);
    s.Params.k = 3; // k = N: the least favourable station
    EXPECT_NEAR(RunComputation(s)->ResultMatrix[0][0],
        valdrin::medium::LawMagnitude(1, 1.3, 0.0001, 0.4, 30000, 400, 400, 0.04), 1e-12);
}

TEST(RunComputation, LocationError)
{
    TCalcSnapshot s
        = Network(smLocError, { { 500, 0, 0 }, { 0, 1000, 0 }, { -2000, 0, 0 }, { 0, -3000, 0 } },
            Grid(-100, 100, 50, 0, 0, 50, 0));
    s.Params.k = 3;
    s.Params.LocErrorPct = 5;
    const auto r = RunComputation(s);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->ResultMatrix.size(), 5u);
    EXPECT_NEAR(r->ResultMatrix[2][0], 100, 1e-12); // third-nearest 2000 m away
    s.Params.LocErrorPct = 0;
    const auto zero = RunComputation(s);
    ASSERT_TRUE(zero);
    for (const auto &row : zero->ResultMatrix)
        for (double x : row)
            EXPECT_EQ(x, 0);
    // A station on the node has an error of 0: still a value.
    s.Params.LocErrorPct = 5;
    s.Params.k = 1;
    s.Stations.U[0] = 0;
    EXPECT_EQ(RunComputation(s)->ResultMatrix[2][0], 0);
}

TEST(RunComputation, SourceModesTakeBruneOfTheKthMagnitude)
{
    TCalcSnapshot s = DefaultSnapshot(smMinMagnitude);
    s.PlaneGrid = Grid(-1000, 1000, 500, -1000, 1000, 500, 400);
    const auto m = RunComputation(s);
    s.Params.Mode = smCornerFreq;
    const auto fc = RunComputation(s);
    s.Params.Mode = smSourceSize;
    const auto r0 = RunComputation(s);
    ASSERT_TRUE(m && fc && r0);
    EXPECT_EQ(fc->ResultMode, smCornerFreq);
    for (std::size_t i = 0; i < 5; ++i)
        for (std::size_t j = 0; j < 5; ++j) {
            const valdrin::medium::TBruneSource b
                = valdrin::medium::BruneSource(m->ResultMatrix[i][j], 3000, 200 - 400);
            EXPECT_EQ(fc->ResultMatrix[i][j], b.Fc);
            EXPECT_EQ(r0->ResultMatrix[i][j], b.R0);
        }
}

TEST(RunComputation, ModeZeroAndUnknownModesComputeNothing)
{
    for (TShowMode mode : { smStations, static_cast<TShowMode>(9) }) {
        const auto r = RunComputation(DefaultSnapshot(mode));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->ResultMode, mode);
        EXPECT_TRUE(r->ResultMatrix.empty());
        EXPECT_FALSE(r->Saveable);
    }
}

TEST(RunComputation, ResponseModesGoThroughTheArrayResponse)
{
    TCalcSnapshot s = DefaultSnapshot(smCdF);
    s.WaveGrid = { 0.001, 0.0001, 10 };
    const auto r = RunComputation(s);
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->Saveable);
    EXPECT_EQ(r->WaveGrid, s.WaveGrid);
    ASSERT_EQ(r->ResultMatrix.size(), 21u);
    EXPECT_DOUBLE_EQ(r->ResultMatrix[10][10], 1.0);
    EXPECT_LE(r->ResultMin, 1.0);

    TCalcSnapshot one = Network(smCdK, { { 0, 0, 0 } }, s.PlaneGrid);
    one.WaveGrid = s.WaveGrid;
    EXPECT_THROW(RunComputation(one), TValdrinError); // fewer than two stations
}

TEST(RunComputation, IncompleteStationRowIsNamedWithItsCell)
{
    auto coo = DefaultCooGrid();
    coo.SetCell(5, 2, "");
    TCalcSnapshot s = DefaultSnapshot(smMinMagnitude);
    s.Stations = ReadStations(coo, DefaultStrGrid(), TViewPlane::vpXY, '.');
    EXPECT_EQ(RefusalOf(s), "Ошибка в параметрах станции №5 (столбец Y: «»)");
    s.Params.Mode = smStations; // checked before any mode
    EXPECT_EQ(RefusalOf(s), "Ошибка в параметрах станции №5 (столбец Y: «»)");

    // Point texts read under a comma separator; a bad attenuation cell is
    // named by its column.
    auto str = DefaultStrGrid();
    str.SetCell(1, 2, "1.3x");
    s.Stations = ReadStations(DefaultCooGrid(), str, TViewPlane::vpXY, ',');
    EXPECT_EQ(RefusalOf(s), "Ошибка в параметрах станции №1 (столбец a1: «1.3x»)");

    // In degrees a latitude beyond a pole is refused, in every plane.
    coo = DefaultCooGrid();
    for (int r = 1; r <= 25; ++r)
        coo.SetCell(r, 2, "42.8");
    coo.SetCell(3, 2, "90,5");
    for (TViewPlane plane : { TViewPlane::vpXY, TViewPlane::vpYZ, TViewPlane::vpXZ }) {
        s.Stations = ReadStations(coo, DefaultStrGrid(), plane, '.', true);
        EXPECT_EQ(RefusalOf(s),
            "Ошибка в параметрах станции №3 (столбец Y: «90,5», широта вне "
            "пределов от -90 до 90°)");
    }
    s.Stations = ReadStations(coo, DefaultStrGrid(), TViewPlane::vpXY, '.');
    EXPECT_EQ(s.Stations.Count, 25); // in metres it is a plain coordinate

    // Arrays shorter than N are refused the same way, not read past their end.
    s = DefaultSnapshot(smMinMagnitude);
    s.Stations.SNR.resize(10);
    EXPECT_EQ(RefusalOf(s), "Ошибка в параметрах станции №11");
}

TEST(RunComputation, RefusesWhatCannotBeComputed)
{
    TCalcSnapshot s = DefaultSnapshot(smMinMagnitude);
    s.Params.k = 0;
    EXPECT_TRUE(StartsWith(RefusalOf(s), "Минимальное количество станций"));
    s.Params.k = 26;
    EXPECT_TRUE(StartsWith(RefusalOf(s), "Минимальное количество станций"));
    s.Params.k = 25;
    EXPECT_EQ(RefusalOf(s), "");

    for (TPlaneGrid g : { Grid(-2000, 2000, 50, -2000, 2000, 50, 400) }) {
        TPlaneGrid bad = g;
        bad.UStep = 0;
        s.PlaneGrid = bad;
        EXPECT_EQ(RefusalOf(s), "Шаг сетки должен быть больше нуля");
        bad = g;
        bad.VMin = 3000;
        s.PlaneGrid = bad;
        EXPECT_EQ(RefusalOf(s), "Минимум диапазона сетки больше максимума");
        bad = g;
        bad.WPlane = NAN;
        s.PlaneGrid = bad;
        EXPECT_EQ(RefusalOf(s), "Недопустимое значение в диапазонах сетки");
        bad = Grid(0, 5000, 1, 0, 4000, 1, 400); // 5001 x 4001
        s.PlaneGrid = bad;
        EXPECT_TRUE(StartsWith(RefusalOf(s), "Слишком много узлов сетки"));
        bad.NU = 0;
        s.PlaneGrid = bad;
        EXPECT_TRUE(StartsWith(RefusalOf(s), "Слишком много узлов сетки"));
    }
    s = DefaultSnapshot(smMinMagnitude);
    s.Stations.SNR[2] = 0;
    EXPECT_TRUE(StartsWith(RefusalOf(s), "Ошибка в параметрах станции №3:"));
    s.Stations.An[2] = -0.01;
    s.Stations.SNR[2] = 4;
    EXPECT_TRUE(StartsWith(RefusalOf(s), "Ошибка в параметрах станции №3:"));
    s.Params.Mode = smLocError; // the noise takes no part there
    EXPECT_EQ(RefusalOf(s), "");
}

TEST(RunComputation, StressDropAndLayeredModelChecks)
{
    TCalcSnapshot s = DefaultSnapshot(smCornerFreq);
    s.PlaneGrid = Grid(-100, 100, 50, -100, 100, 50, 200 + 8500); // stress drop 0
    EXPECT_TRUE(StartsWith(RefusalOf(s), "Плоскость источников выше поверхности"));
    s.Params.Mode = smSourceSize;
    EXPECT_FALSE(RefusalOf(s).empty());
    s.Params.Mode = smMinMagnitude; // homogeneous: the law needs no source
    EXPECT_EQ(RefusalOf(s), "");
    // The corner frequency is proportional to Vs: 0 would map Fc = 0 everywhere.
    for (double vs : { 0.0, -1.0, std::nan("") }) {
        TCalcSnapshot v = DefaultSnapshot(smCornerFreq);
        v.Params.Vs = vs;
        EXPECT_EQ(RefusalOf(v), "Скорость поперечных волн Vs должна быть больше нуля") << vs;
        v.Params.Mode = smMinMagnitude;
        EXPECT_EQ(RefusalOf(v), "") << vs;
    }
    s.Params.Medium = TMediumKind::Layered;
    s.Model = valdrin::medium::testing::ReadThreeLayers();
    EXPECT_TRUE(StartsWith(RefusalOf(s), "Плоскость источников выше поверхности"));

    s.PlaneGrid = Grid(-100, 100, 100, -100, 100, 100, -300);
    EXPECT_EQ(RefusalOf(s), "");
    struct Bad {
        int layer;
        int field;
    };
    for (Bad b :
        { Bad { 0, 0 }, Bad { 1, 1 }, Bad { 2, 2 }, Bad { 1, 3 }, Bad { 2, 4 }, Bad { 0, 5 } }) {
        TCalcSnapshot t = s;
        auto &l = t.Model[static_cast<std::size_t>(b.layer)];
        double *fields[] = { &l.Velocity[0], &l.Velocity[1], &l.Velocity[2], &l.Q, &l.Rho, &l.H };
        *fields[b.field] = b.field == 3 ? -1 : 0;
        const std::string msg = RefusalOf(t);
        EXPECT_TRUE(StartsWith(msg, "Ошибка в модели среды")) << b.layer << " " << b.field;
        EXPECT_NE(msg.find("№" + std::to_string(b.layer + 1)), std::string::npos) << msg;
    }
    TCalcSnapshot last = s;
    last.Model[2].H = 0; // the last layer reaches down without limit
    EXPECT_EQ(RefusalOf(last), "");
    TCalcSnapshot none = s;
    none.Model.clear();
    EXPECT_TRUE(StartsWith(RefusalOf(none), "Ошибка в модели среды"));
    none.Params.Mode = smLocError; // the model takes no part there
    EXPECT_EQ(RefusalOf(none), "");

    // In a section the nodes' own elevations decide, not the plane's X0.
    TCalcSnapshot yz = DefaultSnapshot(smCornerFreq);
    yz.Params.Plane = TViewPlane::vpYZ;
    yz.Stations = ReadStations(DefaultCooGrid(), DefaultStrGrid(), TViewPlane::vpYZ, '.');
    yz.PlaneGrid = Grid(-100, 100, 100, -500, 300, 400, 200 + 8500);
    EXPECT_EQ(RefusalOf(yz), "");
    yz.PlaneGrid = Grid(-100, 100, 100, 8000, 8800, 400, 0); // the top row 8600 m up
    EXPECT_TRUE(StartsWith(RefusalOf(yz), "Узлы сетки выше поверхности"));
}

TEST(RunComputation, NodesWithoutValueAndNodesNotRegistered)
{
    // Three stations, one exactly on node (0, 0) at the plane's altitude.
    TCalcSnapshot s = Network(smMinMagnitude, { { 0, 0, 400 }, { 300, 0, 400 }, { 0, 700, 400 } },
        Grid(-50, 50, 50, 0, 0, 50, 400));
    s.Params.k = 3;
    auto r = RunComputation(s);
    ASSERT_TRUE(r);
    EXPECT_TRUE(std::isnan(r->ResultMatrix[1][0])); // only two stations have a value
    EXPECT_TRUE(std::isfinite(r->ResultMatrix[0][0]));
    s.Params.k = 2;
    EXPECT_NEAR(RunComputation(s)->ResultMatrix[1][0],
        valdrin::medium::LawMagnitude(1, 1.3, 0.0001, 0.4, 700, 400, 400, 0.04), 1e-12);

    // A layered stack whose spreading swallows every amplitude: not registered.
    TCalcSnapshot l = Network(smMinMagnitude, { { 0, 0, 400 }, { 300, 0, 400 }, { 0, 700, 400 } },
        Grid(-50, 50, 50, 0, 0, 50, -300));
    l.Params.Medium = TMediumKind::Layered;
    l.Model = valdrin::medium::testing::ReadThreeLayers();
    l.Model[2].SpreadExp = 400;
    l.Params.k = 2;
    for (TShowMode mode : { smMinMagnitude, smCornerFreq, smSourceSize }) {
        l.Params.Mode = mode;
        r = RunComputation(l);
        ASSERT_TRUE(r);
        EXPECT_TRUE(r->Saveable);
        for (const auto &row : r->ResultMatrix)
            for (double x : row)
                EXPECT_EQ(x, INFINITY);
    }
}

TEST(RunComputation, ProgressCountsNodesAndCancel)
{
    TCalcSnapshot s = DefaultSnapshot(smMinMagnitude);
    for (int threads : { 1, 2 }) {
        std::vector<int> done;
        TRunControl rc;
        rc.Threads = threads;
        rc.Progress = [&](int d, int total) {
            EXPECT_EQ(total, 81 * 81);
            EXPECT_GT(d, done.empty() ? 0 : done.back());
            done.push_back(d);
        };
        ASSERT_TRUE(RunComputation(s, rc));
        EXPECT_GE(done.size(), 81u); // at least once a row
        EXPECT_EQ(done.back(), 81 * 81);
    }

    std::atomic<bool> cancel { true };
    TRunControl rc;
    rc.Cancel = &cancel;
    EXPECT_FALSE(RunComputation(s, rc));

    cancel = false;
    int reports = 0;
    rc.Threads = 2;
    rc.Progress = [&](int, int) {
        if (++reports == 3)
            cancel = true;
    };
    EXPECT_FALSE(RunComputation(s, rc));
    EXPECT_LT(reports, 81);

    TRunControl throwing;
    throwing.Threads = 2;
    throwing.Progress = [](int, int) { throw std::runtime_error("stop"); };
    EXPECT_THROW(RunComputation(s, throwing), std::runtime_error);
}

namespace {

bool SameBits(const TMatrix2D &a, const TMatrix2D &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].size() != b[i].size()
            || std::memcmp(a[i].data(), b[i].data(), a[i].size() * sizeof(double)) != 0)
            return false;
    return true;
}

// One layered row of 2001 nodes: a profile.
TCalcSnapshot LayeredProfile()
{
    TCalcSnapshot s = Network(smMinMagnitude, { { 0, 0, 400 }, { 300, 0, 400 }, { 0, 700, 400 } },
        Grid(0, 0, 1, -1000, 1000, 1, -300));
    s.Params.Medium = TMediumKind::Layered;
    s.Model = valdrin::medium::testing::ReadThreeLayers();
    return s;
}

} // namespace

TEST(RunComputation, ASingleRowIsSharedAmongThreadsAndStopsWithin)
{
    const TCalcSnapshot s = LayeredProfile();
    ASSERT_EQ(s.PlaneGrid.NU, 1);
    const auto one = RunComputation(s, TRunControl {});
    ASSERT_TRUE(one);

    int started = 0;
    TRunControl two;
    two.Threads = 2;
    two.StartThread = [&](std::function<void()> f) {
        ++started;
        return std::thread(std::move(f));
    };
    const auto shared = RunComputation(s, two);
    ASSERT_TRUE(shared);
    EXPECT_EQ(started, 2);
    EXPECT_TRUE(SameBits(shared->ResultMatrix, one->ResultMatrix));

    // Cancelled at the first report: the row is left unfinished.
    std::atomic<bool> cancel { false };
    std::vector<int> done;
    int total = 0;
    TRunControl rc;
    rc.Threads = 1;
    rc.Cancel = &cancel;
    rc.Progress = [&](int d, int all) {
        done.push_back(d);
        total = all;
        cancel = true;
    };
    EXPECT_FALSE(RunComputation(s, rc));
    ASSERT_EQ(done.size(), 1u);
    EXPECT_LT(done[0], total);
}

TEST(RunComputation, ThreadsThatCannotStartLeaveTheirShareToTheOthers)
{
    TCalcSnapshot profile = LayeredProfile();
    TCalcSnapshot response = DefaultSnapshot(smCdK);
    for (TCalcSnapshot *s : { &profile, &response }) {
        const auto expected = RunComputation(*s);
        ASSERT_TRUE(expected);
        for (int allowed : { 0, 1, 2 }) {
            for (bool throws : { true, false }) {
                SCOPED_TRACE(testing::Message() << "mode " << int(s->Params.Mode) << " allowed "
                                                << allowed << " throws " << throws);
                int starts = 0;
                TRunControl rc;
                rc.Threads = 4;
                rc.StartThread = [&](std::function<void()> f) {
                    if (starts++ < allowed)
                        return std::thread(std::move(f));
                    if (throws)
                        throw std::system_error(
                            std::make_error_code(std::errc::resource_unavailable_try_again));
                    return std::thread();
                };
                const auto r = RunComputation(*s, rc);
                ASSERT_TRUE(r);
                EXPECT_EQ(starts, allowed + 1);
                EXPECT_TRUE(SameBits(r->ResultMatrix, expected->ResultMatrix));
            }
        }
    }
}
