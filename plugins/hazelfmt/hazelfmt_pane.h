// The GIF options pane of the save dialog, bound to a GifOptionsModel.
#pragma once

#include "hazelfmt_pane_model.h"
#include "hazelfmt_settings.h"

#include "table_pane.h"

namespace pixmill::hazel {

enum PaneControl {
    IdInterlace = 1000,
    IdTransparent = 1001,
};

class GifOptionsPane : public web::CTablePane<GifOptionsModel, GifSettings> {
  public:
    GifOptionsPane(CPaneSite* site, GifSettings* settings);
};

} // namespace pixmill::hazel
