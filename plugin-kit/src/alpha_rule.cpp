// The alpha rule's writing side: an image row with its transparent colour
// (or its alpha plane) as alpha, for the writers of formats that store
// transparency; and the flattening of an alpha plane for everything else.
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
    if (image.HasAlphaPlane()) {
        for (int x = 0; x < width; ++x, row += 4, rgba += 4) {
            rgba[0] = row[2];
            rgba[1] = row[1];
            rgba[2] = row[0];
            rgba[3] = row[3];
        }
        return;
    }
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

bool AnyPartialAlpha(const uint8_t* pixels, int width, int height, size_t stride) {
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels + stride * static_cast<size_t>(y);
        for (int x = 0; x < width; ++x) {
            const uint8_t alpha = row[4 * x + 3];
            if (alpha != 0 && alpha != 255) {
                return true;
            }
        }
    }
    return false;
}

void PutRgbaRow(const uint8_t* rgba, uint8_t* bgra, int width) {
    for (int x = 0; x < width; ++x, rgba += 4, bgra += 4) {
        bgra[0] = rgba[2];
        bgra[1] = rgba[1];
        bgra[2] = rgba[0];
        bgra[3] = rgba[3];
    }
}

void FlattenAlphaPlane(CVImage& image) {
    if (!image.HasAlphaPlane() || image.bits == nullptr) {
        return;
    }
    const int width = image.Width();
    bool grey = true;
    for (int y = 0; y < image.Height() && grey; ++y) {
        const uint8_t* p = image.Row(y);
        for (int x = 0; x < width && grey; ++x, p += 4) {
            grey = p[0] == p[1] && p[1] == p[2];
        }
    }
    // A grey picture (grey with alpha in its file) becomes 8-bit grey, as
    // its reader makes it under the rule.
    CVImage flat(image.host);
    const TransparencyInfo key{kAlphaKey, 1};
    flat.Create(width, image.Height(), grey ? 8 : 24, 0, &key, image.header.biXPelsPerMeter,
                image.header.biYPelsPerMeter);
    if (grey) {
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<uint8_t>(i);
            flat.palette[i] = RGBQUAD{v, v, v, 0};
        }
    }
    for (int y = 0; y < image.Height(); ++y) {
        const uint8_t* from = image.Row(y);
        uint8_t* to = flat.Row(y);
        for (int x = 0; x < width; ++x, from += 4) {
            if (grey) {
                to[x] = AlphaGreyLevel(from[0], from[3]);
            } else {
                PutAlphaPixel(from[2], from[1], from[0], from[3], to + 3 * x);
            }
        }
    }
    CVImage::CopyImage(&image, &flat, nullptr);
}

bool TransparencyApplies(const CVImage& image) {
    if (image.HasAlphaPlane()) {
        return true;
    }
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
