#include <gtest/gtest.h>

#include <QChart>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QLocale>
#include <QLogValueAxis>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <numbers>
#include <thread>

#include "MainTestFixture.h"
#include "app/NoisePage.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"
#include "formats/Stations.h"
#include "noise/NoiseLevel.h"

using valdrin::app::TNoisePage;
namespace noise = valdrin::noise;

namespace {

const QString kFixture = QString::fromStdString(
    (std::filesystem::path(__FILE__).parent_path().parent_path() / "noise/data/station_psd.dat")
        .string());

noise::TChartPoints Points(const QLineSeries *s)
{
    noise::TChartPoints pts;
    for (const QPointF &p : s->points())
        pts.push_back({ p.x(), p.y() });
    return pts;
}

class NoisePageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale::c());
        ASSERT_TRUE(dir.isValid());
        page = std::make_unique<TNoisePage>();
        page->ShowMessage = [this](const QString &text) { messages << text; };
        page->ChooseFileName = [this] { return chosen; };
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    QString write(const char *name, const QByteArray &text)
    {
        QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }

    // "Открыть" with the dialog answering path; waits for the load to end.
    bool open(const QString &path)
    {
        chosen = path;
        page->NoiseLoadBitBtn->click();
        return waitLoaded();
    }
    bool waitLoaded()
    {
        if (!page->IsLoading())
            return true;
        QSignalSpy spy(page.get(), &TNoisePage::loadFinished);
        return spy.wait(10000);
    }
    QAbstractAxis *axis(Qt::Orientation o) const
    {
        const auto axes = page->Chart->axes(o);
        return axes.isEmpty() ? nullptr : axes.first();
    }

    QTemporaryDir dir;
    std::unique_ptr<TNoisePage> page;
    QStringList messages;
    QString chosen;
};

} // namespace

TEST_F(NoisePageTest, ControlsChartAndDefaults)
{
    for (const char *name : { "NoiseLoadBitBtn", "ColomnComBox", "LogXCheckBox", "LogYCheckBox",
             "NoiseF1SpinEdit", "NoiseF2SpinEdit", "NoiseCalcButton", "NoiseLabel" })
        EXPECT_TRUE(page->findChild<QWidget *>(QString::fromLatin1(name))) << name;
    EXPECT_EQ(page->NoiseLoadBitBtn->text(), QStringLiteral("Открыть"));
    EXPECT_FALSE(page->NoiseLoadBitBtn->icon().isNull());
    EXPECT_TRUE(page->LogXCheckBox->isChecked());
    EXPECT_TRUE(page->LogYCheckBox->isChecked());
    EXPECT_EQ(page->NoiseF1SpinEdit->Value(), 1);
    EXPECT_EQ(page->NoiseF2SpinEdit->Value(), 10);
    EXPECT_EQ(page->NoiseF1SpinEdit->MaxValue(), 100000);
    EXPECT_EQ(page->NoiseF2SpinEdit->Increment(), 0.1);
    EXPECT_EQ(page->NoiseCalcButton->text(), QStringLiteral("Рассчитать ср. уровень шумов"));
    EXPECT_EQ(page->NoiseLabel->text(), QStringLiteral("Смещение, мм:"));
    EXPECT_EQ(page->ColomnComBox->ItemIndex(), -1);

    EXPECT_TRUE(page->Chart->title().isEmpty());
    EXPECT_EQ(page->Chart->legend()->alignment(), Qt::AlignTop);
    const auto series = page->Chart->series();
    ASSERT_EQ(series.size(), 3);
    EXPECT_EQ(series[0]->name(), QStringLiteral("NHNM"));
    EXPECT_EQ(series[1]->name(), QStringLiteral("NLNM"));
    EXPECT_EQ(series[2]->name(), QStringLiteral("Spectrum"));
    EXPECT_EQ(page->SeriesNLNM->pen().color(), QColor(Qt::gray));
    EXPECT_EQ(page->SeriesNHNM->pen().width(), 2);
    EXPECT_EQ(page->SeriesSpc->pen().color(), QColor(Qt::red));
    // Empty until a file is opened.
    for (auto *s : { page->SeriesNHNM, page->SeriesNLNM, page->SeriesSpc })
        EXPECT_EQ(s->count(), 0);

    auto *x = qobject_cast<QLogValueAxis *>(axis(Qt::Horizontal));
    auto *y = qobject_cast<QLogValueAxis *>(axis(Qt::Vertical));
    ASSERT_TRUE(x && y);
    EXPECT_EQ(x->titleText(), QStringLiteral("Частота, Гц"));
    EXPECT_EQ(y->titleText(), QStringLiteral("Мощность, м^2/Гц"));
    EXPECT_EQ(x->minorTickCount(), 8);
    EXPECT_EQ(page->Splitter->count(), 2);
}

