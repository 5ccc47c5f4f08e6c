// Results-file reader: tab-separated fields, point as decimal separator,
// nan/inf/-inf for values without a number, CR LF or LF line ends.
#include "calc/ResultsFileReader.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "common/Error.h"

namespace valdrin::calc {

using enum TShowMode;
using enum TViewPlane;
using common::TValdrinError;

namespace {

std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        out.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos)
            return out;
        start = tab + 1;
    }
}

bool Number(std::string_view text, double &x)
{
    while (!text.empty() && text.front() == ' ') // right-aligned fields
        text.remove_prefix(1);
    if (text == "nan") {
        x = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (text == "inf" || text == "-inf") {
        x = text == "inf" ? HUGE_VAL : -HUGE_VAL;
        return true;
    }
    const auto r = std::from_chars(text.data(), text.data() + text.size(), x);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

// Mode and plane of a header line; false if it is not one of modes 3..6.
bool ParseHeader(std::string_view line, TShowMode &mode, TViewPlane &plane)
{
    const auto f = Fields(line);
    if (f.size() < 3 || f[0].size() != 2 || f[1].size() != 2 || f[0][0] != 'K' || f[1][0] != 'K')
        return false;
    const char a = f[0][1], b = f[1][1];
    if (a == 'x' && b == 'y')
        plane = vpXY;
    else if (a == 'y' && b == 'z')
        plane = vpYZ;
    else if (a == 'x' && b == 'z')
        plane = vpXZ;
    else
        return false;
    if (f.size() == 5 && f[2] == "M" && f[3] == "K" && f[4] == "E")
        mode = smMinMagnitude;
    else if (f.size() == 3 && f[2] == "Error")
        mode = smLocError;
    else if (f.size() == 3 && f[2] == "Fc")
        mode = smCornerFreq;
    else if (f.size() == 3 && f[2] == "R0")
        mode = smSourceSize;
    else
        return false;
    return true;
}

} // namespace

void ReadResultsPart(std::istream &in, const std::string &name, TResultsParts &parts)
{
    std::string line;
    long long number = 0;
    const bool first = !parts.HaveHeader;
    auto fail = [&](const std::string &what) {
        return TValdrinError("Файл " + name + ", строка " + std::to_string(number) + ": " + what);
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (number == 1 && line[0] == 'K') {
            TShowMode mode;
            TViewPlane plane;
            if (!ParseHeader(line, mode, plane))
                throw fail("не файл результатов режимов 3..6 (заголовок " + line + ")");
            if (!first && (mode != parts.Mode || plane != parts.Plane))
                throw fail("режим или плоскость не те, что в первой части");
            parts.Mode = mode;
            parts.Plane = plane;
            parts.HaveHeader = true;
            continue;
        }
        if (!parts.HaveHeader)
            throw fail("первая часть должна начинаться со строки заголовка");
        const auto f = Fields(line);
        double u = 0, v = 0, value = 0;
        if (f.size() < 3 || !Number(f[0], u) || !Number(f[1], v) || !Number(f[2], value)
            || !std::isfinite(u) || !std::isfinite(v))
            throw fail("неверная строка: " + line);
        if (parts.U.empty() || u != parts.U.back()) {
            if (!parts.U.empty() && !(u > parts.U.back()))
                throw fail("строки сетки не по возрастанию");
            parts.U.push_back(u);
            parts.Matrix.emplace_back();
        }
        auto &row = parts.Matrix.back();
        if (parts.Matrix.size() == 1)
            parts.V.push_back(v);
        else if (row.size() >= parts.V.size() || parts.V[row.size()] != v)
            throw fail("узлы строки не те, что в первой строке");
        row.push_back(value);
    }
    if (in.bad())
        throw TValdrinError("Ошибка чтения файла " + name);
}

TResult JoinResultsParts(TResultsParts parts)
{
    if (parts.Matrix.empty())
        throw TValdrinError("В файлах результатов нет ни одного узла");
    for (const auto &row : parts.Matrix)
        if (row.size() != parts.V.size())
            throw TValdrinError("Строки сетки в файлах результатов не одной длины");
    // Steps from the ends; each coordinate must lie on the grid to the
    // written precision (4 decimals: half a unit of the last one).
    auto step = [](const std::vector<double> &c) {
        return c.size() > 1 ? (c.back() - c.front()) / static_cast<double>(c.size() - 1) : 1.0;
    };
    auto even = [](const std::vector<double> &c, double d) {
        for (std::size_t i = 0; i < c.size(); ++i)
            if (std::fabs(c[i] - (c.front() + static_cast<double>(i) * d)) > 0.00006)
                return false;
        return true;
    };
    const double du = step(parts.U), dv = step(parts.V);
    if (!even(parts.U, du) || !even(parts.V, dv))
        throw TValdrinError("Узлы в файлах результатов не на равномерной сетке: не хватает "
                            "частей или они не по порядку");
    TResult r;
    r.ResultMode = parts.Mode;
    r.Plane = parts.Plane;
    TPlaneGrid &g = r.PlaneGrid;
    g.UMin = parts.U.front();
    g.UMax = parts.U.back();
    g.UStep = du;
    g.VMin = parts.V.front();
    g.VMax = parts.V.back();
    g.VStep = dv;
    g.NU = static_cast<int>(parts.U.size());
    g.NV = static_cast<int>(parts.V.size());
    r.ResultMatrix = std::move(parts.Matrix);
    r.Saveable = true;
    return r;
}

} // namespace valdrin::calc
