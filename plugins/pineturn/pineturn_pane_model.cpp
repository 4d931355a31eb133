#include "pineturn_pane_model.h"

#include <cmath>

namespace pixmill::pineturn {

namespace {

const SettingsField& AngleField() {
    return *FindField(kRotateSchema, "angle");
}

// An angle beyond the declared range turns the picture as its remainder
// modulo 360 does, which is in the range.
double InRange(double angle) {
    if (!std::isfinite(angle)) {
        return AngleField().defaultValue;
    }
    const NumberRange range = RangeOf(AngleField());
    return angle < range.minimum || angle > range.maximum ? std::fmod(angle, 360.0) : angle;
}

} // namespace

RotatePaneModel::RotatePaneModel(const RotateSettings& settings) : state(settings) {
    state.angle = InRange(state.angle);
    state.smartBackground = state.smartBackground != 0 ? 1 : 0;
    if (state.flip == 1) {
        choice = Choice::FlipHorizontal;
    } else if (state.flip == 2) {
        choice = Choice::FlipVertical;
    } else if (state.angle == 90.0) {
        choice = Choice::Turn90;
    } else if (state.angle == 180.0) {
        choice = Choice::Turn180;
    } else if (state.angle == 270.0) {
        choice = Choice::Turn270;
    } else {
        state.flip = 0;
    }
    customAngle = choice == Choice::Custom ? state.angle : 0.0;
}

bool RotatePaneModel::Choose(Choice chosen) {
    const RotateSettings before = state;
    const Choice chosenBefore = choice;
    choice = chosen;
    switch (chosen) {
    case Choice::Turn90:
    case Choice::Turn180:
    case Choice::Turn270:
        state.flip = 0;
        state.angle = chosen == Choice::Turn90 ? 90.0 : chosen == Choice::Turn180 ? 180.0 : 270.0;
        break;
    case Choice::FlipHorizontal:
        state.flip = 1;
        break;
    case Choice::FlipVertical:
        state.flip = 2;
        break;
    case Choice::Custom:
        state.flip = 0;
        state.angle = customAngle;
        break;
    }
    return chosenBefore != choice || before.flip != state.flip || before.angle != state.angle;
}

bool RotatePaneModel::SetSmartBackground(bool smart) {
    const int32_t before = state.smartBackground;
    state.smartBackground = smart ? 1 : 0;
    return state.smartBackground != before;
}

bool RotatePaneModel::SetBackground(uint8_t red, uint8_t green, uint8_t blue) {
    const bool changed = red != state.red || green != state.green || blue != state.blue;
    state.red = red;
    state.green = green;
    state.blue = blue;
    return changed;
}

double RotatePaneModel::Value(int) const {
    return customAngle;
}

NumberRange RotatePaneModel::Range(int) const {
    return RangeOf(AngleField());
}

bool RotatePaneModel::Set(int, double angle) {
    customAngle = InRange(angle);
    return Choose(Choice::Custom);
}

void RotatePaneModel::Store(RotateSettings& settings) const {
    settings.flip = state.flip;
    settings.angle = state.angle;
    settings.red = state.red;
    settings.green = state.green;
    settings.blue = state.blue;
    settings.smartBackground = state.smartBackground;
}

} // namespace pixmill::pineturn
