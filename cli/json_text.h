// JSON text for the commands' machine-readable output: one quoted string,
// escaped so any file name or plug-in text keeps the document valid.
#pragma once

#include <string>

namespace pixmill::cli {

std::string JsonString(const std::string& text);

} // namespace pixmill::cli
