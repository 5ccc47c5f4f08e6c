// Page "Планирование" in the window: a station placed from the gain map,
// the stations in operation and the difference to a reference.
#include "MainTestFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTableWidget>

#include <cmath>

#include "app/Gauge.h"
#include "app/PaintBox.h"
#include "app/PlanPage.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"

using namespace valdrin;
using valdrin::app::TPlanPage;
using valdrin::app::test::MainFormTest;
using valdrin::app::test::SendMouse;

namespace {

class MainPlanTest : public MainFormTest {
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        page = form->PlanPage();
        ASSERT_NE(page, nullptr);
        Coarse(400);
    }
    void Coarse(double step) const
    {
        form->dXSpinEdit->SetValue(step);
        form->dYSpinEdit->SetValue(step);
    }
    bool WaitForPage() const
    {
        return QTest::qWaitFor([this] { return !page->IsRunning(); }, 120000);
    }
    TPlanPage *page = nullptr;
};

TEST_F(MainPlanTest, AddStationHereTakesThePressedCandidateAsOneUndoStep)
{
    page->CandUSpinEdit->SetValue(5);
    page->CandVSpinEdit->SetValue(5);
    page->RowSpinEdit->SetValue(3);
    EXPECT_FALSE(page->AddHereButton->isEnabled());
    page->GainButton->click();
    ASSERT_TRUE(WaitForPage());
    ASSERT_EQ(page->View(), TPlanPage::TView::Gain) << dialogs->Messages.join(u'\n').toStdString();
    EXPECT_EQ(page->Shown().PlaneGrid.NU, 5);
    ASSERT_TRUE(page->AddHereButton->isEnabled());

    // The pixel of candidate (1, 3) on the page as drawn.
    const calc::TPlaneGrid &g = page->Shown().PlaneGrid;
    const double u = g.UMin + g.UStep, v = g.VMin + 3 * g.VStep;
    const auto [px, py] = page->MapFrame().ToPixel(u, v);
    const QPoint at(static_cast<int>(std::lround(px)), static_cast<int>(std::lround(py)));
    SendMouse(page->PlanBox, QEvent::MouseButtonPress, at);
    const auto node = page->NodeAt(at);
    ASSERT_TRUE(node);
    EXPECT_EQ(*node, std::make_pair(u, v));
    page->AddHereButton->click();
    ASSERT_EQ(form->SensorsSpinEdit->Value(), 26);
    EXPECT_EQ(form->CooGrid->Cells(1, 26).toDouble(), node->first);
    EXPECT_EQ(form->CooGrid->Cells(2, 26).toDouble(), node->second);
    EXPECT_EQ(form->CooGrid->Cells(3, 26), QStringLiteral("200")); // the surface
    for (int c = 1; c < 7; ++c)
        EXPECT_EQ(form->StrGrid->Cells(c, 26), form->StrGrid->Cells(c, 3)) << c;

    QCoreApplication::processEvents();
    form->findChild<QAction *>(QStringLiteral("UndoAction"))->trigger();
    EXPECT_EQ(form->SensorsSpinEdit->Value(), 25);
    EXPECT_EQ(form->CooGrid->RowCount(), 26);
}

// Shift + drag on the planning map sets the gain's target area; the gain
// then counts only the nodes inside it, and "Вся сетка" takes the whole again.
TEST_F(MainPlanTest, ShiftDragSetsTheGainsTargetArea)
{
    page->CandUSpinEdit->SetValue(5);
    page->CandVSpinEdit->SetValue(5);
    page->GainButton->click();
    ASSERT_TRUE(WaitForPage());
    const calc::TMatrix2D whole = page->Shown().ResultMatrix;
    const map::TMapFrame &f = page->MapFrame();
    const auto shift = [this](QEvent::Type type, double u, double v) {
        const auto [x, y] = page->MapFrame().ToPixel(u, v);
        QMouseEvent e(type, QPointF(x, y), page->PlanBox->mapToGlobal(QPointF(x, y)),
            Qt::LeftButton, type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
            Qt::ShiftModifier);
        QApplication::sendEvent(page->PlanBox, &e);
    };
    shift(QEvent::MouseButtonPress, 1000, -500);
    shift(QEvent::MouseMove, 0, 0);
    shift(QEvent::MouseButtonRelease, -1000, 1000);
    const auto &a = page->Area();
    const double du = 1 / f.ScaleX(), dv = 1 / f.ScaleY(); // a pixel
    EXPECT_NEAR(a.U0, -1000, du);
    EXPECT_NEAR(a.U1, 1000, du);
    EXPECT_NEAR(a.V0, -500, dv);
    EXPECT_NEAR(a.V1, 1000, dv);
    EXPECT_TRUE(page->WholeAreaButton->isEnabled());
    EXPECT_TRUE(page->AreaLabel->text().contains(QStringLiteral("X ")));

    page->GainButton->click();
    ASSERT_TRUE(WaitForPage());
    EXPECT_NE(page->Shown().ResultMatrix, whole);
    page->WholeAreaButton->click();
    EXPECT_EQ(page->Area(), calc::TGainOptions::TArea {});
    page->GainButton->click();
    ASSERT_TRUE(WaitForPage());
    EXPECT_EQ(page->Shown().ResultMatrix, whole);
}

