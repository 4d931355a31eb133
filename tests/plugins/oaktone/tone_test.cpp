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

long long Rnd(long double x) {
    return static_cast<long long>(x >= 0 ? std::trunc(x + 0.5L) : std::trunc(x - 0.5L));
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

int RawContrast(int v, int mn, int mx, int i) {
    if (v == 0) {
        return i;
    }
    const int m = std::abs(v);
    long double low = mn + Lin(m, 1, 100, 1, (mx - mn) / 2);
    long double high = mx - Lin(m, 1, 100, 1, (mx - mn + 1) / 2);
    high = std::min<long double>(high, 255);
    if (high <= low) {
        high = low + 1;
    }
    long long fillLow;
    if (mn < 129) {
        fillLow =
            std::max(0LL, v < 0 ? Rnd(Lin(m, 1, 100, 1, 127 - mn)) : Rnd(Lin(m, 1, 100, 1, mn)));
        low = std::min<long double>(low, 127);
    } else {
        const long long k2 = Rnd(Lin(m, 1, 100, 127, mn));
        fillLow = v < 0 ? mn - k2 : mn + k2;
        low = std::max<long double>(low, 127);
    }
    long long fillHigh;
    if (mx < 129) {
        high = std::min<long double>(high, 127);
        fillHigh = Rnd(Lin(m, 1, 100, mx, 128));
        fillHigh = v < 0 ? std::min(fillHigh, 127LL) : Clamp(fillHigh);
    } else {
        if (high < 128) {
            high = 127;
        }
        fillHigh = v > 0 ? Clamp(Rnd(Lin(m, 1, 100, Clamp(2 * mx - 128), 255)))
                         : Clamp(Rnd(Lin(100 - m, 1, 100, 127, mx)));
    }
    long long lo = Trunc(low + 0.5L);
    long long hi = Trunc(high + 0.5L);
    if (hi < lo) {
        lo = hi = 127;
    }
    if (v > 0) {
        const long double step = static_cast<long double>(fillHigh - fillLow + 1) / (hi - lo + 1);
        if (i < lo) {
            return Clamp(fillLow); // a fill above 255 is limited like any value
        }
        if (i >= hi) {
            return Clamp(fillHigh);
        }
        return Clamp(Trunc(lo + (i - lo + 1) * step + 0.5L));
    }
    const long double step =
        m == 100 ? 0 : std::max(0.0L, static_cast<long double>(fillHigh - fillLow + 1) / 256);
    return Clamp(Trunc((hi > lo ? lo : 0) + i * step + 0.5L));
}

// Raised contrast: the formula, lowered where an entry above it is lower.
int ReferenceContrast(int v, int mn, int mx, int i) {
    int value = RawContrast(v, mn, mx, i);
    for (int j = i + 1; v > 0 && j < 256; ++j) {
        value = std::min(value, RawContrast(v, mn, mx, j));
    }
    return value;
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
    // Channel ranges that reach every branch of the contrast bounds: a dark
    // maximum, a bright minimum, a full range, a single value.
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

    // A channel whose maximum is below 129 takes the first fill-high rule:
    // high is lowered to 127 and fill-high lies between the maximum and 128.
    const ot::ContrastBounds dark = ot::ContrastBoundsOf(50, 10, 100);
    EXPECT_LE(dark.high, 127);
    EXPECT_EQ(dark.fillHigh, ot::Rnd(ot::Lin(50, 1, 100, 100, 128)));
    EXPECT_EQ(dark.fillHigh, 114);
    EXPECT_EQ(ot::ContrastBoundsOf(-100, 10, 100).fillHigh, 127) << "limited to 127 for v < 0";

    // A bright channel with raised contrast: the low fill lies above 255, so
    // the table starts at the ramp's first value instead of white.
    const ot::ContrastBounds bright = ot::ContrastBoundsOf(40, 180, 250);
    EXPECT_EQ(bright.fillLow, 328);
    ot::ContrastTable(40, 180, 250, table);
    const int lo = static_cast<int>(bright.low + 0.5L);
    EXPECT_EQ(lo, 195);
    for (int i = 0; i < lo; ++i) {
        ASSERT_EQ(table[i], table[lo]) << i;
    }
    EXPECT_LT(table[lo], 255);
}

TEST(Tone, ContrastTablesNeverFallAndMinus100IsFlat) {
    uint8_t table[256];
    // Every channel range (every branch of the bounds) at every contrast.
    for (int mn = 0; mn < 256; mn += 5) {
        for (int mx = mn; mx < 256; mx += 7) {
            for (int v = -100; v <= 100; v += 3) {
                ot::ContrastTable(v, mn, mx, table);
                for (int i = 1; i < 256; ++i) {
                    ASSERT_LE(table[i - 1], table[i]) << v << " on " << mn << ".." << mx;
                }
            }
            ot::ContrastTable(-100, mn, mx, table);
            ASSERT_TRUE(std::all_of(table, table + 256, [&](uint8_t t) { return t == table[0]; }))
                << mn << ".." << mx;
        }
    }
    // The ramps that used to fall: a dark channel stops at its high fill, a
    // bright one rises into white and stays there.
    ot::ContrastTable(50, 10, 100, table);
    EXPECT_EQ(*std::max_element(table, table + 256), 114);
    EXPECT_EQ(table[255], 114);
    ot::ContrastTable(50, 140, 250, table);
    EXPECT_LT(table[140], 200);
    EXPECT_EQ(table[250], 255);
    // A full-range picture at -100 is mid grey, not inverted.
    ot::ContrastTable(-100, 0, 255, table);
    EXPECT_EQ(table[0], 127);
    EXPECT_EQ(table[255], 127);
    ot::ContrastTable(-99, 0, 255, table);
    EXPECT_LE(table[255] - table[0], 3);
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
