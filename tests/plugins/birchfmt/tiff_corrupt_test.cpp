// Damaged files: truncations and byte flips of valid files of every kind and
// compression go through the reader. Each ends in success or an error of the
// error family, never a crash; libtiff prints nothing.
#include "pixmill/errors.h"
#include "support/test_host.h"
#include "tiff_test_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <unistd.h>

using namespace pixmill;
using namespace pixmill::test;

namespace {

// Sends the process's stderr to a temporary file while it lives.
class StderrCapture {
  public:
    StderrCapture() : file(std::tmpfile()) {
        std::fflush(stderr);
        saved = dup(2);
        dup2(fileno(file), 2);
    }
    ~StderrCapture() {
        Restore();
        std::fclose(file);
    }
    std::string Text() {
        Restore();
        std::string text;
        std::rewind(file);
        char buffer[256];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            text.append(buffer, n);
        }
        return text;
    }

  private:
    void Restore() {
        if (saved >= 0) {
            std::fflush(stderr);
            dup2(saved, 2);
            close(saved);
            saved = -1;
        }
    }
    FILE* file;
    int saved = -1;
};

std::vector<ByteVector> ValidFiles() {
    std::vector<ByteVector> files;
    auto pattern = [](uint32_t x, uint32_t y, uint32_t s) { return x * 5 + y * 3 + s * 50; };
    struct Variant {
        uint16_t bits, samples, photometric, compression;
    };
    for (const Variant v : {Variant{8, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW},
                            Variant{8, 3, PHOTOMETRIC_RGB, COMPRESSION_NONE},
                            Variant{8, 4, PHOTOMETRIC_RGB, COMPRESSION_PACKBITS},
                            Variant{1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4},
                            Variant{1, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_CCITTRLE},
                            Variant{4, 1, PHOTOMETRIC_PALETTE, COMPRESSION_LZW},
                            Variant{16, 3, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE},
                            Variant{8, 2, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE}}) {
        TiffSpec spec;
        spec.width = 40;
        spec.height = 23;
        spec.bitsPerSample = v.bits;
        spec.samplesPerPixel = v.samples;
        spec.photometric = v.photometric;
        spec.compression = v.compression;
        spec.rowsPerStrip = 5;
        if (v.samples == 4 || v.samples == 2) {
            spec.extraSamples = {EXTRASAMPLE_UNASSALPHA};
        }
        if (v.photometric == PHOTOMETRIC_PALETTE) {
            for (int i = 0; i < 16; ++i) {
                spec.red.push_back(static_cast<uint16_t>(i * 4000));
                spec.green.push_back(static_cast<uint16_t>(65535 - i * 4000));
                spec.blue.push_back(static_cast<uint16_t>(i * 100));
            }
        }
        const uint32_t mask = v.bits == 16 ? 0xFFFF : (1u << v.bits) - 1;
        spec.sample = [=](uint32_t x, uint32_t y, uint32_t s) { return pattern(x, y, s) & mask; };
        files.push_back(MakeTiff(spec));
    }
    return files;
}

} // namespace

TEST(TiffCorrupt, DamagedFilesFailCleanly) {
    TestHost host;
    const std::vector<ByteVector> files = ValidFiles();
    std::mt19937 random(20240611);
    int variants = 0;
    int failures = 0;
    StderrCapture capture;
    for (const ByteVector& valid : files) {
        ASSERT_FALSE(valid.empty());
        std::vector<ByteVector> damaged;
        for (size_t cut = 0; cut < valid.size(); cut += 1 + valid.size() / 40) {
            damaged.emplace_back(valid.begin(), valid.begin() + static_cast<long>(cut));
        }
        for (int n = 0; n < 60; ++n) {
            ByteVector flipped = valid;
            const int flips = 1 + n % 4;
            for (int f = 0; f < flips; ++f) {
                // Favour the header and the directory, where damage matters most.
                const size_t at =
                    n % 2 == 0 ? random() % valid.size()
                               : valid.size() - 1 - random() % std::min<size_t>(valid.size(), 200);
                flipped[at] ^= static_cast<uint8_t>(1u << (random() % 8));
                if (n % 5 == 0) {
                    flipped[at] = 0xFF;
                }
            }
            damaged.push_back(std::move(flipped));
        }
        for (const ByteVector& file : damaged) {
            ++variants;
            CVImage image(host.get());
            try {
                ReadWithCodec(host.get(), file, image);
                const SIZE box{7, 7};
                CVImage preview(host.get());
                ReadWithCodec(host.get(), file, preview, &box);
            } catch (const CQorelError&) {
                ++failures;
            }
        }
    }
    const std::string printed = capture.Text();
    EXPECT_EQ(printed, "") << "libtiff printed something";
    EXPECT_GT(variants, 700);
    EXPECT_GT(failures, variants / 4) << "most damage is noticed";
}
