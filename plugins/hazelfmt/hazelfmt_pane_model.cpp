#include "hazelfmt_pane_model.h"

namespace pixmill::hazel {

static_assert(GifOptionsModel::Interlace == 0 && GifOptionsModel::Transparent == 1,
              "fields in declaration order");

} // namespace pixmill::hazel
