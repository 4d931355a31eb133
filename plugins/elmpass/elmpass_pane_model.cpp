#include "elmpass_pane_model.h"

namespace pixmill::elmpass {

StrengthPaneModel::StrengthPaneModel(const FilterSettings& settings, int slot)
    : slot(slot), strength(RangeOf(StrengthField(slot)).ClampInt(settings.strength[slot])) {}

double StrengthPaneModel::Value(int) const {
    return strength;
}

NumberRange StrengthPaneModel::Range(int) const {
    return RangeOf(StrengthField(slot));
}

bool StrengthPaneModel::Set(int, double value) {
    const int before = strength;
    strength = Range(Strength).ClampInt(value);
    return strength != before;
}

void StrengthPaneModel::Store(FilterSettings& settings) const {
    settings.paneFlag[slot] = 1;
    settings.strength[slot] = strength;
}

} // namespace pixmill::elmpass
