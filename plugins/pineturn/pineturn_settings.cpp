#include "pineturn_settings.h"

#include <cstddef>

namespace pixmill::pineturn {

namespace {
const SettingsField kFields[] = {
    {"flip", offsetof(RotateSettings, flip), FieldType::I32, 0, 2, 0,
     "flip: 0 none, 1 horizontal, 2 vertical (a flip ignores the angle)"},
    {"angle", offsetof(RotateSettings, angle), FieldType::F64, -365, 365, 0,
     "angle in degrees, clockwise"},
    {"red", offsetof(RotateSettings, red), FieldType::U8, 0, 255, 0, "custom background red"},
    {"green", offsetof(RotateSettings, green), FieldType::U8, 0, 255, 0, "custom background green"},
    {"blue", offsetof(RotateSettings, blue), FieldType::U8, 0, 255, 0, "custom background blue"},
    {"smartBackground", offsetof(RotateSettings, smartBackground), FieldType::I32, 0, 1, 1,
     "1: background from the picture's border, 0: the custom colour"},
};
} // namespace

const SettingsBlockSchema kRotateSchema = {"RotateParam", sizeof(RotateSettings), 3, kFields,
                                           sizeof kFields / sizeof kFields[0]};

} // namespace pixmill::pineturn
