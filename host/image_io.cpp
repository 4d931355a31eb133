#include "host/image_io.h"

#include "host/image_metadata.h"
#include "host/plugin_manager.h"
#include "host/progress.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/scope_guards.h"
#include "pixmill/stream.h"

#include <utility>

namespace pixmill {

CFormatPlugin* FormatForReading(PluginManager& plugins, CVStream& stream) {
    return plugins.DetectFormat(&stream);
}

CFormatPlugin* FormatForWriting(PluginManager& plugins, const std::string& path) {
    return plugins.FindFormatByExtension(path);
}

// ------------------------------------------------------------------ codecs

OwnedCodec::OwnedCodec(CFormatPlugin* format) : codec(format->CreateCodec()) {}

OwnedCodec::~OwnedCodec() {
    if (codec != nullptr) {
        codec->FreeWorkBuffer();
        codec->Release();
    }
}

OwnedCodec::OwnedCodec(OwnedCodec&& other) noexcept : codec(std::exchange(other.codec, nullptr)) {}

OwnedCodec& OwnedCodec::operator=(OwnedCodec&& other) noexcept {
    if (this != &other) {
        OwnedCodec gone(std::move(*this));
        codec = std::exchange(other.codec, nullptr);
    }
    return *this;
}

namespace {

CFormatPlugin* Required(CFormatPlugin* format) {
    if (format == nullptr) {
        throw CVImageError(CVImageError::UnsupportedFormat);
    }
    return format;
}

OwnedCodec CodecOf(CFormatPlugin* format) {
    OwnedCodec codec(format);
    if (!codec) {
        throw CVImageError(CVImageError::OutOfMemory);
    }
    return codec;
}

} // namespace

// ----------------------------------------------------------------- reading

ImageReader::ImageReader(CFormatPlugin* format)
    : format(Required(format)), codec(CodecOf(format)) {}

SIZE ImageReader::ReadHeader(CVStream& stream, CVImage& target, const SIZE* maxSize,
                             ImageMetadata* metadata) {
    image = &target;
    const MetadataBinding binding(target, metadata, MetadataBinding::ReadAnew);
    return codec.get()->ReadHeader(&target, &stream, maxSize);
}

void ImageReader::ReadPixels(ProgressDisplay* display, const std::string& title,
                             ImageMetadata* metadata) {
    bool read = false;
    {
        const MetadataBinding binding(*image, metadata, MetadataBinding::ReadOn);
        HostProgress progress(display, title);
        read = codec.get()->ReadPixels(&progress);
    }
    if (!read) {
        throw CVImageError(CVImageError::ReadError);
    }
}

SIZE ReadImageWith(CFormatPlugin* format, CVStream& stream, CVImage& image, const SIZE* maxSize,
                   ProgressDisplay* display, const std::string& title, ImageMetadata* metadata) {
    ImageReader reader(format);
    const SIZE stored = reader.ReadHeader(stream, image, maxSize, metadata);
    reader.ReadPixels(display, title, metadata);
    return stored;
}

SIZE ReadImageByContent(PluginManager& plugins, CVStream& stream, CVImage& image,
                        const SIZE* maxSize, ProgressDisplay* display, const std::string& title,
                        CFormatPlugin** format, ImageMetadata* metadata) {
    CFormatPlugin* found = Required(FormatForReading(plugins, stream));
    if (format != nullptr) {
        *format = found;
    }
    return ReadImageWith(found, stream, image, maxSize, display, title, metadata);
}

SIZE ReadHeaderByContent(PluginManager& plugins, CVStream& stream, CVImage& image,
                         const SIZE* maxSize, CFormatPlugin** format, ImageMetadata* metadata) {
    CFormatPlugin* found = Required(FormatForReading(plugins, stream));
    if (format != nullptr) {
        *format = found;
    }
    ImageReader reader(found);
    return reader.ReadHeader(stream, image, maxSize, metadata);
}

// ----------------------------------------------------------------- writing

int WriteImage(CFormatPlugin* format, const CVImage& image, CVStream& stream, const int* parameter,
               ProgressDisplay* display, const std::string& title, CFormatCodec* given,
               const ImageMetadata* metadata, CVImage* preview) {
    OwnedCodec owned;
    if (given == nullptr) {
        owned = CodecOf(Required(format));
    }
    CFormatCodec* codec = given != nullptr ? given : owned.get();
    // A lent codec is kept, its work buffer is not (an owned one frees its
    // own when it goes).
    const OnExit freeLent([given] {
        if (given != nullptr) {
            given->FreeWorkBuffer();
        }
    });
    const MetadataBinding binding(image, metadata);
    codec->FreeWorkBuffer();
    codec->BeginWrite(&image, parameter);
    HostProgress progress(display, title);
    if (!codec->Write(&stream, &progress, preview)) {
        return -1;
    }
    return codec->GetWrittenSize();
}

} // namespace pixmill
