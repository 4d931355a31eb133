#include "desktop/row_renderer.h"

#include "pixmill/cv_image.h"

#include <algorithm>
#include <vector>

namespace pixmill {

namespace {

// The checkerboard under partly transparent pictures: squares of this many
// screen pixels in two light greys.
constexpr int kCheckerSquare = 8;
constexpr int kCheckerLight = 0xFF;
constexpr int kCheckerDark = 0xCC;

uint32_t Pack(uint8_t red, uint8_t green, uint8_t blue) {
    return 0xFF000000u | (uint32_t{red} << 16) | (uint32_t{green} << 8) | blue;
}

// The source pixel for every screen position along one axis.
std::vector<int> SourcePositions(int first, int count, double zoom, int limit) {
    std::vector<int> positions(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        positions[static_cast<size_t>(i)] =
            std::clamp(ScreenToImage(first + i, zoom), 0, limit - 1);
    }
    return positions;
}

} // namespace

void RenderRows(const CVImage& image, double zoom, const GammaTable& gamma, const RenderArea& area,
                uint32_t* out, size_t outStride) {
    if (image.bits == nullptr || image.Width() <= 0 || image.Height() <= 0 || area.width <= 0 ||
        area.height <= 0) {
        return;
    }
    const std::vector<int> columns = SourcePositions(area.x, area.width, zoom, image.Width());
    const std::vector<int> rows = SourcePositions(area.y, area.height, zoom, image.Height());
    const int bitCount = image.BitCount();

    uint32_t colours[256];
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD entry = i < image.paletteCount ? image.palette[i] : RGBQUAD{0, 0, 0, 0};
        colours[i] = Pack(gamma[entry.rgbRed], gamma[entry.rgbGreen], gamma[entry.rgbBlue]);
    }

    for (size_t r = 0; r < rows.size(); ++r) {
        const uint8_t* source = image.Row(rows[r]);
        uint32_t* target = out + r * outStride;
        switch (bitCount) {
        case kAlphaBitCount: {
            // Straight alpha over a light checkerboard fixed to the zoomed
            // picture, so transparent areas read as such and stay put
            // while it scrolls.
            const int screenY = area.y + static_cast<int>(r);
            for (size_t c = 0; c < columns.size(); ++c) {
                const uint8_t* pixel = source + 4 * static_cast<size_t>(columns[c]);
                const int alpha = pixel[3];
                const int screenX = area.x + static_cast<int>(c);
                const int under = (((screenX / kCheckerSquare) + (screenY / kCheckerSquare)) & 1) != 0
                                      ? kCheckerDark
                                      : kCheckerLight;
                const auto over = [&](uint8_t value) {
                    return static_cast<uint8_t>((gamma[value] * alpha + under * (255 - alpha) + 127) /
                                                255);
                };
                target[c] = Pack(over(pixel[2]), over(pixel[1]), over(pixel[0]));
            }
            break;
        }
        case 24:
            for (size_t c = 0; c < columns.size(); ++c) {
                const uint8_t* pixel = source + 3 * static_cast<size_t>(columns[c]);
                target[c] = Pack(gamma[pixel[2]], gamma[pixel[1]], gamma[pixel[0]]);
            }
            break;
        case 8:
            for (size_t c = 0; c < columns.size(); ++c) {
                target[c] = colours[source[columns[c]]];
            }
            break;
        case 4:
            for (size_t c = 0; c < columns.size(); ++c) {
                const uint8_t byte = source[columns[c] >> 1];
                target[c] = colours[(columns[c] & 1) != 0 ? byte & 0x0F : byte >> 4];
            }
            break;
        case 1:
            for (size_t c = 0; c < columns.size(); ++c) {
                const uint8_t byte = source[columns[c] >> 3];
                target[c] = colours[(byte >> (7 - (columns[c] & 7))) & 1];
            }
            break;
        default:
            std::fill(target, target + columns.size(), 0xFF000000u);
            break;
        }
    }
}

} // namespace pixmill
