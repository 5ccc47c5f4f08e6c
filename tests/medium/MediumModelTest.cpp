#include "medium/MediumModel.h"

#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "common/Error.h"

using namespace valdrin::medium;
using valdrin::common::TCellRow;
using valdrin::common::TCellTable;

namespace {

TCellRow Row(const TCellTable &t, int r)
{
    return t.Rows.at(static_cast<std::size_t>(r));
}

// The start-up table and model, as the window creates them.
struct StartUp {
    THorizontalModel model { StartupLayer(200) };
    TCellTable table { 2, kModelGridCols };
    explicit StartUp(char sep = '.')
    {
        WriteModelHeader(table);
        ShowLayer(table, 0, model[0], sep);
    }
};

// Three layers under a surface at 200: 200..100, 100..-100, -100..-500.
TCellTable ThreeLayerTable(char sep)
{
    TCellTable t(4, kModelGridCols);
    WriteModelHeader(t);
    const char *rows[3][7] = { { "#1", "100", "1500", "750", "500", "10", "1.8" },
        { "#2", "200", "1800", "1040.5", "743.2", "20", "1.98" },
        { "#3", "400", "2160", "1248.6", "891.9", "40", "2.178" } };
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 7; ++c) {
            std::string text = rows[r][c];
            for (char &ch : text)
                if (ch == '.')
                    ch = sep;
            t.SetCell(r + 1, c, text);
        }
    return t;
}

} // namespace

TEST(ShowLayer, StartUpRowAndHeaders)
{
    const StartUp s;
    EXPECT_EQ(Row(s.table, 0), (TCellRow { "Layer", "H", "Vp", "Vs", "Vr", "Q", "Rho" }));
    EXPECT_EQ(
        Row(s.table, 1), (TCellRow { "#1", "100.0", "1500.0", "750.0", "500.0", "10.0", "1.80" }));
    EXPECT_EQ(s.model[0].Top, 200);
    EXPECT_EQ(s.model[0].Bottom, 100);
    EXPECT_EQ(s.model[0].SpreadExp, 1.0);

    const StartUp comma(',');
    EXPECT_EQ(Row(comma.table, 1),
        (TCellRow { "#1", "100,0", "1500,0", "750,0", "500,0", "10,0", "1,80" }));
}

TEST(LayerCountChange, RaisingByOneDerivesTheNewLayer)
{
    StartUp s;
    LayerCountChange(s.model, s.table, 2);
    ASSERT_EQ(s.model.size(), 2u);
    ASSERT_EQ(s.table.RowCount(), 3);
    EXPECT_EQ(
        Row(s.table, 2), (TCellRow { "#2", "200.0", "1800.0", "1040.5", "743.2", "20.0", "1.98" }));
    EXPECT_EQ(s.model[1].Top, 100);
    EXPECT_EQ(s.model[1].Bottom, -100);
    EXPECT_EQ(s.model[1].SpreadExp, 1.0); // not 0: a deep source keeps its spreading
    EXPECT_EQ(Row(s.table, 1)[0], "#1");
}

TEST(LayerCountChange, TypingFourLeavesTheLayersBetweenZeroFilled)
{
    StartUp s;
    LayerCountChange(s.model, s.table, 4);
    ASSERT_EQ(s.model.size(), 4u);
    ASSERT_EQ(s.table.RowCount(), 5);
    EXPECT_EQ(Row(s.table, 2), TCellRow(7));
    EXPECT_EQ(Row(s.table, 3), TCellRow(7));
    EXPECT_EQ(Row(s.table, 4), (TCellRow { "#4", "0.0", "0.0", "0.0", "0.0", "0.0", "0.00" }));
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(s.model[static_cast<std::size_t>(i)].Velocity[0], 0);
        EXPECT_EQ(s.model[static_cast<std::size_t>(i)].SpreadExp, 1.0);
    }
    EXPECT_EQ(s.model[1].Name, "");

    // The empty row 2 stops the next reading there; layer #1 is read.
    EXPECT_FALSE(ReadMediumModel(s.table, 200, '.', s.model));
    EXPECT_EQ(s.model[0].Velocity[0], 1500);
    EXPECT_EQ(s.model[0].Bottom, 100);
    EXPECT_EQ(s.model[3].Bottom, -INFINITY);
}

TEST(LayerCountChange, LoweringDropsRowsAndRaisingAgainDerivesOnlyTheLast)
{
    StartUp s;
    LayerCountChange(s.model, s.table, 2);
    LayerCountChange(s.model, s.table, 3);
    ASSERT_EQ(Row(s.table, 3)[0], "#3");
    s.table.SetCell(2, 2, "9999"); // a typed edit not yet read

    LayerCountChange(s.model, s.table, 1);
    EXPECT_EQ(s.model.size(), 1u);
    EXPECT_EQ(s.table.RowCount(), 2);
    EXPECT_EQ(Row(s.table, 1)[1], "100.0");

    LayerCountChange(s.model, s.table, 3);
    EXPECT_EQ(Row(s.table, 2), TCellRow(7));
    EXPECT_EQ(Row(s.table, 3), (TCellRow { "#3", "0.0", "0.0", "0.0", "0.0", "0.0", "0.00" }));
}

