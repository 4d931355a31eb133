// ICC profiles and EXIF through the real format plug-ins, the document, the
// command line's convert and batch: kept where the format holds them, judged
// by our readers and by ImageMagick, dropped by --strip and when damaged.
#include "host/image_doc.h"
#include "host/image_io.h"
#include "host/image_metadata.h"
#include "host/image_pipeline.h"
#include "host/plugin_manager.h"
#include "host/private_metadata.h"
#include "host/streams.h"
#include "jpeg_metadata.h"
#include "pineturn_settings.h"
#include "pixmill/cv_image.h"
#include "pixmill/image_metadata.h"
#include "support/stored_block.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace pixmill;
using namespace pixmill::test;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

void PutBig32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
    }
}

// A display RGB profile of about size bytes whose one large tag (a
// copyright text) makes it as long as wanted.
Bytes MakeIccProfile(size_t size) {
    size = (size + 3) & ~size_t{3};
    Bytes p(size, 0);
    PutBig32(p, 0, static_cast<uint32_t>(size));
    PutBig32(p, 8, 0x02100000); // version 2.1
    std::memcpy(p.data() + 12, "mntrRGB XYZ ", 12);
    std::memcpy(p.data() + 36, "acsp", 4);
    PutBig32(p, 68, 0x0000F6D6); // D50
    PutBig32(p, 72, 0x00010000);
    PutBig32(p, 76, 0x0000D32D);
    PutBig32(p, 128, 1);
    std::memcpy(p.data() + 132, "cprt", 4);
    PutBig32(p, 136, 144);
    PutBig32(p, 140, static_cast<uint32_t>(size - 144));
    std::memcpy(p.data() + 144, "text", 4);
    for (size_t i = 152; i + 1 < size; ++i) {
        p[i] = static_cast<uint8_t>('a' + i % 26);
    }
    return p;
}

// Little-endian EXIF: Make, Orientation, and a sub-directory with the
// pixel dimensions.
Bytes MakeExif(uint16_t orientation, uint32_t width, uint32_t height) {
    Bytes e(8 + 2 + 3 * 12 + 4 + 2 + 2 * 12 + 4 + 16, 0);
    auto put16 = [&](size_t at, uint16_t v) {
        e[at] = static_cast<uint8_t>(v);
        e[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            e[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
        }
    };
    auto entry = [&](size_t at, uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        put16(at, tag);
        put16(at + 2, type);
        put32(at + 4, count);
        put32(at + 8, value);
    };
    e[0] = e[1] = 'I';
    put16(2, 42);
    put32(4, 8);
    const size_t sub = 8 + 2 + 3 * 12 + 4;
    const size_t make = sub + 2 + 2 * 12 + 4;
    put16(8, 3);
    entry(10, 0x010F, 2, 13, static_cast<uint32_t>(make));
    entry(22, 0x0112, 3, 1, orientation);
    entry(34, 0x8769, 4, 1, static_cast<uint32_t>(sub));
    put16(sub, 2);
    entry(sub + 2, 0xA002, 4, 1, width);
    entry(sub + 14, 0xA003, 4, 1, height);
    std::memcpy(e.data() + make, "Pixmill test", 13);
    return e;
}

// The pixel-dimension tags of MakeExif's layout.
std::pair<uint32_t, uint32_t> PixelSizeOf(const Bytes& e) {
    auto get32 = [&](size_t at) {
        return uint32_t{e[at]} | uint32_t{e[at + 1]} << 8 | uint32_t{e[at + 2]} << 16 |
               uint32_t{e[at + 3]} << 24;
    };
    const size_t sub = get32(34 + 8);
    return {get32(sub + 2 + 8), get32(sub + 14 + 8)};
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    return out;
}

// What the formats hold: every one the profile but GIF, EXIF not in TIFF.
struct FormatCase {
    const char* extension;
    bool icc, exif;
};
constexpr FormatCase kFormats[] = {{"jpg", true, true},  {"png", true, true},
                                   {"tif", true, false}, {"webp", true, true},
                                   {"avif", true, true}, {"gif", false, false}};

class Metadata : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/pixmill-metadata-XXXXXX";
        dir = mkdtemp(pattern);
    }
    void TearDown() override {
        plugins.reset();
        fs::remove_all(dir);
    }
    void Load() {
        plugins = std::make_unique<PluginManager>(host.get());
        plugins->LoadFormats(PIXMILL_BIN_DIR "/Formats/");
        plugins->LoadProcessing(PIXMILL_BIN_DIR "/Processing/");
    }
    // A photograph-like colour picture saved as path with metadata.
    void Save(const std::string& path, const ImageMetadata& metadata, int width = 40,
              int height = 24) {
        CVImage image(host.get());
        image.Create(width, height, 24, 0, nullptr);
        FillRandom(image, random);
        ImageDoc doc(*host, *plugins);
        doc.TakeImage(image, nullptr, &metadata);
        ASSERT_TRUE(doc.OnSaveDocument(path)) << path << ": " << doc.LastError();
    }
    ImageMetadata ReadBack(const std::string& path) {
        ImageMetadata metadata;
        FileStream stream(path, FileStream::ForReading);
        CVImage image(host.get());
        ReadImageByContent(*plugins, stream, image, nullptr, nullptr, {}, nullptr, &metadata);
        return metadata;
    }
    // pixmill-cli with the program's plug-ins and a settings file of its own.
    int Cli(const std::string& arguments) {
        const std::string command =
            "PIXMILL_PLUGIN_ROOT=" PIXMILL_BIN_DIR " PIXMILL_SETTINGS=" + dir +
            "/cli.ini " PIXMILL_BIN_DIR "/pixmill-cli -q " + arguments + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // What pixmill-cli prints on standard output.
    std::string CliOutput(const std::string& arguments) {
        const std::string command =
            "PIXMILL_PLUGIN_ROOT=" PIXMILL_BIN_DIR " PIXMILL_SETTINGS=" + dir +
            "/cli.ini " PIXMILL_BIN_DIR "/pixmill-cli " + arguments;
        std::string out;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[4096];
            for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
                out.append(buffer, got);
            }
            pclose(pipe);
        }
        return out;
    }

    TestHost host;
    std::unique_ptr<PluginManager> plugins;
    std::mt19937 random{18};
    std::string dir;
    // Large enough for two JPEG segments; upright, so that reads keep it
    // byte for byte.
    const ImageMetadata sample{MakeIccProfile(100000), MakeExif(1, 40, 24)};
};

} // namespace

