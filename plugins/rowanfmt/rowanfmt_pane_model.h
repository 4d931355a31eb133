// The WebP options pane without widgets: quality, effort and lossless
// coding, kept within their declared ranges.
#pragma once

#include "rowanfmt_settings.h"

#include "block_pane_model.h"

namespace pixmill::rowan {

class WebpOptionsModel : public web::BlockPaneModel<WebpSettings> {
  public:
    enum Field { Quality, Effort, Lossless };

    explicit WebpOptionsModel(const WebpSettings& settings)
        : BlockPaneModel(settings, kWebpSchema) {}
};

} // namespace pixmill::rowan
