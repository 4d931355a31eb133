// Times 24-bit -> adaptive 256-colour reduction with and without error
// diffusion on a large photograph, next to ImageMagick's
// "convert IN -dither FloydSteinberg -colors 256 OUT" in the same run, and
// prints the RMS colour difference of each result from the original.
//
//   cedarcol_bench [picture.ppm]
//
// Without an argument the picture is made once from a photograph of the
// desktop backgrounds, scaled to 4000 x 3000 (12 megapixels), as a binary PPM
// in the temporary directory.
#include "color_convert.h"

#include "host/host_services.h"
#include "host/settings_store.h"
#include "pixmill/errors.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace pixmill;
using namespace pixmill::cedarcol;

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// Reads a binary PPM (maximum 255) into top-down RGB bytes.
bool ReadPpm(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maximum = 0;
    in >> magic;
    auto skipComments = [&] {
        in >> std::ws;
        while (in.peek() == '#') {
            std::string line;
            std::getline(in, line);
            in >> std::ws;
        }
    };
    skipComments();
    in >> width;
    skipComments();
    in >> height;
    skipComments();
    in >> maximum;
    in.get();
    if (!in || magic != "P6" || maximum != 255 || width < 1 || height < 1) {
        return false;
    }
    rgb.resize(static_cast<size_t>(width) * height * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    return static_cast<bool>(in);
}

// Root mean square of the per-component differences.
double Rms(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = static_cast<double>(a[i]) - b[i];
        sum += d * d;
    }
    return std::sqrt(sum / static_cast<double>(a.size()));
}

// The reduced image's colours, top-down RGB.
std::vector<uint8_t> ColoursOf(const CVImage& image) {
    std::vector<uint8_t> rgb(static_cast<size_t>(image.Width()) * image.Height() * 3);
    for (int y = 0; y < image.Height(); ++y) {
        const uint8_t* row = image.Row(y);
        for (int x = 0; x < image.Width(); ++x) {
            const RGBQUAD& c = image.palette[row[x]];
            uint8_t* out = &rgb[(static_cast<size_t>(y) * image.Width() + x) * 3];
            out[0] = c.rgbRed;
            out[1] = c.rgbGreen;
            out[2] = c.rgbBlue;
        }
    }
    return rgb;
}

double RunCommand(const std::string& command) {
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return Milliseconds(start, Clock::now());
}

} // namespace

