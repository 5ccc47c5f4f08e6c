#include "app/ControlBinding.h"

#include <QWidget>

#include <algorithm>

#include "app/RadioGroup.h"
#include "controls/SpinExt.h"
#include "params/WorkingSet.h"

namespace valdrin::app {

using namespace valdrin::params;
using controls::TFloatFormat;
using controls::TFloatSpinEdit;
using controls::TSpinEdit;

namespace {

template<typename T> T *Find(const QWidget &root, std::string_view name)
{
    return root.findChild<T *>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

} // namespace

void ConfigureEdits(QWidget &root, const TWorkingSet &defaults)
{
    for (const TRealControl &c : RealControls()) {
        auto *e = Find<TFloatSpinEdit>(root, c.Name);
        if (!e)
            continue;
        e->SetMinValue(c.MinValue);
        e->SetMaxValue(c.MaxValue);
        e->SetIncrement(c.Increment);
        if (c.Digits == kGeneralFormat) {
            e->SetFormat(TFloatFormat::General);
        } else {
            e->SetFormat(TFloatFormat::Fixed);
            e->SetDigits(c.Digits);
        }
        e->SetValue(defaults.*c.Field);
    }
    for (const TIntControl &c : IntControls()) {
        auto *e = Find<TSpinEdit>(root, c.Name);
        if (!e)
            continue;
        e->SetMinValue(c.MinValue);
        e->SetMaxValue(c.MaxValue);
        e->SetIncrement(c.Increment);
        e->SetValue(defaults.*c.Field);
    }
}

void GatherControls(const QWidget &root, TWorkingSet &ws)
{
    for (const TRealControl &c : RealControls())
        if (auto *e = Find<TFloatSpinEdit>(root, c.Name))
            ws.*c.Field = e->Value();
    for (const TIntControl &c : IntControls())
        if (auto *e = Find<TSpinEdit>(root, c.Name))
            ws.*c.Field = e->Value();
    for (const TChoiceControl &c : ChoiceControls())
        if (auto *g = Find<TRadioGroup>(root, c.Name))
            ws.*c.Field = std::max(g->ItemIndex(), 0);
}

void ApplyControls(QWidget &root, const TWorkingSet &ws)
{
    for (const TRealControl &c : RealControls())
        if (auto *e = Find<TFloatSpinEdit>(root, c.Name))
            e->SetValue(ws.*c.Field);
    for (const TIntControl &c : IntControls())
        if (auto *e = Find<TSpinEdit>(root, c.Name))
            e->SetValue(ws.*c.Field);
    for (const TChoiceControl &c : ChoiceControls())
        if (auto *g = Find<TRadioGroup>(root, c.Name))
            g->SetItemIndex(ws.*c.Field);
}

} // namespace valdrin::app