TEST(LayerCountChange, CountIsClampedAndAReadModelStillDerivesFiniteBounds)
{
    StartUp s;
    LayerCountChange(s.model, s.table, 0);
    EXPECT_EQ(s.model.size(), 1u);
    LayerCountChange(s.model, s.table, 1000);
    EXPECT_EQ(s.model.size(), static_cast<std::size_t>(kMaxLayers));
    EXPECT_EQ(s.table.RowCount(), kMaxLayers + 1);

    StartUp r;
    ASSERT_TRUE(ReadMediumModel(r.table, 200, '.', r.model));
    ASSERT_EQ(r.model[0].Bottom, -INFINITY);
    LayerCountChange(r.model, r.table, 2);
    EXPECT_EQ(r.model[1].Top, 100);
    EXPECT_EQ(r.model[1].Bottom, -100);
}

TEST(ReadMediumModel, ReadsTheUsersSeparatorAndChainsTheBounds)
{
    for (char sep : { '.', ',' }) {
        SCOPED_TRACE(sep);
        THorizontalModel model(3);
        model[2].SpreadExp = 0.5; // no column: kept
        ASSERT_TRUE(ReadMediumModel(ThreeLayerTable(sep), 200, sep, model));
        EXPECT_EQ(model[0].Name, "#1");
        EXPECT_EQ(model[0].Top, 200);
        EXPECT_EQ(model[0].Bottom, 100);
        EXPECT_EQ(model[1].Top, 100);
        EXPECT_EQ(model[1].Bottom, -100);
        EXPECT_EQ(model[2].Top, -100);
        EXPECT_EQ(model[2].Bottom, -INFINITY);
        EXPECT_EQ(model[1].Velocity[1], 1040.5);
        EXPECT_EQ(model[2].Rho, 2.178);
        EXPECT_EQ(model[2].SpreadExp, 0.5);
    }
    // A table written under the other locale reads the same.
    THorizontalModel point(3), comma(3);
    ASSERT_TRUE(ReadMediumModel(ThreeLayerTable('.'), 200, ',', point));
    ASSERT_TRUE(ReadMediumModel(ThreeLayerTable(','), 200, '.', comma));
    EXPECT_EQ(point[1].Velocity[1], 1040.5);
    EXPECT_EQ(comma[2].Rho, 2.178);
}

TEST(ReadMediumModel, StopsAtTheFirstBadCellKeepingWhatWasRead)
{
    TCellTable t = ThreeLayerTable('.');
    t.SetCell(2, 4, "7x"); // Vr of layer #2
    THorizontalModel model(3);
    model[1].Q = 77;
    model[2].H = 55;
    std::string badCell = "stale";
    EXPECT_FALSE(ReadMediumModel(t, 200, '.', model, &badCell));
    EXPECT_EQ(badCell, "слой №2, столбец Vr: «7x»");
    EXPECT_EQ(ModelReadMessage(badCell), "Ошибка в параметрах модели! (слой №2, столбец Vr: «7x»)");
    EXPECT_EQ(model[0].Bottom, 100);
    EXPECT_EQ(model[1].Name, "#2");
    EXPECT_EQ(model[1].H, 200);
    EXPECT_EQ(model[1].Velocity[1], 1040.5);
    EXPECT_EQ(model[1].Velocity[2], 0); // the bad cell
    EXPECT_EQ(model[1].Q, 77); // after it: not read
    EXPECT_EQ(model[2].H, 55); // the next layer: not read
    EXPECT_EQ(model[2].Bottom, -INFINITY);

    THorizontalModel none;
    EXPECT_FALSE(ReadMediumModel(t, 200, '.', none, &badCell));
    EXPECT_EQ(ModelReadMessage(badCell), "Ошибка в параметрах модели!"); // nothing to name
}

TEST(AverageMedium, SourcePlaneAboveTheSurfaceGivesTheFirstLayer)
{
    THorizontalModel model(3);
    ASSERT_TRUE(ReadMediumModel(ThreeLayerTable('.'), 200, '.', model));
    const TAverageMedium a = AverageMedium(model, 400, 10);
    EXPECT_NEAR(a.Vp, 1500, 1e-9);
    EXPECT_NEAR(a.Vs, 750, 1e-9);
    EXPECT_NEAR(a.Vr, 500, 1e-9);
    EXPECT_NEAR(a.Q, 10, 1e-9);
    EXPECT_NEAR(a.Rho, 1.8, 1e-12);
}

