// The window as it starts, the handlers that keep its derived texts current,
// page changes and the About box.
#include "MainTestFixture.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>

#include <cmath>

#include "app/Gauge.h"
#include "app/RadioGroup.h"
#include "app/WindowPlacement.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"
#include "map/MapCore.h"

namespace valdrin::app::test {
namespace {

using controls::TFloatSpinEdit;
using controls::TSpinEdit;

QStringList Items(const TRadioGroup *g)
{
    QStringList items;
    for (int i = 0; i < g->Count(); ++i)
        items << g->Button(i)->text();
    return items;
}

QStringList Row(const controls::TStrGrid *g, int row)
{
    QStringList cells;
    for (int c = 0; c < g->ColCount(); ++c)
        cells << g->Cells(c, row);
    return cells;
}

TEST_F(MainFormTest, StartsWithItsPagesCaptionsAndChoices)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Расчет регистрационных возможностей сети"));
    ASSERT_EQ(form->PageControl->count(), 5);
    EXPECT_EQ(form->PageControl->tabText(0), QStringLiteral("Расчет"));
    EXPECT_EQ(form->PageControl->tabText(1), QStringLiteral("Параметры среды"));
    EXPECT_EQ(form->PageControl->tabText(2), QStringLiteral("Оценка уровня шума"));
    EXPECT_EQ(form->PageControl->tabText(3), QStringLiteral("Параметры расчета"));
    EXPECT_EQ(form->PageControl->tabText(4), QStringLiteral("Планирование"));
    EXPECT_EQ(form->PageControl->currentIndex(), 0);

    const std::pair<const char *, const char *> buttons[]
        = { { "CalcButton", "Считать" }, { "SaveButton", "Сохранить" }, { "AddButton", "+" },
              { "LoadParamButton", "Загрузить" }, { "SaveParamButton", "Сохранить" },
              { "SaveAsButton", "Сохранить как" }, { "AboutButton", "О программе" },
              { "XAutoButton", "Авто" }, { "YAutoButton", "Авто" }, { "ZAutoButton", "Авто" } };
    for (const auto &[name, caption] : buttons) {
        auto *b = form->findChild<QPushButton *>(QString::fromUtf8(name));
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), QString::fromUtf8(caption)) << name;
    }
    EXPECT_EQ(form->AddButton->toolTip(), QStringLiteral("Задать координаты мышкой"));
    // Two letters C: Latin in C(dK), Cyrillic in С(dF).
    EXPECT_EQ(Items(form->SourceRadioGroup),
        QStringList({ QStringLiteral("Датчики"), QStringLiteral("Функция C(dK)"),
            QStringLiteral("Функция С(dF)"), QStringLiteral("Минимальная магнитуда"),
            QStringLiteral("Ошибка локации"), QStringLiteral("Угловая частота"),
            QStringLiteral("Размер очага") }));
    EXPECT_NE(Items(form->SourceRadioGroup)[1][8], Items(form->SourceRadioGroup)[2][8]);
    EXPECT_EQ(form->SourceRadioGroup->title(), QStringLiteral("Что показывать"));
    EXPECT_EQ(Items(form->ViewRadioGroup),
        QStringList({ QStringLiteral("XY"), QStringLiteral("YZ"), QStringLiteral("XZ") }));
    EXPECT_EQ(
        Items(form->UnitRadioGroup), QStringList({ QStringLiteral("0-1"), QStringLiteral("дБ") }));
    EXPECT_EQ(Items(form->MediumRadioGroup),
        QStringList({ QStringLiteral("Однородная"), QStringLiteral("Горизонтально-слоистая") }));
    for (auto *g : { form->SourceRadioGroup, form->ViewRadioGroup, form->UnitRadioGroup,
             form->MediumRadioGroup })
        EXPECT_EQ(g->ItemIndex(), 0) << g->objectName().toStdString();

    EXPECT_EQ(form->InfoLabel->text(), QStringLiteral("X =    , Y ="));
    EXPECT_EQ(form->AlfaLabel->text(), QStringLiteral("Vp/Vs = 2"));
    EXPECT_TRUE(form->IniLabel->text().isEmpty());
    EXPECT_EQ(form->GeoCheckBox->text(), QStringLiteral("Градусы"));
    EXPECT_FALSE(form->GeoCheckBox->isChecked());
    EXPECT_EQ(form->XLabel->text(), QStringLiteral("X"));
    const std::pair<QLineEdit *, const char *> readOnly[]
        = { { form->A0WAEdit, "0.772" }, { form->A1WAEdit, "1.837" }, { form->A3WAEdit, "0.921" },
              { form->A0TMEdit, "0.980" }, { form->A1TMEdit, "2.333" }, { form->A3TMEdit, "3.153" },
              { form->A2minEdit, "0.0004548" }, { form->A2maxEdit, "0.0454792" } };
    for (const auto &[edit, text] : readOnly) {
        EXPECT_EQ(edit->text(), QString::fromUtf8(text)) << edit->objectName().toStdString();
        EXPECT_TRUE(edit->isReadOnly());
    }
    EXPECT_EQ(form->NoiseSourceGroupBox->title(), QStringLiteral("Уровень помех на станциях"));
    EXPECT_TRUE(form->NoiseByModelRadioButton->isChecked());
}

