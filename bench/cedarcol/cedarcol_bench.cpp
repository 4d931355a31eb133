// Times 24-bit -> adaptive 256-colour reduction, median cut and high quality,
// with and without error diffusion, next to ImageMagick
// ("convert IN -dither FloydSteinberg|None -colors 256 OUT") and, when it is
// installed, pngquant (default speed, no posterisation, 256 colours, with
// and without its dithering) in the same run, and prints the mean squared
// error of each result from the original: over red, green and blue, every
// pixel, each result read back as a binary PPM. Runs alternate between the
// programs and the best time of each is kept.
//
//   cedarcol_bench [--runs N] [--ours-only] [picture.ppm ...]
//
// When liq_quantise is built beside this program (libimagequant-dev
// installed), libimagequant's own quantisation and remapping time is shown
// too, without any file reading or writing: the fair yardstick for ours.
//
// Without pictures three photographs of the desktop backgrounds are scaled
// to 4000 x 3000 (12 megapixels) once, as binary PPMs in the temporary
// directory. Times of the other programs are whole processes (reading and
// writing their files included); ours is the conversion alone, and, when
// pixmill-cli is built beside this program, also a whole run from the same
// PNG file to a PNG file, timed next to pngquant's.
#include "color_convert.h"

#include "host/host_services.h"
#include "host/settings_store.h"
#include "pixmill/errors.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
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

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
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

// Mean of the squared per-component differences.
double Mse(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = static_cast<double>(a[i]) - b[i];
        sum += d * d;
    }
    return sum / static_cast<double>(a.size());
}

// Blurs count lines of length values (step apart, lines lineStep apart) by
// [1 4 6 4 1] / 16, the ends repeated.
void Blur(const std::vector<float>& in, std::vector<float>& out, size_t count, size_t length,
          size_t step, size_t lineStep) {
    std::vector<float> line(length + 4);
    for (size_t l = 0; l < count; ++l) {
        const float* from = &in[l * lineStep];
        for (size_t i = 0; i < length; ++i) {
            line[i + 2] = from[i * step];
        }
        line[0] = line[1] = line[2];
        line[length + 3] = line[length + 2] = line[length + 1];
        float* to = &out[l * lineStep];
        for (size_t i = 0; i < length; ++i) {
            const float* t = &line[i];
            to[i * step] = (t[0] + 4 * t[1] + 6 * t[2] + 4 * t[3] + t[4]) / 16;
        }
    }
}

// Mean squared error after both pictures are blurred across and down: what
// is left of the error at a viewing distance where fine dither patterns
// merge, i.e. banding and colour shifts.
double LowPassMse(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int width,
                  int height) {
    const auto w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    std::vector<float> difference(w * h), across(w * h);
    double sum = 0;
    for (size_t c = 0; c < 3; ++c) {
        for (size_t i = 0; i < w * h; ++i) {
            difference[i] = static_cast<float>(a[3 * i + c]) - static_cast<float>(b[3 * i + c]);
        }
        Blur(difference, across, h, w, 1, w);
        Blur(across, difference, w, h, w, 1);
        for (const float v : difference) {
            sum += double{v} * v;
        }
    }
    return sum / static_cast<double>(3 * w * h);
}

size_t DistinctColours(const std::vector<uint8_t>& rgb) {
    std::vector<bool> seen(size_t{1} << 24);
    size_t count = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        const uint32_t colour = uint32_t{rgb[i]} << 16 | uint32_t{rgb[i + 1]} << 8 | rgb[i + 2];
        if (!seen[colour]) {
            seen[colour] = true;
            ++count;
        }
    }
    return count;
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

// Processor time of this process, in milliseconds.
double OwnCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Processor time (user and system) of the waited-for children, in milliseconds.
double ChildrenCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Wall and processor time of one run; the best of several runs is kept.
struct Timing {
    double ms = 1e30;
    double cpuMs = 1e30;
    void Keep(double wall, double cpu) {
        ms = std::min(ms, wall);
        cpuMs = std::min(cpuMs, cpu);
    }
};

