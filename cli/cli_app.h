// pixmill-cli: the headless front end over the program's plug-in manager
// and image documents. Run opens the settings, the host and the plug-ins and
// hands the parsed options to the command (formats, ops and settings here;
// info, convert, batch, page and help in their own files).
#pragma once

#include "cli/options.h"

namespace pixmill::cli {

int Run(const Options& options);

} // namespace pixmill::cli