TEST_F(MainFormTest, StartsWithEveryEditAtItsDefaultRangeAndStep)
{
    struct TReal {
        const char *name;
        double value, min, max, step;
        const char *text;
        bool enabled;
    };
    const TReal reals[] = {
        { "SurfaceAltSpinEdit", 200, -10000, 10000, 1, "200", true },
        { "VpSpinEdit", 6000, 0, 100000, 1, "6000", false },
        { "VsSpinEdit", 3000, 0, 100000, 1, "3000", false },
        { "VrSpinEdit", 3000, 0, 100000, 1, "3000", false },
        { "QualitySpinEdit", 100, 0, 100000, 1, "100", false },
        { "RoSpinEdit", 2, 0, 20, 1, "2", true },
        { "B0SpinEdit", 1.5, 0.1, 10, 0.01, "1.5", true },
        { "SSpinEdit", -3.5, 0, 0, 0.01, "-3.5", true },
        { "C0SpinEdit", 3, 0, 0, 0.01, "3", true },
        { "FreqMinSpinEdit", 0.1, 0, 100000, 0.1, "0.1", true },
        { "FreqMaxSpinEdit", 10, 0, 100000, 0.1, "10", true },
        { "C1SpinEdit", 1.5, 0, 0, 1, "1.5", true },
        { "C2SpinEdit", 4.5, 0, 0, 1, "4.5", true },
        { "NoiseF1SpinEdit", 1, 0, 100000, 0.1, "1", true },
        { "NoiseF2SpinEdit", 10, 0, 100000, 0.1, "10", true },
        { "XminSpinEdit", -2000, 0, 0, 1, "-2000", true },
        { "XmaxSpinEdit", 2000, 0, 0, 1, "2000", true },
        { "dXSpinEdit", 50, 0, 0, 1, "50", true },
        { "X0SpinEdit", 0, 0, 0, 1, "0", true },
        { "YminSpinEdit", -2000, 0, 0, 1, "-2000", true },
        { "YmaxSpinEdit", 2000, 0, 0, 1, "2000", true },
        { "dYSpinEdit", 50, 0, 0, 1, "50", true },
        { "Y0SpinEdit", 0, 0, 0, 1, "0", true },
        { "ZminSpinEdit", 300, 0, 0, 1, "300", true },
        { "ZmaxSpinEdit", 500, 0, 0, 1, "500", true },
        { "dZSpinEdit", 20, 0, 0, 1, "20", true },
        { "Z0SpinEdit", 400, 0, 0, 1, "400", true },
        { "KmaxSpinEdit", 0.005, 0.001, 10, 0.001, "0.0050", true },
        { "dKSpinEdit", 0.00002, 0.0000001, 1, 0.00001, "0.00002", true },
        { "FcNumSpinEdit", 5, 0.1, 8, 1, "5", true },
    };
    for (const TReal &r : reals) {
        SCOPED_TRACE(r.name);
        auto *e = form->findChild<TFloatSpinEdit *>(QString::fromUtf8(r.name));
        ASSERT_NE(e, nullptr);
        EXPECT_DOUBLE_EQ(e->Value(), r.value);
        EXPECT_DOUBLE_EQ(e->MinValue(), r.min);
        EXPECT_DOUBLE_EQ(e->MaxValue(), r.max);
        EXPECT_DOUBLE_EQ(e->Increment(), r.step);
        EXPECT_EQ(e->Text(), QString::fromUtf8(r.text));
        EXPECT_EQ(e->isEnabled(), r.enabled);
    }
    struct TInt {
        const char *name;
        int value, min, max;
    };
    const TInt ints[] = { { "SensorsSpinEdit", 25, 1, 100 }, { "LayerCountSpinEdit", 1, 1, 100 },
        { "MinSensCountSpinEdit", 3, 0, 0 }, { "LocErrorSpinEdit", 5, 0, 50 } };
    for (const TInt &i : ints) {
        SCOPED_TRACE(i.name);
        auto *e = form->findChild<TSpinEdit *>(QString::fromUtf8(i.name));
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->Value(), i.value);
        EXPECT_EQ(e->MinValue(), i.min);
        EXPECT_EQ(e->MaxValue(), i.max);
        EXPECT_TRUE(e->isEnabled());
    }
    EXPECT_FALSE(form->SaveButton->isEnabled());
    EXPECT_FALSE(form->ModelStrGrid->isEnabled());
    EXPECT_FALSE(form->Gauge->isVisibleTo(form.get()));
    EXPECT_EQ(form->Gauge->Progress(), 0);
    for (QWidget *w : std::initializer_list<QWidget *> {
             form->NoiseByModelRadioButton, form->NoiseByFileRadioButton, form->NoiseFileEdit })
        EXPECT_FALSE(w->isEnabled());
}

