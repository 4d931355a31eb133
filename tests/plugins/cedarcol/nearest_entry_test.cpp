// The exact nearest-entry search against a plain search over the whole
// palette, on random palettes (with repeated entries, where the lower index
// must win), spread over the cube or packed into a small part of it as a
// photograph's are, and on colours all over the cube.
#include "nearest_entry.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <random>
#include <vector>

using namespace pixmill;
using namespace pixmill::cedarcol;

TEST(NearestEntry, EqualsAPlainSearchAndKeepsTheLowerIndexOnTies) {
    std::mt19937 random(3);
    for (const int count : {1, 2, 16, 255, 256, -256}) {
        // Negative: packed into 48 levels a side near the middle.
        const int spread = count < 0 ? 48 : 256, base = count < 0 ? 100 : 0;
        auto level = [&] {
            return static_cast<uint8_t>(base + static_cast<int>(random() % spread));
        };
        std::vector<RGBQUAD> palette(static_cast<size_t>(std::abs(count)));
        for (RGBQUAD& entry : palette) {
            entry = RGBQUAD{level(), level(), level(), 0};
        }
        if (palette.size() > 2) {
            palette.back() = palette[1]; // a duplicate
        }
        NearestEntry nearest(palette.data(), static_cast<int>(palette.size()));
        for (int n = 0; n < 20000; ++n) {
            // Colours all over, or (packed) around and inside the pack.
            auto colour = [&] {
                return static_cast<uint8_t>(count < 0 ? base - 16 + static_cast<int>(random() % 80)
                                                      : static_cast<int>(random() % 256));
            };
            const uint8_t b = colour(), g = colour(), r = colour();
            int expected = 0, least = INT_MAX;
            for (int i = 0; i < static_cast<int>(palette.size()); ++i) {
                const int d = nearest.Distance(b, g, r, i);
                if (d < least) {
                    least = d;
                    expected = i;
                }
            }
            ASSERT_EQ(nearest.Find(b, g, r), expected)
                << count << " entries, colour " << int{b} << "," << int{g} << "," << int{r};
        }
        if (palette.size() > 2) {
            EXPECT_EQ(nearest.Find(palette[1].rgbBlue, palette[1].rgbGreen, palette[1].rgbRed), 1);
        }
    }
}
