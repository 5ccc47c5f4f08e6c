#include "formats/ResultFormats.h"

#include "common/Error.h"
#include "formats/Grids.h"
#include "formats/TextInput.h"

namespace valdrin::formats {

std::optional<TResultFormat> ParseResultFormat(std::string_view name)
{
    const std::string n = LowerUtf8(name);
    if (n == "tsv")
        return TResultFormat::Tsv;
    if (n == "xyz")
        return TResultFormat::Xyz;
    if (n == "esri")
        return TResultFormat::Esri;
    if (n == "netcdf")
        return TResultFormat::NetCdf;
    return std::nullopt;
}

void WriteResultGrid(TResultFormat format, const std::optional<std::string> &path,
    std::ostream &out, const calc::TResult &result, const calc::TCalcSnapshot &snapshot,
    const params::TWorkingSet &ws, char decimalSep, double notRegistered)
{
    const double vp = ws.VpSpinEdit;
    std::function<void(std::ostream &)> writer;
    switch (format) {
    case TResultFormat::Xyz:
        writer = [&](std::ostream &o) { WriteXyz(o, result, vp, notRegistered); };
        break;
    case TResultFormat::Esri:
        writer = [&](std::ostream &o) { WriteEsriAscii(o, result, vp, -9999, notRegistered); };
        break;
    case TResultFormat::NetCdf: {
        if (!path)
            throw common::TValdrinError("Для формата netCDF нужен файл (--output)");
        TRunInfo run;
        run.Vp = vp;
        run.C1 = ws.C1SpinEdit;
        run.C2 = ws.C2SpinEdit;
        run.k = snapshot.Params.k;
        run.Medium = snapshot.Params.Medium;
        run.Stations = StationsFromTables(ws.CooGrid, ws.StrGrid, decimalSep, ws.GeoCheckBox);
        WriteNetCdf(*path, result, run);
        return;
    }
    case TResultFormat::Tsv:
        throw common::TValdrinError("Файл результатов пишется самой командой");
    }
    if (path) {
        WriteFileSafely(*path, writer);
    } else {
        writer(out);
        out.flush();
        if (!out)
            throw common::TValdrinError("Ошибка записи результата в стандартный вывод");
    }
}

} // namespace valdrin::formats
