#include "pixmill/alpha_rule.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using namespace pixmill;
using namespace pixmill::test;

namespace {

int ImageErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CVImageError& e) {
        return e.Code();
    }
    return -1;
}

} // namespace

TEST(CVImage, CreateValidatesTheSize) {
    TestHost host;
    CVImage image(host.get());
    EXPECT_EQ(ImageErrorOf([&] { image.Create(10, 0, 8, 0, nullptr); }), 2);
    EXPECT_EQ(ImageErrorOf([&] { image.Create(0, 10, 8, 0, nullptr); }), 2);
    EXPECT_EQ(ImageErrorOf([&] { image.Create(65536, 1, 8, 0, nullptr); }), 6);
    EXPECT_EQ(ImageErrorOf([&] { image.Create(1, 65536, 1, 0, nullptr); }), 6);
    EXPECT_EQ(image.bits, nullptr) << "a refused size allocates nothing";
    try {
        image.Create(1, 0, 8, 0, nullptr);
    } catch (CQorelError& e) {
        EXPECT_STREQ(e.Report(false), "Mismatched image format");
    }
}

TEST(CVImage, CreateFillsHeaderAndPaletteCount) {
    TestHost host;
    CVImage image(host.get());
    image.Create(3, 2, 32, 0, nullptr, 100, 200);
    EXPECT_EQ(image.BitCount(), 24);
    EXPECT_EQ(image.paletteCount, 0);
    EXPECT_EQ(image.header.biSize, 40u);
    EXPECT_EQ(image.header.biPlanes, 1);
    EXPECT_EQ(image.header.biCompression, 0u);
    EXPECT_EQ(image.header.biSizeImage, 24u);
    EXPECT_EQ(image.header.biXPelsPerMeter, 100);
    EXPECT_EQ(image.header.biYPelsPerMeter, 200);
    EXPECT_EQ(image.Stride(), 12u);
    EXPECT_EQ(host->GetSize(image.bits), 12u * 2 + 1);

    image.Create(5, 5, 16, 0, nullptr);
    EXPECT_EQ(image.BitCount(), 24);
    image.Create(5, 5, 8, 0, nullptr);
    EXPECT_EQ(image.paletteCount, 256);
    image.Create(5, 5, 8, 300, nullptr);
    EXPECT_EQ(image.paletteCount, 256);
    EXPECT_EQ(image.header.biClrUsed, 256u);
    image.Create(5, 5, 8, 17, nullptr);
    EXPECT_EQ(image.paletteCount, 17);
    EXPECT_EQ(image.header.biClrImportant, 17u);
    image.Create(5, 5, 4, 16, nullptr);
    EXPECT_EQ(image.paletteCount, 16);
    image.Create(5, 5, 1, 2, nullptr);
    EXPECT_EQ(image.paletteCount, 2);
    image.Create(1, 7, 1, 0, nullptr);
    EXPECT_EQ(image.Stride(), 4u);
    EXPECT_EQ(host->GetSize(image.bits), 4u * 7 + 1);
    image.Create(33, 1, 1, 0, nullptr);
    EXPECT_EQ(image.Stride(), 8u);
    image.Create(9, 1, 4, 0, nullptr);
    EXPECT_EQ(image.Stride(), 8u);
    EXPECT_EQ(host->Memory().LiveOrdinaryBlocks(), 1u) << "old blocks go back to the host";
}

TEST(CVImage, TransparencyTravelsWithCreation) {
    TestHost host;
    CVImage image(host.get());
    const TransparencyInfo light{{191, 191, 191, 0}, 1};
    image.Create(4, 4, 24, 0, &light);
    EXPECT_EQ(image.hasTransparentColor, 1);
    EXPECT_EQ(image.transparentColor.rgbRed, 191);
    image.CreateKeepBuffer(4, 4, 24, 0, nullptr);
    EXPECT_EQ(image.hasTransparentColor, 1) << "CreateKeepBuffer keeps it without a block";
    image.Create(4, 4, 24, 0, nullptr);
    EXPECT_EQ(image.hasTransparentColor, 0) << "Create clears it without a block";
}

TEST(CVImage, CreateKeepBufferKeepsAnExistingBlock) {
    TestHost host;
    CVImage image(host.get());
    image.Create(2, 2, 8, 0, nullptr);
    uint8_t* block = image.bits;
    image.CreateKeepBuffer(100, 100, 24, 0, nullptr);
    EXPECT_EQ(image.bits, block);
    EXPECT_EQ(image.Width(), 100);
    image.FreeBits();
    image.CreateKeepBuffer(3, 3, 8, 0, nullptr);
    ASSERT_NE(image.bits, nullptr);
    EXPECT_EQ(host->GetSize(image.bits), 4u * 3 + 1);
}