TEST(AverageMedium, InsideTheThirdLayerTakesTheFullLayersAboveAndPartOfIt)
{
    THorizontalModel model(3);
    ASSERT_TRUE(ReadMediumModel(ThreeLayerTable('.'), 200, '.', model));
    // G = -300: 100 m of #1, 200 m of #2, 200 m of #3.
    const double h[] = { 100, 200, 200 };
    double hs = 0, rho = 0, tp = 0, ts = 0, tr = 0, loss = 0;
    for (int l = 0; l < 3; ++l) {
        const THorizontalLayer &L = model[static_cast<std::size_t>(l)];
        hs += h[l];
        rho += h[l] * L.Rho;
        tp += h[l] / L.Velocity[0];
        ts += h[l] / L.Velocity[1];
        tr += h[l] / L.Velocity[2];
        loss += h[l] / (L.Velocity[1] * L.Q);
    }
    const TAverageMedium a = AverageMedium(model, -300, 10);
    EXPECT_NEAR(a.Vp, hs / tp, 1e-9);
    EXPECT_NEAR(a.Vs, hs / ts, 1e-9);
    EXPECT_NEAR(a.Vr, hs / tr, 1e-9);
    EXPECT_NEAR(a.Q, hs / (a.Vs * loss), 1e-9); // same total loss at any frequency
    EXPECT_NEAR(a.Rho, rho / hs, 1e-12);
    EXPECT_NEAR(AverageMedium(model, -300, 0.37).Q, a.Q, 1e-9);
    // Altitude exactly on an interface belongs to the layer above it.
    EXPECT_NEAR(AverageMedium(model, 100, 10).Vp, 1500, 1e-9);
}

TEST(AverageMedium, ValuesAreClampedAndQFollowsTheClampedVs)
{
    THorizontalModel model { StartupLayer(200) };
    model[0].Velocity = { 250000, 200000, 150000 };
    model[0].Rho = 30;
    model[0].Q = 50;
    const TAverageMedium a = AverageMedium(model, 0, 10);
    EXPECT_EQ(a.Vp, 100000);
    EXPECT_EQ(a.Vs, 100000);
    EXPECT_EQ(a.Vr, 100000);
    EXPECT_EQ(a.Rho, 20);
    EXPECT_NEAR(a.Q, 50 * 200000.0 / 100000, 1e-9);
}

TEST(AverageMedium, DivisionsByZeroAreReportedWithoutValues)
{
    THorizontalModel model(3);
    ASSERT_TRUE(ReadMediumModel(ThreeLayerTable('.'), 200, '.', model));
    auto fails = [](const THorizontalModel &m, double G, double f) {
        try {
            AverageMedium(m, G, f);
        } catch (const valdrin::common::TValdrinError &e) {
            return std::string(e.what()).rfind("Ошибка в модели среды!", 0) == 0;
        }
        return false;
    };
    EXPECT_TRUE(fails(model, 200, 10)); // G at the surface: no thickness
    EXPECT_TRUE(fails(model, -300, 0)); // no loss to match
    EXPECT_TRUE(fails(model, -300, std::nan("")));
    THorizontalModel m = model;
    m[1].Velocity[2] = 0;
    EXPECT_TRUE(fails(m, -300, 10));
    m = model;
    m[0].Q = -5;
    EXPECT_TRUE(fails(m, -300, 10));
    // A bad layer below the source plane is not part of the stack.
    m = model;
    m[2].Velocity[0] = 0;
    EXPECT_FALSE(fails(m, 0, 10));
    EXPECT_TRUE(fails({}, 0, 10));
}

TEST(CalcAvModel, ReadFailureGivesBothMessagesInOrder)
{
    TCellTable t = ThreeLayerTable('.');
    t.SetCell(3, 6, "");
    THorizontalModel model(3);
    const TAverageOutcome bad = CalcAvModel(t, 200, '.', model, -300, 10);
    EXPECT_FALSE(bad.Values);
    EXPECT_EQ(bad.Messages,
        (std::vector<std::string> {
            "Ошибка в параметрах модели! (слой №3, столбец Rho: «»)", "Ошибка в модели среды!" }));

    const TAverageOutcome zero = CalcAvModel(ThreeLayerTable('.'), 200, '.', model, 200, 10);
    EXPECT_FALSE(zero.Values);
    ASSERT_EQ(zero.Messages.size(), 1u);

    const TAverageOutcome good = CalcAvModel(ThreeLayerTable(','), 200, ',', model, 400, 10);
    ASSERT_TRUE(good.Values);
    EXPECT_TRUE(good.Messages.empty());
    EXPECT_NEAR(good.Values->Vp, 1500, 1e-9);
}
