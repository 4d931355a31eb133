// The texts of the JPEG plug-in, by identifier.
#pragma once

#include "pixmill/string_table.h"

namespace pixmill::alder {

enum StringId {
    IdsName = 1,
    IdsExtensions,
    IdsGroup,
    IdsScale,
    IdsLuminance,
    IdsNumbers,
    IdsChrominance,
    IdsProgressive,
    IdsSmoothing,
    IdsLock,
    IdsSharpen,
    IdsTargetBytes,
    IdsWeb,
};

// The library's texts (read with LookupString).
extern const StringTable kStrings;

// The format's help page.
inline constexpr int kHelpJpeg = 66;

} // namespace pixmill::alder
