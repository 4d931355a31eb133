#include "host/orientation.h"

#include "pixmill/cv_image.h"
#include "pixmill/packed_pixels.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace pixmill {

bool OrientationSwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

namespace {

// The quarter turns of 24-bit pictures (every photograph a phone takes
// upright), in tiles: a stored row's run of pixels goes down a tile's
// column of the upright picture, so both stay in the cache. Upright
// (x, y) shows stored (sx, sy) with sx from y alone and sy from x alone.
void TransposeRgb(const CVImage& image, CVImage& turned, int orientation) {
    constexpr int kTile = 32;
    const int W = image.Width(), H = image.Height();
    const int outWidth = turned.Width(), outHeight = turned.Height();
    const bool rowsFromBottom = orientation == 6 || orientation == 7;
    const bool columnsFromRight = orientation == 7 || orientation == 8;
    std::vector<uint8_t*> rows(static_cast<size_t>(outHeight));
    const size_t pixelBytes = 3 * static_cast<size_t>(outWidth);
    for (int y = 0; y < outHeight; ++y) {
        rows[static_cast<size_t>(y)] = turned.Row(y);
        std::memset(turned.Row(y) + pixelBytes, 0, turned.Stride() - pixelBytes);
    }
    for (int y0 = 0; y0 < outHeight; y0 += kTile) {
        const int y1 = std::min(y0 + kTile, outHeight);
        for (int x = 0; x < outWidth; ++x) {
            const uint8_t* in = image.Row(rowsFromBottom ? H - 1 - x : x);
            for (int y = y0; y < y1; ++y) {
                const uint8_t* from = in + 3 * static_cast<size_t>(columnsFromRight ? W - 1 - y : y);
                uint8_t* to = rows[static_cast<size_t>(y)] + 3 * static_cast<size_t>(x);
                to[0] = from[0];
                to[1] = from[1];
                to[2] = from[2];
            }
        }
    }
}

} // namespace

void TurnUpright(CVImage& image, int orientation) {
    if (orientation < 2 || orientation > 8 || image.bits == nullptr) {
        return;
    }
    const int W = image.Width(), H = image.Height();
    const bool swaps = OrientationSwapsSides(orientation);
    const int outWidth = swaps ? H : W, outHeight = swaps ? W : H;
    CVImage turned(image.host);
    const TransparencyInfo transparency = image.Transparency();
    const int xDensity = swaps ? image.header.biYPelsPerMeter : image.header.biXPelsPerMeter;
    const int yDensity = swaps ? image.header.biXPelsPerMeter : image.header.biYPelsPerMeter;
    if (image.HasAlphaPlane()) {
        turned.CreateWithAlpha(outWidth, outHeight, xDensity, yDensity);
    } else {
        turned.Create(outWidth, outHeight, image.BitCount(), image.paletteCount, &transparency,
                      xDensity, yDensity);
    }
    turned.SetPalette(image.palette);
    if (swaps && image.BitCount() == 24) {
        // Every pixel is written: only the rows' padding is cleared (the
        // pages of a large picture are touched once, not twice).
        TransposeRgb(image, turned, orientation);
        CVImage::CopyImage(&image, &turned, nullptr);
        return;
    }
    std::memset(turned.bits, 0, turned.ImageBytes());
    // For each pixel (x, y) of the upright picture (top row 0), the stored
    // pixel it shows.
    auto source = [&](int x, int y, int& sx, int& sy) {
        switch (orientation) {
        case 2: sx = W - 1 - x; sy = y; break;
        case 3: sx = W - 1 - x; sy = H - 1 - y; break;
        case 4: sx = x; sy = H - 1 - y; break;
        case 5: sx = y; sy = x; break;
        case 6: sx = y; sy = H - 1 - x; break;
        case 7: sx = W - 1 - y; sy = H - 1 - x; break;
        default: sx = W - 1 - y; sy = x; break; // 8
        }
    };
    if (image.HasAlphaPlane()) {
        // Blue, green, red, alpha: four bytes a pixel, moved whole.
        for (int y = 0; y < outHeight; ++y) {
            uint8_t* out = turned.Row(y);
            for (int x = 0; x < outWidth; ++x) {
                int sx = 0, sy = 0;
                source(x, y, sx, sy);
                std::memcpy(out + 4 * static_cast<size_t>(x),
                            image.Row(sy) + 4 * static_cast<size_t>(sx), 4);
            }
        }
        CVImage::CopyImage(&image, &turned, nullptr);
        return;
    }
    ForDepth(image.BitCount(), [&](auto bits) {
        constexpr int Bits = decltype(bits)::value;
        for (int y = 0; y < outHeight; ++y) {
            uint8_t* out = turned.Row(y);
            if (!swaps) {
                int sx = 0, sy = 0;
                source(0, y, sx, sy);
                const uint8_t* in = image.Row(sy);
                if (sx == 0) { // same order: the whole row at once
                    std::memcpy(out, in, turned.Stride());
                    continue;
                }
                for (int x = 0; x < outWidth; ++x) {
                    OrPixel<Bits>(out, x, GetPixel<Bits>(in, W - 1 - x));
                }
                continue;
            }
            for (int x = 0; x < outWidth; ++x) {
                int sx = 0, sy = 0;
                source(x, y, sx, sy);
                OrPixel<Bits>(out, x, GetPixel<Bits>(image.Row(sy), sx));
            }
        }
    });
    CVImage::CopyImage(&image, &turned, nullptr);
}

} // namespace pixmill
