// The stored "Resample" block and its declaration.
#pragma once

#include "pixmill/settings_schema.h"

#include <cstdint>

namespace pixmill::firscale {

#pragma pack(push, 1)
struct ResampleSettings {
    int32_t width;      // target width in pixels; its low 16 bits are used
    int32_t height;     // target height in pixels; its low 16 bits are used
    uint8_t keepAspect; // fit inside width x height keeping the aspect ratio
    uint8_t filter;     // 0 area average (blocks stored before it existed), 1 Lanczos-3
    uint8_t reserved[2];
};
#pragma pack(pop)
static_assert(sizeof(ResampleSettings) == 12, "stored settings block");

extern const SettingsBlockSchema kResampleSchema;

} // namespace pixmill::firscale