TEST_F(NoisePageTest, OpenDrawsTheFirstColumnBetweenTheModels)
{
    ASSERT_TRUE(open(kFixture));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(page->NoiseLoadBitBtn->toolTip(), kFixture);
    ASSERT_EQ(page->ColomnComBox->count(), 3);
    EXPECT_EQ(page->ColomnComBox->itemText(0), QStringLiteral("Z"));
    EXPECT_EQ(page->ColomnComBox->itemText(2), QStringLiteral("E"));
    EXPECT_EQ(page->ColomnComBox->ItemIndex(), 0);
    EXPECT_EQ(page->SeriesSpc->name(), QStringLiteral("Z"));
    EXPECT_EQ(page->SeriesNHNM->count(), 13);
    EXPECT_EQ(page->SeriesNLNM->count(), 22);

    // The DC row of the file is not drawn; the rest is, in ascending frequency.
    const auto shown = Points(page->SeriesSpc);
    ASSERT_EQ(shown.size(), 160u);
    EXPECT_DOUBLE_EQ(shown.front().X, 0.01);
    for (std::size_t i = 1; i < shown.size(); ++i)
        ASSERT_LT(shown[i - 1].X, shown[i].X);
    // The frequency axis spans the spectrum.
    auto *x = qobject_cast<QLogValueAxis *>(axis(Qt::Horizontal));
    ASSERT_TRUE(x);
    EXPECT_DOUBLE_EQ(x->min(), 0.01);
    EXPECT_DOUBLE_EQ(x->max(), 20);
    EXPECT_TRUE(page->NoiseLoadBitBtn->isEnabled());
    EXPECT_TRUE(page->ColomnComBox->isEnabled());
}

TEST_F(NoisePageTest, ChoosingAColumnRedrawsTheSpectrum)
{
    ASSERT_TRUE(open(kFixture));
    QTest::keyClick(page->ColomnComBox, Qt::Key_Down);
    EXPECT_EQ(page->ColomnComBox->ItemIndex(), 1);
    EXPECT_EQ(page->SeriesSpc->name(), QStringLiteral("N"));
    noise::TNoiseSpectrum spectrum { page->SpecNames(), page->SpecFreq(), page->SpecData() };
    const auto expected = noise::SpectrumColumnPoints(spectrum, 1, true);
    const auto shown = Points(page->SeriesSpc);
    ASSERT_EQ(shown.size(), expected.size());
    EXPECT_EQ(shown.back().Y, expected.back().Y);
}

TEST_F(NoisePageTest, AxesSwitchBetweenLogarithmicAndLinear)
{
    ASSERT_TRUE(open(kFixture));
    page->LogXCheckBox->click();
    auto *linX = qobject_cast<QValueAxis *>(axis(Qt::Horizontal));
    ASSERT_TRUE(linX);
    EXPECT_EQ(linX->minorTickCount(), 9);
    EXPECT_EQ(linX->titleText(), QStringLiteral("Частота, Гц"));
    for (auto *s : { page->SeriesNHNM, page->SeriesNLNM, page->SeriesSpc })
        EXPECT_TRUE(s->attachedAxes().contains(linX));
    page->LogXCheckBox->click();
    auto *logX = qobject_cast<QLogValueAxis *>(axis(Qt::Horizontal));
    ASSERT_TRUE(logX);
    EXPECT_EQ(logX->minorTickCount(), 8);
    EXPECT_EQ(page->Chart->axes(Qt::Horizontal).size(), 1);

    page->LogYCheckBox->click();
    auto *linY = qobject_cast<QValueAxis *>(axis(Qt::Vertical));
    ASSERT_TRUE(linY);
    EXPECT_EQ(linY->minorTickCount(), 9);
    EXPECT_EQ(linY->titleText(), QStringLiteral("Мощность, м^2/Гц"));
    page->LogYCheckBox->click();
    EXPECT_TRUE(qobject_cast<QLogValueAxis *>(axis(Qt::Vertical)));
}

