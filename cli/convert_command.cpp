#include "cli/convert_command.h"

#include "cli/options.h"
#include "host/atomic_file.h"
#include "host/host_services.h"
#include "host/image_pipeline.h"
#include "host/path_fields.h"
#include "host/plugin_manager.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sys/stat.h>

namespace pixmill::cli {

namespace {

// The format whose extension list ("*.jpg;*.jpeg") holds the name's
// extension exactly (in any case); null when none does, with every known
// extension in known. Format libraries still unopened open in turn until
// one is found.
CFormatPlugin* FormatForOutput(PluginManager& plugins, const std::string& path,
                               std::string& known) {
    std::string extension = ExtensionOf(path);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    CFormatPlugin* found = nullptr;
    for (int i = 0; found == nullptr && (i < plugins.FormatCount() || plugins.LoadNextFormat());
         ++i) {
        CFormatPlugin* format = plugins.FormatAt(i);
        if (!(format->GetCapabilities() & CapCanSave)) {
            continue;
        }
        const std::string list = format->GetExtensions();
        size_t start = 0;
        while (start <= list.size()) {
            const size_t end = std::min(list.find(';', start), list.size());
            std::string entry = list.substr(start, end - start);
            if (entry.rfind("*", 0) == 0) {
                entry.erase(0, 1);
            }
            for (char& c : entry) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            if (!entry.empty()) {
                known += (known.empty() ? "" : " ") + entry;
                if (found == nullptr && entry == extension) {
                    found = format;
                }
            }
            start = end + 1;
        }
    }
    return found;
}

} // namespace

int CommandConvert(HostServices& host, PluginManager& plugins, ProgressDisplay* progress,
                   const Options& options) {
    if (options.arguments.size() != 2) {
        PrintUsageError("convert needs IN and OUT");
        return ExitUsage;
    }
    const std::string& in = options.arguments[0];
    const std::string& out = options.arguments[1];
    if (!options.force && SameFile(in, out)) {
        std::fprintf(stderr,
                     "pixmill-cli: %s: refusing to overwrite the input file (use --force)\n",
                     out.c_str());
        return ExitUsage;
    }
    std::vector<ImagePipeline::Step> steps;
    for (const std::string& name : options.operations) {
        const int id = ImagePipeline::FindOperation(plugins, name);
        if (id == 0) {
            PrintUsageError("unknown operation '" + name + "' (see 'pixmill-cli ops')");
            return ExitUsage;
        }
        steps.push_back({id, name});
    }
    std::string known;
    if (FormatForOutput(plugins, out, known) == nullptr) {
        std::fprintf(stderr, "pixmill-cli: %s: %s (the extensions that can be written: %s)\n",
                     out.c_str(), CVImageError::MessageOf(CVImageError::UnsupportedFormat),
                     known.c_str());
        return ExitFailure;
    }
    // A file nobody may write to is not replaced without being told to.
    if (!options.force && IsReadOnlyFile(out)) {
        std::fprintf(stderr, "pixmill-cli: %s: the file is read-only (use --force to replace it)\n",
                     out.c_str());
        return ExitFailure;
    }

    // Partly transparent pictures keep their alpha plane through to formats
    // that store it (the pipeline flattens it for the others).
    host.SetKeepAlpha(true);
    ImagePipeline pipeline(host, plugins, progress);
    if (options.hasQualityOffset) {
        pipeline.SetWriteParameter(options.qualityOffset);
    }
    pipeline.SetStripMetadata(options.strip);
    pipeline.SetReducedDecode(!options.exactDecode);
    pipeline.SetConvertToSrgb(options.toSrgb);
    pipeline.SetMetadataPrivacy(PrivacyOf(options));
    if (!pipeline.Run(in, steps, out)) {
        std::fprintf(stderr, "pixmill-cli: %s\n", pipeline.Error().c_str());
        if (!host.TakeDamageReports().empty()) {
            std::fprintf(stderr, "pixmill-cli: %s: --allow-damaged keeps such a picture\n",
                         in.c_str());
        }
        return ExitFailure;
    }
    if (!options.quiet) {
        const CVImage& image = pipeline.Document().Image();
        struct stat st {};
        stat(out.c_str(), &st);
        std::printf("%s: %d x %d, %d bit, %lld bytes\n", out.c_str(), image.Width(), image.Height(),
                    image.BitCount(), static_cast<long long>(st.st_size));
    }
    return ExitOk;
}

} // namespace pixmill::cli
