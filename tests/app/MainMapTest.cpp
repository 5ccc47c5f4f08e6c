// The cursor read-outs over the map and the placement of stations by mouse,
// with a point and with a comma as the decimal separator.
#include "MainTestFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <vector>

#include "app/PaintBox.h"
#include "app/RadioGroup.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"
#include "map/qt/MapQt.h"

namespace valdrin::app::test {
namespace {

class MainMapTest : public MainFormLocaleTest {
protected:
    QString ReadOut(QPointF p)
    {
        SendMouse(form->PaintBox, QEvent::MouseMove, p);
        return form->InfoLabel->text();
    }
    void Press(QPointF p, Qt::MouseButton button = Qt::LeftButton)
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
    const QPointF c = form->MapCentre();
    EXPECT_EQ(ReadOut(c), N("X = 0.0, Y = 0.0, R = 0.00"));
    const QPointF p = PlanePixel(*form, 500, 800);
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
    const QPointF node = NodePixel(*form, 250, 251, 501, 501);
    EXPECT_EQ(ReadOut(node),
        N("Kx = 0.00000, Ky = 0.00002, C(K0-K) = ") + F("%1.3f", m[250][251]) + N(" = ")
            + F("%1.2f", 20 * std::log10(m[250][251])) + QStringLiteral(" dB"));
    form->SourceRadioGroup->ClickItem(2); // same matrix, not computed for this mode
    EXPECT_TRUE(ReadOut(node).startsWith(QStringLiteral("X = ")));

    Compute(3);
    const auto &v = form->Result().ResultMatrix;
    EXPECT_EQ(ReadOut(NodePixel(*form, 0, 0, 81, 81)),
        N("x = -2000.00000, y = -2000.00000, M(x,y) = ") + F("%1.3f", v[0][0]));
    EXPECT_EQ(ReadOut(NodePixel(*form, 80, 80, 81, 81)),
        N("x = 2000.00000, y = 2000.00000, M(x,y) = ") + F("%1.3f", v[80][80]));
    // Outside the picture nothing of the matrix is read.
    const map::TRectF &plot = form->MapFrame().Plot();
    EXPECT_TRUE(ReadOut({ plot.Right() + 10, plot.Y + 10 }).startsWith(QStringLiteral("X = ")));
    EXPECT_TRUE(ReadOut({ plot.X - 5, plot.Y + 10 }).startsWith(QStringLiteral("X = ")));
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

    for (int i = 0; i < 25; ++i) {
        SCOPED_TRACE(i);
        const int column = i % 5 - 2, row = i / 5 - 2;
        Press(PlanePixel(*form, 500 * column, 800 * row));
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
    Press(form->MapCentre());
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
    Press(PlanePixel(*form, 500, 800)); // 500 and 800 units off the centres
    EXPECT_EQ(form->CooGrid->Cells(1, 1), N("537.600000"));
    EXPECT_EQ(form->CooGrid->Cells(2, 1), N("855.700000"));
}

// The stations of the window's tables on a fresh page in a plane, read
// without the window.
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
    return StationsPage(form, calc::ReadStations(coo, form.StrGrid->ToTable(), plane, sep),
        map::UpdatePlaneGrid(r, plane), plane);
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

// The read-out, the status line and the placement go through the page's
// frame: right at any window size and in both aspect modes.
TEST_P(MainMapTest, ReadOutAndPlacementFollowTheFrameAtAnySize)
{
    Compute(3);
    const auto &v = form->Result().ResultMatrix;
    auto *aspect = form->findChild<QCheckBox *>(QStringLiteral("AspectCheckBox"));
    auto *status = form->findChild<QLabel *>(QStringLiteral("StatusLabel"));
    ASSERT_TRUE(aspect && status);
    form->show();
    std::vector<double> widths;
    for (const QSize size : { QSize(1000, 700), QSize(1500, 1050) })
        for (const bool trueProportions : { true, false }) {
            SCOPED_TRACE(testing::Message() << size.width() << " " << trueProportions);
            form->resize(size);
            aspect->setChecked(trueProportions);
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return form->MapBitmap.size() == form->PaintBox->size(); }, 5000));
            const map::TMapFrame &f = form->MapFrame();
            // The default plane is 4000 m square; the panel is not.
            EXPECT_EQ(std::fabs(f.ScaleX() / f.ScaleY() - 1) < 1e-9, trueProportions);
            widths.push_back(f.Plot().W);
            EXPECT_EQ(ReadOut(NodePixel(*form, 20, 60, 81, 81)),
                N("x = -1000.00000, y = 1000.00000, M(x,y) = ") + F("%1.3f", v[20][60]));
            EXPECT_TRUE(status->text().startsWith(N("X = -1000.0 м, Y = 1000.0 м | M = ")))
                << status->text().toStdString();
        }
    EXPECT_GT(widths[2], widths[0]); // the map grows with the window

