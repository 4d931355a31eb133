// The tone adjustment called directly. A slow reference computes every
// channel value of every pixel (or palette entry) from the rules, with the
// channel's range found by looking at each pixel; the library works through
// composed tables in the scratch arena.
#include "tone.h"

#include "host/progress.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

using namespace pixmill;
using namespace pixmill::test;
namespace ot = pixmill::oaktone;

namespace {

int Clamp(long long v) {
    return static_cast<int>(std::clamp<long long>(v, 0, 255));
}

long double Lin(long double e, long double a, long double b, long double c, long double d) {
    if (e == 0) {
        return 0;
    }
    const long double magnitude = std::fabs(e) * (d - c) / (b - a + 1) + c;
    return e > 0 ? magnitude : -magnitude;
}

long long Trunc(long double x) {
    return static_cast<long long>(std::trunc(x));
}

int ReferenceBrightness(int b, int i) {
    if (b == 0) {
        return i;
    }
    const float offset = static_cast<float>(b * 2.55);
    return Clamp(Trunc(i + static_cast<long double>(offset) + 0.5L));
}

int ReferenceIntensity(int n, int i) {
    if (n == 0) {
        return i;
    }
    const long double k = Lin(n, 0, 100, 1, 2);
    return k > 0 ? Clamp(Trunc(i * k + 0.5L)) : Clamp(Trunc(i / -k + 0.5L));
}

// Contrast spreads tones from the middle of the channel's range by a gain:
// 1 - m/100 when lowered by m, 100 / (100 - m) when raised, a threshold at 100.
int ReferenceContrast(int v, int mn, int mx, int i) {
    const long double middle = (mn + mx) / 2.0L;
    long double value;
    if (v == 100) {
        value = i < middle ? 0 : i > middle ? 255 : middle;
    } else {
        const long double gain = v <= 0 ? (100 + v) / 100.0L : 100.0L / (100 - v);
        value = middle + (i - middle) * gain;
    }
    // Halves round up; a tie may come out a hair off in floating point.
    const long double rounded = std::floor(value + 0.5L + 1e-9L);
    return Clamp(static_cast<long long>(std::clamp<long double>(rounded, -1, 256)));
}

int ReferenceGamma(double gamma, int i) {
    return Clamp(Trunc(std::pow(i * 0.00392156862745098, 1 / gamma) * 255 + 0.5));
}

struct Triple {
    int b, c, n;
};

// Which row of the settings a channel (0 red, 1 green, 2 blue) uses.
int RowOf(bool all, int channel) {
    return all ? 0 : 1 + channel;
}

// The 0xRRGGBB of every pixel (24-bit) or palette entry (paletted).
std::vector<uint32_t> ColoursOf(const CVImage& image) {
    std::vector<uint32_t> colours;
    if (image.BitCount() == 24) {
        for (int y = 0; y < image.Height(); ++y) {
            for (int x = 0; x < image.Width(); ++x) {
                colours.push_back(PixelAt(image, x, y));
            }
        }
    } else {
        for (int i = 0; i < image.paletteCount; ++i) {
            const RGBQUAD& c = image.palette[i];
            colours.push_back(static_cast<uint32_t>(c.rgbRed) << 16 | c.rgbGreen << 8 | c.rgbBlue);
        }
    }
    return colours;
}

// The expected 0xRRGGBB of every pixel (24-bit) or palette entry (paletted),
// followed by those of the extra colours, which do not count for the range.
std::vector<uint32_t> ReferenceTone(const CVImage& image, const ot::AdjustSettings& s,
                                    const std::vector<uint32_t>& extra = {}) {
    std::vector<uint32_t> colours = ColoursOf(image);
    const size_t count = colours.size();
    colours.insert(colours.end(), extra.begin(), extra.end());
    std::vector<uint32_t> result(colours.size(), 0);
    for (int ch = 0; ch < 3; ++ch) {
        const int shift = 16 - 8 * ch;
        int mn = 255, mx = 0;
        for (size_t k = 0; k < count; ++k) {
            mn = std::min<int>(mn, (colours[k] >> shift) & 0xFF);
            mx = std::max<int>(mx, (colours[k] >> shift) & 0xFF);
        }
        const int16_t* t = s.tone[RowOf(s.toneUsesAll, ch)];
        for (size_t k = 0; k < colours.size(); ++k) {
            const int v = (colours[k] >> shift) & 0xFF;
            const int out = ReferenceContrast(
                t[1], mn, mx, ReferenceIntensity(t[2], ReferenceBrightness(t[0], v)));
            result[k] |= static_cast<uint32_t>(out) << shift;
        }
    }
    return result;
}

ot::AdjustSettings Neutral() {
    return ot::DefaultAdjustSettings();
}

// A random picture whose channels stay within low..high.
std::unique_ptr<CVImage> RandomImage(TestHost& host, std::mt19937& random, int bitCount, int low,
                                     int high) {
    auto image = std::make_unique<CVImage>(host.get());
    image->Create(7, 5, bitCount, bitCount == 24 ? 0 : (bitCount == 4 ? 16 : 200), nullptr);
    std::uniform_int_distribution<int> value(low, high);
    for (int i = 0; i < 256; ++i) {
        image->palette[i] =
            RGBQUAD{static_cast<uint8_t>(value(random)), static_cast<uint8_t>(value(random)),
                    static_cast<uint8_t>(value(random)), 0};
    }
    FillRandom(*image, random);
    if (bitCount == 24) {
        for (int y = 0; y < image->Height(); ++y) {
            for (int x = 0; x < image->Width(); ++x) {
                SetPixelAt(*image, x, y,
                           static_cast<uint32_t>(value(random) << 16 | value(random) << 8 |
                                                 value(random)));
            }
        }
    }
    return image;
}

} // namespace

