// Reading: every kind of picture the reader classifies, built with libtiff in
// the test, and the pixels, palettes and records we get from them.
#include "pixmill/alpha_rule.h"
#include "pixmill/errors.h"
#include "support/test_host.h"
#include "support/test_images.h"
#include "tiff_test_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace pixmill;
using namespace pixmill::test;

namespace {

// Fully transparent pixels read as this light grey, the transparent colour;
// a visible pixel of that colour moves one level in blue.
constexpr uint32_t kKey = 0xBFBFBF;
uint32_t Visible(uint32_t rgb) {
    return rgb == kKey ? kKey + 1 : rgb;
}
// value at opacity alpha over white, rounded.
uint32_t OverWhite(uint32_t value, uint32_t alpha) {
    return (value * alpha + 255 * (255 - alpha) + 127) / 255;
}

uint32_t Pattern(uint32_t x, uint32_t y, uint32_t s, uint32_t bits) {
    return (x * 7 + y * 13 + s * 101) & ((1u << bits) - 1);
}

TiffSpec GraySpec(uint16_t bits, uint16_t photometric) {
    TiffSpec spec;
    spec.width = 21; // not a multiple of 8: rows end in a partial byte
    spec.height = 9;
    spec.bitsPerSample = bits;
    spec.photometric = photometric;
    spec.sample = [bits](uint32_t x, uint32_t y, uint32_t s) { return Pattern(x, y, s, bits); };
    return spec;
}

int ImageErrorOf(TestHost& host, const ByteVector& file, const SIZE* box = nullptr) {
    CVImage image(host.get());
    try {
        ReadWithCodec(host.get(), file, image, box);
    } catch (const CVImageError& e) {
        return e.Code();
    }
    return -1;
}

// The colours libtiff's RGBA reader sees must be the colours we show.
void ExpectSameColorsAsLibtiff(const ByteVector& file, const CVImage& image) {
    const std::vector<uint32_t> judge = ReadRgbaWithLibtiff(file);
    ASSERT_EQ(judge.size(), static_cast<size_t>(image.Width()) * image.Height());
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            ASSERT_EQ(ColorAt(image, x, y),
                      RgbOf(judge[static_cast<size_t>(y) * image.Width() + x]))
                << "pixel " << x << "," << y;
        }
    }
}

} // namespace

TEST(TiffRead, GrayPicturesOfEveryDepthKeepTheirLevels) {
    TestHost host;
    struct Case {
        uint16_t bits, photometric;
        int depth;
    };
    for (const Case c : {Case{1, 1, 1}, Case{1, 0, 1}, Case{2, 1, 4}, Case{4, 1, 4}, Case{4, 0, 4},
                         Case{8, 1, 8}, Case{8, 0, 8}}) {
        SCOPED_TRACE(testing::Message() << "bits " << c.bits << " photometric " << c.photometric);
        const ByteVector file = MakeTiff(GraySpec(c.bits, c.photometric));
        CVImage image(host.get());
        ReadWithCodec(host.get(), file, image);
        ASSERT_EQ(image.BitCount(), c.depth);
        EXPECT_EQ(image.paletteCount, 1u << c.bits);
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 21; ++x) {
                ASSERT_EQ(PixelAt(image, x, y), Pattern(x, y, 0, c.bits)) << x << "," << y;
            }
        }
        ExpectSameColorsAsLibtiff(file, image);
    }
}