double RunCommand(const std::string& command, Timing* timing = nullptr) {
    const double cpuBefore = ChildrenCpuMs();
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    const double wall = Milliseconds(start, Clock::now());
    if (timing != nullptr) {
        timing->Keep(wall, ChildrenCpuMs() - cpuBefore);
    }
    return wall;
}

// A command that prints the wall and processor milliseconds of its own work
// (liq_quantise): those are kept rather than the whole process's.
void RunTimedCommand(const std::string& command, Timing& timing) {
    FILE* pipe = popen(command.c_str(), "r");
    double wall = 0, cpu = 0;
    if (pipe == nullptr || std::fscanf(pipe, "%lf %lf", &wall, &cpu) != 2 || pclose(pipe) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    timing.Keep(wall, cpu);
}

std::string InBrackets(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "(%.0f)", ms);
    return text;
}

struct Result {
    Timing time;
    double mse = -1;
    double lowPassMse = -1;
    size_t colours = 0;
};

// One of the other programs: its command, and its result read back.
struct Reference {
    std::string name;
    std::string command;
    std::string output; // what the command writes
    Result result;
    bool ownTime = false; // the command reports the time of its work
};

void ReadBack(Reference& reference, const std::string& ppm, const std::vector<uint8_t>& original,
              int width, int height) {
    if (reference.output != ppm) {
        RunCommand("convert '" + reference.output + "' -depth 8 '" + ppm + "'");
    }
    std::vector<uint8_t> quantised;
    int w = 0, h = 0;
    if (!ReadPpm(ppm, w, h, quantised) || w != width || h != height) {
        std::fprintf(stderr, "cannot read the result of %s\n", reference.name.c_str());
        std::exit(1);
    }
    reference.result.mse = Mse(original, quantised);
    reference.result.lowPassMse = LowPassMse(original, quantised, width, height);
    reference.result.colours = DistinctColours(quantised);
}

} // namespace

