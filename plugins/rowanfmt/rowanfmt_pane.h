// The WebP options pane of the save dialog, bound to a WebpOptionsModel.
#pragma once

#include "rowanfmt_pane_model.h"
#include "rowanfmt_settings.h"

#include "table_pane.h"

namespace pixmill::rowan {

enum PaneControl {
    IdQualityEdit = 1000,
    IdQualitySlider = 1001,
    IdEffortEdit = 1002,
    IdEffortSlider = 1003,
    IdLossless = 1004,
};

class WebpOptionsPane : public web::CTablePane<WebpOptionsModel, WebpSettings> {
  public:
    WebpOptionsPane(CPaneSite* site, WebpSettings* settings);
};

} // namespace pixmill::rowan
