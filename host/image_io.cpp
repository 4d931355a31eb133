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
#include <unordered_map>
#include <utility>
#include <vector>

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

namespace {

// A 24-bit picture of at most 256 colours as the 8-bit palette picture of
// those colours (in the order they first appear, the transparent colour
// kept); a picture of more colours is left as it is.
void ToPaletteOfItsColours(CVImage& image) {
    std::unordered_map<uint32_t, uint8_t> indexOf;
    std::vector<uint32_t> colours;
    const int width = image.Width(), height = image.Height();
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = image.Row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            const uint32_t colour = uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
            if (indexOf.count(colour) == 0) {
                if (colours.size() == 256) {
                    return;
                }
                indexOf.emplace(colour, static_cast<uint8_t>(colours.size()));
                colours.push_back(colour);
            }
        }
    }
    CVImage paletted(image.host);
    const TransparencyInfo transparency = image.Transparency();
    paletted.Create(width, height, 8, static_cast<int>(colours.size()), &transparency,
                    image.header.biXPelsPerMeter, image.header.biYPelsPerMeter);
    for (size_t i = 0; i < colours.size(); ++i) {
        paletted.palette[i] = RGBQUAD{static_cast<uint8_t>(colours[i]),
                                      static_cast<uint8_t>(colours[i] >> 8),
                                      static_cast<uint8_t>(colours[i] >> 16), 0};
    }
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = image.Row(y);
        uint8_t* to = paletted.Row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            to[x] = indexOf[uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]];
        }
    }
    CVImage::CopyImage(&image, &paletted, nullptr);
}

} // namespace

bool FlattenForFormat(CVImage& image, CFormatPlugin* format) {
    if (!image.HasAlphaPlane() || format == nullptr) {
        return false;
    }
    const uint16_t modes = format->GetSaveModes();
    if ((modes & KindRgba32) != 0) {
        return false;
    }
    FlattenAlphaPlane(image);
    // A format of palettes only (GIF) takes a flattened picture of few
    // colours (a palette of partly transparent entries read with its alpha
    // plane) as those colours, rather than reduced to 256 or refused.
    if (image.BitCount() == 24 && (modes & KindRgb24) == 0) {
        ToPaletteOfItsColours(image);
    }
    return true;
}

} // namespace pixmill
