// Page "Расчет": the station count and table, the commands, the choice of
// picture, plane and unit, and the map (legend included) with its read-out,
// gauge and options.
// The window handles its controls: they all act on the result and the run.
#pragma once

#include <QWidget>

#include "calc/NetworkModel.h"

class QLabel;
class QPushButton;

namespace valdrin::controls {
class TStrGrid;
class TSpin10Edit;
} // namespace valdrin::controls

namespace valdrin::app {

class TGauge;
class TMapOptionsPanel;
class TPaintBox;
class TRadioGroup;

// The page's controls; the window names them too.
struct TCalcControls {
    controls::TSpin10Edit *SensorsSpinEdit = nullptr;
    QPushButton *CalcButton = nullptr;
    QPushButton *SaveButton = nullptr;
    QPushButton *AddButton = nullptr;
    QLabel *InfoLabel = nullptr;
    controls::TStrGrid *CooGrid = nullptr;
    TPaintBox *PaintBox = nullptr;
    TGauge *Gauge = nullptr;
    TRadioGroup *SourceRadioGroup = nullptr;
    TRadioGroup *ViewRadioGroup = nullptr;
    TRadioGroup *UnitRadioGroup = nullptr;
};

class TCalcPage : public QWidget, public TCalcControls {
    Q_OBJECT

public:
    explicit TCalcPage(QWidget *parent = nullptr);

    calc::TShowMode SelectedMode() const; // of SourceRadioGroup
    calc::TViewPlane SelectedPlane() const; // of ViewRadioGroup

    TMapOptionsPanel *MapOptions = nullptr; // under the map
};

} // namespace valdrin::app
