// pixmill-cli batch: one chain of operations over many files through the
// batch engine, with thumbnails, a log and profiles; --jobs spreads the
// images over worker processes, --shard over machines.
#pragma once

#include "cli/options.h"

#include <string>

namespace pixmill {
class HostServices;
class PluginManager;
class ProgressDisplay;
} // namespace pixmill

namespace pixmill::cli {

int CommandBatch(HostServices& host, PluginManager& plugins, ProgressDisplay* progress,
                 const std::string& pluginRoot, const Options& options);

} // namespace pixmill::cli
