// Conversion between colour models: the target of each conversion code, the
// copy, grey, expansion and reduction paths, progress bands and failures.
#include "color_convert.h"
#include "color_test_util.h"

#include "host/host_services.h"
#include "host/settings_store.h"
#include "pixmill/errors.h"
#include "pixmill/progress.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace pixmill;
using namespace pixmill::cedarcol;
using namespace pixmill::cedarcol::test;
using pixmill::test::FillRandom;
using pixmill::test::PixelAt;
using pixmill::test::SamePixels;
using pixmill::test::SetPixelAt;
using pixmill::test::TestHost;

namespace {

ConversionParameters Params(int code, int colorCount = 256, int dither = 0) {
    ConversionParameters params;
    params.info = DefaultColorInfo();
    params.info.conversionCode = code;
    params.info.colorCount = colorCount;
    params.ditherLevel = dither;
    return params;
}

void RandomPalette(CVImage& image, int count, std::mt19937& random) {
    image.paletteCount = static_cast<uint16_t>(count);
    for (int i = 0; i < count; ++i) {
        image.palette[i] = Unpacked(static_cast<uint32_t>(random()) & 0xFFFFFF);
    }
}

CVImage* MakePaletted(CVImage& image, int bits, int count, std::mt19937& random) {
    image.Create(29, 11, bits, count, nullptr);
    RandomPalette(image, count, random);
    FillRandom(image, random);
    return &image;
}

int Luminance(const RGBQUAD& c) {
    return (19595 * c.rgbRed + 38470 * c.rgbGreen + 7471 * c.rgbBlue) >> 16;
}

// Reports at every quarter of each band; can stop the work at a given step.
class RecordingProgress : public CVProgress {
  public:
    int Begin(int first, int last, int, int workLast) override {
        bands.emplace_back(first, last);
        quarter = std::max(1, workLast / 4);
        position = quarter;
        return position;
    }
    int Step(const char*) override {
        if (++steps == breakAtStep) {
            throw CVImageError(CVImageError::UserBreak);
        }
        position += quarter;
        return position;
    }
    void End() override { ++ends; }
    std::vector<std::pair<int, int>> bands;
    int steps = 0, ends = 0, breakAtStep = -1;

  private:
    int quarter = 1, position = 0;
};

// A host whose scratch arena gives out no more than a set number of bytes.
class StingyHost : public HostServices {
  public:
    StingyHost(SettingsStore& store, size_t allowance)
        : HostServices(store), allowance(allowance) {}
    uint8_t* ScratchAlloc(size_t n) override {
        if (given + n > allowance) {
            return nullptr;
        }
        given += n;
        return HostServices::ScratchAlloc(n);
    }
    void ScratchReset() override {
        given = 0;
        HostServices::ScratchReset();
    }
    size_t allowance;
    size_t given = 0;
};

} // namespace

TEST(ConversionTarget, CodesSelectColoursAndDepth) {
    struct Case {
        int code, count, colors, bits;
        bool grey;
    };
    for (const Case c :
         {Case{1, 0, 2, 1, false}, Case{2, 0, 16, 4, false}, Case{4, 0, 256, 8, true},
          Case{8, 0, 256, 8, false}, Case{16, 0, 0, 24, false}, Case{7, 0, 0, 24, false},
          Case{32, 2, 2, 1, false}, Case{32, 3, 3, 4, false}, Case{32, 16, 16, 4, false},
          Case{32, 17, 17, 8, false}, Case{32, 256, 256, 8, false},
          Case{32, 257, 257, 24, false}}) {
        const ConversionTarget t = TargetOf(c.code, c.count);
        EXPECT_EQ(t.colors, c.colors) << "code " << c.code << " count " << c.count;
        EXPECT_EQ(t.bits, c.bits) << "code " << c.code << " count " << c.count;
        EXPECT_EQ(t.grey, c.grey);
    }
}

TEST(Conversion, SameColourCountWithColourEntriesIsAnExactCopy) {
    TestHost host;
    std::mt19937 random(21);
    for (auto [bits, count, code] : {std::tuple{8, 256, 8}, std::tuple{4, 16, 2}}) {
        CVImage source(host.get());
        MakePaletted(source, bits, count, random);
        CVImage destination(host.get());
        ConvertColors(host.get(), source, destination, nullptr, Params(code));
        EXPECT_EQ(destination.bits, source.bits) << "the copy shares the pixels";
        EXPECT_TRUE(SamePixels(source, destination));
        EXPECT_EQ(std::memcmp(source.palette, destination.palette, sizeof source.palette), 0);
    }
}

