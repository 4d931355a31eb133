#include "host/image_pipeline.h"

#include "host/host_services.h"
#include "host/image_io.h"
#include "host/image_metadata.h"
#include "host/plugin_manager.h"
#include "host/progress.h"
#include "host/reduced_decode.h"
#include "host/streams.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/processing_plugin.h"

#include <memory>

namespace pixmill {

ImagePipeline::ImagePipeline(HostServices& host, PluginManager& plugins, ProgressDisplay* display)
    : host(host), plugins(plugins), document(host, plugins) {
    document.SetProgressDisplay(display);
    document.SetKeepHistory(false);
}

std::string ImagePipeline::StripAmpersands(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                result += '&';
                ++i;
            }
            continue;
        }
        result += text[i];
    }
    return result;
}

int ImagePipeline::FindOperation(PluginManager& plugins, const std::string& wanted) {
    for (int i = 0; i < plugins.ProcessorCount(); ++i) {
        CProcessingPlugin* plugin = plugins.ProcessorAt(i);
        for (int j = 0; j < plugins.OperationCountOf(i); ++j) {
            plugin->SetOperation(static_cast<uint16_t>(j));
            const std::string name = StripAmpersands(plugin->GetName(true));
            const char* group = plugin->GetGroupName(true);
            const std::string full = group != nullptr ? StripAmpersands(group) + " " + name : name;
            if (wanted == full || (group == nullptr && wanted == name)) {
                return plugins.FirstCommandOf(i) + j;
            }
        }
    }
    return 0;
}

bool ImagePipeline::Open(const std::string& path, const Step* firstStep) {
    input = path;
    std::unique_ptr<FileStream> stream;
    try {
        stream = std::make_unique<FileStream>(path, FileStream::ForReading);
    } catch (CQorelError& failure) {
        error = failure.Report(false); // names the file itself
        return false;
    }
    document.SetPathForStream(path);
    SIZE reduced{0, 0};
    if (reducedDecode && firstStep != nullptr) {
        CProcessingPlugin* first = plugins.SelectOperation(firstStep->commandId);
        if (first != nullptr) {
            reduced = ReducedDecodeSize(&host, FormatForReading(plugins, *stream), *stream, first);
        }
    }
    if (!document.ReadFromStream(stream.get(), reduced.cx > 0 ? &reduced : nullptr)) {
        error = path + ": " + document.LastError();
        return false;
    }
    return true;
}

namespace {

// "a" or "an" before a kind's text.
std::string WithArticle(const std::string& kind) {
    return (kind[0] == '8' ? "an " : "a ") + kind;
}

// The kind of image as users know it.
std::string KindText(const CVImage& image) {
    switch (image.BitCount()) {
    case 1:
        return "1-bit (black and white)";
    case 4:
        return "4-bit paletted";
    case 8:
        return image.IsGray() ? "8-bit grey" : "8-bit paletted";
    case kAlphaBitCount:
        return "32-bit colour with alpha";
    default:
        return std::to_string(image.BitCount()) + "-bit colour";
    }
}

} // namespace

std::string ImagePipeline::KindsAccepted(int commandId) {
    // Probed with one-pixel images of every kind; "8-bit grey or 24-bit colour".
    struct Probe {
        int bits;
        bool grey;
    };
    std::string accepted;
    for (const Probe kind :
         {Probe{1, true}, Probe{4, false}, Probe{8, true}, Probe{8, false}, Probe{24, false}}) {
        CVImage probe(&host);
        probe.Create(1, 1, kind.bits, 0, nullptr);
        RGBQUAD colours[256];
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<uint8_t>(i);
            colours[i] = RGBQUAD{v, kind.grey ? v : static_cast<uint8_t>(255 - v), v, 0};
        }
        probe.SetPalette(colours);
        if (plugins.CanApplyCommand(&probe, commandId)) {
            accepted += (accepted.empty() ? "" : " or ") + KindText(probe);
        }
    }
    return accepted;
}

bool ImagePipeline::Apply(const Step& step) {
    // CanApplyCommand asks an operation that does not take an alpha plane
    // about the flattened picture it will get (ImageDoc::ApplyCommand).
    if (!plugins.CanApplyCommand(&document.Image(), step.commandId)) {
        const std::string accepted = KindsAccepted(step.commandId);
        error =
            input + ": '" + step.name + "' cannot be applied to " +
            WithArticle(KindText(document.Image())) + " image" +
            (accepted.empty() ? std::string() : "; it needs " + WithArticle(accepted) + " image");
        return false;
    }
    if (!document.ApplyCommand(step.commandId)) {
        const std::string why =
            document.LastError().empty() ? "the operation failed" : document.LastError();
        error = input + ": " + step.name + ": " + why;
        return false;
    }
    return true;
}

bool ImagePipeline::Save(const std::string& path) {
    if (!document.OnSaveDocument(path)) {
        error = path + ": " + document.LastError();
        return false;
    }
    return true;
}

bool ImagePipeline::Run(const std::string& in, const std::vector<Step>& steps,
                        const std::string& out) {
    if (!Open(in, steps.empty() ? nullptr : &steps.front())) {
        return false;
    }
    for (const Step& step : steps) {
        if (!Apply(step)) {
            return false;
        }
    }
    return Save(out);
}

} // namespace pixmill
