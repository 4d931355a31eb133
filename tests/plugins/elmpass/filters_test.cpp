// The filters called directly, against slow references written from the rules
// in the plainest form: every neighbour looked up by coordinates, outside
// neighbours mirrored across the pixel, extended precision for Smooth, a full
// sort for Median, one value at a time for Despeckle. Random images of every
// size from 1x1 to 6x6 cover all border and corner cases.
#include "filters.h"

#include "host/progress.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace pixmill;
using namespace pixmill::test;
namespace ep = pixmill::elmpass;

namespace {

int Clamp(long long v) {
    return static_cast<int>(std::clamp<long long>(v, 0, 255));
}

// The values of an image in storage order: row 0 is the first stored row.
struct Values {
    int width = 0;
    int height = 0;
    int channels = 1;
    std::vector<int> v;

    int& At(int x, int r, int ch) {
        return v[(static_cast<size_t>(r) * width + x) * channels + ch];
    }
    int Get(int x, int r, int ch) const {
        return v[(static_cast<size_t>(r) * width + x) * channels + ch];
    }
    // The neighbour at (x + dx, r + dy); outside the image it is mirrored
    // across the pixel.
    int Mirrored(int x, int r, int dx, int dy, int ch) const {
        int nx = x + dx;
        int ny = r + dy;
        if (nx < 0 || nx >= width) {
            nx = x - dx;
        }
        if (ny < 0 || ny >= height) {
            ny = r - dy;
        }
        return Get(nx, ny, ch);
    }
    int MirroredSum(int x, int r, int ch) const {
        int sum = 0;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (dx != 0 || dy != 0) {
                    sum += Mirrored(x, r, dx, dy, ch);
                }
            }
        }
        return sum;
    }
};

Values ValuesOf(const CVImage& image) {
    Values values;
    values.width = image.Width();
    values.height = image.Height();
    values.channels = image.BitCount() == 24 ? 3 : 1;
    values.v.resize(static_cast<size_t>(values.width) * values.height * values.channels);
    for (int r = 0; r < values.height; ++r) {
        const uint8_t* row = image.bits + image.Stride() * static_cast<size_t>(r);
        for (int i = 0; i < values.width * values.channels; ++i) {
            values.v[static_cast<size_t>(r) * values.width * values.channels + i] = row[i];
        }
    }
    return values;
}

Values ReferenceSmooth(const Values& in, int s) {
    Values out = in;
    if (in.width < 2 || in.height < 2) {
        return out;
    }
    const float w = static_cast<float>(s * 0.00125);
    const float centre = static_cast<float>(1.0 - 8.0 * static_cast<double>(w));
    for (int r = 0; r < in.height; ++r) {
        for (int x = 0; x < in.width; ++x) {
            for (int ch = 0; ch < in.channels; ++ch) {
                const int c = in.Get(x, r, ch);
                if (r == 0 && (x == 0 || x == in.width - 1)) {
                    const int beside = in.Get(x == 0 ? 1 : x - 1, 0, ch);
                    out.At(x, r, ch) = (c + beside + 1) >> 1;
                    continue;
                }
                const long double n = in.MirroredSum(x, r, ch);
                const long double value =
                    static_cast<long double>(w) * n + static_cast<long double>(centre) * c;
                out.At(x, r, ch) = Clamp(static_cast<long long>(value + 0.5L));
            }
        }
    }
    return out;
}

Values ReferenceSharpen(const Values& in, int s) {
    Values out = in;
    if (in.width < 2 || in.height < 2) {
        return out;
    }
    for (int r = 0; r < in.height; ++r) {
        for (int x = 0; x < in.width; ++x) {
            for (int ch = 0; ch < in.channels; ++ch) {
                const int c = in.Get(x, r, ch);
                if (r == 0 && x == 0) {
                    out.At(x, r, ch) = Clamp(2 * c - in.Get(1, 0, ch));
                } else if (r == 0 && x == in.width - 1) {
                    out.At(x, r, ch) = (in.Get(x - 1, 0, ch) + c + 1) >> 1;
                } else {
                    const int n = in.MirroredSum(x, r, ch);
                    out.At(x, r, ch) = Clamp(c + (s * (c - n / 8)) / 15);
                }
            }
        }
    }
    return out;
}

