// The GIF options pane of the save dialog, as data: a table of controls
// bound to a GifOptionsModel (see web::CTablePane).
#pragma once

#include "hazelfmt_pane_model.h"

#include "table_pane.h"

namespace pixmill::hazel {

enum PaneControl {
    IdInterlace = 1000,
    IdTransparent = 1001,
};

extern const web::PaneTable kGifPane;

} // namespace pixmill::hazel
