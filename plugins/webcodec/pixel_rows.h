// Pixel rows between the image record and the web-format libraries, which
// speak red, green, blue (and alpha) in byte order: alpha flattened onto a
// background, and any image kind widened to such rows for an encoder.
#pragma once

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

// Picture row y (top first) of any image kind as red, green, blue, alpha:
// alpha 0 where the pixel has the image's transparent colour (when it has
// one), 255 elsewhere.
void RgbaRowOf(const CVImage& image, int y, uint8_t* rgba);

// The whole picture as red, green, blue, alpha rows (top first, no padding),
// as RgbaRowOf gives them: what the lossy encoders take.
std::vector<uint8_t> RgbaPixelsOf(const CVImage& image);

// Makes image a 24-bit picture of width x height from red, green, blue,
// alpha rows (top first, stride bytes apart), flattened onto background:
// how a written result is shown as a preview.
void CreateFromRgba(CVImage& image, int width, int height, const uint8_t* rgba, size_t stride,
                    RGBQUAD background);

// Whether pixels of the image's transparent colour exist in a palette
// entry (paletted images) or can exist (24-bit images): the record's
// transparent colour is worth writing.
bool TransparencyApplies(const CVImage& image);

// The highest palette index a paletted image's pixels use.
int HighestIndex(const CVImage& image);

// The palette index a paletted image's transparent colour names: the first
// entry of that colour, or -1.
int TransparentIndex(const CVImage& image, int entries);

} // namespace pixmill::web
