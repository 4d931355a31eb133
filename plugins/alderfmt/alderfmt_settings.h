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
    uint8_t web; // 1: web encoding (rate-optimised coefficients, more detail per byte)
    uint8_t lockSliders;
    uint8_t reserved2;
    int32_t sharpen; // 0 .. 100
};
static_assert(sizeof(JpegSettings) == 16);

// A size budget for every file written, kept apart so that stored
// "JPEG_Parameters" blocks keep their size.
struct JpegTargetSettings {
    int32_t targetBytes; // 0: none; else the best level whose file fits
    int32_t reserved[3];
};
#pragma pack(pop)
static_assert(sizeof(JpegTargetSettings) == 16);

inline constexpr const char* kSettingsName = "JPEG_Parameters";
inline constexpr const char* kTargetSettingsName = "JPEG_Target";

// Both blocks, in the order GetSettingsSchema hands them out.
extern const SettingsBlockSchema kJpegSchemas[2];
extern const SettingsBlockSchema& kJpegSchema;
extern const SettingsBlockSchema& kJpegTargetSchema;
const SettingsField& LuminanceField();
const SettingsField& ChrominanceField();
const SettingsField& SharpenField();
const SettingsField& WebField();
const SettingsField& TargetBytesField();

} // namespace pixmill::alder