TEST_F(NoisePageTest, TheYFilterHoldsUntilAColumnIsChosenAgain)
{
    const QString path
        = write("gaps.dat", "f Z N\n0.5 9 1\n1 1e-14 1\n2 0 1\n3 -1e-12 1\n4 1e-14 1\n");
    ASSERT_TRUE(open(path));
    EXPECT_EQ(page->SeriesSpc->count(), 2);
    page->LogYCheckBox->click(); // linear now, series not refilled
    EXPECT_EQ(page->SeriesSpc->count(), 2);
    QTest::keyClick(page->ColomnComBox, Qt::Key_Down);
    QTest::keyClick(page->ColomnComBox, Qt::Key_Up); // Z chosen again
    EXPECT_EQ(page->SeriesSpc->name(), QStringLiteral("Z"));
    EXPECT_EQ(page->SeriesSpc->count(), 4);
    page->LogYCheckBox->click(); // back to a log axis with values <= 0 on it
    EXPECT_EQ(page->SeriesSpc->count(), 4);
    page->NoiseCalcButton->click(); // the negative row outweighs the rest
    EXPECT_EQ(page->NoiseLabel->text(), QStringLiteral("Смещение, мм:\r\nнет значения"));
}

TEST_F(NoisePageTest, ComputeShowsTheBandLevelInTheLocalesSeparator)
{
    page->NoiseCalcButton->click();
    EXPECT_EQ(page->NoiseLabel->text(), QStringLiteral("Смещение, мм:\r\nнет значения"));

    ASSERT_TRUE(open(kFixture));
    page->NoiseCalcButton->click();
    const auto level = noise::NoiseBandLevel(Points(page->SeriesSpc), 1, 10);
    ASSERT_TRUE(level);
    EXPECT_EQ(page->NoiseLabel->text().toStdString(), noise::NoiseLevelText(level, '.'));

    QLocale::setDefault(QLocale(QLocale::Russian));
    page->NoiseF1SpinEdit->SetValue(0.5);
    page->NoiseF2SpinEdit->SetValue(2.5);
    EXPECT_EQ(page->NoiseF1SpinEdit->Text(), QStringLiteral("0,5"));
    page->NoiseCalcButton->click();
    const auto band = noise::NoiseBandLevel(Points(page->SeriesSpc), 0.5, 2.5);
    ASSERT_TRUE(band);
    const QString text = page->NoiseLabel->text();
    EXPECT_EQ(text.toStdString(), noise::NoiseLevelText(band, ','));
    EXPECT_TRUE(text.contains(QStringLiteral(" (WA)\r\n"))) << text.toStdString();
    EXPECT_NE(band->TrueMm, level->TrueMm);
}

TEST_F(NoisePageTest, AMissingFileIsReportedAndTheModelsAreDrawn)
{
    ASSERT_TRUE(open(kFixture));
    const int shown = page->SeriesSpc->count();
    const QString missing = dir.filePath(QStringLiteral("nothing.dat"));
    ASSERT_TRUE(open(missing));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QStringLiteral("Файл ") + missing + QStringLiteral(" не найден"));
    EXPECT_EQ(page->ColomnComBox->count(), 0);
    EXPECT_EQ(page->ColomnComBox->ItemIndex(), -1);
    EXPECT_TRUE(page->SpecFreq().empty());
    EXPECT_EQ(page->SeriesNHNM->count(), 13);
    EXPECT_EQ(page->SeriesSpc->count(), shown); // nothing to select: the spectrum stays
}

TEST_F(NoisePageTest, BadInputKeepsTheRowsReadAndTheChart)
{
    ASSERT_TRUE(open(kFixture));
    const int shown = page->SeriesSpc->count();
    const QString bad = write("bad.dat", "f A B\n1 2 3\n2 3 4\n3 4,5 6\n4 5 6\n");
    ASSERT_TRUE(open(bad));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(bad)) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("строка 4"))) << messages[0].toStdString();
    EXPECT_EQ(page->SpecFreq(), (std::vector<double> { 1, 2 }));
    // The list names what was read, with nothing chosen; the chart is as it was.
    ASSERT_EQ(page->ColomnComBox->count(), 2);
    EXPECT_EQ(page->ColomnComBox->itemText(0), QStringLiteral("A"));
    EXPECT_EQ(page->ColomnComBox->ItemIndex(), -1);
    EXPECT_EQ(page->SeriesSpc->name(), QStringLiteral("Z"));
    EXPECT_EQ(page->SeriesSpc->count(), shown);
    QTest::keyClick(page->ColomnComBox, Qt::Key_Down);
    EXPECT_EQ(page->SeriesSpc->name(), QStringLiteral("A"));
    EXPECT_EQ(page->SeriesSpc->count(), 1);
}