Values ReferenceMedian(const Values& in) {
    Values out = in;
    for (int r = 1; r < in.height - 1; ++r) {
        for (int x = 1; x < in.width - 1; ++x) {
            for (int ch = 0; ch < in.channels; ++ch) {
                std::vector<int> nine;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        nine.push_back(in.Get(x + dx, r + dy, ch));
                    }
                }
                std::sort(nine.begin(), nine.end());
                out.At(x, r, ch) = nine[4];
            }
        }
    }
    return out;
}

// One in-place sweep over the interior in storage order, left to right.
// rule(c, neighbours) gets the eight neighbours in the order upper-left,
// upper, upper-right, left, right, lower-left, lower, lower-right, where
// "upper" is the row before in storage order.
void Sweep(Values& image, const std::function<int(int, const int*)>& rule) {
    for (int r = 1; r < image.height - 1; ++r) {
        for (int x = 1; x < image.width - 1; ++x) {
            for (int ch = 0; ch < image.channels; ++ch) {
                const int n[8] = {image.Get(x - 1, r - 1, ch), image.Get(x, r - 1, ch),
                                  image.Get(x + 1, r - 1, ch), image.Get(x - 1, r, ch),
                                  image.Get(x + 1, r, ch),     image.Get(x - 1, r + 1, ch),
                                  image.Get(x, r + 1, ch),     image.Get(x + 1, r + 1, ch)};
                image.At(x, r, ch) = rule(image.Get(x, r, ch), n);
            }
        }
    }
}

// Opposite pairs (a, b): (upper-left, lower-right), (upper, lower),
// (upper-right, lower-left), (left, right) as indices into the neighbours.
const int kPairs[4][2] = {{0, 7}, {1, 6}, {2, 5}, {3, 4}};

Values ReferenceDespeckle(const Values& in, int s) {
    Values out = in;
    if (in.width < 3 || in.height < 3) {
        return out;
    }
    int t = ((50 - s) * 2) / 7;
    if (t < 0) {
        t = 0;
    }
    if (in.channels == 1) {
        Sweep(out, [t](int c, const int* n) {
            int k = 0;
            for (int i = 0; i < 8; ++i) {
                k += n[i] > Clamp(c + t);
            }
            return Clamp(c + k);
        });
        Sweep(out, [t](int c, const int* n) {
            int k = 0;
            for (const auto& pair : kPairs) {
                k += n[pair[0]] > Clamp(c - t - 1) && n[pair[1]] > Clamp(c - t);
            }
            return Clamp(c + 2 * k);
        });
        Sweep(out, [t](int c, const int* n) {
            int k = 0;
            for (int i = 0; i < 8; ++i) {
                k += n[i] < Clamp(Clamp(c - 1) + t);
            }
            return Clamp(c - k);
        });
        Sweep(out, [t](int c, const int* n) {
            int k = 0;
            for (const auto& pair : kPairs) {
                k += n[pair[0]] < Clamp(c - t - 1) && n[pair[1]] < Clamp(c - t);
            }
            return Clamp(c - 2 * k);
        });
    } else {
        Sweep(out, [t](int v, const int* n) {
            int sum = 0;
            for (int i = 0; i < 8; ++i) {
                sum += (n[i] > Clamp(v + t)) - (n[i] < Clamp(v + t));
            }
            return Clamp(v + sum);
        });
        Sweep(out, [t](int v, const int* n) {
            const int l1 = Clamp(v - t - 1);
            const int l2 = Clamp(v - t);
            int sum = 0;
            for (const auto& pair : kPairs) {
                for (int order = 0; order < 2; ++order) {
                    const int first = n[pair[order]];
                    const int second = n[pair[1 - order]];
                    sum += first > l1 && second > l2;
                    sum -= first < l1 && second < l2;
                }
            }
            return Clamp(v + sum);
        });
    }
    return out;
}

struct ImageFactory {
    TestHost host;
    std::mt19937 random{20240611};

    // A random 24-bit image or 8-bit image with a grey ramp palette.
    std::unique_ptr<CVImage> Random(int width, int height, int bitCount) {
        auto image = std::make_unique<CVImage>(host.get());
        image->Create(width, height, bitCount, bitCount == 8 ? 256 : 0, nullptr, 2835, 3780);
        if (bitCount == 8) {
            SetGrayRamp(*image);
        }
        FillRandom(*image, random);
        return image;
    }
};

