// The AVIF options pane of the save dialog, as data: a table of controls
// bound to a AvifOptionsModel (see web::CTablePane).
#pragma once

#include "aspenfmt_pane_model.h"

#include "table_pane.h"

namespace pixmill::aspen {

enum PaneControl {
    IdQualityEdit = 1000,
    IdQualitySlider = 1001,
    IdSpeedEdit = 1002,
    IdSpeedSlider = 1003,
};

extern const web::PaneTable kAvifPane;

} // namespace pixmill::aspen
