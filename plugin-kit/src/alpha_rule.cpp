// The alpha rule's writing side: an image row with its transparent colour
// as alpha, for the writers of formats that store transparency.
#include "pixmill/alpha_rule.h"

#include "pixmill/cv_image.h"
#include "pixmill/packed_pixels.h"

#include <algorithm>

namespace pixmill {

namespace {
bool SameColor(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}
} // namespace

void RgbaRowOf(const CVImage& image, int y, uint8_t* rgba) {
    const uint8_t* row = image.Row(y);
    const int width = image.Width();
    const bool keyed = image.hasTransparentColor != 0;
    const RGBQUAD key = image.transparentColor;
    ForDepth(image.BitCount(), [&](auto depth) {
        constexpr int kBits = decltype(depth)::value;
        for (int x = 0; x < width; ++x) {
            RGBQUAD c;
            if constexpr (kBits == 24) {
                const uint8_t* p = row + 3 * x;
                c = RGBQUAD{p[0], p[1], p[2], 0};
            } else {
                c = image.palette[GetPixel<kBits>(row, x)];
            }
            uint8_t* out = rgba + 4 * x;
            out[0] = c.rgbRed;
            out[1] = c.rgbGreen;
            out[2] = c.rgbBlue;
            out[3] = keyed && SameColor(c, key) ? 0 : 255;
        }
    });
}

bool TransparencyApplies(const CVImage& image) {
    if (image.hasTransparentColor == 0) {
        return false;
    }
    if (image.BitCount() == 24) {
        return true;
    }
    return TransparentIndex(image, 1 << image.BitCount()) >= 0;
}

int TransparentIndex(const CVImage& image, int entries) {
    if (image.hasTransparentColor == 0) {
        return -1;
    }
    const int count = std::min(entries, 256);
    for (int i = 0; i < count; ++i) {
        if (SameColor(image.palette[i], image.transparentColor)) {
            return i;
        }
    }
    return -1;
}

} // namespace pixmill
