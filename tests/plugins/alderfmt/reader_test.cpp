// The JPEG reader on libjpeg: pictures equal libjpeg's own decoding, grey
// files become 8-bit grey ramps, CMYK is refused, previews decode at a
// reduced scale, progressive files are shown scan by scan, and damaged or
// hostile files end with image errors, never a crash or a message.
#include "jpeg_codec.h"
#include "jpeg_judge.h"
#include "pixmill/errors.h"
#include "pixmill/progress.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <random>

using namespace pixmill;
using namespace pixmill::alder;
using namespace pixmill::test;

namespace {

struct ReadResult {
    SIZE headerSize{};
    SIZE decodedSize{};
    bool preview = false;
    int writtenSize = 0;
};

ReadResult Read(TestHost& host, const std::vector<uint8_t>& file, CVImage& image,
                const SIZE* box = nullptr, CVProgress* progress = nullptr) {
    JpegSettings settings{};
    JpegCodec codec(nullptr, host.get(), &settings);
    MemoryStream stream(host.get(), file.size() + 1, 4096);
    LoadStream(stream, file);
    ReadResult result;
    result.headerSize = codec.ReadHeader(&image, &stream, box);
    result.decodedSize = codec.DecodedSize();
    result.preview = codec.PreviewMode();
    EXPECT_TRUE(codec.ReadPixels(progress));
    result.writtenSize = codec.GetWrittenSize();
    return result;
}

std::vector<uint8_t> OurFile(TestHost& host, int width, int height, bool grey, bool progressive,
                             int level = 40, int xPelsPerMeter = 0) {
    CVImage image(host.get());
    image.Create(width, height, grey ? 8 : 24, grey ? 256 : 0, nullptr, xPelsPerMeter,
                 xPelsPerMeter);
    if (grey) {
        MakeGrey(image);
    }
    FillPicture(image, static_cast<uint32_t>(width * 7 + height));
    JpegSettings settings{};
    settings.luminance = level;
    settings.chrominance = level;
    settings.progressive = progressive ? 1 : 0;
    JpegCodec codec(nullptr, host.get(), &settings);
    codec.BeginWrite(&image, nullptr);
    MemoryStream stream(host.get(), 4096, 4096);
    codec.Write(&stream, nullptr, nullptr);
    return StreamBytes(stream);
}

std::vector<uint8_t> Pixels(int width, int height, int components, uint32_t seed) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * components);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < components; ++c) {
                pixels[(static_cast<size_t>(y) * width + x) * components + c] =
                    static_cast<uint8_t>((x * (c + 1) + y * (3 - c) + random() % 8) & 0xFF);
            }
        }
    }
    return pixels;
}

// Expects the image to hold exactly what libjpeg decodes (RGB judged, BGR in
// memory).
void ExpectSameAsJudge(const CVImage& image, const JudgedImage& judged, const char* what) {
    ASSERT_TRUE(judged.ok) << what << ": " << judged.error;
    ASSERT_EQ(image.Width(), judged.width) << what;
    ASSERT_EQ(image.Height(), judged.height) << what;
    for (int y = 0; y < judged.height; ++y) {
        for (int x = 0; x < judged.width; ++x) {
            const uint8_t* p = judged.pixels.data() +
                               (static_cast<size_t>(y) * judged.width + x) * judged.components;
            const uint32_t expected = judged.components == 1
                                          ? p[0]
                                          : static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
            ASSERT_EQ(PixelAt(image, x, y), expected) << what << " at " << x << "," << y;
        }
    }
}

size_t FindMarker(const std::vector<uint8_t>& file, uint8_t marker) {
    for (size_t i = 0; i + 1 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] == marker) {
            return i;
        }
    }
    return std::string::npos;
}

// Records the picture as it stands at the start of every progress range.
class SnapshotProgress : public CVProgress {
  public:
    explicit SnapshotProgress(const CVImage& image) : image(image) {}
    int Begin(int barFirst, int, int, int workLast) override {
        firsts.push_back(barFirst);
        snapshots.emplace_back(image.bits, image.bits + image.ImageBytes());
        return workLast;
    }
    int Step(const char*) override { return 1 << 30; }
    void End() override { ++ends; }
    const CVImage& image;
    std::vector<int> firsts;
    std::vector<std::vector<uint8_t>> snapshots;
    int ends = 0;
};