int main(int argc, char** argv) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string tmpDir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    int runs = 3;
    bool oursOnly = false;
    std::vector<std::string> pictures;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--ours-only") == 0) {
            oursOnly = true;
        } else {
            pictures.emplace_back(argv[i]);
        }
    }
    if (pictures.empty()) {
        for (const char* name : {"Wood", "Garden", "LadyBird"}) {
            std::string picture = tmpDir + "/cedarcol-bench-" + name + "-12mp.ppm";
            if (!Exists(picture)) {
                RunCommand(std::string("convert /usr/share/backgrounds/mate/nature/") + name +
                           ".jpg -resize '4000x3000!' -depth 8 '" + picture + "'");
            }
            pictures.push_back(picture);
        }
    }
    const bool havePngquant = !oursOnly && std::system("command -v pngquant >/dev/null 2>&1") == 0;
    // The command line program beside this one, for whole runs from PNG to
    // PNG next to pngquant's.
    // Programs beside this one: the command line, for whole runs from PNG
    // to PNG next to pngquant's, and libimagequant as a library call.
    std::string here;
    if (char self[4096]; !oursOnly) {
        const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
        if (length > 0) {
            here = std::string(self, static_cast<size_t>(length));
            here = here.substr(0, here.find_last_of('/') + 1);
        }
    }
    std::string cli = here + "pixmill-cli";
    if (here.empty() || !havePngquant || !Exists(cli)) {
        cli.clear();
    }
    std::string liq = here + "liq_quantise";
    if (here.empty() || !Exists(liq)) {
        liq.clear();
    }
    const std::string emptySettings = tmpDir + "/cedarcol-bench-settings.ini";
    if (!cli.empty()) {
        std::ofstream(emptySettings) << "\n";
    }
    std::printf("load average at the start: %s\n", LoadAverage().c_str());

    MemorySettingsStore store;
    HostServices host(store);
    struct Row {
        std::string picture;
        bool dithered;
        Result cut, ours;
        std::vector<Reference> references;
    };
    std::vector<Row> table;
    for (const std::string& picture : pictures) {
        int width = 0, height = 0;
        std::vector<uint8_t> original;
        if (!ReadPpm(picture, width, height, original)) {
            std::fprintf(stderr, "cannot read %s as a binary PPM\n", picture.c_str());
            return 1;
        }
        const double megapixels = static_cast<double>(width) * height / 1e6;
        std::printf("picture %s: %d x %d, %.1f megapixels\n", picture.c_str(), width, height,
                    megapixels);
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
        const std::string png = tmpDir + "/cedarcol-bench-in.png";
        const std::string ppmOut = tmpDir + "/cedarcol-bench-out.ppm";
        const std::string pngOut = tmpDir + "/cedarcol-bench-out.png";
        const std::string cliOut = tmpDir + "/cedarcol-bench-cli.png";
        const std::string liqOut = tmpDir + "/cedarcol-bench-liq.ppm";
        if (havePngquant) {
            RunCommand("convert '" + picture + "' -strip PNG24:'" + png + "'");
        }

        for (const bool dithered : {true, false}) {
            Row row{picture, dithered, {}, {}, {}};
            if (!oursOnly) {
                row.references.push_back({"ImageMagick",
                                          "convert '" + picture + "' -dither " +
                                              (dithered ? "FloydSteinberg" : "None") +
                                              " -colors 256 '" + ppmOut + "'",
                                          ppmOut,
                                          {}});
            }
            if (!cli.empty()) {
                row.references.push_back(
                    {"pixmill-cli",
                     "'" + cli + "' convert '" + png + "' '" + cliOut + "' --settings '" +
                         emptySettings +
                         "' --op 'Convert to Paletted' --set QorelColorInfo.conversionCode=8 "
                         "--set QorelColorInfo.paletteKind=2 --set "
                         "QorelColorMapping.highQuality=1 --set QorelColorMapping.ditherLevel=" +
                         (dithered ? "8" : "0") + " >/dev/null",
                     cliOut,
                     {}});
            }
            if (havePngquant) {
                row.references.push_back({"pngquant",
                                          std::string("pngquant 256 --force ") +
                                              (dithered ? "" : "--nofs ") + "--output '" + pngOut +
                                              "' '" + png + "'",
                                          pngOut,
                                          {}});
            }
            if (!liq.empty()) {
                Reference library{"libimagequant",
                                  "'" + liq + "' '" + picture + "' '" + liqOut + "'" +
                                      (dithered ? "" : " --nofs"),
                                  liqOut,
                                  {}};
                library.ownTime = true;
                row.references.push_back(library);
            }
            CVImage reduced(&host);
            for (const bool highQuality : {false, true}) {
                ConversionParameters params;
                params.info = DefaultColorInfo();
                params.info.conversionCode = CodeColorCount;
                params.info.colorCount = 256;
                params.info.paletteKind = PaletteAdaptive;
                params.ditherLevel = dithered ? 8 : 0;
                params.highQuality = highQuality;
                Result& result = highQuality ? row.ours : row.cut;
                for (int run = 0; run < runs; ++run) {
                    const auto start = Clock::now();
                    const double cpuStart = OwnCpuMs();
                    try {
                        ConvertColors(&host, source, reduced, nullptr, params);
                    } catch (CQorelError& e) {
                        std::fprintf(stderr, "conversion failed: %s\n", e.Report(false));
                        return 1;
                    }
                    result.time.Keep(Milliseconds(start, Clock::now()), OwnCpuMs() - cpuStart);
                    // The other programs run between our runs.
                    if (highQuality) {
                        for (Reference& reference : row.references) {
                            if (reference.ownTime) {
                                RunTimedCommand(reference.command, reference.result.time);
                            } else {
                                RunCommand(reference.command, &reference.result.time);
                            }
                        }
                    }
                }
                uint64_t hash = 1469598103934665603ull;
                for (size_t i = 0; i < reduced.ImageBytes(); ++i) {
                    hash = (hash ^ reduced.bits[i]) * 1099511628211ull;
                }
                const std::vector<uint8_t> colours = ColoursOf(reduced);
                result.mse = Mse(original, colours);
                result.lowPassMse = LowPassMse(original, colours, width, height);
                result.colours = DistinctColours(colours);
                std::printf("  pixmill %s%s: %8.1f ms (%.1f ms CPU)  %6.1f MP/s  MSE %.3f  "
                            "blurred %.3f  %zu colours  result hash %016llx\n",
                            highQuality ? "high quality" : "median cut",
                            dithered ? ", dithered" : "", result.time.ms, result.time.cpuMs,
                            megapixels / (result.time.ms / 1000), result.mse, result.lowPassMse,
                            result.colours, static_cast<unsigned long long>(hash));
            }
            for (Reference& reference : row.references) {
                ReadBack(reference, ppmOut, original, width, height);
                std::printf("  %s%s: %8.1f ms (%.1f ms CPU)  MSE %.3f  blurred %.3f  %zu colours\n",
                            reference.name.c_str(), dithered ? ", dithered" : "",
                            reference.result.time.ms, reference.result.time.cpuMs,
                            reference.result.mse, reference.result.lowPassMse,
                            reference.result.colours);
            }
            table.push_back(row);
        }
        std::remove(png.c_str());
        std::remove(pngOut.c_str());
        std::remove(cliOut.c_str());
        std::remove(liqOut.c_str());
        std::remove(ppmOut.c_str());
    }

    std::printf("\nload average at the end: %s\n", LoadAverage().c_str());
    std::printf("%-28s %-9s %9s %9s", "picture", "diffusion", "MSE cut", "MSE HQ");
    if (!table.empty()) {
        for (const Reference& reference : table.front().references) {
            std::printf(" %11.11s", ("MSE " + reference.name).c_str());
        }
    }
    std::printf(" %8s %8s", "ms cut", "ms HQ");
    if (!table.empty()) {
        for (const Reference& reference : table.front().references) {
            std::printf(" %11.11s %6s", ("ms " + reference.name).c_str(), "÷ HQ");
        }
    }
    std::printf("   (ms: best wall time; CPU time in brackets)\n");
    for (const Row& row : table) {
        const size_t slash = row.picture.find_last_of('/');
        std::printf("%-28.28s %-9s %9.3f %9.3f",
                    row.picture.substr(slash == std::string::npos ? 0 : slash + 1).c_str(),
                    row.dithered ? "yes" : "no", row.cut.mse, row.ours.mse);
        for (const Reference& reference : row.references) {
            std::printf(" %11.3f", reference.result.mse);
        }
        std::printf(" %8.0f %8.0f", row.cut.time.ms, row.ours.time.ms);
        for (const Reference& reference : row.references) {
            std::printf(" %11.0f %5.1fx", reference.result.time.ms,
                        reference.result.time.ms / row.ours.time.ms);
        }
        std::printf("\n%-28s %-9s %9s %9s", "", "", "", "");
        for (size_t k = 0; k < row.references.size(); ++k) {
            std::printf(" %11s", "");
        }
        std::printf(" %8s %8s", InBrackets(row.cut.time.cpuMs).c_str(),
                    InBrackets(row.ours.time.cpuMs).c_str());
        for (const Reference& reference : row.references) {
            std::printf(" %11s %5.1fx", InBrackets(reference.result.time.cpuMs).c_str(),
                        reference.result.time.cpuMs / row.ours.time.cpuMs);
        }
        std::printf("\n");
    }
    if (!cli.empty()) {
        std::printf(
            "\nwhole runs, PNG to PNG (pixmill-cli writes at PNG level 6): pngquant's time ÷ "
            "pixmill-cli's, wall (CPU)\n");
        for (const Row& row : table) {
            const Timing* ours = nullptr;
            const Timing* theirs = nullptr;
            for (const Reference& reference : row.references) {
                if (reference.name == "pixmill-cli") {
                    ours = &reference.result.time;
                } else if (reference.name == "pngquant") {
                    theirs = &reference.result.time;
                }
            }
            if (ours != nullptr && theirs != nullptr) {
                const size_t slash = row.picture.find_last_of('/');
                std::printf("%-28.28s %-9s %8.0f ms %8s  vs %8.0f ms %8s  %5.1fx (%.1fx)\n",
                            row.picture.substr(slash == std::string::npos ? 0 : slash + 1).c_str(),
                            row.dithered ? "yes" : "no", ours->ms, InBrackets(ours->cpuMs).c_str(),
                            theirs->ms, InBrackets(theirs->cpuMs).c_str(), theirs->ms / ours->ms,
                            theirs->cpuMs / ours->cpuMs);
            }
        }
        std::remove(emptySettings.c_str());
    }
    return 0;
}
