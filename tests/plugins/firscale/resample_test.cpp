// The resampler against a slow, literal rendering of the line algorithm run
// per component and per line, plus the fixed points of its arithmetic, the
// size fit, the work-space rules and its failures.
#include "resample.h"

#include "host/progress.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <vector>

using namespace pixmill;
using namespace pixmill::test;
using pixmill::firscale::FitTargetSize;
using pixmill::firscale::Resample;
using pixmill::firscale::ResampleRequest;

namespace {

// Blue-green-red triplets by memory row.
struct Triplets {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> v;
    uint8_t* At(int x, int row) { return &v[(static_cast<size_t>(row) * width + x) * 3]; }
};

Triplets Expand(const CVImage& image) {
    Triplets t{image.Width(), image.Height(), {}};
    t.v.resize(static_cast<size_t>(t.width) * t.height * 3);
    for (int row = 0; row < t.height; ++row) {
        for (int x = 0; x < t.width; ++x) {
            // PixelAt counts rows from the top.
            const uint32_t p = PixelAt(image, x, image.Height() - 1 - row);
            uint8_t* out = t.At(x, row);
            if (image.BitCount() == 24) {
                out[0] = static_cast<uint8_t>(p);
                out[1] = static_cast<uint8_t>(p >> 8);
                out[2] = static_cast<uint8_t>(p >> 16);
            } else {
                out[0] = image.palette[p].rgbBlue;
                out[1] = image.palette[p].rgbGreen;
                out[2] = image.palette[p].rgbRed;
            }
        }
    }
    return t;
}

// The line algorithm as written: one component, samples `step` apart.
void ReferenceLine(const uint8_t* in, int S, uint8_t* out, int D, size_t step) {
    if (S == D) {
        for (int i = 0; i < S; ++i) {
            out[i * step] = in[i * step];
        }
        return;
    }
    const double s = static_cast<double>(D) / S;
    double frac = 1.0, need = 1 / s, acc = 0.5;
    int i = 0, o = 0;
    while (o < D) {
        const double v =
            i == S - 1 ? in[i * step] : in[i * step] * frac + in[(i + 1) * step] * (1 - frac);
        if (frac < need) {
            acc += v * frac;
            need -= frac;
            frac = 1.0;
            if (i < S - 1) {
                ++i;
            }
        } else {
            acc += v * need;
            const double r = acc * s;
            out[o * step] = r > 255 ? 255 : static_cast<uint8_t>(r);
            frac -= need;
            need = 1 / s;
            acc = 0.5;
            ++o;
        }
    }
}

Triplets ReferenceRows(Triplets in, int width) {
    Triplets out{width, in.height, {}};
    out.v.resize(static_cast<size_t>(width) * in.height * 3);
    for (int row = 0; row < in.height; ++row) {
        for (int c = 0; c < 3; ++c) {
            ReferenceLine(in.At(0, row) + c, in.width, out.At(0, row) + c, width, 3);
        }
    }
    return out;
}

Triplets ReferenceColumns(Triplets in, int height) {
    Triplets out{in.width, height, {}};
    out.v.resize(static_cast<size_t>(in.width) * height * 3);
    const size_t step = static_cast<size_t>(in.width) * 3;
    for (int x = 0; x < in.width; ++x) {
        for (int c = 0; c < 3; ++c) {
            ReferenceLine(in.At(x, 0) + c, in.height, out.At(x, 0) + c, height, step);
        }
    }
    return out;
}

int BruteNearest(const RGBQUAD* palette, int count, const uint8_t* bgr) {
    // Nearest to the centre of the colour's cell; the lower index among equals.
    const int cb = (bgr[0] >> 2) * 4 + 2, cg = (bgr[1] >> 2) * 4 + 2, cr = (bgr[2] >> 2) * 4 + 2;
    int best = INT_MAX, index = 0;
    for (int i = 0; i < count; ++i) {
        const int db = cb - palette[i].rgbBlue, dg = cg - palette[i].rgbGreen,
                  dr = cr - palette[i].rgbRed;
        if (db * db + dg * dg + dr * dr < best) {
            best = db * db + dg * dg + dr * dr;
            index = i;
        }
    }
    return index;
}

// A paletted pass ends by mapping every colour to its palette entry.
void MapToPalette(Triplets& t, const CVImage& image) {
    if (image.BitCount() == 24) {
        return;
    }
    for (size_t p = 0; p < t.v.size(); p += 3) {
        const RGBQUAD& e = image.palette[BruteNearest(image.palette, image.paletteCount, &t.v[p])];
        t.v[p] = e.rgbBlue;
        t.v[p + 1] = e.rgbGreen;
        t.v[p + 2] = e.rgbRed;
    }
}

Triplets ReferenceResample(const CVImage& source, int width, int height) {
    Triplets t = Expand(source);
    const bool columnsFirst = width > t.width && height < t.height;
    if (columnsFirst) {
        t = ReferenceColumns(t, height);
        MapToPalette(t, source);
        t = ReferenceRows(t, width);
    } else {
        t = ReferenceRows(t, width);
        MapToPalette(t, source);
        t = ReferenceColumns(t, height);
    }
    MapToPalette(t, source);
    return t;
}

void MakeImage(CVImage& image, int width, int height, int bitCount, std::mt19937& random) {
    const int colors = bitCount == 24 ? 0 : (bitCount == 8 ? 200 : 1 << bitCount);
    image.Create(width, height, bitCount, colors, nullptr, 2835, 1417);
    for (int i = 0; i < colors; ++i) {
        image.palette[i] = RGBQUAD{static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                                   static_cast<uint8_t>(random()), 0};
    }
    FillRandom(image, random);
}

// Smooth content makes the averaging visible; random bytes stress rounding.
void Smooth(CVImage& image) {
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            SetPixelAt(image, x, y,
                       static_cast<uint32_t>((x * 7) & 0xFF) | ((y * 5) & 0xFF) << 8 |
                           (((x + y) * 3) & 0xFF) << 16);
        }
    }
}

} // namespace

