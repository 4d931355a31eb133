// The JPEG encoder, judged by libjpeg: every variant we write decodes without
// warnings to the size we wrote and close to the source; the parts that
// libjpeg cannot see (transform, Huffman construction, padding blocks,
// quantiser choice, preview) are checked directly.
#include "dct.h"
#include "huffman.h"
#include "jpeg_codec.h"
#include "jpeg_encoder.h"
#include "jpeg_judge.h"
#include "packed_blocks.h"
#include "pixmill/errors.h"
#include "support/test_host.h"
#include "support/test_images.h"
#include "vector_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <random>

using namespace pixmill;
using namespace pixmill::alder;
using namespace pixmill::test;

namespace {

JpegSettings Levels(int luminance, int chrominance, bool progressive = false, int sharpen = 0) {
    JpegSettings s{};
    s.luminance = luminance;
    s.chrominance = chrominance;
    s.progressive = progressive ? 1 : 0;
    s.sharpen = sharpen;
    return s;
}

// Encodes through the codec; the codec (with its coefficient store) stays
// available to the caller when asked for.
std::vector<uint8_t> Encode(TestHost& host, const CVImage& image, const JpegSettings& settings,
                            const int* offset = nullptr, CVImage* preview = nullptr,
                            CVProgress* progress = nullptr,
                            const std::function<void(const JpegCodec&)>& inspect = {}) {
    JpegCodec codec(nullptr, host.get(), &settings);
    const SIZE size = codec.BeginWrite(&image, offset);
    EXPECT_EQ(size.cx, image.Width());
    EXPECT_EQ(size.cy, image.Height());
    MemoryStream stream(host.get(), 4096, 65536);
    EXPECT_TRUE(codec.Write(&stream, progress, preview));
    EXPECT_EQ(codec.GetWrittenSize(), static_cast<int>(stream.Length()));
    if (inspect) {
        inspect(codec);
    }
    codec.FreeWorkBuffer();
    return StreamBytes(stream);
}

void MakeImage(CVImage& image, int width, int height, bool grey, uint32_t seed) {
    image.Create(width, height, grey ? 8 : 24, grey ? 256 : 0, nullptr);
    if (grey) {
        MakeGrey(image);
    }
    FillPicture(image, seed);
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes) {
        h = (h ^ b) * 1099511628211ull;
    }
    return h;
}

} // namespace

TEST(JpegLevels, OffsetAndTables) {
    EXPECT_EQ(AdjustLevel(100, 0), 100);
    EXPECT_EQ(AdjustLevel(100, 50), 50);
    EXPECT_EQ(AdjustLevel(100, 100), 0);
    EXPECT_EQ(AdjustLevel(100, -50), 177);
    EXPECT_EQ(AdjustLevel(200, -100), 254);
    EXPECT_EQ(AdjustLevel(100, 500), 0) << "offsets clamp to -100..100";

    uint8_t table[64];
    for (bool chrominance : {false, true}) {
        QuantisationTable(0, chrominance, table);
        for (int k = 0; k < 64; ++k) {
            ASSERT_EQ(table[k], 1) << "level 0 is lossless quantisation";
        }
    }
    // Level 255: 4.5 times the example tables, capped at 255.
    QuantisationTable(255, false, table);
    EXPECT_EQ(table[0], 72); // 16
    EXPECT_EQ(table[1], 50); // 11
    EXPECT_EQ(table[4], 54); // 12 (zig-zag position 2 is 12)
    EXPECT_EQ(table[63], 255);
    QuantisationTable(255, true, table);
    EXPECT_EQ(table[0], 77); // 17
    EXPECT_EQ(table[63], 255);
    // Level 128 is close to the example tables.
    QuantisationTable(128, false, table);
    EXPECT_EQ(table[0], 16);
    EXPECT_EQ(table[1], 11);
    EXPECT_EQ(table[63], 102); // 99 * 263 / 256
}

// The 1..100 quality the pane shows beside a level names the same tables:
// 50 the example tables, 75 half their steps, 100 steps of 1.
TEST(JpegLevels, QualityOfALevelNamesTheSameTables) {
    EXPECT_EQ(QualityOfLevel(0), 100);
    EXPECT_EQ(QualityOfLevel(64), 75);
    EXPECT_EQ(QualityOfLevel(124), 52);
    EXPECT_EQ(QualityOfLevel(128), 49);
    EXPECT_EQ(QualityOfLevel(255), 11);
    for (int level = 1; level <= 255; ++level) {
        ASSERT_LE(QualityOfLevel(level), QualityOfLevel(level - 1))
            << "worse levels, lower quality";
    }
}

TEST(JpegLevels, FilesCarryTheTablesOfTheirLevels) {
    TestHost host;
    CVImage image(host.get());
    MakeImage(image, 20, 20, false, 1);
    for (int level : {0, 128, 255}) {
        const JudgedImage judged = JudgeDecode(Encode(host, image, Levels(level, 255 - level)));
        ASSERT_TRUE(judged.ok) << judged.error;
        uint8_t luminance[64], chrominance[64];
        QuantisationTable(level, false, luminance);
        QuantisationTable(255 - level, true, chrominance);
        for (int k = 0; k < 64; ++k) {
            ASSERT_EQ(judged.quant[0][kNaturalOrder[k]], luminance[k]) << level << " " << k;
            ASSERT_EQ(judged.quant[1][kNaturalOrder[k]], chrominance[k]) << level << " " << k;
        }
    }
}

