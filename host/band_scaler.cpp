#include "host/band_scaler.h"

#include "pixmill/cv_image.h"

#include <algorithm>

namespace pixmill {

void CBandScaler::Begin(CVImage* target, SIZE sourceSize, bool rowsBottomUp) {
    image = target;
    source = sourceSize;
    bottomUp = rowsBottomUp;
    stepX = static_cast<uint32_t>((static_cast<uint64_t>(sourceSize.cx) << 16) / target->Width());
    stepY = static_cast<uint32_t>((static_cast<uint64_t>(sourceSize.cy) << 16) / target->Height());
    sourceStride = CVImage::StrideOf(target->BitCount(), sourceSize.cx);
}

namespace {
int PixelAt(const uint8_t* row, int x, int bitCount) {
    switch (bitCount) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
    default:
        return row[x];
    }
}
void SetPixel(uint8_t* row, int x, int bitCount, int value) {
    if (bitCount == 1) {
        const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
        row[x >> 3] = static_cast<uint8_t>(value ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask));
    } else if (bitCount == 4) {
        const int shift = (x & 1) ? 0 : 4;
        row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & ~(0x0F << shift)) | (value << shift));
    } else {
        row[x] = static_cast<uint8_t>(value);
    }
}
} // namespace

void CBandScaler::Lines(const RECT* band, const uint8_t* rows) {
    if (image == nullptr || band->bottom <= band->top) {
        return;
    }
    const int width = image->Width();
    const int height = image->Height();
    const int bitCount = image->BitCount();
    // Target rows whose source row lies in the band: sy = (y * stepY) >> 16.
    for (int y = 0; y < height; ++y) {
        const int sy = static_cast<int>((static_cast<uint64_t>(y) * stepY) >> 16);
        if (sy < band->top) {
            continue;
        }
        if (sy >= band->bottom || sy >= source.cy) {
            break;
        }
        const ptrdiff_t offset =
            static_cast<ptrdiff_t>(sy - band->top) * static_cast<ptrdiff_t>(sourceStride);
        const uint8_t* from = bottomUp ? rows - offset : rows + offset;
        uint8_t* to = image->Row(y);
        for (int x = 0; x < width; ++x) {
            const int sx = std::min<int>(static_cast<int>((static_cast<uint64_t>(x) * stepX) >> 16),
                                         source.cx - 1);
            if (bitCount == 24) {
                to[3 * x] = from[3 * sx];
                to[3 * x + 1] = from[3 * sx + 1];
                to[3 * x + 2] = from[3 * sx + 2];
            } else {
                SetPixel(to, x, bitCount, PixelAt(from, sx, bitCount));
            }
        }
    }
}

} // namespace pixmill
