// The texts of the TIFF format library, by string identifier.
#pragma once

#include "pixmill/string_table.h"

namespace pixmill::birch {

enum StringId {
    IdsShortName = 1,
    IdsLongName = 2,
    IdsExtensions = 3,
    IdsCompressionGroup = 100,
    IdsUncompressed = 1000,
    IdsLzw = 1001,
    IdsPackBits = 1002,
    IdsCcitt = 1003,
    IdsHuffman = 1004,
};

// The library's texts (read with LookupString).
extern const StringTable kStrings;

// The format's help page.
inline constexpr int kHelpTiff = 105;

} // namespace pixmill::birch
