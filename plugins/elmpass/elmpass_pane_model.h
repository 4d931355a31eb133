// The strength pane without widgets: one filter's strength within its
// declared range.
#pragma once

#include "elmpass_settings.h"

#include "pixmill/pane_model.h"

namespace pixmill::elmpass {

class StrengthPaneModel : public CPaneModel {
  public:
    enum Field { Strength };

    // slot: which filter's strength (StrengthSlot).
    StrengthPaneModel(const FilterSettings& settings, int slot);

    double Value(int field) const override;
    NumberRange Range(int field) const override;
    bool Set(int field, double value) override;

    // Stores the strength and marks the filter's settings as confirmed.
    void Store(FilterSettings& settings) const;

  private:
    int slot;
    int strength;
};

} // namespace pixmill::elmpass
