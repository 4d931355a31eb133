// The libraries the program and its format plug-ins work with, and the
// versions loaded at run time where the library can tell (else the version
// it was built against), for the About box. The format plug-ins name their
// own codec libraries; the program links none of them.
#pragma once

#include "host/plugin_manager.h"

#include <vector>

namespace pixmill {

// Qt, then the codec libraries of the loaded format plug-ins.
std::vector<LibraryVersion> LibraryVersions(const PluginManager& plugins);

} // namespace pixmill
