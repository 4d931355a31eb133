// The PNG options pane of the save dialog, as data: a table of controls
// bound to a PngOptionsModel (see web::CTablePane).
#pragma once

#include "larchfmt_pane_model.h"

#include "table_pane.h"

namespace pixmill::larch {

enum PaneControl {
    IdLevelEdit = 1000,
    IdLevelSlider = 1001,
    IdInterlace = 1002,
};

extern const web::PaneTable kPngPane;

} // namespace pixmill::larch
