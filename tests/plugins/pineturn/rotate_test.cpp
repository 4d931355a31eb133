// Flips and quarter turns against per-pixel reference moves, the shear
// rotation's sizes, geometry, interpolation and background, the banded
// shears against a whole first shear, and paletted results against an
// independent mapping of the 24-bit rotation.
#include "rotate.h"

#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/progress.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace pixmill;
using namespace pixmill::test;
using namespace pixmill::pineturn;

namespace {

void MakeImage(CVImage& image, int width, int height, int bitCount, std::mt19937& random) {
    const int colors = bitCount == 24 ? 0 : (bitCount == 8 ? 77 : 1 << bitCount);
    const TransparencyInfo transparency{RGBQUAD{1, 2, 3, 0}, 0};
    image.Create(width, height, bitCount, colors, &transparency, 1000, 3000);
    for (int i = 0; i < colors; ++i) {
        image.palette[i] = RGBQUAD{static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                                   static_cast<uint8_t>(random()), 0};
    }
    FillRandom(image, random);
}

RotateRequest Angle(double degrees) {
    RotateRequest request;
    request.angle = degrees;
    return request;
}

// Expected picture position (top-down) of a moved pixel.
struct Move {
    const char* name;
    RotateRequest request;
    bool swapsSides;
    // source (c, r) -> destination (column, row), W and H of the source
    void (*to)(int c, int r, int W, int H, int& column, int& row);
};

} // namespace

TEST(Rotate, FlipsAndQuarterTurnsMoveEveryPixel) {
    TestHost host;
    std::mt19937 random(21);
    RotateRequest horizontal, vertical;
    horizontal.flip = kFlipHorizontal;
    horizontal.angle = 33; // ignored by a flip
    vertical.flip = kFlipVertical;
    const Move moves[] = {
        {"horizontal", horizontal, false,
         [](int c, int r, int W, int, int& x, int& y) { x = W - 1 - c, y = r; }},
        {"vertical", vertical, false,
         [](int c, int r, int, int H, int& x, int& y) { x = c, y = H - 1 - r; }},
        {"90", Angle(90), true,
         [](int c, int r, int, int H, int& x, int& y) { x = H - 1 - r, y = c; }},
        {"270", Angle(270), true,
         [](int c, int r, int W, int, int& x, int& y) { x = r, y = W - 1 - c; }},
        {"-90", Angle(-90), true,
         [](int c, int r, int W, int, int& x, int& y) { x = r, y = W - 1 - c; }},
        {"180", Angle(180), false,
         [](int c, int r, int W, int H, int& x, int& y) { x = W - 1 - c, y = H - 1 - r; }},
        {"-180", Angle(-180), false,
         [](int c, int r, int W, int H, int& x, int& y) { x = W - 1 - c, y = H - 1 - r; }},
        {"450", Angle(450), true,
         [](int c, int r, int, int H, int& x, int& y) { x = H - 1 - r, y = c; }},
    };
    for (int bitCount : {1, 4, 8, 24}) {
        for (auto [W, H] :
             {std::pair{13, 7}, std::pair{1, 9}, std::pair{16, 1}, std::pair{21, 22}}) {
            CVImage source(host.get());
            MakeImage(source, W, H, bitCount, random);
            for (const Move& move : moves) {
                SCOPED_TRACE(testing::Message()
                             << move.name << " " << bitCount << "-bit " << W << "x" << H);
                CVImage result(host.get());
                Rotate(host.get(), &source, &result, nullptr, move.request);
                ASSERT_EQ(result.Width(), move.swapsSides ? H : W);
                ASSERT_EQ(result.Height(), move.swapsSides ? W : H);
                ASSERT_EQ(result.BitCount(), bitCount);
                EXPECT_EQ(result.paletteCount, source.paletteCount);
                EXPECT_EQ(0, std::memcmp(result.palette, source.palette, 4 * source.paletteCount));
                EXPECT_EQ(result.transparentColor.rgbRed, 3);
                EXPECT_EQ(result.header.biXPelsPerMeter, move.swapsSides ? 3000 : 1000);
                for (int r = 0; r < H; ++r) {
                    for (int c = 0; c < W; ++c) {
                        int x, y;
                        move.to(c, r, W, H, x, y);
                        ASSERT_EQ(PixelAt(result, x, y), PixelAt(source, c, r)) << c << "," << r;
                    }
                }
            }
            // Four quarter turns give the original back.
            CVImage turned(host.get());
            CVImage::CopyImage(&turned, &source, nullptr);
            for (int i = 0; i < 4; ++i) {
                CVImage next(host.get());
                Rotate(host.get(), &turned, &next, nullptr, Angle(90));
                CVImage::CopyImage(&turned, &next, nullptr);
            }
            std::string why;
            EXPECT_TRUE(SamePixels(turned, source, &why)) << why;
        }
    }
}