TEST_F(MainFormTest, StartsWithTheDefaultTablesModelAndGrids)
{
    ASSERT_EQ(form->CooGrid->RowCount(), 26);
    ASSERT_EQ(form->StrGrid->RowCount(), 26);
    EXPECT_EQ(Row(form->CooGrid, 0),
        QStringList({ QStringLiteral("№"), QStringLiteral("X"), QStringLiteral("Y"),
            QStringLiteral("Z"), QStringLiteral("Name") }));
    EXPECT_EQ(Row(form->CooGrid, 25),
        QStringList({ QStringLiteral("24"), QStringLiteral("-778"), QStringLiteral("1173"),
            QStringLiteral("359"), QStringLiteral("ARD9") }));
    EXPECT_EQ(
        Row(form->StrGrid, 0).join(QLatin1Char(' ')), QStringLiteral("Name a0 a1 a2 a3 An SNR"));
    EXPECT_EQ(Row(form->StrGrid, 1).join(QLatin1Char(' ')),
        QStringLiteral("ARA0 1.000 1.3 0.0001 0.4 0.010 4"));
    EXPECT_EQ(Row(form->ModelStrGrid, 0).join(QLatin1Char(' ')),
        QStringLiteral("Layer H Vp Vs Vr Q Rho"));
    EXPECT_EQ(Row(form->ModelStrGrid, 1).join(QLatin1Char(' ')),
        QStringLiteral("#1 100.0 1500.0 750.0 500.0 10.0 1.80"));
    ASSERT_EQ(form->MediumModel().size(), 1u);
    EXPECT_DOUBLE_EQ(form->MediumModel()[0].Top, 200);

    EXPECT_EQ(form->PlaneGrid().NU, 81);
    EXPECT_EQ(form->PlaneGrid().NV, 81);
    EXPECT_EQ(form->WaveGrid().KCount, 250);
    EXPECT_EQ(form->MapBitmap.size(), QSize(504, 475));
    const map::TRectF &plot = form->MapFrame().Plot(); // a square plane: the plot's middle
    EXPECT_NEAR(form->MapCentre().x(), plot.X + plot.W / 2, 1e-9);
    EXPECT_NEAR(form->MapCentre().y(), plot.Y + plot.H / 2, 1e-9);
    EXPECT_EQ(form->LastClick, form->MapCentre());
    EXPECT_EQ(form->Result().ResultMode, calc::TShowMode::smStations);
    EXPECT_EQ(form->Stations().Count, 25);
}

