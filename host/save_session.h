// SaveSession: the interactive save with a format's options pane. The
// image is written into a memory stream (initial size image bytes / 3 + 1024,
// growing by image bytes / 6 + 256) at every refresh, so that the dialog can
// show the memory size, the file size, the ratio and, for formats that offer
// it, a preview decoded from what was written. Confirming copies the stream
// into the file; cancelling writes nothing.
#pragma once

#include "host/image_io.h"
#include "host/streams.h"
#include "pixmill/cv_image.h"

#include <memory>
#include <optional>
#include <string>

namespace pixmill {

class HostServices;
class CFormatPlugin;
class CPluginPane;
class ProgressDisplay;
struct ImageMetadata;

class SaveSession {
  public:
    SaveSession(HostServices& host, CFormatPlugin* format, const CVImage& image,
                ProgressDisplay* display, std::string caption);
    ~SaveSession();
    SaveSession(const SaveSession&) = delete;
    SaveSession& operator=(const SaveSession&) = delete;

    CFormatPlugin* Format() const { return format; }
    const CVImage& Image() const { return image; }
    bool HasOptionsPane() const;
    bool HasPreview() const;
    // The pane the dialog made with the format's CreateOptionsPane; its
    // controls are committed at every refresh.
    void SetPane(CPluginPane* pane) { this->pane = pane; }
    void SetWriteParameter(std::optional<int> value) { parameter = value; }
    // Written beside the picture (null: none).
    void SetMetadata(const ImageMetadata* value) { metadata = value; }

    // Commits the pane, empties the stream and writes the image again.
    bool Refresh();
    size_t MemorySize() const { return image.ImageBytes(); }
    size_t FileSize() const { return stream.Length(); }
    double Ratio() const;
    // The dialog's texts: sizes cut to 6 characters, the ratio as "%.2f".
    std::string MemorySizeText() const;
    std::string FileSizeText() const;
    std::string RatioText() const;
    const CVImage* Preview() const { return HasPreview() ? &preview : nullptr; }
    // Writes the stream's bytes to target.
    void CopyTo(CVStream& target) const { stream.CopyTo(target); }

  private:
    HostServices& host;
    CFormatPlugin* format;
    const CVImage& image;
    ProgressDisplay* display;
    std::string caption;
    MemoryStream stream;
    CVImage preview;
    OwnedCodec codec;
    CPluginPane* pane = nullptr;
    std::optional<int> parameter;
    const ImageMetadata* metadata = nullptr;
};

} // namespace pixmill