TEST(Tone, MatchesReferenceOverAllBranches) {
    TestHost host;
    std::mt19937 random(77);
    // Channel ranges of every kind: dark, bright, full, a single value.
    const std::pair<int, int> ranges[] = {{0, 255},   {0, 100},  {20, 128},  {129, 255},
                                          {150, 200}, {90, 160}, {200, 200}, {0, 0}};
    const Triple triples[] = {{0, 0, 0},         {100, 0, 0},      {-100, 0, 0},   {0, 100, 0},
                              {0, -100, 0},      {0, 0, 100},      {0, 0, -100},   {0, 1, 0},
                              {0, -1, 0},        {37, 61, -23},    {-55, -42, 81}, {12, 99, 100},
                              {-100, 100, -100}, {100, -100, 100}, {5, 50, 5},     {0, -50, 0}};
    for (int bitCount : {24, 8, 4}) {
        for (auto [low, high] : ranges) {
            auto image = RandomImage(host, random, bitCount, low, high);
            image->hasTransparentColor = 1;
            image->transparentColor = RGBQUAD{static_cast<uint8_t>(low), static_cast<uint8_t>(high),
                                              static_cast<uint8_t>((low + high) / 2), 0};
            for (const Triple& t : triples) {
                ot::AdjustSettings s = Neutral();
                s.toneUsesAll = 1;
                s.tone[0][0] = static_cast<int16_t>(t.b);
                s.tone[0][1] = static_cast<int16_t>(t.c);
                s.tone[0][2] = static_cast<int16_t>(t.n);
                CVImage result(host.get());
                ot::AdjustTone(*image, result, s, nullptr);
                ASSERT_EQ(ColoursOf(result), ReferenceTone(*image, s))
                    << bitCount << "-bit " << low << ".." << high << " (" << t.b << ", " << t.c
                    << ", " << t.n << ")";
                if (bitCount != 24) {
                    std::string why;
                    EXPECT_TRUE(SamePixels(result, *image, &why)) << "pixels copied: " << why;
                }

                // The transparent colour goes through the same tables.
                const RGBQUAD& c = image->transparentColor;
                const uint32_t key =
                    static_cast<uint32_t>(c.rgbRed) << 16 | c.rgbGreen << 8 | c.rgbBlue;
                const RGBQUAD& got = result.transparentColor;
                EXPECT_EQ(result.hasTransparentColor, 1);
                EXPECT_EQ(static_cast<uint32_t>(got.rgbRed) << 16 | got.rgbGreen << 8 | got.rgbBlue,
                          ReferenceTone(*image, s, {key}).back());
            }
        }
    }
}

