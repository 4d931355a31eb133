// The high-quality filter: its plan's weights, a slow double-precision
// reference of the two passes, the aliasing it exists to remove, and the
// wide kernels against the others.
#include "column_kernels.h"
#include "filter_plan.h"
#include "resample.h"
#include "triplet_lines.h"

#include "pixmill/cv_image.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

using namespace pixmill;
using namespace pixmill::test;
using namespace pixmill::firscale;

namespace {

using Image = std::unique_ptr<CVImage>;

Image Filtered(TestHost& host, const CVImage& source, int width, int height,
               ResampleFilter filter = ResampleFilter::Lanczos3) {
    auto result = std::make_unique<CVImage>(host.get());
    ResampleRequest request;
    request.width = width;
    request.height = height;
    request.filter = filter;
    Resample(host.get(), &source, result.get(), nullptr, request);
    return result;
}

// One line through the kernel in double precision, edges renormalised.
std::vector<double> ReferenceLine(const std::vector<double>& in, int outCount) {
    const double ratio = static_cast<double>(in.size()) / outCount, widen = std::max(1.0, ratio);
    std::vector<double> out(static_cast<size_t>(outCount));
    for (int i = 0; i < outCount; ++i) {
        const double centre = (i + 0.5) * ratio - 0.5;
        double sum = 0, total = 0;
        for (int j = 0; j < static_cast<int>(in.size()); ++j) {
            const double w = Lanczos3((j - centre) / widen);
            sum += w * in[static_cast<size_t>(j)];
            total += w;
        }
        out[static_cast<size_t>(i)] = sum / total;
    }
    return out;
}

// Standard deviation of the green values away from the left and right edges.
double Spread(const CVImage& image) {
    std::vector<double> values;
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 10; x < image.Width() - 10; ++x) {
            values.push_back((PixelAt(image, x, y) >> 8) & 0xFF);
        }
    }
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / values.size();
    double square = 0;
    for (double v : values) {
        square += (v - mean) * (v - mean);
    }
    return std::sqrt(square / values.size());
}

Image Stripes(TestHost& host, double period, int width) {
    auto holder = std::make_unique<CVImage>(host.get());
    CVImage& image = *holder;
    image.Create(width, 8, 24, 0, nullptr);
    for (int x = 0; x < width; ++x) {
        const int v = static_cast<int>(std::lround(127.5 + 100 * std::sin(2 * M_PI * x / period)));
        for (int y = 0; y < 8; ++y) {
            SetPixelAt(image, x, y, static_cast<uint32_t>(v) * 0x010101u);
        }
    }
    return holder;
}

} // namespace

TEST(FilterPlan, WeightsAddUpAndCoverThreeOutputWidths) {
    for (const auto& [in, out] : {std::pair{2000, 1000}, {2000, 286}, {7, 3}, {3, 7}, {1, 5},
                                  {5, 1}, {640, 641}, {100, 100}}) {
        const FilterPlan plan(in, out);
        const double widen = std::max(1.0, static_cast<double>(in) / out);
        for (int i = 0; i < out; ++i) {
            ASSERT_GE(plan.First(i), 0);
            ASSERT_LE(plan.First(i) + plan.Taps(i), in);
            ASSERT_LE(plan.Taps(i), plan.MaxTaps());
            const int16_t* w = plan.Weights(i);
            ASSERT_EQ(std::accumulate(w, w + plan.Taps(i), 0), 1 << FilterPlan::kShift)
                << in << " -> " << out << " at " << i;
            // Away from the edges the kernel spans six widened samples.
            if (plan.First(i) > 0 && plan.First(i) + plan.Taps(i) < in) {
                ASSERT_NEAR(plan.Taps(i), 6 * widen, 2) << in << " -> " << out;
            }
        }
    }
    EXPECT_DOUBLE_EQ(Lanczos3(0), 1.0);
    EXPECT_DOUBLE_EQ(Lanczos3(3), 0.0);
    EXPECT_NEAR(Lanczos3(1), 0.0, 1e-12);
    EXPECT_LT(Lanczos3(1.5), 0.0) << "the negative lobe that keeps edges sharp";
}

// Both passes against the kernel in double precision, shrinking and growing
// each way, on 24-bit pictures: within one and a half levels (rounding, and
// the fixed-point weights where the kernel is cut off at an edge).
TEST(FilterResample, MatchesTheKernelInDoublePrecision) {
    TestHost host;
    std::mt19937 random(21);
    std::uniform_int_distribution<int> byte(0, 255);
    for (const auto& [w2, h2] : {std::pair{13, 7}, {40, 31}, {29, 60}, {61, 17}}) {
        CVImage source(host.get());
        source.Create(37, 23, 24, 0, nullptr);
        FillRandom(source, random);
        const Image filtered = Filtered(host, source, w2, h2);
        const CVImage& result = *filtered;
        for (int c = 0; c < 3; ++c) {
            // grid[y][x]; each pass rounds and limits to bytes, the pass
            // along the columns first when the height shrinks.
            std::vector<std::vector<double>> grid(23, std::vector<double>(37));
            for (int y = 0; y < 23; ++y) {
                for (int x = 0; x < 37; ++x) {
                    grid[y][x] = (PixelAt(source, x, y) >> (8 * c)) & 0xFF;
                }
            }
            auto alongRows = [](const std::vector<std::vector<double>>& g, int width) {
                std::vector<std::vector<double>> out;
                for (const auto& line : g) {
                    out.push_back(ReferenceLine(line, width));
                }
                return out;
            };
            auto alongColumns = [](const std::vector<std::vector<double>>& g, int height) {
                std::vector<std::vector<double>> out(static_cast<size_t>(height),
                                                     std::vector<double>(g[0].size()));
                for (size_t x = 0; x < g[0].size(); ++x) {
                    std::vector<double> column;
                    for (const auto& line : g) {
                        column.push_back(line[x]);
                    }
                    const std::vector<double> filtered = ReferenceLine(column, height);
                    for (int y = 0; y < height; ++y) {
                        out[static_cast<size_t>(y)][x] = filtered[static_cast<size_t>(y)];
                    }
                }
                return out;
            };
            auto bytes = [](std::vector<std::vector<double>> g) {
                for (auto& line : g) {
                    for (double& v : line) {
                        v = std::clamp(std::round(v), 0.0, 255.0);
                    }
                }
                return g;
            };
            const bool columnsFirst = h2 < 23;
            const auto expected = columnsFirst ? alongRows(bytes(alongColumns(grid, h2)), w2)
                                               : alongColumns(bytes(alongRows(grid, w2)), h2);
            for (int y = 0; y < h2; ++y) {
                for (int x = 0; x < w2; ++x) {
                    const double want = std::clamp(expected[y][x], 0.0, 255.0);
                    const int got = (PixelAt(result, x, y) >> (8 * c)) & 0xFF;
                    ASSERT_NEAR(got, want, 1.5) << w2 << "x" << h2 << " at " << x << "," << y;
                }
            }
        }
    }
}

