// The colour adjustment's stored settings block ("ColorAdjust", 64 bytes) and
// its declaration.
#pragma once

#include "pixmill/settings_schema.h"

#include <cstddef>
#include <cstdint>

namespace pixmill::oaktone {

// Rows of the per-channel values: "All colors", then red, green, blue.
enum ChannelRow : int { RowAll = 0, RowRed = 1, RowGreen = 2, RowBlue = 3, RowCount = 4 };
// Members of a brightness-contrast-intensity triple.
enum ToneValue : int { ValueBrightness = 0, ValueContrast = 1, ValueIntensity = 2 };

struct AdjustSettings {
    uint8_t toneUsesAll;  // brightness-contrast-intensity uses the "All colors" row
    uint8_t gammaUsesAll; // gamma uses the "All colors" value
    int16_t tone[RowCount][3];
    uint8_t reserved[6];
    double gamma[RowCount];
};
static_assert(sizeof(AdjustSettings) == 64);
static_assert(offsetof(AdjustSettings, tone) == 2);
static_assert(offsetof(AdjustSettings, reserved) == 26);
static_assert(offsetof(AdjustSettings, gamma) == 32);

inline constexpr const char* kAdjustSettingsName = "ColorAdjust";
inline constexpr int kMinTone = -100;
inline constexpr int kMaxTone = 100;
inline constexpr double kMinGamma = 0.1;
inline constexpr double kMaxGamma = 10.0;

extern const SettingsBlockSchema kAdjustSchema;

AdjustSettings DefaultAdjustSettings();

} // namespace pixmill::oaktone
