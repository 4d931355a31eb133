// The high-quality palette on its own and through the reduction: pictures
// with no more colours than wanted keep them exactly (also colours that share
// a histogram cell, and beside a transparent colour); the degenerate counts;
// entries never repeat; the palette does not depend on the number of threads.
#include "color_test_util.h"
#include "palette_reduce.h"
#include "quality_palette.h"

#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace pixmill;
using namespace pixmill::cedarcol;
using namespace pixmill::cedarcol::test;
using pixmill::test::PixelAt;
using pixmill::test::SetPixelAt;
using pixmill::test::TestHost;

namespace {

// A picture made of the given colours in a repeating pattern.
void FillWith(CVImage& image, const std::vector<uint32_t>& colours) {
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            SetPixelAt(
                image, x, y,
                colours[(static_cast<size_t>(y) * 7 + static_cast<size_t>(x)) % colours.size()]);
        }
    }
}

std::set<uint32_t> PackedSet(const RGBQUAD* palette, int count) {
    std::set<uint32_t> set;
    for (int i = 0; i < count; ++i) {
        set.insert(Packed(palette[i]));
    }
    return set;
}

} // namespace

TEST(QualityPalette, PicturesWithFewColoursKeepThemExactly) {
    TestHost host;
    std::mt19937 random(7);
    std::set<uint32_t> many;
    while (many.size() < 255) {
        many.insert(random() & 0xFFFFFF);
    }
    const std::vector<std::vector<uint32_t>> cases = {
        // Two pairs of colours one level apart, in the same 2 x 2 x 2 cell.
        {Packed(Rgb(66, 130, 194)), Packed(Rgb(67, 130, 194)), Packed(Rgb(2, 2, 2)),
         Packed(Rgb(3, 3, 3)), Packed(Rgb(250, 6, 10))},
        std::vector<uint32_t>(many.begin(), many.end()),
    };
    for (const std::vector<uint32_t>& colours : cases) {
        CVImage image(host.get());
        image.Create(64, 48, 24, 0, nullptr);
        FillWith(image, colours);
        const int count = static_cast<int>(colours.size());
        for (const int wanted : {count, 256}) {
            RGBQUAD palette[256];
            ASSERT_EQ(BuildQualityPalette(image, nullptr, wanted, palette), count);
            EXPECT_EQ(PackedSet(palette, count),
                      std::set<uint32_t>(colours.begin(), colours.end()));
        }
        // Through the reduction, directly and with diffusion (which then has
        // no error to spread); with a transparent colour beside them.
        for (const bool transparent : {false, true}) {
            if (transparent) {
                SetPixelAt(image, 5, 5, Packed(Rgb(1, 254, 1)));
                SetPixelAt(image, 6, 5, Packed(Rgb(1, 254, 1)));
            }
            for (const int dither : {0, 8}) {
                ReductionOptions options;
                options.highQuality = true;
                options.ditherLevel = dither;
                if (transparent) {
                    options.transparency.hasColor = 1;
                    options.transparency.color = Rgb(1, 254, 1);
                }
                CVImage reduced(host.get());
                Reduce(host.get(), image, reduced, options);
                for (int y = 0; y < image.Height(); ++y) {
                    for (int x = 0; x < image.Width(); ++x) {
                        const uint32_t index = PixelAt(reduced, x, y);
                        const bool key = transparent && y == 5 && (x == 5 || x == 6);
                        ASSERT_LT(index, key ? 256u : static_cast<uint32_t>(count));
                        ASSERT_EQ(Packed(reduced.palette[index]), PixelAt(image, x, y))
                            << count << " colours, dither " << dither << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(QualityPalette, DegenerateCountsAndDistinctEntries) {
    TestHost host;
    CVImage image(host.get());
    image.Create(40, 30, 24, 0, nullptr);
    // Every pixel skipped: one black entry.
    FillWith(image, {Packed(Rgb(9, 8, 7))});
    const RGBQUAD skip = Rgb(9, 8, 7);
    RGBQUAD palette[256];
    ASSERT_EQ(BuildQualityPalette(image, &skip, 256, palette), 1);
    EXPECT_EQ(Packed(palette[0]), Packed(Rgb(0, 0, 0)));
    // One entry for two colours in equal shares: their mean.
    FillWith(image, {Packed(Rgb(0, 0, 0)), Packed(Rgb(100, 50, 20))});
    ASSERT_EQ(BuildQualityPalette(image, nullptr, 1, palette), 1);
    EXPECT_EQ(Packed(palette[0]), Packed(Rgb(50, 25, 10)));
    // Many colours: every entry used differs from every other.
    std::mt19937 random(8);
    std::uniform_int_distribution<int> noise(-3, 3);
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            SetPixelAt(image, x, y,
                       Packed(Rgb(6 * x + noise(random) + 10, 8 * y + noise(random) + 10,
                                  (x * y) % 200 + noise(random) + 10)));
        }
    }
    for (const int wanted : {256, 64, 16}) {
        const int count = BuildQualityPalette(image, nullptr, wanted, palette);
        EXPECT_EQ(count, wanted);
        EXPECT_EQ(PackedSet(palette, count).size(), static_cast<size_t>(count)) << wanted;
    }
}

// Sets PIXMILL_PIXEL_THREADS for a test and puts back what was there.
class ThreadsSetting {
  public:
    ThreadsSetting() {
        if (const char* text = std::getenv("PIXMILL_PIXEL_THREADS")) {
            saved = text;
            had = true;
        }
    }
    ~ThreadsSetting() {
        had ? setenv("PIXMILL_PIXEL_THREADS", saved.c_str(), 1) : unsetenv("PIXMILL_PIXEL_THREADS");
    }
    void Set(const char* threads) { setenv("PIXMILL_PIXEL_THREADS", threads, 1); }

  private:
    std::string saved;
    bool had = false;
};

// Gradients with noise, as in photographs, large enough that its rows are
// gathered in several bands when there are threads for them: tens of
// thousands of occupied cells, so the Lloyd steps split their points into
// many shares. The palette is the same bytes on one, two and three threads.
TEST(QualityPalette, SameOnAnyNumberOfThreads) {
    TestHost host;
    CVImage image(host.get());
    image.Create(4096, 2048, 24, 0, nullptr);
    std::mt19937 random(11);
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            const int r = 255 * x / image.Width(), g = 255 * y / image.Height();
            const auto noise = static_cast<int>(random() % 21) - 10;
            SetPixelAt(image, x, y,
                       Packed(Rgb(std::clamp(r + noise, 0, 255), std::clamp(g - noise, 0, 255),
                                  std::clamp((r * g) / 255 + noise / 2, 0, 255))));
        }
    }
    ThreadsSetting threads;
    for (const int wanted : {256, 40}) {
        std::vector<uint32_t> first;
        for (const char* count : {"1", "2", "3"}) {
            threads.Set(count);
            RGBQUAD palette[256];
            ASSERT_EQ(BuildQualityPalette(image, nullptr, wanted, palette), wanted) << count;
            std::vector<uint32_t> entries;
            for (int i = 0; i < wanted; ++i) {
                entries.push_back(Packed(palette[i]));
            }
            if (first.empty()) {
                first = entries;
            }
            EXPECT_EQ(entries, first) << wanted << " colours on " << count << " threads";
        }
    }
}

// A large picture whose halves hold different colours, gathered in bands:
// the colours of all bands count, both when together they are few enough to
// keep exactly and when they are one too many.
TEST(QualityPalette, ColoursOfEveryBandCount) {
    TestHost host;
    CVImage image(host.get());
    image.Create(4096, 2048, 24, 0, nullptr);
    const std::vector<uint32_t> top = {Packed(Rgb(200, 10, 10)), Packed(Rgb(10, 200, 10))};
    const std::vector<uint32_t> bottom = {Packed(Rgb(10, 10, 200)), Packed(Rgb(90, 90, 90))};
    for (int y = 0; y < image.Height(); ++y) {
        const std::vector<uint32_t>& colours = y < image.Height() / 2 ? top : bottom;
        for (int x = 0; x < image.Width(); ++x) {
            SetPixelAt(image, x, y, colours[static_cast<size_t>(x + y) % 2]);
        }
    }
    ThreadsSetting threads;
    for (const char* count : {"1", "2"}) {
        threads.Set(count);
        RGBQUAD palette[256];
        ASSERT_EQ(BuildQualityPalette(image, nullptr, 4, palette), 4) << count;
        EXPECT_EQ(PackedSet(palette, 4), std::set<uint32_t>({top[0], top[1], bottom[0], bottom[1]}))
            << count;
        // One entry short: the colours are gathered into cells and refined.
        ASSERT_EQ(BuildQualityPalette(image, nullptr, 3, palette), 3) << count;
        EXPECT_EQ(PackedSet(palette, 3).size(), 3u) << count;
    }
}

// Small pictures find their cells by sorting, larger ones in a table. A
// picture and the same picture four times over (2 x 2) have the same cells
// at four times the weight, which leaves every sum and comparison exact, so
// the two ways give the same palette; with a skipped colour too.
TEST(QualityPalette, SmallAndLargePicturesGatherAlike) {
    TestHost host;
    CVImage small(host.get()), tiled(host.get());
    small.Create(256, 256, 24, 0, nullptr);
    tiled.Create(512, 512, 24, 0, nullptr);
    std::mt19937 random(12);
    const RGBQUAD skip = Rgb(1, 2, 3);
    for (int y = 0; y < small.Height(); ++y) {
        for (int x = 0; x < small.Width(); ++x) {
            const auto noise = static_cast<int>(random() % 9) - 4;
            const uint32_t colour = (x + y) % 97 == 0
                                        ? Packed(skip)
                                        : Packed(Rgb(std::clamp(x + noise, 0, 255), y,
                                                     std::clamp((x ^ y) / 2 + noise, 0, 255)));
            SetPixelAt(small, x, y, colour);
            for (const int dy : {0, 256}) {
                for (const int dx : {0, 256}) {
                    SetPixelAt(tiled, x + dx, y + dy, colour);
                }
            }
        }
    }
    for (const int wanted : {256, 16}) {
        for (const RGBQUAD* skipped : {static_cast<const RGBQUAD*>(nullptr), &skip}) {
            RGBQUAD once[256], four[256];
            const int count = BuildQualityPalette(small, skipped, wanted, once);
            ASSERT_EQ(BuildQualityPalette(tiled, skipped, wanted, four), count);
            EXPECT_EQ(std::memcmp(once, four, sizeof(RGBQUAD) * static_cast<size_t>(count)), 0)
                << wanted << (skipped != nullptr ? " colours, skipping one" : " colours");
        }
    }
}
