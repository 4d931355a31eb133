// Colour reduction: fixed palettes, median cut, web snapping, error limits,
// direct mapping and error diffusion, and the transparent entry.
#include "cedarcol_settings.h"
#include "color_test_util.h"
#include "palette_reduce.h"

#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace pixmill;
using namespace pixmill::cedarcol;
using namespace pixmill::cedarcol::test;
using pixmill::test::FillRandom;
using pixmill::test::PixelAt;
using pixmill::test::SetPixelAt;
using pixmill::test::TestHost;

namespace {

// A picture with smooth gradients and some noise: many distinct cells.
void FillPhotoLike(CVImage& image, std::mt19937& random) {
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            const int r = std::clamp(255 * x / image.Width() + noise(random), 0, 255);
            const int g = std::clamp(255 * y / image.Height() + noise(random), 0, 255);
            const int b = std::clamp((r + g) / 3 + noise(random), 0, 255);
            SetPixelAt(image, x, y, Packed(Rgb(r, g, b)));
        }
    }
}

// Every row the same: column x gets colour(x).
template <class Colour> void FillColumns(CVImage& image, Colour colour) {
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            SetPixelAt(image, x, y, Packed(colour(x)));
        }
    }
}

// Mean of the squared component differences between a 24-bit picture and its
// reduction, checking that every pixel uses one of the first colors entries.
double MeanSquaredError(const CVImage& source, const CVImage& reduced, int colors) {
    double sum = 0;
    for (int y = 0; y < source.Height(); ++y) {
        for (int x = 0; x < source.Width(); ++x) {
            const uint32_t index = PixelAt(reduced, x, y);
            EXPECT_LT(index, static_cast<uint32_t>(colors));
            const RGBQUAD a = Unpacked(PixelAt(source, x, y));
            const RGBQUAD& b = reduced.palette[index];
            for (const int d :
                 {a.rgbRed - b.rgbRed, a.rgbGreen - b.rgbGreen, a.rgbBlue - b.rgbBlue}) {
                sum += d * d;
            }
        }
    }
    return sum / (3.0 * source.Width() * source.Height());
}

std::vector<uint16_t> HistogramOf(const CVImage& image) {
    std::vector<uint16_t> cells(kHistogramCells);
    CountColors(image, cells.data(), nullptr);
    return cells;
}

} // namespace

