// The stored settings of the PNG format: compression level and interlacing.
#pragma once

#include "pixmill/settings_schema.h"

#include <cstdint>

namespace pixmill::larch {

#pragma pack(push, 1)
struct PngSettings {
    int32_t compressionLevel; // 0 (none) .. 9 (smallest)
    uint8_t interlace;        // Adam7 interlacing
    uint8_t reserved[3];
};
#pragma pack(pop)
static_assert(sizeof(PngSettings) == 8);

inline constexpr const char* kSettingsName = "PNG_Parameters";
extern const SettingsBlockSchema kPngSchema;

} // namespace pixmill::larch