// What the filter is for: stripes too fine for the target vanish instead of
// coming back as moiré, coarse ones survive, flat areas stay exactly flat,
// and a grey palette's pictures come out as the 24-bit ones do (to the grain
// of the nearest-colour cache).
TEST(FilterResample, RemovesDetailTooFineForTheTargetAndKeepsTheRest) {
    TestHost host;
    for (const auto& [period, width] : {std::pair{2.5, 1000}, {5.0, 625}, {9.0, 286}}) {
        const Image stripes = Stripes(host, period, 2000);
        const double area =
            Spread(*Filtered(host, *stripes, width, 4, ResampleFilter::AreaAverage));
        const double lanczos = Spread(*Filtered(host, *stripes, width, 4));
        EXPECT_GT(area, 15) << "the area average folds the stripes back, period " << period;
        EXPECT_LT(lanczos, 7) << period;
        EXPECT_LT(lanczos, area / 4) << period;
    }
    EXPECT_GT(Spread(*Filtered(host, *Stripes(host, 40, 2000), 500, 4)), 60) << "coarse stripes";

    CVImage flat(host.get());
    flat.Create(50, 30, 24, 0, nullptr);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 50; ++x) {
            SetPixelAt(flat, x, y, 0x3C8AF0);
        }
    }
    CVImage grey(host.get());
    grey.Create(50, 30, 8, 256, nullptr);
    SetGrayRamp(grey);
    CVImage greyAsColour(host.get());
    greyAsColour.Create(50, 30, 24, 0, nullptr);
    std::mt19937 random(5);
    FillRandom(grey, random);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 50; ++x) {
            SetPixelAt(greyAsColour, x, y, PixelAt(grey, x, y) * 0x010101u);
        }
    }
    for (const auto& [w2, h2] : {std::pair{17, 9}, {120, 77}}) {
        const Image filtered = Filtered(host, flat, w2, h2);
        const CVImage& small = *filtered;
        for (int y = 0; y < h2; ++y) {
            for (int x = 0; x < w2; ++x) {
                ASSERT_EQ(PixelAt(small, x, y), 0x3C8AF0u) << x << "," << y;
            }
        }
        const Image fromPalette = Filtered(host, grey, w2, h2);
        const Image fromColour = Filtered(host, greyAsColour, w2, h2);
        for (int y = 0; y < h2; ++y) {
            for (int x = 0; x < w2; ++x) {
                // The nearest-colour cache works at a coarser grain.
                ASSERT_NEAR(static_cast<int>(PixelAt(*fromPalette, x, y)),
                            static_cast<int>(PixelAt(*fromColour, x, y) & 0xFF), 2);
            }
        }
    }
}

TEST(FilterColumnKernels, WideEqualsTheOther) {
    if (!HasWideLanes()) {
        GTEST_SKIP() << "no 256-bit vectors on this processor";
    }
    std::mt19937 random(31);
    const FilterColumnKernels narrow = FilterColumnKernelsFor(false),
                              wide = FilterColumnKernelsFor(true);
    for (size_t count : {1u, 7u, 8u, 33u, 2400u}) {
        std::vector<uint8_t> row(count), outA(count), outB(count);
        std::vector<int32_t> a(count), b(count);
        for (int t = 0; t < 12; ++t) {
            for (uint8_t& v : row) {
                v = static_cast<uint8_t>(random());
            }
            const int32_t weight = static_cast<int32_t>(random() % 9000) - 2000;
            narrow.add(a.data(), row.data(), weight, count, t == 0);
            wide.add(b.data(), row.data(), weight, count, t == 0);
        }
        ASSERT_EQ(a, b);
        narrow.finish(a.data(), outA.data(), count);
        wide.finish(b.data(), outB.data(), count);
        ASSERT_EQ(outA, outB);
    }
    const FilterPlan plan(301, 97);
    std::vector<uint8_t> line(301 * 3), outA(97 * 3), outB(97 * 3);
    for (uint8_t& v : line) {
        v = static_cast<uint8_t>(random());
    }
    narrow.row(plan, line.data(), outA.data());
    wide.row(plan, line.data(), outB.data());
    EXPECT_EQ(outA, outB);
}
