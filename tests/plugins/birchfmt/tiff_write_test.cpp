// Writing: every image kind through every compression, read back through our
// reader and judged by libtiff's RGBA reader; the tags the writer chooses.
#include "pixmill/errors.h"
#include "support/test_host.h"
#include "support/test_images.h"
#include "tiff_test_files.h"

#include <gtest/gtest.h>

#include <random>

using namespace pixmill;
using namespace pixmill::test;

namespace {

struct Kind {
    const char* name;
    int depth;
    int colors;
    std::function<RGBQUAD(int)> entry;
    uint16_t photometric; // what the file must say
};

RGBQUAD Grey(int v) {
    const auto g = static_cast<uint8_t>(v);
    return RGBQUAD{g, g, g, 0};
}

std::vector<Kind> Kinds() {
    return {
        {"1-bit black-white", 1, 2, [](int i) { return Grey(i * 255); }, 1},
        {"1-bit white-black", 1, 2, [](int i) { return Grey(255 - i * 255); }, 0},
        {"1-bit red-blue", 1, 2,
         [](int i) {
             return i == 0 ? RGBQUAD{0, 0, 255, 0} : RGBQUAD{255, 0, 0, 0};
         },
         3},
        {"4-bit grey", 4, 16, [](int i) { return Grey(i * 17); }, 3},
        {"4-bit colour", 4, 16,
         [](int i) {
             return RGBQUAD{static_cast<uint8_t>(i * 16), static_cast<uint8_t>(255 - i * 9),
                            static_cast<uint8_t>(i * 3), 0};
         },
         3},
        {"8-bit grey ramp", 8, 256, [](int i) { return Grey(i); }, 1},
        {"8-bit inverted ramp", 8, 256, [](int i) { return Grey(255 - i); }, 0},
        {"8-bit sixteen greys", 8, 16, [](int i) { return Grey(i * 17); }, 3},
        {"8-bit colour", 8, 200,
         [](int i) {
             return RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(i * 7),
                            static_cast<uint8_t>(255 - i), 0};
         },
         3},
        {"24-bit", 24, 0, nullptr, 2},
    };
}

void MakeImage(CVImage& image, const Kind& kind, int width, int height, uint32_t seed) {
    image.Create(width, height, kind.depth, kind.colors, nullptr);
    for (int i = 0; i < kind.colors; ++i) {
        image.palette[i] = kind.entry(i);
    }
    std::mt19937 random(seed);
    FillRandom(image, random);
    // Long runs as well as noise, so that the run-length coders have work.
    for (int y = 0; y < height / 3; ++y) {
        for (int x = 0; x < width; ++x) {
            SetPixelAt(image, x, y, kind.depth == 24 ? 0x102030u : (x / 9) % 2);
        }
    }
}

} // namespace

TEST(TiffWrite, EveryKindAndCompressionRoundTrips) {
    TestHost host;
    for (const Kind& kind : Kinds()) {
        for (int32_t choice = 0; choice <= 4; ++choice) {
            SCOPED_TRACE(testing::Message() << kind.name << ", choice " << choice);
            CVImage image(host.get());
            MakeImage(image, kind, 37, 29, static_cast<uint32_t>(choice * 100 + kind.depth));
            const bool ccitt = choice == 3 || choice == 4;
            if (ccitt && kind.depth > 1) {
                try {
                    WriteWithCodec(host.get(), image, choice);
                    ADD_FAILURE() << "CCITT accepted a deeper image";
                } catch (const CVImageError& e) {
                    EXPECT_EQ(e.Code(), 0);
                }
                continue;
            }
            const ByteVector file = WriteWithCodec(host.get(), image, choice);
            EXPECT_EQ(TagOf(file, TIFFTAG_PHOTOMETRIC), kind.photometric);
            EXPECT_EQ(TagOf(file, TIFFTAG_COMPRESSION), birch::CompressionTagOf(choice));

            CVImage back(host.get());
            ReadWithCodec(host.get(), file, back);
            ASSERT_EQ(back.Width(), 37);
            ASSERT_EQ(back.Height(), 29);
            ASSERT_EQ(back.BitCount(), kind.depth);
            const std::vector<uint32_t> judge = ReadRgbaWithLibtiff(file);
            ASSERT_EQ(judge.size(), 37u * 29u);
            for (int y = 0; y < 29; ++y) {
                for (int x = 0; x < 37; ++x) {
                    const uint32_t color = ColorAt(image, x, y);
                    ASSERT_EQ(ColorAt(back, x, y), color) << "ours at " << x << "," << y;
                    ASSERT_EQ(RgbOf(judge[y * 37 + x]), color) << "libtiff at " << x << "," << y;
                }
            }
        }
    }
}

