// The library's string table.
#pragma once

#include "pixmill/string_table.h"

namespace pixmill::firscale {

enum StringId { kStrName = 1, kStrMenuName = 2, kStrDescription = 3 };

// The library's texts (read with LookupString).
extern const StringTable kStrings;

// The operation's help page.
inline constexpr int kHelpResample = 91;

} // namespace pixmill::firscale
