#include "host/image_pipeline.h"

#include "host/plugin_manager.h"
#include "host/progress.h"
#include "host/streams.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/processing_plugin.h"

#include <memory>

namespace pixmill {

namespace {
// A codec made for one read or write and released on every way out.
class CodecUse {
  public:
    CodecUse(CFormatPlugin* format, CFormatCodec* given) : codec(given) {
        if (codec == nullptr) {
            codec = format->CreateCodec();
            owned = true;
        }
        if (codec == nullptr) {
            throw CVImageError(CVImageError::OutOfMemory);
        }
    }
    ~CodecUse() {
        codec->FreeWorkBuffer();
        if (owned) {
            codec->Release();
        }
    }
    CodecUse(const CodecUse&) = delete;
    CodecUse& operator=(const CodecUse&) = delete;
    CFormatCodec* operator->() const { return codec; }

  private:
    CFormatCodec* codec;
    bool owned = false;
};
} // namespace

SIZE ReadImageWith(CFormatPlugin* format, CVStream& stream, CVImage& image, const SIZE* maxSize,
                   ProgressDisplay* display, const std::string& title) {
    CodecUse codec(format, nullptr);
    const SIZE stored = codec->ReadHeader(&image, &stream, maxSize);
    CHostProgress progress(display, title);
    if (!codec->ReadPixels(&progress)) {
        throw CVImageError(CVImageError::ReadError);
    }
    return stored;
}

SIZE ReadImageByContent(CPluginManager& plugins, CVStream& stream, CVImage& image,
                        const SIZE* maxSize, ProgressDisplay* display, const std::string& title,
                        CFormatPlugin** format) {
    CFormatPlugin* found = plugins.DetectFormat(&stream);
    if (found == nullptr) {
        throw CVImageError(CVImageError::UnsupportedFormat);
    }
    if (format != nullptr) {
        *format = found;
    }
    return ReadImageWith(found, stream, image, maxSize, display, title);
}

int WriteImage(CFormatPlugin* format, const CVImage& image, CVStream& stream, const int* parameter,
               ProgressDisplay* display, const std::string& title, CFormatCodec* given) {
    CodecUse codec(format, given);
    codec->FreeWorkBuffer();
    codec->BeginWrite(&image, parameter);
    CHostProgress progress(display, title);
    if (!codec->Write(&stream, &progress, nullptr)) {
        return -1;
    }
    return codec->GetWrittenSize();
}

ImagePipeline::ImagePipeline(CHostServices& host, CPluginManager& plugins, ProgressDisplay* display)
    : plugins(plugins), document(host, plugins) {
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

int ImagePipeline::FindOperation(CPluginManager& plugins, const std::string& wanted) {
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

bool ImagePipeline::Open(const std::string& path) {
    input = path;
    std::unique_ptr<CVFileStream> stream;
    try {
        stream = std::make_unique<CVFileStream>(path, CVFileStream::ForReading);
    } catch (CQorelError& failure) {
        error = failure.Report(false); // names the file itself
        return false;
    }
    document.SetPathForStream(path);
    if (!document.ReadFromStream(stream.get())) {
        error = path + ": " + document.LastError();
        return false;
    }
    return true;
}

bool ImagePipeline::Apply(const Step& step) {
    if (!plugins.CanApplyCommand(&document.Image(), step.commandId)) {
        error = input + ": '" + step.name + "' cannot be applied to a " +
                std::to_string(document.Image().BitCount()) + "-bit image";
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
    if (!Open(in)) {
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
