// The WebP codec and library: every image kind through the lossless and
// lossy writers (libwebp's decoder and dwebp judge), transparency, the
// written preview, the first frame of an animation, damaged and oversized
// files, and the library's answers, settings and pane.
#include "gif_codec.h"
#include "rowanfmt_pane_model.h"
#include "webp_codec.h"

#include "pixmill/errors.h"
#include "pixmill/pane.h"
#include "support/pane_model_checks.h"
#include "support/plugin_library.h"
#include "support/stored_block.h"
#include "support/test_host.h"
#include "support/test_images.h"
#include "support/test_pane_site.h"
#include "web_test_support.h"

#include <QCheckBox>
#include <QSlider>
#include <gtest/gtest.h>
#include <webp/decode.h>

#include <dlfcn.h>

using namespace pixmill;
using namespace pixmill::rowan;
using namespace pixmill::test;

namespace {

CodecMaker Maker(CPluginHost* host, const WebpSettings* settings) {
    return [host, settings] { return new WebpCodec(nullptr, host, settings); };
}

// libwebp's decoding as 0xAARRGGBB, top row first.
std::vector<uint32_t> Judge(const ByteVector& file, int* width, int* height) {
    uint8_t* rgba = WebPDecodeRGBA(file.data(), file.size(), width, height);
    std::vector<uint32_t> pixels;
    if (rgba == nullptr) {
        return pixels;
    }
    for (int i = 0; i < *width * *height; ++i) {
        const uint8_t* p = rgba + 4 * i;
        pixels.push_back(uint32_t{p[3]} << 24 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]);
    }
    WebPFree(rgba);
    return pixels;
}

} // namespace

TEST(WebpCodec, LosslessKeepsEveryKindAndLossyStaysClose) {
    TestHost host;
    const WebpSettings lossless{75, 1, 1, {}};
    for (const KindSample& kind : EveryKind()) {
        SCOPED_TRACE(kind.name);
        CVImage image(host.get());
        MakeKindImage(image, kind, 29, 15);
        const ByteVector file = WriteWith(Maker(host.get(), &lossless), host.get(), image);
        int width = 0, height = 0;
        const std::vector<uint32_t> judged = Judge(file, &width, &height);
        ASSERT_EQ(judged.size(), 29u * 15u);
        for (int y = 0; y < 15; ++y) {
            for (int x = 0; x < 29; ++x) {
                ASSERT_EQ(judged[y * 29 + x], 0xFF000000 | ColorAt(image, x, y)) << x << "," << y;
            }
        }
        CVImage back(host.get());
        ReadWith(Maker(host.get(), &lossless), host.get(), file, back);
        ASSERT_EQ(back.BitCount(), 24);
        for (int y = 0; y < 15; ++y) {
            for (int x = 0; x < 29; ++x) {
                ASSERT_EQ(ColorAt(back, x, y), ColorAt(image, x, y));
            }
        }
    }
    CVImage photo(host.get());
    MakeSmooth(photo, 96, 64);
    size_t previous = 0;
    for (const int quality : {95, 50, 5}) {
        const WebpSettings lossy{quality, 4, 0, {}};
        CVImage preview(host.get());
        const ByteVector file = WriteWith(Maker(host.get(), &lossy), host.get(), photo, &preview);
        if (previous != 0) {
            EXPECT_LT(file.size(), previous) << "lower quality, smaller file";
        }
        previous = file.size();
        CVImage back(host.get());
        ReadWith(Maker(host.get(), &lossy), host.get(), file, back);
        EXPECT_TRUE(SamePixels(back, preview)) << "the preview shows what was written";
        int worst = 0;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 96; ++x) {
                worst = std::max(worst, ChannelDistance(ColorAt(back, x, y), ColorAt(photo, x, y)));
            }
        }
        EXPECT_LE(worst, quality > 90 ? 12 : 48) << "quality " << quality;
    }
    // The webp tools read what we write.
    TempFile temp(WriteWith(Maker(host.get(), &lossless), host.get(), photo), ".webp");
    EXPECT_NE(RunCommand("dwebp -quiet " + temp.Path() + " -ppm -o - | head -c 2"), "");
}