TEST(Tone, ChannelsUseTheirOwnRows) {
    TestHost host;
    std::mt19937 random(3);
    auto image = RandomImage(host, random, 24, 0, 255);
    ot::AdjustSettings s = Neutral();
    s.toneUsesAll = 0;
    const int16_t rows[4][3] = {{100, 100, 100}, {30, -20, 10}, {-40, 60, 0}, {0, 0, -70}};
    std::copy(&rows[0][0], &rows[0][0] + 12, &s.tone[0][0]);
    CVImage result(host.get());
    ot::AdjustTone(*image, result, s, nullptr);
    EXPECT_EQ(ColoursOf(result), ReferenceTone(*image, s));
}

TEST(Tone, NeutralSettingsLeaveImagesAlone) {
    TestHost host;
    std::mt19937 random(9);
    for (int bitCount : {4, 8, 24}) {
        auto image = RandomImage(host, random, bitCount, 0, 255);
        image->hasTransparentColor = 1;
        image->transparentColor = RGBQUAD{1, 2, 3, 0};
        CVImage tone(host.get()), gamma(host.get());
        ot::AdjustTone(*image, tone, Neutral(), nullptr);
        ot::AdjustGamma(*image, gamma, Neutral(), nullptr);
        for (const CVImage* result : {&tone, &gamma}) {
            std::string why;
            EXPECT_TRUE(SamePixels(*result, *image, &why)) << why;
            EXPECT_EQ(ColoursOf(*result), ColoursOf(*image));
            EXPECT_EQ(result->transparentColor, (RGBQUAD{1, 2, 3, 0}));
        }
    }
}

TEST(Tone, ExtremeTables) {
    uint8_t table[256];
    ot::BrightnessTable(100, table);
    EXPECT_TRUE(std::all_of(table, table + 256, [](uint8_t v) { return v == 255; }));
    ot::BrightnessTable(-100, table);
    EXPECT_TRUE(std::all_of(table, table + 256, [](uint8_t v) { return v == 0; }));
    ot::BrightnessTable(10, table);
    EXPECT_EQ(table[0], 26);
    EXPECT_EQ(table[229], 255);

    const long double factor = 1 + 100.0L / 101;
    ot::IntensityTable(100, table);
    EXPECT_EQ(table[100], static_cast<int>(100 * factor + 0.5L));
    EXPECT_EQ(table[100], 199);
    EXPECT_EQ(table[200], 255);
    ot::IntensityTable(-100, table);
    EXPECT_EQ(table[100], static_cast<int>(100 / factor + 0.5L));
    EXPECT_EQ(table[255], 128);

    ot::GammaTable(10, table);
    EXPECT_EQ(table[128], 238);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[255], 255);
    ot::GammaTable(0.1, table);
    EXPECT_EQ(table[128], ReferenceGamma(0.1, 128));
    for (double gamma : {0.1, 0.37, 1.0, 2.2, 10.0}) {
        ot::GammaTable(gamma, table);
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(table[i], ReferenceGamma(gamma, i)) << gamma << " at " << i;
        }
    }

}

