// The JPEG plug-in's stored settings block "JPEG_Parameters" and its
// declaration, used by the pane (limits), the command line and the tests.
#pragma once

#include "pixmill/settings_schema.h"

#include <cstdint>

namespace pixmill::alder {

#pragma pack(push, 1)
struct JpegSettings {
    int32_t luminance;   // 0 (best) .. 255
    int32_t chrominance; // 0 (best) .. 255
    uint8_t progressive;
    uint8_t reserved1;
    uint8_t lockSliders;
    uint8_t reserved2;
    int32_t sharpen; // 0 .. 100
};
#pragma pack(pop)
static_assert(sizeof(JpegSettings) == 16);

inline constexpr const char* kSettingsName = "JPEG_Parameters";

extern const SettingsBlockSchema kJpegSchema;
const SettingsField& LuminanceField();
const SettingsField& ChrominanceField();
const SettingsField& SharpenField();

} // namespace pixmill::alder
