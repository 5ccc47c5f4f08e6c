// The window's exchange files: stations imported into the tables (replace,
// append, refusals, undo), exported and read back, and a result saved as a
// grid.
#include "MainTestFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "controls/GridExt.h"
#include "controls/SpinExt.h"
#include "formats/Stations.h"

namespace valdrin::app::test {
namespace {

// The fixture's dialogs with the three-way question and the typed save.
class TFileDialogs : public TFakeDialogs {
public:
    QList<int> Choices; // answers to Choose, in order; none left: "Отмена"
    QList<int> SaveFilters; // filters chosen in SaveFileTyped; none left: -1
    QStringList ChoiceQuestions;

    TSaveTarget SaveFileTyped(QWidget *parent, const QString &filter) override
    {
        return { SaveFileName(parent, filter),
            SaveFilters.isEmpty() ? -1 : SaveFilters.takeFirst() };
    }
    int Choose(QWidget *, const QString &question, const QStringList &) override
    {
        ChoiceQuestions << question;
        return Choices.isEmpty() ? -1 : Choices.takeFirst();
    }
};

class MainFileTest : public MainFormTest {
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        auto d = std::make_unique<TFileDialogs>();
        files = d.get();
        dialogs = d.get();
        form->SetDialogs(std::move(d));
    }

    void Trigger(const char *action) const
    {
        QCoreApplication::processEvents();
        auto *a = form->findChild<QAction *>(QString::fromUtf8(action));
        ASSERT_NE(a, nullptr) << action;
        a->trigger();
    }
    QString Write(const char *name, const std::string &text) const
    {
        QString path = dir.filePath(QString::fromUtf8(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), static_cast<qint64>(text.size()));
        return path;
    }
    // Answers the file dialog with path and the question with choice.
    void Import(const QString &path, int choice)
    {
        files->FileNames << path;
        files->Choices = { choice };
        Trigger("ImportStationsAction");
    }
    struct TTables {
        common::TCellTable Coo, Str;
        bool Degrees;
        int Count;
        bool operator==(const TTables &) const = default;
    };
    TTables Tables() const
    {
        return { form->CooGrid->ToTable(), form->StrGrid->ToTable(), form->GeoCheckBox->isChecked(),
            form->SensorsSpinEdit->Value() };
    }

    static std::string Csv(int count)
    {
        std::ostringstream s;
        s << "station,longitude,latitude,elevation_km\n";
        for (int i = 0; i < count; ++i)
            s << 'N' << i << ",10." << i << ",45,0.25\n";
        return s.str();
    }

    QTemporaryDir dir;
    TFileDialogs *files = nullptr;
};

std::vector<std::vector<std::string>> Fields(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    std::vector<std::vector<std::string>> out;
    std::istringstream in(f.readAll().toStdString());
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        out.emplace_back();
        for (std::string w; words >> w;)
            out.back().push_back(w);
    }
    return out;
}

