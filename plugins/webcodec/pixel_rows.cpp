#include "pixel_rows.h"

#include "pixmill/alpha_rule.h"
#include "pixmill/packed_pixels.h"

#include <algorithm>

namespace pixmill::web {

void FlattenRgbaRow(const uint8_t* rgba, uint8_t* bgr, int width, RGBQUAD background) {
    for (int x = 0; x < width; ++x, rgba += 4, bgr += 3) {
        const int a = rgba[3];
        bgr[0] = Blend(rgba[2], a, background.rgbBlue);
        bgr[1] = Blend(rgba[1], a, background.rgbGreen);
        bgr[2] = Blend(rgba[0], a, background.rgbRed);
    }
}

void KeyRgbaRow(const uint8_t* rgba, uint8_t* bgr, int width) {
    for (int x = 0; x < width; ++x, rgba += 4, bgr += 3) {
        PutAlphaPixel(rgba[0], rgba[1], rgba[2], rgba[3], bgr);
    }
}

bool AnyTransparent(const uint8_t* rgba, int width, int height, size_t stride) {
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = rgba + stride * static_cast<size_t>(y);
        for (int x = 0; x < width; ++x) {
            if (row[4 * x + 3] != 255) {
                return true;
            }
        }
    }
    return false;
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
    if (AnyPartialAlpha(rgba, width, height, stride)) {
        image.CreateWithAlpha(width, height);
        for (int y = 0; y < height; ++y) {
            PutRgbaRow(rgba + stride * static_cast<size_t>(y), image.Row(y), width);
        }
        return;
    }
    image.Create(width, height, 24, 0, nullptr);
    for (int y = 0; y < height; ++y) {
        FlattenRgbaRow(rgba + stride * static_cast<size_t>(y), image.Row(y), width, background);
    }
}

void KeepVisibleEntries(RGBQUAD* palette, int colors, const bool* transparent, RGBQUAD key) {
    for (int i = 0; i < colors; ++i) {
        RGBQUAD& c = palette[i];
        if (!transparent[i] && c.rgbRed == key.rgbRed && c.rgbGreen == key.rgbGreen &&
            c.rgbBlue == key.rgbBlue) {
            c.rgbBlue = static_cast<uint8_t>(c.rgbBlue == 255 ? 254 : c.rgbBlue + 1);
        }
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

} // namespace pixmill::web
