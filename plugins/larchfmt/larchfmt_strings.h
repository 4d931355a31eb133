// The texts of the PNG format library, by string identifier.
#pragma once

#include "pixmill/string_table.h"

namespace pixmill::larch {

enum StringId {
    IdsShortName = 1,
    IdsLongName,
    IdsExtensions,
    IdsGroup,
    IdsLevel,
    IdsInterlace,
};

extern const StringTable kStrings;

// The format's help page and those of its options.
inline constexpr int kHelpPng = 140;
inline constexpr int kHelpLevel = 141;
inline constexpr int kHelpInterlace = 142;

} // namespace pixmill::larch
