// birchfmt_bench [picture.tif]
//
// Reads and writes a 24-bit TIFF (uncompressed and LZW) with the TIFF
// library's codec and times tiffcp doing the same conversions on the same
// files, so that the ratio shows in one run. Without an argument the
// program synthesises a 4000 x 3000 picture; bench/birchfmt/run.sh makes one
// from a photograph instead.
#include "host/host_services.h"
#include "host/settings_store.h"
#include "host/streams.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "tiff_codec.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

using namespace pixmill;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRepeats = 3;

double BestSeconds(const std::function<void()>& work) {
    double best = 1e30;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

void ReadFile(CPluginHost* host, const std::string& path, CVImage& image) {
    FileStream stream(path, FileStream::ForReading);
    std::unique_ptr<birch::TiffCodec> codec(new birch::TiffCodec(nullptr, host, nullptr));
    codec->ReadHeader(&image, &stream, nullptr);
    codec->ReadPixels(nullptr);
}

void WriteFile(CPluginHost* host, const CVImage& image, int32_t choice, const std::string& path) {
    const birch::TiffSettings settings{choice};
    FileStream stream(path, FileStream::ForWriting);
    std::unique_ptr<birch::TiffCodec> codec(new birch::TiffCodec(nullptr, host, &settings));
    codec->BeginWrite(&image, nullptr);
    codec->Write(&stream, nullptr, nullptr);
}

bool RunTiffcp(const char* compression, const std::string& from, const std::string& to) {
    // One row per strip, as our writer uses for rows wider than 8192 bytes.
    const std::string command =
        "tiffcp -c " + std::string(compression) + " -r 1 '" + from + "' '" + to + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

void Synthesise(CVImage& image) {
    // Smooth gradients with some texture: compressible, but not trivially.
    image.Create(4000, 3000, 24, 0, nullptr);
    uint32_t noise = 12345;
    for (int y = 0; y < 3000; ++y) {
        uint8_t* row = image.Row(y);
        for (int x = 0; x < 4000; ++x) {
            noise = noise * 1103515245u + 12345u;
            const int n = static_cast<int>((noise >> 16) & 7);
            row[3 * x] = static_cast<uint8_t>((x / 16 + n) & 0xFF);
            row[3 * x + 1] = static_cast<uint8_t>((y / 12 + n) & 0xFF);
            row[3 * x + 2] = static_cast<uint8_t>(((x + y) / 28) & 0xFF);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    MemorySettingsStore settings;
    HostServices host(settings);
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/birchbench" +
                            std::to_string(getpid());
    const std::string source = dir + "-source.tif";
    const std::string lzw = dir + "-lzw.tif";
    const std::string ours = dir + "-ours.tif";
    const std::string theirs = dir + "-tiffcp.tif";

    try {
        CVImage image(&host);
        if (argc > 1) {
            ReadFile(&host, argv[1], image);
        } else {
            Synthesise(image);
        }
        if (image.BitCount() != 24) {
            std::fprintf(stderr, "birchfmt_bench: the picture must be 24-bit\n");
            return 2;
        }
        WriteFile(&host, image, birch::ChoiceNone, source);
        WriteFile(&host, image, birch::ChoiceLzw, lzw);
        const double megabytes = image.Width() * 3.0 * image.Height() / 1e6;
        std::printf("picture %d x %d, 24-bit: %.1f MB of pixels; best of %d runs; MB/s of "
                    "pixels\n\n",
                    image.Width(), image.Height(), megabytes, kRepeats);

        auto rate = [&](double seconds) { return megabytes / seconds; };
        const double readNone = BestSeconds([&] {
            CVImage back(&host);
            ReadFile(&host, source, back);
        });
        const double readLzw = BestSeconds([&] {
            CVImage back(&host);
            ReadFile(&host, lzw, back);
        });
        const double writeNone =
            BestSeconds([&] { WriteFile(&host, image, birch::ChoiceNone, ours); });
        const double writeLzw =
            BestSeconds([&] { WriteFile(&host, image, birch::ChoiceLzw, ours); });
        std::printf("%-34s %10s\n", "birchfmt alone", "MB/s");
        std::printf("%-34s %10.1f\n", "read uncompressed", rate(readNone));
        std::printf("%-34s %10.1f\n", "read LZW", rate(readLzw));
        std::printf("%-34s %10.1f\n", "write uncompressed", rate(writeNone));
        std::printf("%-34s %10.1f\n\n", "write LZW", rate(writeLzw));

        struct Job {
            const char* name;
            const std::string* from;
            int32_t choice;
            const char* tiffcpCompression;
        };
        const Job jobs[] = {
            {"uncompressed -> uncompressed", &source, birch::ChoiceNone, "none"},
            {"uncompressed -> LZW", &source, birch::ChoiceLzw, "lzw"},
            {"LZW -> uncompressed", &lzw, birch::ChoiceNone, "none"},
        };
        std::printf("%-34s %10s %10s %8s\n", "read + write", "birchfmt", "tiffcp", "ratio");
        for (const Job& job : jobs) {
            const double mine = BestSeconds([&] {
                CVImage back(&host);
                ReadFile(&host, *job.from, back);
                WriteFile(&host, back, job.choice, ours);
            });
            bool ok = true;
            const double tiffcp = BestSeconds(
                [&] { ok = ok && RunTiffcp(job.tiffcpCompression, *job.from, theirs); });
            if (ok) {
                std::printf("%-34s %10.1f %10.1f %8.2f\n", job.name, rate(mine), rate(tiffcp),
                            tiffcp / mine);
            } else {
                std::printf("%-34s %10.1f %10s %8s\n", job.name, rate(mine), "failed", "-");
            }
        }
        std::printf("\nratio: tiffcp time / birchfmt time (above 1: birchfmt is faster)\n");
    } catch (CQorelError& error) {
        std::fprintf(stderr, "birchfmt_bench: %s\n", error.Report(false));
        std::remove(source.c_str());
        std::remove(lzw.c_str());
        std::remove(ours.c_str());
        std::remove(theirs.c_str());
        return 1;
    }
    std::remove(source.c_str());
    std::remove(lzw.c_str());
    std::remove(ours.c_str());
    std::remove(theirs.c_str());
    return 0;
}
