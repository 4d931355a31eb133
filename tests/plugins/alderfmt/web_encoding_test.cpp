// The web encoding: libjpeg reads every variant cleanly with the web tables,
// files come out smaller than the exact encoding's at equal PSNR on
// photographs, and the trellis only
// ever lowers magnitudes (and with no weight on bits keeps the rounded values).
#include "dct.h"
#include "jpeg_codec.h"
#include "jpeg_judge.h"
#include "support/test_host.h"
#include "web_quantiser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

using namespace pixmill;
using namespace pixmill::alder;
using namespace pixmill::test;

namespace {

JpegSettings Web(int level, bool progressive, bool web = true) {
    JpegSettings s{};
    s.luminance = level;
    s.chrominance = level;
    s.progressive = progressive ? 1 : 0;
    s.web = web ? 1 : 0;
    return s;
}

std::vector<uint8_t> Encode(TestHost& host, const CVImage& image, const JpegSettings& settings) {
    JpegCodec codec(nullptr, host.get(), &settings);
    codec.BeginWrite(&image, nullptr);
    MemoryStream stream(host.get(), 4096, 65536);
    EXPECT_TRUE(codec.Write(&stream, nullptr, nullptr));
    codec.FreeWorkBuffer();
    return StreamBytes(stream);
}

// Smooth gradients and edges with sensor-like grain on top.
void MakePhoto(CVImage& image, int width, int height, bool grey, uint32_t seed) {
    image.Create(width, height, grey ? 8 : 24, grey ? 256 : 0, nullptr);
    if (grey) {
        MakeGrey(image);
    }
    FillPicture(image, seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> grain(-5, 5);
    const int bytes = width * (grey ? 1 : 3);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image.Row(y);
        for (int x = 0; x < bytes; ++x) {
            row[x] = static_cast<uint8_t>(std::clamp(row[x] + grain(random), 0, 255));
        }
    }
}

} // namespace

TEST(JpegWeb, EveryVariantDecodesCleanlyWithTheWebTables) {
    TestHost host;
    for (bool grey : {false, true}) {
        for (bool progressive : {false, true}) {
            for (const auto& [width, height] : {std::pair{1, 1}, {37, 23}, {160, 96}}) {
                for (int level : {0, 40, 200}) {
                    CVImage image(host.get());
                    MakePhoto(image, width, height, grey, level + width);
                    const JudgedImage judged =
                        JudgeDecode(Encode(host, image, Web(level, progressive)));
                    SCOPED_TRACE(testing::Message() << grey << progressive << " " << width << "x"
                                                    << height << " level " << level);
                    ASSERT_TRUE(judged.ok) << judged.error;
                    EXPECT_EQ(judged.warnings, 0);
                    EXPECT_EQ(judged.width, width);
                    EXPECT_EQ(judged.height, height);
                    EXPECT_EQ(judged.progressive, progressive);
                    for (int t = 0; t < (grey ? 1 : 2); ++t) {
                        uint8_t table[64];
                        WebQuantisationTable(level, t == 1, table);
                        for (int k = 0; k < 64; ++k) {
                            ASSERT_EQ(judged.quant[t][kNaturalOrder[k]], table[k]);
                        }
                    }
                    if (width > 1) {
                        // About as close to the source as the exact encoding
                        // (which rounds every coefficient to the nearest step).
                        const JudgedImage exact =
                            JudgeDecode(Encode(host, image, Web(level, progressive, false)));
                        EXPECT_GT(Psnr(judged, image), Psnr(exact, image) - 1.5);
                    }
                }
            }
        }
    }
}