TEST(FixedPalettes, EntriesSitAtTheirTabledPositions) {
    RGBQUAD p[256] = {};
    // Entries as (first plane, second plane, third plane) = blue, green, red.
    auto planes = [](const RGBQUAD& c) {
        return std::vector<int>{c.rgbBlue, c.rgbGreen, c.rgbRed};
    };
    using V = std::vector<int>;

    // The system palettes are the platforms' own, red first: dark red at 1,
    // sky blue at 9, cream at 246, the Macintosh ramps red, green, blue, grey.
    auto rgb = [](const RGBQUAD& c) { return std::vector<int>{c.rgbRed, c.rgbGreen, c.rgbBlue}; };
    ASSERT_EQ(LoadFixedPalette(PaletteWindows, p), 256);
    EXPECT_EQ(rgb(p[0]), (V{0, 0, 0}));
    EXPECT_EQ(rgb(p[1]), (V{128, 0, 0}));
    EXPECT_EQ(rgb(p[4]), (V{0, 0, 128}));
    EXPECT_EQ(rgb(p[8]), (V{192, 220, 192}));
    EXPECT_EQ(rgb(p[9]), (V{166, 202, 240}));
    EXPECT_EQ(rgb(p[10 + 36 * 1 + 6 * 2 + 3]), (V{51, 102, 153}));
    EXPECT_EQ(rgb(p[225]), (V{255, 255, 255}));
    EXPECT_EQ(rgb(p[226]), (V{6, 6, 6}));
    EXPECT_EQ(rgb(p[236]), (V{137, 137, 137}));
    EXPECT_EQ(rgb(p[243]), (V{253, 253, 253}));
    EXPECT_EQ(rgb(p[245]), (V{253, 0, 0}));
    EXPECT_EQ(rgb(p[246]), (V{255, 251, 240}));
    EXPECT_EQ(rgb(p[247]), (V{160, 160, 164}));
    EXPECT_EQ(rgb(p[249]), (V{255, 0, 0}));
    EXPECT_EQ(rgb(p[251]), (V{255, 255, 0}));
    EXPECT_EQ(rgb(p[252]), (V{0, 0, 255}));
    EXPECT_EQ(rgb(p[255]), (V{255, 255, 255}));

    ASSERT_EQ(LoadFixedPalette(PaletteMacintosh, p), 256);
    EXPECT_EQ(rgb(p[0]), (V{255, 255, 255}));
    EXPECT_EQ(rgb(p[1]), (V{255, 255, 204}));
    EXPECT_EQ(rgb(p[36]), (V{204, 255, 255}));
    EXPECT_EQ(rgb(p[214]), (V{0, 0, 51}));
    EXPECT_EQ(rgb(p[215]), (V{238, 0, 0}));
    EXPECT_EQ(rgb(p[224]), (V{17, 0, 0}));
    EXPECT_EQ(rgb(p[225]), (V{0, 238, 0}));
    EXPECT_EQ(rgb(p[236]), (V{0, 0, 221}));
    EXPECT_EQ(rgb(p[254]), (V{17, 17, 17}));
    EXPECT_EQ(rgb(p[255]), (V{0, 0, 0}));

    // The two web palettes hold the whole 6 x 6 x 6 cube, each in its order.
    for (int kind : {PaletteNetscape, PaletteExplorer}) {
        ASSERT_EQ(LoadFixedPalette(kind, p), 216);
        std::set<uint32_t> distinct;
        for (int i = 0; i < 216; ++i) {
            EXPECT_EQ(p[i].rgbRed % 51 + p[i].rgbGreen % 51 + p[i].rgbBlue % 51, 0);
            distinct.insert(Packed(p[i]));
        }
        EXPECT_EQ(distinct.size(), 216u);
    }
    LoadFixedPalette(PaletteNetscape, p);
    EXPECT_EQ(planes(p[0]), (V{255, 255, 255}));
    EXPECT_EQ(planes(p[36 + 12 + 3]), (V{204, 153, 102}));
    EXPECT_EQ(planes(p[215]), (V{0, 0, 0}));
    LoadFixedPalette(PaletteExplorer, p);
    EXPECT_EQ(planes(p[1]), (V{51, 0, 0}));
    EXPECT_EQ(planes(p[6]), (V{0, 51, 0}));
    EXPECT_EQ(planes(p[36]), (V{0, 0, 51}));

    const RGBQUAD before = p[0];
    EXPECT_EQ(LoadFixedPalette(PaletteAdaptive, p), 0);
    EXPECT_EQ(Packed(p[0]), Packed(before)) << "the adaptive kind loads nothing";
}

TEST(MedianCut, FewerDistinctCellsThanRequestedGiveOneExactEntryEach) {
    TestHost host;
    const RGBQUAD colours[5] = {Rgb(2, 2, 2), Rgb(250, 6, 10), Rgb(66, 130, 194), Rgb(66, 134, 194),
                                Rgb(254, 254, 254)};
    CVImage image(host.get());
    image.Create(13, 9, 24, 0, nullptr);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 13; ++x) {
            SetPixelAt(image, x, y, Packed(colours[(x + 2 * y) % 5]));
        }
    }
    // Colours at cell centres survive reduction unchanged, directly and with
    // error diffusion (which then has no error to spread).
    for (int requested : {16, 256}) {
        RGBQUAD palette[256];
        std::vector<uint16_t> cells = HistogramOf(image);
        EXPECT_EQ(MedianCut(cells.data(), requested, palette), 5);
        for (int dither : {0, 8}) {
            ReductionOptions options;
            options.colors = requested;
            options.bits = requested > 16 ? 8 : 4;
            options.ditherLevel = dither;
            CVImage reduced(host.get());
            Reduce(host.get(), image, reduced, options);
            EXPECT_EQ(reduced.paletteCount, requested);
            for (int y = 0; y < 9; ++y) {
                for (int x = 0; x < 13; ++x) {
                    const uint32_t index = PixelAt(reduced, x, y);
                    ASSERT_LT(index, 5u);
                    ASSERT_EQ(Packed(reduced.palette[index]), PixelAt(image, x, y))
                        << requested << " colours, dither " << dither;
                }
            }
        }
    }
}

