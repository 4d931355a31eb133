// The stored settings of the TIFF format and how the compression choice maps
// onto the file's Compression tag.
#pragma once

#include "pixmill/settings_schema.h"

#include <cstdint>

namespace pixmill::birch {

enum CompressionChoice : int32_t {
    ChoiceNone = 0,
    ChoiceLzw = 1,
    ChoicePackBits = 2,
    ChoiceCcitt = 3,   // CCITT Group 4
    ChoiceHuffman = 4, // CCITT modified Huffman run length
};

#pragma pack(push, 1)
struct TiffSettings {
    int32_t compressionChoice;
};
#pragma pack(pop)
static_assert(sizeof(TiffSettings) == 4);

inline constexpr const char* kSettingsName = "TIFF_Parameters";
// The one declaration of the stored block.
extern const SettingsBlockSchema kTiffSchema;

// The Compression tag value written for a choice; unknown choices give LZW.
uint16_t CompressionTagOf(int32_t choice);

} // namespace pixmill::birch