TEST_F(MainFormTest, DrawsTheTwentyFiveStationsAtStart)
{
    const map::TMapFrame &frame = form->MapFrame();
    const calc::TStationSet &s = form->Stations();
    for (int i = 0; i < 25; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const auto [x, y] = frame.ToPixel(s.U[at], s.V[at]);
        const QPoint c(static_cast<int>(std::nearbyint(x)), static_cast<int>(std::nearbyint(y)));
        // A point of the red disc that neither label covers (a later marker may).
        int red = 0;
        for (const QPoint d : { QPoint(4, -4), QPoint(4, 4), QPoint(-5, -7), QPoint(-4, 8) })
            red += form->MapBitmap.pixel(c + d) == qRgb(255, 0, 0);
        EXPECT_GT(red, 0) << "station " << i;
    }
    // White ground inside a black frame.
    const map::TRectF &plot = frame.Plot();
    const QPoint corner(static_cast<int>(plot.X), static_cast<int>(plot.Y));
    EXPECT_EQ(form->MapBitmap.pixel(corner + QPoint(0, 20)), qRgb(0, 0, 0));
    EXPECT_EQ(form->MapBitmap.pixel(corner + QPoint(5, 5)), qRgb(255, 255, 255));
}

// Whether a column shows text whole: the width Qt would size it to for that
// text (the delegate's size hint) is no more than it has.
bool ShowsWhole(controls::TStrGrid *g, int col, const QString &text)
{
    g->SetCells(col, 1, text);
    const int needed = static_cast<const QAbstractItemView *>(g)->sizeHintForColumn(col);
    return needed <= g->columnWidth(col);
}

TEST_F(MainFormTest, TablesAndReadOutsShowTheirNumbersWhole)
{
    for (int c = 1; c <= 3; ++c)
        for (const QString &text : { QStringLiteral("-12345.6"), QStringLiteral("179.123456") })
            EXPECT_TRUE(ShowsWhole(form->CooGrid, c, text)) << c << " " << text.toStdString();
    int tableWidth = 2 * form->CooGrid->frameWidth()
        + form->CooGrid->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int c = 0; c < form->CooGrid->ColCount(); ++c)
        tableWidth += form->CooGrid->columnWidth(c);
    EXPECT_LE(tableWidth, form->CooGrid->parentWidget()->width()); // no sideways scrolling
    // An average with many digits shows its leading ones.
    form->LayerCountSpinEdit->SetValue(2);
    form->Z0SpinEdit->SetValue(-50);
    ASSERT_EQ(form->PlaneGrid().WPlane, -50);
    form->CalcAvModelButton->click();
    ASSERT_TRUE(dialogs->Messages.isEmpty());
    for (TFloatSpinEdit *e : { form->VpSpinEdit, form->VsSpinEdit }) {
        const QLineEdit *editor = e->findChild<QLineEdit *>();
        EXPECT_GT(editor->text().size(), 10) << editor->text().toStdString();
        EXPECT_EQ(editor->cursorPosition(), 0) << e->objectName().toStdString();
    }
    EXPECT_TRUE(form->VpSpinEdit->Text().startsWith(QStringLiteral("1666.66")));
    form->FreqMaxSpinEdit->SetValue(15);
    EXPECT_EQ(form->A2maxEdit->cursorPosition(), 0);
    form->B0SpinEdit->SetValue(1.1);
    EXPECT_EQ(form->A1WAEdit->cursorPosition(), 0);

    for (int c = 1; c < form->ModelStrGrid->ColCount(); ++c)
        EXPECT_TRUE(ShowsWhole(form->ModelStrGrid, c, QStringLiteral("100000.0"))) << c;
}

