// The GIF codec on its own: palette images of every depth through the
// writer (judged by giflib's whole-file reader and by ImageMagick), frames
// on larger screens, animations, transparency, and damaged files.
#include "gif_codec.h"

#include "pixmill/errors.h"
#include "support/test_host.h"
#include "support/test_images.h"
#include "web_test_support.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>

using namespace pixmill;
using namespace pixmill::hazel;
using namespace pixmill::test;

namespace {

CodecMaker Maker(CPluginHost* host, const GifSettings* settings = nullptr) {
    static const GifSettings kDefaults{0, 1, {}};
    const GifSettings* used = settings != nullptr ? settings : &kDefaults;
    return [host, used] { return new GifCodec(nullptr, host, used); };
}

// giflib's whole-file reading of a file in memory.
struct Slurped {
    explicit Slurped(const ByteVector& bytes) : bytes(bytes) {
        int error = 0;
        gif = DGifOpen(this, Read, &error);
        if (gif != nullptr && DGifSlurp(gif) != GIF_OK) {
            DGifCloseFile(gif, &error);
            gif = nullptr;
        }
    }
    ~Slurped() {
        int error = 0;
        if (gif != nullptr) {
            DGifCloseFile(gif, &error);
        }
    }
    static int Read(GifFileType* file, GifByteType* out, int count) {
        auto* self = static_cast<Slurped*>(file->UserData);
        const size_t n = std::min<size_t>(count, self->bytes.size() - self->position);
        std::memcpy(out, self->bytes.data() + self->position, n);
        self->position += n;
        return static_cast<int>(n);
    }
    // The colour of a pixel of the first frame, through its colour table.
    uint32_t ColorAt(int x, int y) const {
        const SavedImage& frame = gif->SavedImages[0];
        const ColorMapObject* map =
            frame.ImageDesc.ColorMap != nullptr ? frame.ImageDesc.ColorMap : gif->SColorMap;
        const GifColorType& c = map->Colors[frame.RasterBits[y * frame.ImageDesc.Width + x]];
        return uint32_t{c.Red} << 16 | uint32_t{c.Green} << 8 | c.Blue;
    }
    int TransparentIndex() const {
        GraphicsControlBlock control;
        if (DGifSavedExtensionToGCB(gif, 0, &control) == GIF_ERROR) {
            return -1;
        }
        return control.TransparentColor;
    }

