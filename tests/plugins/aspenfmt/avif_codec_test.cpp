// The AVIF codec and library: every image kind through the writer (judged
// by libavif's decoder and by avifdec), quality against size, transparency,
// the written preview, damaged and oversized files, and the library's
// answers, settings and pane.
#include "aspenfmt_pane_model.h"
#include "avif_codec.h"

#include "pixmill/errors.h"
#include "pixmill/pane.h"
#include "support/pane_model_checks.h"
#include "support/plugin_library.h"
#include "support/stored_block.h"
#include "support/test_host.h"
#include "support/test_images.h"
#include "support/test_pane_site.h"
#include "web_test_support.h"

#include <QSlider>
#include <avif/avif.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <dlfcn.h>

using namespace pixmill;
using namespace pixmill::aspen;
using namespace pixmill::test;

namespace {

CodecMaker Maker(CPluginHost* host, const AvifSettings* settings) {
    return [host, settings] { return new AvifCodec(nullptr, host, settings); };
}

// libavif's decoding as 0xAARRGGBB, top row first.
std::vector<uint32_t> Judge(const ByteVector& file, uint32_t* width) {
    std::vector<uint32_t> pixels;
    avifDecoder* decoder = avifDecoderCreate();
    avifImage* image = avifImageCreateEmpty();
    if (avifDecoderReadMemory(decoder, image, file.data(), file.size()) == AVIF_RESULT_OK) {
        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, image);
        rgb.depth = 8;
        avifRGBImageAllocatePixels(&rgb);
        avifImageYUVToRGB(image, &rgb);
        *width = rgb.width;
        for (uint32_t y = 0; y < rgb.height; ++y) {
            for (uint32_t x = 0; x < rgb.width; ++x) {
                const uint8_t* p = rgb.pixels + y * rgb.rowBytes + 4 * x;
                pixels.push_back(uint32_t{p[3]} << 24 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 |
                                 p[2]);
            }
        }
        avifRGBImageFreePixels(&rgb);
    }
    avifImageDestroy(image);
    avifDecoderDestroy(decoder);
    return pixels;
}

int Worst(const CVImage& a, const CVImage& b) {
    int worst = 0;
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            worst = std::max(worst, ChannelDistance(ColorAt(a, x, y), ColorAt(b, x, y)));
        }
    }
    return worst;
}

} // namespace

TEST(AvifCodec, EveryKindIsWrittenAndReadBack) {
    TestHost host;
    const AvifSettings best{100, 8};
    for (const KindSample& kind : EveryKind()) {
        SCOPED_TRACE(kind.name);
        CVImage image(host.get());
        MakeSmooth(image, 32, 16);
        if (kind.bitCount != 24) {
            // Flat areas of palette colours: what paletted pictures hold.
            CVImage paletted(host.get());
            MakeKindImage(paletted, kind, 32, 16);
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 32; ++x) {
                    SetPixelAt(paletted, x, y, static_cast<uint32_t>((x / 8 + y / 8) % 2));
                }
            }
            CVImage::CopyImage(&image, &paletted, nullptr);
        }
        CVImage preview(host.get());
        const ByteVector file = WriteWith(Maker(host.get(), &best), host.get(), image, &preview);
        uint32_t width = 0;
        const std::vector<uint32_t> judged = Judge(file, &width);
        ASSERT_EQ(judged.size(), 32u * 16u);
        EXPECT_EQ(width, 32u);
        int worst = 0;
        int total = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 32; ++x) {
                EXPECT_EQ(judged[y * 32 + x] >> 24, 255u);
                const int distance = ChannelDistance(judged[y * 32 + x], ColorAt(image, x, y));
                worst = std::max(worst, distance);
                total += distance;
            }
        }
        // Nearly exact at the best quality, which keeps full chroma.
        EXPECT_LE(worst, 8);
        EXPECT_LE(total / (32 * 16), 2);
        CVImage back(host.get());
        ReadWith(Maker(host.get(), &best), host.get(), file, back);
        EXPECT_TRUE(SamePixels(back, preview)) << "the preview shows what was written";
        EXPECT_LE(Worst(back, image), 8);
    }
}

TEST(AvifCodec, QualityTradesSizeAndTransparencyIsKept) {
    TestHost host;
    CVImage photo(host.get());
    MakeSmooth(photo, 80, 48);
    size_t previous = 0;
    for (const int quality : {90, 50, 10}) {
        const AvifSettings settings{quality, 8};
        const ByteVector file = WriteWith(Maker(host.get(), &settings), host.get(), photo);
        if (previous != 0) {
            EXPECT_LT(file.size(), previous) << quality;
        }
        previous = file.size();
    }
    EXPECT_EQ(QuantizerOf(100), 0);
    EXPECT_EQ(QuantizerOf(0), 63);

    CVImage keyed(host.get());
    MakeKindImage(keyed, EveryKind()[2], 24, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 24; ++x) {
            SetPixelAt(keyed, x, y, x < 12 ? 3u : 9u);
        }
    }
    keyed.hasTransparentColor = 1;
    keyed.transparentColor = keyed.palette[3];
    const AvifSettings settings{80, 8};
    const ByteVector file = WriteWith(Maker(host.get(), &settings), host.get(), keyed);
    uint32_t width = 0;
    const std::vector<uint32_t> judged = Judge(file, &width);
    ASSERT_EQ(judged.size(), 24u * 16u);
    EXPECT_EQ(judged[0] >> 24, 0u) << "alpha is coded losslessly";
    EXPECT_EQ(judged[23] >> 24, 255u);
    CVImage back(host.get());
    ReadWith(Maker(host.get(), &settings), host.get(), file, back);
    EXPECT_EQ(ColorAt(back, 0, 0), 0xBFBFBFu) << "transparent pixels read as the key colour";
    EXPECT_EQ(back.hasTransparentColor, 1);

    // avifdec reads what we write.
    TempFile temp(file, ".avif");
    EXPECT_NE(
        RunCommand("avifdec " + temp.Path() + " " + temp.Path() + ".png >/dev/null && echo ok"),
        "");
    std::remove((temp.Path() + ".png").c_str());
}

