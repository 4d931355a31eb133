// The PNG options pane without widgets: the compression level and the
// interlace flag, kept within their declared ranges.
#pragma once

#include "larchfmt_settings.h"

#include "block_pane_model.h"

namespace pixmill::larch {

class PngOptionsModel : public web::BlockPaneModel<PngSettings> {
  public:
    enum Field { Level, Interlace };

    explicit PngOptionsModel(const PngSettings& settings) : BlockPaneModel(settings, kPngSchema) {}
};

} // namespace pixmill::larch
