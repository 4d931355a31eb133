// The stored "RotateParam" block and its declaration.
#pragma once

#include "pixmill/settings_schema.h"

#include <cstdint>

namespace pixmill::pineturn {

#pragma pack(push, 1)
struct RotateSettings {
    int32_t flip; // 0 none, 1 horizontal, 2 vertical
    int32_t reserved;
    double angle; // degrees
    uint8_t red;  // custom background colour
    uint8_t green;
    uint8_t blue;
    uint8_t reserved2;
    int32_t smartBackground; // 1: from the picture's border, 0: the custom colour
};
#pragma pack(pop)
static_assert(sizeof(RotateSettings) == 24, "stored settings block");

extern const SettingsBlockSchema kRotateSchema;

} // namespace pixmill::pineturn
