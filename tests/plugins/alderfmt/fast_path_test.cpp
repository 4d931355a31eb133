// The exact encoding's fast paths: every file is byte for byte what the
// encoder has always written (checksums taken before the fast paths), with
// the vector kernels switched off and on, and each kernel equals its scalar
// counterpart on random blocks.
#include "dct.h"
#include "jpeg_codec.h"
#include "jpeg_encoder.h"
#include "jpeg_judge.h"
#include "packed_blocks.h"
#include "support/test_host.h"
#include "vector_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace pixmill;
using namespace pixmill::alder;
using namespace pixmill::test;

namespace {

JpegSettings Settings(int luminance, int chrominance, bool progressive, int sharpen) {
    JpegSettings s{};
    s.luminance = luminance;
    s.chrominance = chrominance;
    s.progressive = progressive ? 1 : 0;
    s.sharpen = sharpen;
    return s;
}

std::vector<uint8_t> Encode(TestHost& host, const CVImage& image, const JpegSettings& settings) {
    JpegCodec codec(nullptr, host.get(), &settings);
    codec.BeginWrite(&image, nullptr);
    CVMemoryStream stream(host.get(), 65536, 65536);
    EXPECT_TRUE(codec.Write(&stream, nullptr, nullptr));
    codec.FreeWorkBuffer();
    return StreamBytes(stream);
}

void Hash(uint64_t& h, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) {
        h = (h ^ b) * 1099511628211ull;
    }
}

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

TEST(JpegFastPaths, FilesStayByteForByteTheSame) {
    TestHost host;
    struct Case {
        int width, height;
        bool grey;
        int kind; // 0 picture, 1 noise, 2 smooth
        uint64_t expected;
    };
    const Case cases[] = {
        {301, 203, false, 0, 0x336d81a1031fd23eull},   {301, 203, true, 0, 0x1bda891a070f5e77ull},
        {150, 98, false, 1, 0xfe9c8cad005a3c88ull},    {150, 98, true, 1, 0x9e9c2721b74c76c7ull},
        {1700, 1300, false, 2, 0x0e803815839eb929ull}, {1450, 1450, true, 2, 0x8dea5d83b1065802ull},
    };
    // Levels across the three progressive scripts, both quantisers.
    const JpegSettings settings[] = {Settings(0, 0, false, 0),      Settings(1, 1, true, 0),
                                     Settings(30, 60, true, 70),    Settings(60, 90, false, 50),
                                     Settings(70, 70, true, 0),     Settings(128, 128, false, 0),
                                     Settings(128, 128, true, 100), Settings(255, 255, true, 0)};
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
            uint64_t h = 1469598103934665603ull;
            for (const JpegSettings& s : settings) {
                if (c.kind == 2 && (s.luminance < 60)) {
                    continue; // the large pictures at the levels where their runs are long
                }
                Hash(h, Encode(host, image, s));
            }
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