TEST(Rotate, ZeroAndFullTurnsCopy) {
    TestHost host;
    std::mt19937 random(2);
    CVImage source(host.get());
    MakeImage(source, 9, 5, 24, random);
    for (double a : {0.0, 360.0, -360.0, 720.0, std::nan("")}) {
        CVImage result(host.get());
        Rotate(host.get(), &source, &result, nullptr, Angle(a));
        EXPECT_TRUE(SamePixels(result, source)) << a;
    }
    EXPECT_EQ(NormalizeAngle(-30), 330);
    EXPECT_EQ(NormalizeAngle(-1e-20), 0);
    EXPECT_EQ(NormalizeAngle(1e300), std::fmod(1e300, 360.0));
}

TEST(Rotate, ShearSizes) {
    const ShearSizes s45 = ShearSizesFor(100, 100, 45);
    EXPECT_EQ(s45.width, 142);
    EXPECT_EQ(s45.height, 142);
    EXPECT_EQ(s45.middleWidth, 142);
    const ShearSizes s10 = ShearSizesFor(400, 300, 10);
    EXPECT_EQ(s10.width, static_cast<int>(300 * std::sin(10 * M_PI / 180) +
                                          400 * std::cos(10 * M_PI / 180) + 0.5) +
                             1);
    EXPECT_GE(s10.middleWidth, static_cast<int>(300 * std::tan(5 * M_PI / 180)) + 401);

    TestHost host;
    CVImage source(host.get());
    source.Create(100, 100, 24, 0, nullptr);
    std::memset(source.bits, 90, source.ImageBytes());
    CVImage result(host.get());
    Rotate(host.get(), &source, &result, nullptr, Angle(45));
    EXPECT_EQ(result.Width(), 142);
    EXPECT_EQ(result.Height(), 142);
}

TEST(Rotate, RowShiftInterpolatesAndFills) {
    const Bgr bg{7, 8, 9};
    const uint8_t in[9] = {10, 10, 10, 20, 20, 20, 30, 30, 30};
    uint8_t out[18];
    auto blue = [&](int i) { return out[3 * i]; };
    ShiftRow(in, 3, out, 6, 2.0, bg);
    EXPECT_EQ(blue(0), 7);
    EXPECT_EQ(blue(1), 7);
    EXPECT_EQ(blue(2), 10);
    EXPECT_EQ(blue(4), 30);
    EXPECT_EQ(blue(5), 7);
    // Right by 1.25: background, background, then blends weighted 0.75 / 0.25.
    ShiftRow(in, 3, out, 6, 1.25, bg);
    EXPECT_EQ(blue(1), 7);
    EXPECT_EQ(blue(2), 18); // 0.75 * 20 + 0.25 * 10 + 0.5
    EXPECT_EQ(blue(3), 28); // 0.75 * 30 + 0.25 * 20 + 0.5
    EXPECT_EQ(blue(4), 7);
    EXPECT_EQ(out[3 * 2 + 2], 18) << "every byte alike";
    // Left by 1.25: starts one pixel in, one pair fewer.
    ShiftRow(in, 3, out, 6, -1.25, bg);
    EXPECT_EQ(blue(0), 23); // 0.25 * 30 + 0.75 * 20 + 0.5
    EXPECT_EQ(blue(1), 7);
    // Shifts past either end leave only background; a short output is not overrun.
    ShiftRow(in, 3, out, 6, -5.5, bg);
    EXPECT_EQ(blue(0), 7);
    ShiftRow(in, 3, out, 2, 4.5, bg);
    EXPECT_EQ(blue(1), 7);
    ShiftRow(in, 3, out, 3, 1.5, bg);
    EXPECT_EQ(blue(2), 15);
}

