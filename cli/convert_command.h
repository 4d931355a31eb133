// pixmill-cli convert: open IN by its content, run the --op operations in
// order and save OUT in the format its extension names exactly (converted to
// a kind that format stores), through an ImagePipeline.
#pragma once

#include "cli/options.h"

namespace pixmill {
class CHostServices;
class CPluginManager;
class ProgressDisplay;
} // namespace pixmill

namespace pixmill::cli {

int CommandConvert(CHostServices& host, CPluginManager& plugins, ProgressDisplay* progress,
                   const Options& options);

} // namespace pixmill::cli