// A transparent colour that pixels use becomes an unassociated alpha sample
// (alpha 0 exactly there) for every kind and compression but the bilevel
// ones, and reads back as the transparent colour.
TEST(TiffWrite, TransparentColourBecomesAlpha) {
    TestHost host;
    for (const Kind& kind : Kinds()) {
        for (int32_t choice = 0; choice <= 4; ++choice) {
            const bool bilevel = choice == 3 || choice == 4;
            if (bilevel && kind.depth > 1) {
                continue;
            }
            SCOPED_TRACE(testing::Message() << kind.name << ", choice " << choice);
            CVImage image(host.get());
            MakeImage(image, kind, 21, 13, static_cast<uint32_t>(choice + kind.depth));
            const uint32_t keyRgb = ColorAt(image, 0, 0);
            image.hasTransparentColor = 1;
            image.transparentColor =
                RGBQUAD{static_cast<uint8_t>(keyRgb), static_cast<uint8_t>(keyRgb >> 8),
                        static_cast<uint8_t>(keyRgb >> 16), 0};
            const ByteVector file = WriteWithCodec(host.get(), image, choice);
            EXPECT_EQ(TagOf(file, TIFFTAG_SAMPLESPERPIXEL), bilevel ? 1u : 4u);
            if (bilevel) {
                continue;
            }
            const std::vector<uint32_t> judge = ReadRgbaWithLibtiff(file);
            ASSERT_EQ(judge.size(), 21u * 13u);
            CVImage back(host.get());
            ReadWithCodec(host.get(), file, back);
            ASSERT_EQ(back.hasTransparentColor, 1);
            const RGBQUAD backKey = back.transparentColor;
            const uint32_t backRgb =
                uint32_t{backKey.rgbRed} << 16 | backKey.rgbGreen << 8 | backKey.rgbBlue;
            int clear = 0;
            for (int y = 0; y < 13; ++y) {
                for (int x = 0; x < 21; ++x) {
                    const uint32_t color = ColorAt(image, x, y);
                    const bool keyed = color == keyRgb;
                    clear += keyed;
                    ASSERT_EQ(TIFFGetA(judge[y * 21 + x]), keyed ? 0u : 255u) << x << "," << y;
                    if (!keyed) {
                        ASSERT_EQ(RgbOf(judge[y * 21 + x]), color) << x << "," << y;
                    }
                    ASSERT_EQ(ColorAt(back, x, y) == backRgb, keyed) << x << "," << y;
                }
            }
            EXPECT_GT(clear, 0);
        }
    }
}

