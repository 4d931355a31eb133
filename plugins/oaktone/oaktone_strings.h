// The colour adjustment library's string table: texts by identifier.
#pragma once

#include "pixmill/string_table.h"

namespace pixmill::oaktone {

// The channel names of the panes (the operations' own texts stand in their
// table entries).
enum StringId : int {
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