TEST(MedianCut, BoxColourIsTheWeightedMeanAndEmptyHistogramGivesBlack) {
    std::vector<uint16_t> cells(kHistogramCells);
    cells[(3 << 12) | (10 << 6) | 20] = 3; // centres 14, 42, 82
    cells[(4 << 12) | (10 << 6) | 20] = 1; // blue centre 18
    RGBQUAD palette[256];
    ASSERT_EQ(MedianCut(cells.data(), 1, palette), 1);
    EXPECT_EQ(palette[0].rgbBlue, 15); // (3 * 14 + 18 + 2) / 4
    EXPECT_EQ(palette[0].rgbGreen, 42);
    EXPECT_EQ(palette[0].rgbRed, 82);

    std::vector<uint16_t> empty(kHistogramCells);
    EXPECT_EQ(MedianCut(empty.data(), 256, palette), 1);
    EXPECT_EQ(Packed(palette[0]), 0u);
}

TEST(WebSnapping, ToleranceDecidesWhichValuesMove) {
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(SnapToWebLevel(v, 0), v);
    }
    for (int v = 230; v < 256; ++v) {
        EXPECT_EQ(SnapToWebLevel(v, 25), 255);
    }
    for (int v = 0; v <= 25; ++v) {
        EXPECT_EQ(SnapToWebLevel(v, 25), 0);
    }
    EXPECT_EQ(SnapToWebLevel(229, 25), 204);
    EXPECT_EQ(SnapToWebLevel(76, 25), 51);
    EXPECT_EQ(SnapToWebLevel(77, 25), 102);
    EXPECT_EQ(SnapToWebLevel(92, 10), 102);
    EXPECT_EQ(SnapToWebLevel(90, 10), 90);
    EXPECT_EQ(SnapToWebLevel(8, 10), 0);
}

TEST(ErrorLimit, LevelsBoundTheDiffusedError) {
    struct Case {
        int level;
        bool oneBit;
        int bound;
    };
    for (const Case c : {Case{1, false, 2}, Case{10, false, 32}, Case{10, true, 80},
                         Case{1, true, 8}, Case{8, false, 36}, Case{11, false, 36}}) {
        int limit[511];
        BuildErrorLimit(c.level, c.oneBit, limit);
        const int* at = limit + 255;
        EXPECT_EQ(at[0], 0);
        EXPECT_EQ(at[1], 1) << "small errors pass unchanged";
        EXPECT_EQ(at[255], c.bound) << "level " << c.level << (c.oneBit ? " 1-bit" : "");
        for (int e = 1; e <= 255; ++e) {
            ASSERT_EQ(at[-e], -at[e]);
            ASSERT_GE(at[e], at[e - 1]);
            ASSERT_LE(at[e], e);
        }
    }
}

// Test pictures of different kinds: photograph-like gradients with noise
// (with and without flat patches), smooth ramps, a few flat colours with a
// little noise, and noise over the whole cube; the largest has more colours
// than the high-quality palette keeps apart, so its cells are merged, and is
// reduced with one set of options only (it takes long).
struct TestPicture {
    std::string name;
    std::unique_ptr<CVImage> image;
    bool everyOption = true;
};

std::vector<TestPicture> HighQualityTestPictures(CPluginHost* host) {
    std::vector<TestPicture> pictures;
    auto add = [&](const std::string& name, int width, int height) -> CVImage& {
        pictures.push_back({name, std::make_unique<CVImage>(host)});
        pictures.back().image->Create(width, height, 24, 0, nullptr);
        return *pictures.back().image;
    };
    for (const uint32_t seed : {1u, 2u, 3u}) {
        std::mt19937 random(seed);
        CVImage& image =
            add("photo-like " + std::to_string(seed), 160 + 17 * static_cast<int>(seed), 120);
        FillPhotoLike(image, random);
        if (seed == 3) { // a few flat patches over the gradients
            for (int y = 20; y < 60; ++y) {
                for (int x = 30; x < 90; ++x) {
                    SetPixelAt(image, x, y, Packed(Rgb(200, 30, 40)));
                }
            }
        }
    }
    CVImage& ramps = add("ramps", 256, 96);
    for (int y = 0; y < ramps.Height(); ++y) {
        for (int x = 0; x < ramps.Width(); ++x) {
            const int band = y / 32; // grey, a red-to-blue ramp, a dark green one
            SetPixelAt(ramps, x, y,
                       Packed(band == 0   ? Rgb(x, x, x)
                              : band == 1 ? Rgb(255 - x, 40, x)
                                          : Rgb(10, x / 3, 20)));
        }
    }
    std::mt19937 random(5);
    CVImage& flat = add("few colours with noise", 150, 100);
    std::uniform_int_distribution<int> jitter(-2, 2);
    const RGBQUAD flats[6] = {Rgb(250, 250, 250), Rgb(20, 20, 30),   Rgb(200, 30, 40),
                              Rgb(30, 120, 200),  Rgb(240, 200, 40), Rgb(90, 160, 80)};
    for (int y = 0; y < flat.Height(); ++y) {
        for (int x = 0; x < flat.Width(); ++x) {
            const RGBQUAD& c = flats[(x / 25 + y / 50 * 3) % 6];
            SetPixelAt(flat, x, y,
                       Packed(Rgb(std::clamp(c.rgbRed + jitter(random), 0, 255),
                                  std::clamp(c.rgbGreen + jitter(random), 0, 255),
                                  std::clamp(c.rgbBlue + jitter(random), 0, 255))));
        }
    }
    FillRandom(add("noise", 256, 256), random);
    FillRandom(add("noise, merged cells", 640, 480), random);
    pictures.back().everyOption = false;
    return pictures;
}

