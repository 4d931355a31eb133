#include "gif_codec.h"

#include "pixel_rows.h"

#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/packed_pixels.h"
#include "pixmill/plugin_host.h"
#include "pixmill/scope_guards.h"
#include "pixmill/stream.h"
#include "pixmill/work_progress.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace pixmill::hazel {

namespace {

// One LZW code of at most 12 bits never stands for more than 4096 pixels:
// a frame or screen declaring more pixels than its file could describe is
// refused before memory is taken for it.
constexpr uint64_t kMaxPixelsPerByte = 2731;
constexpr uint64_t kSmallPictureAllowance = 1 << 16;
constexpr int kGraphicsControl = GRAPHICS_EXT_FUNC_CODE;

int DepthForColors(int colors) {
    return colors <= 2 ? 1 : colors <= 16 ? 4 : 8;
}

} // namespace

bool IsGifSignature(const uint8_t* bytes) {
    return std::memcmp(bytes, "GIF87a", 6) == 0 || std::memcmp(bytes, "GIF89a", 6) == 0;
}

std::vector<int> InterlacedRowOrder(int height) {
    std::vector<int> order;
    order.reserve(static_cast<size_t>(std::max(height, 0)));
    const int starts[4] = {0, 4, 2, 1};
    const int steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = starts[pass]; y < height; y += steps[pass]) {
            order.push_back(y);
        }
    }
    return order;
}

GifCodec::GifCodec(CFormatPlugin* plugin, CPluginHost* host, const GifSettings* settings)
    : WebCodecBase(plugin, host), settings(settings) {}

GifCodec::~GifCodec() {
    CloseDecoder();
}

void GifCodec::CloseDecoder() {
    if (decoder != nullptr) {
        int error = 0;
        DGifCloseFile(decoder, &error);
        decoder = nullptr;
    }
}

void GifCodec::DropWork() {
    CloseDecoder();
    indices.clear();
    indices.shrink_to_fit();
    WebCodecBase::DropWork();
}

// ------------------------------------------------------------------ reading

namespace {

extern "C" int ReadData(GifFileType* gif, GifByteType* out, int count) {
    auto* source = static_cast<GifCodec::Input*>(gif->UserData);
    const size_t n =
        std::min<size_t>(static_cast<size_t>(std::max(count, 0)), source->size - source->position);
    std::memcpy(out, source->data + source->position, n);
    source->position += n;
    source->ranOut = source->ranOut || n < static_cast<size_t>(std::max(count, 0));
    return static_cast<int>(n);
}

} // namespace

void GifCodec::FailGif(int error) {
    const char* text = GifErrorString(error);
    FailDamaged(reading.ranOut || error == D_GIF_ERR_EOF_TOO_SOON, text != nullptr ? text : "");
}