TEST_F(NoisePageTest, APipeIsRefusedAndTheButtonComesBack)
{
    const QString pipe = dir.filePath(QStringLiteral("pipe.dat"));
    ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    // A late writer lets a load that opened the pipe go on to its end.
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::close(::open(pipe.toLocal8Bit().constData(), O_RDWR));
    });
    const bool loaded = open(pipe);
    writer.join();
    ASSERT_TRUE(loaded);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QStringLiteral("Файл %1 не является обычным файлом").arg(pipe));
    EXPECT_TRUE(page->NoiseLoadBitBtn->isEnabled());
}

TEST_F(NoisePageTest, NothingReadsTheArraysWhileALoadRuns)
{
    ASSERT_TRUE(open(kFixture));
    QByteArray big = "f X Y\n";
    for (int r = 1; r <= 50000; ++r)
        big += QByteArray::number(r * 0.001) + " 1e-15 2e-15\n";
    const QString path = write("big.dat", big);

    page->OpenNoiseFile(path);
    EXPECT_TRUE(page->IsLoading());
    EXPECT_FALSE(page->NoiseLoadBitBtn->isEnabled());
    EXPECT_FALSE(page->ColomnComBox->isEnabled());
    // The previous file stays whole until the new one is complete.
    EXPECT_EQ(page->SpecNames(), (noise::TChanLongNames { "Z", "N", "E" }));
    EXPECT_EQ(page->SpecFreq().size(), 161u);
    page->ShowSpectrumColumn(2);
    page->NoiseCalcButton->click();
    ASSERT_TRUE(waitLoaded());
    EXPECT_EQ(page->SpecNames(), (noise::TChanLongNames { "X", "Y" }));
    EXPECT_EQ(page->SpecFreq().size(), 50000u);
    EXPECT_EQ(page->SeriesSpc->name(), QStringLiteral("X"));
    EXPECT_TRUE(page->NoiseLoadBitBtn->isEnabled());

    // A second load given before the first ends replaces it.
    QSignalSpy finished(page.get(), &TNoisePage::loadFinished);
    page->OpenNoiseFile(path);
    page->OpenNoiseFile(kFixture);
    ASSERT_TRUE(finished.wait(10000));
    QTest::qWait(50);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(page->SpecNames(), (noise::TChanLongNames { "Z", "N", "E" }));

    // Closing the page during a load neither hangs nor crashes.
    page->OpenNoiseFile(path);
    page.reset();
}