    ByteVector bytes;
    size_t position = 0;
    GifFileType* gif = nullptr;
};

// A file written with giflib: a screen, then frames of a colour each.
struct FrameSpec {
    int left, top, width, height;
    int index;       // the frame's pixels
    int transparent; // -1: no graphics control block
    bool localMap;   // only for a last frame: giflib loses a local table another frame follows
};
ByteVector MakeGif(int screenWidth, int screenHeight, bool globalMap,
                   const std::vector<FrameSpec>& frames, int background = 0) {
    ByteVector out;
    int error = 0;
    GifFileType* gif = EGifOpen(
        &out,
        [](GifFileType* file, const GifByteType* data, int count) {
            auto* target = static_cast<ByteVector*>(file->UserData);
            target->insert(target->end(), data, data + count);
            return count;
        },
        &error);
    GifColorType colors[8];
    for (int i = 0; i < 8; ++i) {
        colors[i] =
            GifColorType{static_cast<GifByteType>(i * 30), static_cast<GifByteType>(200 - i * 20),
                         static_cast<GifByteType>(i * 11)};
    }
    ColorMapObject* map = GifMakeMapObject(8, colors);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, background, globalMap ? map : nullptr);
    for (const FrameSpec& f : frames) {
        if (f.transparent >= 0) {
            const GifByteType control[4] = {1, 0, 0, static_cast<GifByteType>(f.transparent)};
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
        }
        EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, false, f.localMap ? map : nullptr);
        std::vector<GifPixelType> line(f.width, static_cast<GifPixelType>(f.index));
        for (int y = 0; y < f.height; ++y) {
            EGifPutLine(gif, line.data(), f.width);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

uint32_t MapColor(int i) {
    return uint32_t(i * 30) << 16 | uint32_t(200 - i * 20) << 8 | uint32_t(i * 11);
}

} // namespace

TEST(GifRoundTrip, EveryPaletteKindKeepsItsPixelsAndPaletteOrder) {
    TestHost host;
    for (const KindSample& kind : EveryKind()) {
        if (kind.bitCount == 24) {
            continue;
        }
        CVImage image(host.get());
        MakeKindImage(image, kind, 41, 19);
        for (const GifSettings settings : {GifSettings{0, 1, {}}, GifSettings{1, 1, {}}}) {
            SCOPED_TRACE(kind.name + (settings.interlace ? ", interlaced" : ""));
            const ByteVector file = WriteWith(Maker(host.get(), &settings), host.get(), image);
            Slurped judge(file);
            ASSERT_NE(judge.gif, nullptr);
            EXPECT_EQ(judge.gif->SWidth, 41);
            EXPECT_EQ(judge.gif->ImageCount, 1);
            EXPECT_EQ(judge.gif->SavedImages[0].ImageDesc.Interlace, settings.interlace != 0);
            ASSERT_NE(judge.gif->SColorMap, nullptr);
            EXPECT_EQ(judge.gif->SColorMap->ColorCount, 1 << kind.bitCount);
            for (int i = 0; i < (1 << kind.bitCount); ++i) {
                const GifColorType& c = judge.gif->SColorMap->Colors[i];
                EXPECT_EQ(c.Red, image.palette[i].rgbRed) << "entry " << i;
                EXPECT_EQ(c.Blue, image.palette[i].rgbBlue) << "entry " << i;
            }
            for (int y = 0; y < 19; ++y) {
                for (int x = 0; x < 41; ++x) {
                    ASSERT_EQ(judge.ColorAt(x, y), ColorAt(image, x, y)) << x << "," << y;
                }
            }
            CVImage back(host.get());
            ReadWith(Maker(host.get()), host.get(), file, back);
            std::string why;
            EXPECT_TRUE(SamePixels(back, image, &why)) << why;
            EXPECT_EQ(back.hasTransparentColor, 0);
        }
    }
}

TEST(GifRoundTrip, TransparentColourAndImageMagick) {
    TestHost host;
    CVImage image(host.get());
    MakeKindImage(image, EveryKind()[4], 30, 20);
    image.hasTransparentColor = 1;
    image.transparentColor = image.palette[7];
    const ByteVector file = WriteWith(Maker(host.get()), host.get(), image);
    EXPECT_EQ(Slurped(file).TransparentIndex(), 7);
    CVImage back(host.get());
    ReadWith(Maker(host.get()), host.get(), file, back);
    EXPECT_EQ(back.hasTransparentColor, 1);
    EXPECT_EQ(std::memcmp(&back.transparentColor, &image.palette[7], 3), 0);

    const GifSettings without{0, 0, {}};
    EXPECT_EQ(Slurped(WriteWith(Maker(host.get(), &without), host.get(), image)).TransparentIndex(),
              -1)
        << "the option leaves the transparent colour out";

    // ImageMagick sees the same colours, transparency included.
    TempFile temp(file, ".gif");
    const std::string rgba = RunCommand("convert " + temp.Path() + " -depth 8 rgba:-");
    ASSERT_EQ(rgba.size(), 30u * 20u * 4u);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 30; ++x) {
            const auto* p = reinterpret_cast<const uint8_t*>(rgba.data()) + 4 * (y * 30 + x);
            const uint32_t color = ColorAt(image, x, y);
            const bool clear = PixelAt(image, x, y) == 7;
            EXPECT_EQ(p[3], clear ? 0 : 255) << x << "," << y;
            if (!clear) {
                EXPECT_EQ(uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2], color);
            }
        }
    }

    CVImage color(host.get());
    MakeKindImage(color, EveryKind()[5], 4, 4);
    try {
        WriteWith(Maker(host.get()), host.get(), color);
        ADD_FAILURE() << "a 24-bit image was written";
    } catch (const CVImageError& e) {
        EXPECT_EQ(e.Code(), CVImageError::UnsupportedFormat);
    }
}

