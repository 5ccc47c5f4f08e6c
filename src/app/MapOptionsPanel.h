// A compact row of map options under the window's map: true proportions or
// fill the frame, contour levels, smoothing, and the colour range (automatic
// or fixed, and the floor of "дБ"). The range controls carry the working
// set's names, so parameter files keep them.
#pragma once

#include <QString>
#include <QWidget>

#include "map/Contours.h"

class QCheckBox;
class QLineEdit;

namespace valdrin::controls {
class TFloatSpinEdit;
} // namespace valdrin::controls

namespace valdrin::map {
struct TRenderOptions;
} // namespace valdrin::map

namespace valdrin::app {

class TRadioGroup;

class TMapOptionsPanel : public QWidget {
    Q_OBJECT

public:
    explicit TMapOptionsPanel(QWidget *parent = nullptr);

    QCheckBox *AspectCheckBox = nullptr; // "Истинные пропорции"; off: fill the frame
    QLineEdit *ContourEdit = nullptr; // "авто", a list of levels, or "нет"
    QCheckBox *SmoothCheckBox = nullptr; // "Сглаживание"
    TRadioGroup *RangeRadioGroup = nullptr; // "Шкала": 0 "авто", 1 "задать"
    controls::TFloatSpinEdit *RangeMinSpinEdit = nullptr;
    controls::TFloatSpinEdit *RangeMaxSpinEdit = nullptr;
    controls::TFloatSpinEdit *DbFloorSpinEdit = nullptr; // dB

    // The options shown here into o (the levels last accepted).
    void ApplyTo(map::TRenderOptions &o) const;
    // Enables the range edits as the range choice says (after a load, too).
    void UpdateRangeEdits();

signals:
    void Changed(); // any option changed: the map is drawn again
    // Levels that do not read: the edit shows the last accepted ones again.
    void Refused(const QString &message);

private:
    void contourEditDone();

    map::TContourLevels m_contours { true, {} };
    QString m_contourText;
};

} // namespace valdrin::app
