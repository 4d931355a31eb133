// The plug-in's string table: every text it shows, by identifier.
#pragma once

#include "pixmill/string_table.h"

namespace pixmill::cedarcol {

// The operations' own texts stand in their table entries.
enum StringId : int {
    IdsPaletteKindFirst = 1, // 1..5: the palette kinds in kind order
};

// The plug-in's texts (read with LookupString).
extern const StringTable kStrings;

// Help pages of the operations that have a pane.
inline constexpr int kHelpBlackAndWhite = 87;
inline constexpr int kHelpPaletted = 81;

} // namespace pixmill::cedarcol