SIZE GifCodec::ReadHeader(CVImage* target, CVStream* source, const SIZE* maxSize) {
    BeginRead(target, source);
    if (input.size() < kGifSignatureSize || !IsGifSignature(input.data())) {
        Fail(CVImageError::ReadError);
    }
    reading = Input{input.data(), input.size(), 0};
    int error = 0;
    decoder = DGifOpen(&reading, ReadData, &error);
    if (decoder == nullptr) {
        FailGif(error);
    }
    // Extensions up to the first frame: a graphics control block gives its
    // transparent index.
    int transparentIndex = -1;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(decoder, &record) == GIF_ERROR) {
            FailGif(decoder->Error);
        }
        if (record == TERMINATE_RECORD_TYPE) {
            FailDamaged(false, "it ends without a picture");
        }
        if (record == IMAGE_DESC_RECORD_TYPE) {
            break;
        }
        if (record != EXTENSION_RECORD_TYPE) {
            continue;
        }
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(decoder, &code, &block) == GIF_ERROR) {
            FailGif(decoder->Error);
        }
        while (block != nullptr) {
            if (code == kGraphicsControl && block[0] >= 4) {
                transparentIndex = (block[1] & 1) != 0 ? block[4] : -1;
            }
            if (DGifGetExtensionNext(decoder, &block) == GIF_ERROR) {
                FailGif(decoder->Error);
            }
        }
    }
    if (DGifGetImageDesc(decoder) == GIF_ERROR) {
        FailGif(decoder->Error);
    }
    const GifImageDesc& desc = decoder->Image;
    frame = Frame{};
    frame.left = desc.Left;
    frame.top = desc.Top;
    frame.width = desc.Width;
    frame.height = desc.Height;
    frame.interlaced = desc.Interlace;
    const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : decoder->SColorMap;
    const int screenWidth = std::max(decoder->SWidth, frame.left + frame.width);
    const int screenHeight = std::max(decoder->SHeight, frame.top + frame.height);
    const uint64_t budget = kMaxPixelsPerByte * input.size() + kSmallPictureAllowance;
    if (frame.width <= 0 || frame.height <= 0 ||
        static_cast<uint64_t>(frame.width) * static_cast<uint64_t>(frame.height) > budget) {
        FailDamaged(false, "its picture size does not fit its file");
    }
    if (static_cast<uint64_t>(screenWidth) * static_cast<uint64_t>(screenHeight) > budget) {
        Fail(CVImageError::DimensionsTooLarge);
    }

    web::PictureInfo picture;
    picture.width = screenWidth;
    picture.height = screenHeight;
    if (map != nullptr && map->ColorCount > 0 && map->Colors != nullptr) {
        frame.colors = std::min(map->ColorCount, 256);
        for (int i = 0; i < frame.colors; ++i) {
            const GifColorType& c = map->Colors[i];
            picture.palette[i] = RGBQUAD{c.Blue, c.Green, c.Red, 0};
        }
    } else {
        // No colour table at all: a grey ramp stands in for the missing one.
        frame.colors = 256;
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<uint8_t>(i);
            picture.palette[i] = RGBQUAD{v, v, v, 0};
        }
    }
    picture.colors = frame.colors;
    picture.depth = DepthForColors(frame.colors);
    if (transparentIndex >= 0 && transparentIndex < frame.colors) {
        picture.transparency = TransparencyInfo{picture.palette[transparentIndex], 1};
        // Another entry of the same colour stays visible.
        bool transparent[256]{};
        transparent[transparentIndex] = true;
        web::KeepVisibleEntries(picture.palette, picture.colors, transparent,
                                picture.transparency.color);
        frame.fill = transparentIndex;
    } else {
        frame.fill = decoder->SBackGroundColor < frame.colors ? decoder->SBackGroundColor : 0;
    }
    CreatePicture(picture, maxSize);
    return SIZE{screenWidth, screenHeight};
}

bool GifCodec::ReadPixels(CVProgress* progress) {
    if (decoder == nullptr || image == nullptr) {
        host->RaiseImageError(CVImageError::ReadError);
    }
    // A user break or a host error: the decoder goes.
    OnExit drop([this] { DropWork(); });
    indices.assign(static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height), 0);
    const std::vector<int> order =
        frame.interlaced ? InterlacedRowOrder(frame.height) : std::vector<int>{};
    for (int n = 0; n < frame.height; ++n) {
        const int y = frame.interlaced ? order[static_cast<size_t>(n)] : n;
        if (DGifGetLine(decoder, indices.data() + static_cast<size_t>(y) * frame.width,
                        frame.width) == GIF_ERROR) {
            FailGif(decoder->Error);
        }
    }
    const int width = decodedSize.cx;
    const int depth = image->BitCount();
    DeliverRows(progress, 0, 100, [&](int y, uint8_t* row) {
        std::memset(row, 0, CVImage::StrideOf(depth, width));
        const int frameY = y - frame.top;
        const uint8_t* source = frameY >= 0 && frameY < frame.height
                                    ? indices.data() + static_cast<size_t>(frameY) * frame.width
                                    : nullptr;
        ForIndexDepth(depth, [&](auto bits) {
            for (int x = 0; x < width; ++x) {
                const int frameX = x - frame.left;
                int index = frame.fill;
                if (source != nullptr && frameX >= 0 && frameX < frame.width) {
                    index = source[frameX] < frame.colors ? source[frameX] : 0;
                }
                OrPixel<decltype(bits)::value>(row, x, static_cast<uint32_t>(index));
            }
        });
    });
    Finish(progress, stream);
    return true;
}

