// pixmill-cli: the headless front end over the program's plug-in manager
// and image documents. Run opens the settings, the host and the plug-ins and
// hands the parsed options to the command (formats, ops and settings here;
// info, convert, batch, page and help in their own files).
#pragma once

#include "cli/options.h"

#include <string>

namespace pixmill::cli {

int Run(const Options& options);
// Whether both names lead to one existing file.
bool SameFile(const std::string& a, const std::string& b);

} // namespace pixmill::cli
