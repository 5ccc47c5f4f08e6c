// The computation behind "Считать": checks of the snapshot, then the array
// response (modes 1, 2) or the node scan (modes 3..6). Brune's (1970) source
// radius and corner frequency of a magnitude.
#include "calc/Computation.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "calc/ArrayResponse.h"
#include "calc/Detection.h"
#include "common/Error.h"
#include "medium/Threshold.h"

namespace valdrin::calc {

using enum TShowMode;
using common::TValdrinError;

namespace {

constexpr double kMaxPlaneNodes = double(kMaxMatrixSide) * kMaxMatrixSide;

std::string StationRowError(long long row)
{
    return "Ошибка в параметрах станции №" + std::to_string(row);
}

bool AllFinite(std::initializer_list<double> values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

bool IsNodeMode(TShowMode mode)
{
    return mode == smMinMagnitude || mode == smLocError || mode == smCornerFreq
        || mode == smSourceSize;
}

bool UsesMagnitude(TShowMode mode)
{
    return mode == smMinMagnitude || mode == smCornerFreq || mode == smSourceSize;
}

// Count must equal N, and every array must hold N entries.
void CheckStationSet(const TStationSet &set, int N)
{
    if (set.Count < N)
        throw TValdrinError(StationRowMessage(set));
    if (set.Count != N)
        throw TValdrinError(StationRowError(static_cast<long long>(set.Count) + 1));
    const std::size_t need = N > 0 ? static_cast<std::size_t>(N) : 0;
    std::size_t shortest = need;
    for (const TDoubleDynArray *a :
        { &set.U, &set.V, &set.W, &set.A0, &set.A1, &set.A2, &set.A3, &set.An, &set.SNR })
        shortest = std::min(shortest, a->size());
    if (shortest < need)
        throw TValdrinError(StationRowError(static_cast<long long>(shortest) + 1));
}

void CheckPlaneGrid(const TPlaneGrid &g)
{
    if (!AllFinite({ g.UMin, g.UMax, g.UStep, g.VMin, g.VMax, g.VStep, g.WPlane }))
        throw TValdrinError("Недопустимое значение в диапазонах сетки");
    if (!(g.UStep > 0) || !(g.VStep > 0))
        throw TValdrinError("Шаг сетки должен быть больше нуля");
    if (g.UMin > g.UMax || g.VMin > g.VMax)
        throw TValdrinError("Минимум диапазона сетки больше максимума");
    if (g.NU < 1 || g.NV < 1 || double(g.NU) * g.NV > kMaxPlaneNodes)
        throw TValdrinError("Слишком много узлов сетки (допустимо не более "
            + std::to_string(kMaxMatrixSide) + " × " + std::to_string(kMaxMatrixSide)
            + "): увеличьте шаг или сузьте диапазон");
}

void CheckLayeredModel(const medium::THorizontalModel &model)
{
    if (model.empty())
        throw TValdrinError("Ошибка в модели среды: нет ни одного слоя");
    for (std::size_t i = 0; i < model.size(); ++i) {
        const medium::THorizontalLayer &l = model[i];
        const std::string layer = "слоя №" + std::to_string(i + 1);
        auto positive = [](double x) { return x > 0 && std::isfinite(x); };
        if (!positive(l.Velocity[0]) || !positive(l.Velocity[1]) || !positive(l.Velocity[2]))
            throw TValdrinError(
                "Ошибка в модели среды: скорости " + layer + " должны быть больше нуля");
        if (!positive(l.Q))
            throw TValdrinError(
                "Ошибка в модели среды: добротность " + layer + " должна быть больше нуля");
        if (!positive(l.Rho))
            throw TValdrinError(
                "Ошибка в модели среды: плотность " + layer + " должна быть больше нуля");
        // The last layer reaches down without limit; its thickness is not used.
        if (i + 1 < model.size() && !positive(l.H))
            throw TValdrinError(
                "Ошибка в модели среды: толщина " + layer + " должна быть больше нуля");
        if (!std::isfinite(l.SpreadExp))
            throw TValdrinError(
                "Ошибка в модели среды: показатель расхождения " + layer + " не задан");
    }
    if (!std::isfinite(model[0].Top))
        throw TValdrinError("Ошибка в модели среды: не задана отметка поверхности");
}

void CheckNodeScan(const TCalcSnapshot &snapshot)
{
    const TCalcParams &p = snapshot.Params;
    const TStationSet &set = snapshot.Stations;
    if (p.k < 1 || p.k > p.N)
        throw TValdrinError("Минимальное количество станций, достаточное для регистрации события, "
                            "должно быть от 1 до "
            + std::to_string(p.N) + " (задано " + std::to_string(p.k) + ")");
    CheckPlaneGrid(snapshot.PlaneGrid);
    if (!std::isfinite(p.SurfaceAlt))
        throw TValdrinError("Недопустимая отметка поверхности");
    if (!UsesMagnitude(p.Mode))
        return;
    for (int s = 0; s < p.N; ++s) {
        const double noise
            = set.An[static_cast<std::size_t>(s)] * set.SNR[static_cast<std::size_t>(s)];
        if (!(noise > 0) || !std::isfinite(noise))
            throw TValdrinError(
                StationRowError(s + 1) + ": уровень шумов An·SNR должен быть больше нуля");
    }
    const bool layered = p.Medium == TMediumKind::Layered;
    if (p.Mode == smCornerFreq || p.Mode == smSourceSize || layered) {
        // The corner frequency is proportional to Vs: at 0 every node would show 0.
        if (!(p.Vs > 0) || !std::isfinite(p.Vs))
            throw TValdrinError("Скорость поперечных волн Vs должна быть больше нуля");
        const TPlaneGrid &g = snapshot.PlaneGrid;
        if (p.Plane == TViewPlane::vpYZ || p.Plane == TViewPlane::vpXZ) {
            // In a section each node has its own depth; the highest row is the shallowest.
            const double top = (g.NV - 1) * g.VStep + g.VMin;
            if (!(medium::SourceTerms(0, p.Vs, p.SurfaceAlt - top).StressDrop > 0))
                throw TValdrinError("Узлы сетки выше поверхности более чем на 8500 м: "
                                    "напряжение в очаге не положительно, модель очага неприменима");
        } else if (!(medium::SourceTerms(0, p.Vs, p.SurfaceAlt - g.WPlane).StressDrop > 0)) {
            throw TValdrinError("Плоскость источников выше поверхности более чем на 8500 м: "
                                "напряжение в очаге не положительно, модель очага неприменима");
        }
    }
    if (layered)
        CheckLayeredModel(snapshot.Model);
}

} // namespace

void CheckNodeSnapshot(const TCalcSnapshot &snapshot)
{
    CheckStationSet(snapshot.Stations, snapshot.Params.N);
    if (!IsNodeMode(snapshot.Params.Mode))
        throw TValdrinError("Расчет возможен только для режимов 3..6");
    CheckNodeScan(snapshot);
}

std::optional<TResult> RunComputation(
    const TCalcSnapshot &snapshot, const TRunControl &control, TRowRange rows)
{
    const TCalcParams &p = snapshot.Params;
    CheckStationSet(snapshot.Stations, p.N);

    TResult result;
    result.ResultMode = p.Mode;
    result.Plane = p.Plane;
    result.Degrees = p.Degrees;
    result.PlaneGrid = snapshot.PlaneGrid;
    result.WaveGrid = snapshot.WaveGrid;

    const bool allRows = rows.First == 0 && rows.Last == -1;
    if (p.Mode == smCdK || p.Mode == smCdF) {
        if (!allRows)
            throw TValdrinError("Расчет части строк возможен только для режимов 3..6");
        auto response
            = ArrayResponse(snapshot.Stations, p.N, snapshot.WaveGrid, p.Degrees, control);
        if (!response)
            return std::nullopt;
        result.ResultMatrix = std::move(response->Matrix);
        result.ResultMin = response->Min;
        result.Saveable = true;
        return result;
    }
    if (!IsNodeMode(p.Mode))
        return result; // mode 0 or unknown: nothing computed, nothing to save

    CheckNodeScan(snapshot);
    const int NU = snapshot.PlaneGrid.NU;
    if (rows.Last == -1)
        rows.Last = NU - 1;
    if (rows.First < 0 || rows.First > rows.Last || rows.Last >= NU)
        throw TValdrinError("Строки " + std::to_string(rows.First) + ".."
            + std::to_string(rows.Last) + " вне сетки: строк по первой оси " + std::to_string(NU)
            + " (0.." + std::to_string(NU - 1) + ")");
    auto matrix = ScanNodes(snapshot, control, rows.First, rows.Last);
    if (!matrix)
        return std::nullopt;
    result.ResultMatrix = std::move(*matrix);
    result.Saveable = p.Medium == TMediumKind::Homogeneous || p.Medium == TMediumKind::Layered;
    return result;
}

} // namespace valdrin::calc