TEST(JpegIccSegments, SplitAndJoinInAnyOrderButNeverWithGapsOrRepeats) {
    for (const size_t size : {size_t{200}, kIccBytesPerSegment, kIccBytesPerSegment + 1,
                              size_t{3} * kIccBytesPerSegment + 17}) {
        const Bytes profile = MakeIccProfile(size);
        const Bytes segments = MetadataSegments({profile.data(), profile.size()}, {});
        std::vector<Bytes> payloads;
        for (size_t at = 0; at < segments.size();) {
            ASSERT_EQ(segments[at], 0xFF);
            ASSERT_EQ(segments[at + 1], 0xE2);
            const size_t length = size_t{segments[at + 2]} << 8 | segments[at + 3];
            ASSERT_EQ(std::memcmp(&segments[at + 4], "ICC_PROFILE", 12), 0);
            payloads.emplace_back(segments.begin() + static_cast<long>(at) + 16,
                                  segments.begin() + static_cast<long>(at + 2 + length));
            at += 2 + length;
        }
        EXPECT_EQ(payloads.size(),
                  (profile.size() + kIccBytesPerSegment - 1) / kIccBytesPerSegment);
        EXPECT_EQ(JoinIccSegments(payloads), profile);
        std::reverse(payloads.begin(), payloads.end());
        EXPECT_EQ(JoinIccSegments(payloads), profile);
        if (payloads.size() > 1) {
            std::vector<Bytes> repeated = payloads;
            repeated[1] = repeated[0];
            EXPECT_TRUE(JoinIccSegments(repeated).empty());
            payloads.pop_back();
            EXPECT_TRUE(JoinIccSegments(payloads).empty());
        }
    }
}

TEST(ExifEdits, OrientationAndPixelSizeChangeInPlaceAndDamageIsRefused) {
    Bytes exif = MakeExif(8, 40, 24);
    ASSERT_TRUE(IsSoundExif(exif.data(), exif.size()));
    EXPECT_EQ(ExifOrientation(exif), 8);
    ASSERT_TRUE(ResetExifOrientation(exif));
    EXPECT_EQ(ExifOrientation(exif), 1);
    ASSERT_TRUE(SetExifPixelSize(exif, 24, 40));
    EXPECT_EQ(PixelSizeOf(exif), std::make_pair(24u, 40u));
    EXPECT_EQ(exif.size(), MakeExif(1, 1, 1).size());
    // A first directory beyond the end, or a byte-order mark that is none.
    Bytes damaged = exif;
    damaged[4] = 0xF0;
    EXPECT_FALSE(IsSoundExif(damaged.data(), damaged.size()));
    EXPECT_FALSE(ResetExifOrientation(damaged));
    damaged = exif;
    damaged[0] = 'X';
    EXPECT_FALSE(IsSoundExif(damaged.data(), damaged.size()));
    const Bytes profile = MakeIccProfile(1000);
    EXPECT_TRUE(IsSoundIccProfile(profile.data(), profile.size()));
    EXPECT_FALSE(IsSoundIccProfile(profile.data(), profile.size() - 4));
}

