#include "desktop/preview_source.h"

#include "host/host_services.h"
#include "pixmill/cv_image.h"

#include <algorithm>
#include <cstring>

namespace pixmill {

namespace {

int PixelAt(const uint8_t* row, int x, int bitCount) {
    switch (bitCount) {
    case 8:
        return row[x];
    case 4:
        return (x & 1) != 0 ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    default:
        return 0;
    }
}

void SetPixel(uint8_t* row, int x, int bitCount, int value) {
    switch (bitCount) {
    case 8:
        row[x] = static_cast<uint8_t>(value);
        break;
    case 4: {
        uint8_t& byte = row[x >> 1];
        byte = (x & 1) != 0 ? static_cast<uint8_t>((byte & 0xF0) | value)
                            : static_cast<uint8_t>((byte & 0x0F) | (value << 4));
        break;
    }
    case 1: {
        const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
        row[x >> 3] = static_cast<uint8_t>(value != 0 ? row[x >> 3] | mask : row[x >> 3] & ~mask);
        break;
    }
    default:
        break;
    }
}

} // namespace

void MakePreviewSource(const CVImage& image, const RECT* selection, int maxWidth, int maxHeight,
                       CVImage& target) {
    CVImage cropped(image.host);
    const bool crop = selection != nullptr && selection->right > selection->left &&
                      selection->bottom > selection->top;
    CVImage::CopyImage(&cropped, &image, crop ? selection : nullptr);
    const int width = cropped.Width();
    const int height = cropped.Height();
    if (width <= maxWidth && height <= maxHeight) {
        CVImage::CopyImage(&target, &cropped, nullptr);
        return;
    }
    const SIZE size = FitSizeInBox(width, height, maxWidth, maxHeight);
    const int newWidth = std::max(1, static_cast<int>(size.cx));
    const int newHeight = std::max(1, static_cast<int>(size.cy));
    if (cropped.HasAlphaPlane()) {
        target.CreateWithAlpha(newWidth, newHeight, cropped.header.biXPelsPerMeter,
                               cropped.header.biYPelsPerMeter);
    } else {
        const TransparencyInfo transparency = cropped.Transparency();
        target.Create(newWidth, newHeight, cropped.BitCount(), cropped.paletteCount,
                      &transparency, cropped.header.biXPelsPerMeter,
                      cropped.header.biYPelsPerMeter);
        target.SetPalette(cropped.palette);
        target.paletteCount = cropped.paletteCount;
    }
    const int bitCount = cropped.BitCount();
    const size_t pixelBytes = static_cast<size_t>(bitCount / 8);
    for (int y = 0; y < newHeight; ++y) {
        const uint8_t* source =
            cropped.Row(static_cast<int>(static_cast<int64_t>(y) * height / newHeight));
        uint8_t* row = target.Row(y);
        std::memset(row, 0, target.Stride());
        for (int x = 0; x < newWidth; ++x) {
            const int sx = static_cast<int>(static_cast<int64_t>(x) * width / newWidth);
            if (bitCount >= 24) {
                std::memcpy(row + pixelBytes * x, source + pixelBytes * sx, pixelBytes);
            } else {
                SetPixel(row, x, bitCount, PixelAt(source, sx, bitCount));
            }
        }
    }
}

} // namespace pixmill
