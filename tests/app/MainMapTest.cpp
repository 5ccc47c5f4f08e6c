// The cursor read-outs over the map and the placement of stations by mouse,
// with a point and with a comma as the decimal separator.
#include "MainTestFixture.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>

#include <cstdio>

#include "app/PaintBox.h"
#include "app/RadioGroup.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"
#include "map/qt/MapQt.h"

namespace valdrin::app::test {
namespace {

class MainMapTest : public MainFormLocaleTest {
protected:
    QString ReadOut(QPoint p)
    {
        SendMouse(form->PaintBox, QEvent::MouseMove, p);
        return form->InfoLabel->text();
    }
    void Press(QPoint p, Qt::MouseButton button = Qt::LeftButton)
    {
        SendMouse(form->PaintBox, QEvent::MouseButtonPress, p, button);
    }
    // A printf-style number in the current separator.
    static QString F(const char *format, double v)
    {
        char buf[64];
        std::snprintf(buf, sizeof buf, format, v);
        return N(buf);
    }
};

TEST_P(MainMapTest, PlaneReadOutMeasuresFromTheLastPress)
{
    const QPoint c = form->MapCentre();
    EXPECT_EQ(ReadOut(c), N("X = 0.0, Y = 0.0, R = 0.00"));
    // 0.126 pixels per metre across, 0.11875 up.
    const QPoint p = c + QPoint(63, -95);
    EXPECT_EQ(ReadOut(p), N("X = 500.0, Y = 800.0, R = 943.40"));
    Press(p, Qt::RightButton); // any button moves the origin of R
    EXPECT_EQ(form->LastClick, p);
    EXPECT_EQ(ReadOut(p), N("X = 500.0, Y = 800.0, R = 0.00"));
    EXPECT_EQ(ReadOut(c), N("X = 0.0, Y = 0.0, R = 943.40"));
}

TEST_P(MainMapTest, ResponseAndNodeReadOutsShowTheValueUnderTheCursor)
{
    Compute(1);
    const auto &m = form->Result().ResultMatrix;
    // Pixel (252, 237): i = rnd(252/504*500) = 250, j = rnd(238/475*500) = 251.
    EXPECT_EQ(ReadOut({ 252, 237 }),
        N("Kx = 0.00000, Ky = 0.00002, C(K0-K) = ") + F("%1.3f", m[250][251]) + N(" = ")
            + F("%1.2f", 20 * std::log10(m[250][251])) + QStringLiteral(" dB"));
    form->SourceRadioGroup->ClickItem(2); // same matrix, not computed for this mode
    EXPECT_TRUE(ReadOut({ 252, 237 }).startsWith(QStringLiteral("X = ")));

    Compute(3);
    const auto &v = form->Result().ResultMatrix;
    EXPECT_EQ(ReadOut({ 0, 474 }),
        N("x = -2000.00000, y = -2000.00000, M(x,y) = ") + F("%1.3f", v[0][0]));
    EXPECT_EQ(ReadOut({ 503, 0 }),
        N("x = 2000.00000, y = 2000.00000, M(x,y) = ") + F("%1.3f", v[80][80]));
    // Outside the picture nothing of the matrix is read.
    EXPECT_TRUE(ReadOut({ 600, 100 }).startsWith(QStringLiteral("X = ")));
    EXPECT_TRUE(ReadOut({ -5, 100 }).startsWith(QStringLiteral("X = ")));
}

TEST_P(MainMapTest, PlacesTheStationsOneByOneWithTheCaptionCountdown)
{
    const QString title = form->windowTitle();
    form->AddButton->click();
    EXPECT_FALSE(form->AddButton->isEnabled());
    EXPECT_EQ(form->PaintBox->cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Осталось выбрать точек: 25"));
    EXPECT_TRUE(form->CooGrid->Cells(1, 1).isEmpty());
    EXPECT_TRUE(form->CooGrid->Cells(4, 25).isEmpty());
    EXPECT_EQ(form->CooGrid->Cells(0, 25), QStringLiteral("24"));
    EXPECT_EQ(form->StrGrid->Cells(1, 1), N("1.000")); // the attenuation table stays

    const QPoint c = form->MapCentre();
    for (int i = 0; i < 25; ++i) {
        SCOPED_TRACE(i);
        Press(c + QPoint(63 * (i % 5 - 2), -95 * (i / 5 - 2)));
        if (i < 24) {
            EXPECT_EQ(
                form->windowTitle(), QStringLiteral("Осталось выбрать точек: %1").arg(24 - i));
        }
    }
    EXPECT_EQ(form->windowTitle(), title);
    EXPECT_TRUE(form->AddButton->isEnabled());
    EXPECT_FALSE(form->PaintBox->testAttribute(Qt::WA_SetCursor));
    EXPECT_EQ(form->AddButton->toolTip(), QStringLiteral("Задать координаты мышкой"));

    // Row 1: the lower left press; row 13: the centre.
    EXPECT_EQ(form->CooGrid->Cells(1, 1), N("-1000.0"));
    EXPECT_EQ(form->CooGrid->Cells(2, 1), N("-1600.0"));
    EXPECT_EQ(form->CooGrid->Cells(1, 13), N("0.0"));
    EXPECT_EQ(form->CooGrid->Cells(2, 13), N("0.0"));
    EXPECT_EQ(form->CooGrid->Cells(3, 13), QStringLiteral("0"));
    EXPECT_EQ(form->CooGrid->Cells(4, 1), QStringLiteral("s00"));
    EXPECT_EQ(form->CooGrid->Cells(4, 25), QStringLiteral("s24"));

    // A further press only moves the origin of R; the placed network computes.
    Press(c);
    EXPECT_EQ(form->CooGrid->Cells(1, 13), N("0.0"));
    Compute(4);
    EXPECT_TRUE(dialogs->Messages.isEmpty());
    EXPECT_EQ(form->Stations().Count, 25);
}

TEST_P(MainMapTest, PlacementEndsWhenTheCountShrinksBeneathIt)
{
    form->AddButton->click();
    Press(form->MapCentre());
    form->SensorsSpinEdit->SetValue(1);
    Press(form->MapCentre());
    EXPECT_TRUE(form->AddButton->isEnabled());
    EXPECT_EQ(form->CooGrid->Cells(0, 0), QStringLiteral("№")); // the header row stays
}

TEST_P(MainMapTest, PlacementInDegreesWritesSixDecimals)
{
    form->GeoCheckBox->setChecked(true);
    form->X0SpinEdit->SetValue(37.6);
    form->Y0SpinEdit->SetValue(55.7);
    form->AddButton->click();
    Press(form->MapCentre() + QPoint(63, -95)); // 500 and 800 units off the centres
    EXPECT_EQ(form->CooGrid->Cells(1, 1), N("537.600000"));
    EXPECT_EQ(form->CooGrid->Cells(2, 1), N("855.700000"));
}

// The stations of the window's tables drawn on a fresh background in a plane,
// read without the window.
QImage StationsIn(const TMainForm &form, calc::TViewPlane plane)
{
    map::TRanges r;
    r.X = { form.XminSpinEdit->Value(), form.XmaxSpinEdit->Value(), form.dXSpinEdit->Value(),
        form.X0SpinEdit->Value() };
    r.Y = { form.YminSpinEdit->Value(), form.YmaxSpinEdit->Value(), form.dYSpinEdit->Value(),
        form.Y0SpinEdit->Value() };
    r.Z = { form.ZminSpinEdit->Value(), form.ZmaxSpinEdit->Value(), form.dZSpinEdit->Value(),
        form.Z0SpinEdit->Value() };
    const char sep = QLocale().decimalPoint().at(0).toLatin1();
    const common::TCellTable coo = form.CooGrid->ToTable();
    QImage img = map::NewMapBitmap(TMainForm::kMapWidth, TMainForm::kMapHeight);
    map::TMapGeometry g(TMainForm::kMapWidth, TMainForm::kMapHeight);
    map::DrawStations(img, g, calc::ReadStations(coo, form.StrGrid->ToTable(), plane, sep), coo,
        map::UpdatePlaneGrid(r, plane), false);
    return img;
}

TEST_P(MainMapTest, MarkersFollowThePlaneAndEditedOrPastedCoordinates)
{
    using enum calc::TViewPlane;
    const QImage xy = form->MapBitmap;
    ASSERT_EQ(xy, StationsIn(*form, vpXY));
    form->ViewRadioGroup->ClickItem(1);
    EXPECT_EQ(form->MapBitmap, StationsIn(*form, vpYZ));
    EXPECT_NE(form->MapBitmap, xy);
    form->ViewRadioGroup->ClickItem(0);
    EXPECT_EQ(form->MapBitmap, xy);

    form->CooGrid->SetEditText(1, 1, QStringLiteral("1500"));
    QCoreApplication::processEvents();
    const QImage typed = form->MapBitmap;
    EXPECT_NE(typed, xy);
    EXPECT_EQ(typed, StationsIn(*form, vpXY));

    QApplication::clipboard()->setText(QStringLiteral("-1500\t-1500\n1500\t-1500"));
    form->CooGrid->setCurrentCell(2, 1);
    form->CooGrid->PasteFromClipboard();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->CooGrid->Cells(2, 3), QStringLiteral("-1500"));
    EXPECT_NE(form->MapBitmap, typed);
    EXPECT_EQ(form->MapBitmap, StationsIn(*form, vpXY));
}

INSTANTIATE_TEST_SUITE_P(
    Separators, MainMapTest, ::testing::Values(QLocale::English, QLocale::Russian), SeparatorName);

} // namespace
} // namespace valdrin::app::test
