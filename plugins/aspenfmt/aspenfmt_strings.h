// The texts of the AVIF format library, by string identifier.
#pragma once

#include "pixmill/string_table.h"

namespace pixmill::aspen {

enum StringId {
    IdsShortName = 1,
    IdsLongName,
    IdsExtensions,
    IdsGroup,
    IdsQuality,
    IdsSpeed,
};

extern const StringTable kStrings;

// The format's help page and those of its options.
inline constexpr int kHelpAvif = 170;
inline constexpr int kHelpQuality = 171;
inline constexpr int kHelpSpeed = 172;

} // namespace pixmill::aspen