bool greyFile(const std::vector<uint8_t>& file) {
    return JudgeDecode(file).components == 1;
}

// An image holding a snapshot's pixels, for comparing.
void Restore(CVImage& image, const std::vector<uint8_t>& snapshot) {
    std::copy(snapshot.begin(), snapshot.end(), image.bits);
}

} // namespace

TEST(JpegReader, ReadsWhatLibjpegReads) {
    TestHost host;
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
    };
    const Case cases[] = {
        {"our baseline", OurFile(host, 61, 45, false, false)},
        {"our progressive", OurFile(host, 61, 45, false, true, 20)},
        {"our grey progressive", OurFile(host, 30, 50, true, true, 20)},
        {"libjpeg baseline", LibjpegEncode(50, 40, 3, Pixels(50, 40, 3, 1), 85, false)},
        {"libjpeg progressive", LibjpegEncode(50, 40, 3, Pixels(50, 40, 3, 2), 85, true)},
        {"libjpeg restarts", LibjpegEncode(70, 50, 3, Pixels(70, 50, 3, 3), 75, false, 1)},
        {"libjpeg grey", LibjpegEncode(33, 21, 1, Pixels(33, 21, 1, 4), 90, false)},
    };
    for (const Case& c : cases) {
        CVImage image(host.get());
        const ReadResult result = Read(host, c.file, image);
        const JudgedImage judged = JudgeDecode(c.file);
        EXPECT_EQ(result.headerSize.cx, judged.width) << c.what;
        EXPECT_EQ(result.headerSize.cy, judged.height) << c.what;
        EXPECT_FALSE(result.preview);
        EXPECT_EQ(result.writtenSize, static_cast<int>(c.file.size())) << c.what;
        if (judged.components == 1) {
            EXPECT_EQ(image.BitCount(), 8) << c.what;
            EXPECT_EQ(image.paletteCount, 256) << c.what;
            EXPECT_TRUE(image.IsGrayRamp()) << c.what;
        } else {
            EXPECT_EQ(image.BitCount(), 24) << c.what;
        }
        ExpectSameAsJudge(image, judged, c.what);
    }
}

TEST(JpegReader, ResolutionFromTheDensity) {
    TestHost host;
    CVImage image(host.get());
    auto file = OurFile(host, 16, 16, false, false, 40, 2835); // 72 dpi
    Read(host, file, image);
    EXPECT_EQ(image.header.biXPelsPerMeter, 2835);
    // Dots per centimetre: APP0 units at byte 13, X density at 14.
    ASSERT_EQ(file[13], 1);
    file[13] = 2;
    file[14] = 0;
    file[15] = 28;
    Read(host, file, image);
    EXPECT_EQ(image.header.biXPelsPerMeter, 2800);
    // Units 0 give only the aspect ratio: the resolution is unknown.
    file[13] = 0;
    file[15] = 1;
    Read(host, file, image);
    EXPECT_EQ(image.header.biXPelsPerMeter, 0);
    EXPECT_EQ(image.header.biYPelsPerMeter, 0);
    // Any other unit counts as dots per inch.
    file[13] = 7;
    Read(host, file, image);
    EXPECT_EQ(image.header.biXPelsPerMeter, 39);
    const SIZE box{100, 100};
    Read(host, file, image, &box);
    EXPECT_EQ(image.header.biXPelsPerMeter, 0) << "previews carry no resolution";
}

