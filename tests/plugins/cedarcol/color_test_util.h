// Helpers shared by the colour-conversion tests.
#pragma once

#include "palette_reduce.h"

#include "pixmill/cv_image.h"
#include "pixmill/plugin_host.h"
#include "pixmill/work_progress.h"

#include <climits>
#include <cstdint>

namespace pixmill::cedarcol::test {

inline RGBQUAD Rgb(int red, int green, int blue) {
    return RGBQUAD{static_cast<uint8_t>(blue), static_cast<uint8_t>(green),
                   static_cast<uint8_t>(red), 0};
}
inline uint32_t Packed(const RGBQUAD& c) {
    return static_cast<uint32_t>(c.rgbBlue) | static_cast<uint32_t>(c.rgbGreen) << 8 |
           static_cast<uint32_t>(c.rgbRed) << 16;
}
inline RGBQUAD Unpacked(uint32_t value) {
    return Rgb((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

// Reduces a 24-bit image with the scratch arena as the conversion does.
inline void Reduce(CPluginHost* host, const CVImage& source, CVImage& destination,
                   const ReductionOptions& options) {
    host->ScratchReset();
    auto* cells = reinterpret_cast<uint16_t*>(host->ScratchAlloc(kHistogramBytes));
    WorkProgress band(nullptr);
    ReduceColors(host, cells, source, destination, options, band);
}

// The entry nearest to the centre of a colour's cell; the lower index among
// equals.
inline int BruteNearest(const RGBQUAD* palette, int count, const RGBQUAD& colour) {
    const int r = (colour.rgbRed >> 2) * 4 + 2, g = (colour.rgbGreen >> 2) * 4 + 2,
              b = (colour.rgbBlue >> 2) * 4 + 2;
    int best = INT_MAX, index = 0;
    for (int i = 0; i < count; ++i) {
        const int dr = r - palette[i].rgbRed, dg = g - palette[i].rgbGreen,
                  db = b - palette[i].rgbBlue;
        const int d = dr * dr + dg * dg + db * db;
        if (d < best) {
            best = d;
            index = i;
        }
    }
    return index;
}

} // namespace pixmill::cedarcol::test