TEST(Rotate, ColumnShearRowsMatchShiftRowDownEachColumn) {
    // Shifts of every kind: whole and fractional, right and left, some past
    // either end of the output column.
    const double shifts[] = {0.0, 3.0, -2.0, 0.25, 7.75, -0.5, -3.3, 11.5, -40.0, 39.9, 55.0};
    constexpr int kColumns = std::size(shifts);
    const Bgr bg{7, 8, 9};
    std::mt19937 random(5);
    for (int inCount : {1, 2, 13, 40}) {
        const int outCount = 50;
        const size_t stride = 3 * kColumns + 5;
        std::vector<uint8_t> first(stride * static_cast<size_t>(inCount));
        for (uint8_t& b : first) {
            b = static_cast<uint8_t>(random());
        }
        std::vector<ColumnShift> columns;
        for (double shift : shifts) {
            columns.emplace_back(shift, inCount);
        }
        std::vector<const uint8_t*> starts;
        for (int i = 0; i < inCount; ++i) {
            starts.push_back(&first[stride * static_cast<size_t>(i)]);
        }
        std::vector<uint8_t> rows(static_cast<size_t>(outCount) * 3 * kColumns);
        for (int j = 0; j < outCount; ++j) {
            ShearColumnsRow(starts.data(), columns.data(), kColumns, j,
                            &rows[static_cast<size_t>(j) * 3 * kColumns], bg);
        }
        for (int x = 0; x < kColumns; ++x) {
            std::vector<uint8_t> column(3 * static_cast<size_t>(inCount));
            for (int i = 0; i < inCount; ++i) {
                std::memcpy(&column[3 * static_cast<size_t>(i)],
                            &first[stride * static_cast<size_t>(i) + 3 * static_cast<size_t>(x)],
                            3);
            }
            std::vector<uint8_t> expected(3 * static_cast<size_t>(outCount));
            ShiftRow(column.data(), inCount, expected.data(), outCount, shifts[x], bg);
            for (int j = 0; j < outCount; ++j) {
                ASSERT_EQ(std::memcmp(&expected[3 * static_cast<size_t>(j)],
                                      &rows[(static_cast<size_t>(j) * kColumns + x) * 3], 3),
                          0)
                    << "shift " << shifts[x] << " rows " << inCount << " place " << j;
            }
        }
    }
}

namespace {
// The shear rotation with the whole first shear made before any result row:
// the result rows, 3 * width bytes each.
std::vector<uint8_t> WholeShearRotation(const CVImage& source, double degrees, Bgr background) {
    const int W = source.Width(), H = source.Height();
    const ShearSizes sizes = ShearSizesFor(W, H, degrees);
    const double theta = degrees * 0.017453292519943295;
    const double s = std::sin(theta), t = std::tan(theta / 2), top = s * (W - 1);
    const int N = sizes.middleWidth;
    std::vector<uint8_t> first(3 * static_cast<size_t>(N) * H);
    std::vector<const uint8_t*> rows;
    for (int i = 0; i < H; ++i) {
        uint8_t* row = &first[3 * static_cast<size_t>(N) * i];
        ShiftRow(source.bits + source.Stride() * i, W, row, N, i * t, background);
        rows.push_back(row);
    }
    std::vector<ColumnShift> columns;
    for (int x = 0; x < N; ++x) {
        columns.emplace_back(top - s * x, H);
    }
    std::vector<uint8_t> line(3 * static_cast<size_t>(N));
    std::vector<uint8_t> result(3 * static_cast<size_t>(sizes.width) * sizes.height);
    for (int j = 0; j < sizes.height; ++j) {
        ShearColumnsRow(rows.data(), columns.data(), N, j, line.data(), background);
        ShiftRow(line.data(), N, &result[3 * static_cast<size_t>(sizes.width) * j], sizes.width,
                 t * (j - top), background);
    }
    return result;
}
} // namespace

TEST(Rotate, BandedShearsGiveTheWholeShearsBytes) {
    // Tall enough for many blocks of result rows at every thread count, and
    // small angles whose band of first-shear rows wraps round its ring often.
    TestHost host;
    std::mt19937 random(11);
    CVImage source(host.get());
    MakeImage(source, 700, 430, 24, random);
    const Bgr background{40, 50, 60};
    const char* saved = std::getenv("PIXMILL_PIXEL_THREADS");
    const std::string savedThreads = saved != nullptr ? saved : "";
    for (const char* threads : {"1", "3"}) {
        setenv("PIXMILL_PIXEL_THREADS", threads, 1);
        for (double degrees : {0.3, 10.0, 37.5, 89.7}) {
            RotateRequest request = Angle(degrees);
            request.smartBackground = false;
            request.customBackground = background;
            CVImage result(host.get());
            Rotate(host.get(), &source, &result, nullptr, request);
            const std::vector<uint8_t> expected = WholeShearRotation(source, degrees, background);
            const size_t rowBytes = 3 * static_cast<size_t>(result.Width());
            ASSERT_EQ(expected.size(), rowBytes * result.Height());
            for (int j = 0; j < result.Height(); ++j) {
                ASSERT_EQ(std::memcmp(result.bits + result.Stride() * j, &expected[rowBytes * j],
                                      rowBytes),
                          0)
                    << degrees << " degrees, " << threads << " threads, row " << j;
            }
        }
    }
    if (saved != nullptr) {
        setenv("PIXMILL_PIXEL_THREADS", savedThreads.c_str(), 1);
    } else {
        unsetenv("PIXMILL_PIXEL_THREADS");
    }
}

