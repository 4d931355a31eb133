#include "alderfmt_settings.h"

#include <cstddef>

namespace pixmill::alder {

namespace {

// Before the stored record is loaded every field is 0: best quality,
// sequential, unlocked, no sharpening, exact encoding.
const SettingsField kFields[] = {
    {"luminance", offsetof(JpegSettings, luminance), FieldType::I32, 0, 255, 0,
     "luminance quality level, 0 best"},
    {"chrominance", offsetof(JpegSettings, chrominance), FieldType::I32, 0, 255, 0,
     "chrominance quality level, 0 best"},
    {"progressive", offsetof(JpegSettings, progressive), FieldType::U8, 0, 1, 0,
     "write progressive JPEG"},
    {"lockSliders", offsetof(JpegSettings, lockSliders), FieldType::U8, 0, 1, 0,
     "the two levels move together in the options pane"},
    {"sharpen", offsetof(JpegSettings, sharpen), FieldType::I32, 0, 100, 0,
     "keep high-frequency detail in busy blocks (0 off)"},
    {"web", offsetof(JpegSettings, web), FieldType::U8, 0, 1, 0,
     "web encoding: more detail per byte (0 exact)"},
};

const SettingsField kTargetFields[] = {
    {"targetBytes", offsetof(JpegTargetSettings, targetBytes), FieldType::I32, 0, 2147483647, 0,
     "largest file in bytes: the best level that fits is chosen (0 off)"},
};

} // namespace

const SettingsBlockSchema kJpegSchemas[2] = {
    {kSettingsName, sizeof(JpegSettings), 3, kFields, sizeof(kFields) / sizeof(kFields[0])},
    {kTargetSettingsName, sizeof(JpegTargetSettings), 1, kTargetFields,
     sizeof(kTargetFields) / sizeof(kTargetFields[0])},
};
const SettingsBlockSchema& kJpegSchema = kJpegSchemas[0];
const SettingsBlockSchema& kJpegTargetSchema = kJpegSchemas[1];

const SettingsField& LuminanceField() {
    return kFields[0];
}
const SettingsField& ChrominanceField() {
    return kFields[1];
}
const SettingsField& SharpenField() {
    return kFields[4];
}
const SettingsField& WebField() {
    return kFields[5];
}
const SettingsField& TargetBytesField() {
    return kTargetFields[0];
}

} // namespace pixmill::alder
