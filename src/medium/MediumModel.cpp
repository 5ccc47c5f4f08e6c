// The layered medium: the layer table, its count change and the averaging of
// the stack above the source plane (harmonic-mean velocities, the Q of equal
// total loss exp(-pi*f*t/Q), thickness-weighted density).
#include "medium/MediumModel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "common/Error.h"
#include "common/MathRout.h"
#include "common/NumText.h"

namespace valdrin::medium {

using common::TExtended;

namespace {

constexpr double kMaxVelocityField = 100000; // VpSpinEdit .. QualitySpinEdit
constexpr double kMaxRhoField = 20; // RoSpinEdit

const char *const kModelHeaders[kModelGridCols] = { "Layer", "H", "Vp", "Vs", "Vr", "Q", "Rho" };

std::string ModelError(const std::string &detail)
{
    return std::string("Ошибка в модели среды!") + (detail.empty() ? "" : " " + detail);
}

bool Positive(double x)
{
    return x > 0 && std::isfinite(x);
}

} // namespace

bool ReadMediumModel(const common::TCellTable &table, double surfaceAlt, char decimalSep,
    THorizontalModel &model, std::string *badCell)
{
    if (badCell)
        badCell->clear();
    if (model.empty())
        return false;
    bool ok = true;
    for (std::size_t i = 0; i < model.size() && ok; ++i) {
        THorizontalLayer &layer = model[i];
        const int row = static_cast<int>(i) + 1;
        layer.Name = table.Cell(row, 0);
        // Cells in table order; the first that does not convert ends the
        // reading, the fields before it stay read.
        double *fields[] = { &layer.H, &layer.Velocity[0], &layer.Velocity[1], &layer.Velocity[2],
            &layer.Q, &layer.Rho };
        for (int c = 0; c < 6; ++c) {
            const std::string &text = table.Cell(row, c + 1);
            const auto value = common::TextToFloatAnySep(text, decimalSep);
            if (!value) {
                if (badCell) {
                    const std::string &header = table.Cell(0, c + 1);
                    *badCell = "слой №" + std::to_string(row) + ", столбец "
                        + (header.empty() ? kModelHeaders[c + 1] : header) + ": «" + text + "»";
                }
                ok = false;
                break;
            }
            *fields[c] = *value;
        }
        if (!ok)
            break;
        layer.Top = (i == 0) ? surfaceAlt : model[i - 1].Bottom;
        layer.Bottom = layer.Top - layer.H;
    }
    model.back().Bottom = -std::numeric_limits<double>::infinity();
    return ok;
}

std::string ModelReadMessage(const std::string &badCell)
{
    return std::string("Ошибка в параметрах модели!")
        + (badCell.empty() ? "" : " (" + badCell + ")");
}

THorizontalLayer StartupLayer(double surfaceAlt)
{
    THorizontalLayer layer;
    layer.Name = "#1";
    layer.H = 100;
    layer.Velocity = { 1500, 750, 500 };
    layer.Q = 10;
    layer.Rho = 1.8;
    layer.SpreadExp = 1.0;
    layer.Top = surfaceAlt;
    layer.Bottom = layer.Top - layer.H;
    return layer;
}

void WriteModelHeader(common::TCellTable &table)
{
    if (table.ColCount < kModelGridCols || table.RowCount() < 1)
        table.Resize(std::max(table.RowCount(), 1), std::max(table.ColCount, kModelGridCols));
    for (int c = 0; c < kModelGridCols; ++c)
        table.SetCell(0, c, kModelHeaders[c]);
}

void ShowLayer(common::TCellTable &table, int k, const THorizontalLayer &layer, char decimalSep)
{
    if (k < 0)
        return;
    if (table.ColCount < kModelGridCols || table.RowCount() < k + 2)
        table.Resize(std::max(table.RowCount(), k + 2), std::max(table.ColCount, kModelGridCols));
    const int row = k + 1;
    table.SetCell(row, 0, layer.Name);
    table.SetCell(row, 1, common::FormatFixed(layer.H, 1, decimalSep));
    table.SetCell(row, 2, common::FormatFixed(layer.Velocity[0], 1, decimalSep));
    table.SetCell(row, 3, common::FormatFixed(layer.Velocity[1], 1, decimalSep));
    table.SetCell(row, 4, common::FormatFixed(layer.Velocity[2], 1, decimalSep));
    table.SetCell(row, 5, common::FormatFixed(layer.Q, 1, decimalSep));
    table.SetCell(row, 6, common::FormatFixed(layer.Rho, 2, decimalSep));
}

void LayerCountChange(THorizontalModel &model, common::TCellTable &table, int n, char decimalSep)
{
    n = std::clamp(n, 1, kMaxLayers);
    const int old = static_cast<int>(model.size());
    // New layers are zero-filled but keep SpreadExp 1: with 0 a source below
    // the first layer would have no geometric spreading at all.
    model.resize(static_cast<std::size_t>(n));
    table.Resize(n + 1, std::max(table.ColCount, kModelGridCols));
    if (n <= old || n < 2)
        return;

    const int k = n - 1;
    const THorizontalLayer &above = model[static_cast<std::size_t>(k - 1)];
    THorizontalLayer layer;
    layer.Name = "#";
    layer.Name += std::to_string(n);
    layer.H = 2 * above.H;
    layer.Velocity[0] = 1.2 * above.Velocity[0];
    layer.Velocity[1] = layer.Velocity[0] / 1.73;
    layer.Velocity[2] = layer.Velocity[1] / 1.4;
    layer.Q = 2 * above.Q;
    layer.Rho = 1.1 * above.Rho;
    // A model that was read has the last Bottom at -infinity; its finite
    // value is Top - H.
    layer.Top = std::isfinite(above.Bottom) ? above.Bottom : above.Top - above.H;
    layer.Bottom = layer.Top - layer.H;
    model[static_cast<std::size_t>(k)] = layer;
    ShowLayer(table, k, layer, decimalSep);
}

TAverageMedium AverageMedium(const THorizontalModel &model, double G, double fMax)
{
    if (model.empty())
        throw common::TValdrinError(ModelError("В модели нет ни одного слоя."));
    if (!Positive(fMax))
        throw common::TValdrinError(
            ModelError("Верхняя частота F, Гц (Max) должна быть больше нуля."));
    if (!std::isfinite(G))
        throw common::TValdrinError(ModelError("Неверная высота плоскости источников."));

    std::size_t i = 0;
    while (i + 1 < model.size() && model[i].Bottom > G)
        ++i;
    for (std::size_t l = 0; l <= i; ++l) {
        const THorizontalLayer &layer = model[l];
        if (!Positive(layer.Velocity[0]) || !Positive(layer.Velocity[1])
            || !Positive(layer.Velocity[2]) || !Positive(layer.Q))
            throw common::TValdrinError(ModelError("Скорости и добротность слоя №"
                + std::to_string(l + 1) + " должны быть больше нуля."));
    }

    const TExtended pi = std::numbers::pi_v<TExtended>;
    const TExtended f = fMax;
    TExtended hSum = 0, rhoSum = 0, logP = 0, tp = 0, ts = 0, tr = 0;
    // ln P summed rather than P multiplied: a thick or lossy stack would
    // underflow P to 0.
    auto add = [&](const THorizontalLayer &layer, TExtended h) {
        hSum += h;
        rhoSum += h * layer.Rho;
        logP += -pi * f * h / (TExtended(layer.Velocity[1]) * layer.Q);
        tp += h / layer.Velocity[0];
        ts += h / layer.Velocity[1];
        tr += h / layer.Velocity[2];
    };
    add(model[i], TExtended(model[i].Top) - G);
    for (std::size_t l = 0; l < i; ++l)
        add(model[l], model[l].H);

    if (!(hSum != 0) || !std::isfinite(static_cast<double>(hSum)))
        throw common::TValdrinError(ModelError(
            "Плоскость источников лежит на поверхности: толщина слоя осреднения равна нулю."));

    auto clampField
        = [](TExtended v, double hi) { return std::clamp(static_cast<double>(v), 0.0, hi); };
    TAverageMedium avg;
    avg.Vp = clampField(hSum / tp, kMaxVelocityField);
    avg.Vs = clampField(hSum / ts, kMaxVelocityField);
    avg.Vr = clampField(hSum / tr, kMaxVelocityField);
    if (!(avg.Vs > 0) || !(logP != 0))
        throw common::TValdrinError(ModelError("Затухание в слоях не определено."));
    avg.Q = clampField((-pi * f / avg.Vs) / logP * hSum, kMaxVelocityField);
    avg.Rho = clampField(rhoSum / hSum, kMaxRhoField);
    return avg;
}

TAverageOutcome CalcAvModel(const common::TCellTable &table, double surfaceAlt, char decimalSep,
    THorizontalModel &model, double G, double fMax)
{
    TAverageOutcome out;
    std::string badCell;
    if (!ReadMediumModel(table, surfaceAlt, decimalSep, model, &badCell)) {
        out.Messages = { ModelReadMessage(badCell), "Ошибка в модели среды!" };
        return out;
    }
    try {
        out.Values = AverageMedium(model, G, fMax);
    } catch (const common::TValdrinError &e) {
        out.Messages = { e.what() };
    }
    return out;
}

} // namespace valdrin::medium