TEST(JpegWeb, SmallerThanExactAtEqualPsnrOnPhotographs) {
    // Crops of the desktop photographs (installed with the build dependencies).
    TestHost host;
    const char* folder = "/usr/share/backgrounds/mate/nature/";
    int pictures = 0;
    for (const char* name : {"YellowFlower.jpg", "Garden.jpg", "Dune.jpg"}) {
        std::ifstream in(std::string(folder) + name, std::ios::binary);
        const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
        const JudgedImage photo = JudgeDecode(file);
        if (!photo.ok || photo.components != 3 || photo.width < 480 || photo.height < 320) {
            continue;
        }
        ++pictures;
        CVImage image(host.get());
        image.Create(480, 320, 24, 0, nullptr);
        // Off the file's own block grid, so that no block comes back as it was.
        const int left = (photo.width - 480) / 2 + 3, top = (photo.height - 320) / 2 + 5;
        for (int y = 0; y < 320; ++y) {
            const uint8_t* from =
                photo.pixels.data() + 3 * ((size_t(top) + y) * photo.width + left);
            for (int x = 0; x < 480; ++x) {
                image.Row(y)[3 * x] = from[3 * x + 2];
                image.Row(y)[3 * x + 1] = from[3 * x + 1];
                image.Row(y)[3 * x + 2] = from[3 * x];
            }
        }
        // At equal PSNR the web encoding needs fewer bytes: the coarsest web
        // level that keeps the exact encoding's PSNR, searched from well
        // below the level (the web tables are finer at a level).
        auto judge = [&](int level, bool progressive, bool web) {
            const std::vector<uint8_t> bytes = Encode(host, image, Web(level, progressive, web));
            return std::pair{bytes.size(), Psnr(JudgeDecode(bytes), image)};
        };
        for (bool progressive : {false, true}) {
            for (int level : {20, 50, 100}) {
                SCOPED_TRACE(testing::Message()
                             << name << (progressive ? " progressive" : "") << " level " << level);
                const auto [exactBytes, exactPsnr] = judge(level, progressive, false);
                const int start = std::max(0, level - 40);
                auto [webBytes, webPsnr] = judge(start, progressive, true);
                ASSERT_GE(webPsnr, exactPsnr);
                for (int coarser = start + 4; coarser <= 255; coarser += 4) {
                    const auto [bytes, psnr] = judge(coarser, progressive, true);
                    if (psnr < exactPsnr) {
                        break;
                    }
                    webBytes = bytes;
                }
                EXPECT_LT(webBytes, exactBytes);
            }
        }
    }
    if (pictures == 0) {
        GTEST_SKIP() << "no desktop photographs in " << folder;
    }
}

TEST(JpegWeb, TrellisOnlyLowersMagnitudesAndWithoutRateKeepsRounding) {
    std::mt19937 random(11);
    uint8_t table[64];
    WebQuantisationTable(60, false, table);
    SymbolCounts counts;
    // Costs from a few random blocks, as the encoder gathers them.
    std::normal_distribution<double> spread(0, 1);
    auto randomBlock = [&](int16_t block[64]) {
        for (int k = 0; k < 64; ++k) {
            const double scale = 1200.0 / (1 + k);
            block[k] = static_cast<int16_t>(std::clamp(spread(random) * scale, -8000.0, 8000.0));
        }
    };
    const TrellisQuantiser plain(table, 0.0f);
    for (int i = 0; i < 50; ++i) {
        int16_t block[64], rounded[64];
        randomBlock(block);
        plain.Round(block, rounded);
        counts.AddBlock(rounded, 0);
    }
    const SymbolCosts costs = counts.Costs();
    for (float lambda : {0.0f, 0.12f, 1.0f, 1e6f}) {
        const TrellisQuantiser trellis(table, lambda);
        for (int i = 0; i < 200; ++i) {
            int16_t block[64], rounded[64], source[64];
            randomBlock(block);
            std::copy(block, block + 64, source);
            trellis.Round(block, rounded);
            trellis.Quantise(block, costs);
            EXPECT_EQ(block[0], rounded[0]) << "DC is rounded";
            for (int k = 1; k < 64; ++k) {
                const bool halfway = 2 * std::abs(source[k]) == 8 * table[k]; // a tie
                if (lambda == 0.0f && !halfway) {
                    ASSERT_EQ(block[k], rounded[k]) << k;
                }
                ASSERT_TRUE(block[k] == 0 || block[k] == rounded[k] ||
                            block[k] == rounded[k] + (rounded[k] > 0 ? -1 : 1))
                    << "lambda " << lambda << " k " << k << ": " << block[k] << " from "
                    << rounded[k];
                if (lambda == 1e6f) {
                    ASSERT_EQ(block[k], 0) << "bits outweigh any error";
                }
            }
        }
    }
}