TEST(JpegDct, MatchesTheDefinitionTimesEight) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> sample(-128, 127);
    std::vector<std::vector<int16_t>> blocks;
    for (int i = 0; i < 300; ++i) {
        std::vector<int16_t> b(64);
        for (auto& v : b) {
            v = static_cast<int16_t>(sample(random));
        }
        blocks.push_back(b);
    }
    // Extremes: flat, checkerboards, stripes.
    blocks.push_back(std::vector<int16_t>(64, 127));
    blocks.push_back(std::vector<int16_t>(64, -128));
    std::vector<int16_t> checker(64), stripes(64);
    for (int i = 0; i < 64; ++i) {
        checker[i] = ((i / 8 + i % 8) & 1) ? 127 : -128;
        stripes[i] = (i % 8 < 4) ? 127 : -128;
    }
    blocks.push_back(checker);
    blocks.push_back(stripes);
    int worst = 0;
    for (const auto& block : blocks) {
        int16_t out[64];
        ForwardDct(block.data(), out);
        for (int u = 0; u < 8; ++u) {
            for (int v = 0; v < 8; ++v) {
                double sum = 0;
                for (int y = 0; y < 8; ++y) {
                    for (int x = 0; x < 8; ++x) {
                        sum += block[8 * y + x] * std::cos((2 * y + 1) * u * M_PI / 16) *
                               std::cos((2 * x + 1) * v * M_PI / 16);
                    }
                }
                const double cu = u == 0 ? std::sqrt(0.5) : 1, cv = v == 0 ? std::sqrt(0.5) : 1;
                const double expected = 8 * 0.25 * cu * cv * sum;
                worst = std::max(
                    worst, static_cast<int>(std::lround(std::abs(out[8 * u + v] - expected))));
            }
        }
    }
    EXPECT_LE(worst, 3) << "fixed-point error in units of 8 x F(u,v)";
}

// The vector kernels give exactly the scalar results: transform by
// transform, and whole files of every kind.
TEST(JpegVectorKernels, EqualTheScalarPath) {
    if (!VectorKernelsActive()) {
        GTEST_SKIP() << "no AVX2 on this processor";
    }
    std::mt19937 random(41);
    std::uniform_int_distribution<int> sample(-128, 127);
    for (int i = 0; i < 20000; ++i) {
        int16_t block[64], scalar[64], vector[64];
        const int kind = i % 4; // random, extremes only, a smooth ramp, flat
        for (int k = 0; k < 64; ++k) {
            const int s = sample(random);
            block[k] = static_cast<int16_t>(kind == 0   ? s
                                            : kind == 1 ? (s < 0 ? -128 : 127)
                                            : kind == 2 ? std::clamp(s / 8 + 4 * k - 128, -128, 127)
                                            : k == 0    ? s
                                                        : block[0]);
        }
        ForwardDctScalar(block, scalar);
        ForwardDctAvx2(block, vector);
        ASSERT_EQ(std::vector<int16_t>(scalar, scalar + 64),
                  std::vector<int16_t>(vector, vector + 64))
            << "block " << i;
    }
    // Colour conversion and chrominance means of random MCUs (and the
    // extremes) against the conversion and means the scalar path computes.
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 1000; ++i) {
        uint8_t bgr[16][48];
        const uint8_t* rows[16];
        for (int r = 0; r < 16; ++r) {
            for (uint8_t& b : bgr[r]) {
                b = static_cast<uint8_t>(i % 3 == 0 ? (byte(random) < 128 ? 0 : 255)
                                                    : byte(random));
            }
            rows[r] = bgr[r];
        }
        const bool partial = i % 2 == 1;
        int16_t samples[6][64];
        ConvertMcuAvx2(rows, partial, samples);
        int cb[16][16], cr[16][16];
        for (int r = 0; r < 16; ++r) {
            for (int c = 0; c < 16; ++c) {
                const int blue = bgr[r][3 * c], green = bgr[r][3 * c + 1], red = bgr[r][3 * c + 2];
                ASSERT_EQ(samples[(r / 8) * 2 + c / 8][8 * (r % 8) + c % 8],
                          (19595 * red + 38470 * green + 7471 * blue - 8355840) >> 16);
                cb[r][c] = (-11059 * red - 21709 * green + 32768 * blue + 8421375) >> 16;
                cr[r][c] = (32768 * red - 27439 * green - 5329 * blue + 8421375) >> 16;
            }
        }
        for (int sy = 0; sy < 8; ++sy) {
            for (int sx = 0; sx < 8; ++sx) {
                const int bias = partial ? 3 : 1 + sx % 2;
                auto mean = [&](const int(&plane)[16][16]) {
                    return ((plane[2 * sy][2 * sx] + plane[2 * sy][2 * sx + 1] +
                             plane[2 * sy + 1][2 * sx] + plane[2 * sy + 1][2 * sx + 1] + bias) >>
                            2) -
                           128;
                };
                ASSERT_EQ(samples[4][8 * sy + sx], mean(cb)) << sx << "," << sy;
                ASSERT_EQ(samples[5][8 * sy + sx], mean(cr)) << sx << "," << sy;
            }
        }
    }
    TestHost host;
    for (bool grey : {false, true}) {
        CVImage image(host.get()), noise(host.get());
        MakeImage(image, 77, 45, grey, 43);
        MakeImage(noise, 64, 48, grey, 44);
        FillNoise(noise, 45); // every coefficient size, for the quantiser
        for (const JpegSettings& settings :
             {Levels(1, 1), Levels(60, 90, true, 50), Levels(200, 255)}) {
            SetVectorKernels(false);
            const auto noiseScalar = Encode(host, noise, settings);
            SetVectorKernels(true);
            EXPECT_EQ(Encode(host, noise, settings), noiseScalar) << (grey ? "grey" : "colour");
            const auto vector = Encode(host, image, settings);
            SetVectorKernels(false);
            const auto scalar = Encode(host, image, settings);
            SetVectorKernels(true);
            EXPECT_EQ(vector, scalar) << (grey ? "grey" : "colour");
        }
    }
}

