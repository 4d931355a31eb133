#include "rowanfmt_pane_model.h"

namespace pixmill::rowan {

static_assert(WebpOptionsModel::Quality == 0 && WebpOptionsModel::Effort == 1 &&
                  WebpOptionsModel::Lossless == 2,
              "fields in declaration order");

} // namespace pixmill::rowan
