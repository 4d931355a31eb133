// The stored settings of the AVIF format: quality and encoder speed.
#pragma once

#include "pixmill/settings_schema.h"

#include <cstdint>

namespace pixmill::aspen {

#pragma pack(push, 1)
struct AvifSettings {
    int32_t quality; // 0 (smallest) .. 100 (lossless colour)
    int32_t speed;   // 0 (slowest, smallest) .. 10 (fastest)
};
#pragma pack(pop)
static_assert(sizeof(AvifSettings) == 8);

inline constexpr const char* kSettingsName = "AVIF_Parameters";
extern const SettingsBlockSchema kAvifSchema;

// The AV1 quantizer (0 best .. 63 smallest) of a quality.
int QuantizerOf(int quality);

} // namespace pixmill::aspen
