// The colour adjustment library's string table: texts by identifier.
#pragma once

#include "pixmill/string_table.h"

namespace pixmill::oaktone {

enum StringId : int {
    IdNameTone = 1,
    IdMenuTone = 2,
    IdNameGamma = 3,
    IdMenuGamma = 4,
    IdGroup = 5,
    IdGroupMenu = 6,
    IdDescriptionTone = 7,
    IdDescriptionGamma = 8,
    IdChannelAll = 9,
    IdChannelRed = 10,
    IdChannelGreen = 11,
    IdChannelBlue = 12,
};

// The library's texts (read with LookupString).
extern const StringTable kStrings;

// Help pages of the two operations.
inline constexpr int kHelpTone = 48;
inline constexpr int kHelpGamma = 56;

} // namespace pixmill::oaktone
