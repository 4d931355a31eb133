// The PNG codec on its own: every image kind through every writer setting
// (libpng judges the files), every colour type and depth libpng writes read
// back, transparency, resolution, previews, and damaged files.
#include "png_codec.h"
#include "png_files.h"

#include "pixmill/alpha_rule.h"
#include "pixmill/errors.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

using namespace pixmill;
using namespace pixmill::larch;
using namespace pixmill::test;

namespace {

CodecMaker Maker(CPluginHost* host, const PngSettings* settings = nullptr) {
    static const PngSettings kDefaults{6, 0, {}};
    const PngSettings* used = settings != nullptr ? settings : &kDefaults;
    return [host, used] { return new PngCodec(nullptr, host, used); };
}

int ExpectedColorType(const KindSample& kind) {
    if (kind.bitCount == 24) {
        return PNG_COLOR_TYPE_RGB;
    }
    const bool grey = kind.name == "8-bit grey" || kind.name == "1-bit black and white";
    return grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE;
}

uint32_t Flatten(uint32_t argb, uint32_t background) {
    const int a = static_cast<int>(argb >> 24);
    uint32_t out = 0;
    for (int shift : {0, 8, 16}) {
        const int c = static_cast<int>((argb >> shift) & 0xFF);
        const int b = static_cast<int>((background >> shift) & 0xFF);
        out |= static_cast<uint32_t>((c * a + b * (255 - a) + 127) / 255) << shift;
    }
    return out;
}

// The IHDR of a file given another size, with its checksum made right.
ByteVector Resized(ByteVector file, uint32_t width, uint32_t height) {
    const uint8_t size[8] = {static_cast<uint8_t>(width >> 24),  static_cast<uint8_t>(width >> 16),
                             static_cast<uint8_t>(width >> 8),   static_cast<uint8_t>(width),
                             static_cast<uint8_t>(height >> 24), static_cast<uint8_t>(height >> 16),
                             static_cast<uint8_t>(height >> 8),  static_cast<uint8_t>(height)};
    std::memcpy(file.data() + 16, size, 8);
    const uLong crc = crc32(0, file.data() + 12, 17);
    for (int i = 0; i < 4; ++i) {
        file[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    }
    return file;
}

} // namespace

TEST(PngRoundTrip, EveryKindThroughEveryWriterSetting) {
    TestHost host;
    for (const KindSample& kind : EveryKind()) {
        CVImage image(host.get());
        MakeKindImage(image, kind, 37, 11);
        image.header.biXPelsPerMeter = 2835;
        image.header.biYPelsPerMeter = 5670;
        for (const PngSettings settings : {PngSettings{0, 0, {}}, PngSettings{9, 1, {}}}) {
            SCOPED_TRACE(kind.name + (settings.interlace ? ", interlaced" : ""));
            const ByteVector file = WriteWith(Maker(host.get(), &settings), host.get(), image);
            EXPECT_EQ(PngCheckProblems(file), "");
            const PngFacts facts = FactsOf(file);
            EXPECT_EQ(facts.colorType, ExpectedColorType(kind));
            EXPECT_EQ(facts.bitDepth, kind.bitCount == 24 ? 8 : kind.bitCount)
                << "the depth is kept";
            EXPECT_EQ(facts.interlace, settings.interlace);
            EXPECT_EQ(facts.xDensity, 2835u);
            EXPECT_EQ(facts.yDensity, 5670u);
            for (size_t i = 0; i < facts.palette.size(); ++i) {
                const RGBQUAD& c = image.palette[i];
                EXPECT_EQ(facts.palette[i].red, c.rgbRed) << "palette order, entry " << i;
                EXPECT_EQ(facts.palette[i].blue, c.rgbBlue) << "palette order, entry " << i;
            }
            const std::vector<uint32_t> judged = DecodeWithLibpng(file);
            ASSERT_EQ(judged.size(), 37u * 11u);
            for (int y = 0; y < 11; ++y) {
                for (int x = 0; x < 37; ++x) {
                    ASSERT_EQ(judged[y * 37 + x], 0xFF000000 | ColorAt(image, x, y))
                        << x << "," << y;
                }
            }
            CVImage back(host.get());
            ReadWith(Maker(host.get()), host.get(), file, back);
            std::string why;
            EXPECT_TRUE(SamePixels(back, image, &why)) << why;
            EXPECT_EQ(back.header.biXPelsPerMeter, 2835);
            for (int i = 0; i < (kind.bitCount == 24 ? 0 : 1 << kind.bitCount); ++i) {
                EXPECT_EQ(std::memcmp(&back.palette[i], &image.palette[i], 3), 0) << i;
            }
        }
    }
}

TEST(PngRoundTrip, TransparentColourSurvives) {
    TestHost host;
    for (const KindSample& kind : EveryKind()) {
        SCOPED_TRACE(kind.name);
        CVImage image(host.get());
        MakeKindImage(image, kind, 20, 9);
        const int entries = kind.bitCount == 24 ? 0 : 1 << kind.bitCount;
        const uint32_t keyColor = ColorAt(image, 3, 2);
        image.hasTransparentColor = 1;
        image.transparentColor =
            RGBQUAD{static_cast<uint8_t>(keyColor), static_cast<uint8_t>(keyColor >> 8),
                    static_cast<uint8_t>(keyColor >> 16), 0};
        const ByteVector file = WriteWith(Maker(host.get()), host.get(), image);
        EXPECT_EQ(PngCheckProblems(file), "");
        const PngFacts facts = FactsOf(file);
        if (facts.colorType == PNG_COLOR_TYPE_PALETTE) {
            ASSERT_FALSE(facts.alphas.empty());
            EXPECT_EQ(facts.alphas.back(), 0);
            EXPECT_LE(static_cast<int>(facts.alphas.size()), entries);
        } else {
            EXPECT_TRUE(facts.keyed);
        }
        const std::vector<uint32_t> judged = DecodeWithLibpng(file);
        ASSERT_EQ(judged.size(), 180u);
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 20; ++x) {
                EXPECT_EQ(judged[y * 20 + x] >> 24, ColorAt(image, x, y) == keyColor ? 0u : 255u);
            }
        }
        CVImage back(host.get());
        ReadWith(Maker(host.get()), host.get(), file, back);
        EXPECT_EQ(back.hasTransparentColor, 1);
        EXPECT_EQ(std::memcmp(&back.transparentColor, &image.transparentColor, 3), 0);
        EXPECT_TRUE(SamePixels(back, image));
    }
}

