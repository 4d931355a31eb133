// The WebP options pane of the save dialog, as data: a table of controls
// bound to a WebpOptionsModel (see web::CTablePane).
#pragma once

#include "rowanfmt_pane_model.h"

#include "table_pane.h"

namespace pixmill::rowan {

enum PaneControl {
    IdQualityEdit = 1000,
    IdQualitySlider = 1001,
    IdEffortEdit = 1002,
    IdEffortSlider = 1003,
    IdLossless = 1004,
};

extern const web::PaneTable kWebpPane;

} // namespace pixmill::rowan