TEST(JpegHuffman, TablesArePrefixFreeLimitedAndNeverAllOnes) {
    std::vector<std::vector<uint32_t>> cases;
    // Uniform, one symbol, a steep (Fibonacci) distribution that needs
    // limiting, and random counts.
    cases.emplace_back(kHuffmanCounters, 1u);
    cases.back()[256] = 0;
    cases.emplace_back(kHuffmanCounters, 0u);
    cases.back()[17] = 1000;
    std::vector<uint32_t> steep(kHuffmanCounters, 0);
    uint32_t a = 1, b = 1;
    for (int s = 0; s < 40; ++s) {
        steep[s * 3] = a;
        const uint32_t next = a + b;
        a = b;
        b = next;
    }
    cases.push_back(steep);
    std::mt19937 random(11);
    for (int i = 0; i < 20; ++i) {
        std::vector<uint32_t> counts(kHuffmanCounters, 0);
        const int used = 1 + static_cast<int>(random() % 256);
        for (int s = 0; s < used; ++s) {
            counts[random() % 256] = 1 + random() % (1u << (random() % 20));
        }
        cases.push_back(counts);
    }
    for (const auto& counts : cases) {
        HuffmanTable table;
        ASSERT_TRUE(BuildHuffmanTable(counts.data(), table));
        double kraft = 0;
        int coded = 0;
        for (int s = 0; s < 256; ++s) {
            ASSERT_EQ(table.size[s] != 0, counts[s] != 0) << "symbol " << s;
            if (table.size[s] == 0) {
                continue;
            }
            ++coded;
            ASSERT_LE(table.size[s], 16);
            ASSERT_NE(table.code[s], (1u << table.size[s]) - 1) << "all 1-bits";
            kraft += std::ldexp(1.0, -table.size[s]);
            for (int t = 0; t < s; ++t) {
                if (table.size[t] == 0) {
                    continue;
                }
                const int shorter = std::min(table.size[s], table.size[t]);
                ASSERT_NE(table.code[s] >> (table.size[s] - shorter),
                          table.code[t] >> (table.size[t] - shorter))
                    << "codes of " << s << " and " << t << " share a prefix";
            }
        }
        EXPECT_LT(kraft, 1.0);
        EXPECT_EQ(coded, table.count);
        int listed = 0;
        for (int l = 1; l <= 16; ++l) {
            listed += table.bits[l];
        }
        EXPECT_EQ(listed, coded);
    }
}

TEST(JpegEncoder, LibjpegDecodesEveryVariant) {
    TestHost host;
    const SIZE sizes[] = {{1, 1},   {8, 8},  {9, 7},   {15, 16}, {16, 16},
                          {17, 17}, {24, 9}, {31, 33}, {40, 24}};
    struct Mode {
        bool progressive;
        int level;
    };
    const Mode modes[] = {{false, 60}, {true, 20}, {true, 60}, {true, 100}};
    for (bool grey : {false, true}) {
        for (const Mode& mode : modes) {
            for (const SIZE& size : sizes) {
                CVImage image(host.get());
                MakeImage(image, size.cx, size.cy, grey, size.cx * 100 + size.cy);
                const auto file =
                    Encode(host, image, Levels(mode.level, mode.level + 30, mode.progressive, 40));
                const JudgedImage judged = JudgeDecode(file);
                const std::string what = std::string(grey ? "grey " : "colour ") +
                                         (mode.progressive ? "progressive " : "baseline ") +
                                         std::to_string(mode.level) + " " +
                                         std::to_string(size.cx) + "x" + std::to_string(size.cy);
                ASSERT_TRUE(judged.ok) << what << ": " << judged.error;
                EXPECT_EQ(judged.warnings, 0) << what << ": " << judged.error;
                EXPECT_EQ(judged.width, size.cx) << what;
                EXPECT_EQ(judged.height, size.cy) << what;
                EXPECT_EQ(judged.components, grey ? 1 : 3) << what;
                EXPECT_EQ(judged.progressive, mode.progressive) << what;
                EXPECT_GT(Psnr(judged, image), 22.0) << what;
            }
        }
    }
}

