// Page "Оценка уровня шума": a noise spectrum file drawn as displacement
// power against the high and low noise models, and the rms displacement of
// the band between Fmin and Fmax.
//
// The spectrum is velocity power or dB of acceleration, as the unit choice
// says (set from the file's header when a file is opened). "→ An" hands the
// band level to the station table, which the main window owns.
//
// A file loads on a worker thread. Meanwhile the page keeps the arrays of the
// previous file and refuses another load or a change of column; the new
// arrays replace the old ones in one step on the user-interface thread.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

#include "noise/NoiseLevel.h"
#include "noise/NoiseSpectrum.h"

class QCheckBox;
class QShowEvent;
class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QLogValueAxis;
class QPushButton;
class QSplitter;
class QValueAxis;
class QAbstractAxis;

namespace valdrin::controls {
class TComBox;
class TFloatSpinEdit;
} // namespace valdrin::controls

namespace valdrin::app {

class TBackgroundRun;

class TNoisePage : public QWidget {
    Q_OBJECT

public:
    // The open dialog's filter, in the window's pipe form and in Qt's form.
    static constexpr const char *kNoiseFileFilter = "DAT|*.dat|TXT|*.txt|Все файлы|*.*";
    static constexpr const char *kNoiseFileQtFilter = "DAT (*.dat);;TXT (*.txt);;Все файлы (*)";

    explicit TNoisePage(QWidget *parent = nullptr);
    ~TNoisePage() override;

    // Seams. ChooseFileName stands for the open dialog (an empty text: the
    // user cancelled); ShowMessage for a message box with OK.
    std::function<QString()> ChooseFileName;
    std::function<void(const QString &)> ShowMessage;
    // The names of the station rows, in table order, for the "→ An" list.
    std::function<QStringList()> StationNames;

    bool IsLoading() const { return m_loading; }
    // The last file loaded: column names, row frequencies (Hz), Data[c][r].
    const noise::TChanLongNames &SpecNames() const { return m_spectrum.Names; }
    const common::TDoubleDynArray &SpecFreq() const { return m_spectrum.Freq; }
    const common::TMatrix2D &SpecData() const { return m_spectrum.Data; }

    QPushButton *NoiseLoadBitBtn = nullptr;
    controls::TComBox *UnitComBox = nullptr; // 0 "(м/с)²/Гц", 1 "дБ (м/с²)²/Гц"
    controls::TComBox *ColomnComBox = nullptr;
    QCheckBox *LogXCheckBox = nullptr;
    QCheckBox *LogYCheckBox = nullptr;
    controls::TFloatSpinEdit *NoiseF1SpinEdit = nullptr; // Fmin, Hz
    controls::TFloatSpinEdit *NoiseF2SpinEdit = nullptr; // Fmax, Hz
    QPushButton *NoiseCalcButton = nullptr;
    QLabel *NoiseLabel = nullptr;
    controls::TComBox *AnStationComBox = nullptr;
    QPushButton *AnButton = nullptr; // "→ An"
    QSplitter *Splitter = nullptr;
    QChartView *ChartView = nullptr;
    QChart *Chart = nullptr;
    QLineSeries *SeriesNHNM = nullptr;
    QLineSeries *SeriesNLNM = nullptr;
    QLineSeries *SeriesSpc = nullptr;

public slots:
    void NoiseLoadBitBtnClick();
    void OpenNoiseFile(const QString &FileName);
    void ShowNoiseModels();
    void ColomnComBoxChange();
    void ShowSpectrumColumn(int Column);
    void LogXCheckBoxClick();
    void LogYCheckBoxClick();
    void NoiseCalcButtonClick();
    void UnitComBoxChange();
    void AnButtonClick();
    void RefreshStationNames();

signals:
    void loadFinished(); // a load started by OpenNoiseFile has ended, whatever its outcome
    // The Wood-Anderson level for the An cell of station row (1-based, as the
    // tables number them), as the cell is to show it.
    void stationAnChosen(int row, const QString &anText);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildChart();
    void finishLoad(const std::shared_ptr<noise::TNoiseLoad> &load);
    void stopWorker();
    void setLoading(bool loading);
    void switchAxis(Qt::Orientation orientation, bool logarithmic);
    void fitAxes();
    void setColumnItems();
    void message(const QString &text);

    void startLoad(const QString &FileName);

    noise::TNoiseSpectrum m_spectrum;
    QString m_fileName; // the file last opened, read again when the unit changes
    std::optional<noise::TNoiseLevel> m_level; // the level NoiseLabel shows
    TBackgroundRun *m_run = nullptr; // the load's worker
    bool m_loading = false;

    QLogValueAxis *m_logX = nullptr;
    QLogValueAxis *m_logY = nullptr;
    QValueAxis *m_linX = nullptr;
    QValueAxis *m_linY = nullptr;
};

} // namespace valdrin::app
