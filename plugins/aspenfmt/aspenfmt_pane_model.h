// The AVIF options pane without widgets: quality and speed, kept within
// their declared ranges.
#pragma once

#include "aspenfmt_settings.h"

#include "block_pane_model.h"

namespace pixmill::aspen {

class AvifOptionsModel : public web::BlockPaneModel<AvifSettings> {
  public:
    enum Field { Quality, Speed };

    explicit AvifOptionsModel(const AvifSettings& settings)
        : BlockPaneModel(settings, kAvifSchema) {}
};

} // namespace pixmill::aspen