TEST_F(MainFileTest, ImportReplacesOrAppendsInDegreesAsOneUndoStep)
{
    form->SetInOperation(1, false);
    const TTables start = Tables();
    ASSERT_FALSE(start.Degrees);
    const std::array metres { form->XminSpinEdit->Value(), form->XmaxSpinEdit->Value(),
        form->YminSpinEdit->Value(), form->YmaxSpinEdit->Value() };
    Import(Write("two.csv",
               "station,longitude,latitude,elevation_km\n"
               "ARU,58.5625,56.4302,0.25\nOBN,36.5687,55.1138,0.16\n"),
        0);
    ASSERT_TRUE(files->Messages.isEmpty()) << files->Messages.join(u'\n').toStdString();
    ASSERT_EQ(files->ChoiceQuestions.size(), 1);
    EXPECT_TRUE(files->ChoiceQuestions[0].contains(QStringLiteral("«two.csv»: 2")));
    EXPECT_TRUE(form->GeoCheckBox->isChecked());
    EXPECT_TRUE(form->InOperation(1)); // the row that was off holds another station now
    EXPECT_EQ(form->SensorsSpinEdit->Value(), 2);
    EXPECT_EQ(form->CooGrid->RowCount(), 3);
    EXPECT_EQ(form->CooGrid->ToTable().Rows[2],
        (common::TCellRow { "1", "36.5687", "55.1138", "160", "OBN" }));
    // No attenuation columns: the default row.
    EXPECT_EQ(form->StrGrid->ToTable().Rows[1],
        (common::TCellRow { "ARU", "1", "1.3", "0.0001", "0.4", "0.010", "4" }));
    // Switched to degrees: X and Y fitted round the stations, not left in metres.
    const auto ranges = [this] {
        return std::array { form->XminSpinEdit->Value(), form->XmaxSpinEdit->Value(),
            form->YminSpinEdit->Value(), form->YmaxSpinEdit->Value() };
    };
    const auto degrees = ranges();
    EXPECT_TRUE(degrees[0] <= 36.5687 && degrees[1] >= 58.5625 && degrees[1] < 70);
    EXPECT_TRUE(degrees[2] <= 55.1138 && degrees[3] >= 56.4302 && degrees[3] < 60);
    const TTables replaced = Tables();

    // Appended after the last row with data; blank rows in between are dropped.
    form->SensorsSpinEdit->SetValue(4);
    Import(Write("three.csv", Csv(3)), 1);
    ASSERT_TRUE(files->Messages.isEmpty()) << files->Messages.join(u'\n').toStdString();
    EXPECT_EQ(form->SensorsSpinEdit->Value(), 5);
    EXPECT_EQ(
        form->CooGrid->ToTable().Rows[3], (common::TCellRow { "2", "10", "45", "250", "N0" }));
    EXPECT_EQ(form->StrGrid->Cells(0, 5), QStringLiteral("N2"));
    EXPECT_EQ(ranges(), degrees); // still degrees: the user's ranges stay
    const TTables appended = Tables();

    Trigger("UndoAction");
    EXPECT_EQ(form->SensorsSpinEdit->Value(), 4);
    Trigger("UndoAction");
    EXPECT_EQ(Tables(), replaced);
    Trigger("UndoAction");
    EXPECT_EQ(Tables(), start);
    EXPECT_EQ(ranges(), metres);
    EXPECT_FALSE(form->InOperation(1));
    Trigger("RedoAction");
    EXPECT_EQ(Tables(), replaced);
    EXPECT_EQ(ranges(), degrees);
    Trigger("RedoAction");
    Trigger("RedoAction");
    EXPECT_EQ(Tables(), appended);

    // Appended rows are in operation; the kept rows keep their switch.
    form->SetInOperation(1, false);
    Import(Write("three.csv", Csv(3)), 1);
    EXPECT_FALSE(form->InOperation(1));
    EXPECT_TRUE(form->InOperation(6));
}

TEST_F(MainFileTest, ARefusedImportLeavesTheTablesAsTheyWere)
{
    const TTables start = Tables();
    ASSERT_EQ(start.Count, 25);
    const QString bad = Write("bad.csv", "name,lon,lat,z\nA,10,45,1\nB,10,4x5,1\n");
    const QString big = Write("big.csv", Csv(101));
    const QString eighty = Write("eighty.csv", Csv(80));

    Import(bad, 0);
    Import(big, 0);
    Import(eighty, 1); // 25 + 80
    Import(eighty, -1); // cancelled at the question
    ASSERT_EQ(files->Messages.size(), 3) << files->Messages.join(u'\n').toStdString();
    EXPECT_TRUE(files->Messages[0].contains(bad + QStringLiteral("», строка 3")))
        << files->Messages[0].toStdString();
    EXPECT_TRUE(files->Messages[1].contains(QStringLiteral("101 станций")));
    EXPECT_TRUE(files->Messages[2].contains(QStringLiteral("Станций стало бы 105")));
    EXPECT_EQ(files->ChoiceQuestions.size(), 2); // a file that does not read asks nothing
    EXPECT_EQ(Tables(), start);
    auto *undo = form->findChild<QAction *>(QStringLiteral("UndoAction"));
    ASSERT_NE(undo, nullptr);
    EXPECT_FALSE(undo->isEnabled());
}

