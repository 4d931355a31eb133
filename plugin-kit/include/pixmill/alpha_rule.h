// How every reader brings a picture with an alpha channel into the image
// record, which holds no alpha but one transparent colour, and how a writer
// without transparency shows that colour. One rule for every format, so a
// picture looks the same whichever file it came from:
//   - a partly transparent pixel is blended onto white;
//   - a fully transparent pixel takes the key colour kAlphaKey, which the
//     reader makes the image's transparent colour, so writers that can store
//     transparency (PNG, GIF, TIFF, WebP, AVIF) keep it;
//   - a visible pixel that would land exactly on the key colour is moved one
//     level in blue (grey pictures: one level up) so it stays visible;
//   - a writer that cannot store transparency (JPEG) writes the transparent
//     colour as white, the same background the blend uses.
// A picture with partly transparent pixels may instead be read into a 32-bit
// record with its alpha plane (CVImage::CreateWithAlpha) when the program
// keeps alpha; wherever the plane cannot go on (a format or an operation
// that does not take it) it is flattened by this same rule
// (FlattenAlphaPlane), so the result is the one the reader would have made.
#pragma once

#include "pixmill/win_types.h"

#include <cstddef>
#include <cstdint>

namespace pixmill {

class CVImage;

// The background partly transparent pixels are blended onto, and what the
// transparent colour becomes in files without transparency.
inline constexpr RGBQUAD kAlphaBackground{255, 255, 255, 0};
// The colour that stands for fully transparent pixels (a light grey, as
// transparent areas are commonly shown).
inline constexpr uint8_t kAlphaKeyLevel = 191;
inline constexpr RGBQUAD kAlphaKey{kAlphaKeyLevel, kAlphaKeyLevel, kAlphaKeyLevel, 0};

// value over white at opacity alpha (0..255), rounded.
inline uint8_t BlendOnBackground(int value, int alpha) {
    return static_cast<uint8_t>((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

// One red, green, blue, alpha pixel (8-bit samples) as the record's blue,
// green, red under the rule above.
inline void PutAlphaPixel(int red, int green, int blue, int alpha, uint8_t* bgr) {
    if (alpha == 0) {
        bgr[0] = bgr[1] = bgr[2] = kAlphaKeyLevel;
        return;
    }
    bgr[0] = BlendOnBackground(blue, alpha);
    bgr[1] = BlendOnBackground(green, alpha);
    bgr[2] = BlendOnBackground(red, alpha);
    if (bgr[0] == kAlphaKeyLevel && bgr[1] == kAlphaKeyLevel && bgr[2] == kAlphaKeyLevel) {
        bgr[0] = kAlphaKeyLevel + 1;
    }
}

// One grey, alpha pixel as a grey level under the rule above.
inline uint8_t AlphaGreyLevel(int grey, int alpha) {
    if (alpha == 0) {
        return kAlphaKeyLevel;
    }
    const uint8_t level = BlendOnBackground(grey, alpha);
    return level == kAlphaKeyLevel ? kAlphaKeyLevel + 1 : level;
}

// Picture row y (top first) of any image kind as red, green, blue, alpha:
// a 32-bit picture's own alpha; else alpha 0 where the pixel has the image's
// transparent colour (when it has one), 255 elsewhere.
void RgbaRowOf(const CVImage& image, int y, uint8_t* rgba);

// Whether 4-byte pixels (alpha the fourth byte) hold an alpha strictly
// between 0 and 255: what makes a reader keep the alpha plane.
bool AnyPartialAlpha(const uint8_t* pixels, int width, int height, size_t stride);

// Red, green, blue, alpha pixels as a 32-bit record row (blue, green, red,
// alpha).
void PutRgbaRow(const uint8_t* rgba, uint8_t* bgra, int width);

// Makes a 32-bit picture 24-bit under the rule above (partly transparent
// pixels onto white, fully transparent ones the key colour, which becomes
// the transparent colour), or 8-bit grey when every pixel is grey (as grey
// with alpha is read); other pictures are left as they are.
void FlattenAlphaPlane(CVImage& image);

// Whether pixels of the image's transparent colour exist in a palette
// entry (paletted images) or can exist (24-bit images), or the image has an
// alpha plane: the writer must store alpha.
bool TransparencyApplies(const CVImage& image);

// The palette index a paletted image's transparent colour names: the first
// entry of that colour, or -1.
int TransparentIndex(const CVImage& image, int entries);

} // namespace pixmill
