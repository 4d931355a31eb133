// Throughput of every filter and tone adjustment on one large 24-bit picture
// (a binary PPM), in megapixels per second, next to the nearest ImageMagick
// operation timed in the same run on the same picture, both as processor
// time (best of several runs). ImageMagick reads the
// picture from its own pixel cache (".mpc"), runs with one thread like our
// code, and the time of reading and discarding the picture alone is
// subtracted from its figures.
//   filter_bench <picture.ppm> <work folder>
#include "filters.h"
#include "tone.h"

#include "host/host_services.h"
#include "host/settings_store.h"
#include "pixmill/cv_image.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>

using namespace pixmill;

namespace {

// The next header number of a PPM, skipping blanks and "#" comments.
int HeaderNumber(std::istream& in) {
    for (;;) {
        const int c = in.peek();
        if (c == '#') {
            std::string comment;
            std::getline(in, comment);
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            in.get();
        } else {
            break;
        }
    }
    int value = -1;
    in >> value;
    return value;
}

bool ReadPpm(const char* path, CVImage& image) {
    std::ifstream in(path, std::ios::binary);
    char magic[2] = {};
    in.read(magic, 2);
    const int width = HeaderNumber(in);
    const int height = HeaderNumber(in);
    const int maximum = HeaderNumber(in);
    if (!in || magic[0] != 'P' || magic[1] != '6' || maximum != 255 || width < 1 || height < 1) {
        return false;
    }
    in.get(); // the single blank after the header
    image.Create(width, height, 24, 0, nullptr);
    std::vector<char> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        if (!in.read(row.data(), static_cast<std::streamsize>(row.size()))) {
            return false;
        }
        uint8_t* to = image.Row(y);
        for (int x = 0; x < width; ++x) {
            to[3 * x] = static_cast<uint8_t>(row[3 * x + 2]);
            to[3 * x + 1] = static_cast<uint8_t>(row[3 * x + 1]);
            to[3 * x + 2] = static_cast<uint8_t>(row[3 * x]);
        }
    }
    return true;
}

// Processor time (user + system) of this process or of its finished
// children. The machine is shared, so processor time is steadier than the
// clock on the wall.
double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double BestSeconds(int runs, int who, const std::function<void()>& work) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double start = CpuSeconds(who);
        work();
        best = std::min(best, CpuSeconds(who) - start);
    }
    return best;
}

double OwnSeconds(int runs, const std::function<void()>& work) {
    return BestSeconds(runs, RUSAGE_SELF, work);
}

double ShellSeconds(int runs, const std::string& command) {
    return BestSeconds(runs, RUSAGE_CHILDREN, [&] {
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "failed: %s\n", command.c_str());
        }
    });
}

struct Operation {
    const char* name;
    std::function<void(const CVImage&, CVImage&)> run;
    const char* magick; // the nearest ImageMagick operation
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <picture.ppm> <work folder>\n", argv[0]);
        return 2;
    }
    MemorySettingsStore store;
    HostServices host(store);
    CVImage picture(&host);
    if (!ReadPpm(argv[1], picture)) {
        std::fprintf(stderr, "%s: not a binary 8-bit PPM\n", argv[1]);
        return 1;
    }
    const double megapixels = picture.Width() * static_cast<double>(picture.Height()) / 1e6;
    const std::string cache = std::string(argv[2]) + "/picture.mpc";
    const std::string magick = "convert -limit thread 1 " + cache + " ";
    if (std::system(("convert " + std::string(argv[1]) + " " + cache).c_str()) != 0) {
        std::fprintf(stderr, "ImageMagick's convert is needed\n");
        return 1;
    }

    oaktone::AdjustSettings tone = oaktone::DefaultAdjustSettings();
    tone.tone[0][oaktone::ValueBrightness] = 10;
    tone.tone[0][oaktone::ValueContrast] = 20;
    tone.tone[0][oaktone::ValueIntensity] = 10;
    oaktone::AdjustSettings gamma = oaktone::DefaultAdjustSettings();
    gamma.gamma[0] = 2.2;

    const Operation operations[] = {
        {"Negative", [](const CVImage& s, CVImage& d) { elmpass::Negative(s, d, nullptr); },
         "-negate"},
        {"Smooth 10", [](const CVImage& s, CVImage& d) { elmpass::Smooth(s, d, 10, nullptr); },
         "-blur 0x1"},
        {"Sharpen 10", [](const CVImage& s, CVImage& d) { elmpass::Sharpen(s, d, 10, nullptr); },
         "-sharpen 0x1"},
        {"Median", [](const CVImage& s, CVImage& d) { elmpass::Median(s, d, nullptr); },
         "-median 3"},
        {"Despeckle 10",
         [](const CVImage& s, CVImage& d) { elmpass::Despeckle(s, d, 10, nullptr); }, "-despeckle"},
        {"Brightness-Contrast-Intensity 10/20/10",
         [&](const CVImage& s, CVImage& d) { oaktone::AdjustTone(s, d, tone, nullptr); },
         "-brightness-contrast 10x20"},
        {"Gamma 2.2",
         [&](const CVImage& s, CVImage& d) { oaktone::AdjustGamma(s, d, gamma, nullptr); },
         "-gamma 2.2"},
    };

    std::printf("picture: %d x %d, 24-bit, %.2f megapixels\n", picture.Width(), picture.Height(),
                megapixels);
    const double baseline = ShellSeconds(3, magick + "null:");
    std::printf("ImageMagick reading the cache alone: %.3f s (subtracted below)\n\n", baseline);
    std::printf("%-40s %10s %10s   %-28s %10s %10s\n", "operation", "cpu s", "MP/s",
                "ImageMagick (1 thread)", "cpu s", "MP/s");
    for (const Operation& op : operations) {
        const double ours = OwnSeconds(3, [&] {
            CVImage result(&host);
            op.run(picture, result);
        });
        const double theirs =
            std::max(ShellSeconds(2, magick + op.magick + " null:") - baseline, 1e-6);
        std::printf("%-40s %10.3f %10.1f   %-28s %10.3f %10.1f\n", op.name, ours, megapixels / ours,
                    op.magick, theirs, megapixels / theirs);
        std::fflush(stdout);
    }
    return 0;
}