TEST_F(MainFileTest, StationsExportedAsCsvComeBackIdentical)
{
    const auto exportCsv = [this](const char *name) {
        const QString path = dir.filePath(QString::fromUtf8(name));
        files->FileNames << path;
        files->SaveFilters << 0;
        Trigger("ExportStationsAction");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
        return f.readAll();
    };
    const common::TCellTable coo = form->CooGrid->ToTable();
    const QByteArray first = exportCsv("a.csv");
    ASSERT_TRUE(files->Messages.isEmpty()) << files->Messages.join(u'\n').toStdString();
    EXPECT_TRUE(first.startsWith("name,x,y,z,a0,a1,a2,a3,an,snr\n"));
    form->SensorsSpinEdit->SetValue(3);
    Import(dir.filePath(QStringLiteral("a.csv")), 0);
    EXPECT_EQ(form->CooGrid->ToTable(), coo);
    EXPECT_EQ(exportCsv("b.csv"), first);

    // Maps need degrees: refused, no file left behind.
    const QString kml = dir.filePath(QStringLiteral("out.kml"));
    files->FileNames << kml;
    Trigger("ExportStationsAction"); // the format from the extension
    ASSERT_EQ(files->Messages.size(), 1);
    EXPECT_TRUE(files->Messages[0].contains(QStringLiteral("в градусах")))
        << files->Messages[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(kml));
}

TEST_F(MainFileTest, SaveResultsAsWritesGridsThatReadBack)
{
    Compute(4);
    const calc::TResult &r = form->Result();
    const calc::TPlaneGrid &g = r.PlaneGrid;
    ASSERT_GT(g.NU, 1);
    ASSERT_EQ(g.UStep, g.VStep);
    const auto expectValue = [](double expected, const std::string &text, double missing) {
        const double got = std::stod(text);
        if (!std::isfinite(expected))
            EXPECT_TRUE(std::isnan(missing) ? std::isnan(got) : got == missing) << text;
        else
            EXPECT_NEAR(got, expected, 1e-8 * std::abs(expected)) << text; // %.9g
    };

    const QString xyz = dir.filePath(QStringLiteral("r"));
    files->FileNames << xyz;
    files->SaveFilters << 1;
    Trigger("SaveResultsAsAction");
    const auto f = Fields(xyz);
    ASSERT_EQ(f.size(), 2u + static_cast<std::size_t>(g.NU * g.NV));
    for (std::size_t i = 0; i < static_cast<std::size_t>(g.NU); ++i)
        for (std::size_t j = 0; j < static_cast<std::size_t>(g.NV); ++j) {
            const auto &line = f[2 + i * static_cast<std::size_t>(g.NV) + j];
            ASSERT_EQ(line.size(), 3u);
            EXPECT_NEAR(std::stod(line[0]), g.UMin + static_cast<double>(i) * g.UStep, 1e-6);
            expectValue(r.ResultMatrix[i][j], line[2], std::nan(""));
        }

    // ESRI by the extension, under "Все файлы".
    const QString asc = dir.filePath(QStringLiteral("r.asc"));
    files->FileNames << asc;
    files->SaveFilters << 4;
    Trigger("SaveResultsAsAction");
    const auto e = Fields(asc);
    ASSERT_EQ(e.size(), 6u + static_cast<std::size_t>(g.NV));
    EXPECT_EQ(e[0], (std::vector<std::string> { "ncols", std::to_string(g.NU) }));
    const std::size_t top = static_cast<std::size_t>(g.NV) - 1;
    for (std::size_t i = 0; i < static_cast<std::size_t>(g.NU); ++i)
        expectValue(r.ResultMatrix[i][top], e[6][i], -9999);
    // netCDF-4 is HDF5 inside; the formats tests read it back.
    const QString nc = dir.filePath(QStringLiteral("r.nc"));
    files->FileNames << nc;
    files->SaveFilters << 3;
    Trigger("SaveResultsAsAction");
    QFile ncFile(nc);
    ASSERT_TRUE(ncFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(ncFile.read(4), QByteArray("\x89HDF"));
    ASSERT_TRUE(files->Messages.isEmpty()) << files->Messages.join(u'\n').toStdString();

    // Unequal steps: refused, nothing written.
    form->dYSpinEdit->SetValue(g.VStep / 2);
    Compute(4);
    const QString uneven = dir.filePath(QStringLiteral("u.asc"));
    files->FileNames << uneven;
    files->SaveFilters << 2;
    Trigger("SaveResultsAsAction");
    ASSERT_EQ(files->Messages.size(), 1);
    EXPECT_TRUE(files->Messages[0].contains(QStringLiteral("ESRI")));
    EXPECT_FALSE(QFileInfo::exists(uneven));
}

} // namespace
} // namespace valdrin::app::test