TEST(TiffRead, GrayRampsFollowTheSampleRange) {
    TestHost host;
    CVImage image(host.get());
    ReadWithCodec(host.get(), MakeTiff(GraySpec(4, 1)), image);
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(image.palette[k].rgbRed, 17 * k);
        EXPECT_EQ(image.palette[k].rgbBlue, 17 * k);
    }
    ReadWithCodec(host.get(), MakeTiff(GraySpec(2, 0)), image);
    EXPECT_EQ(image.palette[0].rgbGreen, 255);
    EXPECT_EQ(image.palette[3].rgbGreen, 0);

    // A narrower declared range brightens the ramp; levels above it clamp.
    TiffSpec spec = GraySpec(8, 1);
    spec.minSample = 0;
    spec.maxSample = 127;
    ReadWithCodec(host.get(), MakeTiff(spec), image);
    EXPECT_EQ(image.palette[127].rgbRed, 255);
    EXPECT_EQ(image.palette[64].rgbRed, 64 * 255 / 127);
    EXPECT_EQ(image.palette[200].rgbRed, 255);

    // A range of zero falls back to the full ramp instead of dividing by it.
    spec.minSample = 50;
    spec.maxSample = 50;
    ReadWithCodec(host.get(), MakeTiff(spec), image);
    EXPECT_EQ(image.palette[100].rgbRed, 100);
}

TEST(TiffRead, PaletteMapsOf8And16BitValues) {
    TestHost host;
    TiffSpec spec = GraySpec(8, PHOTOMETRIC_PALETTE);
    spec.red.resize(256);
    spec.green.resize(256);
    spec.blue.resize(256);
    for (int i = 0; i < 256; ++i) { // a map of 8-bit values: kept as they are
        spec.red[i] = static_cast<uint16_t>(i);
        spec.green[i] = static_cast<uint16_t>(255 - i);
        spec.blue[i] = static_cast<uint16_t>(i / 2);
    }
    CVImage image(host.get());
    ReadWithCodec(host.get(), MakeTiff(spec), image);
    EXPECT_EQ(image.palette[10].rgbRed, 10);
    EXPECT_EQ(image.palette[10].rgbGreen, 245);
    EXPECT_EQ(image.palette[10].rgbBlue, 5);

    for (int i = 0; i < 256; ++i) { // a 16-bit map: scaled down
        spec.red[i] = static_cast<uint16_t>(i * 257);
        spec.green[i] = 65535;
        spec.blue[i] = static_cast<uint16_t>(i * 100);
    }
    const ByteVector file = MakeTiff(spec);
    ReadWithCodec(host.get(), file, image);
    EXPECT_EQ(image.palette[10].rgbRed, 10);
    EXPECT_EQ(image.palette[10].rgbGreen, 255);
    EXPECT_EQ(image.palette[10].rgbBlue, 1000 * 255 / 65535);
    EXPECT_EQ(image.BitCount(), 8);
    EXPECT_EQ(PixelAt(image, 3, 4), Pattern(3, 4, 0, 8));
}

TEST(TiffRead, RgbPicturesBecomeBlueGreenRed) {
    TestHost host;
    for (uint16_t bits : {8, 16}) {
        TiffSpec spec;
        spec.width = 30;
        spec.height = 17;
        spec.bitsPerSample = bits;
        spec.samplesPerPixel = 3;
        spec.photometric = PHOTOMETRIC_RGB;
        spec.rowsPerStrip = 4; // the last strip holds one row
        spec.sample = [bits](uint32_t x, uint32_t y, uint32_t s) {
            const uint32_t v = Pattern(x, y, s, 8);
            return bits == 16 ? v << 8 | 0x5A : v;
        };
        CVImage image(host.get());
        ReadWithCodec(host.get(), MakeTiff(spec), image);
        ASSERT_EQ(image.BitCount(), 24);
        EXPECT_EQ(image.hasTransparentColor, 0);
        for (int y = 0; y < 17; ++y) {
            for (int x = 0; x < 30; ++x) {
                const uint32_t expected =
                    Pattern(x, y, 0, 8) << 16 | Pattern(x, y, 1, 8) << 8 | Pattern(x, y, 2, 8);
                ASSERT_EQ(PixelAt(image, x, y), expected) << bits << " bits at " << x << "," << y;
            }
        }
    }
}

