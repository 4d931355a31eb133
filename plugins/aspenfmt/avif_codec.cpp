#include "avif_codec.h"

#include "pixel_rows.h"

#include "pixmill/alpha_rule.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/image_metadata.h"
#include "pixmill/plugin_host.h"
#include "pixmill/progress.h"
#include "pixmill/scope_guards.h"

#include <avif/avif.h>

#include <algorithm>
#include <cstring>

namespace pixmill::aspen {

namespace {

// AV1 packs far fewer pixels into a byte than this; a picture that its file
// could not describe is refused before memory is taken for it.
constexpr uint64_t kMaxPixelsPerByte = 16384;
constexpr uint64_t kSmallPictureAllowance = uint64_t{1} << 20;

// The picture of a decoder (or of an encoded file) as 8-bit red, green,
// blue, alpha rows; false when libavif cannot convert it.
// The profile and EXIF of the parsed file. EXIF may come with the item's
// four-byte offset of its TIFF header still in front.
void HandOverMetadata(const avifImage& parsed, CPluginHost* host, const CVImage* image) {
    if (parsed.icc.size > 0) {
        PutIccProfile(host, image, parsed.icc.data, parsed.icc.size);
    }
    const uint8_t* exif = parsed.exif.data;
    size_t size = parsed.exif.size;
    if (size >= 4 && exif[0] != 'I' && exif[0] != 'M' && exif[0] != 'E') {
        const uint64_t offset = (uint64_t{exif[0]} << 24) | (uint64_t{exif[1]} << 16) |
                                (uint64_t{exif[2]} << 8) | exif[3];
        if (offset <= size - 4) {
            exif += 4 + offset;
            size -= 4 + static_cast<size_t>(offset);
        }
    }
    if (size > 0) {
        PutExif(host, image, exif, size);
    }
}

bool ToRgba(const avifImage* picture, std::vector<uint8_t>& rgba) {
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, picture);
    rgb.format = AVIF_RGB_FORMAT_RGBA;
    rgb.depth = 8;
    rgb.rowBytes = 4 * picture->width;
    rgba.assign(static_cast<size_t>(rgb.rowBytes) * picture->height, 0);
    rgb.pixels = rgba.data();
    return avifImageYUVToRGB(picture, &rgb) == AVIF_RESULT_OK;
}

} // namespace

bool IsAvifSignature(const uint8_t* bytes) {
    return std::memcmp(bytes + 4, "ftyp", 4) == 0 &&
           (std::memcmp(bytes + 8, "avif", 4) == 0 || std::memcmp(bytes + 8, "avis", 4) == 0);
}

AvifCodec::AvifCodec(CFormatPlugin* plugin, CPluginHost* host, const AvifSettings* settings)
    : WebCodecBase(plugin, host), settings(settings) {}

AvifCodec::~AvifCodec() {
    DropWork();
}

void AvifCodec::DropWork() {
    if (decoder != nullptr) {
        avifDecoderDestroy(decoder);
        decoder = nullptr;
    }
    pixels.clear();
    pixels.shrink_to_fit();
    WebCodecBase::DropWork();
}

// ------------------------------------------------------------------ reading

void AvifCodec::FailAvif(int result) {
    const auto code = static_cast<avifResult>(result);
    std::string detail = avifResultToString(code);
    if (decoder != nullptr && decoder->diag.error[0] != '\0') {
        detail += std::string(": ") + decoder->diag.error;
    }
    // The parser says "truncated" where a box runs past the end of the file.
    FailDamaged(code == AVIF_RESULT_TRUNCATED_DATA || detail.find("truncated") != std::string::npos,
                detail);
}

SIZE AvifCodec::ReadHeader(CVImage* target, CVStream* source, const SIZE* maxSize) {
    BeginRead(target, source);
    if (input.size() < kAvifSignatureSize || !IsAvifSignature(input.data())) {
        Fail(CVImageError::ReadError);
    }
    decoder = avifDecoderCreate();
    if (decoder == nullptr) {
        Fail(CVImageError::OutOfMemory);
    }
    const uint64_t budget = kMaxPixelsPerByte * input.size() + kSmallPictureAllowance;
    decoder->imageSizeLimit =
        static_cast<uint32_t>(std::min<uint64_t>(budget, decoder->imageSizeLimit));
    decoder->imageDimensionLimit = 65535;
    decoder->ignoreXMP = AVIF_TRUE;
    avifResult parsed = avifDecoderSetIOMemory(decoder, input.data(), input.size());
    if (parsed == AVIF_RESULT_OK) {
        parsed = avifDecoderParse(decoder);
    }
    if (parsed == AVIF_RESULT_INVALID_EXIF_PAYLOAD) {
        decoder->ignoreExif = AVIF_TRUE; // damaged EXIF costs only the EXIF
        parsed = avifDecoderParse(decoder);
    }
    if (parsed != AVIF_RESULT_OK) {
        FailAvif(parsed);
    }
    const uint32_t width = decoder->image->width;
    const uint32_t height = decoder->image->height;
    if (width == 0 || height == 0 || static_cast<uint64_t>(width) * height > budget) {
        FailDamaged(false, "its picture size does not fit its file");
    }
    if (width > 65535 || height > 65535) {
        Fail(CVImageError::DimensionsTooLarge);
    }
    HandOverMetadata(*decoder->image, host, target);
    web::PictureInfo picture;
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    if (decoder->alphaPresent) {
        picture.transparency = TransparencyInfo{kAlphaKey, 1};
    }
    CreatePicture(picture, maxSize);
    return SIZE{picture.width, picture.height};
}