TEST_F(Metadata, EveryWriterKeepsWhatItsFormatHoldsAndIndependentReadersAgree) {
    Load();
    const bool haveExiftool = !Shell("exiftool -ver 2>/dev/null").empty();
    for (const FormatCase& format : kFormats) {
        SCOPED_TRACE(format.extension);
        const std::string path = dir + "/picture." + format.extension;
        Save(path, sample);
        const ImageMetadata back = ReadBack(path);
        EXPECT_EQ(back.icc, format.icc ? sample.icc : Bytes{});
        EXPECT_EQ(back.exif, format.exif ? sample.exif : Bytes{});
        if (std::string(format.extension) == "png") {
            // Profile and EXIF both before the image data, each once.
            EXPECT_EQ(PngCheckProblems(path), "");
            const std::vector<std::string> chunks = PngChunks(path);
            EXPECT_EQ(std::count(chunks.begin(), chunks.end(), "eXIf"), 1);
            EXPECT_EQ(std::count(chunks.begin(), chunks.end(), "iCCP"), 1);
        }
        // Independent readers: ImageMagick for the profile where its build
        // reads the format (not AVIF here), exiftool for both everywhere.
        if (format.icc && std::string(format.extension) != "avif") {
            Shell("convert " + path + " " + dir + "/out.icc 2>/dev/null");
            EXPECT_EQ(ReadFile(dir + "/out.icc"), sample.icc);
            fs::remove(dir + "/out.icc");
        }
        if (haveExiftool) {
            const std::string icc = Shell("exiftool -b -ICC_Profile " + path);
            EXPECT_EQ(Bytes(icc.begin(), icc.end()), format.icc ? sample.icc : Bytes{});
            EXPECT_EQ(Shell("exiftool -s3 -Orientation# -Make " + path),
                      format.exif ? "1\nPixmill test\n" : "");
        }
    }
    if (!haveExiftool) {
        std::printf("exiftool is not installed: EXIF judged by our readers only\n");
    }
}

TEST_F(Metadata, DocumentKeepsItThroughARotationUndoAndRedo) {
    pineturn::RotateSettings quarter{};
    quarter.angle = 90;
    StoreBlock(host.settings, "RotateParam", quarter);
    Load();
    const std::string path = dir + "/photo.jpg";
    Save(path, sample);
    ImageDoc doc(*host, *plugins);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.Metadata(), sample);
    const int rotate = ImagePipeline::FindOperation(*plugins, "Rotate");
    ASSERT_NE(rotate, 0);
    ASSERT_TRUE(doc.ApplyCommand(rotate));
    ASSERT_EQ(doc.Image().Width(), 24);
    EXPECT_EQ(doc.Metadata().icc, sample.icc);
    EXPECT_EQ(ExifOrientation(doc.Metadata().exif), 1);
    EXPECT_EQ(PixelSizeOf(doc.Metadata().exif), std::make_pair(24u, 40u));
    ASSERT_TRUE(doc.OnUndo());
    EXPECT_EQ(doc.Metadata(), sample);
    ASSERT_TRUE(doc.OnRedo());
    EXPECT_EQ(ExifOrientation(doc.Metadata().exif), 1);
    // The saved file says what the document says.
    ASSERT_TRUE(doc.OnSaveDocument(dir + "/turned.png"));
    EXPECT_EQ(ReadBack(dir + "/turned.png"), doc.Metadata());
    EXPECT_EQ(PngCheckProblems(dir + "/turned.png"), "");
    doc.SetStripMetadata(true);
    ASSERT_TRUE(doc.OnSaveDocument(dir + "/stripped.png"));
    EXPECT_TRUE(ReadBack(dir + "/stripped.png").Empty());
}

