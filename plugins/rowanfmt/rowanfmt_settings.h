// The stored settings of the WebP format: lossy quality, lossless coding
// and the effort the encoder spends.
#pragma once

#include "pixmill/settings_schema.h"

#include <cstdint>

namespace pixmill::rowan {

#pragma pack(push, 1)
struct WebpSettings {
    int32_t quality; // 0 (smallest) .. 100 (best)
    int32_t effort;  // 0 (fastest) .. 6 (smallest files)
    uint8_t lossless;
    uint8_t reserved[3];
};
#pragma pack(pop)
static_assert(sizeof(WebpSettings) == 12);

inline constexpr const char* kSettingsName = "WebP_Parameters";
extern const SettingsBlockSchema kWebpSchema;

} // namespace pixmill::rowan