TEST(TiffRead, AlphaIsBlendedOntoWhiteAndClearPixelsStayTransparent) {
    TestHost host;
    const uint16_t unassociated = EXTRASAMPLE_UNASSALPHA;
    auto rgba = [&](uint16_t bits, std::function<uint32_t(uint32_t, uint32_t, uint32_t)> sample) {
        TiffSpec spec;
        spec.width = 10;
        spec.height = 6;
        spec.bitsPerSample = bits;
        spec.samplesPerPixel = 4;
        spec.photometric = PHOTOMETRIC_RGB;
        spec.extraSamples = {unassociated};
        spec.sample = std::move(sample);
        return MakeTiff(spec);
    };
    CVImage image(host.get());
    // Alpha 0 everywhere: the transparent colour everywhere.
    ReadWithCodec(host.get(),
                  rgba(8, [](uint32_t x, uint32_t y,
                             uint32_t s) { return s == 3 ? 0 : Pattern(x, y, s, 8); }),
                  image);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 10; ++x) {
            ASSERT_EQ(PixelAt(image, x, y), kKey);
        }
    }
    EXPECT_EQ(image.hasTransparentColor, 1);
    EXPECT_EQ(image.transparentColor.rgbRed, 191);
    EXPECT_EQ(image.transparentColor.rgbGreen, 191);
    EXPECT_EQ(image.transparentColor.rgbBlue, 191);

    for (uint16_t bits : {8, 16}) {
        auto sample = [bits](uint32_t x, uint32_t y, uint32_t s) {
            const uint32_t v = s == 3 ? (x * 29 + y * 3) & 0xFF : Pattern(x, y, s, 8);
            return bits == 16 ? v << 8 | 0xA5 : v;
        };
        ReadWithCodec(host.get(), rgba(bits, sample), image);
        // Partly transparent: the reader keeps the alpha plane, which the
        // host flattens by the rule for what cannot take it.
        ASSERT_TRUE(image.HasAlphaPlane());
        FlattenAlphaPlane(image);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 10; ++x) {
                const uint32_t a = (x * 29 + y * 3) & 0xFF;
                const uint32_t expected = a == 0 ? kKey
                                                 : Visible(OverWhite(Pattern(x, y, 0, 8), a) << 16 |
                                                           OverWhite(Pattern(x, y, 1, 8), a) << 8 |
                                                           OverWhite(Pattern(x, y, 2, 8), a));
                ASSERT_EQ(PixelAt(image, x, y), expected) << bits << " bits at " << x << "," << y;
            }
        }
    }
}

TEST(TiffRead, GrayWithAlphaAndSixteenBitGray) {
    TestHost host;
    for (uint16_t photometric : {1, 0}) {
        TiffSpec spec = GraySpec(8, photometric);
        spec.samplesPerPixel = 2;
        spec.extraSamples = {EXTRASAMPLE_UNASSALPHA};
        spec.sample = [](uint32_t x, uint32_t y, uint32_t s) {
            return s == 0 ? Pattern(x, y, 0, 8) : (x * 40 + y) & 0xFF;
        };
        CVImage image(host.get());
        ReadWithCodec(host.get(), MakeTiff(spec), image);
        ASSERT_TRUE(image.HasAlphaPlane());
        FlattenAlphaPlane(image);
        ASSERT_EQ(image.BitCount(), 8);
        EXPECT_EQ(image.transparentColor.rgbRed, 191);
        EXPECT_EQ(image.hasTransparentColor, 1);
        for (int x = 0; x < 21; ++x) {
            // White-is-zero samples count down from white.
            const uint32_t v = Pattern(x, 2, 0, 8);
            const uint32_t grey = photometric == 1 ? v : 255 - v;
            const uint32_t a = (x * 40 + 2) & 0xFF;
            const uint32_t expected = a == 0 ? kKey : Visible(OverWhite(grey, a) * 0x010101);
            ASSERT_EQ(ColorAt(image, x, 2), expected == kKey + 1 && a != 0 ? 0xC0C0C0 : expected)
                << x;
        }
    }
    // One 16-bit grey sample: its high byte on the 8-bit ramp.
    TiffSpec spec = GraySpec(16, 1);
    spec.sample = [](uint32_t x, uint32_t y, uint32_t) { return (x * 3000 + y * 77) & 0xFFFF; };
    CVImage image(host.get());
    const ByteVector file = MakeTiff(spec);
    ReadWithCodec(host.get(), file, image);
    ASSERT_EQ(image.BitCount(), 8);
    EXPECT_TRUE(image.IsGrayRamp());
    EXPECT_EQ(PixelAt(image, 20, 8), ((20u * 3000 + 8 * 77) & 0xFFFF) >> 8);
    ExpectSameColorsAsLibtiff(file, image);
}

