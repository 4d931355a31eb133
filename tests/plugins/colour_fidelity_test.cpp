// Transparency and colour through `pixmill-cli convert`, judged by other
// decoders: ImageMagick (libpng, giflib, libjpeg, libtiff's scanline
// reader) and libwebp's dwebp. Each case makes its input with the tools,
// converts it, and compares what the judges decode from input and output,
// both put on white (the background of the alpha rule): within RMSE 0.01,
// and fully transparent pixels still fully transparent where the output
// format stores transparency. Lossy outputs (JPEG, WebP) blur edges, so
// there the flat areas are compared. tiff2rgba is no judge for grey with
// alpha (its RGBA reader drops grey alpha), so TIFF is judged by
// ImageMagick too; avifdec judges AVIF. Partly transparent pictures keep
// their alpha where the output stores it: there colour and alpha are
// compared as they are (colours weighted by their alpha, as what lies under
// a fully transparent pixel is not seen). Skips when a tool is missing.
#include "support/judged_pictures.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace pixmill::test;

namespace {

class ColourFidelity : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* tool : {"convert", "cwebp", "dwebp", "tiffcp", "avifenc", "avifdec"}) {
            if (!HasTool(tool)) {
                GTEST_SKIP() << tool << " is not installed (scripts/install-deps.sh)";
            }
        }
        char pattern[] = "/tmp/pixmill-colour-XXXXXX";
        dir = mkdtemp(pattern);
    }
    void TearDown() override {
        if (!dir.empty()) {
            fs::remove_all(dir);
        }
    }

    // What pixmill-cli info --json says of a file.
    std::string InfoOf(const std::string& path) {
        const std::string command =
            "PIXMILL_PLUGIN_ROOT=" PIXMILL_BIN_DIR " PIXMILL_SETTINGS=" + dir +
            "/cli.ini " PIXMILL_BIN_DIR "/pixmill-cli info --json " + path + " 2>&1";
        std::string text;
        if (FILE* pipe = popen(command.c_str(), "r"); pipe != nullptr) {
            char buffer[4096];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
                text.append(buffer, n);
            }
            pclose(pipe);
        }
        return text;
    }

    int Convert(const std::string& in, const std::string& out, const std::string& options = {}) {
        return Shell("PIXMILL_PLUGIN_ROOT=" PIXMILL_BIN_DIR " PIXMILL_SETTINGS=" + dir +
                     "/cli.ini " PIXMILL_BIN_DIR "/pixmill-cli -q convert " + options + " " + in +
                     " " + out);
    }
    int Batch(const std::string& arguments) {
        return Shell("PIXMILL_PLUGIN_ROOT=" PIXMILL_BIN_DIR " PIXMILL_SETTINGS=" + dir +
                     "/cli.ini " PIXMILL_BIN_DIR "/pixmill-cli -q batch " + arguments);
    }

    std::string dir;
};

struct Case {
    const char* name;
    const char* make;      // the command that makes the input; IN is its path
    const char* extension; // of the input
    std::vector<const char*> outputs;
};

// Pictures of 64 x 48 with areas on the 16-pixel grid, so that JPEG's
// blocks meet no edge inside them.
const Case kCases[] = {
    {"GIF with a transparent colour beside opaque black",
     "convert -size 64x48 xc:none -fill '#3050c0' -draw 'rectangle 16,0 47,31' -fill black "
     "-draw 'rectangle 0,32 31,47' IN",
     "gif",
     {"tif", "png", "webp", "jpg", "gif"}},
    {"PNG palette with a fully transparent entry",
     "convert -size 64x48 xc:none -fill '#3050c0' -draw 'rectangle 16,0 47,31' -fill black "
     "-draw 'rectangle 0,32 31,47' PNG8:IN",
     "png",
     {"png", "tif", "webp", "jpg", "gif"}},
    {"PNG with a coloured 1-bit palette",
     "convert -size 64x48 xc:'#2040c0' -fill '#e0c020' -draw 'rectangle 16,16 47,31' -colors 2 "
     "-define png:bit-depth=1 -define png:color-type=3 IN",
     "png",
     {"jpg", "tif", "webp"}},
    {"blue 1-bit GIF",
     "convert -size 64x48 xc:blue -fill white -draw 'rectangle 0,16 31,31' -colors 2 IN",
     "gif",
     {"jpg", "png"}},
    {"PNG with alpha and a black bKGD",
     "convert -size 64x48 xc:none -fill 'rgba(32,96,200,0.5)' -draw 'rectangle 16,0 47,31' "
     "-fill '#c03020' -draw 'rectangle 0,32 31,47' -background black PNG32:IN",
     "png",
     {"png", "tif", "webp", "jpg", "gif"}},
    {"RGB PNG with a tRNS key colour",
     "convert -size 64x48 xc:'#00ff00' -fill '#804020' -draw 'rectangle 16,16 47,31' "
     "-transparent '#00ff00' PNG24:IN",
     "png",
     {"tif", "png", "jpg", "gif"}},
    {"grey TIFF with unassociated alpha",
     "convert -size 64x48 xc:none -fill 'graya(40%,0.6)' -draw 'rectangle 16,0 47,31' "
     "-fill gray20 -draw 'rectangle 0,32 31,47' -colorspace Gray -define tiff:alpha=unassociated "
     "IN",
     "tif",
     {"png", "tif", "webp", "jpg"}},
    {"16-bit RGBA TIFF with unassociated alpha",
     "convert -size 64x48 xc:none -fill 'rgba(200,40,90,0.7)' -draw 'rectangle 16,0 47,31' "
     "-fill '#30a040' -draw 'rectangle 0,32 31,47' -depth 16 -define tiff:alpha=unassociated IN",
     "tif",
     {"png", "tif", "jpg"}},
    {"CMYK JPEG",
     "convert -size 64x48 xc:'#d04020' -fill '#2080c0' -draw 'rectangle 16,16 47,31' -quality 100 "
     "-colorspace CMYK IN",
     "jpg",
     {"png"}},
    {"uncompressed TIFF of 16 x 16 tiles",
     "convert -size 64x48 gradient:'#d04020'-'#2080c0' -depth 8 IN.strips.tif && "
     "tiffcp -c none -t -w 16 -l 16 IN.strips.tif IN",
     "tif",
     {"png"}},
    {"lossless WebP of 3000 x 3000 white",
     "convert -size 3000x3000 xc:white IN.png && cwebp -quiet -lossless IN.png -o IN",
     "webp",
     {"png"}},
};

