#include "desktop/gui/workspace.h"

namespace pixmill {

Workspace::~Workspace() = default;

} // namespace pixmill
