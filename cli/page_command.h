// pixmill-cli page: the pictures of an HTML page as the page document sees
// them — list them, render a compound image or applet, or write one of them
// back in another form into a new page.
#pragma once

#include "cli/options.h"

#include <string>

namespace pixmill {
class HostServices;
class PluginManager;
class CUserInterface;
} // namespace pixmill

namespace pixmill::cli {

int CommandPage(HostServices& host, PluginManager& plugins, CUserInterface& ui,
                const std::string& programDirectory, const Options& options);

} // namespace pixmill::cli