TEST(CVImage, CopyWithoutCropSharesTheBlock) {
    TestHost host;
    auto source = std::make_unique<CVImage>(host.get());
    source->Create(5, 4, 8, 20, nullptr, 7, 9);
    std::memset(source->bits, 0x5A, source->ImageBytes());
    source->palette[19] = RGBQUAD{1, 2, 3, 0};
    CVImage copy(host.get());
    CVImage::CopyImage(&copy, source.get(), nullptr);
    EXPECT_EQ(copy.bits, source->bits);
    EXPECT_EQ(copy.paletteCount, 20);
    EXPECT_EQ(copy.palette[19].rgbRed, 3);
    EXPECT_EQ(copy.header.biYPelsPerMeter, 9);
    source.reset();
    ASSERT_EQ(host->Memory().LiveOrdinaryBlocks(), 1u);
    EXPECT_EQ(copy.bits[0], 0x5A) << "the last share keeps the pixels";
}

TEST(CVImage, CropOfEveryDepthMatchesPixelByPixelReference) {
    TestHost host;
    std::mt19937 random(7);
    for (int bitCount : {1, 4, 8, 24}) {
        CVImage source(host.get());
        source.Create(37, 23, bitCount, 0, nullptr);
        FillRandom(source, random);
        for (const RECT crop : {RECT{0, 0, 37, 23}, RECT{1, 2, 4, 3}, RECT{3, 5, 36, 22},
                                RECT{7, 0, 16, 23}, RECT{9, 11, 10, 12}}) {
            CVImage part(host.get());
            CVImage::CopyImage(&part, &source, &crop);
            ASSERT_EQ(part.Width(), crop.right - crop.left);
            ASSERT_EQ(part.Height(), crop.bottom - crop.top);
            ASSERT_EQ(part.BitCount(), bitCount);
            for (int y = 0; y < part.Height(); ++y) {
                for (int x = 0; x < part.Width(); ++x) {
                    ASSERT_EQ(PixelAt(part, x, y), PixelAt(source, x + crop.left, y + crop.top))
                        << bitCount << "-bit crop at (" << x << ", " << y << ") left " << crop.left;
                }
            }
        }
    }
}

TEST(CVImage, CropOutsideTheImageIsRefused) {
    TestHost host;
    CVImage source(host.get());
    source.Create(10, 10, 8, 0, nullptr);
    CVImage part(host.get());
    const RECT outside{5, 5, 11, 10};
    EXPECT_EQ(ImageErrorOf([&] { CVImage::CopyImage(&part, &source, &outside); }), 2);
    const RECT empty{5, 5, 5, 8};
    EXPECT_EQ(ImageErrorOf([&] { CVImage::CopyImage(&part, &source, &empty); }), 2);
}

TEST(CVImage, AttachDibTakesThePackedBlock) {
    TestHost host;
    // A 3x2 4-bit DIB with a 3-entry colour table.
    const size_t stride = 4;
    const size_t total = 40 + 3 * 4 + stride * 2;
    auto* dib = static_cast<uint8_t*>(host->Alloc(total));
    BITMAPINFOHEADER header{40, 3, 2, 1, 4, 0, 0, 3780, 3780, 3, 0};
    std::memcpy(dib, &header, 40);
    const RGBQUAD colors[3] = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}};
    std::memcpy(dib + 40, colors, sizeof colors);
    const uint8_t pixels[8] = {0x12, 0x00, 0, 0, 0x21, 0x10, 0, 0};
    std::memcpy(dib + 52, pixels, 8);

    CVImage image(host.get());
    ASSERT_TRUE(image.AttachDib(dib));
    EXPECT_EQ(image.bits, dib);
    EXPECT_EQ(image.paletteCount, 3);
    EXPECT_EQ(image.palette[2].rgbRed, 255);
    EXPECT_EQ(image.header.biXPelsPerMeter, 3780);
    EXPECT_EQ(PixelAt(image, 0, 1), 1u); // bottom row first in memory
    EXPECT_EQ(PixelAt(image, 1, 1), 2u);
    EXPECT_EQ(PixelAt(image, 0, 0), 2u);
    EXPECT_EQ(PixelAt(image, 2, 0), 1u);
    host->Free(dib); // the caller's share; the image keeps its own
    EXPECT_EQ(PixelAt(image, 1, 0), 1u);
}

