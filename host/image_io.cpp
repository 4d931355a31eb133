#include "host/image_io.h"

#include "host/host_services.h"
#include "host/image_metadata.h"
#include "host/orientation.h"
#include "host/plugin_manager.h"
#include "host/progress.h"
#include "pixmill/alpha_rule.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/processing_plugin.h"
#include "pixmill/scope_guards.h"
#include "pixmill/stream.h"

#include <cstdio>
#include <cstring>
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
        throw CVImageError(CVImageError::UnsupportedFormat,
                           "the file's content is not a picture in a format Pixmill reads");
    }
    return format;
}

// Whether the error says only its code's words, no reason.
bool WithoutReason(const CVImageError& error) {
    return std::strcmp(error.Message(), CVImageError::MessageOf(error.Code())) == 0;
}

// The orientation a read turns the picture from: the EXIF's, unless the
// host keeps stored pixels.
int OrientationToApply(const CVImage& image, const ImageMetadata& metadata) {
    const auto* host = dynamic_cast<const HostServices*>(image.host);
    if (host != nullptr && !host->AutoOrient()) {
        return 1;
    }
    const int orientation = ExifOrientation(metadata.exif);
    return orientation >= 2 && orientation <= 8 ? orientation : 1;
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

SIZE ImageReader::ReadHeader(CVStream& from, CVImage& target, const SIZE* maxSize,
                             ImageMetadata* metadata) {
    image = &target;
    stream = &from;
    bound = metadata != nullptr ? metadata : &own;
    SIZE stored{};
    {
        const MetadataBinding binding(target, bound, MetadataBinding::ReadAnew);
        try {
            stored = codec.get()->ReadHeader(&target, &from, maxSize);
        } catch (const CVImageError& error) {
            RethrowWithReason(error);
        }
    }
    orientation = OrientationToApply(target, *bound);
    if (OrientationSwapsSides(orientation)) {
        std::swap(stored.cx, stored.cy);
    }
    return stored;
}

void ImageReader::ReadPixels(ProgressDisplay* display, const std::string& title,
                             ImageMetadata* metadata) {
    bool read = false;
    if (metadata != nullptr && metadata != bound) {
        *metadata = *bound;
        bound = metadata;
    }
    try {
        const MetadataBinding binding(*image, bound, MetadataBinding::ReadOn);
        HostProgress progress(display, title);
        read = codec.get()->ReadPixels(&progress);
    } catch (const CVImageError& error) {
        RethrowWithReason(error);
    }
    if (!read) {
        RethrowWithReason(CVImageError(CVImageError::ReadError));
    }
    // A reader keeps a partly transparent picture's alpha plane; a host that
    // does not take it has it flattened here, once for every format.
    if (image->HasAlphaPlane()) {
        const auto* host = dynamic_cast<const HostServices*>(image->host);
        if (host == nullptr || !host->KeepAlpha()) {
            FlattenAlphaPlane(*image);
        }
    }
    // Formats whose EXIF follows the pixels tell the orientation only now.
    orientation = OrientationToApply(*image, *bound);
    if (orientation != 1) {
        TurnUpright(*image, orientation);
        FollowPictureChange(*bound, image->Width(), image->Height(), true);
    }
}

void ImageReader::RethrowWithReason(const CVImageError& error) const {
    const int code = error.Code();
    if (!WithoutReason(error) || stream == nullptr ||
        (code != CVImageError::ReadError && code != CVImageError::MismatchedFormat)) {
        throw error;
    }
    const int64_t stopped = stream->Seek(0, SEEK_CUR);
    const int64_t size = stream->Seek(0, SEEK_END);
    const char* name = format->GetName(false);
    char reason[300];
    if (stopped >= 0 && size >= 0 && stopped >= size) {
        std::snprintf(reason, sizeof reason,
                      "the file ends before the %s picture does (%lld bytes: cut short, or "
                      "damaged)",
                      name, static_cast<long long>(size));
    } else if (stopped >= 0 && size > 0) {
        std::snprintf(reason, sizeof reason,
                      "the %s data is damaged (the reader stopped at byte %lld of %lld)", name,
                      static_cast<long long>(stopped), static_cast<long long>(size));
    } else {
        std::snprintf(reason, sizeof reason, "the %s data is damaged", name);
    }
    throw CVImageError(code, reason);
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

int OrientationToTurn(CFormatPlugin* format, CVStream& stream, CPluginHost& host) {
    int orientation = 1;
    try {
        CVImage image(&host);
        ImageReader reader(format);
        const SIZE tiny{1, 1};
        reader.ReadHeader(stream, image, &tiny, nullptr);
        orientation = reader.Orientation();
    } catch (const CQorelError&) {
        orientation = 1;
    }
    stream.Seek(0, CVStream::FromStart);
    return orientation;
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

// ------------------------------------------------------------ alpha plane

bool NeedsFlattening(const CVImage& image, CProcessingPlugin* operation) {
    return image.HasAlphaPlane() && operation != nullptr &&
           (operation->GetFlags() & OpTakesAlpha) == 0;
}

bool FlattenForOperation(CVImage& image, CProcessingPlugin* operation) {
    if (!NeedsFlattening(image, operation)) {
        return false;
    }
    FlattenAlphaPlane(image);
    return true;
}

bool FlattenForFormat(CVImage& image, CFormatPlugin* format) {
    if (!image.HasAlphaPlane() || format == nullptr ||
        (format->GetSaveModes() & KindRgba32) != 0) {
        return false;
    }
    FlattenAlphaPlane(image);
    return true;
}

} // namespace pixmill