TEST(JpegEncoder, QualityRisesAsTheLevelFalls) {
    TestHost host;
    for (bool grey : {false, true}) {
        for (bool progressive : {false, true}) {
            CVImage image(host.get());
            MakeImage(image, 96, 80, grey, 3);
            double lastPsnr = 0;
            size_t lastSize = 0;
            for (int level : {240, 180, 128, 80, 40, 10, 0}) {
                const auto file = Encode(host, image, Levels(level, level, progressive));
                const JudgedImage judged = JudgeDecode(file);
                ASSERT_TRUE(judged.ok) << judged.error;
                const double psnr = Psnr(judged, image);
                EXPECT_GT(psnr, lastPsnr) << "level " << level;
                EXPECT_GT(file.size(), lastSize) << "level " << level;
                lastPsnr = psnr;
                lastSize = file.size();
            }
            EXPECT_GT(lastPsnr, 38.0) << "level 0 keeps all but the chrominance detail";
        }
    }
}

TEST(JpegEncoder, EntropyDataIsStuffedAndFileEndsWithEoi) {
    TestHost host;
    for (int variant = 0; variant < 3; ++variant) {
        const bool grey = variant == 2;
        CVImage image(host.get());
        image.Create(grey ? 600 : 500, 400, grey ? 8 : 24, grey ? 256 : 0, nullptr);
        if (grey) {
            MakeGrey(image);
        }
        FillNoise(image, 9);
        // Level 0 on noise: large output (several 200000-byte buffers).
        const auto file = Encode(host, image, Levels(0, 0, variant == 1));
        ASSERT_GT(file.size(), 200000u);
        ASSERT_GE(file.size(), 4u);
        EXPECT_EQ(file[0], 0xFF);
        EXPECT_EQ(file[1], 0xD8);
        EXPECT_EQ(file[file.size() - 2], 0xFF);
        EXPECT_EQ(file[file.size() - 1], 0xD9);
        // Walk the segments; after each SOS every 0xFF is stuffed until the
        // next marker, which must be a table, a scan or the end.
        size_t i = 2;
        int stuffed = 0, scans = 0;
        bool ended = false;
        while (i + 4 <= file.size() && !ended) {
            ASSERT_EQ(file[i], 0xFF) << "at " << i;
            const int marker = file[i + 1];
            const size_t length = (file[i + 2] << 8) | file[i + 3];
            i += 2 + length;
            if (marker != 0xDA) {
                continue;
            }
            ++scans;
            while (i + 1 < file.size()) {
                if (file[i] == 0xFF) {
                    if (file[i + 1] == 0x00) {
                        ++stuffed;
                        i += 2;
                        continue;
                    }
                    const int next = file[i + 1];
                    ASSERT_TRUE(next == 0xC4 || next == 0xDA || next == 0xD9)
                        << "marker " << next << " inside scan data at " << i;
                    ended = next == 0xD9;
                    if (ended) {
                        EXPECT_EQ(i + 2, file.size()) << "EOI is last";
                    }
                    break;
                }
                ++i;
            }
        }
        EXPECT_TRUE(ended);
        EXPECT_GT(stuffed, 100);
        EXPECT_EQ(scans, variant == 1 ? 10 : 1);
        const JudgedImage judged = JudgeDecode(file);
        ASSERT_TRUE(judged.ok) << judged.error;
        EXPECT_EQ(judged.warnings, 0) << judged.error;
        if (grey) {
            EXPECT_GT(Psnr(judged, image), 40.0); // colour noise is lost to subsampling
        }
    }
}