TEST(TiffRead, ResolutionMultiPageAndStrips) {
    TestHost host;
    TiffSpec spec = GraySpec(8, 1);
    spec.xResolution = 72.4f;
    spec.yResolution = 150;
    spec.pages = 3;
    spec.rowsPerStrip = 2;
    CVImage image(host.get());
    ReadWithCodec(host.get(), MakeTiff(spec), image);
    EXPECT_EQ(image.header.biXPelsPerMeter, 2835); // 72 dots per inch
    EXPECT_EQ(image.header.biYPelsPerMeter, 5906);
    EXPECT_EQ(PixelAt(image, 5, 5), Pattern(5, 5, 0, 8)) << "the first page, not an inverted one";

    spec.resolutionUnit = RESUNIT_CENTIMETER;
    spec.xResolution = 30;
    spec.yResolution = 40;
    spec.pages = 1;
    ReadWithCodec(host.get(), MakeTiff(spec), image);
    EXPECT_EQ(image.header.biXPelsPerMeter, 3000);
    EXPECT_EQ(image.header.biYPelsPerMeter, 4000);
}

TEST(TiffRead, PreviewIsTheReducedPicture) {
    TestHost host;
    TiffSpec spec;
    spec.width = 1000;
    spec.height = 700;
    spec.samplesPerPixel = 3;
    spec.photometric = PHOTOMETRIC_RGB;
    spec.compression = COMPRESSION_LZW;
    spec.sample = [](uint32_t x, uint32_t y, uint32_t s) { return Pattern(x, y, s, 8); };
    const ByteVector file = MakeTiff(spec);
    RecordingProgressDisplay display;
    HostProgress progress(&display, "Open");
    CVImage full(host.get());
    ReadWithCodec(host.get(), file, full);
    CVImage preview(host.get());
    const SIZE box{100, 100};
    ReadWithCodec(host.get(), file, preview, &box, &progress);
    ASSERT_EQ(preview.Width(), 100);
    ASSERT_EQ(preview.Height(), 70);
    EXPECT_EQ(preview.header.biXPelsPerMeter, 0);
    for (int y = 0; y < 70; ++y) {
        for (int x = 0; x < 100; ++x) {
            ASSERT_EQ(PixelAt(preview, x, y), PixelAt(full, x * 10, y * 10)) << x << "," << y;
        }
    }
    EXPECT_GE(display.position, 95) << "progress ran over the rows";

    // A box larger than the picture reads it whole.
    const SIZE large{2000, 2000};
    ReadWithCodec(host.get(), file, preview, &large);
    EXPECT_TRUE(SamePixels(preview, full));
}