// On every kind of picture the high-quality palette's error is below the
// median cut's, with and without diffusion, at 256 and 16 colours; only
// entries of the palette are used; the same picture gives the same bytes,
// whether its rows are mapped on three threads or on one.
TEST(Reduction, HighQualityPaletteBeatsTheMedianCut) {
    TestHost host;
    struct ThreadsRestored {
        ~ThreadsRestored() { unsetenv("PIXMILL_PIXEL_THREADS"); }
    } restored;
    for (const auto& [name, picture, everyOption] : HighQualityTestPictures(host.get())) {
        const CVImage& image = *picture;
        for (const int colors : {256, 16}) {
            for (const int dither : {0, 8}) {
                if (!everyOption && (colors != 256 || dither != 0)) {
                    continue;
                }
                ReductionOptions options;
                options.colors = colors;
                options.bits = colors == 256 ? 8 : 4;
                options.ditherLevel = dither;
                CVImage cut(host.get()), refined(host.get()), again(host.get());
                Reduce(host.get(), image, cut, options);
                options.highQuality = true;
                setenv("PIXMILL_PIXEL_THREADS", "3", 1);
                Reduce(host.get(), image, refined, options);
                const double before = MeanSquaredError(image, cut, colors);
                const double after = MeanSquaredError(image, refined, colors);
                const std::string where = name + ", " + std::to_string(colors) +
                                          " colours, dither " + std::to_string(dither);
                EXPECT_LT(after, before) << where;
                setenv("PIXMILL_PIXEL_THREADS", "1", 1);
                Reduce(host.get(), image, again, options);
                ASSERT_EQ(std::memcmp(refined.bits, again.bits, refined.ImageBytes()), 0) << where;
                EXPECT_EQ(std::memcmp(refined.palette, again.palette, sizeof refined.palette), 0)
                    << where;
            }
        }
    }
}

// High-quality diffusion backs off where a pixel is already near an entry:
// a flat area whose colour the palette holds stays one index, grain-free,
// and over the whole picture the error stays near the undithered one while
// full-strength diffusion adds much more; only palette entries are used.
TEST(Reduction, HighQualityDiffusionBacksOffWhereTheErrorIsSmall) {
    TestHost host;
    std::mt19937 random(4);
    CVImage image(host.get());
    image.Create(200, 150, 24, 0, nullptr);
    // Soft gradients with a little noise, as in skies and backgrounds.
    std::uniform_int_distribution<int> noise(-1, 1);
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            const int r = std::clamp(40 + x / 2 + noise(random), 0, 255);
            const int g = std::clamp(60 + y / 2 + noise(random), 0, 255);
            SetPixelAt(image, x, y, Packed(Rgb(r, g, (r + g) / 2)));
        }
    }
    for (int y = 40; y < 110; ++y) {
        for (int x = 50; x < 150; ++x) {
            SetPixelAt(image, x, y, Packed(Rgb(200, 30, 40)));
        }
    }
    ReductionOptions options;
    options.highQuality = true;
    CVImage plain(host.get()), backedOff(host.get()), full(host.get());
    Reduce(host.get(), image, plain, options);
    options.ditherLevel = 8;
    Reduce(host.get(), image, backedOff, options);
    options.highQuality = false;
    Reduce(host.get(), image, full, options);

    std::set<uint32_t> inside;
    for (int y = 45; y < 105; ++y) {
        for (int x = 55; x < 145; ++x) {
            inside.insert(PixelAt(backedOff, x, y));
        }
    }
    EXPECT_EQ(inside.size(), 1u);
    const double undithered = MeanSquaredError(image, plain, 256);
    const double dithered = MeanSquaredError(image, backedOff, 256);
    EXPECT_LT(dithered, 1.25 * undithered);
    EXPECT_LT(dithered, MeanSquaredError(image, full, 256));
}