std::string Describe(const Values& a, const Values& b) {
    for (size_t i = 0; i < a.v.size(); ++i) {
        if (a.v[i] != b.v[i]) {
            const size_t pixel = i / a.channels;
            return "first difference at x=" + std::to_string(pixel % a.width) +
                   " stored row=" + std::to_string(pixel / a.width) +
                   " channel=" + std::to_string(i % a.channels) + ": " + std::to_string(a.v[i]) +
                   " vs reference " + std::to_string(b.v[i]);
        }
    }
    return "same";
}

using Filter = std::function<void(const CVImage&, CVImage&, int)>;
using Reference = std::function<Values(const Values&, int)>;

void CompareWithReference(const char* name, const Filter& filter, const Reference& reference,
                          std::initializer_list<int> strengths) {
    ImageFactory factory;
    for (int bitCount : {8, 24}) {
        for (int width = 1; width <= 6; ++width) {
            for (int height = 1; height <= 6; ++height) {
                for (int strength : strengths) {
                    auto source = factory.Random(width, height, bitCount);
                    CVImage destination(factory.host.get());
                    filter(*source, destination, strength);
                    const Values got = ValuesOf(destination);
                    const Values expected = reference(ValuesOf(*source), strength);
                    ASSERT_EQ(got.v, expected.v)
                        << name << " " << width << "x" << height << "x" << bitCount << " strength "
                        << strength << ": " << Describe(got, expected);
                    EXPECT_EQ(destination.paletteCount, source->paletteCount);
                    EXPECT_EQ(destination.header.biXPelsPerMeter, 2835);
                    EXPECT_EQ(destination.header.biYPelsPerMeter, 3780);
                }
            }
        }
    }
    // A larger image, so that long interior runs are covered too.
    for (int bitCount : {8, 24}) {
        auto source = factory.Random(37, 23, bitCount);
        CVImage destination(factory.host.get());
        filter(*source, destination, 23);
        const Values got = ValuesOf(destination);
        const Values expected = reference(ValuesOf(*source), 23);
        ASSERT_EQ(got.v, expected.v)
            << name << " 37x23x" << bitCount << ": " << Describe(got, expected);
    }
}

std::unique_ptr<CVImage> Paletted(TestHost& host, int width, int height, int bitCount, int colors,
                                  std::mt19937& random) {
    auto image = std::make_unique<CVImage>(host.get());
    image->Create(width, height, bitCount, colors, nullptr);
    for (int i = 0; i < 256; ++i) {
        image->palette[i] = RGBQUAD{static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                                    static_cast<uint8_t>(random()), 0x55};
    }
    FillRandom(*image, random);
    return image;
}

} // namespace

TEST(Filters, SmoothMatchesReference) {
    CompareWithReference("Smooth",
                         [](const CVImage& s, CVImage& d, int k) { ep::Smooth(s, d, k, nullptr); },
                         ReferenceSmooth, {0, 1, 10, 55, 99, 100});
}

TEST(Filters, SharpenMatchesReference) {
    CompareWithReference("Sharpen",
                         [](const CVImage& s, CVImage& d, int k) { ep::Sharpen(s, d, k, nullptr); },
                         ReferenceSharpen, {0, 10, 47, 100});
}

TEST(Filters, MedianMatchesReference) {
    CompareWithReference(
        "Median", [](const CVImage& s, CVImage& d, int) { ep::Median(s, d, nullptr); },
        [](const Values& v, int) { return ReferenceMedian(v); }, {0});
}

TEST(Filters, DespeckleMatchesReference) {
    CompareWithReference(
        "Despeckle", [](const CVImage& s, CVImage& d, int k) { ep::Despeckle(s, d, k, nullptr); },
        ReferenceDespeckle, {0, 10, 49, 50, 100});
    EXPECT_EQ(ep::DespeckleThreshold(0), 14);
    EXPECT_EQ(ep::DespeckleThreshold(10), 11);
    EXPECT_EQ(ep::DespeckleThreshold(47), 0);
    EXPECT_EQ(ep::DespeckleThreshold(50), 0);
    EXPECT_EQ(ep::DespeckleThreshold(100), 0);
}

