// The library's string table.
#pragma once

#include "pixmill/string_table.h"

namespace pixmill::pineturn {

enum StringId { kStrName = 1, kStrMenuName = 2, kStrDescription = 3 };

// The library's texts (read with LookupString).
extern const StringTable kStrings;

// The operation's help page.
inline constexpr int kHelpRotate = 97;

} // namespace pixmill::pineturn
