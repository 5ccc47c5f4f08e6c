// Page "Оценка уровня шума": a noise spectrum file drawn as displacement
// power against the high and low noise models, and the rms displacement of
// the band between Fmin and Fmax.
//
// A file loads on a worker thread. Meanwhile the page keeps the arrays of the
// previous file and refuses another load or a change of column; the new
// arrays replace the old ones in one step on the user-interface thread.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

#include "noise/NoiseSpectrum.h"

class QCheckBox;
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

    bool IsLoading() const { return m_loading; }
    // The last file loaded: column names, row frequencies (Hz), Data[c][r].
    const noise::TChanLongNames &SpecNames() const { return m_spectrum.Names; }
    const common::TDoubleDynArray &SpecFreq() const { return m_spectrum.Freq; }
    const common::TMatrix2D &SpecData() const { return m_spectrum.Data; }

    QPushButton *NoiseLoadBitBtn = nullptr;
    controls::TComBox *ColomnComBox = nullptr;
    QCheckBox *LogXCheckBox = nullptr;
    QCheckBox *LogYCheckBox = nullptr;
    controls::TFloatSpinEdit *NoiseF1SpinEdit = nullptr; // Fmin, Hz
    controls::TFloatSpinEdit *NoiseF2SpinEdit = nullptr; // Fmax, Hz
    QPushButton *NoiseCalcButton = nullptr;
    QLabel *NoiseLabel = nullptr;
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

signals:
    void loadFinished(); // a load started by OpenNoiseFile has ended, whatever its outcome

private:
    void buildChart();
    void finishLoad(const std::shared_ptr<noise::TNoiseLoad> &load);
    void stopWorker();
    void setLoading(bool loading);
    void switchAxis(Qt::Orientation orientation, bool logarithmic);
    void fitAxes();
    void setColumnItems();
    void message(const QString &text);

    noise::TNoiseSpectrum m_spectrum;
    TBackgroundRun *m_run = nullptr; // the load's worker
    bool m_loading = false;

    QLogValueAxis *m_logX = nullptr;
    QLogValueAxis *m_logY = nullptr;
    QValueAxis *m_linX = nullptr;
    QValueAxis *m_linY = nullptr;
};

} // namespace valdrin::app