TEST(JpegEncoder, PaddingBlocksCarryOnlyTheDcBeforeThem) {
    TestHost host;
    auto expectCopy = [](const JpegEncoder& e, int bx, int by, int fromX, int fromY) {
        const auto block = e.Block(0, bx, by);
        EXPECT_EQ(block[0], e.Block(0, fromX, fromY)[0]) << bx << "," << by;
        for (int k = 1; k < 64; ++k) {
            ASSERT_EQ(block[k], 0) << bx << "," << by << " coefficient " << k;
        }
    };
    for (int progressive = 0; progressive < 2; ++progressive) {
        CVImage image(host.get());
        // 1x1: one MCU; Y blocks 2, 3, 4 carry block 1's DC.
        MakeImage(image, 1, 1, false, 4);
        SetPixelAt(image, 0, 0, 0x3080C0);
        Encode(host, image, Levels(0, 0, progressive), nullptr, nullptr, nullptr,
               [&](const JpegCodec& codec) {
                   const JpegEncoder& e = codec.Encoder();
                   EXPECT_NE(e.Block(0, 0, 0)[0], 0);
                   expectCopy(e, 1, 0, 0, 0);
                   expectCopy(e, 0, 1, 1, 0);
                   expectCopy(e, 1, 1, 0, 1);
               });
        // 24 x 40: the last MCU column has 8 valid pixels, the last MCU row 8
        // valid rows.
        MakeImage(image, 24, 40, false, 5);
        FillNoise(image, 5);
        Encode(host, image, Levels(0, 0, progressive), nullptr, nullptr, nullptr,
               [&](const JpegCodec& codec) {
                   const JpegEncoder& e = codec.Encoder();
                   for (int by = 0; by < 6; ++by) {
                       if (by < 5) {
                           expectCopy(e, 3, by, 2, by); // right-hand blocks
                       }
                   }
                   // Bottom MCU row: blocks 3 and 4 follow blocks 2 and 3.
                   expectCopy(e, 0, 5, 1, 4);
                   expectCopy(e, 1, 5, 0, 5);
                   expectCopy(e, 2, 5, 2, 4);
                   expectCopy(e, 3, 5, 2, 5);
                   // Inside the picture the blocks are coded in full.
                   int nonZero = 0;
                   for (int k = 1; k < 64; ++k) {
                       nonZero += e.Block(0, 1, 4)[k] != 0;
                   }
                   EXPECT_GT(nonZero, 10);
               });
        const JudgedImage judged = JudgeDecode(Encode(host, image, Levels(0, 0, progressive)));
        ASSERT_TRUE(judged.ok) << judged.error;
        EXPECT_EQ(judged.warnings, 0) << judged.error;
    }
}

// Every coefficient is rounded to the nearest step: a flat grey 133 at level
// 200 (DC step 48, the DC of 5.5 x 8 lies at 0.92 of a step) comes back as
// 134, where a dead zone of a whole step made it 128. The sharpen setting no
// longer changes the file.
TEST(JpegEncoder, EveryBlockRoundsToTheNearestStep) {
    TestHost host;
    CVImage flat(host.get());
    flat.Create(32, 32, 24, 0, nullptr);
    for (int y = 0; y < 32; ++y) {
        std::memset(flat.Row(y), 133, 32 * 3);
    }
    const std::vector<uint8_t> file = Encode(host, flat, Levels(200, 200));
    const JudgedImage judged = JudgeDecode(file);
    ASSERT_TRUE(judged.ok) << judged.error;
    for (uint8_t value : judged.pixels) {
        ASSERT_EQ(value, 134);
    }
    CVImage busy(host.get());
    MakeImage(busy, 64, 64, false, 6);
    FillNoise(busy, 6);
    for (int sharpen : {1, 50, 100}) {
        EXPECT_EQ(Encode(host, busy, Levels(128, 128, false, sharpen)),
                  Encode(host, busy, Levels(128, 128)))
            << sharpen;
        EXPECT_EQ(Encode(host, flat, Levels(200, 200, true, sharpen)),
                  Encode(host, flat, Levels(200, 200, true)));
    }
    // The vector kernels still take a threshold.
    EXPECT_EQ(SharpenThreshold(0), 6000);
    EXPECT_EQ(SharpenThreshold(100), 180);
}

TEST(JpegEncoder, PreviewMatchesWhatLibjpegDecodes) {
    TestHost host;
    for (bool grey : {false, true}) {
        for (bool progressive : {false, true}) {
            CVImage image(host.get());
            MakeImage(image, 53, 37, grey, 8);
            CVImage preview(host.get());
            RecordingProgressDisplay display;
            HostProgress progress(&display, "Save");
            const auto file =
                Encode(host, image, Levels(90, 120, progressive), nullptr, &preview, &progress);
            EXPECT_GE(display.position, 95);
            JudgeOptions options;
            options.fancyUpsampling = false; // the preview replicates chrominance
            const JudgedImage judged = JudgeDecode(file, options);
            ASSERT_TRUE(judged.ok) << judged.error;
            ASSERT_EQ(preview.Width(), 53);
            ASSERT_EQ(preview.Height(), 37);
            ASSERT_EQ(preview.BitCount(), grey ? 8 : 24);
            int worst = 0;
            double total = 0;
            for (int y = 0; y < 37; ++y) {
                for (int x = 0; x < 53; ++x) {
                    const uint32_t got = PixelAt(preview, x, y);
                    for (int c = 0; c < (grey ? 1 : 3); ++c) {
                        const int mine = grey ? static_cast<int>(got)
                                              : static_cast<int>((got >> (16 - 8 * c)) & 0xFF);
                        const int theirs =
                            judged.pixels[(static_cast<size_t>(y) * 53 + x) * (grey ? 1 : 3) + c];
                        worst = std::max(worst, std::abs(mine - theirs));
                        total += std::abs(mine - theirs);
                    }
                }
            }
            EXPECT_LE(worst, 3) << (grey ? "grey" : "colour") << " progressive " << progressive;
            EXPECT_LT(total / (53.0 * 37 * (grey ? 1 : 3)), 0.6);
        }
    }
}

