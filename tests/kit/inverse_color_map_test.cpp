#include "pixmill/inverse_color_map.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

using namespace pixmill;

namespace {
// The obviously-correct answer: the entry nearest to the cell centre, the
// lower index among equals.
int BruteNearest(const RGBQUAD* palette, int count, int r, int g, int b) {
    const int cr = (r >> 2) * 4 + 2, cg = (g >> 2) * 4 + 2, cb = (b >> 2) * 4 + 2;
    int best = INT_MAX, index = 0;
    for (int i = 0; i < count; ++i) {
        const int dr = cr - palette[i].rgbRed, dg = cg - palette[i].rgbGreen,
                  db = cb - palette[i].rgbBlue;
        const int d = dr * dr + dg * dg + db * db;
        if (d < best) {
            best = d;
            index = i;
        }
    }
    return index;
}
} // namespace

TEST(InverseColorMap, AgreesWithBruteForceOnRandomPalettes) {
    std::mt19937 random(5);
    std::vector<uint16_t> cells(InverseColorMap::kCellCount);
    for (int count : {1, 2, 7, 16, 100, 256}) {
        RGBQUAD palette[256];
        for (int i = 0; i < count; ++i) {
            palette[i] = RGBQUAD{static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                                 static_cast<uint8_t>(random()), 0};
        }
        if (count > 4) {
            palette[count - 1] = palette[1]; // duplicates: the lower index wins
        }
        InverseColorMap map(cells.data(), palette, count);
        for (int k = 0; k < 3000; ++k) {
            const int r = static_cast<int>(random() & 0xFF), g = static_cast<int>(random() & 0xFF),
                      b = static_cast<int>(random() & 0xFF);
            ASSERT_EQ(map.Nearest(static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                  static_cast<uint8_t>(b)),
                      BruteNearest(palette, count, r, g, b))
                << count << " entries, colour " << r << "," << g << "," << b;
        }
    }
}

TEST(InverseColorMap, GreyRampTiesGoToTheLowerIndex) {
    RGBQUAD palette[256];
    for (int i = 0; i < 256; ++i) {
        palette[i] =
            RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
    }
    std::vector<uint16_t> cells(InverseColorMap::kCellCount);
    InverseColorMap map(cells.data(), palette, 256);
    EXPECT_EQ(map.Nearest(0, 0, 0), 2) << "cell centre 2";
    EXPECT_EQ(map.Nearest(255, 255, 255), 254);
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(
            map.Nearest(static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v)),
            BruteNearest(palette, 256, v, v, v));
    }
}
