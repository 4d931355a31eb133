// The filter library's string table: texts by identifier.
#pragma once

#include "pixmill/string_table.h"

namespace pixmill::elmpass {

// The captions of the strength panes (the operations' own texts stand in
// their table entries).
enum StringId : int {
    IdCaptionSmooth = 15,
    IdCaptionSharpen = 16,
    IdCaptionDespeckle = 20,
};

// The library's texts (read with LookupString).
extern const StringTable kStrings;

// Help pages of the filters that have a strength pane.
inline constexpr int kHelpSmooth = 60;
inline constexpr int kHelpSharpen = 49;
inline constexpr int kHelpDespeckle = 201;
// The help page of Emboss, which has no pane.
inline constexpr int kHelpEmboss = 202;

} // namespace pixmill::elmpass
