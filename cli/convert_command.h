// pixmill-cli convert: open IN by its content, run the --op operations in
// order and save OUT in the format its extension names exactly (converted to
// a kind that format stores), through an ImagePipeline.
#pragma once

#include "cli/options.h"

namespace pixmill {
class HostServices;
class PluginManager;
class ProgressDisplay;
} // namespace pixmill

namespace pixmill::cli {

int CommandConvert(HostServices& host, PluginManager& plugins, ProgressDisplay* progress,
                   const Options& options);

} // namespace pixmill::cli