TEST(TiffRead, BadFilesEndWithTheirImageErrors) {
    TestHost host;
    EXPECT_EQ(ImageErrorOf(host, ByteVector{'I', 'I', 'x', 'y', 0, 0, 0, 0, 1, 2, 3}), 1);
    EXPECT_EQ(ImageErrorOf(host, ByteVector{'M', 'M', 0, 43, 0, 0, 0, 8, 0, 0, 0, 0}), 1);
    EXPECT_EQ(ImageErrorOf(host, ByteVector{'I', 'I'}), 1);

    // A grey picture in one strip: header, strip, then the directory, whose
    // values all fit its entries. Cutting bytes out of the strip and moving
    // the directory offset keeps a readable directory over a short strip.
    TiffSpec gray = GraySpec(8, 1);
    gray.width = 64;
    gray.height = 64;
    gray.rowsPerStrip = 64;
    const ByteVector file = MakeTiff(gray);
    ASSERT_EQ(file[0], 'I');
    const uint32_t directory = file[4] | file[5] << 8 | file[6] << 16 | uint32_t{file[7]} << 24;
    ASSERT_EQ(directory, 8u + 64 * 64);
    ByteVector truncated = file;
    truncated.erase(truncated.begin() + directory - 1000, truncated.begin() + directory);
    const uint32_t moved = directory - 1000;
    for (int i = 0; i < 4; ++i) {
        truncated[4 + i] = static_cast<uint8_t>(moved >> (8 * i));
    }
    EXPECT_EQ(ImageErrorOf(host, truncated), 1) << "a strip shorter than its rows";

    TiffSpec rgb = gray;
    rgb.photometric = PHOTOMETRIC_RGB;
    rgb.samplesPerPixel = 3;
    TiffSpec huge = GraySpec(1, 1);
    huge.width = 70000;
    huge.height = 2;
    EXPECT_EQ(ImageErrorOf(host, MakeTiff(huge)), 6);
    const SIZE box{100, 100};
    EXPECT_EQ(ImageErrorOf(host, MakeTiff(huge), &box), 6) << "also for a preview";
}

