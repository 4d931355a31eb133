#include "host/orientation.h"

#include "pixmill/cv_image.h"
#include "pixmill/packed_pixels.h"

#include <cstring>

namespace pixmill {

bool OrientationSwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

void TurnUpright(CVImage& image, int orientation) {
    if (orientation < 2 || orientation > 8 || image.bits == nullptr) {
        return;
    }
    const int W = image.Width(), H = image.Height();
    const bool swaps = OrientationSwapsSides(orientation);
    const int outWidth = swaps ? H : W, outHeight = swaps ? W : H;
    CVImage turned(image.host);
    const TransparencyInfo transparency = image.Transparency();
    turned.Create(outWidth, outHeight, image.BitCount(), image.paletteCount, &transparency,
                  swaps ? image.header.biYPelsPerMeter : image.header.biXPelsPerMeter,
                  swaps ? image.header.biXPelsPerMeter : image.header.biYPelsPerMeter);
    turned.SetPalette(image.palette);
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
