// pixmill-cli info: what the header of each file says (format, size, depth,
// palette, transparency, resolution, file size, ICC profile and EXIF sizes),
// as text or JSON, read through the program's one read path.
#pragma once

#include "cli/options.h"

namespace pixmill {
class HostServices;
class PluginManager;
} // namespace pixmill

namespace pixmill::cli {

int CommandInfo(HostServices& host, PluginManager& plugins, const Options& options);

} // namespace pixmill::cli