TEST(Conversion, GreyTargets) {
    TestHost host;
    std::mt19937 random(22);
    // 1- and 4-bit images are expanded first; pixels take their entry's grey.
    for (int bits : {1, 4, 8}) {
        CVImage source(host.get());
        MakePaletted(source, bits, 1 << bits == 256 ? 200 : 1 << bits, random);
        CVImage grey(host.get());
        ConvertColors(host.get(), source, grey, nullptr, Params(CodeGray));
        ASSERT_EQ(grey.BitCount(), 8);
        EXPECT_TRUE(grey.IsGrayRamp());
        for (int y = 0; y < source.Height(); ++y) {
            for (int x = 0; x < source.Width(); ++x) {
                ASSERT_EQ(PixelAt(grey, x, y),
                          static_cast<uint32_t>(Luminance(source.palette[PixelAt(source, x, y)])));
            }
        }
    }
    // 24-bit: weights 19595, 38470, 7471 over 65536.
    CVImage rgb(host.get());
    rgb.Create(4, 1, 24, 0, nullptr);
    const uint32_t colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    for (int x = 0; x < 4; ++x) {
        SetPixelAt(rgb, x, 0, colours[x]);
    }
    CVImage grey(host.get());
    ConvertColors(host.get(), rgb, grey, nullptr, Params(CodeGray));
    const uint32_t expected[4] = {76, 149, 29, 255};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(PixelAt(grey, x, 0), expected[x]);
    }
    // An 8-bit grey image with its 256 entries stays as it is.
    CVImage ramp(host.get());
    ramp.Create(9, 9, 8, 256, nullptr);
    pixmill::test::SetGrayRamp(ramp);
    FillRandom(ramp, random);
    ConvertColors(host.get(), ramp, grey, nullptr, Params(CodeGray));
    EXPECT_TRUE(SamePixels(ramp, grey));
}

TEST(Conversion, RgbTargetWritesEachPixelsPaletteColour) {
    TestHost host;
    std::mt19937 random(23);
    for (int bits : {1, 4, 8}) {
        CVImage source(host.get());
        MakePaletted(source, bits, 1 << bits, random);
        source.transparentColor = source.palette[1];
        source.hasTransparentColor = 1;
        CVImage rgb(host.get());
        ConvertColors(host.get(), source, rgb, nullptr, Params(CodeRgb));
        ASSERT_EQ(rgb.BitCount(), 24);
        EXPECT_EQ(rgb.paletteCount, 0);
        EXPECT_EQ(rgb.hasTransparentColor, 1);
        EXPECT_EQ(Packed(rgb.transparentColor), Packed(source.palette[1]));
        for (int y = 0; y < source.Height(); ++y) {
            for (int x = 0; x < source.Width(); ++x) {
                ASSERT_EQ(PixelAt(rgb, x, y), Packed(source.palette[PixelAt(source, x, y)]));
            }
        }
    }
}

TEST(Conversion, ColourCountChoosesTheDepth) {
    TestHost host;
    std::mt19937 random(24);
    CVImage source(host.get());
    source.Create(33, 17, 24, 0, nullptr);
    FillRandom(source, random);
    source.header.biXPelsPerMeter = 3780;
    for (auto [count, bits] : {std::pair{2, 1}, std::pair{3, 4}, std::pair{16, 4}, std::pair{17, 8},
                               std::pair{256, 8}, std::pair{300, 24}}) {
        CVImage destination(host.get());
        ConvertColors(host.get(), source, destination, nullptr, Params(CodeColorCount, count, 8));
        EXPECT_EQ(destination.BitCount(), bits) << count << " colours";
        EXPECT_EQ(destination.paletteCount, bits == 24 ? 0 : count);
        EXPECT_EQ(destination.header.biXPelsPerMeter, 3780);
        if (bits == 24) {
            EXPECT_TRUE(SamePixels(source, destination));
            continue;
        }
        for (int y = 0; y < source.Height(); ++y) {
            for (int x = 0; x < source.Width(); ++x) {
                ASSERT_LT(PixelAt(destination, x, y), static_cast<uint32_t>(count));
            }
        }
    }
    // A paletted image with more bits than the target is reduced too.
    CVImage paletted(host.get());
    MakePaletted(paletted, 8, 100, random);
    CVImage reduced(host.get());
    ConvertColors(host.get(), paletted, reduced, nullptr, Params(CodePaletted16));
    EXPECT_EQ(reduced.BitCount(), 4);
    EXPECT_EQ(reduced.paletteCount, 16);
}