// The analyses share the window's one run: "Считать" waits, and the gauge's
// cancel ends the analysis with nothing shown.
TEST_F(MainPlanTest, AGainMapRunsAloneAndCancelsWithItsGauge)
{
    Coarse(10); // 401 x 401 candidates over as many nodes: long enough to catch
    page->GainButton->click();
    ASSERT_TRUE(page->IsRunning());
    EXPECT_TRUE(form->IsRunning());
    EXPECT_FALSE(form->CalcButton->isEnabled());
    EXPECT_FALSE(page->NextButton->isEnabled());
    page->PlanGauge->CancelButton->click();
    ASSERT_TRUE(WaitForPage());
    EXPECT_FALSE(form->IsRunning());
    EXPECT_TRUE(form->CalcButton->isEnabled());
    EXPECT_TRUE(page->NextButton->isEnabled());
    EXPECT_EQ(page->View(), TPlanPage::TView::None);
    EXPECT_TRUE(dialogs->Messages.isEmpty()) << dialogs->Messages.join(u'\n').toStdString();
}

// A click on the number cell switches a station off: the run leaves it out
// as if its row were gone, the file keeps it, undo brings it back.
TEST_F(MainPlanTest, AStationSwitchedOffInTheTableIsLeftOutOfTheRun)
{
    Compute(3);
    const calc::TMatrix2D all = form->Result().ResultMatrix;
    const QRect cell = form->CooGrid->visualItemRect(form->CooGrid->item(1, 0));
    SendMouse(form->CooGrid->viewport(), QEvent::MouseButtonPress, cell.center());
    EXPECT_FALSE(form->InOperation(1));
    EXPECT_EQ(form->CooGrid->item(1, 0)->data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    Compute(3);
    EXPECT_NE(form->Result().ResultMatrix, all);

    QCoreApplication::processEvents();
    form->findChild<QAction *>(QStringLiteral("UndoAction"))->trigger();
    EXPECT_TRUE(form->InOperation(1));
    Compute(3);
    EXPECT_EQ(form->Result().ResultMatrix, all);
}

TEST_F(MainPlanTest, ADifferenceOnAnotherGridIsRefusedAndLeavesTheMap)
{
    Compute(3);
    page->PinButton->click();
    page->DiffCheckBox->click();
    ASSERT_EQ(page->View(), TPlanPage::TView::Difference);
    // The same result: zero everywhere it has a value.
    for (const auto &col : page->Shown().ResultMatrix)
        for (double v : col)
            EXPECT_TRUE(std::isnan(v) || v == 0 || std::isinf(v));
    const QImage before = page->Bitmap();
    const calc::TResult shown = page->Shown();

    Coarse(500);
    Compute(3);
    ASSERT_EQ(dialogs->Messages.size(), 1);
    EXPECT_TRUE(dialogs->Messages.front().contains(QStringLiteral("Сетка эталона")))
        << dialogs->Messages.front().toStdString();
    EXPECT_FALSE(page->DiffCheckBox->isChecked());
    EXPECT_EQ(page->Bitmap(), before);
    EXPECT_EQ(page->Shown().PlaneGrid, shown.PlaneGrid);
    EXPECT_EQ(form->SensorsSpinEdit->Value(), 25);
}

} // namespace

namespace {

void CtrlMouse(QWidget *w, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held
        = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent e(
        type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, held, Qt::ControlModifier);
    QApplication::sendEvent(w, &e);
}

// Ctrl + drag of a mark: the map follows while the table waits for the
// release, which is one undo step; the result is that of the new place.
TEST_F(MainPlanTest, ADraggedStationRecomputesTheMapAndTheTableFollowsOnRelease)
{
    Coarse(50); // the default grid
    Compute(3);
    const QString x = form->CooGrid->Cells(1, 10), y = form->CooGrid->Cells(2, 10);
    const auto [px, py] = form->MapFrame().ToPixel(81, 690); // station 9
    const QPoint from(static_cast<int>(std::lround(px)), static_cast<int>(std::lround(py)));
    CtrlMouse(form->PaintBox, QEvent::MouseButtonPress, from);
    QElapsedTimer timer;
    timer.start();
    for (int step = 1; step <= 10; ++step)
        CtrlMouse(form->PaintBox, QEvent::MouseMove, from + QPoint(5 * step, 4 * step));
    RecordProperty("drag_step_ms", static_cast<int>(timer.elapsed() / 10));
    EXPECT_EQ(form->CooGrid->Cells(1, 10), x); // not yet
    CtrlMouse(form->PaintBox, QEvent::MouseButtonRelease, from + QPoint(50, 40));
    EXPECT_NE(form->CooGrid->Cells(1, 10), x);
    EXPECT_NE(form->CooGrid->Cells(2, 10), y);
    EXPECT_EQ(form->PlacementRemaining(), 0);
    const calc::TMatrix2D dragged = form->Result().ResultMatrix;
    Compute(3);
    EXPECT_EQ(form->Result().ResultMatrix, dragged);

    QCoreApplication::processEvents();
    form->findChild<QAction *>(QStringLiteral("UndoAction"))->trigger();
    EXPECT_EQ(form->CooGrid->Cells(1, 10), x);
}

} // namespace
