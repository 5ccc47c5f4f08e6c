// "Считать" and "Сохранить": the run on a worker with its gauge, refusals,
// cancelling, what the map shows afterwards and the results file.
#include "MainTestFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/Gauge.h"
#include "app/PaintBox.h"
#include "app/RadioGroup.h"
#include "calc/ResultsFile.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"
#include "map/qt/MapQt.h"

namespace valdrin::app::test {
namespace {

using calc::TShowMode;

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The stations alone on a fresh page from the window's tables.
QImage FreshStations(const TMainForm &form)
{
    return StationsPage(form, form.Stations(), form.PlaneGrid());
}

class MainCalcTest : public MainFormTest {
protected:
    QTemporaryDir dir;
};

TEST_F(MainCalcTest, EachModeOnTheDefaultsSavesWhatTheEngineWrites)
{
    for (int mode = 1; mode <= 6; ++mode) {
        SCOPED_TRACE(mode);
        Compute(mode);
        ASSERT_TRUE(dialogs->Messages.isEmpty())
            << dialogs->Messages.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(static_cast<int>(form->Result().ResultMode), mode);
        EXPECT_TRUE(form->SaveButton->isEnabled());
        EXPECT_FALSE(form->Gauge->isVisibleTo(form.get()));
        EXPECT_TRUE(form->CalcButton->isEnabled());
        EXPECT_TRUE(form->Legend().Shown);

        const QString path = dir.filePath(QStringLiteral("r%1.dat").arg(mode));
        dialogs->FileNames << path;
        QTest::mouseClick(form->SaveButton, Qt::LeftButton);
        EXPECT_EQ(dialogs->Filters.last(), QStringLiteral("*.dat|*.dat|Все файлы|*.*"));

        const auto expected = calc::RunComputation(DefaultSnapshot(static_cast<TShowMode>(mode)));
        ASSERT_TRUE(expected.has_value());
        EXPECT_EQ(form->Result().ResultMatrix, expected->ResultMatrix);
        const std::string text = calc::FormatResultsFile(*expected, 6000, 1.5, 4.5);
        EXPECT_EQ(ReadAll(path), QByteArray::fromStdString(text));
    }
}

TEST_F(MainCalcTest, ABadCellStopsTheRunWithItsStationNumberAndColumn)
{
    Compute(3);
    const calc::TMatrix2D before = form->Result().ResultMatrix;
    form->CooGrid->SetCells(2, 5, QString());
    Compute(4);
    ASSERT_EQ(dialogs->Messages.size(), 1);
    EXPECT_EQ(
        dialogs->Messages[0], QStringLiteral("Ошибка в параметрах станции №5 (столбец Y: «»)"));
    EXPECT_EQ(form->Result().ResultMode, TShowMode::smMinMagnitude);
    EXPECT_EQ(form->Result().ResultMatrix, before);
    EXPECT_TRUE(form->SaveButton->isEnabled());

    // Under a comma locale a point reads too; a cell that reads neither way
    // and an attenuation cell are named the same way.
    QLocale::setDefault(QLocale(QLocale::Russian));
    form->CooGrid->SetCells(2, 5, QStringLiteral("42.8"));
    form->CooGrid->SetCells(1, 1, QStringLiteral("42.8a"));
    Compute(4);
    ASSERT_EQ(dialogs->Messages.size(), 2);
    EXPECT_EQ(dialogs->Messages[1],
        QStringLiteral("Ошибка в параметрах станции №1 (столбец X: «42.8a»)"));
    form->CooGrid->SetCells(1, 1, QStringLiteral("0.5"));
    form->StrGrid->SetCells(5, 2, QStringLiteral("0,4,"));
    Compute(4);
    ASSERT_EQ(dialogs->Messages.size(), 3);
    EXPECT_EQ(dialogs->Messages[2],
        QStringLiteral("Ошибка в параметрах станции №2 (столбец An: «0,4,»)"));
    form->StrGrid->SetCells(5, 2, QStringLiteral("0.010"));
    Compute(4);
    EXPECT_EQ(dialogs->Messages.size(), 3);
    EXPECT_EQ(form->Stations().V[4], 42.8);

    // In degrees the metre network's latitudes beyond 90 are refused.
    form->GeoCheckBox->setChecked(true);
    Compute(4);
    ASSERT_EQ(dialogs->Messages.size(), 4);
    EXPECT_EQ(dialogs->Messages[3],
        QStringLiteral("Ошибка в параметрах станции №2 (столбец Y: «160», широта вне пределов от "
                       "-90 до 90°)"));
}

TEST_F(MainCalcTest, ModeZeroLeavesNoResultToSaveAndShowsTheStations)
{
    Compute(3);
    ASSERT_TRUE(form->SaveButton->isEnabled());
    Compute(0);
    EXPECT_TRUE(dialogs->Messages.isEmpty());
    EXPECT_FALSE(form->SaveButton->isEnabled());
    EXPECT_EQ(form->Result().ResultMode, TShowMode::smStations);
    EXPECT_EQ(form->MapBitmap, FreshStations(*form));
    EXPECT_FALSE(form->Legend().Shown);
}

TEST_F(MainCalcTest, SwitchingToAModeNotComputedRedrawsStationsOnAFreshBackground)
{
    Compute(3);
    const QImage picture = form->MapBitmap;
    ASSERT_NE(picture, FreshStations(*form));
    form->SourceRadioGroup->ClickItem(4);
    EXPECT_EQ(form->MapBitmap, FreshStations(*form));
    form->SourceRadioGroup->ClickItem(3);
    EXPECT_EQ(form->MapBitmap, picture);
    // New ranges no longer fit the result: the stations alone, on the new ranges.
    form->dXSpinEdit->SetValue(100);
    EXPECT_EQ(form->MapBitmap, FreshStations(*form));
    form->SourceRadioGroup->ClickItem(3);
    EXPECT_EQ(form->MapBitmap, FreshStations(*form));
}

TEST_F(MainCalcTest, EngineRefusalIsShownAndChangesNothing)
{
    Compute(3);
    form->SourceRadioGroup->ClickItem(4);
    const QImage picture = form->MapBitmap;
    form->MinSensCountSpinEdit->SetValue(26); // more stations than the network has
    Compute(4);
    ASSERT_EQ(dialogs->Messages.size(), 1);
    EXPECT_FALSE(dialogs->Messages[0].isEmpty());
    EXPECT_EQ(form->Result().ResultMode, TShowMode::smMinMagnitude);
    EXPECT_EQ(form->MapBitmap, picture);
    EXPECT_TRUE(form->SaveButton->isEnabled());
    EXPECT_TRUE(form->CalcButton->isEnabled());
}

TEST_F(MainCalcTest, AnUnreadableLayerTableStopsTheRun)
{
    Compute(3);
    const calc::TMatrix2D matrix = form->Result().ResultMatrix;
    const QImage picture = form->MapBitmap;
    int calls = 0;
    form->SetEngine([&calls](const calc::TCalcSnapshot &s, const calc::TRunControl &c) {
        ++calls;
        return calc::RunComputation(s, c);
    });
    form->MediumRadioGroup->ClickItem(1);
    form->ModelStrGrid->SetCells(3, 1, QStringLiteral("abc"));
    form->CalcButton->click();
    EXPECT_FALSE(form->IsRunning());
    ASSERT_EQ(dialogs->Messages.size(), 1);
    EXPECT_EQ(dialogs->Messages[0],
        QStringLiteral("Ошибка в параметрах модели! (слой №1, столбец Vs: «abc»)"));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(form->Result().ResultMatrix, matrix);
    EXPECT_TRUE(form->SaveButton->isEnabled());
    EXPECT_EQ(form->MapBitmap, picture);
}

TEST_F(MainCalcTest, AFileThatCannotBeWrittenIsReportedAndTheWindowStaysUsable)
{
    Compute(4);
    dialogs->FileNames << dir.filePath(QStringLiteral("missing/dir/r.dat"));
    form->SaveButton->click();
    ASSERT_EQ(dialogs->Messages.size(), 1);
    EXPECT_TRUE(dialogs->Messages[0].contains(QStringLiteral("missing/dir/r.dat")));
    EXPECT_TRUE(form->SaveButton->isEnabled());
    // A cancelled dialog does nothing.
    form->SaveButton->click();
    EXPECT_EQ(dialogs->Messages.size(), 1);

    // A folder is refused for the results and the map alike, and stays a folder.
    const QString folder = dir.filePath(QStringLiteral("folder"));
    QDir().mkdir(folder);
    dialogs->FileNames << folder << folder;
    form->SaveButton->click();
    form->PaintBox->SavePngAction->trigger();
    ASSERT_EQ(dialogs->Messages.size(), 3);
    EXPECT_EQ(
        dialogs->Messages[1], QStringLiteral("Ошибка записи файла %1: это папка").arg(folder));
    EXPECT_EQ(dialogs->Messages[2],
        QStringLiteral("Не удалось сохранить карту в файл %1: это папка").arg(folder));
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST_F(MainCalcTest, TheMapPictureSavesAsPngWithItsLegend)
{
    Compute(5);
    const QString path = dir.filePath(QStringLiteral("map.png"));
    dialogs->FileNames << path;
    form->PaintBox->SavePngAction->trigger();
    QImage png(path);
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png, form->MapBitmap.convertToFormat(png.format())); // the legend is on the page
}

// The run is held at a tenth of its nodes until the window cancels it, so the
// test sees the window in the middle of a run without depending on timing.
TEST_F(MainCalcTest, ARunCanBeCancelledAndLeavesThePreviousResult)
{
    Compute(3);
    const calc::TMatrix2D matrix = form->Result().ResultMatrix;

    std::atomic<int> calls { 0 };
    form->SetEngine([&calls](const calc::TCalcSnapshot &s, const calc::TRunControl &c) {
        ++calls;
        calc::TRunControl held = c;
        held.Threads = 1;
        held.Progress = [c](int done, int total) {
            c.Progress(done, total);
            if (done * 10 < total)
                return;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (!c.Cancel->load() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
        };
        return calc::RunComputation(s, held);
    });
    form->show();
    form->SourceRadioGroup->ClickItem(4);
    const QImage picture = form->MapBitmap;
    form->CalcButton->click();
    ASSERT_TRUE(form->IsRunning());
    // The gauge over the map takes the progress the worker reports.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Gauge->PercentDone() >= 10; }, 30000));
    EXPECT_TRUE(form->Gauge->isVisible());
    EXPECT_EQ(form->Gauge->MaxValue(), 81 * 81); // nodes
    EXPECT_GT(form->Gauge->PercentDone(), 0);
    EXPECT_FALSE(form->CalcButton->isEnabled());
    // No second run meanwhile, and the window answers the mouse.
    form->CalcButtonClick();
    EXPECT_EQ(calls.load(), 1);
    SendMouse(form->PaintBox, QEvent::MouseMove, form->MapCentre());
    EXPECT_TRUE(form->InfoLabel->text().startsWith(QStringLiteral("X = 0.0, Y = 0.0")));

    QTest::keyClick(form->SaveButton, Qt::Key_Escape);
    ASSERT_TRUE(WaitForRun());
    EXPECT_FALSE(form->Gauge->isVisible());
    EXPECT_TRUE(form->CalcButton->isEnabled());
    EXPECT_TRUE(dialogs->Messages.isEmpty());
    EXPECT_EQ(form->Result().ResultMode, TShowMode::smMinMagnitude);
    EXPECT_EQ(form->Result().ResultMatrix, matrix);
    EXPECT_TRUE(form->SaveButton->isEnabled());
    EXPECT_EQ(form->MapBitmap, picture);

    // The gauge's own button cancels too.
    form->CalcButton->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Gauge->PercentDone() >= 10; }, 30000));
    form->Gauge->CancelButton->click();
    ASSERT_TRUE(WaitForRun());
    EXPECT_EQ(calls.load(), 2);
    EXPECT_EQ(form->Result().ResultMatrix, matrix);
}

TEST_F(MainCalcTest, ClosingTheWindowDuringARunStopsIt)
{
    form->SetEngine([](const calc::TCalcSnapshot &s, const calc::TRunControl &c) {
        calc::TRunControl held = c;
        held.Progress = [c](int, int) {
            while (!c.Cancel->load())
                std::this_thread::yield();
        };
        return calc::RunComputation(s, held);
    });
    form->SourceRadioGroup->ClickItem(3);
    form->CalcButton->click();
    ASSERT_TRUE(form->IsRunning());
    form.reset(); // joins the worker instead of leaving it with a dead window
    SUCCEED();
}

} // namespace
} // namespace valdrin::app::test
