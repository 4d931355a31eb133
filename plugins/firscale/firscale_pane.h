// The resample options pane: target width and height in pixels and, with a
// current image, in percent of it, bound to a ResamplePaneModel.
#pragma once

#include "firscale_pane_model.h"
#include "firscale_settings.h"

#include "pixmill/pane_base.h"

namespace pixmill::firscale {

enum ResampleControl {
    kIdGroup = 1001,
    kIdWidthLabel = 1002,
    kIdHeightLabel = 1003,
    kIdWidth = 1004,
    kIdHeight = 1006,
    kIdWidthPercentLabel = 1008,
    kIdHeightPercentLabel = 1009,
    kIdWidthPercent = 1010,
    kIdHeightPercent = 1011,
    kIdKeepAspect = 1018,
    kIdHighQuality = 1019,
    kIdWidthUpDown = 1020,
    kIdWidthPercentUpDown = 1021,
    kIdHeightUpDown = 1022,
    kIdHeightPercentUpDown = 1023,
};

class ResamplePane : public CModelPane<ResamplePaneModel, ResampleSettings> {
  public:
    using CModelPane::CModelPane;

  protected:
    void Build(QWidget* root) override;
    void OnImage() override;
    void OnRefresh() override;

  private:
    CNumberControl* numbers[4] = {};
};

} // namespace pixmill::firscale
