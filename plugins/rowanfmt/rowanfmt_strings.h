// The texts of the WebP format library, by string identifier.
#pragma once

#include "pixmill/string_table.h"

namespace pixmill::rowan {

enum StringId {
    IdsShortName = 1,
    IdsLongName,
    IdsExtensions,
    IdsGroup,
    IdsQuality,
    IdsEffort,
    IdsLossless,
};

extern const StringTable kStrings;

// The format's help page and those of its options.
inline constexpr int kHelpWebp = 160;
inline constexpr int kHelpQuality = 161;
inline constexpr int kHelpEffort = 162;
inline constexpr int kHelpLossless = 163;

} // namespace pixmill::rowan
