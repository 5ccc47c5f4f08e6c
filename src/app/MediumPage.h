// Page "Параметры среды": the attenuation table and law, the magnitude
// transform, the medium model with its layer table and average values, the
// a2 range and the energy relation.
//
// The page owns the medium model the layer table shows; the window reads it
// for a run and for the parameter files.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

#include "medium/MediumModel.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace valdrin::controls {
class TStrGrid;
class TSpin10Edit;
class TFloatSpinEdit;
} // namespace valdrin::controls

namespace valdrin::app {

class TRadioGroup;
class TTypedCount;

// The page's controls; the window names them too.
struct TMediumControls {
    TRadioGroup *MediumRadioGroup = nullptr;
    controls::TFloatSpinEdit *SurfaceAltSpinEdit = nullptr;
    controls::TSpin10Edit *LayerCountSpinEdit = nullptr;
    controls::TFloatSpinEdit *VpSpinEdit = nullptr;
    controls::TFloatSpinEdit *VsSpinEdit = nullptr;
    controls::TFloatSpinEdit *VrSpinEdit = nullptr;
    controls::TFloatSpinEdit *QualitySpinEdit = nullptr;
    controls::TFloatSpinEdit *RoSpinEdit = nullptr;
    QLabel *AlfaLabel = nullptr;
    controls::TStrGrid *ModelStrGrid = nullptr;
    QPushButton *CalcAvModelButton = nullptr;
    controls::TStrGrid *StrGrid = nullptr;
    controls::TFloatSpinEdit *B0SpinEdit = nullptr;
    controls::TFloatSpinEdit *SSpinEdit = nullptr;
    controls::TFloatSpinEdit *C0SpinEdit = nullptr;
    QLineEdit *A0WAEdit = nullptr;
    QLineEdit *A1WAEdit = nullptr;
    QLineEdit *A3WAEdit = nullptr;
    QLineEdit *A0TMEdit = nullptr;
    QLineEdit *A1TMEdit = nullptr;
    QLineEdit *A3TMEdit = nullptr;
    QLineEdit *A2minEdit = nullptr;
    QLineEdit *A2maxEdit = nullptr;
    controls::TFloatSpinEdit *FreqMinSpinEdit = nullptr;
    controls::TFloatSpinEdit *FreqMaxSpinEdit = nullptr;
    controls::TFloatSpinEdit *C1SpinEdit = nullptr;
    controls::TFloatSpinEdit *C2SpinEdit = nullptr;
    QGroupBox *NoiseSourceGroupBox = nullptr; // "Уровень помех на станциях", inert
    QRadioButton *NoiseByModelRadioButton = nullptr;
    QRadioButton *NoiseByFileRadioButton = nullptr;
    QLineEdit *NoiseFileEdit = nullptr;
};

class TMediumPage : public QWidget, public TMediumControls {
    Q_OBJECT

public:
    explicit TMediumPage(QWidget *parent = nullptr);
    void ConnectHandlers();

    // Seams: a message box with OK, and the depth of the plane now shown, m.
    std::function<void(const QString &)> ShowMessage;
    std::function<double()> PlaneDepth;

    const medium::THorizontalModel &Model() const { return m_model; }
    void SetModel(const medium::THorizontalModel &model) { m_model = model; }
    // While a working set is applied, the layer count leaves the table alone.
    void SetLoading(bool loading) { m_loading = loading; }

public slots:
    void QualitySpinEditChange();
    void B0SpinEditChange();
    void MediumRadioGroupClick();
    void LayerCountSpinEditChange();
    void CalcAvModelButtonClick();

signals:
    void layerCountApplied(); // the layer table took a new count

private:
    void build();
    void applyLayerCount();
    void message(const QString &text);

    medium::THorizontalModel m_model;
    bool m_loading = false;
    TTypedCount *m_layersTyped = nullptr;
};

} // namespace valdrin::app
