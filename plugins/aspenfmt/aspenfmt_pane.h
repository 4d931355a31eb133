// The AVIF options pane of the save dialog, bound to an AvifOptionsModel.
#pragma once

#include "aspenfmt_pane_model.h"
#include "aspenfmt_settings.h"

#include "table_pane.h"

namespace pixmill::aspen {

enum PaneControl {
    IdQualityEdit = 1000,
    IdQualitySlider = 1001,
    IdSpeedEdit = 1002,
    IdSpeedSlider = 1003,
};

class AvifOptionsPane : public web::CTablePane<AvifOptionsModel, AvifSettings> {
  public:
    AvifOptionsPane(CPaneSite* site, AvifSettings* settings);
};

} // namespace pixmill::aspen