// CMYK and YCCK (libjpeg writes both with an Adobe marker, inks inverted as
// every common writer stores them) become RGB by the standard formula, from
// the CMYK samples libjpeg decodes; preview sizes too.
TEST(JpegReader, CmykAndYcckBecomeRgb) {
    TestHost host;
    for (const bool ycck : {false, true}) {
        SCOPED_TRACE(ycck ? "YCCK" : "CMYK");
        const auto file = LibjpegEncode(20, 10, 4, Pixels(20, 10, 4, 5), 80, false, 0, ycck);
        ASSERT_FALSE(file.empty());
        const JudgedImage judged = JudgeDecode(file);
        ASSERT_EQ(judged.components, 4);
        CVImage image(host.get());
        Read(host, file, image);
        ASSERT_EQ(image.BitCount(), 24);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 20; ++x) {
                const uint8_t* cmyk = judged.pixels.data() + 4 * (static_cast<size_t>(y) * 20 + x);
                auto ink = [&](int i) {
                    return static_cast<uint32_t>((cmyk[i] * cmyk[3] + 127) / 255);
                };
                ASSERT_EQ(PixelAt(image, x, y), ink(0) << 16 | ink(1) << 8 | ink(2))
                    << x << "," << y;
            }
        }
        const SIZE box{10, 5};
        Read(host, file, image, &box);
        EXPECT_EQ(image.BitCount(), 24);
        EXPECT_EQ(image.Width(), 10);
    }
}

TEST(JpegReader, PreviewsDecodeAtAReducedScale) {
    TestHost host;
    std::vector<uint8_t> smooth(2000 * 1000);
    for (int y = 0; y < 1000; ++y) {
        for (int x = 0; x < 2000; ++x) {
            smooth[static_cast<size_t>(y) * 2000 + x] = static_cast<uint8_t>(x / 10 + y / 20);
        }
    }
    const auto file = LibjpegEncode(2000, 1000, 1, smooth, 50, false);
    struct Case {
        SIZE box, image, decoded;
    };
    const Case cases[] = {
        {{200, 100}, {200, 100}, {250, 125}},       // ratio 10: 1/8
        {{450, 450}, {450, 225}, {500, 250}},       // ratio 4.4: 1/4
        {{700, 700}, {700, 350}, {1000, 500}},      // ratio 2.9: 1/2
        {{1500, 900}, {1500, 750}, {2000, 1000}},   // ratio 1.3: full scale
        {{3000, 3000}, {2000, 1000}, {2000, 1000}}, // box not smaller
    };
    const JudgedImage full = JudgeDecode(file);
    for (const Case& c : cases) {
        CVImage image(host.get());
        const ReadResult result = Read(host, file, image, &c.box);
        EXPECT_TRUE(result.preview);
        EXPECT_EQ(result.headerSize.cx, 2000);
        EXPECT_EQ(result.headerSize.cy, 1000);
        EXPECT_EQ(image.Width(), c.image.cx);
        EXPECT_EQ(image.Height(), c.image.cy);
        EXPECT_EQ(result.decodedSize.cx, c.decoded.cx);
        EXPECT_EQ(result.decodedSize.cy, c.decoded.cy);
        // Every row arrived: each pixel lies near the full picture's at the
        // same place (scaled decoding averages, so allow for it).
        int far = 0;
        for (int y = 0; y < image.Height(); y += 7) {
            for (int x = 0; x < image.Width(); x += 7) {
                const int sx = x * 2000 / image.Width(), sy = y * 1000 / image.Height();
                const int expected = full.pixels[static_cast<size_t>(sy) * 2000 + sx];
                far += std::abs(static_cast<int>(PixelAt(image, x, y)) - expected) > 8;
            }
        }
        EXPECT_EQ(far, 0) << c.box.cx;
    }
}