// Strength 0, Median's copied border and the corner rules are covered by the
// reference comparisons above; flat areas are a property of their own.
TEST(Filters, FlatAreas) {
    ImageFactory factory;
    // Flat areas stay flat, at every strength, Smooth pass after pass (its
    // float weights sum to just under one).
    for (int bitCount : {8, 24}) {
        for (int level : {0, 1, 120, 254, 255}) {
            CVImage flat(factory.host.get());
            flat.Create(8, 6, bitCount, 256, nullptr);
            SetGrayRamp(flat);
            std::memset(flat.bits, level, flat.ImageBytes());
            for (int strength : {0, 5, 10, 50, 99, 100}) {
                CVImage smooth(factory.host.get()), again(factory.host.get()),
                    sharpen(factory.host.get()), median(factory.host.get()),
                    despeckle(factory.host.get());
                ep::Smooth(flat, smooth, strength, nullptr);
                ep::Smooth(smooth, again, strength, nullptr);
                ep::Sharpen(flat, sharpen, strength, nullptr);
                ep::Median(flat, median, nullptr);
                ep::Despeckle(flat, despeckle, strength, nullptr);
                for (const CVImage* result : {&smooth, &again, &sharpen, &median, &despeckle}) {
                    if (result == &despeckle && (level < 2 || level > 253)) {
                        continue; // its thresholds are clamped at the ends of the scale
                    }
                    std::string why;
                    EXPECT_TRUE(SamePixels(*result, flat, &why))
                        << bitCount << " level " << level << " strength " << strength << " " << why;
                }
            }
        }
    }
}

// Emboss lights the relief from the top left: inside flat areas the result
// is mid-grey, an edge that faces the light (dark above or left of light)
// turns white and one that faces away black, on the grey and colour paths;
// the outermost rows and columns keep their values.
TEST(Filters, EmbossLightsEdgesFromTheTopLeft) {
    ImageFactory factory;
    for (int bitCount : {8, 24}) {
        const uint32_t unit = bitCount == 24 ? 0x010101u : 1u;
        const auto level = [](bool light) { return light ? 200u : 10u; };
        // A light band across rows 3..5 of a dark picture.
        CVImage band(factory.host.get());
        band.Create(7, 9, bitCount, 256, nullptr);
        SetGrayRamp(band);
        // Dark columns 0..3, light columns 4..6.
        CVImage columns(factory.host.get());
        columns.Create(9, 5, bitCount, 256, nullptr);
        SetGrayRamp(columns);
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 9; ++x) {
                if (x < 7) {
                    SetPixelAt(band, x, y, level(y >= 3 && y <= 5) * unit);
                }
                if (y < 5) {
                    SetPixelAt(columns, x, y, level(x >= 4) * unit);
                }
            }
        }
        CVImage relief(factory.host.get());
        ep::Emboss(band, relief, nullptr);
        const uint32_t expected[] = {128, 255, 255, 128, 0, 0, 128}; // rows 1..7
        for (int y = 1; y < 8; ++y) {
            for (int x = 1; x < 6; ++x) {
                ASSERT_EQ(PixelAt(relief, x, y), expected[y - 1] * unit)
                    << bitCount << " row " << y;
            }
        }
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(PixelAt(relief, 0, i), PixelAt(band, 0, i));
            EXPECT_EQ(PixelAt(relief, 6, i), PixelAt(band, 6, i));
            EXPECT_EQ(PixelAt(relief, i % 7, 0), PixelAt(band, i % 7, 0));
            EXPECT_EQ(PixelAt(relief, i % 7, 8), PixelAt(band, i % 7, 8));
        }

        CVImage sideways(factory.host.get());
        ep::Emboss(columns, sideways, nullptr);
        for (int y = 1; y < 4; ++y) {
            for (int x = 1; x < 8; ++x) {
                const uint32_t value = x == 3 || x == 4 ? 255 : 128;
                EXPECT_EQ(PixelAt(sideways, x, y), value * unit) << bitCount << " column " << x;
            }
        }
    }
}

