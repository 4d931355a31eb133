#include "oaktone_settings.h"

namespace pixmill::oaktone {

namespace {

constexpr uint32_t ToneOffset(int row, int value) {
    return static_cast<uint32_t>(offsetof(AdjustSettings, tone) + (row * 3 + value) * 2);
}
constexpr uint32_t GammaOffset(int row) {
    return static_cast<uint32_t>(offsetof(AdjustSettings, gamma) + row * 8);
}

#define PIXMILL_TONE_FIELDS(Row, row)                                                              \
    {"brightness" Row,  ToneOffset(row, ValueBrightness), FieldType::I16, kMinTone, kMaxTone, 0,   \
     "brightness, " Row},                                                                          \
        {"contrast" Row,  ToneOffset(row, ValueContrast), FieldType::I16, kMinTone, kMaxTone, 0,   \
         "contrast, " Row},                                                                        \
    {                                                                                              \
        "intensity" Row, ToneOffset(row, ValueIntensity), FieldType::I16, kMinTone, kMaxTone, 0,   \
            "intensity, " Row                                                                      \
    }

const SettingsField kFields[] = {
    {"toneUsesAll", offsetof(AdjustSettings, toneUsesAll), FieldType::U8, 0, 1, 1,
     "brightness-contrast-intensity uses the All colors values"},
    {"gammaUsesAll", offsetof(AdjustSettings, gammaUsesAll), FieldType::U8, 0, 1, 1,
     "gamma uses the All colors value"},
    PIXMILL_TONE_FIELDS("All", RowAll),
    PIXMILL_TONE_FIELDS("Red", RowRed),
    PIXMILL_TONE_FIELDS("Green", RowGreen),
    PIXMILL_TONE_FIELDS("Blue", RowBlue),
    {"gammaAll", GammaOffset(RowAll), FieldType::F64, kMinGamma, kMaxGamma, 1.0, "gamma, All"},
    {"gammaRed", GammaOffset(RowRed), FieldType::F64, kMinGamma, kMaxGamma, 1.0, "gamma, Red"},
    {"gammaGreen", GammaOffset(RowGreen), FieldType::F64, kMinGamma, kMaxGamma, 1.0,
     "gamma, Green"},
    {"gammaBlue", GammaOffset(RowBlue), FieldType::F64, kMinGamma, kMaxGamma, 1.0, "gamma, Blue"},
};

#undef PIXMILL_TONE_FIELDS

} // namespace

const SettingsBlockSchema kAdjustSchema = {kAdjustSettingsName, sizeof(AdjustSettings), 3, kFields,
                                           sizeof kFields / sizeof kFields[0]};

AdjustSettings DefaultAdjustSettings() {
    return DefaultBlock<AdjustSettings>(kAdjustSchema);
}

} // namespace pixmill::oaktone