TEST(JpegReader, ProgressiveFilesAreShownScanByScan) {
    TestHost host;
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        std::vector<int> scans;  // shown after each pass
        std::vector<int> firsts; // progress ranges' starts
    };
    const Case cases[] = {
        // Ten scans: shown after 1, 5 and 9, then complete.
        {"colour",
         LibjpegEncode(48, 40, 3, Pixels(48, 40, 3, 7), 80, true),
         {1, 5, 9, 10},
         {0, 20, 40, 60}},
        {"our colour", OurFile(host, 48, 40, false, true, 20), {1, 5, 9, 10}, {0, 20, 40, 60}},
        // Six grey scans: 1, 2, 5, then complete.
        {"grey",
         LibjpegEncode(48, 40, 1, Pixels(48, 40, 1, 8), 80, true),
         {1, 2, 5, 6},
         {0, 30, 50, 70}},
        // Four scans: 1, then the rest at once.
        {"our coarse colour", OurFile(host, 48, 40, false, true, 120), {1, 4}, {0, 20}},
    };
    for (const Case& c : cases) {
        CVImage image(host.get());
        JpegSettings settings{};
        JpegCodec codec(nullptr, host.get(), &settings);
        MemoryStream stream(host.get(), c.file.size(), 4096);
        LoadStream(stream, c.file);
        codec.ReadHeader(&image, &stream, nullptr);
        SnapshotProgress progress(image);
        ASSERT_TRUE(codec.ReadPixels(&progress));
        EXPECT_EQ(progress.firsts, c.firsts) << c.what;
        EXPECT_EQ(progress.ends, 1);
        ASSERT_EQ(progress.snapshots.size(), c.scans.size()) << c.what;
        // Snapshot i + 1 holds pass i; the image holds the last pass. libjpeg
        // itself, driven through the same display, is the reference.
        const auto passes =
            JudgeDisplay(c.file, {1, greyFile(c.file) ? 2 : 5, greyFile(c.file) ? 5 : 9, 12, 0});
        ASSERT_EQ(passes.size(), c.scans.size()) << c.what;
        CVImage shown(host.get());
        shown.Create(image.Width(), image.Height(), image.BitCount(), image.paletteCount, nullptr);
        shown.SetPalette(image.palette);
        for (size_t pass = 0; pass < passes.size(); ++pass) {
            EXPECT_EQ(passes[pass].scans, c.scans[pass]) << c.what;
            if (pass + 1 < passes.size()) {
                Restore(shown, progress.snapshots[pass + 1]);
                ExpectSameAsJudge(shown, passes[pass], c.what);
            } else {
                ExpectSameAsJudge(image, passes[pass], c.what);
                ExpectSameAsJudge(image, JudgeDecode(c.file), c.what);
            }
        }
    }
}

TEST(JpegReader, TruncatedFilesOpenWithWhatArrived) {
    TestHost host;
    for (bool progressive : {false, true}) {
        const auto file = OurFile(host, 64, 64, false, progressive, 10);
        const JudgedImage full = JudgeDecode(file);
        std::vector<uint8_t> cut(file.begin(), file.begin() + file.size() * 6 / 10);
        CVImage image(host.get());
        Read(host, cut, image);
        ASSERT_EQ(image.Width(), 64);
        if (!progressive) {
            // The first MCU row arrived whole.
            for (int x = 0; x < 64; ++x) {
                const uint8_t* p = full.pixels.data() + 3 * x;
                EXPECT_EQ(PixelAt(image, x, 0),
                          static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]));
            }
        }
    }
}

// ---------------------------------------------------------------- bad input

namespace {

// Reads a damaged file: success, or an image error of the reader's kinds.
// Returns the error code, or -1 for success.
int ReadDamaged(TestHost& host, const std::vector<uint8_t>& file, bool withBox) {
    CVImage image(host.get());
    const SIZE box{16, 16};
    try {
        Read(host, file, image, withBox ? &box : nullptr);
        return -1;
    } catch (const CVImageError& e) {
        return e.Code();
    }
}

} // namespace

