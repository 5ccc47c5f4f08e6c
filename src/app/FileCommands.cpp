// The window's exchange files: station lists in and out of the station tables,
// and a result saved in a grid format. The readers, writers and rules are the
// ones valdrin-calc uses; this part only asks the user and applies the answer.
#include "app/Main.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QUndoStack>

#include <array>
#include <exception>
#include <functional>
#include <optional>
#include <ostream>
#include <sstream>

#include "app/Dialogs.h"
#include "app/PageWidgets.h"
#include "common/Error.h"
#include "common/SafeFile.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"
#include "formats/Grids.h"
#include "formats/ResultFormats.h"
#include "formats/Stations.h"
#include "params/WorkingSet.h"

namespace valdrin::app {

namespace {

using formats::TResultFormat;

const char *const kStationsInFilter
    = "Станции: CSV, текст FDSN, StationXML|*.csv;*.txt;*.xml|Все файлы|*.*";

// The export formats in the order of their filters.
using TStationWriter = void (*)(std::ostream &, const formats::TStationTable &);
struct TStationOut {
    const char *Description;
    const char *Extension;
    TStationWriter Writer;
};
const TStationOut kStationOuts[] = {
    { "CSV", "csv", formats::WriteStationsCsv },
    { "Текст FDSN", "txt", formats::WriteFdsnText },
    { "KML", "kml", formats::WriteKml },
    { "GeoJSON", "geojson", formats::WriteGeoJson },
};

struct TResultOut {
    const char *Description;
    const char *Extension;
    TResultFormat Format;
};
const TResultOut kResultOuts[] = {
    { "Файл результатов", "dat", TResultFormat::Tsv },
    { "Точки x y значение", "xyz", TResultFormat::Xyz },
    { "Сетка ESRI ASCII", "asc", TResultFormat::Esri },
    { "netCDF", "nc", TResultFormat::NetCdf },
};

// "Описание|*.ext|...|Все файлы|*.*" of a format list.
template<typename TOut, std::size_t N> QString PipeFilter(const TOut (&outs)[N])
{
    QStringList parts;
    for (const TOut &o : outs)
        parts << QString::fromUtf8(o.Description)
              << QStringLiteral("*.") + QString::fromUtf8(o.Extension);
    parts << QStringLiteral("Все файлы") << QStringLiteral("*.*");
    return parts.join(QLatin1Char('|'));
}

// The format of a save: the chosen filter's; under "Все файлы", or when the
// dialog does not tell, the file's extension; else the first format.
template<typename TOut, std::size_t N>
const TOut &ChosenFormat(const TOut (&outs)[N], const TSaveTarget &target)
{
    if (target.Filter >= 0 && static_cast<std::size_t>(target.Filter) < N)
        return outs[target.Filter];
    const QString ext = QFileInfo(target.Path).suffix().toLower();
    for (const TOut &o : outs)
        if (ext == QString::fromUtf8(o.Extension))
            return o;
    return outs[0];
}

// What an import changes, for its undo step: the tables, the degrees and
// the X and Y ranges (min, max, step, centre of each).
struct TStationsState {
    TTablesState Tables;
    bool Degrees = false;
    std::array<double, 8> Ranges {};
};

} // namespace

void TMainForm::addStationCommands(QMenu *file)
{
    QAction *import = file->addAction(QStringLiteral("&Импорт станций…"));
    import->setObjectName(QStringLiteral("ImportStationsAction"));
    connect(import, &QAction::triggered, this, &TMainForm::ImportStationsClick);
    QAction *exportAction = file->addAction(QStringLiteral("&Экспорт станций…"));
    exportAction->setObjectName(QStringLiteral("ExportStationsAction"));
    connect(exportAction, &QAction::triggered, this, &TMainForm::ExportStationsClick);
}

void TMainForm::addSaveResultsAs(QMenu *file, QAction *saveResults)
{
    QAction *saveAs = file->addAction(QStringLiteral("Сохранить результаты к&ак…"));
    saveAs->setObjectName(QStringLiteral("SaveResultsAsAction"));
    connect(saveAs, &QAction::triggered, this, &TMainForm::SaveResultsAsClick);
    connect(saveResults, &QAction::changed, saveAs,
        [saveAs, saveResults] { saveAs->setEnabled(saveResults->isEnabled()); });
}

// The file is read whole before the question; the tables change only after
// every check has passed, in one undo step.
void TMainForm::ImportStationsClick()
{
    const QString name = m_dialogs->OpenFileName(this, QString::fromUtf8(kStationsInFilter));
    if (name.isEmpty())
        return;
    formats::TStationTable list;
    try {
        list = formats::ReadStationsFile(name.toStdString());
    } catch (const std::exception &e) {
        showMessage(U8(common::ErrorText(e)));
        return;
    }
    const int choice = m_dialogs->Choose(this,
        QStringLiteral("Станций в файле «%1»: %2.\n"
                       "Заменить ими таблицу станций или добавить их в конец таблицы?")
            .arg(QFileInfo(name).fileName())
            .arg(list.Rows.size()),
        { QStringLiteral("Заменить"), QStringLiteral("Добавить в конец") });
    if (choice < 0)
        return;
    formats::TStationImport imported;
    try {
        imported = formats::ImportStations({ CooGrid->ToTable(), StrGrid->ToTable() },
            GeoCheckBox->isChecked(), list, choice == 1, decimalSep());
    } catch (const std::exception &e) {
        showMessage(U8(common::ErrorText(e)));
        return;
    }

    recordTables(QStringLiteral("Правка таблицы")); // edits not yet recorded keep their own step
    const std::array<controls::TFloatSpinEdit *, 8> rangeEdits { XminSpinEdit, XmaxSpinEdit,
        dXSpinEdit, X0SpinEdit, YminSpinEdit, YmaxSpinEdit, dYSpinEdit, Y0SpinEdit };
    const auto ranges = [rangeEdits] {
        std::array<double, 8> r {};
        for (std::size_t i = 0; i < r.size(); ++i)
            r[i] = rangeEdits[i]->Value();
        return r;
    };
    const auto apply = [this, rangeEdits](const TStationsState &state) {
        GeoCheckBox->setChecked(state.Degrees);
        applyTablesState(state.Tables);
        for (std::size_t i = 0; i < rangeEdits.size(); ++i)
            rangeEdits[i]->SetValue(state.Ranges[i]);
    };
    const TStationsState before { tablesState(), GeoCheckBox->isChecked(), ranges() };
    TStationsState after = before;
    after.Tables.CooGrid = imported.Tables.CooGrid;
    after.Tables.StrGrid = imported.Tables.StrGrid;
    after.Tables.Sensors = imported.Count;
    after.Degrees = imported.Degrees;
    // Rows now hold other stations: only the kept rows keep their switch.
    const auto kept = imported.Count - static_cast<int>(list.Rows.size());
    std::erase_if(after.Tables.OutOfOperation, [kept](int row) { return row > kept; });
    apply(after);
    // Ranges in the other unit mean nothing now (metres read as degrees
    // beyond the poles): X and Y are fitted to the stations, as "Авто" does.
    if (after.Degrees != before.Degrees) {
        m_paramsPage->XAutoButtonClick();
        m_paramsPage->YAutoButtonClick();
        after.Ranges = ranges();
    }
    m_undo->push(
        new TStateCommand<TStationsState>(QStringLiteral("Импорт станций"), before, after, apply));
}

void TMainForm::ExportStationsClick()
{
    formats::TStationTable table;
    try {
        table = formats::ExportStations(
            CooGrid->ToTable(), StrGrid->ToTable(), decimalSep(), GeoCheckBox->isChecked());
    } catch (const std::exception &e) {
        showMessage(U8(common::ErrorText(e)));
        return;
    }
    const TSaveTarget target = m_dialogs->SaveFileTyped(this, PipeFilter(kStationOuts));
    if (target.Path.isEmpty())
        return;
    const TStationWriter writer = ChosenFormat(kStationOuts, target).Writer;
    try {
        // A writer that refuses the table (a map format in metres) throws
        // before the file is replaced.
        if (const auto error = common::WriteWholeFileWith(
                target.Path.toStdString(), [&](std::ostream &out) { writer(out, table); }))
            showMessage(QStringLiteral("Ошибка записи файла %1: %2").arg(target.Path, U8(*error)));
    } catch (const std::exception &e) {
        showMessage(U8(common::ErrorText(e)));
    }
}

void TMainForm::SaveResultsAsClick()
{
    if (!SaveButton->isEnabled() || !m_resultSource)
        return;
    const TSaveTarget target = m_dialogs->SaveFileTyped(this, PipeFilter(kResultOuts));
    if (target.Path.isEmpty())
        return;
    const TResultFormat format = ChosenFormat(kResultOuts, target).Format;
    if (format == TResultFormat::Tsv) {
        writeResultsFile(target.Path);
        return;
    }
    try {
        std::ostringstream unused; // every grid goes to its file
        formats::WriteResultGrid(format, target.Path.toStdString(), unused, m_result,
            *m_resultSource, gatherWorkingSet(), decimalSep(), formats::kNaN);
    } catch (const std::exception &e) {
        showMessage(U8(common::ErrorText(e)));
    }
}

} // namespace valdrin::app