TEST(JpegWeb, TrellisFindsTheCheapestChoice) {
    // The trellis's own measure (step-weighted squared error plus lambda
    // times the bits the costs predict) recomputed here: its choice must cost
    // what the best choice costs, found by a search over run lengths instead
    // of last positions, whatever shortcuts the trellis takes; and it never
    // loses to the two obvious choices.
    std::mt19937 random(5);
    std::normal_distribution<double> spread(0, 1);
    auto randomBlock = [&](int16_t block[64], double busy) {
        for (int k = 0; k < 64; ++k) {
            const double v = spread(random) * busy * 2000.0 / (1 + k);
            block[k] = static_cast<int16_t>(std::clamp(v, -8000.0, 8000.0));
        }
    };
    for (int level : {12, 60, 150}) {
        uint8_t table[64];
        WebQuantisationTable(level, level == 60, table);
        SymbolCounts counts;
        const TrellisQuantiser plain(table, 0.0f);
        for (int i = 0; i < 100; ++i) {
            int16_t block[64], rounded[64];
            randomBlock(block, 1.0);
            plain.Round(block, rounded);
            counts.AddBlock(rounded, 0);
        }
        const SymbolCosts costs = counts.Costs();
        auto measure = [&](const int16_t source[64], const int16_t coded[64], double lambda) {
            double total = 0;
            int run = 0, last = 0;
            for (int k = 1; k < 64; ++k) {
                const double error = std::abs(source[k]) / (8.0 * table[k]) - std::abs(coded[k]);
                total += double(table[k]) / table[1] * error * error;
                if (coded[k] == 0) {
                    ++run;
                    continue;
                }
                const int size = 32 - __builtin_clz(static_cast<uint32_t>(std::abs(coded[k])));
                total += lambda *
                         ((run >> 4) * costs.ac[0xF0] + costs.ac[((run & 15) << 4) | size] + size);
                run = 0;
                last = k;
            }
            return total + (last < 63 ? lambda * costs.ac[0x00] : 0.0);
        };
        // Best cost with positions 1..k decided and the current zero run:
        // each value is zero, rounded or one less.
        auto best = [&](const int16_t source[64], double lambda) {
            std::vector<double> run(64, INFINITY), next(64);
            run[0] = 0;
            for (int k = 1; k < 64; ++k) {
                const double magnitude = std::abs(source[k]) / (8.0 * table[k]);
                const double weight = double(table[k]) / table[1];
                const int high = std::min(static_cast<int>(magnitude + 0.5), 1023);
                std::fill(next.begin(), next.end(), INFINITY);
                for (int r = 0; r < k; ++r) {
                    if (run[r] == INFINITY) {
                        continue;
                    }
                    next[r + 1] = std::min(next[r + 1], run[r] + weight * magnitude * magnitude);
                    for (int m = std::max(1, high - 1); m <= high; ++m) {
                        const int size = 32 - __builtin_clz(static_cast<uint32_t>(m));
                        const double bits =
                            (r >> 4) * costs.ac[0xF0] + costs.ac[((r & 15) << 4) | size] + size;
                        next[0] =
                            std::min(next[0], run[r] + weight * (magnitude - m) * (magnitude - m) +
                                                  lambda * bits);
                    }
                }
                std::swap(run, next);
            }
            double cheapest = run[0];
            for (int r = 1; r < 64; ++r) {
                cheapest = std::min(cheapest, run[r] + lambda * costs.ac[0x00]);
            }
            return cheapest;
        };
        for (float lambda : {0.05f, 0.3f, 2.0f}) {
            const TrellisQuantiser trellis(table, lambda);
            for (int i = 0; i < 300; ++i) {
                int16_t source[64], coded[64], rounded[64];
                const int16_t zero[64] = {};
                randomBlock(source, i % 3 == 0 ? 0.2 : 3.0);
                const float scale = i % 2 == 0 ? 1.0f : 1.7f;
                std::copy(source, source + 64, coded);
                trellis.Quantise(coded, costs, scale);
                trellis.Round(source, rounded);
                const double chosen = measure(source, coded, lambda * scale);
                SCOPED_TRACE(testing::Message()
                             << "level " << level << " lambda " << lambda << " block " << i);
                EXPECT_NEAR(chosen, best(source, lambda * scale), 1e-4 * (1 + chosen));
                EXPECT_LE(chosen, measure(source, rounded, lambda * scale) * (1 + 1e-5) + 1e-4);
                EXPECT_LE(chosen, measure(source, zero, lambda * scale) * (1 + 1e-5) + 1e-4);
            }
        }
    }
}

TEST(JpegWeb, ActivityScalesBitsWithinBoundsAndInOrder) {
    // Smooth blocks weigh bits less than the picture's typical block, busy
    // ones more, never beyond a factor of two, and the order follows the
    // block's energy.
    const int16_t flat[64] = {400};
    int16_t busy[64], busier[64];
    for (int k = 0; k < 64; ++k) {
        busy[k] = static_cast<int16_t>(k == 0 ? 400 : 300 - 4 * k);
        busier[k] = static_cast<int16_t>(3 * busy[k]);
    }
    const float mean = (BlockActivity(flat) + BlockActivity(busier)) / 2;
    const float scales[3] = {ActivityLambdaScale(BlockActivity(flat), mean),
                             ActivityLambdaScale(BlockActivity(busy), mean),
                             ActivityLambdaScale(BlockActivity(busier), mean)};
    EXPECT_LT(scales[0], 1.0f);
    EXPECT_GT(scales[2], 1.0f);
    EXPECT_LE(scales[0], scales[1]);
    EXPECT_LE(scales[1], scales[2]);
    EXPECT_FLOAT_EQ(ActivityLambdaScale(mean, mean), 1.0f);
    EXPECT_FLOAT_EQ(ActivityLambdaScale(-1e6f, mean), 0.5f);
    EXPECT_FLOAT_EQ(ActivityLambdaScale(1e6f, mean), 2.0f);
}
