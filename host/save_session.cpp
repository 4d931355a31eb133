#include "host/save_session.h"

#include "host/host_services.h"
#include "host/image_metadata.h"
#include "host/progress.h"
#include "host/size_text.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/pane.h"

#include <cstdio>

namespace pixmill {

CSaveSession::CSaveSession(CHostServices& host, CFormatPlugin* format, const CVImage& image,
                           ProgressDisplay* display, std::string caption)
    : host(host), format(format), image(image), display(display), caption(std::move(caption)),
      stream(&host, image.ImageBytes() / 3 + 1024, image.ImageBytes() / 6 + 256), preview(&host) {}

CSaveSession::~CSaveSession() {
    if (codec != nullptr) {
        codec->FreeWorkBuffer();
        codec->Release();
    }
}

bool CSaveSession::HasOptionsPane() const {
    return (format->GetCapabilities() & CapOptionsPane) != 0;
}

bool CSaveSession::HasPreview() const {
    return (format->GetCapabilities() & CapSavePreview) != 0;
}

bool CSaveSession::Refresh() {
    if (pane != nullptr) {
        pane->Commit();
    }
    stream.Seek(0, CVStream::FromStart);
    stream.Truncate();
    if (codec == nullptr) {
        codec = format->CreateCodec();
        if (codec == nullptr) {
            throw CVImageError(CVImageError::OutOfMemory);
        }
    }
    codec->FreeWorkBuffer();
    const MetadataBinding binding(image, metadata);
    codec->BeginWrite(&image, parameter ? &*parameter : nullptr);
    CHostProgress progress(display, caption);
    const bool written = codec->Write(&stream, &progress, HasPreview() ? &preview : nullptr);
    codec->FreeWorkBuffer();
    return written;
}

double CSaveSession::Ratio() const {
    return FileSize() == 0 ? 0.0 : static_cast<double>(MemorySize()) / FileSize();
}

namespace {
std::string Cut6(std::string text) {
    if (text.size() > 6) {
        text.resize(6);
    }
    return text;
}
} // namespace

std::string CSaveSession::MemorySizeText() const {
    return Cut6(SizeText(MemorySize()));
}

std::string CSaveSession::FileSizeText() const {
    return Cut6(SizeText(FileSize()));
}

std::string CSaveSession::RatioText() const {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", Ratio());
    return text;
}

} // namespace pixmill