bool StoresTransparency(const std::string& extension) {
    return extension != "jpg";
}

} // namespace

TEST_F(ColourFidelity, ConvertKeepsColoursAndTransparencyAsTheJudgesSeeThem) {
    int n = 0;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string in = dir + "/in" + std::to_string(n++) + "." + c.extension;
        std::string make = c.make;
        for (size_t at; (at = make.find("IN")) != std::string::npos;) {
            make.replace(at, 2, in);
        }
        ASSERT_EQ(Shell(make), 0) << make;
        const Rgba expected = Judge(in);
        ASSERT_GT(expected.width, 0) << "the judge cannot read " << in;
        for (const std::string extension : c.outputs) {
            SCOPED_TRACE(extension);
            const std::string out = in + ".out." + extension;
            ASSERT_EQ(Convert(in, out), 0);
            const Rgba got = Judge(out);
            ASSERT_EQ(got.width, expected.width);
            ASSERT_EQ(got.height, expected.height);
            const bool lossy = extension == "jpg" || extension == "webp";
            EXPECT_LE(RmseOnWhite(expected, got, lossy), 0.01);
            if (!StoresTransparency(extension)) {
                continue;
            }
            // Transparency of only fully transparent and opaque pixels is a
            // transparent colour, not an alpha channel.
            const std::string name = c.name;
            if (name.find("GIF with a") == 0 || name.find("fully transparent entry") != name.npos) {
                EXPECT_NE(InfoOf(out).find("\"alphaChannel\": false"), std::string::npos);
            }
            int lost = 0, invented = 0;
            for (size_t i = 3; i < got.pixels.size(); i += 4) {
                lost += expected.pixels[i] == 0 && got.pixels[i] != 0;
                invented += expected.pixels[i] == 255 && got.pixels[i] != 255;
            }
            EXPECT_EQ(lost, 0) << "transparent pixels made opaque";
            EXPECT_EQ(invented, 0) << "opaque pixels made transparent";
        }
    }
}