TEST(JpegEncoder, GreyPicturesUseTheirPaletteAndOthersAreRefused) {
    TestHost host;
    CVImage image(host.get());
    image.Create(40, 30, 8, 256, nullptr);
    RGBQUAD reversed[256];
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(255 - i);
        reversed[i] = RGBQUAD{v, v, v, 0};
    }
    image.SetPalette(reversed);
    FillPicture(image, 10);
    const JudgedImage judged = JudgeDecode(Encode(host, image, Levels(10, 10)));
    ASSERT_TRUE(judged.ok);
    EXPECT_EQ(judged.components, 1);
    EXPECT_GT(Psnr(judged, image), 40.0) << "levels come from the palette";

    JpegSettings settings{};
    JpegCodec codec(nullptr, host.get(), &settings);
    auto refused = [&](const CVImage& picture) {
        try {
            codec.BeginWrite(&picture, nullptr);
        } catch (const CVImageError& e) {
            return e.Code() == CVImageError::UnsupportedFormat;
        }
        return false;
    };
    reversed[77].rgbRed = 1; // one coloured entry
    image.SetPalette(reversed);
    EXPECT_TRUE(refused(image));
    CVImage small(host.get());
    small.Create(10, 10, 8, 16, nullptr);
    EXPECT_TRUE(refused(small)) << "grey, but not a full palette";
    small.Create(10, 10, 4, 16, nullptr);
    EXPECT_TRUE(refused(small));
    small.Create(10, 10, 1, 2, nullptr);
    EXPECT_TRUE(refused(small));
    MemoryStream stream(host.get(), 1024, 1024);
    EXPECT_THROW(codec.Write(&stream, nullptr, nullptr), CVImageError) << "no picture begun";
}

TEST(JpegEncoder, DensityComesFromTheResolution) {
    TestHost host;
    CVImage image(host.get());
    image.Create(16, 16, 24, 0, nullptr, 2835, 11811);
    FillPicture(image, 12);
    const JudgedImage judged = JudgeDecode(Encode(host, image, Levels(50, 50)));
    ASSERT_TRUE(judged.ok);
    EXPECT_EQ(judged.densityUnit, 1);
    EXPECT_EQ(judged.xDensity, 72);
    EXPECT_EQ(judged.yDensity, 300);

    // Unknown stays unknown: aspect ratio only (the reader makes that 0).
    CVImage unknown(host.get());
    unknown.Create(16, 16, 24, 0, nullptr, 0, 0);
    FillPicture(unknown, 12);
    const JudgedImage plain = JudgeDecode(Encode(host, unknown, Levels(50, 50)));
    ASSERT_TRUE(plain.ok);
    EXPECT_EQ(plain.densityUnit, 0);
    EXPECT_EQ(plain.xDensity, 1);
    EXPECT_EQ(plain.yDensity, 1);
}

TEST(JpegEncoder, QualityOffsetOfBeginWrite) {
    TestHost host;
    CVImage image(host.get());
    MakeImage(image, 16, 16, false, 13);
    const int offset = 50;
    Encode(host, image, Levels(100, 200), &offset, nullptr, nullptr, [](const JpegCodec& c) {
        EXPECT_EQ(c.Encoder().LuminanceLevel(), 50);
        EXPECT_EQ(c.Encoder().ChrominanceLevel(), 100);
    });
    const int beyond = -1000;
    Encode(host, image, Levels(100, 200), &beyond, nullptr, nullptr, [](const JpegCodec& c) {
        EXPECT_EQ(c.Encoder().LuminanceLevel(), AdjustLevel(100, -100));
    });
}

TEST(JpegEncoder, UserBreakLeavesNothingBehind) {
    TestHost host;
    CVImage image(host.get());
    MakeImage(image, 200, 200, false, 14);
    RecordingProgressDisplay display;
    display.breakAfterPolls = 3;
    HostProgress progress(&display, "Save");
    JpegSettings settings = Levels(50, 50, true);
    JpegCodec codec(nullptr, host.get(), &settings);
    codec.BeginWrite(&image, nullptr);
    MemoryStream stream(host.get(), 4096, 4096);
    try {
        codec.Write(&stream, &progress, nullptr);
        FAIL() << "no break";
    } catch (const CVImageError& e) {
        EXPECT_EQ(e.Code(), CVImageError::UserBreak);
    }
    // The codec can write again after the break.
    display.breakAfterPolls = -1;
    codec.BeginWrite(&image, nullptr);
    MemoryStream again(host.get(), 4096, 4096);
    EXPECT_TRUE(codec.Write(&again, nullptr, nullptr));
    EXPECT_TRUE(JudgeDecode(StreamBytes(again)).ok);
}