// Where entries lie far apart, as on a smooth ramp with few colours, the
// high-quality diffusion still works: averaged over a few pixels the result
// follows the ramp much more closely than the undithered bands do.
TEST(Reduction, HighQualityDiffusionStillBreaksUpBands) {
    TestHost host;
    CVImage image(host.get());
    image.Create(240, 24, 24, 0, nullptr);
    FillColumns(image, [](int x) { return Rgb(10 + x, 30 + x / 2, 60 + x / 3); });
    // Error of the mean over 8 x 8 blocks.
    auto blockError = [&](const CVImage& reduced) {
        double sum = 0;
        for (int by = 0; by < image.Height(); by += 8) {
            for (int bx = 0; bx < image.Width(); bx += 8) {
                int difference[3] = {0, 0, 0};
                for (int y = by; y < by + 8; ++y) {
                    for (int x = bx; x < bx + 8; ++x) {
                        const RGBQUAD a = Unpacked(PixelAt(image, x, y));
                        const RGBQUAD& b = reduced.palette[PixelAt(reduced, x, y)];
                        difference[0] += a.rgbRed - b.rgbRed;
                        difference[1] += a.rgbGreen - b.rgbGreen;
                        difference[2] += a.rgbBlue - b.rgbBlue;
                    }
                }
                for (const int d : difference) {
                    sum += (d / 64.0) * (d / 64.0);
                }
            }
        }
        return sum;
    };
    ReductionOptions options;
    options.colors = 16;
    options.bits = 4;
    options.highQuality = true;
    CVImage plain(host.get()), dithered(host.get());
    Reduce(host.get(), image, plain, options);
    options.ditherLevel = 8;
    Reduce(host.get(), image, dithered, options);
    EXPECT_LT(blockError(dithered), blockError(plain) / 3);
}

// The high-quality diffusion runs in bands of 128 rows, each starting a few
// rows above its first one: the first row of a band makes up for the error
// of the row above it like every other row, so no seam shows (without
// those rows the seams' local error is a third above the worst elsewhere),
// and the bands do not depend on the number of threads.
TEST(Reduction, HighQualityDiffusionShowsNoSeamBetweenBands) {
    TestHost host;
    CVImage image(host.get());
    image.Create(400, 520, 24, 0, nullptr);
    FillColumns(image, [](int x) { return Rgb(20 + x / 2, 40 + x / 4, 90 + x / 8); });
    ReductionOptions options;
    options.colors = 16;
    options.bits = 4;
    options.ditherLevel = 8;
    options.highQuality = true;
    // The bands give the same bytes on one thread as on three.
    struct ThreadsRestored {
        ~ThreadsRestored() { unsetenv("PIXMILL_PIXEL_THREADS"); }
    } restored;
    CVImage reduced(host.get()), alone(host.get());
    setenv("PIXMILL_PIXEL_THREADS", "3", 1);
    Reduce(host.get(), image, reduced, options);
    setenv("PIXMILL_PIXEL_THREADS", "1", 1);
    Reduce(host.get(), image, alone, options);
    ASSERT_EQ(std::memcmp(reduced.bits, alone.bits, reduced.ImageBytes()), 0);
    // Error per pixel, rows counted in the order they are stored and
    // diffused (bottom up).
    const int width = image.Width(), height = image.Height();
    std::vector<int> error(static_cast<size_t>(width * height));
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            const RGBQUAD a = Unpacked(PixelAt(image, x, height - 1 - row));
            const RGBQUAD& b = reduced.palette[PixelAt(reduced, x, height - 1 - row)];
            error[static_cast<size_t>(row * width + x)] =
                (a.rgbRed - b.rgbRed) + (a.rgbGreen - b.rgbGreen) + (a.rgbBlue - b.rgbBlue);
        }
    }
    // What a row pushes down is made up for by the row below it, so over a
    // few pixels of two neighbouring rows the error nearly cancels; across a
    // seam without the rows above it would not.
    auto pairError = [&](int row) {
        double sum = 0;
        for (int x = 0; x + 8 <= width; x += 8) {
            int local = 0;
            for (int k = x; k < x + 8; ++k) {
                local += error[static_cast<size_t>((row - 1) * width + k)] +
                         error[static_cast<size_t>(row * width + k)];
            }
            sum += std::abs(local);
        }
        return sum / (width / 8);
    };
    double worstElsewhere = 0;
    for (int row = 2; row < height; ++row) {
        if (row % 128 != 0) {
            worstElsewhere = std::max(worstElsewhere, pairError(row));
        }
    }
    for (int row = 128; row < height; row += 128) {
        EXPECT_LE(pairError(row), worstElsewhere) << "first row of a band: " << row;
    }
}

