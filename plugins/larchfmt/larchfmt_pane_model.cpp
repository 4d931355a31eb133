#include "larchfmt_pane_model.h"

namespace pixmill::larch {

static_assert(PngOptionsModel::Level == 0 && PngOptionsModel::Interlace == 1,
              "fields in declaration order");

} // namespace pixmill::larch
