// Lines resampled together in vector lanes against the one-line reference,
// byte for byte, in both instruction sets, on random lines that shrink and
// grow, with partly filled groups and outputs lying over their inputs.
#include "triplet_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace pixmill::firscale;

TEST(TripletLines, EqualTheOneLineReference) {
    std::mt19937 random(11);
    const int sizes[][2] = {{2, 1},      {3, 7},      {10, 3},  {640, 199}, {199, 640},
                            {2560, 800}, {1600, 150}, {97, 96}, {96, 97},   {1, 5}};
    for (const auto& size : sizes) {
        const LinePlan plan(size[0], size[1]);
        const size_t inBytes = 3 * static_cast<size_t>(size[0]);
        const size_t outBytes = 3 * static_cast<size_t>(size[1]);
        for (bool wide : {false, true}) {
            if (wide && !HasWideLanes()) {
                continue;
            }
            TripletLines lines(plan, wide);
            for (int count = 1; count <= TripletLines::kLines; ++count) {
                // Rows long enough for either side, so outputs can lie over inputs.
                const size_t rowBytes = std::max(inBytes, outBytes);
                std::vector<uint8_t> rows(rowBytes * count);
                for (uint8_t& b : rows) {
                    // Mostly extremes, where rounding and the clamp at 255 matter.
                    const unsigned r = random();
                    b = r % 4 == 0 ? 255 : r % 4 == 1 ? 0 : static_cast<uint8_t>(r >> 8);
                }
                std::vector<uint8_t> expected(outBytes * count);
                const uint8_t* in[TripletLines::kLines];
                uint8_t* out[TripletLines::kLines];
                for (int l = 0; l < count; ++l) {
                    plan.Run(&rows[rowBytes * l], &expected[outBytes * l], 3);
                    in[l] = &rows[rowBytes * l];
                    out[l] = &rows[rowBytes * l]; // in place
                }
                lines.Run(in, out, count);
                for (int l = 0; l < count; ++l) {
                    ASSERT_TRUE(std::equal(expected.begin() + outBytes * l,
                                           expected.begin() + outBytes * (l + 1),
                                           rows.begin() + rowBytes * l))
                        << size[0] << "->" << size[1] << " wide " << wide << " lines " << count
                        << " line " << l;
                }
            }
        }
    }
}