TEST(Rotate, ShearsTurnClockwiseAsDisplayed) {
    TestHost host;
    const int W = 41, H = 31;
    for (double degrees : {10.0, 30.0, 60.0, 89.0}) {
        CVImage source(host.get());
        source.Create(W, H, 24, 0, nullptr);
        std::memset(source.bits, 0, source.ImageBytes());
        // Bright 2x2 spot near the top left of the picture.
        for (int y = 3; y < 5; ++y) {
            for (int x = 6; x < 8; ++x) {
                SetPixelAt(source, x, y, 0xFFFFFF);
            }
        }
        RotateRequest request = Angle(degrees);
        request.smartBackground = false;
        CVImage result(host.get());
        ShearRotate(host.get(), &source, &result, degrees, request, nullptr);
        // Where the spot's centre goes: storage coordinates (rows bottom-up).
        const double theta = degrees * M_PI / 180, s = std::sin(theta), c = std::cos(theta);
        const double x = 6.5, i = (H - 1) - 3.5;
        const double x3 = x * c + i * s, y2 = -x * s + i * c + s * (W - 1);
        const double column = x3, row = (result.Height() - 1) - y2;
        double sumX = 0, sumY = 0, total = 0;
        for (int yy = 0; yy < result.Height(); ++yy) {
            for (int xx = 0; xx < result.Width(); ++xx) {
                const double v = PixelAt(result, xx, yy) & 0xFF;
                sumX += v * xx;
                sumY += v * yy;
                total += v;
            }
        }
        ASSERT_GT(total, 0);
        EXPECT_NEAR(sumX / total, column, 1.0) << degrees;
        EXPECT_NEAR(sumY / total, row, 1.0) << degrees;
    }
}

TEST(Rotate, BackgroundComesFromTransparencyBorderOrChoice) {
    TestHost host;
    std::mt19937 random(8);
    CVImage source(host.get());
    MakeImage(source, 40, 30, 24, random);
    for (int x = 0; x < 40; ++x) {
        SetPixelAt(source, x, 0, 0xFAFBFC);
        SetPixelAt(source, x, 29, 0xFAFBFC);
    }
    for (int y = 0; y < 30; ++y) {
        SetPixelAt(source, 0, y, 0xFAFBFC);
    }
    std::vector<uint16_t> cells(64 * 64 * 64);
    const Bgr smart = SmartBackground(source, cells.data());
    EXPECT_EQ(smart, (Bgr{0xFC, 0xFB, 0xFA})) << "the border's own colour, not its cell's corner";

    auto corner = [&](RotateRequest request) {
        CVImage result(host.get());
        Rotate(host.get(), &source, &result, nullptr, request);
        return PixelAt(result, 0, 0);
    };
    RotateRequest request = Angle(-20);
    EXPECT_EQ(corner(request), 0xFAFBFCu);
    request.smartBackground = false;
    request.customBackground = Bgr{0x30, 0x20, 0x10};
    EXPECT_EQ(corner(request), 0x102030u);
    source.hasTransparentColor = 1;
    source.transparentColor = RGBQUAD{0x44, 0x55, 0x66, 0};
    EXPECT_EQ(corner(request), 0x665544u);

    // Ties between cells: the first in scan order (blue outermost).
    CVImage two(host.get());
    two.Create(2, 1, 24, 0, nullptr);
    SetPixelAt(two, 0, 0, 0x0000FF); // blue 255
    SetPixelAt(two, 1, 0, 0xFF0000); // red 255
    EXPECT_EQ(SmartBackground(two, cells.data()), (Bgr{0, 0, 255}));
}

TEST(Rotate, NegativeAnglesTurnLikeTheirPositiveEquivalents) {
    TestHost host;
    std::mt19937 random(5);
    CVImage source(host.get());
    MakeImage(source, 33, 20, 24, random);
    for (auto [negative, positive] : {std::pair{-30.0, 330.0}, std::pair{-100.0, 260.0},
                                      std::pair{-200.0, 160.0}, std::pair{-359.0, 1.0}}) {
        CVImage a(host.get()), b(host.get());
        Rotate(host.get(), &source, &a, nullptr, Angle(negative));
        Rotate(host.get(), &source, &b, nullptr, Angle(positive));
        std::string why;
        EXPECT_TRUE(SamePixels(a, b, &why)) << negative << ": " << why;
        EXPECT_GE(a.Width(), 20) << "not cut";
    }
}