// Layouts the strip reader leaves to libtiff's RGBA reader come out as 24-bit
// pictures with libtiff's colours (alpha composited over white, fully
// transparent pixels the key colour); what
// neither can read is refused at the header, naming the reason.
TEST(TiffRead, UnusualLayoutsReadThroughLibtiff) {
    TestHost host;
    auto rgbSpec = [](uint16_t samples) {
        TiffSpec spec = GraySpec(8, PHOTOMETRIC_RGB);
        spec.width = 37; // tiles and strips end inside the picture
        spec.height = 29;
        spec.samplesPerPixel = samples;
        spec.rowsPerStrip = 8;
        spec.sample = [](uint32_t x, uint32_t y, uint32_t s) {
            return s == 3 ? (x * 40 + y * 9) & 255 : Pattern(x, y, s, 8);
        };
        return spec;
    };
    struct Case {
        const char* name;
        TiffSpec spec;
    };
    std::vector<Case> cases;
    TiffSpec cmyk = rgbSpec(4);
    cmyk.photometric = PHOTOMETRIC_SEPARATED;
    cases.push_back({"CMYK", cmyk});
    TiffSpec planes = rgbSpec(3);
    planes.planar = PLANARCONFIG_SEPARATE;
    cases.push_back({"separate planes", planes});
    TiffSpec tiled = rgbSpec(3);
    tiled.tiled = true;
    cases.push_back({"tiles", tiled});
    // Uncompressed tiles of 768 bytes, which libtiff reads only from
    // mapped contents.
    TiffSpec smallTiles = rgbSpec(3);
    smallTiles.tiled = true;
    smallTiles.tileSize = 16;
    cases.push_back({"16 x 16 tiles", smallTiles});
    TiffSpec tiledAlpha = rgbSpec(4);
    tiledAlpha.tiled = true;
    tiledAlpha.extraSamples = {EXTRASAMPLE_UNASSALPHA};
    cases.push_back({"tiles with alpha", tiledAlpha});
    TiffSpec associated = rgbSpec(4);
    associated.extraSamples = {EXTRASAMPLE_ASSOCALPHA};
    associated.sample = [](uint32_t x, uint32_t y, uint32_t s) {
        const uint32_t alpha = (x * 40 + y * 9) & 255;
        return s == 3 ? alpha : Pattern(x, y, s, 8) * alpha / 255; // colour times alpha
    };
    cases.push_back({"associated alpha", associated});
    TiffSpec jpeg = rgbSpec(3);
    jpeg.photometric = PHOTOMETRIC_YCBCR;
    jpeg.compression = COMPRESSION_JPEG;
    jpeg.rowsPerStrip = 16;
    jpeg.moreTags = [](TIFF* tif) { TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB); };
    cases.push_back({"YCbCr JPEG", jpeg});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ByteVector file = MakeTiff(c.spec);
        const std::vector<uint32_t> judge = ReadRgbaWithLibtiff(file);
        ASSERT_EQ(judge.size(), size_t{c.spec.width} * c.spec.height);
        CVImage image(host.get());
        ReadWithCodec(host.get(), file, image);
        // Alpha of every level: the plane is kept, and flattened by the rule.
        EXPECT_EQ(image.HasAlphaPlane(), !c.spec.extraSamples.empty());
        FlattenAlphaPlane(image);
        ASSERT_EQ(image.BitCount(), 24);
        ASSERT_EQ(image.Width(), static_cast<int>(c.spec.width));
        ASSERT_EQ(image.Height(), static_cast<int>(c.spec.height));
        bool translucent = false;
        for (int y = 0; y < image.Height(); ++y) {
            for (int x = 0; x < image.Width(); ++x) {
                const uint32_t p = judge[static_cast<size_t>(y) * image.Width() + x];
                const uint32_t cover = 255 - TIFFGetA(p);
                translucent = translucent || TIFFGetA(p) < 255;
                auto over = [cover](uint32_t v) { return std::min<uint32_t>(255, v + cover); };
                const uint32_t expected = TIFFGetA(p) == 0
                                              ? kKey
                                              : Visible(over(TIFFGetR(p)) << 16 |
                                                        over(TIFFGetG(p)) << 8 | over(TIFFGetB(p)));
                // Associated alpha is divided out of the colours into the
                // plane and blended again when flattened: one level of
                // rounding either way.
                const uint32_t got = ColorAt(image, x, y);
                const int tolerance = c.spec.extraSamples.empty() ? 0 : 1;
                for (int shift = 0; shift < 24; shift += 8) {
                    ASSERT_LE(std::abs(static_cast<int>((got >> shift) & 0xFF) -
                                       static_cast<int>((expected >> shift) & 0xFF)),
                              tolerance)
                        << "pixel " << x << "," << y << std::hex << ": " << got << " vs "
                        << expected;
                }
            }
        }
        EXPECT_EQ(translucent, !c.spec.extraSamples.empty());
    }
    // The judge above: an associated-alpha pixel is its stored colour plus
    // the grey showing through, not the colour blended a second time.
    {
        const ByteVector file = MakeTiff(associated);
        CVImage image(host.get());
        ReadWithCodec(host.get(), file, image);
        FlattenAlphaPlane(image);
        const uint32_t alpha = (3 * 40 + 2 * 9) & 255;
        const uint32_t red = Pattern(3, 2, 0, 8) * alpha / 255;
        EXPECT_NEAR(static_cast<double>(ColorAt(image, 3, 2) >> 16), red + 255 - alpha, 1);
    }

    // Refused at the header with the reason.
    struct Refusal {
        TiffSpec spec;
        const char* reason;
    };
    TiffSpec float32 = GraySpec(32, PHOTOMETRIC_MINISBLACK);
    float32.sampleFormat = SAMPLEFORMAT_IEEEFP;
    float32.sample = [](uint32_t, uint32_t, uint32_t) { return 0x3F800000u; }; // 1.0
    TiffSpec half = GraySpec(16, PHOTOMETRIC_MINISBLACK);
    half.sampleFormat = SAMPLEFORMAT_IEEEFP;
    TiffSpec twelve = GraySpec(12, PHOTOMETRIC_MINISBLACK);
    TiffSpec fourBitRgb = GraySpec(4, PHOTOMETRIC_RGB);
    fourBitRgb.samplesPerPixel = 3;
    TiffSpec signedPalette = GraySpec(4, PHOTOMETRIC_MINISBLACK);
    signedPalette.sampleFormat = SAMPLEFORMAT_INT;
    for (const Refusal& r :
         {Refusal{float32, "TIFF: 32-bit float samples are not supported"},
          Refusal{half, "TIFF: 16-bit float samples are not supported"},
          Refusal{twelve, "TIFF: 12-bit samples are not supported"}, Refusal{fourBitRgb, "TIFF: "},
          Refusal{signedPalette, "TIFF: 4-bit signed samples are not supported"}}) {
        CVImage image(host.get());
        try {
            ReadWithCodec(host.get(), MakeTiff(r.spec), image, nullptr, nullptr, true);
            ADD_FAILURE() << r.reason << ": the header was accepted";
        } catch (const CVImageError& e) {
            EXPECT_EQ(e.Code(), CVImageError::UnsupportedFormat);
            EXPECT_NE(std::string(e.Message()).find(r.reason), std::string::npos) << e.Message();
        }
    }
}