TEST(JpegEncoder, FlatColoursKeepTheirMeanThroughEncodeAndDecode) {
    // 256 flat 16x16 tiles of random colours. Averaged over the tiles no
    // channel may drift: a truncating colour conversion shows as a cast of
    // half a level or more.
    TestHost host;
    std::mt19937 random(29);
    CVImage image(host.get());
    image.Create(256, 256, 24, 0, nullptr);
    std::vector<uint32_t> colours(256);
    for (int t = 0; t < 256; ++t) {
        colours[t] = random() & 0xFFFFFFu;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                SetPixelAt(image, (t % 16) * 16 + x, (t / 16) * 16 + y, colours[t]);
            }
        }
    }
    for (int level : {1, 40}) {
        for (int mode = 0; mode < 4; ++mode) {
            const bool progressive = (mode & 1) != 0;
            JpegSettings settings = Levels(level, level, progressive);
            settings.web = mode >> 1; // the web encoding keeps the mean too
            const JudgedImage judged = JudgeDecode(Encode(host, image, settings));
            ASSERT_TRUE(judged.ok) << judged.error;
            double drift[3] = {0, 0, 0};
            int samples = 0;
            for (int t = 0; t < 256; ++t) {
                // The tile's inside: upsampled chrominance there comes from the tile alone.
                for (int y = 4; y < 12; ++y) {
                    for (int x = 4; x < 12; ++x) {
                        const size_t at =
                            3 * ((static_cast<size_t>(t / 16) * 16 + y) * 256 + (t % 16) * 16 + x);
                        for (int c = 0; c < 3; ++c) {
                            const int source = static_cast<int>(colours[t] >> (16 - 8 * c)) & 0xFF;
                            const int decoded = judged.pixels[at + c];
                            if (level == 1 && settings.web == 0) {
                                ASSERT_LE(std::abs(decoded - source), 2) << "tile " << t;
                            }
                            drift[c] += decoded - source;
                        }
                        ++samples;
                    }
                }
            }
            for (int c = 0; c < 3; ++c) {
                EXPECT_LT(std::fabs(drift[c] / samples), 0.25)
                    << "RGB"[c] << " at level " << level << (progressive ? " progressive" : "")
                    << (settings.web ? " web" : "");
            }
        }
    }
}

TEST(JpegEncoder, GoldenChecksums) {
    // Deterministic output: a change here is a change of every file written.
    TestHost host;
    CVImage colour(host.get()), grey(host.get());
    MakeImage(colour, 48, 40, false, 7);
    MakeImage(grey, 33, 17, true, 7);
    const uint64_t sums[] = {
        Fnv1a(Encode(host, colour, Levels(60, 90))),
        Fnv1a(Encode(host, colour, Levels(20, 40, true, 50))),
        Fnv1a(Encode(host, colour, Levels(70, 70, true))),
        Fnv1a(Encode(host, grey, Levels(100, 0, true))),
        Fnv1a(Encode(host, grey, Levels(30, 0))),
    };
    // Rounding every coefficient to the nearest step (no dead zone) changed
    // all of them once.
    const uint64_t expected[] = {0x5fe21fa16385e0a0ull, 0xb4a6b0e4c22b9548ull,
                                 0x806c2a0b10ae20dbull, 0xc13a525f4bfe52efull,
                                 0x02828a5064325a86ull};
    for (size_t i = 0; i < std::size(sums); ++i) {
        EXPECT_EQ(sums[i], expected[i]) << "encode " << i << ": 0x" << std::hex << sums[i];
    }
}

namespace {

// A large smooth picture: long runs of empty blocks (end-of-band runs at
// their limit, zero-run codes) with a few busy places.
void FillSmooth(CVImage& image) {
    for (int y = 0; y < image.Height(); ++y) {
        uint8_t* row = image.Row(y);
        for (int x = 0; x < image.Width(); ++x) {
            const bool spot = (x / 97 + y / 89) % 11 == 0 && (x ^ y) % 7 < 3;
            const int l = 60 + x / 16 + y / 24 + (spot ? 90 : 0);
            if (image.BitCount() == 8) {
                row[x] = static_cast<uint8_t>(std::min(l, 255));
            } else {
                row[3 * x] = static_cast<uint8_t>(std::min(l + y / 40, 255));
                row[3 * x + 1] = static_cast<uint8_t>(std::min(l, 255));
                row[3 * x + 2] = static_cast<uint8_t>(std::min(l + x / 50, 255));
            }
        }
    }
}

} // namespace