TEST(Rotate, PalettedResultsMapBackToTheirOwnPalette) {
    TestHost host;
    std::mt19937 random(13);
    for (int bitCount : {1, 4, 8}) {
        for (double degrees : {25.0, 135.0}) {
            CVImage source(host.get());
            MakeImage(source, 23, 17, bitCount, random);
            CVImage result(host.get());
            Rotate(host.get(), &source, &result, nullptr, Angle(degrees));
            ASSERT_EQ(result.BitCount(), bitCount);
            ASSERT_EQ(result.paletteCount, source.paletteCount);
            EXPECT_EQ(0, std::memcmp(result.palette, source.palette, 4 * source.paletteCount));

            // The same rotation of the 24-bit form, mapped entry by entry.
            CVImage wide(host.get());
            wide.Create(23, 17, 24, 0, nullptr);
            for (int y = 0; y < 17; ++y) {
                for (int x = 0; x < 23; ++x) {
                    const RGBQUAD& e = source.palette[PixelAt(source, x, y)];
                    SetPixelAt(wide, x, y, e.rgbBlue | e.rgbGreen << 8 | e.rgbRed << 16);
                }
            }
            CVImage wideResult(host.get());
            Rotate(host.get(), &wide, &wideResult, nullptr, Angle(degrees));
            ASSERT_EQ(wideResult.Width(), result.Width());
            ASSERT_EQ(wideResult.Height(), result.Height());
            for (int y = 0; y < result.Height(); ++y) {
                for (int x = 0; x < result.Width(); ++x) {
                    const uint32_t index = PixelAt(result, x, y);
                    ASSERT_LT(index, result.paletteCount);
                    const uint32_t c = PixelAt(wideResult, x, y);
                    const int cb = ((c & 0xFF) >> 2) * 4 + 2, cg = ((c >> 8 & 0xFF) >> 2) * 4 + 2,
                              cr = ((c >> 16) >> 2) * 4 + 2;
                    int best = INT_MAX, bestIndex = 0;
                    for (int i = 0; i < source.paletteCount; ++i) {
                        const RGBQUAD& e = source.palette[i];
                        const int d = (cb - e.rgbBlue) * (cb - e.rgbBlue) +
                                      (cg - e.rgbGreen) * (cg - e.rgbGreen) +
                                      (cr - e.rgbRed) * (cr - e.rgbRed);
                        if (d < best) {
                            best = d;
                            bestIndex = i;
                        }
                    }
                    ASSERT_EQ(index, static_cast<uint32_t>(bestIndex)) << x << "," << y;
                }
            }
        }
    }
}

namespace {
class BreakingProgress : public CVProgress {
  public:
    int Begin(int, int, int, int) override { return 1; }
    int Step(const char*) override {
        if (++steps == breakAt) {
            throw CVImageError(CVImageError::UserBreak);
        }
        return steps + 1;
    }
    void End() override { ++ends; }
    int steps = 0;
    int breakAt = -1;
    int ends = 0;
};
} // namespace

TEST(Rotate, EndsProgressAndGivesEverythingBackOnABreak) {
    TestHost host;
    std::mt19937 random(1);
    CVImage source(host.get());
    MakeImage(source, 60, 50, 8, random);
    {
        BreakingProgress progress;
        CVImage result(host.get());
        Rotate(host.get(), &source, &result, &progress, Angle(200));
        EXPECT_EQ(progress.ends, 1);
        EXPECT_GT(progress.steps, 50);
    }
    const size_t blocks = host->Memory().LiveOrdinaryBlocks();
    const long long scratch = host->Memory().ScratchRemaining();
    // 10 and 40 break while expanding to 24 bits, 52 in the banded shears,
    // 65 while mapping back to the palette.
    for (int breakAt : {10, 40, 52, 65}) {
        BreakingProgress progress;
        progress.breakAt = breakAt;
        CVImage result(host.get());
        EXPECT_THROW(Rotate(host.get(), &source, &result, &progress, Angle(200)), CVImageError);
        result.FreeBits();
        EXPECT_EQ(host->Memory().LiveOrdinaryBlocks(), blocks) << breakAt;
        EXPECT_GE(host->Memory().ScratchRemaining(), scratch);
    }
}
