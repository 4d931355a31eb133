// The texts of the GIF format library, by string identifier.
#pragma once

#include "pixmill/string_table.h"

namespace pixmill::hazel {

enum StringId {
    IdsShortName = 1,
    IdsLongName,
    IdsExtensions,
    IdsGroup,
    IdsInterlace,
    IdsTransparent,
};

extern const StringTable kStrings;

// The format's help page and those of its options.
inline constexpr int kHelpGif = 150;
inline constexpr int kHelpInterlace = 151;
inline constexpr int kHelpTransparent = 152;

} // namespace pixmill::hazel
