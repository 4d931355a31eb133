#include "cedarcol_settings.h"

#include <cstddef>
#include <cstdlib>

namespace pixmill::cedarcol {

namespace {
const SettingsField kFields[] = {
    {"conversionCode", offsetof(QorelColorInfo, conversionCode), FieldType::I32, 1, 32, 8,
     "target: 1 black and white, 2 16 colours, 4 grey, 8 256 colours, 16 RGB, "
     "32 colour count"},
    {"colorCount", offsetof(QorelColorInfo, colorCount), FieldType::I32, 2, 256, 256,
     "number of colours for conversion code 32"},
    {"paletteKind", offsetof(QorelColorInfo, paletteKind), FieldType::I32, 0, 4, 2,
     "palette: 0 Windows system, 1 Macintosh system, 2 adaptive, 3 Netscape Navigator, "
     "4 Microsoft Internet Explorer"},
    {"reserved", offsetof(QorelColorInfo, reserved), FieldType::I32, 0, 0, 0, "always 0"},
    {"threshold", offsetof(QorelColorInfo, threshold), FieldType::I16, 0, 255, 128,
     "black-and-white threshold"},
    {"fixedPalette", offsetof(QorelColorInfo, fixedPalette), FieldType::Bool, 0, 1, 0,
     "the palette planes hold the fixed palette of the palette kind"},
};

const SettingsField kMappingFields[] = {
    {"ditherLevel", offsetof(ColorMapping, ditherLevel), FieldType::I32, 0, kMaxDitherLevel,
     kDefaultDitherLevel, "error diffusion strength for palette targets, 0 none"},
    {"tolerance", offsetof(ColorMapping, tolerance), FieldType::I32, 0, kMaxTolerance,
     kDefaultTolerance, "adaptive palettes: entries this close to a web colour become it"},
    {"highQuality", offsetof(ColorMapping, highQuality), FieldType::I32, 0, 1, 0,
     "adaptive palettes: 1 chooses the colours by a finer search (closer colours, a few "
     "times slower; a picture with no more colours than the palette keeps them)"},
};
} // namespace

const SettingsBlockSchema kColorSchemas[2] = {
    {"QorelColorInfo", sizeof(QorelColorInfo), 3, kFields, sizeof(kFields) / sizeof(kFields[0])},
    {"QorelColorMapping", sizeof(ColorMapping), 1, kMappingFields,
     sizeof(kMappingFields) / sizeof(kMappingFields[0])},
};
const SettingsBlockSchema& kColorInfoSchema = kColorSchemas[0];
const SettingsBlockSchema& kColorMappingSchema = kColorSchemas[1];

const SettingsField& ColorInfoField(const char* name) {
    const SettingsField* field = FindField(kColorInfoSchema, name);
    if (field == nullptr) {
        std::abort(); // a misspelt field name is a programming error
    }
    return *field;
}

QorelColorInfo DefaultColorInfo() {
    return DefaultBlock<QorelColorInfo>(kColorInfoSchema);
}

ColorMapping DefaultColorMapping() {
    return DefaultBlock<ColorMapping>(kColorMappingSchema);
}

} // namespace pixmill::cedarcol