TEST(PngReading, EveryColourTypeAndDepth) {
    TestHost host;
    struct Variant {
        int colorType, bitDepth;
    };
    const Variant variants[] = {
        {PNG_COLOR_TYPE_GRAY, 1},        {PNG_COLOR_TYPE_GRAY, 2},
        {PNG_COLOR_TYPE_GRAY, 4},        {PNG_COLOR_TYPE_GRAY, 8},
        {PNG_COLOR_TYPE_GRAY, 16},       {PNG_COLOR_TYPE_RGB, 8},
        {PNG_COLOR_TYPE_RGB, 16},        {PNG_COLOR_TYPE_PALETTE, 1},
        {PNG_COLOR_TYPE_PALETTE, 2},     {PNG_COLOR_TYPE_PALETTE, 4},
        {PNG_COLOR_TYPE_PALETTE, 8},     {PNG_COLOR_TYPE_GRAY_ALPHA, 8},
        {PNG_COLOR_TYPE_GRAY_ALPHA, 16}, {PNG_COLOR_TYPE_RGB_ALPHA, 8},
        {PNG_COLOR_TYPE_RGB_ALPHA, 16},
    };
    for (const Variant v : variants) {
        for (int extra = 0; extra < 4; ++extra) {
            // extra: bit 0 interlaced, bit 1 a background colour and transparency
            PngSpec spec;
            spec.width = 23;
            spec.height = 17;
            spec.colorType = v.colorType;
            spec.bitDepth = v.bitDepth;
            spec.interlace = (extra & 1) != 0;
            const uint32_t top = v.bitDepth == 16 ? 0xFFFF : (1u << v.bitDepth) - 1;
            const uint32_t entries = v.colorType == PNG_COLOR_TYPE_PALETTE ? top + 1 : 0;
            spec.sample = [=](uint32_t x, uint32_t y, uint32_t c) {
                const uint32_t value = x * 37 + y * 101 + c * 71 + x * y * 3;
                return entries > 0 ? value % entries : (value * 257) & top;
            };
            for (uint32_t i = 0; i < entries; ++i) {
                spec.palette.push_back(png_color{static_cast<png_byte>(i * 41),
                                                 static_cast<png_byte>(255 - i),
                                                 static_cast<png_byte>(i * 7)});
            }
            // Alpha goes onto white whatever the file's bKGD says.
            const uint32_t background = 0xFFFFFF;
            if ((extra & 2) != 0) {
                spec.background = true;
                if (entries > 0) {
                    spec.backgroundColor.index = 1;
                    spec.alphas = {255, 128, 0};
                    spec.alphas.resize(std::min<size_t>(3, entries));
                } else {
                    spec.backgroundColor = png_color_16{
                        0, static_cast<png_uint_16>(top / 3), static_cast<png_uint_16>(top / 2),
                        static_cast<png_uint_16>(top / 5), static_cast<png_uint_16>(top / 3)};
                    if (v.colorType == PNG_COLOR_TYPE_GRAY || v.colorType == PNG_COLOR_TYPE_RGB) {
                        spec.keyed = true;
                        spec.key = png_color_16{0, static_cast<png_uint_16>(spec.sample(0, 0, 0)),
                                                static_cast<png_uint_16>(spec.sample(0, 0, 1)),
                                                static_cast<png_uint_16>(spec.sample(0, 0, 2)),
                                                static_cast<png_uint_16>(spec.sample(0, 0, 0))};
                    }
                }
            }
            SCOPED_TRACE(testing::Message() << "type " << v.colorType << ", depth " << v.bitDepth
                                            << ", variant " << extra);
            const ByteVector file = MakePng(spec);
            ASSERT_FALSE(file.empty());
            const std::vector<uint32_t> judged = DecodeWithLibpng(file);
            ASSERT_EQ(judged.size(), 23u * 17u);
            CVImage image(host.get());
            const SIZE size = ReadWith(Maker(host.get()), host.get(), file, image);
            EXPECT_EQ(size.cx, 23);
            // An alpha channel with partly transparent pixels is kept as the
            // alpha plane, which the host flattens by the rule.
            if ((v.colorType & PNG_COLOR_MASK_ALPHA) != 0 && image.HasAlphaPlane()) {
                FlattenAlphaPlane(image);
            }
            EXPECT_EQ(image.BitCount(), DepthForPng(v.colorType, v.bitDepth));
            if (v.colorType == PNG_COLOR_TYPE_PALETTE || v.bitDepth < 8) {
                EXPECT_EQ(image.BitCount(), v.bitDepth == 1   ? 1
                                            : v.bitDepth == 8 ? 8
                                                              : 4)
                    << "paletted depths stay paletted";
            }
            bool sawKey = false;
            bool anyClear = false;
            for (int y = 0; y < 17; ++y) {
                for (int x = 0; x < 23; ++x) {
                    const uint32_t expected = judged[y * 23 + x];
                    const uint32_t got = ColorAt(image, x, y);
                    anyClear = anyClear || (expected >> 24) == 0;
                    if ((expected >> 24) == 0 && image.hasTransparentColor) {
                        // The transparent entry or colour keeps its colour and
                        // becomes the image's transparent colour.
                        const RGBQUAD& key = image.transparentColor;
                        EXPECT_EQ(got, uint32_t{key.rgbRed} << 16 | uint32_t{key.rgbGreen} << 8 |
                                           key.rgbBlue);
                        sawKey = true;
                        continue;
                    }
                    ASSERT_LE(ChannelDistance(got, Flatten(expected, background)), 1)
                        << x << "," << y << ": " << std::hex << got << " vs " << expected;
                }
            }
            EXPECT_EQ(sawKey, anyClear) << "every fully transparent pixel keeps its transparency";
            if (entries > 0 && !spec.alphas.empty()) {
                // A host that keeps alpha gets a palette of partly
                // transparent entries as the alpha plane libpng decodes.
                const KeepAlphaScope keep(*host);
                CVImage kept(host.get());
                ReadWith(Maker(host.get()), host.get(), file, kept);
                ASSERT_TRUE(kept.HasAlphaPlane());
                for (int y = 0; y < 17; ++y) {
                    const uint8_t* p = kept.Row(y);
                    for (int x = 0; x < 23; ++x, p += 4) {
                        const uint32_t argb = uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 |
                                              uint32_t{p[1]} << 8 | p[0];
                        ASSERT_EQ(argb, judged[y * 23 + x]) << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(PngReading, ResolutionAndPreviews) {
    TestHost host;
    PngSpec spec;
    spec.width = 300;
    spec.height = 200;
    spec.xDensity = 3780;
    spec.yDensity = 1890;
    spec.sample = [](uint32_t x, uint32_t y, uint32_t c) { return (x + y * 2 + c * 50) & 0xFF; };
    const ByteVector file = MakePng(spec);
    CVImage image(host.get());
    ReadWith(Maker(host.get()), host.get(), file, image);
    EXPECT_EQ(image.header.biXPelsPerMeter, 3780);
    EXPECT_EQ(image.header.biYPelsPerMeter, 1890);

    const SIZE box{30, 30};
    CVImage preview(host.get());
    const SIZE full = ReadWith(Maker(host.get()), host.get(), file, preview, &box);
    EXPECT_EQ(full.cx, 300);
    EXPECT_EQ(full.cy, 200);
    EXPECT_EQ(preview.Width(), 30);
    EXPECT_EQ(preview.Height(), 20);
    EXPECT_LE(ChannelDistance(ColorAt(preview, 10, 10), ColorAt(image, 100, 100)), 12);
}

TEST(PngReading, DamagedAndOversizedFilesFailCleanly) {
    TestHost host;
    std::vector<ByteVector> valid;
    for (const KindSample& kind : EveryKind()) {
        CVImage image(host.get());
        MakeKindImage(image, kind, 30, 14);
        const PngSettings settings{6, static_cast<uint8_t>(kind.bitCount == 8), {}};
        valid.push_back(WriteWith(Maker(host.get(), &settings), host.get(), image));
    }
    int variants = 0;
    const int failures = ReadDamaged(Maker(host.get()), host.get(), valid, &variants);
    EXPECT_GT(variants, 300);
    EXPECT_GT(failures, variants / 4) << "most damage is noticed";

    // Sizes the file cannot hold are refused before pixel memory is taken.
    for (const auto& [width, height] :
         {std::pair{60000u, 60000u}, std::pair{65535u, 65535u}, std::pair{70000u, 2u},
          std::pair{1u, 1000000u}, std::pair{0x7FFFFFFFu, 0x7FFFFFFFu}}) {
        CVImage image(host.get());
        EXPECT_THROW(
            ReadWith(Maker(host.get()), host.get(), Resized(valid[5], width, height), image),
            CVImageError)
            << width << " x " << height;
        EXPECT_EQ(image.bits, nullptr);
    }
}
