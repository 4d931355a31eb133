// The plug-in's string table: every text it shows, by identifier.
#pragma once

namespace pixmill::cedarcol {

enum StringId : int {
    IdsPaletteKindFirst = 1, // 1..5: the palette kinds in kind order
    IdsNameFirst = 8,        // 8..11: operation names
    IdsMenuNameFirst = 12,   // 12..15: operation menu texts
    IdsGroupName = 16,
    IdsGroupMenuName = 17,
    IdsDescriptionFirst = 18, // 18..21
};

// The text of a string identifier ("" for an unknown one).
const char* LoadString(int id);

} // namespace pixmill::cedarcol