TEST(WebpCodec, TransparentColourBecomesAlphaAndReadsBackAsTheTransparentColour) {
    TestHost host;
    const WebpSettings lossless{75, 1, 1, {}};
    CVImage image(host.get());
    MakeKindImage(image, EveryKind()[4], 20, 10);
    image.hasTransparentColor = 1;
    image.transparentColor = image.palette[5];
    const ByteVector file = WriteWith(Maker(host.get(), &lossless), host.get(), image);
    int width = 0, height = 0;
    const std::vector<uint32_t> judged = Judge(file, &width, &height);
    ASSERT_EQ(judged.size(), 200u);
    CVImage back(host.get());
    ReadWith(Maker(host.get(), &lossless), host.get(), file, back);
    EXPECT_EQ(back.hasTransparentColor, 1);
    EXPECT_EQ(back.transparentColor.rgbRed, 191);
    EXPECT_EQ(back.transparentColor.rgbBlue, 191);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool clear = PixelAt(image, x, y) == 5;
            EXPECT_EQ(judged[y * 20 + x] >> 24, clear ? 0u : 255u);
            EXPECT_EQ(ColorAt(back, x, y), clear ? 0xBFBFBFu : ColorAt(image, x, y));
        }
    }
}

TEST(WebpCodec, FirstFrameOfAnAnimationAndPreviews) {
    TestHost host;
    // Two frames made by gif2webp from a GIF of ours: the first is read.
    CVImage first(host.get());
    MakeKindImage(first, EveryKind()[2], 24, 16);
    const hazel::GifSettings gifSettings{0, 0, {}};
    const ByteVector still = WriteWith(
        [&] { return new hazel::GifCodec(nullptr, host.get(), &gifSettings); }, host.get(), first);
    ByteVector gif(still.begin(), still.end() - 1); // without the trailer
    const ByteVector second = [&] {
        CVImage other(host.get());
        MakeKindImage(other, EveryKind()[2], 24, 16);
        for (int x = 0; x < 24; ++x) {
            SetPixelAt(other, x, 3, 0);
        }
        return WriteWith([&] { return new hazel::GifCodec(nullptr, host.get(), &gifSettings); },
                         host.get(), other);
    }();
    // The second file's image: from its image descriptor (after screen and table).
    gif.insert(gif.end(), second.begin() + 13 + 48, second.end());
    TempFile source(gif, ".gif");
    const std::string target = source.Path() + ".webp";
    ASSERT_NE(RunCommand("gif2webp -quiet " + source.Path() + " -o " + target + " && echo ok"), "");
    ByteVector animated;
    {
        FILE* in = std::fopen(target.c_str(), "rb");
        ASSERT_NE(in, nullptr);
        int c;
        while ((c = std::fgetc(in)) != EOF) {
            animated.push_back(static_cast<uint8_t>(c));
        }
        std::fclose(in);
        std::remove(target.c_str());
    }
    const WebpSettings settings{75, 4, 0, {}};
    CVImage image(host.get());
    const SIZE size = ReadWith(Maker(host.get(), &settings), host.get(), animated, image);
    EXPECT_EQ(size.cx, 24);
    EXPECT_EQ(size.cy, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 24; ++x) {
            ASSERT_EQ(ColorAt(image, x, y), ColorAt(first, x, y)) << x << "," << y;
        }
    }

    CVImage photo(host.get());
    MakeSmooth(photo, 200, 100);
    const ByteVector file = WriteWith(Maker(host.get(), &settings), host.get(), photo);
    const SIZE box{50, 50};
    CVImage preview(host.get());
    EXPECT_EQ(ReadWith(Maker(host.get(), &settings), host.get(), file, preview, &box).cx, 200);
    EXPECT_EQ(preview.Width(), 50);
    EXPECT_EQ(preview.Height(), 25);
}