TEST_F(MainFormTest, EnablesVpAndVsForTheFrequencyResponseOnly)
{
    for (int mode = 0; mode < 7; ++mode) {
        form->SourceRadioGroup->ClickItem(mode);
        EXPECT_EQ(form->VpSpinEdit->isEnabled(), mode == 2) << mode;
        EXPECT_EQ(form->VsSpinEdit->isEnabled(), mode == 2) << mode;
        EXPECT_FALSE(form->VrSpinEdit->isEnabled());
        EXPECT_FALSE(form->QualitySpinEdit->isEnabled());
    }
}

TEST_F(MainFormTest, MediumChoiceEnablesTheLayerTableAndTheCountFollows)
{
    form->MediumRadioGroup->ClickItem(1);
    EXPECT_TRUE(form->ModelStrGrid->isEnabled());
    EXPECT_TRUE(form->LayerCountSpinEdit->isEnabled());
    form->MediumRadioGroup->ClickItem(0);
    EXPECT_FALSE(form->ModelStrGrid->isEnabled());
    EXPECT_FALSE(form->LayerCountSpinEdit->isEnabled());
}

TEST_F(MainFormTest, GeoCheckBoxRelabelsTheTwoHorizontalAxes)
{
    form->GeoCheckBox->click();
    EXPECT_EQ(form->XLabel->text(), QStringLiteral("Lon"));
    EXPECT_EQ(form->YLabel->text(), QStringLiteral("Lat"));
    EXPECT_EQ(form->ZLabel->text(), QStringLiteral("Z"));
    form->GeoCheckBox->click();
    EXPECT_EQ(form->XLabel->text(), QStringLiteral("X"));
    EXPECT_EQ(form->YLabel->text(), QStringLiteral("Y"));
}

TEST_F(MainFormTest, PageChangeRunsTheStationCountAgain)
{
    form->CooGrid->SetCells(4, 2, QStringLiteral("NEW1"));
    form->StrGrid->SetCells(3, 5, QString());
    form->PageControl->setCurrentIndex(1);
    EXPECT_EQ(form->StrGrid->Cells(0, 2), QStringLiteral("NEW1"));
    EXPECT_EQ(form->StrGrid->Cells(3, 5), QStringLiteral("0.0001"));
    form->CooGrid->SetCells(0, 3, QStringLiteral("x"));
    form->PageControl->setCurrentIndex(3);
    EXPECT_EQ(form->CooGrid->Cells(0, 3), QStringLiteral("2"));
}

