// Byte counts as the program shows them, always with their unit: "834 bytes",
// "1.46 KB", "120.5 KB", "12.3 MB" (1 KB = 1024 bytes; three significant
// digits at most, so the text stays short enough for a status pane).
#pragma once

#include <cstdint>
#include <string>

namespace pixmill {

std::string SizeText(uint64_t bytes);

} // namespace pixmill