TEST(CVImage, AttachDibChecksTheHeader) {
    TestHost host;
    auto attach = [&](BITMAPINFOHEADER header) {
        auto* dib = static_cast<uint8_t*>(host->Alloc(40 + 1024 + 64));
        std::memcpy(dib, &header, 40);
        CVImage image(host.get());
        bool result = false;
        int error = -1;
        try {
            result = image.AttachDib(dib);
        } catch (const CVImageError& e) {
            error = e.Code();
        }
        host->Free(dib);
        return error >= 0 ? 100 + error : static_cast<int>(result);
    };
    EXPECT_EQ(attach({40, 2, 2, 1, 24, 0, 0, 0, 0, 0, 0}), 1);
    EXPECT_EQ(attach({40, 2, 2, 2, 24, 0, 0, 0, 0, 0, 0}), 0) << "planes";
    EXPECT_EQ(attach({40, 2, 2, 1, 16, 0, 0, 0, 0, 0, 0}), 0) << "bit count";
    EXPECT_EQ(attach({40, 2, 2, 1, 8, 1, 0, 0, 0, 0, 0}), 0) << "compression";
    EXPECT_EQ(attach({40, 65537, 1, 1, 1, 0, 0, 0, 0, 0, 0}), 106);
    EXPECT_EQ(attach({40, 1, 65537, 1, 1, 0, 0, 0, 0, 0, 0}), 106);
}

TEST(CVImage, AttachDibAcceptsWidth65536) {
    TestHost host;
    const size_t stride = CVImage::StrideOf(1, 65536);
    auto* dib = static_cast<uint8_t*>(host->Alloc(40 + 8 + stride));
    BITMAPINFOHEADER header{40, 65536, 1, 1, 1, 0, 0, 0, 0, 0, 0};
    std::memcpy(dib, &header, 40);
    CVImage image(host.get());
    EXPECT_TRUE(image.AttachDib(dib));
    EXPECT_EQ(image.paletteCount, 2);
    host->Free(dib);
}

TEST(CVImage, GreyTestsAndResolution) {
    TestHost host;
    CVImage image(host.get());
    image.Create(2, 2, 24, 0, nullptr);
    EXPECT_FALSE(image.IsGray());
    EXPECT_FALSE(image.IsGrayRamp());
    image.Create(2, 2, 4, 16, nullptr);
    for (int i = 0; i < 16; ++i) {
        const auto v = static_cast<uint8_t>(i * 17);
        image.palette[i] = RGBQUAD{v, v, v, 0};
    }
    EXPECT_TRUE(image.IsGray());
    EXPECT_FALSE(image.IsGrayRamp()) << "16 entries are not a ramp";
    image.Create(2, 2, 8, 0, nullptr);
    SetGrayRamp(image);
    EXPECT_TRUE(image.IsGrayRamp());
    image.palette[200].rgbGreen = 3;
    EXPECT_FALSE(image.IsGrayRamp());
    EXPECT_FALSE(image.IsGray());

    image.SetResolution(72, 72, 0);
    EXPECT_EQ(image.header.biXPelsPerMeter, 2835);
    EXPECT_EQ(image.header.biYPelsPerMeter, 2835);
    image.SetResolution(10, 20, 1);
    EXPECT_EQ(image.header.biXPelsPerMeter, 1000);
    EXPECT_EQ(image.header.biYPelsPerMeter, 2000);
    image.SetResolution(5, 6, 2);
    EXPECT_EQ(image.header.biXPelsPerMeter, 5);
    image.SetResolution(300, 300, 3);
    EXPECT_EQ(image.header.biXPelsPerMeter, 5) << "unknown units change nothing";
}

TEST(CVImage, SetPaletteCopiesPaletteCountEntries) {
    TestHost host;
    CVImage image(host.get());
    image.Create(2, 2, 4, 3, nullptr);
    RGBQUAD colors[256];
    for (int i = 0; i < 256; ++i) {
        colors[i] = RGBQUAD{static_cast<uint8_t>(i), 0, 0, 0};
    }
    image.palette[3] = RGBQUAD{9, 9, 9, 9};
    image.SetPalette(colors);
    EXPECT_EQ(image.palette[2].rgbBlue, 2);
    EXPECT_EQ(image.palette[3].rgbBlue, 9);
}

TEST(CVImage, AttachDibRefusesABitmapLargerThanItsBlock) {
    TestHost host;
    auto* dib = static_cast<uint8_t*>(host->Alloc(40 + 8 + 16));
    BITMAPINFOHEADER header{40, 100, 100, 1, 1, 0, 0, 0, 0, 0, 0}; // needs 1208 bytes
    std::memcpy(dib, &header, 40);
    CVImage image(host.get());
    EXPECT_FALSE(image.AttachDib(dib));
    header = BITMAPINFOHEADER{40, 2, 2, 1, 8, 0, 0, 0, 0, 0x7FFFFFFF, 0}; // absurd table
    std::memcpy(dib, &header, 40);
    EXPECT_FALSE(image.AttachDib(dib));
    EXPECT_EQ(image.bits, nullptr);
    host->Free(dib);
}

