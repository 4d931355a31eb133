// The PNG options pane of the save dialog, bound to a PngOptionsModel.
#pragma once

#include "larchfmt_pane_model.h"
#include "larchfmt_settings.h"

#include "table_pane.h"

namespace pixmill::larch {

enum PaneControl {
    IdLevelEdit = 1000,
    IdLevelSlider = 1001,
    IdInterlace = 1002,
};

class PngOptionsPane : public web::CTablePane<PngOptionsModel, PngSettings> {
  public:
    PngOptionsPane(CPaneSite* site, PngSettings* settings);
};

} // namespace pixmill::larch
