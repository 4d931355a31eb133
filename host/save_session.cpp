#include "host/save_session.h"

#include "host/host_services.h"
#include "host/image_metadata.h"
#include "host/size_text.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/pane.h"

#include <cstdio>

namespace pixmill {

SaveSession::SaveSession(HostServices& host, CFormatPlugin* format, const CVImage& image,
                         ProgressDisplay* display, std::string caption)
    : host(host), format(format), image(image), display(display), caption(std::move(caption)),
      stream(&host, image.ImageBytes() / 3 + 1024, image.ImageBytes() / 6 + 256), preview(&host) {}

SaveSession::~SaveSession() = default;

bool SaveSession::HasOptionsPane() const {
    return (format->GetCapabilities() & CapOptionsPane) != 0;
}

bool SaveSession::HasPreview() const {
    return (format->GetCapabilities() & CapSavePreview) != 0;
}

bool SaveSession::Refresh() {
    if (pane != nullptr) {
        pane->Commit();
    }
    stream.Seek(0, CVStream::FromStart);
    stream.Truncate();
    // One codec for every refresh of the session.
    if (!codec) {
        codec = OwnedCodec(format);
        if (!codec) {
            throw CVImageError(CVImageError::OutOfMemory);
        }
    }
    return WriteImage(format, image, stream, parameter ? &*parameter : nullptr, display, caption,
                      codec.get(), metadata, HasPreview() ? &preview : nullptr) >= 0;
}

double SaveSession::Ratio() const {
    return FileSize() == 0 ? 0.0 : static_cast<double>(MemorySize()) / FileSize();
}

std::string SaveSession::MemorySizeText() const {
    return SizeText(MemorySize());
}

std::string SaveSession::FileSizeText() const {
    return SizeText(FileSize());
}

std::string SaveSession::RatioText() const {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", Ratio());
    return text;
}

} // namespace pixmill
