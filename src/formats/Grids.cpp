// Grids in text: xyz and ESRI ASCII. Numbers go out with "%.9g", which
// reads back to the same float and within 1e-9 relative of the double.
#include "formats/Grids.h"

#include <algorithm>
#include <cmath>

#include "common/Error.h"
#include "formats/TextInput.h"

namespace valdrin::formats {

using common::TValdrinError;
using enum calc::TShowMode;
using enum calc::TViewPlane;

namespace {

constexpr double kStepTolerance = 1e-9; // relative; steps typed as equal come out equal to rounding

struct TAxisNames {
    char First, Second;
};

TAxisNames Letters(calc::TViewPlane plane)
{
    switch (plane) {
    case vpYZ:
        return { 'y', 'z' };
    case vpXZ:
        return { 'x', 'z' };
    case vpXY:
    default:
        return { 'x', 'y' };
    }
}

TGridAxis SpaceAxis(char letter, bool degrees)
{
    if (degrees && letter == 'x')
        return { "lon", "longitude", "degrees_east", {} };
    if (degrees && letter == 'y')
        return { "lat", "latitude", "degrees_north", {} };
    const std::string name(1, letter);
    return { name, letter == 'z' ? "elevation" : name + " coordinate", "m", {} };
}

void SetQuantity(TGridExport &g, std::string quantity, std::string longName, std::string units)
{
    g.Quantity = std::move(quantity);
    g.LongName = std::move(longName);
    g.Units = std::move(units);
}

void Finish(std::ostream &out)
{
    out.flush();
    if (!out)
        throw TValdrinError("Ошибка записи файла результатов");
}

} // namespace

TGridExport GridFromResult(const calc::TResult &r, double Vp)
{
    const auto [a1, a2] = Letters(r.Plane);
    TGridExport g;
    long long nu = 0, nv = 0;
    double u0 = 0, du = 0, v0 = 0, dv = 0;
    switch (r.ResultMode) {
    case smCdK:
    case smCdF: {
        const bool f = r.ResultMode == smCdF;
        const double scale = f ? Vp : 1.0;
        const std::string p = f ? "f" : "k";
        const std::string what = f ? "frequency offset along " : "wavenumber offset along ";
        g.U = { p + a1, what + a1, f ? "Hz" : "m-1", {} };
        g.V = { p + a2, what + a2, f ? "Hz" : "m-1", {} };
        nu = nv = 2LL * r.WaveGrid.KCount + 1;
        u0 = v0 = -r.WaveGrid.KCount * r.WaveGrid.DK * scale;
        du = dv = r.WaveGrid.DK * scale;
        SetQuantity(g, "response", "array response modulus |C|", "1");
        break;
    }
    case smMinMagnitude:
    case smLocError:
    case smCornerFreq:
    case smSourceSize:
        g.NodeMode = true;
        g.U = SpaceAxis(a1, r.Degrees);
        g.V = SpaceAxis(a2, r.Degrees);
        nu = r.PlaneGrid.NU;
        nv = r.PlaneGrid.NV;
        u0 = r.PlaneGrid.UMin;
        du = r.PlaneGrid.UStep;
        v0 = r.PlaneGrid.VMin;
        dv = r.PlaneGrid.VStep;
        if (r.ResultMode == smMinMagnitude)
            SetQuantity(g, "magnitude", "smallest magnitude that k stations register", "1");
        else if (r.ResultMode == smLocError)
            SetQuantity(g, "location_error", "location error", "m");
        else if (r.ResultMode == smCornerFreq)
            SetQuantity(g, "corner_frequency", "corner frequency", "Hz");
        else
            SetQuantity(g, "source_radius", "source radius", "m");
        break;
    default:
        throw TValdrinError("Нет рассчитанного результата для записи");
    }
    const std::size_t rows
        = nu <= 0 ? 0 : std::min(r.ResultMatrix.size(), static_cast<std::size_t>(nu));
    std::size_t cols = nv <= 0 ? 0 : static_cast<std::size_t>(nv);
    for (std::size_t i = 0; i < rows; ++i)
        cols = std::min(cols, r.ResultMatrix[i].size());
    if (rows == 0 || cols == 0)
        throw TValdrinError("Нет рассчитанного результата для записи");
    g.U.Step = du;
    g.V.Step = dv;
    for (std::size_t i = 0; i < rows; ++i)
        g.U.Values.push_back(static_cast<double>(i) * du + u0);
    for (std::size_t j = 0; j < cols; ++j)
        g.V.Values.push_back(static_cast<double>(j) * dv + v0);
    g.Values.reserve(rows);
    for (std::size_t i = 0; i < rows; ++i)
        g.Values.emplace_back(r.ResultMatrix[i].begin(),
            r.ResultMatrix[i].begin() + static_cast<std::ptrdiff_t>(cols));
    return g;
}

void WriteXyz(std::ostream &out, const calc::TResult &result, double Vp, double notRegistered)
{
    const TGridExport g = GridFromResult(result, Vp);
    std::string buf;
    buf += "# " + g.U.Name + " " + g.V.Name + " " + g.Quantity + "\n";
    buf += "# no value: NaN; not registered: " + FormatG9(notRegistered) + "\n";
    for (std::size_t i = 0; i < g.Values.size(); ++i) {
        const std::string u = FormatG9(g.U.Values[i]) + ' ';
        for (std::size_t j = 0; j < g.Values[i].size(); ++j) {
            double v = g.Values[i][j];
            if (g.NodeMode && v == INFINITY)
                v = notRegistered;
            buf += u;
            buf += FormatG9(g.V.Values[j]);
            buf += ' ';
            buf += std::isfinite(v) ? FormatG9(v) : "NaN";
            buf += '\n';
            if (buf.size() >= (1u << 16)) {
                out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
                buf.clear();
            }
        }
    }
    out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
    Finish(out);
}

void WriteEsriAscii(
    std::ostream &out, const calc::TResult &result, double Vp, double noData, double notRegistered)
{
    const TGridExport g = GridFromResult(result, Vp);
    const std::size_t nu = g.U.Values.size(), nv = g.V.Values.size();
    const double du = g.U.Step, dv = g.V.Step, cell = du;
    if (!(du > 0) || !(dv > 0) || std::abs(du - dv) > kStepTolerance * std::max(du, dv))
        throw TValdrinError("Формат ESRI ASCII требует одинакового шага по обеим осям");
    if (!std::isfinite(noData))
        throw TValdrinError("Значение NODATA должно быть числом");
    std::string buf;
    buf += "ncols " + std::to_string(nu) + "\n";
    buf += "nrows " + std::to_string(nv) + "\n";
    buf += "xllcorner " + FormatG9(g.U.Values[0] - cell / 2) + "\n";
    buf += "yllcorner " + FormatG9(g.V.Values[0] - cell / 2) + "\n";
    buf += "cellsize " + FormatG9(cell) + "\n";
    buf += "NODATA_value " + FormatG9(noData) + "\n";
    const double unregistered = std::isnan(notRegistered) ? noData : notRegistered;
    for (std::size_t jj = nv; jj-- > 0;) { // the top row first
        for (std::size_t i = 0; i < nu; ++i) {
            const double v = g.Values[i][jj];
            if (i > 0)
                buf += ' ';
            buf += std::isfinite(v)             ? FormatG9(v)
                : (g.NodeMode && v == INFINITY) ? FormatG9(unregistered)
                                                : FormatG9(noData);
        }
        buf += '\n';
        if (buf.size() >= (1u << 16)) {
            out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
            buf.clear();
        }
    }
    out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
    Finish(out);
}

} // namespace valdrin::formats
