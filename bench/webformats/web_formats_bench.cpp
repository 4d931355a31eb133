// web_formats_bench picture.png [sharp_png.js]
//
// Reads a 24-bit PNG and writes it as PNG, WebP and AVIF with the web-format
// codecs, and times the libraries' own command-line tools (and ImageMagick
// and, given its script, the sharp module for PNG) doing the same conversion
// with the same settings in the same run: sizes and times side by side, each
// tool reading the same PNG. The sharp row includes starting node.
// bench/webformats/run.sh makes a 12-megapixel picture from a photograph.
#include "avif_codec.h"
#include "host/host_services.h"
#include "host/settings_store.h"
#include "host/streams.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "png_codec.h"
#include "webp_codec.h"

#include <sys/stat.h>

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

double BestSeconds(const std::function<bool()>& work) {
    double best = 1e30;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = Clock::now();
        if (!work()) {
            return -1;
        }
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

long SizeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

// Reads the PNG, then writes it with codec: what the tools do in one go.
bool Convert(CPluginHost* host, const std::string& from, CFormatCodec* writer,
             const std::string& to) {
    CVImage image(host);
    {
        const larch::PngSettings settings{6, 0, {}};
        FileStream input(from, FileStream::ForReading);
        std::unique_ptr<larch::PngCodec> reader(new larch::PngCodec(nullptr, host, &settings));
        reader->ReadHeader(&image, &input, nullptr);
        reader->ReadPixels(nullptr);
    }
    FileStream output(to, FileStream::ForWriting);
    writer->BeginWrite(&image, nullptr);
    const bool ok = writer->Write(&output, nullptr, nullptr);
    writer->Release();
    return ok;
}

void Row(const char* name, double ours, long oursSize, double theirs, long theirsSize) {
    if (theirs < 0) {
        std::printf("%-28s %8.2f s %10ld B   (tool failed or missing)\n", name, ours, oursSize);
        return;
    }
    std::printf("%-28s %8.2f s %10ld B %8.2f s %10ld B   time %.2fx  size %+.2f%%\n", name, ours,
                oursSize, theirs, theirsSize, ours / theirs,
                100.0 * (static_cast<double>(oursSize) - theirsSize) / theirsSize);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: web_formats_bench picture.png [sharp_png.js]\n");
        return 2;
    }
    MemorySettingsStore store;
    HostServices host(store);
    const std::string from = argv[1];
    const char* tmp = std::getenv("TMPDIR");
    const std::string base =
        std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/webbench" + std::to_string(getpid());
    const std::string ours = base + "-ours";
    const std::string theirs = base + "-theirs";
    auto run = [](const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
    };
    try {
        std::printf("best of %d runs, each reading %s\n", kRepeats, from.c_str());
        std::printf("%-28s %10s %12s %10s %12s\n", "", "Pixmill", "", "tool", "");

        const larch::PngSettings png{6, 0, {}};
        const double pngOurs = BestSeconds([&] {
            return Convert(&host, from, new larch::PngCodec(nullptr, &host, &png), ours + ".png");
        });
        const double pngTheirs = BestSeconds([&] {
            return run("convert '" + from + "' -define png:compression-level=6 '" + theirs +
                       ".png'");
        });
        Row("PNG level 6 / convert", pngOurs, SizeOf(ours + ".png"), pngTheirs,
            SizeOf(theirs + ".png"));
        if (argc > 2) {
            const double pngSharp = BestSeconds([&] {
                return run(std::string("node '") + argv[2] + "' '" + from + "' '" + theirs +
                           ".png'");
            });
            Row("PNG level 6 / sharp", pngOurs, SizeOf(ours + ".png"), pngSharp,
                SizeOf(theirs + ".png"));
        }

        const rowan::WebpSettings webp{75, 4, 0, {}};
        const double webpOurs = BestSeconds([&] {
            return Convert(&host, from, new rowan::WebpCodec(nullptr, &host, &webp),
                           ours + ".webp");
        });
        const double webpTheirs = BestSeconds(
            [&] { return run("cwebp -q 75 -m 4 '" + from + "' -o '" + theirs + ".webp'"); });
        Row("WebP q75 m4 / cwebp", webpOurs, SizeOf(ours + ".webp"), webpTheirs,
            SizeOf(theirs + ".webp"));

        const aspen::AvifSettings avif{60, 6};
        const int q = aspen::QuantizerOf(avif.quality);
        const double avifOurs = BestSeconds([&] {
            return Convert(&host, from, new aspen::AvifCodec(nullptr, &host, &avif),
                           ours + ".avif");
        });
        const double avifTheirs = BestSeconds([&] {
            return run("avifenc -j 1 -s 6 -y 420 --min " + std::to_string(q) + " --max " +
                       std::to_string(q) + " '" + from + "' '" + theirs + ".avif'");
        });
        Row("AVIF q60 s6 / avifenc", avifOurs, SizeOf(ours + ".avif"), avifTheirs,
            SizeOf(theirs + ".avif"));
    } catch (const CQorelError& e) {
        std::fprintf(stderr, "web_formats_bench: %s\n", e.Message());
        return 1;
    }
    for (const char* ext : {".png", ".webp", ".avif"}) {
        std::remove((ours + ext).c_str());
        std::remove((theirs + ext).c_str());
    }
    return 0;
}