TEST_F(NoisePageTest, ACancelledDialogLoadsNothing)
{
    chosen.clear();
    page->NoiseLoadBitBtn->click();
    EXPECT_FALSE(page->IsLoading());
    EXPECT_EQ(page->SeriesNHNM->count(), 0);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(NoisePageTest, ColumnNamesInTheWindowsCodePage)
{
    // "Верт" in Windows-1251, then a UTF-8 "Сев".
    const QString path
        = write("cp1251.dat", "f \xC2\xE5\xF0\xF2 \xD0\xA1\xD0\xB5\xD0\xB2\n0 1 1\n1 1 1\n2 1 1\n");
    ASSERT_TRUE(open(path));
    ASSERT_EQ(page->ColomnComBox->count(), 2);
    EXPECT_EQ(page->ColomnComBox->itemText(0), QStringLiteral("Верт"));
    EXPECT_EQ(page->ColomnComBox->itemText(1), QStringLiteral("Сев"));
    EXPECT_EQ(page->SeriesSpc->name(), QStringLiteral("Верт"));
}

TEST_F(NoisePageTest, TheUnitComesFromTheHeaderAndTheUsersChoiceReadsTheFileAgain)
{
    // MUSTANG noise-psd text: dB re 1 (m/s^2)^2/Hz against frequency.
    const QString db = write("psd.txt",
        "# SNCL: KZ.ABK.00.BHZ\n# frequency, power\n0.5, -140\n2, -130\n1, -135\n8, -120\n");
    ASSERT_TRUE(open(db));
    EXPECT_EQ(page->UnitComBox->ItemIndex(), 1);
    EXPECT_EQ(page->UnitComBox->currentText(), QStringLiteral("дБ (м/с²)²/Гц"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    const std::vector<double> freq { 0, 0.5, 1, 2, 8 }; // row 0: the row never drawn
    ASSERT_EQ(page->SpecFreq(), freq);
    const double w = 2 * std::numbers::pi * 2;
    EXPECT_NEAR(page->SpecData()[0][3], std::pow(10.0, -13.0) / (w * w), 1e-27);
    const auto shown = page->SpecData();

    // Read as velocity power the file is refused; as dB it reads as before.
    QTest::keyClick(page->UnitComBox, Qt::Key_Up);
    ASSERT_TRUE(waitLoaded());
    EXPECT_EQ(page->UnitComBox->ItemIndex(), 0);
    EXPECT_EQ(messages.size(), 1);
    QTest::keyClick(page->UnitComBox, Qt::Key_Down);
    ASSERT_TRUE(waitLoaded());
    EXPECT_EQ(page->SpecData(), shown);

    ASSERT_TRUE(open(kFixture));
    EXPECT_EQ(page->UnitComBox->ItemIndex(), 0);
    EXPECT_EQ(page->SpecNames().size(), 3u);
}

TEST_F(NoisePageTest, AnHandsTheBandLevelToTheChosenStation)
{
    QStringList names { QStringLiteral("ARA0"), QString(), QStringLiteral("Б-2") };
    page->StationNames = [&names] { return names; };
    QSignalSpy anChosen(page.get(), &TNoisePage::stationAnChosen);
    page->AnButton->click();
    EXPECT_FALSE(page->AnButton->isEnabled()); // nothing computed yet
    EXPECT_EQ(anChosen.count(), 0);

    ASSERT_TRUE(open(kFixture));
    QLocale::setDefault(QLocale(QLocale::Russian));
    page->NoiseCalcButton->click();
    ASSERT_EQ(page->AnStationComBox->count(), 3);
    EXPECT_EQ(page->AnStationComBox->itemText(1), QStringLiteral("№ 1"));
    QTest::keyClick(page->AnStationComBox, Qt::Key_Down);
    QTest::keyClick(page->AnStationComBox, Qt::Key_Down);
    ASSERT_TRUE(page->AnButton->isEnabled());
    page->AnButton->click();
    ASSERT_EQ(anChosen.count(), 1);
    const auto level = noise::NoiseBandLevel(Points(page->SeriesSpc), 1, 10);
    ASSERT_TRUE(level);
    EXPECT_EQ(anChosen.at(0).at(0).toInt(), 3);
    const QString an = anChosen.at(0).at(1).toString();
    EXPECT_EQ(an.toStdString(), valdrin::formats::AnCellText(level->WaMm, ','));
    EXPECT_TRUE(an.contains(u',')) << an.toStdString();

    // The list follows the table; a band without a value writes nothing.
    names.removeLast();
    page->NoiseF1SpinEdit->SetValue(90000);
    page->NoiseF2SpinEdit->SetValue(100000);
    page->NoiseCalcButton->click();
    EXPECT_EQ(page->AnStationComBox->count(), 2);
    EXPECT_EQ(page->AnStationComBox->ItemIndex(), 1);
    EXPECT_FALSE(page->AnButton->isEnabled());
    page->AnButton->click();
    EXPECT_EQ(anChosen.count(), 1);
}

using valdrin::app::test::MainFormTest;

// The window lists the names of its station table and writes the An cell.
TEST_F(MainFormTest, NoisePageAnGoesIntoTheStationTable)
{
    auto *page = form->findChild<TNoisePage *>(QStringLiteral("NoisePage"));
    ASSERT_TRUE(page);
    dialogs->FileNames << kFixture;
    page->NoiseLoadBitBtn->click();
    ASSERT_TRUE(QTest::qWaitFor([page] { return !page->IsLoading(); }, 10000));
    form->CooGrid->SetCells(4, 2, QStringLiteral("NEW"));
    page->NoiseCalcButton->click();
    ASSERT_EQ(page->AnStationComBox->count(), form->SensorsSpinEdit->Value());
    EXPECT_EQ(page->AnStationComBox->itemText(1), QStringLiteral("NEW"));
    QTest::keyClick(page->AnStationComBox, Qt::Key_Down);
    const QString before = form->StrGrid->Cells(5, 1);
    page->AnButton->click();
    const auto level = noise::NoiseBandLevel(Points(page->SeriesSpc), 1, 10);
    ASSERT_TRUE(level);
    EXPECT_EQ(
        form->StrGrid->Cells(5, 2).toStdString(), valdrin::formats::AnCellText(level->WaMm, '.'));
    EXPECT_EQ(form->StrGrid->Cells(5, 1), before);
}
