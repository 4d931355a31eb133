// Turning pictures upright from their EXIF orientation at every depth the
// image record holds. The 24-bit turn is judged against ImageMagick in
// tests/plugins/metadata_test.cpp; here palette pictures of 1, 4 and 8 bits
// (odd sizes, so packed rows end inside a byte) must turn exactly as their
// 24-bit expansion does, and the turns must compose as rotations do.
#include "host/orientation.h"
#include "pixmill/cv_image.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace pixmill;
using namespace pixmill::test;

namespace {

// The colour of each pixel (0xRRGGBB), palette or not.
uint32_t ColourAt(const CVImage& image, int x, int y) {
    const uint32_t value = PixelAt(image, x, y);
    if (image.BitCount() == 24) {
        return value;
    }
    const RGBQUAD& c = image.palette[value];
    return uint32_t{c.rgbRed} << 16 | uint32_t{c.rgbGreen} << 8 | c.rgbBlue;
}

bool SameColours(const CVImage& a, const CVImage& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) {
        return false;
    }
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            if (ColourAt(a, x, y) != ColourAt(b, x, y)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

TEST(Orientation, PaletteDepthsTurnAsTheirColoursDoAndTurnsComposeAsRotations) {
    TestHost host;
    std::mt19937 random(36);
    constexpr int W = 13, H = 7;
    for (const int bits : {1, 4, 8}) {
        CVImage stored(host.get()), expanded(host.get());
        stored.Create(W, H, bits, 1 << bits, nullptr, 2000, 3000);
        FillRandomPalette(stored, random);
        expanded.Create(W, H, 24, 0, nullptr);
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                SetPixelAt(expanded, x, y, ColourAt(stored, x, y));
            }
        }
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(std::to_string(bits) + " bits, orientation " +
                         std::to_string(orientation));
            CVImage turned(host.get()), turnedColours(host.get());
            CVImage::CopyImage(&turned, &stored, nullptr);
            CVImage::CopyImage(&turnedColours, &expanded, nullptr);
            TurnUpright(turned, orientation);
            TurnUpright(turnedColours, orientation);
            EXPECT_TRUE(SameColours(turned, turnedColours));
            EXPECT_EQ(std::memcmp(turned.palette, stored.palette, sizeof stored.palette), 0);
            // The resolutions trade places with the sides.
            EXPECT_EQ(turned.header.biXPelsPerMeter,
                      OrientationSwapsSides(orientation) ? 3000 : 2000);
        }
        // A quarter turn clockwise (6) four times, a mirror (2, 4) or a
        // transposition (5, 7) twice: the stored picture again; two quarter
        // turns are a half turn (3), three a quarter turn back (8).
        const auto applied = [&](std::initializer_list<int> turns, CVImage& out) {
            CVImage::CopyImage(&out, &stored, nullptr);
            for (const int t : turns) {
                TurnUpright(out, t);
            }
        };
        CVImage out(host.get()), single(host.get());
        for (const auto& identity : {std::initializer_list<int>{6, 6, 6, 6}, {2, 2}, {4, 4},
                                     {5, 5}, {7, 7}}) {
            applied(identity, out);
            EXPECT_TRUE(SameColours(out, stored));
        }
        applied({6, 6}, out);
        applied({3}, single);
        EXPECT_TRUE(SameColours(out, single));
        applied({6, 6, 6}, out);
        applied({8}, single);
        EXPECT_TRUE(SameColours(out, single));
    }
    // Values outside 2..8 leave the picture as it is.
    CVImage picture(host.get());
    picture.Create(3, 2, 24, 0, nullptr);
    for (const int orientation : {0, 1, 9}) {
        TurnUpright(picture, orientation);
        EXPECT_EQ(picture.Width(), 3);
    }
}

TEST(Orientation, AnAlphaPlaneTurnsWithItsColours) {
    TestHost host;
    std::mt19937 random(7);
    constexpr int W = 5, H = 3;
    CVImage stored(host.get()), colours(host.get()), alphas(host.get());
    stored.CreateWithAlpha(W, H, 2000, 3000);
    colours.Create(W, H, 24, 0, nullptr);
    alphas.Create(W, H, 24, 0, nullptr);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const auto value = static_cast<uint32_t>(random());
            std::memcpy(stored.Row(y) + 4 * x, &value, 4);
            SetPixelAt(colours, x, y, value & 0xFFFFFF);
            SetPixelAt(alphas, x, y, value >> 24);
        }
    }
    for (int orientation = 2; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        CVImage turned(host.get()), turnedColours(host.get()), turnedAlphas(host.get());
        CVImage::CopyImage(&turned, &stored, nullptr);
        CVImage::CopyImage(&turnedColours, &colours, nullptr);
        CVImage::CopyImage(&turnedAlphas, &alphas, nullptr);
        TurnUpright(turned, orientation);
        TurnUpright(turnedColours, orientation);
        TurnUpright(turnedAlphas, orientation);
        ASSERT_TRUE(turned.HasAlphaPlane());
        EXPECT_EQ(turned.header.biXPelsPerMeter, OrientationSwapsSides(orientation) ? 3000 : 2000);
        for (int y = 0; y < turned.Height(); ++y) {
            for (int x = 0; x < turned.Width(); ++x) {
                uint32_t value = 0;
                std::memcpy(&value, turned.Row(y) + 4 * x, 4);
                EXPECT_EQ(value & 0xFFFFFF, PixelAt(turnedColours, x, y));
                EXPECT_EQ(value >> 24, PixelAt(turnedAlphas, x, y));
            }
        }
    }
}
