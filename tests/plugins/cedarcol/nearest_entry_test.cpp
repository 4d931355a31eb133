// The exact nearest-entry search against a plain search over the whole
// palette, on random palettes (with repeated entries, where the lower index
// must win) and on colours all over the cube.
#include "nearest_entry.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

using namespace pixmill;
using namespace pixmill::cedarcol;

TEST(NearestEntry, EqualsAPlainSearchAndKeepsTheLowerIndexOnTies) {
    std::mt19937 random(3);
    for (const int count : {1, 2, 16, 255, 256}) {
        std::vector<RGBQUAD> palette(static_cast<size_t>(count));
        for (RGBQUAD& entry : palette) {
            entry = RGBQUAD{static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                            static_cast<uint8_t>(random()), 0};
        }
        if (count > 2) {
            palette[static_cast<size_t>(count) - 1] = palette[1]; // a duplicate
        }
        NearestEntry nearest(palette.data(), count);
        for (int n = 0; n < 20000; ++n) {
            const auto b = static_cast<uint8_t>(random()), g = static_cast<uint8_t>(random()),
                       r = static_cast<uint8_t>(random());
            int expected = 0, least = INT_MAX;
            for (int i = 0; i < count; ++i) {
                const int d = nearest.Distance(b, g, r, i);
                if (d < least) {
                    least = d;
                    expected = i;
                }
            }
            ASSERT_EQ(nearest.Find(b, g, r), expected)
                << count << " entries, colour " << int{b} << "," << int{g} << "," << int{r};
        }
        if (count > 2) {
            EXPECT_EQ(nearest.Find(palette[1].rgbBlue, palette[1].rgbGreen, palette[1].rgbRed), 1);
        }
    }
}