TEST(Reduction, DirectMappingTakesTheNearestEntry) {
    TestHost host;
    std::mt19937 random(11);
    CVImage image(host.get());
    image.Create(37, 23, 24, 0, nullptr); // odd width: packed rows end mid-byte
    FillRandom(image, random);
    RGBQUAD windows[256] = {};
    LoadFixedPalette(PaletteWindows, windows);
    struct Case {
        int colors, bits;
        const RGBQUAD* fixed;
    };
    for (const Case c : {Case{256, 8, nullptr}, Case{16, 4, nullptr}, Case{7, 4, nullptr},
                         Case{256, 8, windows}}) {
        ReductionOptions options;
        options.colors = c.colors;
        options.bits = c.bits;
        options.fixedPalette = c.fixed;
        CVImage reduced(host.get());
        Reduce(host.get(), image, reduced, options);
        ASSERT_EQ(reduced.BitCount(), c.bits);
        for (int y = 0; y < image.Height(); ++y) {
            for (int x = 0; x < image.Width(); ++x) {
                const RGBQUAD colour = Unpacked(PixelAt(image, x, y));
                ASSERT_EQ(PixelAt(reduced, x, y),
                          static_cast<uint32_t>(BruteNearest(reduced.palette, c.colors, colour)))
                    << c.colors << " colours at " << x << "," << y;
            }
        }
    }
}

TEST(Reduction, DiffusionKeepsIndicesInThePaletteAndFollowsTheImage) {
    TestHost host;
    std::mt19937 random(12);
    CVImage image(host.get());
    image.Create(61, 40, 24, 0, nullptr);
    FillPhotoLike(image, random);
    for (int bits : {1, 4, 8}) {
        for (int level : {1, 5, 10}) {
            ReductionOptions options;
            options.colors = 1 << bits;
            options.bits = bits;
            options.ditherLevel = level;
            CVImage reduced(host.get());
            Reduce(host.get(), image, reduced, options);
            long long error = 0;
            for (int y = 0; y < image.Height(); ++y) {
                for (int x = 0; x < image.Width(); ++x) {
                    const uint32_t index = PixelAt(reduced, x, y);
                    ASSERT_LT(index, reduced.paletteCount);
                    const RGBQUAD a = Unpacked(PixelAt(image, x, y));
                    const RGBQUAD b = reduced.palette[index];
                    error += std::abs(a.rgbRed - b.rgbRed) + std::abs(a.rgbGreen - b.rgbGreen) +
                             std::abs(a.rgbBlue - b.rgbBlue);
                }
            }
            const double mean = static_cast<double>(error) / (3.0 * 61 * 40);
            const double bound = bits == 1 ? 110 : bits == 4 ? 40 : 12;
            EXPECT_LT(mean, bound) << bits << " bits, level " << level;
        }
    }
}

