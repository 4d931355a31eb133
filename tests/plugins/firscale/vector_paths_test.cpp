// The vector paths of the resample against their references, byte for byte,
// in both instruction sets: lines resampled together in lanes against the
// one-line path (random lines that shrink and grow, partly filled groups,
// outputs lying over their inputs), and the column pass's row kernels.
#include "column_kernels.h"
#include "resample.h"
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

TEST(ColumnKernels, WideEqualsTheOtherOnRandomRowsAndSteps) {
    if (!HasWideLanes()) {
        GTEST_SKIP() << "no 256-bit vectors on this processor";
    }
    std::mt19937 random(12);
    std::uniform_real_distribution<double> share(0.0, 1.0);
    const ColumnKernels narrow = ColumnKernelsFor(false), wide = ColumnKernelsFor(true);
    for (size_t count : {1u, 3u, 7u, 8u, 29u, 2400u}) {
        std::vector<uint8_t> current(count), next(count);
        std::vector<double> a(count, 0.5), b(count, 0.5);
        std::vector<uint8_t> outA(count), outB(count);
        for (int row = 0; row < 40; ++row) {
            for (size_t p = 0; p < count; ++p) {
                const unsigned r = random();
                current[p] = r % 3 == 0 ? 255 : static_cast<uint8_t>(r >> 8);
                next[p] = static_cast<uint8_t>(r >> 16);
            }
            const double keep = share(random), weight = share(random);
            if (row % 5 == 4) {
                narrow.addLast(a.data(), current.data(), weight, count);
                wide.addLast(b.data(), current.data(), weight, count);
            } else {
                narrow.addBlend(a.data(), current.data(), next.data(), keep, 1 - keep, weight,
                                count);
                wide.addBlend(b.data(), current.data(), next.data(), keep, 1 - keep, weight, count);
            }
            ASSERT_EQ(a, b) << count << " values, row " << row;
            if (row % 3 == 2) {
                const double scale = 1 / (0.5 + 2 * share(random)); // also past 255
                narrow.finish(a.data(), outA.data(), scale, count);
                wide.finish(b.data(), outB.data(), scale, count);
                ASSERT_EQ(outA, outB) << count << " values, row " << row;
                ASSERT_EQ(a, b);
            }
        }
    }
}