TEST(Filters, GreyAndColourPathsAgreeOnGreyContent) {
    ImageFactory factory;
    for (int width : {1, 2, 5, 11}) {
        for (int height : {1, 2, 4, 9}) {
            auto grey = factory.Random(width, height, 8);
            CVImage colour(factory.host.get());
            colour.Create(width, height, 24, 0, nullptr);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    SetPixelAt(colour, x, y, PixelAt(*grey, x, y) * 0x010101u);
                }
            }
            const std::function<void(const CVImage&, CVImage&)> filters[] = {
                [](const CVImage& s, CVImage& d) { ep::Smooth(s, d, 33, nullptr); },
                [](const CVImage& s, CVImage& d) { ep::Sharpen(s, d, 71, nullptr); },
                [](const CVImage& s, CVImage& d) { ep::Median(s, d, nullptr); },
            };
            for (const auto& filter : filters) {
                CVImage greyResult(factory.host.get()), colourResult(factory.host.get());
                filter(*grey, greyResult);
                filter(colour, colourResult);
                for (int y = 0; y < height; ++y) {
                    for (int x = 0; x < width; ++x) {
                        ASSERT_EQ(PixelAt(colourResult, x, y),
                                  PixelAt(greyResult, x, y) * 0x010101u)
                            << width << "x" << height << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

// A grey palette that is not the 256-entry ramp is filtered on the grey
// levels; every result is the palette entry nearest to the filtered level.
TEST(Filters, ShortGreyPalettesStayInsideThePalette) {
    TestHost host;
    std::mt19937 random(5);
    CVImage grey(host.get());
    grey.Create(13, 9, 8, 16, nullptr);
    for (int i = 0; i < 16; ++i) {
        const uint8_t level = static_cast<uint8_t>(255 - i * 17); // descending levels
        grey.palette[i] = RGBQUAD{level, level, level, 0};
    }
    FillRandom(grey, random);
    CVImage colour(host.get());
    colour.Create(13, 9, 24, 0, nullptr);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 13; ++x) {
            SetPixelAt(colour, x, y, grey.palette[PixelAt(grey, x, y)].rgbRed * 0x010101u);
        }
    }
    CVImage greyResult(host.get()), colourResult(host.get());
    ep::Sharpen(grey, greyResult, 100, nullptr);
    ep::Sharpen(colour, colourResult, 100, nullptr);
    EXPECT_EQ(greyResult.paletteCount, 16);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 13; ++x) {
            const uint32_t index = PixelAt(greyResult, x, y);
            ASSERT_LT(index, 16u);
            const int level = static_cast<int>(PixelAt(colourResult, x, y) & 0xFF);
            const int nearest = (255 - level + 8) / 17; // ties go to the lower index
            EXPECT_EQ(static_cast<int>(index), std::clamp(nearest, 0, 15)) << x << "," << y;
        }
    }
}

TEST(Filters, NegativeComplementsValuesOrPalettes) {
    TestHost host;
    std::mt19937 random(8);

    CVImage rgb(host.get());
    rgb.Create(5, 3, 24, 0, nullptr, 100, 200);
    FillRandom(rgb, random);
    rgb.hasTransparentColor = 1;
    rgb.transparentColor = RGBQUAD{0x12, 0x34, 0x56, 0};
    CVImage negative(host.get());
    ep::Negative(rgb, negative, nullptr);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(PixelAt(negative, x, y), ~PixelAt(rgb, x, y) & 0xFFFFFF);
        }
    }
    EXPECT_EQ(negative.hasTransparentColor, 1);
    EXPECT_EQ(negative.transparentColor, (RGBQUAD{0xED, 0xCB, 0xA9, 0}));
    EXPECT_EQ(negative.header.biXPelsPerMeter, 100);
    EXPECT_EQ(negative.header.biYPelsPerMeter, 200);

    // 1-, 4- and 8-bit images, and one with a single palette entry: the
    // pixels stay, the palette is complemented with byte 3 cleared.
    for (auto [bitCount, colors] : {std::pair{1, 2}, {4, 16}, {8, 200}, {8, 1}}) {
        auto image = Paletted(host, 11, 4, bitCount, colors, random);
        CVImage result(host.get());
        ep::Negative(*image, result, nullptr);
        std::string why;
        EXPECT_TRUE(SamePixels(result, *image, &why)) << bitCount << ": " << why;
        EXPECT_EQ(result.paletteCount, image->paletteCount);
        EXPECT_EQ(result.hasTransparentColor, 0);
        for (int i = 0; i < 256; ++i) {
            const RGBQUAD& c = image->palette[i];
            EXPECT_EQ(result.palette[i], (RGBQUAD{static_cast<uint8_t>(255 - c.rgbBlue),
                                                  static_cast<uint8_t>(255 - c.rgbGreen),
                                                  static_cast<uint8_t>(255 - c.rgbRed), 0}));
        }
    }
}