TEST(AvifCodec, PreviewsDamagedAndOversizedFiles) {
    TestHost host;
    const AvifSettings settings{60, 8};
    CVImage photo(host.get());
    MakeSmooth(photo, 120, 60);
    const ByteVector file = WriteWith(Maker(host.get(), &settings), host.get(), photo);
    const SIZE box{30, 30};
    CVImage preview(host.get());
    EXPECT_EQ(ReadWith(Maker(host.get(), &settings), host.get(), file, preview, &box).cx, 120);
    EXPECT_EQ(preview.Width(), 30);
    EXPECT_EQ(preview.Height(), 15);

    CVImage small(host.get());
    MakeSmooth(small, 24, 12);
    int variants = 0;
    const int failures =
        ReadDamaged(Maker(host.get(), &settings), host.get(),
                    {WriteWith(Maker(host.get(), &settings), host.get(), small)}, &variants);
    EXPECT_GT(variants, 50);
    EXPECT_GT(failures, variants / 4);

    // The container declaring 60000 x 60000 pixels in a few hundred bytes.
    ByteVector huge = file;
    const auto at =
        std::search(huge.begin(), huge.end(), std::begin("ispe"), std::begin("ispe") + 4);
    ASSERT_NE(at, huge.end());
    const size_t size = static_cast<size_t>(at - huge.begin()) + 8;
    for (int i = 0; i < 8; ++i) {
        huge[size + i] = static_cast<uint8_t>(i % 4 == 2 ? 0xEA : i % 4 == 3 ? 0x60 : 0);
    }
    CVImage image(host.get());
    EXPECT_THROW(ReadWith(Maker(host.get(), &settings), host.get(), huge, image), CVImageError);
    EXPECT_EQ(image.bits, nullptr);
}

class AspenLibrary : public testing::Test {
  protected:
    static void SetUpTestSuite() { EnsureApplication(); }
};

TEST_F(AspenLibrary, AnswersSettingsAndPane) {
    TestHost host;
    {
        PluginLibrary library(PIXMILL_BIN_DIR "/Formats/aspenfmt.so");
        ASSERT_NE(library.handle, nullptr) << dlerror();
        CFormatPlugin* format = library.Format(host.get());
        ASSERT_NE(format, nullptr);
        EXPECT_STREQ(format->GetName(false), "AVIF");
        EXPECT_STREQ(format->GetExtensions(), "*.avif");
        EXPECT_EQ(format->GetSignatureSize(), 12);
        EXPECT_TRUE(format->Recognize(reinterpret_cast<const uint8_t*>("\0\0\0\x1c"
                                                                       "ftypavif")));
        EXPECT_FALSE(format->Recognize(reinterpret_cast<const uint8_t*>("\0\0\0\x1c"
                                                                        "ftypheic")));
        EXPECT_EQ(format->GetCapabilities(), 0x70) << "with a preview in the save dialog";
        CVImage image(host.get());
        MakeSmooth(image, 48, 32);
        const CodecMaker make = [format] { return format->CreateCodec(); };
        const size_t atDefaults = WriteWith(make, host.get(), image).size();

        TestPaneSite site;
        site.image = &image;
        CPluginPane* pane = format->CreateOptionsPane(&site);
        pane->Create();
        auto* quality = site.Find<QSlider>(1001);
        auto* speed = site.Find<QSlider>(1003);
        ASSERT_TRUE(quality && speed);
        EXPECT_EQ(quality->value(), 60);
        EXPECT_EQ(speed->value(), 6);
        quality->setValue(5);
        speed->setValue(10);
        EXPECT_EQ(site.changes, 2);
        EXPECT_TRUE(pane->Commit());
        EXPECT_LT(WriteWith(make, host.get(), image).size(), atDefaults);
        format->DestroyOptionsPane(pane);
    }
    const auto saved = StoredBlock<AvifSettings>(host.settings, kSettingsName);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->quality, 5);
    EXPECT_EQ(saved->speed, 10);

    std::mt19937 random(8);
    AvifOptionsModel model(AvifSettings{300, -2});
    const Fields fields{AvifOptionsModel::Quality, AvifOptionsModel::Speed};
    ExpectInRange(model, fields);
    for (int step = 0; step < 200; ++step) {
        TypeAnything(model, fields, random);
    }
}
