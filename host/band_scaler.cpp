#include "host/band_scaler.h"

#include "pixmill/cv_image.h"
#include "pixmill/packed_pixels.h"

#include <algorithm>

namespace pixmill {

void BandScaler::Begin(CVImage* target, SIZE sourceSize, bool rowsBottomUp) {
    image = target;
    source = sourceSize;
    bottomUp = rowsBottomUp;
    stepX = static_cast<uint32_t>((static_cast<uint64_t>(sourceSize.cx) << 16) / target->Width());
    stepY = static_cast<uint32_t>((static_cast<uint64_t>(sourceSize.cy) << 16) / target->Height());
    sourceStride = CVImage::StrideOf(target->BitCount(), sourceSize.cx);
}

void BandScaler::Lines(const RECT* band, const uint8_t* rows) {
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
                SetIndex(to, x, bitCount, GetIndex(from, sx, bitCount));
            }
        }
    }
}

} // namespace pixmill