TEST(Filters, WrongImagesRaiseImageErrors) {
    TestHost host;
    std::mt19937 random(2);
    auto colourPalette = Paletted(host, 4, 4, 8, 256, random);
    auto fourBit = Paletted(host, 4, 4, 4, 16, random);
    for (int i = 0; i < 16; ++i) {
        fourBit->palette[i] = RGBQUAD{0x40, 0x40, 0x40, 0}; // grey, but not 8-bit
    }
    auto bilevel = Paletted(host, 4, 4, 1, 2, random);
    CVImage empty(host.get());
    const std::function<void(const CVImage&, CVImage&)> filters[] = {
        [](const CVImage& s, CVImage& d) { ep::Smooth(s, d, 10, nullptr); },
        [](const CVImage& s, CVImage& d) { ep::Sharpen(s, d, 10, nullptr); },
        [](const CVImage& s, CVImage& d) { ep::Median(s, d, nullptr); },
        [](const CVImage& s, CVImage& d) { ep::Despeckle(s, d, 10, nullptr); },
    };
    for (const auto& filter : filters) {
        for (const CVImage* image : {colourPalette.get(), fourBit.get(), bilevel.get(), &empty}) {
            CVImage destination(host.get());
            try {
                filter(*image, destination);
                ADD_FAILURE() << "accepted a " << image->BitCount() << "-bit image";
            } catch (const CVImageError& e) {
                EXPECT_EQ(e.Code(), CVImageError::UnsupportedFormat);
            }
        }
    }
    EXPECT_FALSE(ep::AcceptsNeighbourhoodFilter(*colourPalette));
    EXPECT_FALSE(ep::AcceptsNeighbourhoodFilter(*fourBit));
    CVImage destination(host.get());
    EXPECT_THROW(ep::Negative(empty, destination, nullptr), CVImageError);
}

// Strengths outside 0..100 (a damaged settings value) act as the nearest end.
TEST(Filters, StrengthsOutsideTheRangeActAsItsEnds) {
    ImageFactory factory;
    auto source = factory.Random(9, 8, 24);
    for (auto filter : {ep::Smooth, ep::Sharpen, ep::Despeckle}) {
        CVImage high(factory.host.get()), top(factory.host.get());
        CVImage low(factory.host.get()), bottom(factory.host.get());
        filter(*source, high, 100000, nullptr);
        filter(*source, top, 100, nullptr);
        filter(*source, low, -7, nullptr);
        filter(*source, bottom, 0, nullptr);
        EXPECT_TRUE(SamePixels(high, top));
        EXPECT_TRUE(SamePixels(low, bottom));
    }
}

TEST(Filters, ProgressReachesTheEndAndCanBeBroken) {
    ImageFactory factory;
    auto grey = factory.Random(20, 30, 8);
    auto colour = factory.Random(20, 30, 24);
    for (const CVImage* image : {grey.get(), colour.get()}) {
        RecordingProgressDisplay display;
        {
            HostProgress progress(&display, "Despeckle");
            CVImage destination(factory.host.get());
            ep::Despeckle(*image, destination, 10, &progress);
        }
        EXPECT_EQ(display.position, 100);
        EXPECT_EQ(display.starts, image->BitCount() == 8 ? 4 : 2) << "one band per sweep";
    }

    RecordingProgressDisplay display;
    display.breakAfterPolls = 3;
    HostProgress progress(&display, "Smooth");
    CVImage destination(factory.host.get());
    try {
        ep::Smooth(*colour, destination, 10, &progress);
        ADD_FAILURE() << "no break";
    } catch (const CVImageError& e) {
        EXPECT_EQ(e.Code(), CVImageError::UserBreak);
    }
}
