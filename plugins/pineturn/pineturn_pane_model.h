// The rotate pane without widgets: a custom angle, a quarter turn or a flip,
// and the background colour for the corners a rotation uncovers. The custom
// angle is what the angle edit shows; typing it chooses the custom angle.
#pragma once

#include "pineturn_settings.h"

#include "pixmill/pane_model.h"

namespace pixmill::pineturn {

class RotatePaneModel : public CPaneModel {
  public:
    enum Field { CustomAngle };
    enum class Choice { Custom, Turn90, Turn180, Turn270, FlipHorizontal, FlipVertical };

    explicit RotatePaneModel(const RotateSettings& settings);

    Choice Chosen() const { return choice; }
    // Each returns whether anything changed.
    bool Choose(Choice chosen);
    bool SetSmartBackground(bool smart);
    bool SetBackground(uint8_t red, uint8_t green, uint8_t blue);

    // An image with a transparent colour fills the corners with that colour:
    // no background is chosen for it.
    void SetTransparentImage(bool transparent) { transparentImage = transparent; }
    bool BackgroundOffered() const { return !transparentImage; }
    const RotateSettings& State() const { return state; }

    double Value(int field) const override;
    NumberRange Range(int field) const override;
    // Takes a typed angle: it becomes the custom angle, chosen.
    bool Set(int field, double angle) override;

    void Store(RotateSettings& settings) const;

  private:
    RotateSettings state;
    Choice choice = Choice::Custom;
    double customAngle = 0;
    bool transparentImage = false;
};

} // namespace pixmill::pineturn