int main(int argc, char** argv) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string tmpDir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    std::string picture;
    if (argc > 1) {
        picture = argv[1];
    } else {
        picture = tmpDir + "/cedarcol-bench-wood-12mp.ppm";
        if (!Exists(picture)) {
            RunCommand("convert /usr/share/backgrounds/mate/nature/Wood.jpg -resize '4000x3000!' "
                       "-depth 8 '" +
                       picture + "'");
        }
    }
    int width = 0, height = 0;
    std::vector<uint8_t> original;
    if (!ReadPpm(picture, width, height, original)) {
        std::fprintf(stderr, "cannot read %s as a binary PPM\n", picture.c_str());
        return 1;
    }
    const double megapixels = static_cast<double>(width) * height / 1e6;
    std::printf("picture %s: %d x %d, %.1f megapixels\n", picture.c_str(), width, height,
                megapixels);

    MemorySettingsStore store;
    CHostServices host(store);
    CVImage source(&host);
    source.Create(width, height, 24, 0, nullptr);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = source.Row(y);
        const uint8_t* in = &original[static_cast<size_t>(y) * width * 3];
        for (int x = 0; x < width; ++x) {
            row[3 * x] = in[3 * x + 2];
            row[3 * x + 1] = in[3 * x + 1];
            row[3 * x + 2] = in[3 * x];
        }
    }

    double ditheredMs = 0;
    double fastestHighQuality[2] = {0, 0}; // [dithered]
    for (int highQuality : {0, 1})
        for (int dither : {8, 0}) {
            ConversionParameters params;
            params.info = DefaultColorInfo();
            params.info.conversionCode = CodeColorCount;
            params.info.colorCount = 256;
            params.info.paletteKind = PaletteAdaptive;
            params.ditherLevel = dither;
            params.highQuality = highQuality != 0;
            double best = 1e30;
            CVImage reduced(&host);
            for (int run = 0; run < 3; ++run) {
                const auto start = Clock::now();
                try {
                    ConvertColors(&host, source, reduced, nullptr, params);
                } catch (CQorelError& e) {
                    std::fprintf(stderr, "conversion failed: %s\n", e.Report(false));
                    return 1;
                }
                best = std::min(best, Milliseconds(start, Clock::now()));
            }
            if (dither != 0 && highQuality == 0) {
                ditheredMs = best;
            }
            if (highQuality != 0) {
                fastestHighQuality[dither != 0] = best;
            }
            uint64_t hash = 1469598103934665603ull;
            for (size_t i = 0; i < reduced.ImageBytes(); ++i) {
                hash = (hash ^ reduced.bits[i]) * 1099511628211ull;
            }
            std::printf("  result hash %016llx\n", static_cast<unsigned long long>(hash));
            const double rms = Rms(original, ColoursOf(reduced));
            std::printf("pixmill adaptive 256%s, dither level %d: %8.1f ms  %6.1f MP/s  RMS %.2f  "
                        "MSE %.2f\n",
                        highQuality != 0 ? " high quality" : "", dither, best,
                        megapixels / (best / 1000), rms, rms * rms);
        }

    const std::string out = tmpDir + "/cedarcol-bench-im-out.ppm";
    const std::string copy = tmpDir + "/cedarcol-bench-im-copy.ppm";
    const double ioMs = RunCommand("convert '" + picture + "' '" + copy + "'");
    const double imMs =
        RunCommand("convert '" + picture + "' -dither FloydSteinberg -colors 256 '" + out + "'");
    std::vector<uint8_t> quantised;
    int w2 = 0, h2 = 0;
    if (!ReadPpm(out, w2, h2, quantised) || w2 != width || h2 != height) {
        std::fprintf(stderr, "cannot read ImageMagick's result %s\n", out.c_str());
        return 1;
    }
    std::printf("ImageMagick -dither FloydSteinberg -colors 256: %8.1f ms  %6.1f MP/s  RMS %.2f"
                "  (of which reading and writing the PPM: about %.1f ms)\n",
                imMs, megapixels / (imMs / 1000), Rms(original, quantised), ioMs);
    std::printf("ImageMagick time / pixmill dithered time: %.2f\n", imMs / ditheredMs);

    // libimagequant through pngquant, with and without its dithering: the
    // time of the quantiser alone (PNG reading and writing are small next
    // to it on a photograph).
    if (std::system("command -v pngquant >/dev/null 2>&1") == 0) {
        const std::string png = tmpDir + "/cedarcol-bench-in.png";
        const std::string pngOut = tmpDir + "/cedarcol-bench-pq.png";
        RunCommand("convert '" + picture + "' '" + png + "'");
        for (bool dithered : {true, false}) {
            double best = 1e30;
            for (int run = 0; run < 2; ++run) {
                best = std::min(best, RunCommand(std::string("pngquant 256 --force ") +
                                                 (dithered ? "" : "--nofs ") + "--output '" +
                                                 pngOut + "' '" + png + "'"));
            }
            RunCommand("convert '" + pngOut + "' -depth 8 '" + out + "'");
            if (!ReadPpm(out, w2, h2, quantised) || w2 != width || h2 != height) {
                std::fprintf(stderr, "cannot read pngquant's result\n");
                return 1;
            }
            const double rms = Rms(original, quantised);
            std::printf("pngquant 256%s: %8.1f ms  RMS %.2f  MSE %.2f  (time / pixmill high "
                        "quality: %.1f)\n",
                        dithered ? "" : " --nofs", best, rms, rms * rms,
                        best / fastestHighQuality[dithered]);
        }
        std::remove(png.c_str());
        std::remove(pngOut.c_str());
    }
    std::remove(out.c_str());
    std::remove(copy.c_str());
    return 0;
}