namespace {

// Serpentine Floyd-Steinberg written the plain way: whole error rows, each
// pixel's error handed to its four neighbours (in sixteenths), the nearest
// entry found by searching the palette.
std::vector<int> ReferenceDiffusion(const CVImage& image, const RGBQUAD* palette, int searched,
                                    int level, bool oneBit, const RGBQUAD* transparent,
                                    int transparentIndex) {
    int limit[511];
    BuildErrorLimit(level, oneBit, limit);
    const int w = image.Width(), h = image.Height();
    std::vector<int> indices(static_cast<size_t>(w) * h);
    std::vector<int> incoming(static_cast<size_t>(w + 2) * 3, 0);
    for (int row = 0; row < h; ++row) {
        const int y = h - 1 - row; // storage order: the bottom row first
        const int dir = row % 2 == 0 ? 1 : -1;
        std::vector<int> next(static_cast<size_t>(w + 2) * 3, 0);
        int carried[3] = {0, 0, 0};
        for (int n = 0; n < w; ++n) {
            const int x = dir > 0 ? n : w - 1 - n;
            const RGBQUAD pixel = Unpacked(PixelAt(image, x, y));
            const int in[3] = {pixel.rgbBlue, pixel.rgbGreen, pixel.rgbRed};
            int index, err[3] = {0, 0, 0};
            if (transparent != nullptr && Packed(pixel) == Packed(*transparent)) {
                index = transparentIndex;
            } else {
                int value[3];
                for (int c = 0; c < 3; ++c) {
                    const int total = incoming[(x + 1) * 3 + c] + carried[c];
                    value[c] = std::clamp(in[c] + limit[255 + ((total + 8) >> 4)], 0, 255);
                }
                index = BruteNearest(palette, searched, Rgb(value[2], value[1], value[0]));
                err[0] = value[0] - palette[index].rgbBlue;
                err[1] = value[1] - palette[index].rgbGreen;
                err[2] = value[2] - palette[index].rgbRed;
            }
            for (int c = 0; c < 3; ++c) {
                next[(x + 1 - dir) * 3 + c] += 3 * err[c];
                next[(x + 1) * 3 + c] += 5 * err[c];
                next[(x + 1 + dir) * 3 + c] += err[c];
                carried[c] = 7 * err[c];
            }
            indices[static_cast<size_t>(y) * w + x] = index;
        }
        incoming = next;
    }
    return indices;
}

} // namespace

TEST(Reduction, DiffusionMatchesThePlainFormulation) {
    TestHost host;
    std::mt19937 random(14);
    CVImage image(host.get());
    image.Create(45, 31, 24, 0, nullptr);
    FillPhotoLike(image, random);
    const RGBQUAD key = Unpacked(PixelAt(image, 3, 3));
    struct Case {
        int colors, bits, level;
        bool transparent;
    };
    for (const Case c : {Case{16, 4, 5, false}, Case{256, 8, 10, false}, Case{2, 1, 10, false},
                         Case{2, 1, 1, false}, Case{12, 4, 8, true}}) {
        ReductionOptions options;
        options.colors = c.colors;
        options.bits = c.bits;
        options.ditherLevel = c.level;
        if (c.transparent) {
            options.transparency = TransparencyInfo{key, 1};
        }
        CVImage reduced(host.get());
        Reduce(host.get(), image, reduced, options);
        const int searched = c.transparent ? c.colors - 1 : c.colors;
        const std::vector<int> expected =
            ReferenceDiffusion(image, reduced.palette, searched, c.level, c.bits == 1,
                               c.transparent ? &key : nullptr, c.colors - 1);
        for (int y = 0; y < image.Height(); ++y) {
            for (int x = 0; x < image.Width(); ++x) {
                ASSERT_EQ(PixelAt(reduced, x, y),
                          static_cast<uint32_t>(expected[static_cast<size_t>(y) * 45 + x]))
                    << c.colors << " colours, level " << c.level << " at " << x << "," << y;
            }
        }
    }
}

TEST(Reduction, DiffusionSpreadsTheErrorOverNeighbours) {
    // A flat colour between two palette levels: mapped directly every pixel
    // takes the same entry; diffused, the mean comes close to the colour.
    TestHost host;
    RGBQUAD explorer[256] = {};
    LoadFixedPalette(PaletteExplorer, explorer);
    CVImage image(host.get());
    image.Create(48, 48, 24, 0, nullptr);
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 48; ++x) {
            SetPixelAt(image, x, y, Packed(Rgb(30, 30, 30)));
        }
    }
    auto meanRed = [&](int level) {
        ReductionOptions options;
        options.colors = 216;
        options.bits = 8;
        options.fixedPalette = explorer;
        options.ditherLevel = level;
        CVImage reduced(host.get());
        Reduce(host.get(), image, reduced, options);
        double sum = 0;
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 48; ++x) {
                sum += reduced.palette[PixelAt(reduced, x, y)].rgbRed;
            }
        }
        return sum / (48 * 48);
    };
    EXPECT_DOUBLE_EQ(meanRed(0), 51);
    EXPECT_NEAR(meanRed(10), 30, 4);
}

