// Byte counts as the program shows them: "1000 byte", "1.500 Kb", "120.5 Kb".
#pragma once

#include <cstdint>
#include <string>

namespace pixmill {

std::string SizeText(uint64_t bytes);

} // namespace pixmill