TEST_F(MainFormTest, AutoRangesEachAxisFromTheStations)
{
    form->XAutoButton->click();
    EXPECT_EQ(form->XminSpinEdit->Value(), -1545);
    EXPECT_EQ(form->XmaxSpinEdit->Value(), 1854);
    EXPECT_EQ(form->dXSpinEdit->Value(), 309);
    EXPECT_EQ(form->X0SpinEdit->Value(), 154.5);
    form->ViewRadioGroup->ClickItem(1); // the rule follows the axis, not the plane
    form->YAutoButton->click();
    EXPECT_EQ(form->YminSpinEdit->Value(), -1788);
    EXPECT_EQ(form->dYSpinEdit->Value(), 298);
    form->ZAutoButton->click();
    EXPECT_EQ(form->ZminSpinEdit->Value(), 328);
    EXPECT_EQ(form->ZmaxSpinEdit->Value(), 416);
    EXPECT_EQ(form->dZSpinEdit->Value(), 8);
    EXPECT_EQ(form->Z0SpinEdit->Value(), 372);
    // Every edit ran the grid handler: the plane grid follows the new Y and Z.
    EXPECT_EQ(form->PlaneGrid().NU, 13);
    EXPECT_EQ(form->PlaneGrid().NV, 12);

    // In degrees X and Y take a step of the 1-2-5 series; Z stays in metres.
    form->GeoCheckBox->setChecked(true);
    form->SensorsSpinEdit->SetValue(2);
    form->CooGrid->SetCells(1, 1, QStringLiteral("30.00"));
    form->CooGrid->SetCells(2, 1, QStringLiteral("60.00"));
    form->CooGrid->SetCells(1, 2, QStringLiteral("30.23"));
    form->CooGrid->SetCells(2, 2, QStringLiteral("60.10"));
    form->XAutoButton->click();
    EXPECT_DOUBLE_EQ(form->XminSpinEdit->Value(), 30);
    EXPECT_DOUBLE_EQ(form->XmaxSpinEdit->Value(), 30.24);
    EXPECT_DOUBLE_EQ(form->dXSpinEdit->Value(), 0.02); // 0.23 wide
    form->ZAutoButton->click(); // metres: a whole step
    EXPECT_GE(form->dZSpinEdit->Value(), 1);
    EXPECT_EQ(form->dZSpinEdit->Value(), std::nearbyint(form->dZSpinEdit->Value()));
}

TEST_F(MainFormTest, AboutShowsItsTwoLinesAndChangesNothing)
{
    const QImage before = form->MapBitmap;
    form->AboutButton->click();
    form->AboutButton->click();
    ASSERT_EQ(dialogs->Messages.size(), 2);
    EXPECT_EQ(dialogs->Messages[0], QStringLiteral("Valdrin, v1.0.0\r\nДата выпуска: 15.03.2020"));
    EXPECT_EQ(dialogs->Messages[1], dialogs->Messages[0]);
    EXPECT_EQ(form->MapBitmap, before);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Расчет регистрационных возможностей сети"));
}

// A count typed digit by digit must not cut the tables at its first digit.
TEST_F(MainFormTest, TypedStationCountAppliesWhenTheEditIsLeft)
{
    form->SensorsSpinEdit->selectAll();
    QTest::keyClicks(form->SensorsSpinEdit, QStringLiteral("30"));
    EXPECT_EQ(form->SensorsSpinEdit->Text(), QStringLiteral("30"));
    EXPECT_EQ(form->CooGrid->RowCount(), 26);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(form->SensorsSpinEdit, &out);
    ASSERT_EQ(form->CooGrid->RowCount(), 31);
    EXPECT_EQ(form->CooGrid->Cells(4, 25), QStringLiteral("ARD9"));
    EXPECT_EQ(form->StrGrid->Cells(1, 30), QStringLiteral("1"));
    // Stepping applies at once.
    QTest::keyClick(form->SensorsSpinEdit, Qt::Key_Down);
    EXPECT_EQ(form->CooGrid->RowCount(), 30);
}

class MainMediumLocaleTest : public MainFormLocaleTest { };

TEST_P(MainMediumLocaleTest, ReadOutsFollowTheirEdits)
{
    form->SSpinEdit->SetValue(-4);
    EXPECT_EQ(form->A1WAEdit->text(), N("2.100"));
    EXPECT_EQ(form->A1TMEdit->text(), N("2.667"));
    EXPECT_EQ(form->A0WAEdit->text(), N("0.772")); // S alone moves a1 only
    form->C0SpinEdit->SetValue(2);
    EXPECT_EQ(form->A3TMEdit->text(), N("3.820"));
    EXPECT_EQ(form->A1TMEdit->text(), N("2.667"));

    form->FreqMinSpinEdit->SetValue(0);
    EXPECT_EQ(form->A2minEdit->text(), N("0.0000000"));
    EXPECT_EQ(form->A2maxEdit->text(), N("0.0454792"));
    form->VsSpinEdit->SetValue(2000);
    EXPECT_EQ(form->AlfaLabel->text(), N("Vp/Vs = 3.000"));
    form->VsSpinEdit->SetValue(0); // no ratio, no a2: no number is made up
    EXPECT_EQ(form->AlfaLabel->text(), QStringLiteral("Vp/Vs = —"));
    EXPECT_EQ(form->A2maxEdit->text(), QStringLiteral("—"));
}

