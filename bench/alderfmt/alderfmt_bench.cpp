// Encodes photographs of 12 to 18 megapixels with our encoder (baseline and
// progressive, level 128) and with cjpeg -optimize (and -progressive) given
// the same quantisation tables, and prints milliseconds (wall and CPU, best
// of five; cjpeg's include its process start and reading the PPM) and sizes.
//
//   alderfmt_bench [picture]
//
// Without an argument two desktop backgrounds are measured: a photograph at
// its own 5640 x 3172, and one scaled up to 4000 x 3000 with ImageMagick. Our
// last files stay in the work folder (ours-<picture>-baseline.jpg and so on).
#include "dct.h"
#include "host/host_services.h"
#include "host/settings_store.h"
#include "host/streams.h"
#include "jpeg_codec.h"
#include "jpeg_encoder.h"
#include "pixmill/cv_image.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace pixmill;
using namespace pixmill::alder;
namespace fs = std::filesystem;

namespace {

constexpr int kRuns = 5;
constexpr int kLevel = 128;

// CPU time of this process and of its finished children, in milliseconds:
// on a shared machine it moves much less than wall time.
double CpuNow(bool children) {
    rusage usage{};
    getrusage(children ? RUSAGE_CHILDREN : RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double Now() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// Reads a binary PPM (P6, maxval 255) into a 24-bit image.
bool LoadPpm(const std::string& path, CVImage& image) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maxval = 0;
    in >> magic >> width >> height >> maxval;
    in.get();
    if (magic != "P6" || maxval != 255 || width <= 0 || height <= 0) {
        return false;
    }
    image.Create(width, height, 24, 0, nullptr, 2835, 2835);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        in.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(row.size()));
        uint8_t* to = image.Row(y);
        for (int x = 0; x < width; ++x) {
            to[3 * x] = row[3 * x + 2];
            to[3 * x + 1] = row[3 * x + 1];
            to[3 * x + 2] = row[3 * x];
        }
    }
    return static_cast<bool>(in);
}

struct Result {
    double ms = 1e30;
    double cpuMs = 1e30;
    size_t bytes = 0;
};

// Our file of the last run goes to keep (to compare builds byte for byte).
// One run of our encoder; its file goes to keep (to compare builds byte for
// byte).
void EncodeOurs(CPluginHost* host, const CVImage& image, bool progressive, const std::string& keep,
                Result& result) {
    JpegSettings settings{};
    settings.luminance = kLevel;
    settings.chrominance = kLevel;
    settings.progressive = progressive ? 1 : 0;
    JpegCodec codec(nullptr, host, &settings);
    MemoryStream stream(host, image.ImageBytes() / 3 + 1024, image.ImageBytes() / 6 + 256);
    const double start = Now(), cpuStart = CpuNow(false);
    codec.BeginWrite(&image, nullptr);
    codec.Write(&stream, nullptr, nullptr);
    result.ms = std::min(result.ms, Now() - start);
    result.cpuMs = std::min(result.cpuMs, CpuNow(false) - cpuStart);
    result.bytes = stream.Length();
    codec.FreeWorkBuffer();
    std::ofstream(keep, std::ios::binary)
        .write(reinterpret_cast<const char*>(stream.Data()),
               static_cast<std::streamsize>(stream.Length()));
}

bool EncodeCjpeg(const std::string& command, const std::string& out, Result& result) {
    const double start = Now(), cpuStart = CpuNow(true);
    if (!Run(command)) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        return false;
    }
    result.ms = std::min(result.ms, Now() - start);
    result.cpuMs = std::min(result.cpuMs, CpuNow(true) - cpuStart);
    result.bytes = fs::file_size(out);
    return true;
}

// Ours and cjpeg's runs alternate, so that load from elsewhere on the
// machine falls on both alike.
bool BenchPicture(CPluginHost* host, const fs::path& work, const std::string& ppm,
                  const std::string& name) {
    CVImage image(host);
    if (!LoadPpm(ppm, image)) {
        std::fprintf(stderr, "cannot read %s\n", ppm.c_str());
        return false;
    }
    // The same tables for cjpeg: natural order, luminance then chrominance.
    const std::string tables = (work / "tables.txt").string();
    {
        std::ofstream out(tables);
        for (bool chrominance : {false, true}) {
            uint8_t zigzag[64], natural[64];
            QuantisationTable(kLevel, chrominance, zigzag);
            for (int k = 0; k < 64; ++k) {
                natural[kNaturalOrder[k]] = zigzag[k];
            }
            for (int i = 0; i < 64; ++i) {
                out << static_cast<int>(natural[i]) << ((i % 8 == 7) ? "\n" : " ");
            }
            out << "\n";
        }
    }
    std::printf("\n%s: %d x %d (%.1f megapixels), level %d, best of %d runs\n", name.c_str(),
                image.Width(), image.Height(),
                image.Width() * static_cast<double>(image.Height()) / 1e6, kLevel, kRuns);
    std::printf("%-28s %10s %10s %12s\n", "", "wall ms", "CPU ms", "bytes");
    for (bool progressive : {false, true}) {
        const char* mode = progressive ? "progressive" : "baseline";
        const std::string kept =
            (work / ("ours-" + fs::path(ppm).stem().string() + "-" + mode + ".jpg")).string();
        const std::string out = (work / "cjpeg.jpg").string();
        const std::string command = "cjpeg -optimize " +
                                    std::string(progressive ? "-progressive " : "") + "-qtables " +
                                    tables + " -outfile " + out + " " + ppm;
        Result ours, theirs;
        for (int run = 0; run < kRuns; ++run) {
            EncodeOurs(host, image, progressive, kept, ours);
            if (!EncodeCjpeg(command, out, theirs)) {
                return false;
            }
        }
        std::printf("ours %-23s %10.1f %10.1f %12zu\n", mode, ours.ms, ours.cpuMs, ours.bytes);
        std::printf("cjpeg -optimize %-12s %10.1f %10.1f %12zu\n", mode, theirs.ms, theirs.cpuMs,
                    theirs.bytes);
        std::printf("  size ratio %.3f, speed ratio %.2f wall, %.2f CPU (cjpeg / ours)\n",
                    static_cast<double>(ours.bytes) / theirs.bytes, theirs.ms / ours.ms,
                    theirs.cpuMs / ours.cpuMs);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const fs::path work = fs::temp_directory_path() / "pixmill-alderfmt-bench";
    fs::create_directories(work);
    MemorySettingsStore store;
    HostServices host(store);
    if (argc > 1) {
        const std::string ppm = (work / "argument.ppm").string();
        return Run("/usr/bin/convert '" + std::string(argv[1]) + "' " + ppm) &&
                       BenchPicture(&host, work, ppm, argv[1])
                   ? 0
                   : 1;
    }
    // A photograph at its own 17.9 megapixels (fine detail everywhere), and
    // a smoother one scaled up to 12 megapixels.
    const std::string folder = "/usr/share/backgrounds/mate/";
    const struct {
        const char* source;
        const char* resize;
        const char* ppm;
    } pictures[] = {{"abstract/Elephants_5640x3172.jpg", "", "elephants.ppm"},
                    {"nature/Wood.jpg", "-resize 4000x3000! ", "picture.ppm"}};
    for (const auto& p : pictures) {
        const std::string ppm = (work / p.ppm).string();
        if (!fs::exists(ppm) &&
            !Run("/usr/bin/convert " + folder + p.source + " " + p.resize + ppm)) {
            return 1;
        }
        if (!BenchPicture(&host, work, ppm, p.source)) {
            return 1;
        }
    }
    return 0;
}
