// The colour-conversion plug-in's stored settings blocks: the conversion and
// the colour mapping.
#pragma once

#include "pixmill/settings_schema.h"

#include <cstdint>

namespace pixmill::cedarcol {

#pragma pack(push, 1)
struct QorelColorInfo {
    int32_t conversionCode; // ConversionCode below
    int32_t colorCount;     // colours for code 32
    int32_t paletteKind;    // PaletteKind below
    int32_t reserved;       // always 0
    int16_t threshold;      // black-and-white threshold, 0..255
    uint8_t fixedPalette;   // 1 when the palette planes hold a fixed palette
    uint8_t reserved2;
};

// How colours are mapped onto a palette: the dither level and the web-colour
// tolerance, in a block of their own so that stored "QorelColorInfo" blocks
// keep their size.
struct ColorMapping {
    int32_t ditherLevel; // 0 (none) .. 10
    int32_t tolerance;   // 0..25
    int32_t highQuality; // 1: adaptive palettes by the finer, slower search
    int32_t reserved;
};
#pragma pack(pop)
static_assert(sizeof(QorelColorInfo) == 20, "stored settings block");
static_assert(sizeof(ColorMapping) == 16, "stored settings block");

enum ConversionCode : int32_t {
    CodeBilevel = 1,
    CodePaletted16 = 2,
    CodeGray = 4,
    CodePaletted256 = 8,
    CodeRgb = 16,
    CodeColorCount = 32, // target taken from the colour count
};

enum PaletteKind : int32_t {
    PaletteWindows = 0,
    PaletteMacintosh = 1,
    PaletteAdaptive = 2,
    PaletteNetscape = 3,
    PaletteExplorer = 4,
};
constexpr int kPaletteKindCount = 5;

constexpr int kDefaultDitherLevel = 8;
constexpr int kMaxDitherLevel = 10;
constexpr int kDefaultTolerance = 0;
constexpr int kMaxTolerance = 25;

// Both blocks, in the order GetSettingsSchema hands them out.
extern const SettingsBlockSchema kColorSchemas[2];
extern const SettingsBlockSchema& kColorInfoSchema;
extern const SettingsBlockSchema& kColorMappingSchema;
const SettingsField& ColorInfoField(const char* name);

// The blocks with every declared default.
QorelColorInfo DefaultColorInfo();
ColorMapping DefaultColorMapping();

} // namespace pixmill::cedarcol