// The exact encoding's fast paths: every file is byte for byte the same with
// the vector kernels switched off and on (the sums changed once, when the
// quantiser stopped using a dead zone).
TEST(JpegFastPaths, FilesStayByteForByteTheSame) {
    TestHost host;
    struct Case {
        int width, height;
        bool grey;
        int kind; // 0 picture, 1 noise, 2 smooth
        uint64_t expected;
    };
    const Case cases[] = {
        {301, 203, false, 0, 0x471c20c1453b5a07ull},   {301, 203, true, 0, 0x180514dfe4e16a62ull},
        {150, 98, false, 1, 0xb90343c00e228464ull},    {150, 98, true, 1, 0xa37cc5edf5ca63dbull},
        {1700, 1300, false, 2, 0xd7be5efa4eb609a0ull}, {1450, 1450, true, 2, 0xb7d4a712ecb8a790ull},
    };
    // Levels across the three progressive scripts, both quantisers.
    const JpegSettings settings[] = {Levels(0, 0, false, 0),      Levels(1, 1, true, 0),
                                     Levels(30, 60, true, 70),    Levels(60, 90, false, 50),
                                     Levels(70, 70, true, 0),     Levels(128, 128, false, 0),
                                     Levels(128, 128, true, 100), Levels(255, 255, true, 0)};
    for (const Case& c : cases) {
        CVImage image(host.get());
        image.Create(c.width, c.height, c.grey ? 8 : 24, c.grey ? 256 : 0, nullptr);
        if (c.grey) {
            MakeGrey(image);
        }
        if (c.kind == 0) {
            FillPicture(image, 71);
        } else if (c.kind == 1) {
            FillNoise(image, 72);
        } else {
            FillSmooth(image);
        }
        for (bool vector : {false, true}) {
            SetVectorKernels(vector);
            std::vector<uint8_t> files;
            for (const JpegSettings& s : settings) {
                if (c.kind == 2 && (s.luminance < 60)) {
                    continue; // the large pictures at the levels where their runs are long
                }
                const std::vector<uint8_t> file = Encode(host, image, s);
                files.insert(files.end(), file.begin(), file.end());
            }
            const uint64_t h = Fnv1a(files);
            EXPECT_EQ(h, c.expected) << c.width << "x" << c.height << (vector ? " vector" : "")
                                     << ": 0x" << std::hex << h;
        }
        SetVectorKernels(true);
    }
}

// The fused transform and quantiser against the transform followed by a
// quantiser written out plainly (division instead of reciprocals), on random
// blocks and tables, with and without the sharpening rule; the packed form
// of the result unpacks to the same block.
TEST(JpegFastPaths, FusedKernelEqualsTransformThenQuantiser) {
    for (int n = 0; n < 64; ++n) {
        ASSERT_EQ(kNaturalOrder[kZigzagIndex[n]], n);
    }
    if (!VectorKernelsActive()) {
        GTEST_SKIP() << "no AVX2 on this processor";
    }
    std::mt19937 random(83);
    std::uniform_int_distribution<int> sample(-128, 127), level(0, 255), sharpen(0, 100);
    for (int i = 0; i < 20000; ++i) {
        int16_t block[64];
        const int kind = i % 4; // random, extremes only, a ramp, flat
        const int flat = sample(random);
        for (int k = 0; k < 64; ++k) {
            const int s = sample(random);
            block[k] = static_cast<int16_t>(kind == 0   ? s
                                            : kind == 1 ? (s < 0 ? -128 : 127)
                                            : kind == 2 ? std::clamp(s / 8 + 4 * k - 128, -128, 127)
                                                        : flat);
        }
        uint8_t table[64];
        QuantisationTable(i % 7 == 0 ? 0 : level(random), i % 2 == 1, table);
        const int threshold = SharpenThreshold(i % 3 == 0 ? 0 : sharpen(random));
        NaturalQuantiser quantiser;
        for (int k = 0; k < 64; ++k) {
            const uint32_t divisor = 8u * table[k];
            quantiser.divisor[kNaturalOrder[k]] = divisor;
            quantiser.reciprocal[kNaturalOrder[k]] =
                static_cast<uint32_t>(((uint64_t{1} << 32) + divisor - 1) / divisor);
        }

        int16_t natural[64], expected[64];
        ForwardDctScalar(block, natural);
        int energy = 0;
        for (int k = 10; k < 64; ++k) {
            energy += std::abs(natural[kNaturalOrder[k]]);
        }
        const bool rounding = threshold < 6000 && energy > threshold;
        for (int k = 0; k < 64; ++k) {
            const int c = natural[kNaturalOrder[k]];
            const int divisor = 8 * table[k];
            const int magnitude = std::abs(c);
            const int q = std::min((magnitude + divisor / 2) / divisor, k == 0 ? 2047 : 1023);
            const bool zero = magnitude < (rounding ? divisor - divisor / 2 : divisor);
            expected[k] = static_cast<int16_t>(zero ? 0 : c < 0 ? -q : q);
        }

        int16_t out[64];
        int dc = 0;
        const uint64_t nonZero = TransformQuantiseAvx2(block, quantiser, threshold, out, &dc);
        ASSERT_EQ(dc, natural[0]) << "block " << i;
        int16_t packed[64], unpacked[64];
        uint64_t mask = 0;
        const int16_t* end = PackNatural(out, nonZero, packed, &mask);
        Unpack(mask, packed, unpacked);
        ASSERT_EQ(std::vector<int16_t>(unpacked, unpacked + 64),
                  std::vector<int16_t>(expected, expected + 64))
            << "block " << i;
        ASSERT_EQ(end - packed, __builtin_popcountll(mask));
        int16_t again[64];
        uint64_t zigzagMask = 0;
        ASSERT_EQ(PackZigzag(expected, again, &zigzagMask) - again, end - packed);
        ASSERT_EQ(zigzagMask, mask);
    }
}