TEST_P(MainMediumLocaleTest, LayerCountDerivesRowsAndAveragingWritesTheFields)
{
    form->LayerCountSpinEdit->SetValue(2);
    ASSERT_EQ(form->ModelStrGrid->RowCount(), 3);
    QStringList row2;
    for (int c = 0; c < 7; ++c)
        row2 << form->ModelStrGrid->Cells(c, 2);
    EXPECT_EQ(row2.join(QLatin1Char(' ')), N("#2 200.0 1800.0 1040.5 743.2 20.0 1.98"));
    EXPECT_EQ(form->MediumModel().size(), 2u);

    // The source plane (Z0 = 400) lies above the surface: the first layer's own values.
    form->CalcAvModelButton->click();
    EXPECT_TRUE(dialogs->Messages.isEmpty());
    EXPECT_DOUBLE_EQ(form->VpSpinEdit->Value(), 1500);
    EXPECT_DOUBLE_EQ(form->VsSpinEdit->Value(), 750);
    EXPECT_DOUBLE_EQ(form->VrSpinEdit->Value(), 500);
    EXPECT_NEAR(form->QualitySpinEdit->Value(), 10, 1e-9);
    EXPECT_DOUBLE_EQ(form->RoSpinEdit->Value(), 1.8);
    EXPECT_EQ(form->AlfaLabel->text(), N("Vp/Vs = 2.000"));

    form->ModelStrGrid->SetCells(2, 2, QStringLiteral("x"));
    form->VpSpinEdit->SetValue(6000);
    form->CalcAvModelButton->click();
    ASSERT_EQ(dialogs->Messages.size(), 2);
    EXPECT_EQ(dialogs->Messages[0],
        QStringLiteral("Ошибка в параметрах модели! (слой №2, столбец Vp: «x»)"));
    EXPECT_TRUE(dialogs->Messages[1].startsWith(QStringLiteral("Ошибка в модели среды!")));
    EXPECT_DOUBLE_EQ(form->VpSpinEdit->Value(), 6000);
}

INSTANTIATE_TEST_SUITE_P(Separators, MainMediumLocaleTest,
    ::testing::Values(QLocale::English, QLocale::Russian), SeparatorName);

} // namespace
} // namespace valdrin::app::test

TEST(QtFileFilter, PipeFiltersBecomeQtFiltersAndAllFilesShowsEveryName)
{
    using valdrin::app::QtFileFilter;
    EXPECT_EQ(QtFileFilter(QStringLiteral("INI|*.ini|Все файлы|*.*")),
        QStringLiteral("INI (*.ini);;Все файлы (*)"));
    EXPECT_EQ(QtFileFilter(QStringLiteral("*.dat|*.dat|Все файлы|*.*")),
        QStringLiteral("*.dat (*.dat);;Все файлы (*)"));
    EXPECT_EQ(QtFileFilter(QStringLiteral("A|*.a;*.b")), QStringLiteral("A (*.a *.b)"));
}

namespace valdrin::app::test {

// A window placed partly off the screen comes back whole, as far as its
// least size allows.
TEST_F(MainFormTest, AShownWindowIsKeptOnItsScreen)
{
    const QRect area = form->screen()->availableGeometry();
    form->show();
    form->move(area.right() - 50, area.bottom() - 50);
    KeepOnScreen(*form);
    const QRect frame = form->frameGeometry();
    EXPECT_GE(frame.left(), area.left());
    EXPECT_GE(frame.top(), area.top());
    if (form->minimumSizeHint().width() <= area.width()) {
        EXPECT_LE(frame.right(), area.right());
    }
}

} // namespace valdrin::app::test
