// The filters' stored settings block ("Filter", 16 bytes) and its declaration.
#pragma once

#include "pixmill/settings_schema.h"

#include <cstddef>
#include <cstdint>

namespace pixmill::elmpass {

// Slots of the three filters that have a strength pane.
enum StrengthSlot : int { SlotSmooth = 0, SlotSharpen = 1, SlotDespeckle = 2 };

struct FilterSettings {
    uint8_t paneFlag[3]; // per pane: set when its settings were confirmed
    uint8_t reserved;
    int32_t strength[3]; // 0..100
};
static_assert(sizeof(FilterSettings) == 16);
static_assert(offsetof(FilterSettings, strength) == 4);

inline constexpr const char* kFilterSettingsName = "Filter";
inline constexpr int kMinStrength = 0;
inline constexpr int kMaxStrength = 100;

extern const SettingsBlockSchema kFilterSchema;

// The strength field of a slot in kFilterSchema.
const SettingsField& StrengthField(int slot);

} // namespace pixmill::elmpass