TEST_F(Metadata, ConvertAndBatchKeepItUnlessStrippedAndThumbnailsNeverCarryIt) {
    Load();
    const std::string in = dir + "/in.jpg";
    Save(in, sample);
    ASSERT_EQ(Cli("convert " + in + " " + dir + "/kept.webp"), 0);
    EXPECT_EQ(ReadBack(dir + "/kept.webp"), sample);
    ASSERT_EQ(Cli("convert --strip " + in + " " + dir + "/stripped.png"), 0);
    EXPECT_TRUE(ReadBack(dir + "/stripped.png").Empty());
    EXPECT_LT(fs::file_size(dir + "/stripped.png"), sample.icc.size());

    ASSERT_EQ(Cli("batch " + in + " --out " + dir + "/kept --format PNG --thumbs 8x8 --jobs 1"), 0);
    EXPECT_EQ(ReadBack(dir + "/kept/in.png"), sample);
    EXPECT_TRUE(ReadBack(dir + "/kept/in_Thumb.png").Empty());
    for (const char* written : {"/stripped.png", "/kept/in.png", "/kept/in_Thumb.png"}) {
        EXPECT_EQ(PngCheckProblems(dir + written), "") << written;
    }
    ASSERT_EQ(Cli("batch --strip " + in + " --out " + dir + "/stripped --format JPEG --jobs 2"), 0);
    EXPECT_TRUE(ReadBack(dir + "/stripped/in.jpg").Empty());
    // info says what each file carries.
    const std::string icc = std::to_string(sample.icc.size()) + " bytes";
    const std::string text = CliOutput("info " + in + " " + dir + "/stripped.png");
    EXPECT_NE(text.find("ICC profile:  " + icc), std::string::npos) << text;
    EXPECT_NE(text.find("EXIF:         " + std::to_string(sample.exif.size()) + " bytes"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("ICC profile:  none\n  EXIF:         none"), std::string::npos) << text;
    const std::string json = CliOutput("info --json " + dir + "/kept.webp");
    EXPECT_NE(json.find("\"iccProfileBytes\": " + std::to_string(sample.icc.size())),
              std::string::npos)
        << json;
}

TEST_F(Metadata, DamagedMetadataIsDroppedWithoutFailingTheRead) {
    Load();
    host->SetDamagePolicy(HostServices::DamagePolicy::Refuse);
    const std::string path = dir + "/photo.jpg";
    Save(path, sample);
    const Bytes good = ReadFile(path);
    // The second ICC segment's number made 1: two first segments, no second.
    const char identifier[] = "ICC_PROFILE";
    const auto first = std::search(good.begin(), good.end(), identifier, identifier + 12);
    const auto second = std::search(first + 1, good.end(), identifier, identifier + 12);
    const auto number = static_cast<size_t>(second - good.begin()) + 12;
    ASSERT_EQ(good[number], 2);
    Bytes damaged = good;
    damaged[number] = 1;
    WriteFile(path, damaged);
    ImageDoc doc(*host, *plugins);
    ASSERT_TRUE(doc.OnOpenDocument(path)) << doc.LastError();
    EXPECT_TRUE(doc.Metadata().icc.empty());
    EXPECT_EQ(doc.Metadata().exif, sample.exif);

    // A PNG whose compressed profile is corrupt: libpng's checksum catches it.
    Save(dir + "/photo.png", sample);
    Bytes png = ReadFile(dir + "/photo.png");
    const char chunkType[] = "iCCP";
    const auto iccp = std::search(png.begin(), png.end(), chunkType, chunkType + 4);
    ASSERT_NE(iccp, png.end());
    png[static_cast<size_t>(iccp - png.begin()) + 40] ^= 0x55;
    WriteFile(dir + "/photo.png", png);
    ASSERT_TRUE(doc.OnOpenDocument(dir + "/photo.png")) << doc.LastError();
    EXPECT_TRUE(doc.Metadata().icc.empty());
    EXPECT_EQ(doc.Metadata().exif, sample.exif);
}

// ------------------------------------------------- photographs as made today

namespace {

// CIEDE2000 between two sRGB colours (8-bit, D65).
double DeltaE2000(const uint8_t a[3], const uint8_t b[3]) {
    auto lab = [](const uint8_t rgb[3], double out[3]) {
        double linear[3];
        for (int i = 0; i < 3; ++i) {
            const double c = rgb[i] / 255.0;
            linear[i] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        const double xyz[3] = {
            (0.4124 * linear[0] + 0.3576 * linear[1] + 0.1805 * linear[2]) / 0.95047,
            0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2],
            (0.0193 * linear[0] + 0.1192 * linear[1] + 0.9505 * linear[2]) / 1.08883};
        double f[3];
        for (int i = 0; i < 3; ++i) {
            f[i] = xyz[i] > 0.008856 ? std::cbrt(xyz[i]) : 7.787 * xyz[i] + 16.0 / 116;
        }
        out[0] = 116 * f[1] - 16;
        out[1] = 500 * (f[0] - f[1]);
        out[2] = 200 * (f[1] - f[2]);
    };
    double p[3], q[3];
    lab(a, p);
    lab(b, q);
    constexpr double kPi = 3.14159265358979323846;
    const double c1 = std::hypot(p[1], p[2]), c2 = std::hypot(q[1], q[2]);
    const double meanC7 = std::pow((c1 + c2) / 2, 7);
    const double g = 0.5 * (1 - std::sqrt(meanC7 / (meanC7 + std::pow(25.0, 7))));
    const double a1 = (1 + g) * p[1], a2 = (1 + g) * q[1];
    const double C1 = std::hypot(a1, p[2]), C2 = std::hypot(a2, q[2]);
    auto hue = [&](double x, double y) {
        const double h = std::atan2(y, x) * 180 / kPi;
        return h < 0 ? h + 360 : h;
    };
    const double h1 = hue(a1, p[2]), h2 = hue(a2, q[2]);
    double dh = h2 - h1;
    if (C1 * C2 != 0 && std::fabs(dh) > 180) {
        dh += dh > 0 ? -360 : 360;
    }
    const double dL = q[0] - p[0], dC = C2 - C1;
    const double dH = 2 * std::sqrt(C1 * C2) * std::sin(dh * kPi / 360);
    const double L = (p[0] + q[0]) / 2, C = (C1 + C2) / 2;
    double H = h1 + h2;
    if (C1 * C2 != 0) {
        H = std::fabs(h1 - h2) <= 180 ? H / 2 : (H < 360 ? (H + 360) / 2 : (H - 360) / 2);
    }
    const double T = 1 - 0.17 * std::cos((H - 30) * kPi / 180) +
                     0.24 * std::cos(2 * H * kPi / 180) + 0.32 * std::cos((3 * H + 6) * kPi / 180) -
                     0.20 * std::cos((4 * H - 63) * kPi / 180);
    const double sL = 1 + 0.015 * (L - 50) * (L - 50) / std::sqrt(20 + (L - 50) * (L - 50));
    const double sC = 1 + 0.045 * C, sH = 1 + 0.015 * C * T;
    const double C7 = std::pow(C, 7);
    const double rT = -2 * std::sqrt(C7 / (C7 + std::pow(25.0, 7))) *
                      std::sin(60 * std::exp(-std::pow((H - 275) / 25, 2)) * kPi / 180);
    return std::sqrt(std::pow(dL / sL, 2) + std::pow(dC / sC, 2) + std::pow(dH / sH, 2) +
                     rT * (dC / sC) * (dH / sH));
}

constexpr const char* kAdobeRgb = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";
constexpr const char* kSrgb = "/usr/share/color/icc/sRGB.icc";
constexpr const char* kCmyk = "/usr/share/color/icc/ghostscript/default_cmyk.icc";

} // namespace

class Photographs : public Metadata {
  protected:
    // Whether the judges are installed (exiftool, ImageMagick).
    bool HaveJudges() {
        return !Shell("exiftool -ver 2>/dev/null").empty() &&
               !Shell("convert -version 2>/dev/null").empty();
    }
    // The pixels of a file as our reader gives them (turned as the host
    // says).
    void Read(const std::string& path, CVImage& image) {
        FileStream stream(path, FileStream::ForReading);
        ReadImageByContent(*plugins, stream, image, nullptr, nullptr, {});
    }
    // The mean CIEDE2000 between two files of one size, read as stored.
    double MeanDeltaE(const std::string& a, const std::string& b) {
        CVImage first(host.get()), second(host.get());
        Read(a, first);
        Read(b, second);
        EXPECT_EQ(first.Width(), second.Width());
        EXPECT_EQ(first.Height(), second.Height());
        double sum = 0;
        // A palette picture's colour, else the pixel's (0xRRGGBB).
        const auto colour = [](const CVImage& image, int x, int y) {
            const uint32_t value = PixelAt(image, x, y);
            if (image.BitCount() > 8) {
                return value;
            }
            const RGBQUAD& entry = image.palette[value];
            return uint32_t{entry.rgbRed} << 16 | uint32_t{entry.rgbGreen} << 8 | entry.rgbBlue;
        };
        for (int y = 0; y < first.Height(); ++y) {
            for (int x = 0; x < first.Width(); ++x) {
                const uint32_t p = colour(first, x, y), q = colour(second, x, y);
                const uint8_t one[3] = {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)};
                const uint8_t two[3] = {uint8_t(q >> 16), uint8_t(q >> 8), uint8_t(q)};
                sum += DeltaE2000(one, two);
            }
        }
        return sum / (first.Width() * first.Height());
    }
};

