#include "aspenfmt_pane_model.h"

namespace pixmill::aspen {

static_assert(AvifOptionsModel::Quality == 0 && AvifOptionsModel::Speed == 1,
              "fields in declaration order");

} // namespace pixmill::aspen
