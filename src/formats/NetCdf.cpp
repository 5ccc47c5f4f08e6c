// netCDF-4 with the CF-1.8 conventions through the netCDF C library. The
// quantity is stored (v, u), u varying fastest, as CF readers (GMT, xarray)
// expect; no value is the _FillValue NaN, and "not registered" nodes are
// NaN too, flagged in a byte variable beside it.
#include <netcdf.h>

#include <cmath>
#include <cstdint>

#include "common/Error.h"
#include "formats/Grids.h"
#include "formats/TextInput.h"

namespace valdrin::formats {

using enum calc::TShowMode;
using enum calc::TViewPlane;

namespace {

// Wraps one open dataset: every call is checked, the file closed on any way out.
class TNcFile {
public:
    TNcFile(const std::string &path, const std::string &shownName)
        : m_name(shownName)
    {
        Check(nc_create(path.c_str(), NC_NETCDF4 | NC_CLOBBER, &m_id));
        m_open = true;
    }
    ~TNcFile()
    {
        if (m_open)
            nc_close(m_id);
    }
    TNcFile(const TNcFile &) = delete;
    TNcFile &operator=(const TNcFile &) = delete;

    int Id() const { return m_id; }
    void Check(int status) const
    {
        if (status != NC_NOERR)
            Fail(m_name, 0, std::string("ошибка записи netCDF: ") + nc_strerror(status));
    }
    void Text(int var, const char *name, const std::string &value) const
    {
        Check(nc_put_att_text(m_id, var, name, value.size(), value.c_str()));
    }
    void Double(int var, const char *name, double value) const
    {
        Check(nc_put_att_double(m_id, var, name, NC_DOUBLE, 1, &value));
    }
    void Int(int var, const char *name, int value) const
    {
        Check(nc_put_att_int(m_id, var, name, NC_INT, 1, &value));
    }
    int Dim(const std::string &name, std::size_t len) const
    {
        int id = 0;
        Check(nc_def_dim(m_id, name.c_str(), len, &id));
        return id;
    }
    int Var(const std::string &name, nc_type type, std::initializer_list<int> dims) const
    {
        int id = 0;
        const std::vector<int> d(dims);
        Check(nc_def_var(m_id, name.c_str(), type, static_cast<int>(d.size()), d.data(), &id));
        return id;
    }
    void Close()
    {
        m_open = false;
        Check(nc_close(m_id));
    }

private:
    std::string m_name;
    int m_id = 0;
    bool m_open = false;
};

const char *ModeName(calc::TShowMode mode)
{
    switch (mode) {
    case smCdK:
        return "response_over_wavenumber";
    case smCdF:
        return "response_over_frequency";
    case smMinMagnitude:
        return "min_magnitude";
    case smLocError:
        return "location_error";
    case smCornerFreq:
        return "corner_frequency";
    case smSourceSize:
        return "source_size";
    default:
        return "stations";
    }
}

const char *PlaneName(calc::TViewPlane plane)
{
    return plane == vpYZ ? "YZ" : plane == vpXZ ? "XZ" : "XY";
}

// The axis the plane holds fixed, and its units.
std::pair<std::string, std::string> FixedAxis(calc::TViewPlane plane, bool degrees)
{
    if (plane == vpYZ)
        return { degrees ? "lon" : "x", degrees ? "degrees_east" : "m" };
    if (plane == vpXZ)
        return { degrees ? "lat" : "y", degrees ? "degrees_north" : "m" };
    return { "z", "m" };
}

void WriteFile(const std::string &temp, const std::string &shown, const calc::TResult &result,
    const TGridExport &g, const TRunInfo &run)
{
    TNcFile f(temp, shown);
    const int id = f.Id();
    const std::size_t nu = g.U.Values.size(), nv = g.V.Values.size();
    const int dimU = f.Dim(g.U.Name, nu), dimV = f.Dim(g.V.Name, nv);
    auto axis = [&](const TGridAxis &a, int dim, const char *cfAxis) {
        const int var = f.Var(a.Name, NC_DOUBLE, { dim });
        f.Text(var, "long_name", a.LongName);
        f.Text(var, "units", a.Units);
        if (a.Units == "degrees_east")
            f.Text(var, "standard_name", "longitude");
        else if (a.Units == "degrees_north")
            f.Text(var, "standard_name", "latitude");
        if (a.Name == "z")
            f.Text(var, "positive", "up");
        f.Text(var, "axis", cfAxis);
        return var;
    };
    const bool verticalSecond = g.V.Name == "z";
    const int varU = axis(g.U, dimU, "X");
    const int varV = axis(g.V, dimV, verticalSecond ? "Z" : "Y");

    const int varQ = f.Var(g.Quantity, NC_DOUBLE, { dimV, dimU });
    const double fill = kNaN;
    f.Check(nc_def_var_fill(id, varQ, 0, &fill));
    f.Check(nc_def_var_deflate(id, varQ, 1, 1, 1));
    f.Text(varQ, "long_name", g.LongName);
    f.Text(varQ, "units", g.Units);

    int varFlag = -1;
    if (g.NodeMode) {
        varFlag = f.Var("not_registered", NC_BYTE, { dimV, dimU });
        f.Check(nc_def_var_deflate(id, varFlag, 1, 1, 1));
        const signed char flags[2] = { 0, 1 };
        f.Check(nc_put_att_schar(id, varFlag, "flag_values", NC_BYTE, 2, flags));
        f.Text(varFlag, "flag_meanings", "registered not_registered");
        f.Text(varFlag, "long_name", "fewer than k stations register a source here");
        f.Text(varQ, "ancillary_variables", "not_registered");
    }

    const auto &st = run.Stations.Rows;
    int varName = -1, varSx = -1, varSy = -1, varSz = -1;
    if (!st.empty()) {
        const int dimS = f.Dim("station", st.size());
        const bool deg = run.Stations.Degrees;
        varName = f.Var("station_name", NC_STRING, { dimS });
        f.Text(varName, "long_name", "station code");
        varSx = f.Var(deg ? "station_lon" : "station_x", NC_DOUBLE, { dimS });
        f.Text(varSx, "units", deg ? "degrees_east" : "m");
        varSy = f.Var(deg ? "station_lat" : "station_y", NC_DOUBLE, { dimS });
        f.Text(varSy, "units", deg ? "degrees_north" : "m");
        varSz = f.Var("station_elevation", NC_DOUBLE, { dimS });
        f.Text(varSz, "units", "m");
        f.Text(varSz, "positive", "up");
    }

    f.Text(NC_GLOBAL, "Conventions", "CF-1.8");
    f.Text(NC_GLOBAL, "title", std::string("Valdrin: ") + g.LongName);
    f.Text(NC_GLOBAL, "source", "Valdrin");
    f.Text(NC_GLOBAL, "mode", ModeName(result.ResultMode));
    f.Text(NC_GLOBAL, "plane", PlaneName(result.Plane));
    if (g.NodeMode) {
        const auto [name, units] = FixedAxis(result.Plane, result.Degrees);
        f.Text(NC_GLOBAL, "fixed_axis", name);
        f.Double(NC_GLOBAL, "fixed_coordinate", result.PlaneGrid.WPlane);
        f.Text(NC_GLOBAL, "fixed_coordinate_units", units);
        f.Int(NC_GLOBAL, "k", run.k);
        f.Text(NC_GLOBAL, "medium",
            run.Medium == calc::TMediumKind::Layered ? "layered" : "homogeneous");
        if (result.ResultMode == smMinMagnitude) {
            f.Double(NC_GLOBAL, "energy_class_C1", run.C1);
            f.Double(NC_GLOBAL, "energy_class_C2", run.C2);
        }
    } else {
        f.Double(NC_GLOBAL, "dk", result.WaveGrid.DK);
        f.Int(NC_GLOBAL, "kcount", result.WaveGrid.KCount);
        if (result.ResultMode == smCdF)
            f.Double(NC_GLOBAL, "vp", run.Vp);
    }
    f.Check(nc_enddef(id));

    f.Check(nc_put_var_double(id, varU, g.U.Values.data()));
    f.Check(nc_put_var_double(id, varV, g.V.Values.data()));
    std::vector<double> values(nu * nv);
    std::vector<signed char> flags(g.NodeMode ? nu * nv : 0);
    for (std::size_t i = 0; i < nu; ++i)
        for (std::size_t j = 0; j < nv; ++j) {
            const double v = g.Values[i][j];
            const bool unregistered = g.NodeMode && v == INFINITY;
            values[j * nu + i] = std::isfinite(v) ? v : kNaN;
            if (g.NodeMode)
                flags[j * nu + i] = unregistered ? 1 : 0;
        }
    f.Check(nc_put_var_double(id, varQ, values.data()));
    if (varFlag >= 0)
        f.Check(nc_put_var_schar(id, varFlag, flags.data()));
    if (!st.empty()) {
        std::vector<const char *> names;
        std::vector<double> x, y, z;
        for (const auto &s : st) {
            names.push_back(s.Name.c_str());
            x.push_back(s.X);
            y.push_back(s.Y);
            z.push_back(s.Z);
        }
        f.Check(nc_put_var_string(id, varName, names.data()));
        f.Check(nc_put_var_double(id, varSx, x.data()));
        f.Check(nc_put_var_double(id, varSy, y.data()));
        f.Check(nc_put_var_double(id, varSz, z.data()));
    }
    f.Close();
}

} // namespace

void WriteNetCdf(const std::string &path, const calc::TResult &result, const TRunInfo &run)
{
    const TGridExport g = GridFromResult(result, run.Vp);
    if (g.U.Name == g.V.Name)
        throw common::TValdrinError("Оси сетки совпадают"); // never for a plane's two axes
    ReplaceFileVia(path, [&](const std::string &temp) { WriteFile(temp, path, result, g, run); });
}

} // namespace valdrin::formats