TEST_F(Photographs, EveryOrientationOpensUprightAsImageMagickTurnsItUnlessKeptAsStored) {
    if (!HaveJudges()) {
        GTEST_SKIP() << "exiftool and ImageMagick judge the orientation";
    }
    Load();
    // An asymmetric picture (a yellow block near one corner), 4:4:4 so that
    // every decoder gives the same pixels.
    const std::string base = dir + "/base.jpg";
    Shell("convert -size 40x24 gradient:red-blue -fill yellow -draw 'rectangle 2,3 11,8' "
          "-quality 100 -sampling-factor 1x1 " + base);
    fs::create_directory(dir + "/in");
    for (int o = 1; o <= 8; ++o) {
        const std::string name = dir + "/in/o" + std::to_string(o) + ".jpg";
        fs::copy_file(base, name);
        Shell("exiftool -q -overwrite_original -Orientation#=" + std::to_string(o) + " " + name);
        Shell("convert " + name + " -auto-orient " + dir + "/ref" + std::to_string(o) + ".png");
    }
    ASSERT_EQ(Cli("batch " + dir + "/in --out " + dir + "/batch --format PNG --thumbs 40x40"), 0);
    ASSERT_EQ(Cli("batch " + dir + "/in --out " + dir + "/gallery --dest \"HTML pages\""), 0);
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE("orientation " + std::to_string(o));
        const std::string n = std::to_string(o), in = dir + "/in/o" + n + ".jpg";
        const std::string ref = dir + "/ref" + n + ".png";
        ASSERT_EQ(Cli("convert " + in + " " + dir + "/c" + n + ".png"), 0);
        for (const std::string& out :
             {dir + "/c" + n + ".png", dir + "/batch/o" + n + ".png",
              dir + "/batch/o" + n + "_Thumb.png"}) {
            EXPECT_EQ(Shell("compare -metric AE " + out + " " + ref + " null: 2>&1"), "0") << out;
        }
        // The written file says it is upright (or says nothing).
        EXPECT_NE(Shell("exiftool -s3 -Orientation# " + dir + "/batch/o" + n + ".png"), "6\n");
        for (const std::string& out : {dir + "/c" + n + ".png", dir + "/gallery/o" + n + ".jpg"}) {
            const std::string said = Shell("exiftool -s3 -Orientation# " + out);
            EXPECT_TRUE(said.empty() || said == "1\n") << out << ": " << said;
        }
        // The gallery re-encodes: close to the upright picture, far from
        // any other position of it.
        const double error = std::stod(
            Shell("compare -metric RMSE " + dir + "/gallery/o" + n + ".jpg " + ref +
                  " null: 2>&1 | sed 's/.*(\\(.*\\))/\\1/'"));
        EXPECT_LT(error, 0.1);
        // The document, read whole and progressively.
        for (const bool progressive : {false, true}) {
            ImageDoc doc(*host, *plugins);
            doc.SetProgressiveView(progressive);
            ASSERT_TRUE(doc.OnOpenDocument(in)) << doc.LastError();
            ASSERT_TRUE(doc.ReadPendingPixels());
            EXPECT_EQ(ExifOrientation(doc.Metadata().exif), 1);
            ASSERT_TRUE(doc.OnSaveDocument(dir + "/doc.png"));
            EXPECT_EQ(Shell("compare -metric AE " + dir + "/doc.png " + ref + " null: 2>&1"), "0");
        }
    }
    // Kept as stored: the pixels of the file and its orientation tag.
    ASSERT_EQ(Cli("convert --no-auto-orient " + dir + "/in/o6.jpg " + dir + "/kept.png"), 0);
    EXPECT_EQ(Shell("compare -metric AE " + dir + "/kept.png " + dir + "/ref1.png null: 2>&1"),
              "0");
    EXPECT_EQ(Shell("exiftool -s3 -Orientation# " + dir + "/kept.png"), "6\n");
    host->SetAutoOrient(false);
    ImageDoc doc(*host, *plugins);
    ASSERT_TRUE(doc.OnOpenDocument(dir + "/in/o6.jpg"));
    EXPECT_EQ(doc.Image().Width(), 40);
    EXPECT_EQ(ExifOrientation(doc.Metadata().exif), 6);
}