namespace {

// A 32-bit picture of the given pixels (blue, green, red, alpha, top row first).
void FillAlphaPicture(CVImage& image, int width, int height, const std::vector<uint8_t>& bgra) {
    image.CreateWithAlpha(width, height, 100, 200);
    for (int y = 0; y < height; ++y) {
        std::memcpy(image.Row(y), bgra.data() + 4 * static_cast<size_t>(width) * y, 4 * width);
    }
}

} // namespace

TEST(CVImage, AlphaPlaneIsMadeOnPurposeAndKeptByCopiesAndCrops) {
    TestHost host;
    CVImage image(host.get());
    std::vector<uint8_t> pixels(4 * 3 * 2);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<uint8_t>(i * 11);
    }
    FillAlphaPicture(image, 3, 2, pixels);
    EXPECT_TRUE(image.HasAlphaPlane());
    EXPECT_EQ(image.Stride(), 12u);
    EXPECT_EQ(image.paletteCount, 0);
    EXPECT_EQ(image.hasTransparentColor, 0);
    EXPECT_EQ(image.header.biXPelsPerMeter, 100);

    CVImage like(host.get());
    like.CreateLike(image);
    EXPECT_TRUE(like.HasAlphaPlane());
    EXPECT_EQ(like.header.biYPelsPerMeter, 200);

    CVImage cropped(host.get());
    const RECT corner{1, 1, 3, 2};
    CVImage::CopyImage(&cropped, &image, &corner);
    ASSERT_TRUE(cropped.HasAlphaPlane());
    EXPECT_EQ(cropped.Width(), 2);
    EXPECT_EQ(std::memcmp(cropped.Row(0), image.Row(1) + 4, 8), 0);
}

TEST(AlphaRule, FlatteningFollowsTheRuleOfEveryReader) {
    TestHost host;
    // Opaque, half transparent, fully transparent, and a visible pixel that
    // would land on the key colour.
    const std::vector<uint8_t> colour = {10, 20, 30, 255, 0, 0, 200, 128, 1, 2, 3, 0,
                                         kAlphaKeyLevel, kAlphaKeyLevel, kAlphaKeyLevel, 255};
    CVImage image(host.get());
    FillAlphaPicture(image, 4, 1, colour);
    std::vector<uint8_t> rgba(16);
    RgbaRowOf(image, 0, rgba.data());
    EXPECT_EQ(rgba[0], 30) << "red first";
    EXPECT_EQ(rgba[7], 128) << "alpha as stored";
    EXPECT_TRUE(TransparencyApplies(image));

    FlattenAlphaPlane(image);
    ASSERT_EQ(image.BitCount(), 24);
    ASSERT_EQ(image.hasTransparentColor, 1);
    const uint8_t* row = image.Row(0);
    uint8_t expected[3];
    PutAlphaPixel(200, 0, 0, 128, expected);
    EXPECT_EQ(std::memcmp(row, colour.data(), 3), 0);
    EXPECT_EQ(std::memcmp(row + 3, expected, 3), 0);
    EXPECT_EQ(row[6], kAlphaKeyLevel);
    EXPECT_EQ(row[9], kAlphaKeyLevel + 1) << "a visible pixel does not become the key";
    EXPECT_EQ(image.header.biXPelsPerMeter, 100);

    // Grey with alpha flattens to 8-bit grey, as grey readers make it.
    CVImage grey(host.get());
    FillAlphaPicture(grey, 2, 1, {90, 90, 90, 100, 7, 7, 7, 0});
    FlattenAlphaPlane(grey);
    ASSERT_EQ(grey.BitCount(), 8);
    EXPECT_TRUE(grey.IsGrayRamp());
    EXPECT_EQ(grey.Row(0)[0], AlphaGreyLevel(90, 100));
    EXPECT_EQ(grey.Row(0)[1], kAlphaKeyLevel);

    // Whether a reader keeps the plane: only an alpha strictly between 0 and 255.
    const uint8_t keyed[] = {1, 2, 3, 0, 4, 5, 6, 255};
    const uint8_t partial[] = {1, 2, 3, 0, 4, 5, 6, 254};
    EXPECT_FALSE(AnyPartialAlpha(keyed, 2, 1, 8));
    EXPECT_TRUE(AnyPartialAlpha(partial, 2, 1, 8));
}
