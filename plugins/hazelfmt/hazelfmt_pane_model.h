// The GIF options pane without widgets: interlacing and the transparent
// colour, each on or off.
#pragma once

#include "hazelfmt_settings.h"

#include "block_pane_model.h"

namespace pixmill::hazel {

class GifOptionsModel : public web::BlockPaneModel<GifSettings> {
  public:
    enum Field { Interlace, Transparent };

    explicit GifOptionsModel(const GifSettings& settings) : BlockPaneModel(settings, kGifSchema) {}
};

} // namespace pixmill::hazel