// For every setting on every range: rising tables that keep lowered tones
// inside the channel's range; -100 is its middle, 0 the identity, and a step
// of one changes a tone by at most two levels.
TEST(Tone, ContrastTablesAreSoundForEverySetting) {
    uint8_t table[256], identity[256];
    for (int i = 0; i < 256; ++i) {
        identity[i] = static_cast<uint8_t>(i);
    }
    std::vector<std::pair<int, int>> ranges = {{0, 255}, {10, 100}, {140, 250}, {77, 77}};
    for (int mn = 0; mn < 256; mn += 15) {
        for (int mx = mn + 1; mx < 256; mx += 23) {
            ranges.emplace_back(mn, mx);
        }
    }
    for (const auto& [mn, mx] : ranges) {
        for (int v = -100; v <= 100; ++v) {
            ot::ContrastTable(v, mn, mx, table);
            for (int i = mn; i <= mx; ++i) {
                ASSERT_EQ(table[i], ReferenceContrast(v, mn, mx, i)) << v << " at " << i;
                if (i > mn) {
                    ASSERT_LE(table[i - 1], table[i]) << v << " on " << mn << ".." << mx;
                }
                if (v < 0) {
                    ASSERT_GE(table[i], mn) << v << " on " << mn << ".." << mx;
                    ASSERT_LE(table[i], mx) << v << " on " << mn << ".." << mx;
                }
            }
        }
        ot::ContrastTable(0, mn, mx, table);
        ASSERT_TRUE(std::equal(table, table + 256, identity));
        ot::ContrastTable(-100, mn, mx, table);
        const int middle = (mn + mx + 1) / 2;
        for (int i = mn; i <= mx; ++i) {
            ASSERT_EQ(table[i], middle) << mn << ".." << mx;
        }
        for (int v : {-1, 1}) {
            ot::ContrastTable(v, mn, mx, table);
            for (int i = mn; i <= mx; ++i) {
                ASSERT_LE(std::abs(table[i] - i), 2) << v << " at " << i << " on " << mn << ".."
                                                     << mx;
            }
        }
    }
    // The bright ramp keeps its shape at small settings and stays in the
    // channel's range when lowered, rather than turning white.
    ot::ContrastTable(1, 140, 250, table);
    EXPECT_EQ(table[140], 139);
    EXPECT_EQ(table[250], 251);
    ot::ContrastTable(-50, 140, 250, table);
    EXPECT_EQ(table[140], 168);
    EXPECT_EQ(table[250], 223);
    ot::ContrastTable(100, 10, 100, table);
    EXPECT_EQ(table[54], 0);
    EXPECT_EQ(table[56], 255);
    // Raising and lowering by the same amount give the tones back.
    uint8_t lowered[256];
    ot::ContrastTable(-50, 10, 100, lowered);
    ot::ContrastTable(50, 33, 78, table);
    for (int i = 10; i <= 100; ++i) {
        ASSERT_NEAR(table[lowered[i]], i, 1) << i;
    }
}

TEST(Tone, GreyAndColourPathsAgreeOnGreyContent) {
    TestHost host;
    std::mt19937 random(12);
    CVImage grey(host.get());
    grey.Create(9, 6, 8, 256, nullptr);
    SetGrayRamp(grey);
    FillRandom(grey, random);
    SetPixelAt(grey, 0, 0, 0); // the full range, as in the ramp palette
    SetPixelAt(grey, 1, 0, 255);
    CVImage colour(host.get());
    colour.Create(9, 6, 24, 0, nullptr);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 9; ++x) {
            SetPixelAt(colour, x, y, PixelAt(grey, x, y) * 0x010101u);
        }
    }
    ot::AdjustSettings s = Neutral();
    s.tone[0][0] = 17;
    s.tone[0][1] = 44;
    s.tone[0][2] = -12;
    s.gamma[0] = 1.7;
    for (auto adjust : {ot::AdjustTone, ot::AdjustGamma}) {
        CVImage greyResult(host.get()), colourResult(host.get());
        adjust(grey, greyResult, s, nullptr);
        adjust(colour, colourResult, s, nullptr);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 9; ++x) {
                const RGBQUAD& entry = greyResult.palette[PixelAt(greyResult, x, y)];
                const uint32_t viaPalette =
                    static_cast<uint32_t>(entry.rgbRed) << 16 | entry.rgbGreen << 8 | entry.rgbBlue;
                ASSERT_EQ(viaPalette, PixelAt(colourResult, x, y)) << x << "," << y;
            }
        }
    }
}