TEST_F(Photographs, AdobeRgbLeavesAsSrgbWhereItsProfileDoesNotFollow) {
    if (!HaveJudges() || !fs::exists(kAdobeRgb) || !fs::exists(kSrgb)) {
        GTEST_SKIP() << "ImageMagick and the free ICC profiles judge the colours";
    }
    Load();
    // Saturated and grey patches of a wide-gamut photograph, its profile
    // embedded.
    const std::string in = dir + "/adobe.png";
    Shell("convert -size 48x32 gradient:'rgb(0,200,40)'-'rgb(230,20,180)' -fill 'rgb(250,210,0)' "
          "-draw 'rectangle 0,0 15,15' -fill 'rgb(128,128,128)' -draw 'rectangle 32,16 47,31' "
          "-profile " + std::string(kAdobeRgb) + " " + in);
    // The judges: Little CMS through ImageMagick, perceptual with black-point
    // compensation, and untagged.
    const std::string judge = dir + "/judge.png";
    Shell("convert " + in + " -intent Perceptual -black-point-compensation -profile " + kSrgb +
          " -strip " + judge);
    ASSERT_EQ(Cli("convert --to-srgb " + in + " " + dir + "/srgb.png"), 0);
    ASSERT_EQ(Cli("convert --strip " + in + " " + dir + "/stripped.png"), 0);
    ASSERT_EQ(Cli("convert " + in + " " + dir + "/palette.gif"), 0);
    ASSERT_EQ(Cli("batch " + in + " --out " + dir + "/batch --format PNG --thumbs 48x48"), 0);
    for (const char* out : {"/srgb.png", "/stripped.png", "/batch/adobe_Thumb.png"}) {
        EXPECT_LT(MeanDeltaE(dir + out, judge), 1.0) << out;
        EXPECT_TRUE(ReadBack(dir + out).icc.empty()) << out;
    }
    // The GIF's palette holds the converted colours (give or take its
    // colour reduction).
    EXPECT_LT(MeanDeltaE(dir + "/palette.gif", judge), 3.0);
    // The main picture keeps its profile and its own values; the same
    // values taken for sRGB are far from the judge.
    EXPECT_FALSE(ReadBack(dir + "/batch/adobe.png").icc.empty());
    EXPECT_GT(MeanDeltaE(dir + "/batch/adobe.png", judge), 2.0);
    // A modern gallery's further size (written without a profile) is sRGB
    // like the thumbnail, beside the full picture that keeps its profile.
    std::ofstream(dir + "/modern.vhb") << "[Project settings]\nModern pages\n";
    ASSERT_EQ(Cli("batch " + in + " --out " + dir + "/gallery --dest \"HTML pages\" --format PNG "
                  "--dest-profile " + dir + "/modern.vhb --sizes 24"),
              0);
    Shell("convert " + judge + " -filter Triangle -resize 24x16 " + dir + "/judge24.png");
    EXPECT_TRUE(ReadBack(dir + "/gallery/adobe-24.png").icc.empty());
    EXPECT_LT(MeanDeltaE(dir + "/gallery/adobe-24.png", dir + "/judge24.png"), 1.5);
    EXPECT_FALSE(ReadBack(dir + "/gallery/adobe.png").icc.empty());
    // info names the profile.
    EXPECT_NE(CliOutput("info " + in).find("(Compatible with Adobe RGB (1998))"),
              std::string::npos);
}

