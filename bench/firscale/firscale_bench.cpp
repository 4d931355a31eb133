// Times the resample and rotate plug-ins on a 12-megapixel 24-bit picture
// and, in the same run, ImageMagick and vips doing the same work.
//
//   firscale_bench [photo.jpg] [work folder]
//
// The photograph is turned into a 4000 x 3000 binary PPM with `convert`;
// the plug-ins are loaded from the build's Processing folder, as the program
// loads them. External tools read and write PPM files: their times include
// that, so the time of a plain PPM copy with the same tool is printed too.
#include "host/host_services.h"
#include "host/settings_store.h"
#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/processing_plugin.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <string>
#include <vector>

using namespace pixmill;

namespace {

constexpr int kRuns = 3;

double BestOf(const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
    }
    return best;
}

double Command(const std::string& command) {
    return BestOf([&] {
        if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
            std::fprintf(stderr, "failed: %s\n", command.c_str());
        }
    });
}

bool ReadPpm(const std::string& path, CVImage& image) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    int width = 0, height = 0, maximum = 0;
    const bool ok = std::fscanf(file, "P6 %d %d %d", &width, &height, &maximum) == 3 &&
                    maximum == 255 && std::fgetc(file) != EOF;
    if (!ok) {
        std::fclose(file);
        return false;
    }
    image.Create(width, height, 24, 0, nullptr);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        if (std::fread(row.data(), 1, row.size(), file) != row.size()) {
            std::fclose(file);
            return false;
        }
        uint8_t* out = image.Row(y);
        for (int x = 0; x < width; ++x) {
            out[3 * x] = row[3 * x + 2];
            out[3 * x + 1] = row[3 * x + 1];
            out[3 * x + 2] = row[3 * x];
        }
    }
    std::fclose(file);
    return true;
}

struct Library {
    explicit Library(const char* path) : handle(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}
    ~Library() {
        if (handle != nullptr) {
            dlclose(handle);
        }
    }
    void* handle;
};

void Row(const char* what, double ours, double magick, double vips, double magickBase,
         double vipsBase) {
    std::printf("%-24s %9.1f %11.1f %9.1f %8.2f %8.2f   %8.2f %8.2f\n", what, ours, magick, vips,
                magick / ours, vips / ours, (magick - magickBase) / ours, (vips - vipsBase) / ours);
}

} // namespace

int main(int argc, char** argv) {
    const std::string photo = argc > 1 ? argv[1] : "/usr/share/backgrounds/mate/nature/Wood.jpg";
    const std::string work = argc > 2 ? argv[2] : "/tmp";
    const std::string ppm = work + "/pixmill-bench-12mp.ppm";
    if (std::system(("convert '" + photo + "' -resize 4000x3000! '" + ppm + "'").c_str()) != 0) {
        std::fprintf(stderr, "could not make %s from %s\n", ppm.c_str(), photo.c_str());
        return 1;
    }

    MemorySettingsStore settings;
    HostServices host(settings);
    CVImage source(&host);
    if (!ReadPpm(ppm, source)) {
        std::fprintf(stderr, "could not read %s\n", ppm.c_str());
        return 1;
    }
    const int W = source.Width(), H = source.Height();
    const int smallHeight = static_cast<int>(H * 800.0 / W + 0.5);

    // Rotation angle through the stored block, as the program would.
    struct {
        int32_t flip = 0, reserved = 0;
        double angle = 10.0;
        uint8_t rgb[4] = {0, 0, 0, 0};
        int32_t smart = 1;
    } rotate;
    static_assert(sizeof rotate == 24);
    settings.WriteBinary("Settings", "RotateParam",
                         std::vector<uint8_t>(reinterpret_cast<uint8_t*>(&rotate),
                                              reinterpret_cast<uint8_t*>(&rotate) + 24));

    Library firscale(PIXMILL_BIN_DIR "/Processing/firscale.so");
    Library pineturn(PIXMILL_BIN_DIR "/Processing/pineturn.so");
    if (firscale.handle == nullptr || pineturn.handle == nullptr) {
        std::fprintf(stderr, "plug-ins not found: %s\n", dlerror());
        return 1;
    }
    CProcessingPlugin* resampler = nullptr;
    CProcessingPlugin* rotator = nullptr;
    reinterpret_cast<GetProcessingFn>(dlsym(firscale.handle, "GetProcessing"))(&host, &resampler);
    reinterpret_cast<GetProcessingFn>(dlsym(pineturn.handle, "GetProcessing"))(&host, &rotator);
    auto resampleImage = reinterpret_cast<ResampleImageFn>(dlsym(firscale.handle, "ResampleImage"));

    auto resampleTo = [&](int width, int height) {
        return BestOf([&] {
            CVImage result(&host);
            resampleImage(&source, &result, nullptr, width, height, 0, 0);
        });
    };
    const double oursDown = resampleTo(800, smallHeight);
    const double oursUp = resampleTo(2 * W, 2 * H);
    const double oursRotate = BestOf([&] {
        CVImage result(&host);
        rotator->Apply(&source, &result, nullptr);
    });

    const std::string out = work + "/pixmill-bench-out";
    const double magickBase = Command("convert " + ppm + " " + out + ".ppm");
    const double vipsBase = Command("vips copy " + ppm + " " + out + ".ppm");
    const double magickDown =
        Command("convert " + ppm + " -filter Box -resize 800x " + out + ".ppm");
    const double vipsDown = Command("vipsthumbnail " + ppm + " -s 800 -o " + out + ".ppm");
    const double magickUp = Command("convert " + ppm + " -filter Box -resize 200% " + out + ".ppm");
    const double vipsUp = Command("vips resize " + ppm + " " + out + ".ppm 2");
    const double magickRotate = Command("convert " + ppm + " -rotate 10 " + out + ".ppm");
    const double vipsRotate = Command("vips rotate " + ppm + " " + out + ".ppm 10");

    std::printf("%dx%d 24-bit, best of %d runs, milliseconds\n", W, H, kRuns);
    std::printf("%-24s %9s %11s %9s %8s %8s   %8s %8s\n", "", "pixmill", "ImageMagick", "vips",
                "IM/ours", "vips/ours", "IM-io", "vips-io");
    Row("downscale to 800 wide", oursDown, magickDown, vipsDown, magickBase, vipsBase);
    Row("upscale 2x", oursUp, magickUp, vipsUp, magickBase, vipsBase);
    Row("rotate 10 degrees", oursRotate, magickRotate, vipsRotate, magickBase, vipsBase);
    std::printf("PPM read+write alone: ImageMagick %.1f ms, vips %.1f ms (the -io columns take "
                "it off the tools' times)\n",
                magickBase, vipsBase);
    std::remove((out + ".ppm").c_str());
    return 0;
}
