#include "elmpass_settings.h"

namespace pixmill::elmpass {

namespace {
const SettingsField kFields[] = {
    {"smoothFlag", offsetof(FilterSettings, paneFlag) + 0, FieldType::U8, 0, 1, 1,
     "Smooth settings confirmed"},
    {"sharpenFlag", offsetof(FilterSettings, paneFlag) + 1, FieldType::U8, 0, 1, 1,
     "Sharpen settings confirmed"},
    {"despeckleFlag", offsetof(FilterSettings, paneFlag) + 2, FieldType::U8, 0, 1, 1,
     "Despeckle settings confirmed"},
    {"smoothStrength", offsetof(FilterSettings, strength) + 0, FieldType::I32, kMinStrength,
     kMaxStrength, 10, "strength of Smooth"},
    {"sharpenStrength", offsetof(FilterSettings, strength) + 4, FieldType::I32, kMinStrength,
     kMaxStrength, 10, "strength of Sharpen"},
    {"despeckleStrength", offsetof(FilterSettings, strength) + 8, FieldType::I32, kMinStrength,
     kMaxStrength, 10, "strength of Despeckle"},
};
} // namespace

const SettingsBlockSchema kFilterSchema = {kFilterSettingsName, sizeof(FilterSettings), 3, kFields,
                                           sizeof kFields / sizeof kFields[0]};

const SettingsField& StrengthField(int slot) {
    return kFields[3 + slot];
}

} // namespace pixmill::elmpass
