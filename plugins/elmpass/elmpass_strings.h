// The filter library's string table: texts by identifier.
#pragma once

#include "pixmill/string_table.h"

namespace pixmill::elmpass {

enum StringId : int {
    IdNameNegative = 1,
    IdNameSmooth = 2,
    IdNameSharpen = 3,
    IdNameMedian = 4,
    IdGroup = 5,
    IdMenuNegative = 6,
    IdMenuSmooth = 7,
    IdMenuSharpen = 8,
    IdMenuMedian = 9,
    IdGroupMenu = 10,
    IdDescriptionNegative = 11,
    IdDescriptionSmooth = 12,
    IdDescriptionSharpen = 13,
    IdDescriptionMedian = 14,
    IdCaptionSmooth = 15,
    IdCaptionSharpen = 16,
    IdNameDespeckle = 17,
    IdMenuDespeckle = 18,
    IdDescriptionDespeckle = 19,
    IdCaptionDespeckle = 20,
};

// The library's texts (read with LookupString).
extern const StringTable kStrings;

// Help pages of the filters that have a strength pane.
inline constexpr int kHelpSmooth = 60;
inline constexpr int kHelpSharpen = 49;
inline constexpr int kHelpDespeckle = 201;

} // namespace pixmill::elmpass
