// The rotate settings pane: a custom angle or a quarter turn, or a flip, and
// the background colour for the corners a rotation uncovers, bound to a
// RotatePaneModel.
#pragma once

#include "pineturn_pane_model.h"
#include "pineturn_settings.h"

#include "pixmill/pane_base.h"

namespace pixmill::pineturn {

enum RotateControl {
    kId90 = 1000,
    kId180 = 1001,
    kId270 = 1002,
    kIdCustom = 1003,
    kIdAngle = 1004,
    kIdAngleUpDown = 1005,
    kIdHorizontal = 1006,
    kIdVertical = 1007,
    kIdBackgroundCustom = 1013,
    kIdBackgroundSmart = 1014,
    kIdSwatch = 1016,
    kIdBackgroundGroup = 1018,
};

class RotatePane : public CModelPane<RotatePaneModel, RotateSettings> {
  public:
    using CModelPane::CModelPane;

  protected:
    void Build(QWidget* root) override;
    void OnImage() override;
    void OnRefresh() override;

  private:
    void ChooseColor();
};

} // namespace pixmill::pineturn
