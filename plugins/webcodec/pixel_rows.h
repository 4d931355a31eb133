// Pixel rows between the image record and the web-format libraries, which
// speak red, green, blue (and alpha) in byte order: alpha flattened onto a
// background, and any image kind widened to such rows for an encoder.
#pragma once

#include "pixmill/alpha_rule.h"
#include "pixmill/cv_image.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pixmill::web {

inline constexpr RGBQUAD kWhite{255, 255, 255, 0};

// value over background at opacity alpha (0..255), rounded.
inline uint8_t Blend(int value, int alpha, int background) {
    return static_cast<uint8_t>((value * alpha + background * (255 - alpha) + 127) / 255);
}

// Red, green, blue, alpha pixels onto a background, as the record's blue,
// green, red.
void FlattenRgbaRow(const uint8_t* rgba, uint8_t* bgr, int width, RGBQUAD background);

// Red, green, blue, alpha pixels as the record's blue, green, red under the
// alpha rule of every reader (pixmill/alpha_rule.h): fully transparent
// pixels become kAlphaKey, which the reader makes the transparent colour.
void KeyRgbaRow(const uint8_t* rgba, uint8_t* bgr, int width);

// Whether any pixel of red, green, blue, alpha rows is not fully opaque.
bool AnyTransparent(const uint8_t* rgba, int width, int height, size_t stride);

// The whole picture as red, green, blue, alpha rows (top first, no padding),
// as pixmill::RgbaRowOf gives them: what the lossy encoders take.
std::vector<uint8_t> RgbaPixelsOf(const CVImage& image);

// Makes image a picture of width x height from red, green, blue, alpha rows
// (top first, stride bytes apart): how a written result is shown as a
// preview. Partly transparent pixels keep their alpha plane, as the
// picture being saved has it; else it is 24-bit, flattened onto background.
void CreateFromRgba(CVImage& image, int width, int height, const uint8_t* rgba, size_t stride,
                    RGBQUAD background);

// A palette whose entries transparent[i] are the transparent ones, all of
// the colour key: a visible entry of that colour would vanish with them, so
// it moves one level in blue.
void KeepVisibleEntries(RGBQUAD* palette, int colors, const bool* transparent, RGBQUAD key);

// The highest palette index a paletted image's pixels use.
int HighestIndex(const CVImage& image);

// The transparency tests of the kit (pixmill/alpha_rule.h), as the web
// writers name them.
using pixmill::TransparencyApplies;
using pixmill::TransparentIndex;

} // namespace pixmill::web