TEST(Reduction, TwoColourTargetsAreBlackAndWhite) {
    TestHost host;
    RGBQUAD netscape[256] = {};
    LoadFixedPalette(PaletteNetscape, netscape);
    CVImage image(host.get());
    image.Create(5, 1, 24, 0, nullptr);
    const int greys[5] = {0, 127, 128, 200, 255};
    for (int x = 0; x < 5; ++x) {
        SetPixelAt(image, x, 0, Packed(Rgb(greys[x], greys[x], greys[x])));
    }
    ReductionOptions options;
    options.colors = 2;
    options.bits = 1;
    options.threshold = 128;
    options.fixedPalette = netscape;
    CVImage reduced(host.get());
    Reduce(host.get(), image, reduced, options);
    EXPECT_EQ(Packed(reduced.palette[0]), 0x000000u);
    EXPECT_EQ(Packed(reduced.palette[1]), 0xFFFFFFu);
    const uint32_t expected[5] = {0, 0, 1, 1, 1};
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(PixelAt(reduced, x, 0), expected[x]) << "grey " << greys[x];
    }
    // The threshold compares the weighted luminance: pure red is 76.
    SetPixelAt(image, 0, 0, Packed(Rgb(255, 0, 0)));
    options.threshold = 76;
    Reduce(host.get(), image, reduced, options);
    EXPECT_EQ(PixelAt(reduced, 0, 0), 1u);
    options.threshold = 77;
    Reduce(host.get(), image, reduced, options);
    EXPECT_EQ(PixelAt(reduced, 0, 0), 0u);
}

TEST(Reduction, TransparentColourKeepsTheLastRequestedEntry) {
    TestHost host;
    std::mt19937 random(13);
    const RGBQUAD key = Rgb(250, 3, 7);
    CVImage image(host.get());
    image.Create(40, 30, 24, 0, nullptr);
    FillPhotoLike(image, random);
    std::vector<std::pair<int, int>> keyed;
    for (int k = 0; k < 150; ++k) {
        const int x = static_cast<int>(random() % 40), y = static_cast<int>(random() % 30);
        SetPixelAt(image, x, y, Packed(key));
        keyed.emplace_back(x, y);
    }
    RGBQUAD windows[256] = {};
    LoadFixedPalette(PaletteWindows, windows);
    for (const RGBQUAD* fixed :
         {static_cast<const RGBQUAD*>(nullptr), static_cast<const RGBQUAD*>(windows)}) {
        for (int dither : {0, 8}) {
            const int requested = fixed ? 256 : 16;
            ReductionOptions options;
            options.colors = requested;
            options.bits = requested > 16 ? 8 : 4;
            options.ditherLevel = dither;
            options.tolerance = 25; // snapping leaves the transparent entry alone
            options.fixedPalette = fixed;
            options.transparency = TransparencyInfo{key, 1};
            CVImage reduced(host.get());
            Reduce(host.get(), image, reduced, options);
            const uint32_t last = static_cast<uint32_t>(requested - 1);
            ASSERT_EQ(Packed(reduced.palette[last]), Packed(key));
            EXPECT_EQ(reduced.hasTransparentColor, 1);
            for (auto [x, y] : keyed) {
                ASSERT_EQ(PixelAt(reduced, x, y), last);
            }
            int keyedPixels = 0;
            for (int y = 0; y < 30; ++y) {
                for (int x = 0; x < 40; ++x) {
                    keyedPixels += PixelAt(reduced, x, y) == last ? 1 : 0;
                    if (!fixed && PixelAt(reduced, x, y) != last) {
                        const RGBQUAD c = reduced.palette[PixelAt(reduced, x, y)];
                        ASSERT_EQ(c.rgbRed % 51 + c.rgbGreen % 51 + c.rgbBlue % 51, 0);
                    }
                }
            }
            std::set<std::pair<int, int>> distinct(keyed.begin(), keyed.end());
            EXPECT_EQ(keyedPixels, static_cast<int>(distinct.size()))
                << "only transparent pixels take the transparent entry";
        }
    }

    // Every pixel transparent: an empty histogram still gives a palette.
    CVImage flat(host.get());
    flat.Create(4, 4, 24, 0, nullptr);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            SetPixelAt(flat, x, y, Packed(key));
        }
    }
    ReductionOptions options;
    options.colors = 256;
    options.transparency = TransparencyInfo{key, 1};
    CVImage reduced(host.get());
    Reduce(host.get(), flat, reduced, options);
    EXPECT_EQ(PixelAt(reduced, 2, 2), 255u);
    EXPECT_EQ(Packed(reduced.palette[255]), Packed(key));
}