TEST(Resample, MatchesTheLiteralLineAlgorithmInEveryDirectionAndDepth) {
    TestHost host;
    std::mt19937 random(11);
    struct Case {
        int w, h, w2, h2;
    };
    // Shrink both, grow both, grow one and shrink the other (both ways),
    // one side unchanged, odd sizes and widths off byte boundaries.
    const Case cases[] = {{37, 23, 11, 9}, {13, 9, 41, 31}, {17, 29, 45, 10}, {45, 11, 12, 33},
                          {33, 21, 33, 8}, {19, 7, 19, 25}, {1, 1, 5, 3},     {9, 14, 1, 1},
                          {64, 3, 63, 3},  {7, 40, 9, 39}};
    for (int bitCount : {24, 8, 4, 1}) {
        for (const Case& c : cases) {
            for (bool overwrite : {false, true}) {
                CVImage source(host.get());
                MakeImage(source, c.w, c.h, bitCount, random);
                if (bitCount == 24 && c.w > 30) {
                    Smooth(source);
                }
                const Triplets expected = ReferenceResample(source, c.w2, c.h2);
                CVImage result(host.get());
                ResampleRequest request{c.w2, c.h2, false, overwrite};
                Resample(host.get(), &source, &result, nullptr, request);
                SCOPED_TRACE(testing::Message()
                             << bitCount << "-bit " << c.w << "x" << c.h << " -> " << c.w2 << "x"
                             << c.h2 << " overwrite " << overwrite);
                ASSERT_EQ(result.Width(), c.w2);
                ASSERT_EQ(result.Height(), c.h2);
                ASSERT_EQ(result.BitCount(), bitCount);
                EXPECT_EQ(result.paletteCount, source.paletteCount);
                EXPECT_EQ(0, std::memcmp(result.palette, source.palette,
                                         sizeof(RGBQUAD) * source.paletteCount));
                EXPECT_EQ(result.header.biXPelsPerMeter, 2835);
                EXPECT_EQ(result.header.biYPelsPerMeter, 1417);
                const Triplets actual = Expand(result);
                ASSERT_EQ(actual.v, expected.v);
                if (bitCount < 24) {
                    for (int y = 0; y < result.Height(); ++y) {
                        for (int x = 0; x < result.Width(); ++x) {
                            ASSERT_LT(PixelAt(result, x, y), result.paletteCount);
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(host->Memory().LiveOrdinaryBlocks(), 0u) << "work space given back";
}

TEST(Resample, RoundingOffsetAndBlendFixedPoints) {
    TestHost host;
    // Doubling a uniform picture adds one (the 0.5 is scaled by 2); 255 stays.
    for (int c : {0, 17, 128, 254, 255}) {
        CVImage source(host.get());
        source.Create(5, 3, 24, 0, nullptr);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                SetPixelAt(source, x, y, static_cast<uint32_t>(c * 0x010101));
            }
        }
        CVImage result(host.get());
        Resample(host.get(), &source, &result, nullptr, {10, 3, false, false});
        const uint32_t expected = static_cast<uint32_t>(std::min(c + 1, 255) * 0x010101);
        for (int x = 0; x < 10; ++x) {
            ASSERT_EQ(PixelAt(result, x, 1), expected) << c << " at " << x;
        }
    }
    // Halving 0, 255, 0, 255 gives 127 everywhere.
    CVImage line(host.get());
    line.Create(8, 1, 24, 0, nullptr);
    for (int x = 0; x < 8; ++x) {
        SetPixelAt(line, x, 0, x % 2 ? 0xFFFFFFu : 0u);
    }
    CVImage half(host.get());
    Resample(host.get(), &line, &half, nullptr, {4, 1, false, false});
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(PixelAt(half, x, 0), 0x7F7F7Fu);
    }
    // Equal sizes copy the picture.
    std::mt19937 random(3);
    CVImage same(host.get()), copy(host.get());
    MakeImage(same, 21, 6, 4, random);
    Resample(host.get(), &same, &copy, nullptr, {21, 6, false, false});
    EXPECT_TRUE(SamePixels(same, copy));
}

TEST(Resample, TargetFitKeepsTheAspectRatio) {
    EXPECT_EQ(FitTargetSize(400, 200, 100, 100).cx, 100);
    EXPECT_EQ(FitTargetSize(400, 200, 100, 100).cy, 50);
    EXPECT_EQ(FitTargetSize(400, 200, 100, 10).cx, 20);
    EXPECT_EQ(FitTargetSize(400, 200, 100, 10).cy, 10);
    EXPECT_EQ(FitTargetSize(200, 400, 100, 100).cx, 50);
    EXPECT_EQ(FitTargetSize(3, 2, 100, 1).cx, 2); // 1.5 rounds away from zero
    // Extreme ratios need 64-bit keys; an empty box is left for Create to refuse.
    EXPECT_EQ(FitTargetSize(65535, 1, 1000, 1000).cy, 0);
    EXPECT_EQ(FitTargetSize(10, 10, 0, 5).cx, 0);

    TestHost host;
    CVImage source(host.get());
    source.Create(400, 200, 8, 256, nullptr);
    std::memset(source.bits, 0, source.ImageBytes());
    CVImage result(host.get());
    Resample(host.get(), &source, &result, nullptr, {100, 100, true, false});
    EXPECT_EQ(result.Width(), 100);
    EXPECT_EQ(result.Height(), 50);
}

TEST(Resample, PalettedTiesGoToTheLowerIndex) {
    TestHost host;
    // Halving (100, 152) averages to 126, the centre of its cell and exactly
    // between the two entries: whichever order, index 0 wins.
    for (bool swapped : {false, true}) {
        CVImage source(host.get());
        source.Create(2, 1, 8, 2, nullptr);
        const uint8_t a = swapped ? 100 : 152, b = swapped ? 152 : 100;
        source.palette[0] = RGBQUAD{a, a, a, 0};
        source.palette[1] = RGBQUAD{b, b, b, 0};
        SetPixelAt(source, 0, 0, 0);
        SetPixelAt(source, 1, 0, 1);
        CVImage result(host.get());
        Resample(host.get(), &source, &result, nullptr, {1, 1, false, false});
        EXPECT_EQ(PixelAt(result, 0, 0), 0u);
    }
}

TEST(Resample, BadTargetsRaiseImageErrorsBeforeTakingMemory) {
    TestHost host;
    CVImage source(host.get());
    source.Create(10, 10, 24, 0, nullptr);
    std::memset(source.bits, 0, source.ImageBytes());
    const size_t before = host->Memory().LiveOrdinaryBlocks();
    auto codeOf = [&](ResampleRequest request) {
        CVImage result(host.get());
        try {
            Resample(host.get(), &source, &result, nullptr, request);
        } catch (const CVImageError& error) {
            return error.Code();
        }
        return -1;
    };
    EXPECT_EQ(codeOf({0, 10, false, false}), CVImageError::MismatchedFormat);
    EXPECT_EQ(codeOf({10, -3, false, false}), CVImageError::MismatchedFormat);
    EXPECT_EQ(codeOf({65536, 10, false, false}), CVImageError::DimensionsTooLarge);
    EXPECT_EQ(codeOf({10, 70000, false, false}), CVImageError::DimensionsTooLarge);
    EXPECT_EQ(codeOf({10, 70000, true, false}), -1) << "fitted to 10x10";
    // A very flat fit comes out 0 high and is refused the same way.
    EXPECT_EQ(codeOf({1, 1000, true, false}), -1);
    CVImage strip(host.get());
    strip.Create(5000, 1, 24, 0, nullptr);
    std::memset(strip.bits, 0, strip.ImageBytes());
    CVImage result(host.get());
    EXPECT_THROW(Resample(host.get(), &strip, &result, nullptr, {10, 10, true, false}),
                 CVImageError);
    result.FreeBits();
    strip.FreeBits();
    EXPECT_EQ(host->Memory().LiveOrdinaryBlocks(), before);
}

namespace {
class RecordingProgress : public CVProgress {
  public:
    int Begin(int barFirst, int barLast, int workFirst, int workLast) override {
        begins.push_back({barFirst, barLast, workFirst, workLast});
        return 1;
    }
    int Step(const char*) override {
        if (++steps == breakAt) {
            throw CVImageError(CVImageError::UserBreak);
        }
        return steps + 1;
    }
    void End() override {}
    std::vector<std::vector<int>> begins;
    int steps = 0;
    int breakAt = -1;
};
} // namespace

TEST(Resample, ProgressIsSplitByLinesAndABreakLeavesNothingBehind) {
    TestHost host;
    std::mt19937 random(9);
    CVImage source(host.get());
    MakeImage(source, 300, 100, 24, random); // 900,000-byte work space: scratch
    {
        RecordingProgress progress;
        CVImage result(host.get());
        Resample(host.get(), &source, &result, &progress, {200, 50, false, false});
        // Rows first: 100 rows, then 200 columns.
        ASSERT_EQ(progress.begins.size(), 2u);
        EXPECT_EQ(progress.begins[0], (std::vector<int>{0, 33, 0, 100}));
        EXPECT_EQ(progress.begins[1], (std::vector<int>{33, 100, 0, 200}));
        EXPECT_GT(progress.steps, 50);
    }
    {
        // Width grows, height shrinks: the 300 columns go first.
        RecordingProgress progress;
        CVImage result(host.get());
        Resample(host.get(), &source, &result, &progress, {400, 60, false, false});
        ASSERT_EQ(progress.begins.size(), 2u);
        EXPECT_EQ(progress.begins[0], (std::vector<int>{0, 83, 0, 300}));
    }
    // Large work space comes from the host's memory and goes back on a break.
    CVImage big(host.get());
    MakeImage(big, 800, 700, 8, random);
    const long long scratchBefore = host->Memory().ScratchRemaining();
    const size_t blocksBefore = host->Memory().LiveOrdinaryBlocks();
    RecordingProgress progress;
    progress.breakAt = 30;
    CVImage result(host.get());
    try {
        Resample(host.get(), &big, &result, &progress, {600, 650, false, false});
        FAIL() << "the break did not end the work";
    } catch (const CVImageError& error) {
        EXPECT_EQ(error.Code(), CVImageError::UserBreak);
    }
    result.FreeBits();
    EXPECT_EQ(host->Memory().LiveOrdinaryBlocks(), blocksBefore);
    EXPECT_GE(host->Memory().ScratchRemaining(), scratchBefore);
}