    form->AddButton->click();
    Press(PlanePixel(*form, 700, -300));
    EXPECT_EQ(form->CooGrid->Cells(1, 1), N("700.0"));
    EXPECT_EQ(form->CooGrid->Cells(2, 1), N("-300.0"));
    // Distance and azimuth from that press: 500 m due north.
    ReadOut(PlanePixel(*form, 700, 200));
    EXPECT_TRUE(status->text().endsWith(N("R = 500.0 м, азимут 0.0°")))
        << status->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Separators, MainMapTest, ::testing::Values(QLocale::English, QLocale::Russian), SeparatorName);

} // namespace
} // namespace valdrin::app::test

namespace valdrin::app::test {
namespace {

class MainMapFileTest : public MainFormTest {
protected:
    QTemporaryDir dir;
};

TEST_F(MainMapFileTest, ExportsThePageAsPngPdfAndSvgWithTheWindowsOptions)
{
    Compute(3);
    const QString png = dir.filePath(QStringLiteral("map.png"));
    const QString pdf = dir.filePath(QStringLiteral("map.pdf"));
    const QString svg = dir.filePath(QStringLiteral("map.svg"));
    const QString cancelled = dir.filePath(QStringLiteral("none.png"));
    dialogs->FileNames << png << pdf << svg << cancelled;
    dialogs->MapSizes << TMapSize { 800, 600, 192 } << TMapSize { 1200, 900, 150 }
                      << TMapSize { 1200, 900, 96 } << std::nullopt;
    auto *menuAction = form->findChild<QAction *>(QStringLiteral("ExportMapPageAction"));
    ASSERT_TRUE(menuAction);
    form->PaintBox->ExportAction->trigger();
    menuAction->trigger();
    form->PaintBox->ExportAction->trigger();
    menuAction->trigger(); // the size dialog cancelled: nothing written
    EXPECT_TRUE(dialogs->Messages.isEmpty()) << dialogs->Messages.join(u'\n').toStdString();

    const QImage image(png);
    EXPECT_EQ(image.size(), QSize(800, 600));
    EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, 192, 0.5);
    QFile pdfFile(pdf), svgFile(svg);
    ASSERT_TRUE(pdfFile.open(QIODevice::ReadOnly) && svgFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdfFile.readAll().startsWith("%PDF"));
    const QString svgText = QString::fromUtf8(svgFile.readAll());
    EXPECT_TRUE(svgText.contains(QStringLiteral("<svg")));
    EXPECT_TRUE(svgText.contains(QStringLiteral("Минимальная магнитуда")));
    EXPECT_FALSE(QFileInfo::exists(cancelled));

    // Levels that do not read are refused and the edit shows the last good ones.
    auto *contours = form->findChild<QLineEdit *>(QStringLiteral("ContourEdit"));
    ASSERT_TRUE(contours);
    const QImage before = form->MapBitmap;
    contours->setText(QStringLiteral("1 abc"));
    emit contours->editingFinished();
    ASSERT_EQ(dialogs->Messages.size(), 1);
    EXPECT_TRUE(dialogs->Messages[0].startsWith(QStringLiteral("Изолинии: ")));
    EXPECT_EQ(contours->text(), QStringLiteral("авто"));
    EXPECT_EQ(form->MapBitmap, before);
    contours->setText(QStringLiteral("0,5 1"));
    emit contours->editingFinished();
    EXPECT_EQ(dialogs->Messages.size(), 1);
    EXPECT_NE(form->MapBitmap, before);
}

// The fixed colour range and the dB floor go into the parameter file and
// come back into their controls; the legend takes the fixed range.
TEST_F(MainMapFileTest, TheColourRangeComesBackFromAParameterFile)
{
    auto *range = form->findChild<TRadioGroup *>(QStringLiteral("RangeRadioGroup"));
    auto *lo = form->findChild<controls::TFloatSpinEdit *>(QStringLiteral("RangeMinSpinEdit"));
    auto *hi = form->findChild<controls::TFloatSpinEdit *>(QStringLiteral("RangeMaxSpinEdit"));
    auto *floor = form->findChild<controls::TFloatSpinEdit *>(QStringLiteral("DbFloorSpinEdit"));
    ASSERT_TRUE(range && lo && hi && floor);
    EXPECT_FALSE(lo->isEnabled()); // automatic at start
    range->ClickItem(1);
    lo->SetValue(-2);
    hi->SetValue(-0.5);
    floor->SetValue(-60);
    const QString path = dir.filePath(QStringLiteral("range.ini"));
    form->SaveParamFile(path);
    range->ClickItem(0);
    lo->SetValue(0);
    floor->SetValue(-40);
    form->LoadParamFile(path);
    EXPECT_TRUE(dialogs->Messages.isEmpty());
    EXPECT_EQ(range->ItemIndex(), 1);
    EXPECT_TRUE(lo->isEnabled());
    EXPECT_EQ(lo->Value(), -2);
    EXPECT_EQ(floor->Value(), -60);
    Compute(3);
    EXPECT_EQ(form->Legend().Range.Lo, -2);
    EXPECT_EQ(form->Legend().Range.Hi, -0.5);
}

} // namespace
} // namespace valdrin::app::test
