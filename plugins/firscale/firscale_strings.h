// The library's string table.
#pragma once

namespace pixmill::firscale {

enum StringId { kStrName = 1, kStrMenuName = 2, kStrDescription = 3 };

// The text of a string-table entry; empty for an unknown identifier.
const char* LoadText(int id);

} // namespace pixmill::firscale
