#include "webp_codec.h"

#include "pixel_rows.h"

#include "pixmill/alpha_rule.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/image_metadata.h"
#include "pixmill/plugin_host.h"
#include "pixmill/progress.h"
#include "pixmill/scope_guards.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstring>
#include <exception>

namespace pixmill::rowan {

namespace {

// Lossy coding packs far fewer pixels into a byte than this; a canvas that
// its file could not describe is refused before memory is taken for it.
// Lossless coding has no such bound (a plain picture takes a few hundred
// bytes at any size): a lossless frame beyond it is decoded while the header
// is read, within the host's pixel limit, so a file that lies about its size
// is still refused before the image is made.
constexpr uint64_t kMaxPixelsPerByte = 16384;
constexpr uint64_t kSmallPictureAllowance = uint64_t{1} << 20;

// The ICCP and EXIF chunks of an extended file.
void HandOverMetadata(WebPDemuxer* demux, CPluginHost* host, const CVImage* image) {
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demux, "ICCP", 1, &chunk)) {
        PutIccProfile(host, image, chunk.chunk.bytes, chunk.chunk.size);
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    if (WebPDemuxGetChunk(demux, "EXIF", 1, &chunk)) {
        PutExif(host, image, chunk.chunk.bytes, chunk.chunk.size);
        WebPDemuxReleaseChunkIterator(&chunk);
    }
}

// What the encoder's progress hook reports into.
struct HookState {
    CVProgress* progress = nullptr;
    int next = 0;
    std::exception_ptr error; // a user break, carried past libwebp
};

extern "C" int OnEncodeProgress(int percent, const WebPPicture* picture) {
    auto* state = static_cast<HookState*>(picture->user_data);
    if (state->progress == nullptr || percent < state->next) {
        return 1;
    }
    try {
        state->next = state->progress->Step(nullptr);
    } catch (...) {
        state->error = std::current_exception();
        return 0;
    }
    return 1;
}

} // namespace

bool IsWebpSignature(const uint8_t* bytes) {
    return std::memcmp(bytes, "RIFF", 4) == 0 && std::memcmp(bytes + 8, "WEBP", 4) == 0;
}

WebpCodec::WebpCodec(CFormatPlugin* plugin, CPluginHost* host, const WebpSettings* settings)
    : WebCodecBase(plugin, host), settings(settings) {}

void WebpCodec::DropWork() {
    canvas.clear();
    canvas.shrink_to_fit();
    WebCodecBase::DropWork();
}

// The encoded picture, with the profile and EXIF the host wants written
// added as chunks of an extended file.
void WebpCodec::WriteWithMetadata(CVStream* output, const uint8_t* encoded, size_t size) {
    const MetadataBytes icc = IccToWrite(host, image);
    const MetadataBytes exif = ExifToWrite(host, image);
    if (icc.Empty() && exif.Empty()) {
        WriteBytes(output, encoded, size);
        return;
    }
    const WebPData picture{encoded, size};
    WebPMux* mux = WebPMuxCreate(&picture, 0);
    if (mux == nullptr) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    OnExit deleteMux([mux] { WebPMuxDelete(mux); });
    const WebPData iccChunk{icc.data, icc.size};
    const WebPData exifChunk{exif.data, exif.size};
    WebPData assembled{};
    if ((!icc.Empty() && WebPMuxSetChunk(mux, "ICCP", &iccChunk, 0) != WEBP_MUX_OK) ||
        (!exif.Empty() && WebPMuxSetChunk(mux, "EXIF", &exifChunk, 0) != WEBP_MUX_OK) ||
        WebPMuxAssemble(mux, &assembled) != WEBP_MUX_OK) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    OnExit clearAssembled([&assembled] { WebPDataClear(&assembled); });
    WriteBytes(output, assembled.bytes, assembled.size);
}

// ------------------------------------------------------------------ reading

bool WebpCodec::CutShort() const {
    // The RIFF header gives the file's length.
    if (input.size() < 8) {
        return true;
    }
    const uint64_t riff = uint64_t{input[4]} | uint64_t{input[5]} << 8 |
                          uint64_t{input[6]} << 16 | uint64_t{input[7]} << 24;
    return input.size() < riff + 8;
}

SIZE WebpCodec::ReadHeader(CVImage* target, CVStream* source, const SIZE* maxSize) {
    BeginRead(target, source);
    if (input.size() < kWebpSignatureSize || !IsWebpSignature(input.data())) {
        Fail(CVImageError::ReadError);
    }
    const WebPData data{input.data(), input.size()};
    WebPDemuxer* demux = WebPDemux(&data);
    if (demux == nullptr) {
        FailDamaged(CutShort(), "its container cannot be parsed");
    }
    OnExit deleteDemux([demux] { WebPDemuxDelete(demux); });
    const int width = static_cast<int>(WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH));
    const int height = static_cast<int>(WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT));
    WebPIterator frame;
    if (!WebPDemuxGetFrame(demux, 1, &frame)) {
        FailDamaged(CutShort(), "it holds no picture");
    }
    frameLeft = frame.x_offset;
    frameTop = frame.y_offset;
    frameWidth = frame.width;
    frameHeight = frame.height;
    frameOffset = static_cast<size_t>(frame.fragment.bytes - input.data());
    frameSize = frame.fragment.size;
    // Alpha in the frame, or canvas the frame leaves uncovered (transparent).
    const bool transparent = frame.has_alpha != 0 || frameLeft != 0 || frameTop != 0 ||
                             frameWidth != width || frameHeight != height;
    WebPDemuxReleaseIterator(&frame);
    HandOverMetadata(demux, host, target);
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (width <= 0 || height <= 0 || frameLeft + frameWidth > width ||
        frameTop + frameHeight > height) {
        FailDamaged(false, "its picture does not fit its canvas");
    }
    if (pixels > kMaxPixelsPerByte * input.size() + kSmallPictureAllowance) {
        WebPBitstreamFeatures features;
        if (WebPGetFeatures(input.data() + frameOffset, frameSize, &features) != VP8_STATUS_OK ||
            features.format != 2) {
            FailDamaged(CutShort(), "its lossless picture cannot be decoded");
        }
        CheckPictureSize(width, height);
        DecodeFrame(width, height);
    }
    web::PictureInfo picture;
    picture.width = width;
    picture.height = height;
    if (transparent) {
        picture.transparency = TransparencyInfo{kAlphaKey, 1};
    }
    CreatePicture(picture, maxSize);
    return SIZE{width, height};
}