bool AvifCodec::ReadPixels(CVProgress* progress) {
    if (decoder == nullptr || image == nullptr) {
        host->RaiseImageError(CVImageError::ReadError);
    }
    // A user break or a host error: the decoder goes.
    OnExit drop([this] { DropWork(); });
    if (const avifResult decoded = avifDecoderNextImage(decoder); decoded != AVIF_RESULT_OK) {
        FailAvif(decoded);
    }
    // The coded picture must be the one the container announced.
    if (static_cast<int>(decoder->image->width) != decodedSize.cx ||
        static_cast<int>(decoder->image->height) != decodedSize.cy ||
        !ToRgba(decoder->image, pixels)) {
        Fail(CVImageError::ReadError);
    }
    const int width = decodedSize.cx;
    const size_t stride = 4 * static_cast<size_t>(width);
    if (DeliverAlphaPlane(progress, 0, 100, pixels.data(), stride)) {
        Finish(progress, stream);
        return true;
    }
    DeliverRows(progress, 0, 100, [&](int y, uint8_t* row) {
        web::KeyRgbaRow(pixels.data() + stride * static_cast<size_t>(y), row, width);
    });
    Finish(progress, stream);
    return true;
}

// ------------------------------------------------------------------ writing

SIZE AvifCodec::BeginWrite(const CVImage* source, const int* parameter) {
    BeginWriteOf(source, parameter);
    return SIZE{source->Width(), source->Height()};
}

bool AvifCodec::Write(CVStream* output, CVProgress* progress, CVImage* previewImage) {
    if (image == nullptr) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    if (progress != nullptr) {
        progress->Begin(0, 100, 0, 100);
    }
    const uint32_t width = static_cast<uint32_t>(image->Width());
    const uint32_t height = static_cast<uint32_t>(image->Height());
    // The best quality keeps full chroma; every other halves it both ways,
    // as web pictures are usually coded.
    const bool fullChroma = settings->quality >= 100;
    avifImage* picture = avifImageCreate(
        width, height, 8, fullChroma ? AVIF_PIXEL_FORMAT_YUV444 : AVIF_PIXEL_FORMAT_YUV420);
    if (picture == nullptr) {
        host->RaiseImageError(CVImageError::OutOfMemory);
    }
    OnExit destroyPicture([picture] { avifImageDestroy(picture); });
    {
        std::vector<uint8_t> rgba = web::RgbaPixelsOf(*image);
        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, picture);
        rgb.depth = 8;
        rgb.format = AVIF_RGB_FORMAT_RGBA;
        rgb.ignoreAlpha = web::TransparencyApplies(*image) ? AVIF_FALSE : AVIF_TRUE;
        rgb.pixels = rgba.data();
        rgb.rowBytes = 4 * width;
        if (avifImageRGBToYUV(picture, &rgb) != AVIF_RESULT_OK) {
            host->RaiseImageError(CVImageError::WriteError);
        }
    }
    const MetadataBytes icc = IccToWrite(host, image);
    const MetadataBytes exif = ExifToWrite(host, image);
    if (!icc.Empty()) {
        avifImageSetProfileICC(picture, icc.data, icc.size);
    }
    if (!exif.Empty()) {
        // libavif also sets the picture's rotation and mirroring from the
        // EXIF orientation, so viewers turn it as they would the source.
        avifImageSetMetadataExif(picture, exif.data, exif.size);
    }
    avifEncoder* encoder = avifEncoderCreate();
    if (encoder == nullptr) {
        host->RaiseImageError(CVImageError::OutOfMemory);
    }
    OnExit destroyEncoder([encoder] { avifEncoderDestroy(encoder); });
    encoder->speed = std::clamp<int>(settings->speed, 0, 10);
    encoder->minQuantizer = encoder->maxQuantizer = QuantizerOf(settings->quality);
    encoder->minQuantizerAlpha = encoder->maxQuantizerAlpha = AVIF_QUANTIZER_LOSSLESS;
    avifRWData encoded = AVIF_DATA_EMPTY;
    OnExit freeEncoded([&encoded] { avifRWDataFree(&encoded); });
    if (avifEncoderWrite(encoder, picture, &encoded) != AVIF_RESULT_OK) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    WriteBytes(output, encoded.data, encoded.size);
    if (previewImage != nullptr) {
        avifDecoder* check = avifDecoderCreate();
        if (check == nullptr) {
            host->RaiseImageError(CVImageError::OutOfMemory);
        }
        OnExit destroyCheck([check] { avifDecoderDestroy(check); });
        std::vector<uint8_t> shown;
        if (avifDecoderSetIOMemory(check, encoded.data, encoded.size) != AVIF_RESULT_OK ||
            avifDecoderParse(check) != AVIF_RESULT_OK ||
            avifDecoderNextImage(check) != AVIF_RESULT_OK || !ToRgba(check->image, shown)) {
            host->RaiseImageError(CVImageError::ReadError);
        }
        web::CreateFromRgba(*previewImage, static_cast<int>(check->image->width),
                            static_cast<int>(check->image->height), shown.data(),
                            4 * static_cast<size_t>(check->image->width), web::kWhite);
    }
    Finish(progress, output);
    return true;
}

} // namespace pixmill::aspen
