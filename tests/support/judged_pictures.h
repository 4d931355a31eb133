// Pictures as other decoders see them, for the tests that judge what the
// program wrote against ImageMagick (libpng, giflib, libjpeg, libtiff),
// libwebp's dwebp and libavif's avifdec: the judge's decoding as 8-bit red,
// green, blue, alpha, and the two ways of comparing two such pictures
// (both put on white, the background of the alpha rule; or colour weighted
// by alpha plus alpha, for outputs that keep the alpha channel).
#pragma once

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace pixmill::test {

inline bool HasTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command with its output dropped; its exit code.
inline int Shell(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The ImageMagick command (output file to be added) for a partly
// transparent picture of 64 x 48: colour running down, alpha running
// across from 0 to 255.
inline constexpr char kAlphaRamp[] =
    "convert -size 64x48 gradient:'#d04020'-'#2080c0' \\( -size 48x64 "
    "gradient: -rotate 90 \\) -alpha off -compose CopyOpacity -composite";

// A picture as 8-bit red, green, blue, alpha.
struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// A PAM file (any depth of 1 to 4 samples of 8 bits) as red, green, blue,
// alpha; empty when it is none.
inline Rgba ReadPam(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string word;
    int width = 0, height = 0, depth = 0, maxval = 0;
    in >> word;
    if (word != "P7") {
        return {};
    }
    while (in >> word && word != "ENDHDR") {
        if (word == "WIDTH") {
            in >> width;
        } else if (word == "HEIGHT") {
            in >> height;
        } else if (word == "DEPTH") {
            in >> depth;
        } else if (word == "MAXVAL") {
            in >> maxval;
        } else if (word == "TUPLTYPE") {
            in >> word;
        }
    }
    in.get();
    if (width <= 0 || height <= 0 || depth < 1 || depth > 4 || maxval != 255) {
        return {};
    }
    std::vector<uint8_t> raw(static_cast<size_t>(width) * height * depth);
    in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
    if (!in) {
        return {};
    }
    Rgba picture{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 4)};
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        const uint8_t* s = raw.data() + i * depth;
        uint8_t* t = picture.pixels.data() + i * 4;
        const bool grey = depth <= 2;
        t[0] = s[0];
        t[1] = grey ? s[0] : s[1];
        t[2] = grey ? s[0] : s[2];
        t[3] = depth == 2 ? s[1] : depth == 4 ? s[3] : 255;
    }
    return picture;
}

// The judge's decoding of a file, by its extension: dwebp for WebP, avifdec
// for AVIF, ImageMagick for the rest (CMYK turned into sRGB by its own
// formula). The judge's files go beside it.
inline Rgba Judge(const std::string& path) {
    const std::string pam = path + ".judged.pam";
    const std::string extension = std::filesystem::path(path).extension();
    if (extension == ".webp") {
        Shell("dwebp -pam '" + path + "' -o '" + pam + "'");
    } else if (extension == ".avif") {
        Shell("avifdec --depth 8 '" + path + "' '" + path + ".judged.png' && convert '" + path +
              ".judged.png' -depth 8 PAM:'" + pam + "'");
    } else {
        Shell("convert '" + path + "' -colorspace sRGB -depth 8 PAM:'" + pam + "'");
    }
    return ReadPam(pam);
}

// Sample c of pixel i on white, in 0..1.
inline double OnWhite(const Rgba& p, size_t i, int c) {
    const double alpha = p.pixels[4 * i + 3] / 255.0;
    return (p.pixels[4 * i + c] * alpha + 255.0 * (1 - alpha)) / 255.0;
}

// Whether the pixel at x, y has the same colour on white as every pixel up
// to 4 away: inside a flat area, where lossy coding keeps the colour.
inline bool InFlatArea(const Rgba& p, int x, int y) {
    const size_t i = static_cast<size_t>(y) * p.width + x;
    for (int dy = -4; dy <= 4; ++dy) {
        for (int dx = -4; dx <= 4; ++dx) {
            const int nx = std::clamp(x + dx, 0, p.width - 1);
            const int ny = std::clamp(y + dy, 0, p.height - 1);
            const size_t j = static_cast<size_t>(ny) * p.width + nx;
            for (int c = 0; c < 3; ++c) {
                if (OnWhite(p, i, c) != OnWhite(p, j, c)) {
                    return false;
                }
            }
        }
    }
    return true;
}

// Both pictures on white; the root mean square difference in 0..1 over every
// pixel, or with flatOnly over the flat areas of expected.
inline double RmseOnWhite(const Rgba& expected, const Rgba& got, bool flatOnly) {
    double sum = 0;
    size_t samples = 0;
    for (int y = 0; y < expected.height; ++y) {
        for (int x = 0; x < expected.width; ++x) {
            if (flatOnly && !InFlatArea(expected, x, y)) {
                continue;
            }
            const size_t i = static_cast<size_t>(y) * expected.width + x;
            for (int c = 0; c < 3; ++c) {
                const double d = OnWhite(expected, i, c) - OnWhite(got, i, c);
                sum += d * d;
                ++samples;
            }
        }
    }
    return samples == 0 ? 1.0 : std::sqrt(sum / static_cast<double>(samples));
}

// Colours weighted by alpha, and alpha, in 0..1: the root mean square
// difference over every sample (what lies under a fully transparent pixel
// is not seen, so it does not count).
inline double RmseWithAlpha(const Rgba& expected, const Rgba& got) {
    double sum = 0;
    for (size_t i = 0; i < expected.pixels.size(); i += 4) {
        const double a = expected.pixels[i + 3] / 255.0, b = got.pixels[i + 3] / 255.0;
        for (int c = 0; c < 3; ++c) {
            const double d = (expected.pixels[i + c] * a - got.pixels[i + c] * b) / 255.0;
            sum += d * d;
        }
        sum += (a - b) * (a - b);
    }
    return std::sqrt(sum / static_cast<double>(expected.pixels.size()));
}

} // namespace pixmill::test