bool WebpCodec::ReadPixels(CVProgress* progress) {
    if (image == nullptr || frameSize == 0) {
        host->RaiseImageError(CVImageError::ReadError);
    }
    // A user break or a host error: the work goes.
    OnExit drop([this] { DropWork(); });
    const int width = decodedSize.cx;
    const int height = decodedSize.cy;
    if (canvas.empty()) {
        DecodeFrame(width, height);
    }
    const size_t stride = 4 * static_cast<size_t>(width);
    if (DeliverAlphaPlane(progress, 0, 100, canvas.data(), stride)) {
        Finish(progress, stream);
        return true;
    }
    DeliverRows(progress, 0, 100, [&](int y, uint8_t* row) {
        web::KeyRgbaRow(canvas.data() + stride * static_cast<size_t>(y), row, width);
    });
    Finish(progress, stream);
    return true;
}

void WebpCodec::DecodeFrame(int width, int height) {
    // Outside the first frame the canvas is transparent.
    canvas.assign(4 * static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    const size_t stride = 4 * static_cast<size_t>(width);
    uint8_t* first = canvas.data() + stride * static_cast<size_t>(frameTop) + 4 * frameLeft;
    if (WebPDecodeRGBAInto(input.data() + frameOffset, frameSize, first,
                           canvas.size() - static_cast<size_t>(first - canvas.data()),
                           static_cast<int>(stride)) == nullptr) {
        FailDamaged(CutShort(), "its compressed picture cannot be decoded");
    }
}

// ------------------------------------------------------------------ writing

SIZE WebpCodec::BeginWrite(const CVImage* source, const int* parameter) {
    BeginWriteOf(source, parameter);
    return SIZE{source->Width(), source->Height()};
}

bool WebpCodec::Write(CVStream* output, CVProgress* progress, CVImage* previewImage) {
    if (image == nullptr) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture)) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    config.quality = static_cast<float>(std::clamp<int>(settings->quality, 0, 100));
    config.method = std::clamp<int>(settings->effort, 0, 6);
    config.lossless = settings->lossless != 0 ? 1 : 0;
    picture.use_argb = config.lossless;
    // A picture with an alpha plane keeps the colours under its transparent
    // pixels: an editor may make them visible again.
    config.exact = image->HasAlphaPlane() ? 1 : 0;
    picture.width = image->Width();
    picture.height = image->Height();
    OnExit freePicture([&picture] { WebPPictureFree(&picture); });
    {
        const std::vector<uint8_t> pixels = web::RgbaPixelsOf(*image);
        const int stride = 4 * image->Width();
        const bool imported = web::TransparencyApplies(*image)
                                  ? WebPPictureImportRGBA(&picture, pixels.data(), stride)
                                  : WebPPictureImportRGBX(&picture, pixels.data(), stride);
        if (!imported) {
            host->RaiseImageError(CVImageError::OutOfMemory);
        }
    }
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    OnExit freeWriter([&writer] { WebPMemoryWriterClear(&writer); });
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    HookState hook;
    hook.progress = progress;
    if (progress != nullptr) {
        hook.next = progress->Begin(0, previewImage != nullptr ? 80 : 100, 0, 100);
    }
    picture.progress_hook = OnEncodeProgress;
    picture.user_data = &hook;
    const bool encoded = WebPEncode(&config, &picture) != 0;
    if (hook.error) {
        std::rethrow_exception(hook.error);
    }
    if (!encoded) {
        host->RaiseImageError(picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY
                                  ? CVImageError::OutOfMemory
                                  : CVImageError::WriteError);
    }
    WriteWithMetadata(output, writer.mem, writer.size);
    if (previewImage != nullptr) {
        int width = 0;
        int height = 0;
        uint8_t* rgba = WebPDecodeRGBA(writer.mem, writer.size, &width, &height);
        if (rgba == nullptr) {
            host->RaiseImageError(CVImageError::ReadError);
        }
        OnExit freeRgba([rgba] { WebPFree(rgba); });
        web::CreateFromRgba(*previewImage, width, height, rgba, 4 * static_cast<size_t>(width),
                            web::kWhite);
    }
    Finish(progress, output);
    return true;
}

} // namespace pixmill::rowan