TEST_F(Photographs, WebOutputLeavesPrivateExifOutUnlessTheLocationIsKept) {
    if (!HaveJudges()) {
        GTEST_SKIP() << "exiftool writes and judges the EXIF";
    }
    Load();
    fs::create_directory(dir + "/in");
    const std::string in = dir + "/in/trip.jpg";
    Shell("convert -size 64x48 gradient:navy-orange -quality 90 " + in);
    Shell("exiftool -q -overwrite_original -Make=Maker -Model=M1 -Orientation#=6 "
          "-GPSLatitude=48.85 -GPSLatitudeRef=N -GPSLongitude=2.35 -GPSLongitudeRef=E "
          "-SerialNumber=SN123 -LensSerialNumber=L456 -Artist='Jane Doe' -OwnerName=Jane "
          "-ImageUniqueID=0123456789abcdef -DateTimeOriginal='2026:05:01 10:00:00' " + in);
    const std::string privateTags =
        "exiftool -a -s -s -s -GPS:all -SerialNumber -LensSerialNumber -Artist -OwnerName "
        "-ImageUniqueID ";
    const auto problems = [&](const std::string& file) {
        return Shell("exiftool -validate -warning -a -s3 " + file + " | grep -v '^[0-9]* Warn'");
    };
    EXPECT_NE(CliOutput("info " + in).find("location:     GPS position present"),
              std::string::npos);
    EXPECT_NE(CliOutput("info --json " + in).find("\"orientation\": 6, \"turnedUpright\": true, "
                                                  "\"location\": true"),
              std::string::npos);

    // Plain output keeps everything; web-safe output nothing private, the
    // rest still valid EXIF.
    ASSERT_EQ(Cli("convert " + in + " " + dir + "/plain.jpg"), 0);
    EXPECT_NE(Shell(privateTags + dir + "/plain.jpg").find("SN123"), std::string::npos);
    ASSERT_EQ(Cli("convert --web-safe " + in + " " + dir + "/safe.jpg"), 0);
    EXPECT_EQ(Shell(privateTags + dir + "/safe.jpg"), "");
    EXPECT_EQ(Shell("exiftool -s3 -Make -Model -DateTimeOriginal -Orientation# " + dir +
                    "/safe.jpg"),
              "Maker\nM1\n2026:05:01 10:00:00\n1\n");
    EXPECT_EQ(problems(dir + "/safe.jpg"), problems(in));

    // A gallery: no file it writes says where, unless the location is kept.
    ASSERT_EQ(Cli("batch " + dir + "/in --out " + dir + "/gallery --dest \"HTML pages\""), 0);
    ASSERT_EQ(Cli("batch " + dir + "/in --out " + dir + "/kept --dest \"HTML pages\" "
                  "--keep-location"),
              0);
    int pictures = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir + "/gallery")) {
        if (entry.path().extension() == ".jpg") {
            ++pictures;
            EXPECT_EQ(Shell(privateTags + entry.path().string()), "") << entry.path();
        }
    }
    EXPECT_EQ(pictures, 2); // the picture and its thumbnail
    const std::string kept = Shell(privateTags + dir + "/kept/trip.jpg");
    EXPECT_NE(kept.find("48 deg 51"), std::string::npos) << kept;
    EXPECT_EQ(kept.find("SN123"), std::string::npos) << kept;

    // A camera's photograph: its maker notes and embedded preview (the second
    // directory and its JPEG) stay in plain output and leave web output, in
    // a copy and a gallery thumbnail alike.
    const std::string camera = "/usr/share/backgrounds/mate/nature/Wood.jpg";
    if (fs::exists(camera)) {
        const std::string cameraTags = "exiftool -a -s -s -s -MakerNotes:MakerNoteVersion "
                                       "-IFD1:ThumbnailLength ";
        const std::string resample = "--op Resample --set Resample.width=800 "
                                     "--set Resample.height=32767 --set Resample.keepAspect=1 ";
        ASSERT_EQ(Cli("convert " + resample + camera + " " + dir + "/wood.jpg"), 0);
        EXPECT_EQ(Shell(cameraTags + dir + "/wood.jpg"), "MLT0\n2040\n");
        ASSERT_EQ(Cli("convert --web-safe " + resample + camera + " " + dir + "/wood-safe.jpg"),
                  0);
        EXPECT_EQ(Shell(cameraTags + dir + "/wood-safe.jpg"), "");
        EXPECT_EQ(Shell("exiftool -s3 -Make -ExposureTime " + dir + "/wood-safe.jpg"),
                  "KONICA MINOLTA\n1/1000\n");
        EXPECT_EQ(problems(dir + "/wood-safe.jpg"), "OK\n");
        fs::create_directory(dir + "/camera");
        fs::copy_file(camera, dir + "/camera/wood.jpg");
        ASSERT_EQ(Cli("batch " + dir + "/camera --out " + dir + "/camera-gallery --dest "
                      "\"HTML pages\""),
                  0);
        for (const char* name : {"wood.jpg", "wood_thumbnail.jpg"}) {
            const std::string written = dir + "/camera-gallery/" + name;
            ASSERT_TRUE(fs::exists(written)) << written;
            EXPECT_EQ(Shell(cameraTags + written), "") << written;
        }
    }

    // A block that cannot be read is not published as it is.
    Bytes damaged = MakeExif(1, 40, 24);
    damaged[4] = 0xF0;
    RemovePrivateExif(damaged, MetadataPrivacy::WebSafe);
    EXPECT_TRUE(damaged.empty());
}