TEST(TiffWrite, TagsAndStripArithmetic) {
    TestHost host;
    CVImage image(host.get());
    image.Create(1000, 5, 24, 0, nullptr);
    image.SetResolution(3780, 3780, 2);
    ByteVector file = WriteWithCodec(host.get(), image, 0);
    EXPECT_EQ(TagOf(file, TIFFTAG_ROWSPERSTRIP), 2u) << "8192 / 3000";
    EXPECT_EQ(FloatTagOf(file, TIFFTAG_XRESOLUTION), 96.0f);
    EXPECT_EQ(FloatTagOf(file, TIFFTAG_YRESOLUTION), 96.0f);
    EXPECT_EQ(TagOf(file, TIFFTAG_RESOLUTIONUNIT), RESUNIT_INCH);
    EXPECT_EQ(TagOf(file, TIFFTAG_SAMPLESPERPIXEL), 3u);
    EXPECT_EQ(TagOf(file, TIFFTAG_PLANARCONFIG), PLANARCONFIG_CONTIG);
    EXPECT_EQ(TagOf(file, TIFFTAG_COMPRESSION), COMPRESSION_NONE);

    image.Create(3000, 3, 24, 0, nullptr); // a 9000-byte scan line
    file = WriteWithCodec(host.get(), image, 1);
    EXPECT_EQ(TagOf(file, TIFFTAG_ROWSPERSTRIP), 1u);
    EXPECT_EQ(TagOf(file, TIFFTAG_COMPRESSION), COMPRESSION_LZW);

    image.Create(100, 300, 1, 2, nullptr);
    image.palette[1] = Grey(255);
    file = WriteWithCodec(host.get(), image, 2);
    EXPECT_EQ(TagOf(file, TIFFTAG_ROWSPERSTRIP), 8192u / 13);
    EXPECT_EQ(TagOf(file, TIFFTAG_COMPRESSION), COMPRESSION_PACKBITS);
    EXPECT_FALSE(HasColorMap(file));

    image.Create(10, 10, 4, 16, nullptr);
    for (int i = 0; i < 16; ++i) {
        image.palette[i] = Grey(i * 17);
    }
    file = WriteWithCodec(host.get(), image, 7);
    EXPECT_EQ(TagOf(file, TIFFTAG_COMPRESSION), COMPRESSION_LZW) << "an unknown choice";
    EXPECT_EQ(TagOf(file, TIFFTAG_PHOTOMETRIC), PHOTOMETRIC_PALETTE);
    EXPECT_TRUE(HasColorMap(file));
    EXPECT_EQ(TagOf(file, TIFFTAG_BITSPERSAMPLE), 4u);

    image.Create(10, 10, 8, 256, nullptr);
    SetGrayRamp(image);
    file = WriteWithCodec(host.get(), image, 0);
    EXPECT_EQ(TagOf(file, TIFFTAG_PHOTOMETRIC), PHOTOMETRIC_MINISBLACK);
    EXPECT_FALSE(HasColorMap(file));
}

TEST(TiffWrite, ProgressRunsOverTheRows) {
    TestHost host;
    RecordingProgressDisplay display;
    HostProgress progress(&display, "Save");
    CVImage image(host.get());
    image.Create(64, 400, 8, 256, nullptr);
    SetGrayRamp(image);
    WriteWithCodec(host.get(), image, 1, &progress);
    EXPECT_EQ(display.starts, 1);
    EXPECT_GE(display.position, 95);
    EXPECT_EQ(display.finished, 1);

    // A user break while writing ends with error 7 and nothing left open.
    RecordingProgressDisplay breaking;
    breaking.breakAfterPolls = 3;
    HostProgress stopping(&breaking, "Save");
    try {
        WriteWithCodec(host.get(), image, 1, &stopping);
        ADD_FAILURE() << "no user break";
    } catch (const CVImageError& e) {
        EXPECT_EQ(e.Code(), 7);
    }
}

// An unknown resolution stays unknown: no resolution tags, read back as 0.
TEST(TiffWrite, UnknownResolutionIsLeftOut) {
    TestHost host;
    CVImage image(host.get());
    image.Create(8, 4, 24, 0, nullptr);
    const ByteVector file = WriteWithCodec(host.get(), image, 0);
    for (const ttag_t tag : {TIFFTAG_XRESOLUTION, TIFFTAG_YRESOLUTION, TIFFTAG_RESOLUTIONUNIT}) {
        EXPECT_FALSE(HasTag(file, tag)) << "tag " << tag;
    }
    CVImage back(host.get());
    ReadWithCodec(host.get(), file, back);
    EXPECT_EQ(back.header.biXPelsPerMeter, 0);
    EXPECT_EQ(back.header.biYPelsPerMeter, 0);
    image.SetResolution(3780, 3780, 2);
    EXPECT_TRUE(HasTag(WriteWithCodec(host.get(), image, 0), TIFFTAG_XRESOLUTION));
}