TEST(Tone, GammaPerChannel) {
    TestHost host;
    std::mt19937 random(21);
    auto image = RandomImage(host, random, 24, 0, 255);
    ot::AdjustSettings s = Neutral();
    s.gammaUsesAll = 0;
    s.gamma[0] = 5; // not used
    s.gamma[1] = 2.5;
    s.gamma[2] = 0.4;
    s.gamma[3] = 1;
    CVImage result(host.get());
    ot::AdjustGamma(*image, result, s, nullptr);
    for (int y = 0; y < image->Height(); ++y) {
        for (int x = 0; x < image->Width(); ++x) {
            const uint32_t in = PixelAt(*image, x, y);
            const uint32_t expected =
                static_cast<uint32_t>(ReferenceGamma(2.5, in >> 16)) << 16 |
                static_cast<uint32_t>(ReferenceGamma(0.4, (in >> 8) & 0xFF)) << 8 | (in & 0xFF);
            ASSERT_EQ(PixelAt(result, x, y), expected);
        }
    }
}

// Damaged settings (values outside their ranges, a gamma of 0, below 0 or
// not a number) act as the nearest valid value.
TEST(Tone, SettingsOutsideTheirRangesAreLimited) {
    TestHost host;
    std::mt19937 random(30);
    auto image = RandomImage(host, random, 24, 0, 255);
    ot::AdjustSettings wild = Neutral();
    wild.tone[0][0] = 32767;
    wild.tone[0][1] = -32768;
    wild.tone[0][2] = 5000;
    ot::AdjustSettings limited = Neutral();
    limited.tone[0][0] = 100;
    limited.tone[0][1] = -100;
    limited.tone[0][2] = 100;
    CVImage a(host.get()), b(host.get());
    ot::AdjustTone(*image, a, wild, nullptr);
    ot::AdjustTone(*image, b, limited, nullptr);
    EXPECT_TRUE(SamePixels(a, b));

    for (double gamma : {0.0, -3.0, 1e9, std::numeric_limits<double>::quiet_NaN()}) {
        ot::AdjustSettings s = Neutral();
        s.gamma[0] = gamma;
        CVImage result(host.get());
        ot::AdjustGamma(*image, result, s, nullptr);
        ot::AdjustSettings expected = Neutral();
        expected.gamma[0] = std::isnan(gamma) ? 1.0 : std::clamp(gamma, 0.1, 10.0);
        CVImage reference(host.get());
        ot::AdjustGamma(*image, reference, expected, nullptr);
        EXPECT_TRUE(SamePixels(result, reference)) << gamma;
    }
}

TEST(Tone, RefusesBilevelImagesAndGivesTheScratchBack) {
    TestHost host;
    std::mt19937 random(1);
    CVImage bilevel(host.get());
    bilevel.Create(8, 2, 1, 2, nullptr);
    FillRandom(bilevel, random);
    EXPECT_FALSE(ot::AcceptsAdjustment(bilevel));
    for (auto adjust : {ot::AdjustTone, ot::AdjustGamma}) {
        CVImage result(host.get());
        try {
            adjust(bilevel, result, Neutral(), nullptr);
            ADD_FAILURE() << "accepted a 1-bit image";
        } catch (const CVImageError& e) {
            EXPECT_EQ(e.Code(), CVImageError::UnsupportedFormat);
        }
    }

    auto image = RandomImage(host, random, 24, 0, 255);
    RecordingProgressDisplay display;
    {
        HostProgress progress(&display, "Gamma");
        CVImage result(host.get());
        ot::AdjustSettings s = Neutral();
        s.tone[0][1] = 30;
        ot::AdjustTone(*image, result, s, &progress);
        ot::AdjustGamma(*image, result, s, &progress);
    }
    EXPECT_EQ(display.position, 100) << "even with few rows";
    uint8_t* whole = host->ScratchAlloc(CPluginHost::kScratchSize);
    EXPECT_NE(whole, nullptr) << "the tables went back to the arena";
    host->ScratchReset();
}