TEST_F(Photographs, PrintPicturesComeThroughTheirCmykProfile) {
    if (!HaveJudges() || !fs::exists(kCmyk) || !fs::exists(kSrgb)) {
        GTEST_SKIP() << "ImageMagick and a CMYK profile (libgs-common) judge the inks";
    }
    Load();
    // Saturated patches, a grey and a near-black, separated through the CMYK
    // profile and stored with it: a JPEG (inverted inks, Adobe marker) and
    // TIFFs of 8- and 16-bit inks (plain).
    const std::string rgb = dir + "/rgb.png";
    Shell("convert -size 48x32 gradient:'rgb(0,160,220)'-'rgb(230,30,60)' -fill 'rgb(250,210,0)' "
          "-draw 'rectangle 0,0 15,15' -fill 'rgb(128,128,128)' -draw 'rectangle 32,16 47,31' "
          "-fill 'rgb(20,20,30)' -draw 'rectangle 0,24 15,31' -profile " + std::string(kSrgb) +
          " " + rgb);
    for (const std::string kind : {"jpg", "tif", "16.tif"}) {
        SCOPED_TRACE(kind);
        const std::string in = dir + "/print." + kind;
        Shell("convert " + rgb + " -intent Perceptual -black-point-compensation -profile " +
              kCmyk + " -quality 100 -sampling-factor 1x1 -depth " +
              (kind == "16.tif" ? "16 " : "8 ") + in);
        ASSERT_EQ(Shell("identify -format %[colorspace] " + in), "CMYK");
        // The judge: Little CMS through ImageMagick, from the embedded
        // profile, perceptual with black-point compensation.
        const std::string judge = dir + "/judge-" + kind + ".png";
        Shell("convert " + in + " -intent Perceptual -black-point-compensation -profile " +
              kSrgb + " -strip " + judge);
        const std::string out = dir + "/out-" + kind + ".png";
        ASSERT_EQ(Cli("convert " + in + " " + out), 0);
        EXPECT_LT(MeanDeltaE(out, judge), 1.0);
        // The pixels are sRGB now: the ink profile does not go with them.
        EXPECT_TRUE(ReadBack(out).icc.empty());
        // Without the profile the standard formula applies, which is far
        // from what the profile means (so the check above tells them apart).
        const std::string bare = dir + "/bare." + kind;
        Shell("convert " + in + " +profile '*' " + bare);
        ASSERT_EQ(Cli("convert " + bare + " " + dir + "/bare-" + kind + ".png"), 0);
        EXPECT_GT(MeanDeltaE(dir + "/bare-" + kind + ".png", judge), 3.0);
    }
}
