// Page "Параметры расчета": the ranges of the plane and of the wave number,
// the counts and factors of the detection, and the parameter-file commands.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <utility>

#include "calc/NetworkModel.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace valdrin::controls {
class TSpinEdit;
class TFloatSpinEdit;
} // namespace valdrin::controls

namespace valdrin::app {

// The page's controls; the window names them too.
struct TParamsControls {
    QPushButton *LoadParamButton = nullptr;
    QPushButton *SaveParamButton = nullptr;
    QPushButton *SaveAsButton = nullptr;
    QPushButton *AboutButton = nullptr;
    QLabel *IniLabel = nullptr;
    QLabel *XLabel = nullptr;
    QLabel *YLabel = nullptr;
    QLabel *ZLabel = nullptr;
    controls::TFloatSpinEdit *XminSpinEdit = nullptr;
    controls::TFloatSpinEdit *XmaxSpinEdit = nullptr;
    controls::TFloatSpinEdit *dXSpinEdit = nullptr;
    controls::TFloatSpinEdit *X0SpinEdit = nullptr;
    controls::TFloatSpinEdit *YminSpinEdit = nullptr;
    controls::TFloatSpinEdit *YmaxSpinEdit = nullptr;
    controls::TFloatSpinEdit *dYSpinEdit = nullptr;
    controls::TFloatSpinEdit *Y0SpinEdit = nullptr;
    controls::TFloatSpinEdit *ZminSpinEdit = nullptr;
    controls::TFloatSpinEdit *ZmaxSpinEdit = nullptr;
    controls::TFloatSpinEdit *dZSpinEdit = nullptr;
    controls::TFloatSpinEdit *Z0SpinEdit = nullptr;
    QPushButton *XAutoButton = nullptr;
    QPushButton *YAutoButton = nullptr;
    QPushButton *ZAutoButton = nullptr;
    controls::TFloatSpinEdit *KmaxSpinEdit = nullptr;
    controls::TFloatSpinEdit *dKSpinEdit = nullptr;
    QCheckBox *GeoCheckBox = nullptr;
    controls::TSpinEdit *MinSensCountSpinEdit = nullptr;
    controls::TSpinEdit *LocErrorSpinEdit = nullptr;
    controls::TFloatSpinEdit *FcNumSpinEdit = nullptr;
};

class TParamsPage : public QWidget, public TParamsControls {
    Q_OBJECT

public:
    explicit TParamsPage(QWidget *parent = nullptr);
    void ConnectHandlers();

    // Seam: the stations read from the table now, and the plane they were
    // read for ("Авто" fits a range around them).
    std::function<std::pair<calc::TStationSet, calc::TViewPlane>()> ReadStations;
    // The file dialogs (an empty name: cancelled), the window's load and
    // save of a parameter file, and a message box with OK.
    std::function<QString(const QString &pipeFilter, bool save)> ChooseFileName;
    std::function<void(const QString &)> LoadFile;
    std::function<void(const QString &)> SaveFile;
    std::function<void(const QString &)> ShowMessage;

    // The About text, two lines.
    static QString AboutText();

public slots:
    void XAutoButtonClick();
    void YAutoButtonClick();
    void ZAutoButtonClick();
    void GeoCheckBoxClick();
    void LoadParamButtonClick();
    void SaveParamButtonClick();
    void SaveAsButtonClick();
    void AboutButtonClick();

private:
    void build();
    void autoRange(int axis);
};

} // namespace valdrin::app