// ------------------------------------------------------------------ writing

namespace {

extern "C" int WriteData(GifFileType* gif, const GifByteType* data, int count) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    try {
        out->insert(out->end(), data, data + count);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return count;
}

} // namespace

SIZE GifCodec::BeginWrite(const CVImage* source, const int* parameter) {
    BeginWriteOf(source, parameter);
    return SIZE{source->Width(), source->Height()};
}

bool GifCodec::Write(CVStream* output, CVProgress* progress, CVImage*) {
    if (image == nullptr) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    const int depth = image->BitCount();
    if (depth != 1 && depth != 4 && depth != 8) {
        host->RaiseImageError(CVImageError::UnsupportedFormat);
    }
    // The colour table: a power of two holding every entry and every index used.
    const int needed = std::max<int>({image->paletteCount, web::HighestIndex(*image) + 1, 2});
    int entries = 2;
    while (entries < needed) {
        entries *= 2;
    }
    GifColorType colors[256] = {};
    for (int i = 0; i < entries; ++i) {
        const RGBQUAD& c = image->palette[i];
        colors[i] = GifColorType{c.rgbRed, c.rgbGreen, c.rgbBlue};
    }
    const int transparentIndex =
        settings->transparent != 0 ? web::TransparentIndex(*image, entries) : -1;

    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteData, &error);
    if (gif == nullptr) {
        host->RaiseImageError(CVImageError::OutOfMemory);
    }
    bool closed = false;
    OnExit close([&] {
        if (!closed) {
            int ignored = 0;
            EGifCloseFile(gif, &ignored);
        }
    });
    ColorMapObject* map = GifMakeMapObject(entries, colors);
    if (map == nullptr) {
        host->RaiseImageError(CVImageError::OutOfMemory);
    }
    OnExit freeMap([map] { GifFreeMapObject(map); });
    EGifSetGifVersion(gif, transparentIndex >= 0);
    const int width = image->Width();
    const int height = image->Height();
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) != GIF_ERROR;
    if (ok && transparentIndex >= 0) {
        const GifByteType control[4] = {1, 0, 0, static_cast<GifByteType>(transparentIndex)};
        ok = EGifPutExtension(gif, kGraphicsControl, 4, control) != GIF_ERROR;
    }
    const bool interlace = settings->interlace != 0;
    ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, interlace, nullptr) != GIF_ERROR;
    if (!ok) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    std::vector<GifPixelType> line(static_cast<size_t>(width));
    const std::vector<int> order = interlace ? InterlacedRowOrder(height) : std::vector<int>{};
    WorkProgress steps(progress, WorkProgress::Pace::OneStep);
    steps.Begin(0, 100, 0, height);
    for (int n = 0; n < height; ++n) {
        const uint8_t* row = image->Row(interlace ? order[static_cast<size_t>(n)] : n);
        ForIndexDepth(depth, [&](auto bits) {
            for (int x = 0; x < width; ++x) {
                line[static_cast<size_t>(x)] =
                    static_cast<GifPixelType>(GetPixel<decltype(bits)::value>(row, x));
            }
        });
        if (EGifPutLine(gif, line.data(), width) == GIF_ERROR) {
            host->RaiseImageError(CVImageError::WriteError);
        }
        steps.At(n + 1);
    }
    closed = true;
    if (EGifCloseFile(gif, &error) == GIF_ERROR) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    WriteBytes(output, out.data(), out.size());
    Finish(progress, output);
    return true;
}

} // namespace pixmill::hazel