namespace {

struct AlphaCase {
    const char* name;
    std::string make; // IN is the input's path, RAMP.png a picture of kAlphaRamp
    const char* extension;
    bool blocks = false;   // areas with hard edges, which JPEG blurs: judged on the flat areas
    bool paletted = false; // at most 256 colours, which a GIF holds as they are
};

// `python3 palette.py OUT BITS [LOWEST]`: a 64 x 48 palette PNG of BITS bits
// per pixel (2, 4 or 8) whose tRNS holds partly transparent entries:
// colour running down, alpha running across from LOWEST (0 by default) to
// 255, a palette entry for each pair.
const char* const kPaletteScript = R"(import struct, sys, zlib
out, bits = sys.argv[1], int(sys.argv[2])
lowest = int(sys.argv[3]) if len(sys.argv) > 3 else 0
side = 1 << (bits // 2)
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
def mix(a, b, t):
    return round(a + (b - a) * t)
plte = bytes(mix(a, b, (i % side) / (side - 1)) for i in range(side * side)
             for a, b in ((0xd0, 0x20), (0x40, 0x80), (0x20, 0xc0)))
trns = bytes(mix(lowest, 255, (i // side) / (side - 1)) for i in range(side * side))
rows = b''
for y in range(48):
    value, packed = 0, bytearray()
    for x in range(64):
        value = value << bits | (x * side // 64) * side + y * side // 48
        if (x + 1) * bits % 8 == 0:
            packed.append(value)
            value = 0
    rows += b'\0' + bytes(packed)
open(out, 'wb').write(b'\x89PNG\r\n\x1a\n' +
    chunk(b'IHDR', struct.pack('>IIBBBBB', 64, 48, bits, 3, 0, 0, 0)) + chunk(b'PLTE', plte) +
    chunk(b'tRNS', trns) + chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))
)";

} // namespace

TEST_F(ColourFidelity, PartlyTransparentPicturesKeepTheirAlphaWhereTheOutputStoresIt) {
    ASSERT_EQ(Shell(std::string(kAlphaRamp) + " PNG32:" + dir + "/RAMP.png"), 0);
    std::ofstream(dir + "/palette.py") << kPaletteScript;
    const AlphaCase cases[] = {
        {"8-bit RGBA PNG", "cp RAMP.png IN", "png"},
        {"16-bit RGBA PNG", "convert RAMP.png -depth 16 PNG64:IN", "png"},
        {"grey and alpha PNG", "convert RAMP.png -colorspace Gray -define png:color-type=4 IN",
         "png"},
        {"lossless WebP with alpha", "cwebp -quiet -exact -lossless RAMP.png -o IN", "webp"},
        {"lossless AVIF with alpha", "avifenc -l RAMP.png IN", "avif"},
        {"8-bit TIFF with unassociated alpha",
         "convert RAMP.png -define tiff:alpha=unassociated IN", "tif"},
        {"16-bit TIFF with unassociated alpha",
         "convert RAMP.png -depth 16 -define tiff:alpha=unassociated IN", "tif"},
        {"8-bit TIFF with associated alpha", "convert RAMP.png -define tiff:alpha=associated IN",
         "tif"},
        {"grey TIFF with alpha",
         "convert RAMP.png -colorspace Gray -define tiff:alpha=unassociated IN", "tif"},
        {"8-bit palette PNG with partly transparent entries", "python3 palette.py IN 8", "png",
         false, true},
        {"4-bit palette PNG of partly transparent entries only", "python3 palette.py IN 4 40",
         "png", true, true},
        {"2-bit palette PNG with partly transparent entries", "python3 palette.py IN 2 128", "png",
         true, true},
        // libtiff's RGBA reader drops a palette's alpha sample: ImageMagick judges.
        {"8-bit palette TIFF with an alpha sample",
         "python3 palette.py IN.png 8 && convert IN.png +dither -type PaletteAlpha -depth 8 "
         "-define tiff:alpha=unassociated IN",
         "tif", false, true},
        {"4-bit palette TIFF with an alpha sample",
         "python3 palette.py IN.png 4 40 && convert IN.png -type PaletteAlpha "
         "-define tiff:alpha=unassociated IN",
         "tif", true, true},
    };
    // The output options: lossless where the format has a choice.
    const std::pair<const char*, const char*> outputs[] = {
        {"png", ""},
        {"tif", ""},
        {"webp", "--set WebP_Parameters.lossless=1"},
        {"avif", "--set AVIF_Parameters.quality=100"},
        {"jpg", "--quality-offset 100"},
    };
    int n = 0;
    for (const AlphaCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in = dir + "/alpha" + std::to_string(n++) + "." + c.extension;
        std::string make = "cd " + dir + " && " + c.make;
        for (size_t at; (at = make.find("IN")) != std::string::npos;) {
            make.replace(at, 2, in);
        }
        ASSERT_EQ(Shell(make), 0) << make;
        const Rgba expected = Judge(in);
        ASSERT_GT(expected.width, 0) << "the judge cannot read " << in;
        EXPECT_NE(InfoOf(in).find("\"alphaChannel\": true"), std::string::npos) << InfoOf(in);
        for (const auto& [extension, options] : outputs) {
            SCOPED_TRACE(extension);
            const std::string out = in + ".out." + extension;
            ASSERT_EQ(Convert(in, out, options), 0);
            const Rgba got = Judge(out);
            ASSERT_EQ(got.width, expected.width);
            ASSERT_EQ(got.height, expected.height);
            if (std::string(extension) == "jpg") {
                EXPECT_LE(RmseOnWhite(expected, got, c.blocks), 0.01) << "flattened on white";
            } else {
                EXPECT_LE(RmseWithAlpha(expected, got), 0.01);
            }
        }
        if (!c.paletted) {
            continue;
        }
        // A GIF holds the colours flattened on white and the fully
        // transparent pixels, from convert and from batch alike.
        const std::string gif = in + ".out.gif", batched = dir + "/batched" + std::to_string(n);
        ASSERT_EQ(Convert(in, gif), 0);
        ASSERT_EQ(Batch("--format GIF --out " + batched + " " + in), 0);
        for (const std::string& path :
             {gif, batched + "/" + fs::path(in).stem().string() + ".gif"}) {
            SCOPED_TRACE(path);
            const Rgba got = Judge(path);
            ASSERT_EQ(got.width, expected.width);
            EXPECT_LE(RmseOnWhite(expected, got, false), 0.01);
            int lost = 0;
            for (size_t i = 3; i < got.pixels.size(); i += 4) {
                lost += (expected.pixels[i] == 0) != (got.pixels[i] == 0);
            }
            EXPECT_EQ(lost, 0) << "fully transparent pixels kept, no others";
        }
    }
}

// An opaque red area and a half transparent blue one on fully transparent
// green, halved by Resample's Lanczos-3 and by ImageMagick's. Filtering the
// straight colours would carry the invisible green into the edges; weighted
// by alpha no visible pixel gets any. Against the judge the two Lanczos-3
// filters differ only in rounding (14-bit weights and 8-bit work planes
// against floating point), well inside RMSE 0.01.
TEST_F(ColourFidelity, ResampleLeavesNoFringeAtTransparentEdges) {
    const std::string in = dir + "/fringe.png", out = dir + "/fringe.out.png",
                      judged = dir + "/fringe.judge.png";
    ASSERT_EQ(Shell("convert -size 64x48 xc:'rgba(0,255,0,0)' -fill red -draw 'rectangle 16,16 "
                    "47,31' -fill 'rgba(0,0,255,0.5)' -draw 'rectangle 0,0 15,15' PNG32:" +
                    in),
              0);
    ASSERT_EQ(Convert(in, out,
                      "--op Resample --set Resample.width=32 --set Resample.height=24 --set "
                      "Resample.keepAspect=0 --set Resample.filter=1"),
              0);
    ASSERT_EQ(Shell("convert " + in + " -filter Lanczos -resize 32x24! PNG32:" + judged), 0);
    const Rgba got = Judge(out), expected = Judge(judged);
    ASSERT_EQ(got.width, 32);
    ASSERT_EQ(got.height, 24);
    EXPECT_LE(RmseWithAlpha(expected, got), 0.01);
    int fringe = 0;
    for (size_t i = 0; i < got.pixels.size(); i += 4) {
        fringe += got.pixels[i + 3] > 0 && got.pixels[i + 1] > 0;
    }
    EXPECT_EQ(fringe, 0) << "visible pixels with the transparent area's green";
}

// A batch run with two workers keeps partly transparent pixels in the
// pictures and the thumbnails of every output format that stores them and
// flattens them on white for JPEG; the thumbnail is judged against
// ImageMagick's Lanczos-3 of the same size.
TEST_F(ColourFidelity, BatchKeepsAlphaInPicturesAndThumbnails) {
    const std::string in = dir + "/in", judged = dir + "/thumb.judge.png";
    fs::create_directories(in);
    ASSERT_EQ(Shell(std::string(kAlphaRamp) + " PNG32:" + in + "/ramp.png"), 0);
    ASSERT_EQ(Shell("cp " + in + "/ramp.png " + in + "/second.png"), 0);
    ASSERT_EQ(Shell("convert " + in + "/ramp.png -filter Lanczos -resize 32x24! PNG32:" + judged),
              0);
    const Rgba picture = Judge(in + "/ramp.png"), thumbnail = Judge(judged);
    const std::pair<const char*, const char*> outputs[] = {
        {"PNG", "png"},
        {"WebP", "webp"},
        {"TIFF", "tif"},
        {"JPEG", "jpg"},
    };
    for (const auto& [format, extension] : outputs) {
        SCOPED_TRACE(format);
        const std::string out = dir + "/out" + extension;
        ASSERT_EQ(Batch(std::string("--jobs 2 --format ") + format +
                        " --set WebP_Parameters.lossless=1 --quality-offset 100 --thumbs 32x24 "
                        "--fit --out " +
                        out + " " + in + "/ramp.png " + in + "/second.png"),
                  0);
        const bool flat = std::string(extension) == "jpg";
        for (const char* name : {"/ramp.", "/second."}) {
            const Rgba got = Judge(out + name + extension);
            ASSERT_EQ(got.width, picture.width);
            EXPECT_LE(flat ? RmseOnWhite(picture, got, false) : RmseWithAlpha(picture, got), 0.01);
        }
        const Rgba small = Judge(out + "/ramp_Thumb." + extension);
        ASSERT_EQ(small.width, 32);
        EXPECT_LE(flat ? RmseOnWhite(thumbnail, small, false) : RmseWithAlpha(thumbnail, small),
                  0.01);
    }
}