TEST(JpegReader, DamagedFilesEndWithImageErrors) {
    TestHost host;
    const std::vector<std::vector<uint8_t>> originals = {
        OurFile(host, 40, 24, false, false, 30),
        OurFile(host, 40, 24, false, true, 20),
        OurFile(host, 24, 16, true, true, 20),
        LibjpegEncode(40, 24, 3, Pixels(40, 24, 3, 9), 75, false, 1),
    };
    std::mt19937 random(2024);
    int variants = 0, failures = 0;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    for (const auto& original : originals) {
        auto check = [&](const std::vector<uint8_t>& damaged) {
            const int code = ReadDamaged(host, damaged, variants % 3 == 0);
            ++variants;
            if (code >= 0) {
                ++failures;
                EXPECT_TRUE(code == CVImageError::ReadError ||
                            code == CVImageError::MismatchedFormat ||
                            code == CVImageError::UnsupportedFormat ||
                            code == CVImageError::DimensionsTooLarge)
                    << "code " << code;
            }
        };
        // Truncations: every length through the headers, then steps.
        for (size_t length = 0; length < original.size(); length += length < 700 ? 1 : 37) {
            check(std::vector<uint8_t>(original.begin(), original.begin() + length));
        }
        // Byte flips and overwrites anywhere.
        for (int i = 0; i < 400; ++i) {
            auto damaged = original;
            const int changes = 1 + static_cast<int>(random() % 4);
            for (int j = 0; j < changes; ++j) {
                const size_t at = random() % damaged.size();
                damaged[at] = (random() & 1)
                                  ? static_cast<uint8_t>(damaged[at] ^ (1u << (random() % 8)))
                                  : static_cast<uint8_t>(random());
            }
            check(damaged);
        }
    }
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "") << "the reader never prints";
    EXPECT_EQ(out, "");
    EXPECT_GT(failures, 100) << "the sweep reached the failure paths";
    EXPECT_GT(variants - failures, 100) << "and the recovering ones";
}

TEST(JpegReader, HostileHeaders) {
    TestHost host;
    const auto good = OurFile(host, 40, 24, false, false);
    const size_t sof = FindMarker(good, 0xC0);
    const size_t dht = FindMarker(good, 0xC4);
    ASSERT_NE(sof, std::string::npos);
    ASSERT_NE(dht, std::string::npos);
    auto patched = [&](size_t at, std::initializer_list<uint8_t> bytes) {
        auto file = good;
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
        return file;
    };
    const std::vector<std::vector<uint8_t>> hostile = {
        patched(sof + 5, {0xFF, 0xFF, 0xFF, 0xFF}), // 65535 x 65535
        patched(sof + 5, {0x00, 0x00}),             // height 0
        patched(sof + 7, {0x00, 0x00}),             // width 0
        patched(sof + 9, {0x07}),                   // seven components
        patched(dht + 5, {0xFF, 0xFF, 0xFF}),       // counts beyond 256 symbols
        patched(dht + 5, {0x00, 0x05}),             // more 2-bit codes than exist
        {0xFF, 0xD8, 0xFF},                         // signature only
        {},                                         // nothing at all
        {'G', 'I', 'F', '8', '9', 'a'},             // not JPEG
    };
    testing::internal::CaptureStderr();
    for (size_t i = 0; i < hostile.size(); ++i) {
        EXPECT_EQ(ReadDamaged(host, hostile[i], false), CVImageError::ReadError) << "case " << i;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

namespace {

// A stream that fails after some bytes, as a failing disk would.
class FailingStream : public CVStream {
  public:
    FailingStream(std::vector<uint8_t> bytes, size_t failAt)
        : bytes(std::move(bytes)), failAt(failAt) {}
    size_t Read(void* buffer, size_t count) override {
        if (position >= failAt) {
            throw CVFileError(5, "broken.jpg");
        }
        const size_t n = std::min(count, bytes.size() - position);
        std::copy_n(bytes.data() + position, n, static_cast<uint8_t*>(buffer));
        position += n;
        return n;
    }
    size_t Write(const void*, size_t) override { return 0; }
    int64_t Seek(int64_t offset, int) override { return static_cast<int64_t>(position = offset); }
    std::vector<uint8_t> bytes;
    size_t failAt;
    size_t position = 0;
};

} // namespace

TEST(JpegReader, StreamErrorsReachTheCaller) {
    TestHost host;
    const auto file = OurFile(host, 300, 200, false, false, 0);
    ASSERT_GT(file.size(), 3 * 4096u);
    for (size_t failAt : {size_t{0}, size_t{4096}, size_t{8192}}) {
        FailingStream stream(file, failAt);
        JpegSettings settings{};
        JpegCodec codec(nullptr, host.get(), &settings);
        CVImage image(host.get());
        try {
            codec.ReadHeader(&image, &stream, nullptr);
            codec.ReadPixels(nullptr);
            FAIL() << "read past a failing stream";
        } catch (const CVFileError& e) {
            EXPECT_EQ(e.Code(), 5);
        }
    }
}
