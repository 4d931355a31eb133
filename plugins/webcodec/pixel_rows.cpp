#include "pixel_rows.h"

#include "pixmill/packed_pixels.h"

#include <algorithm>

namespace pixmill::web {

namespace {
bool SameColor(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}
} // namespace

void FlattenRgbaRow(const uint8_t* rgba, uint8_t* bgr, int width, RGBQUAD background) {
    for (int x = 0; x < width; ++x, rgba += 4, bgr += 3) {
        const int a = rgba[3];
        bgr[0] = Blend(rgba[2], a, background.rgbBlue);
        bgr[1] = Blend(rgba[1], a, background.rgbGreen);
        bgr[2] = Blend(rgba[0], a, background.rgbRed);
    }
}

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

std::vector<uint8_t> RgbaPixelsOf(const CVImage& image) {
    const size_t rowBytes = 4 * static_cast<size_t>(image.Width());
    std::vector<uint8_t> pixels(rowBytes * static_cast<size_t>(image.Height()));
    for (int y = 0; y < image.Height(); ++y) {
        RgbaRowOf(image, y, pixels.data() + rowBytes * static_cast<size_t>(y));
    }
    return pixels;
}

void CreateFromRgba(CVImage& image, int width, int height, const uint8_t* rgba, size_t stride,
                    RGBQUAD background) {
    image.Create(width, height, 24, 0, nullptr);
    for (int y = 0; y < height; ++y) {
        FlattenRgbaRow(rgba + stride * static_cast<size_t>(y), image.Row(y), width, background);
    }
}

int HighestIndex(const CVImage& image) {
    int highest = 0;
    ForIndexDepth(image.BitCount(), [&](auto depth) {
        for (int y = 0; y < image.Height(); ++y) {
            const uint8_t* row = image.Row(y);
            for (int x = 0; x < image.Width(); ++x) {
                highest =
                    std::max(highest, static_cast<int>(GetPixel<decltype(depth)::value>(row, x)));
            }
        }
    });
    return highest;
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

} // namespace pixmill::web