TEST(WebpCodec, DamagedAndOversizedFilesFailCleanly) {
    TestHost host;
    std::vector<ByteVector> valid;
    CVImage photo(host.get());
    MakeSmooth(photo, 40, 24);
    for (const WebpSettings settings : {WebpSettings{75, 2, 0, {}}, WebpSettings{75, 2, 1, {}}}) {
        valid.push_back(WriteWith(Maker(host.get(), &settings), host.get(), photo));
    }
    int variants = 0;
    const WebpSettings settings{75, 4, 0, {}};
    const int failures = ReadDamaged(Maker(host.get(), &settings), host.get(), valid, &variants);
    EXPECT_GT(variants, 100);
    EXPECT_GT(failures, variants / 4);

    // A lossless header declaring 16384 x 16384 pixels in a few hundred bytes.
    ByteVector huge = valid[1];
    ASSERT_EQ(std::string(huge.begin() + 12, huge.begin() + 16), "VP8L");
    huge[21] = huge[22] = huge[23] = 0xFF;
    huge[24] = static_cast<uint8_t>((huge[24] & 0xF0) | 0x0F);
    CVImage image(host.get());
    EXPECT_THROW(ReadWith(Maker(host.get(), &settings), host.get(), huge, image), CVImageError);
    EXPECT_EQ(image.bits, nullptr);
}

class RowanLibrary : public testing::Test {
  protected:
    static void SetUpTestSuite() { EnsureApplication(); }
};

TEST_F(RowanLibrary, AnswersSettingsAndPane) {
    TestHost host;
    {
        PluginLibrary library(PIXMILL_BIN_DIR "/Formats/rowanfmt.so");
        ASSERT_NE(library.handle, nullptr) << dlerror();
        CFormatPlugin* format = library.Format(host.get());
        ASSERT_NE(format, nullptr);
        EXPECT_STREQ(format->GetName(false), "WebP");
        EXPECT_STREQ(format->GetExtensions(), "*.webp");
        EXPECT_EQ(format->GetSignatureSize(), 12);
        EXPECT_TRUE(format->Recognize(reinterpret_cast<const uint8_t*>("RIFF\1\2\3\4WEBP")));
        EXPECT_FALSE(format->Recognize(reinterpret_cast<const uint8_t*>("RIFF\1\2\3\4WAVE")));
        EXPECT_EQ(format->GetCapabilities(), 0x70) << "with a preview in the save dialog";
        CVImage image(host.get());
        MakeSmooth(image, 64, 40);
        const CodecMaker make = [format] { return format->CreateCodec(); };
        const size_t atDefaults = WriteWith(make, host.get(), image).size();

        TestPaneSite site;
        site.image = &image;
        CPluginPane* pane = format->CreateOptionsPane(&site);
        pane->Create();
        auto* quality = site.Find<QSlider>(1001);
        auto* effort = site.Find<QSlider>(1003);
        auto* lossless = site.Find<QCheckBox>(1004);
        ASSERT_TRUE(quality && effort && lossless);
        EXPECT_EQ(quality->value(), 75);
        EXPECT_EQ(effort->maximum(), 6);
        quality->setValue(10);
        EXPECT_EQ(site.changes, 1);
        EXPECT_TRUE(pane->Commit());
        EXPECT_LT(WriteWith(make, host.get(), image).size(), atDefaults);
        lossless->click();
        EXPECT_TRUE(pane->Commit());
        const ByteVector exact = WriteWith(make, host.get(), image);
        EXPECT_EQ(std::string(exact.begin() + 12, exact.begin() + 16), "VP8L");
        format->DestroyOptionsPane(pane);
    }
    const auto saved = StoredBlock<WebpSettings>(host.settings, kSettingsName);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->quality, 10);
    EXPECT_EQ(saved->lossless, 1);

    std::mt19937 random(6);
    WebpOptionsModel model(WebpSettings{-5, 99, 3, {}});
    const Fields fields{WebpOptionsModel::Quality, WebpOptionsModel::Effort,
                        WebpOptionsModel::Lossless};
    ExpectInRange(model, fields);
    for (int step = 0; step < 200; ++step) {
        TypeAnything(model, fields, random);
    }
}