// Two's complement samples keep the order of their levels: -128 is black.
TEST(TiffRead, SignedSamplesAreOffsetNotWrapped) {
    TestHost host;
    TiffSpec gray = GraySpec(8, PHOTOMETRIC_MINISBLACK);
    gray.sampleFormat = SAMPLEFORMAT_INT;
    gray.sample = [](uint32_t x, uint32_t, uint32_t) { return (x * 12) & 255; }; // as bytes
    CVImage image(host.get());
    ReadWithCodec(host.get(), MakeTiff(gray), image);
    for (uint32_t x = 0; x < gray.width; ++x) {
        const uint32_t level = ((x * 12) & 255) ^ 0x80;
        EXPECT_EQ(ColorAt(image, static_cast<int>(x), 0), level * 0x010101u) << x;
    }
    TiffSpec rgb16 = GraySpec(16, PHOTOMETRIC_RGB);
    rgb16.samplesPerPixel = 3;
    rgb16.sampleFormat = SAMPLEFORMAT_INT;
    rgb16.sample = [](uint32_t x, uint32_t, uint32_t s) { return s == 0 ? 0x8000u : x * 3000; };
    CVImage color(host.get());
    ReadWithCodec(host.get(), MakeTiff(rgb16), color);
    EXPECT_EQ(ColorAt(color, 0, 0) >> 16, 0u) << "the most negative red is none";
    EXPECT_EQ(ColorAt(color, 5, 0) & 0xFF, ((5 * 3000) ^ 0x8000u) >> 8);
}

// Bits and bytes beyond a row's last pixel are zero, whatever the decoder and
// earlier users of the memory left there: they reach written files.
TEST(TiffRead, RowPaddingIsZero) {
    TestHost host;
    struct Case {
        uint16_t bits, compression;
        uint32_t width;
    };
    for (const Case& c : {Case{1, COMPRESSION_CCITTFAX4, 153}, Case{1, COMPRESSION_NONE, 13},
                          Case{2, COMPRESSION_NONE, 7}, Case{4, COMPRESSION_LZW, 5}}) {
        TiffSpec spec = GraySpec(c.bits, PHOTOMETRIC_MINISWHITE);
        spec.width = c.width;
        spec.height = 40;
        spec.compression = c.compression;
        spec.sample = [&](uint32_t x, uint32_t y, uint32_t) {
            return (x * 7 + y) % (1u << c.bits);
        };
        const ByteVector file = MakeTiff(spec);
        // Leave dirty blocks of every size the read asks for behind.
        for (size_t size = 1; size < 4096; size += size < 64 ? 1 : 61) {
            void* dirty = host->Alloc(size);
            std::memset(dirty, 0xFF, size);
            host->Free(dirty);
        }
        CVImage image(host.get());
        ReadWithCodec(host.get(), file, image);
        const uint32_t usedBits = c.width * image.BitCount();
        for (int row = 0; row < image.Height(); ++row) {
            const uint8_t* bytes = image.bits + image.Stride() * static_cast<size_t>(row);
            if (usedBits % 8 != 0) {
                EXPECT_EQ(bytes[usedBits / 8] & (0xFF >> (usedBits % 8)), 0)
                    << c.width << " pixels of " << c.bits << " bits, row " << row;
            }
            for (size_t i = (usedBits + 7) / 8; i < image.Stride(); ++i) {
                ASSERT_EQ(bytes[i], 0) << c.width << " pixels, row " << row << " byte " << i;
            }
        }
    }
}