TEST(GifReading, FramesOnTheScreenAndAnimations) {
    TestHost host;
    // A frame inside a larger screen, then a second frame that is not read.
    const ByteVector animated =
        MakeGif(20, 10, true, {{3, 2, 5, 4, 5, -1, false}, {0, 0, 20, 10, 6, -1, false}},
                /*background=*/2);
    CVImage image(host.get());
    const SIZE size = ReadWith(Maker(host.get()), host.get(), animated, image);
    EXPECT_EQ(size.cx, 20);
    EXPECT_EQ(size.cy, 10);
    EXPECT_EQ(image.BitCount(), 4);
    EXPECT_EQ(ColorAt(image, 3, 2), MapColor(5));
    EXPECT_EQ(ColorAt(image, 7, 5), MapColor(5));
    EXPECT_EQ(ColorAt(image, 8, 5), MapColor(2)) << "the screen's background outside the frame";
    EXPECT_EQ(ColorAt(image, 19, 9), MapColor(2));

    // A transparent index fills the screen outside the frame; a local table
    // stands in for a missing global one.
    const ByteVector local = MakeGif(6, 6, false, {{1, 1, 2, 2, 4, 3, true}});
    ReadWith(Maker(host.get()), host.get(), local, image);
    EXPECT_EQ(image.hasTransparentColor, 1);
    EXPECT_EQ(ColorAt(image, 0, 0), MapColor(3));
    EXPECT_EQ(ColorAt(image, 1, 1), MapColor(4));
    const RGBQUAD& key = image.transparentColor;
    EXPECT_EQ(uint32_t{key.rgbRed} << 16 | uint32_t{key.rgbGreen} << 8 | key.rgbBlue, MapColor(3));
}

TEST(GifReading, DamagedAndOversizedFilesFailCleanly) {
    TestHost host;
    std::vector<ByteVector> valid;
    for (const KindSample& kind : EveryKind()) {
        if (kind.bitCount == 24) {
            continue;
        }
        CVImage image(host.get());
        MakeKindImage(image, kind, 33, 17);
        const GifSettings settings{static_cast<uint8_t>(kind.bitCount == 4), 1, {}};
        valid.push_back(WriteWith(Maker(host.get(), &settings), host.get(), image));
    }
    valid.push_back(
        MakeGif(20, 10, true, {{3, 2, 5, 4, 5, 1, false}, {0, 0, 20, 10, 6, -1, false}}));
    int variants = 0;
    const int failures = ReadDamaged(Maker(host.get()), host.get(), valid, &variants);
    EXPECT_GT(variants, 300);
    EXPECT_GT(failures, variants / 5) << "most damage is noticed";

    // A screen or a frame the file cannot fill is refused before memory is taken.
    ByteVector screen = valid[0];
    screen[6] = screen[7] = screen[8] = screen[9] = 0xFF; // 65535 x 65535
    CVImage image(host.get());
    EXPECT_THROW(ReadWith(Maker(host.get()), host.get(), screen, image), CVImageError);
    EXPECT_EQ(image.bits, nullptr);
    ByteVector frame = MakeGif(10, 10, true, {{0, 0, 10, 10, 1, -1, false}});
    ASSERT_EQ(frame[13 + 24], 0x2C) << "the image descriptor follows the colour table";
    for (const size_t at : {13 + 24 + 5, 13 + 24 + 7}) { // width and height: 30000
        frame[at] = 0x30;
        frame[at + 1] = 0x75;
    }
    EXPECT_THROW(ReadWith(Maker(host.get()), host.get(), frame, image), CVImageError);
    EXPECT_EQ(image.bits, nullptr);
}