TEST(Conversion, EachPathReportsInItsBands) {
    TestHost host;
    std::mt19937 random(25);
    struct Case {
        int bits, count, code;
        std::vector<std::pair<int, int>> bands;
    };
    const std::vector<Case> cases = {
        {24, 0, CodePaletted256, {{0, 100}}},
        {4, 16, CodePaletted256, {{0, 10}, {10, 100}}},
        {8, 100, CodePaletted16, {{0, 20}, {20, 100}}},
        {1, 2, CodeGray, {{0, 30}, {30, 100}}},
        {8, 200, CodeGray, {{0, 100}}},
        {4, 16, CodeRgb, {{0, 100}}},
    };
    for (const Case& c : cases) {
        CVImage source(host.get());
        if (c.bits == 24) {
            source.Create(20, 40, 24, 0, nullptr);
            FillRandom(source, random);
        } else {
            MakePaletted(source, c.bits, c.count, random);
        }
        RecordingProgress progress;
        CVImage destination(host.get());
        ConvertColors(host.get(), source, destination, &progress, Params(c.code, 256, 8));
        EXPECT_EQ(progress.bands, c.bands) << c.bits << " bits to code " << c.code;
        EXPECT_GE(progress.steps, 3 * static_cast<int>(c.bands.size()));
        EXPECT_EQ(progress.ends, 1);
    }
}

TEST(Conversion, FailuresRaiseImageErrorsAndReleaseTemporaryImages) {
    std::mt19937 random(26);
    {
        // A break while reducing an expanded image.
        TestHost host;
        CVImage source(host.get());
        MakePaletted(source, 4, 16, random);
        RecordingProgress progress;
        progress.breakAtStep = 6; // in the reduction, after the expansion's four
        {
            CVImage destination(host.get());
            try {
                ConvertColors(host.get(), source, destination, &progress,
                              Params(CodePaletted256, 256, 8));
                ADD_FAILURE() << "no break";
            } catch (CVImageError& e) {
                EXPECT_EQ(e.Code(), CVImageError::UserBreak);
            }
            EXPECT_EQ(progress.ends, 1);
        }
        EXPECT_EQ(host->Memory().LiveOrdinaryBlocks(), 1u) << "only the source is left";
    }
    {
        // Scratch memory for the error buffer runs out.
        MemorySettingsStore store;
        StingyHost host(store, kHistogramBytes);
        CVImage source(&host);
        MakePaletted(source, 8, 100, random);
        {
            CVImage destination(&host);
            try {
                ConvertColors(&host, source, destination, nullptr, Params(CodePaletted16, 256, 8));
                ADD_FAILURE() << "no error";
            } catch (CVImageError& e) {
                EXPECT_EQ(e.Code(), CVImageError::OutOfMemory);
            }
        }
        EXPECT_EQ(host.Memory().LiveOrdinaryBlocks(), 1u);
        host.allowance = 0;
        CVImage destination(&host);
        EXPECT_THROW(ConvertColors(&host, source, destination, nullptr, Params(CodeGray)),
                     CVImageError);
    }
    {
        // Sizes outside the record's range fail before any pixel is read.
        TestHost host;
        CVImage source(host.get());
        source.Create(8, 8, 24, 0, nullptr);
        for (auto [width, height, code] : {std::tuple{0, 8, 2}, std::tuple{8, -3, 2},
                                           std::tuple{70000, 8, 6}, std::tuple{8, 65536, 6}}) {
            source.header.biWidth = width;
            source.header.biHeight = height;
            CVImage destination(host.get());
            try {
                ConvertColors(host.get(), source, destination, nullptr, Params(CodePaletted256));
                ADD_FAILURE() << width << " x " << height;
            } catch (CVImageError& e) {
                EXPECT_EQ(e.Code(), code) << width << " x " << height;
            }
        }
        source.header.biWidth = source.header.biHeight = 8;
    }
}
