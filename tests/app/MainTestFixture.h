// Shared pieces of the main-window tests: dialogs answered from a queue, a
// window made after the locale is pinned, and the engine's own answer on the
// start-up working set to compare the window against.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QStringList>
#include <QTest>

#include <memory>
#include <optional>

#include "app/Dialogs.h"
#include "app/Main.h"
#include "app/RadioGroup.h"
#include "calc/Computation.h"
#include "calc/NetworkModel.h"
#include "controls/GridExt.h"
#include "map/Grids.h"
#include "medium/MediumModel.h"

namespace valdrin::app::test {
using namespace valdrin::params;

class TFakeDialogs : public TDialogs {
public:
    QStringList Messages;
    QStringList FileNames; // answers of the file dialogs, in order; none left: cancelled
    QStringList Filters; // filters the file dialogs were opened with
    int OpenCalls = 0;
    int SaveCalls = 0;
    QStringList Questions;
    QList<bool> Answers; // answers to the questions, in order; none left: "Да"

    void ShowMessage(QWidget *, const QString &text) override { Messages << text; }
    bool Ask(QWidget *, const QString &question) override
    {
        Questions << question;
        return Answers.isEmpty() || Answers.takeFirst();
    }
    QString OpenFileName(QWidget *, const QString &filter) override
    {
        ++OpenCalls;
        Filters << filter;
        return FileNames.isEmpty() ? QString() : FileNames.takeFirst();
    }
    QString SaveFileName(QWidget *, const QString &filter) override
    {
        ++SaveCalls;
        Filters << filter;
        return FileNames.isEmpty() ? QString() : FileNames.takeFirst();
    }
    QList<std::optional<TMapSize>> MapSizes; // answers in order; none left: the size offered
    bool AskMapSize(QWidget *, TMapSize &size) override
    {
        const std::optional<TMapSize> answer
            = MapSizes.isEmpty() ? std::optional(size) : MapSizes.takeFirst();
        if (answer)
            size = *answer;
        return answer.has_value();
    }
};

// The window's start-up working set as the engine takes it, for one mode.
inline calc::TCalcSnapshot DefaultSnapshot(calc::TShowMode mode)
{
    calc::TCalcSnapshot s;
    s.Params.Mode = mode;
    s.Stations = calc::ReadStations(
        calc::DefaultCooGrid(), calc::DefaultStrGrid(), calc::TViewPlane::vpXY, '.');
    s.PlaneGrid = map::UpdatePlaneGrid(map::TRanges {}, calc::TViewPlane::vpXY);
    s.WaveGrid = map::UpdateWaveGrid(0.005, 0.00002);
    s.Model = { medium::StartupLayer(200) };
    return s;
}

// The stations alone on a fresh page, drawn the way the window draws its map
// now (its options and size), from tables and grids read without the window.
inline QImage StationsPage(const TMainForm &form, const calc::TStationSet &stations,
    const calc::TPlaneGrid &grid, calc::TViewPlane plane = calc::TViewPlane::vpXY)
{
    map::TMapScene scene;
    scene.Plane = plane;
    scene.Stations = stations;
    scene.CooGrid = form.CooGrid->ToTable();
    scene.PlaneGrid = grid;
    return map::RenderMapImage(scene, form.MapOptions());
}

// The page pixel of a plane point given as offsets from the middle of the
// plane shown, or of node (i, j) of an nI x nJ matrix spread over it.
inline QPointF PlanePixel(const TMainForm &form, double dx, double dy)
{
    const map::TPlaneRange &r = form.MapFrame().Range();
    const auto [x, y]
        = form.MapFrame().ToPixel((r.UMin + r.UMax) / 2 + dx, (r.VMin + r.VMax) / 2 + dy);
    return { x, y };
}
inline QPointF NodePixel(const TMainForm &form, int i, int j, int nI, int nJ)
{
    const map::TRectF &p = form.MapFrame().Plot();
    return { p.X + p.W * i / (nI - 1), p.Bottom() - p.H * j / (nJ - 1) };
}

inline void SendMouse(
    QWidget *w, QEvent::Type type, QPointF pos, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseMove ? Qt::NoButton : button;
    QMouseEvent e(type, pos, w->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : button,
        buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale::c());
        MakeForm();
    }
    void TearDown() override
    {
        form.reset();
        QLocale::setDefault(QLocale::c());
    }

    void MakeForm()
    {
        form = std::make_unique<TMainForm>();
        auto d = std::make_unique<TFakeDialogs>();
        dialogs = d.get();
        form->SetDialogs(std::move(d));
    }

    bool WaitForRun() const
    {
        return QTest::qWaitFor([this] { return !form->IsRunning(); }, 120000);
    }

    // Chooses the mode and presses "Считать", then waits for the run to end.
    void Compute(int mode)
    {
        form->SourceRadioGroup->ClickItem(mode);
        QTest::mouseClick(form->CalcButton, Qt::LeftButton);
        ASSERT_TRUE(WaitForRun());
    }

    std::unique_ptr<TMainForm> form;
    TFakeDialogs *dialogs = nullptr;
};

// The same tests once with a point and once with a comma as the separator.
class MainFormLocaleTest : public MainFormTest,
                           public ::testing::WithParamInterface<QLocale::Language> {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(GetParam()));
        MakeForm();
    }
    static QString N(const char *text)
    {
        return QString::fromUtf8(text).replace(QLatin1Char('.'), QLocale().decimalPoint());
    }
};

inline std::string SeparatorName(const ::testing::TestParamInfo<QLocale::Language> &info)
{
    return info.param == QLocale::English ? "Point" : "Comma";
}

} // namespace valdrin::app::test
