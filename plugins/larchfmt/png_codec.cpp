#include "png_codec.h"

#include "pixel_rows.h"

#include "pixmill/alpha_rule.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/image_metadata.h"
#include "pixmill/packed_pixels.h"
#include "pixmill/plugin_host.h"
#include "pixmill/scope_guards.h"
#include "pixmill/stream.h"
#include "pixmill/work_progress.h"

#include <png.h>

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

namespace pixmill::larch {

namespace {

// Deflate never packs more than 1032 bytes into one: a picture declaring
// more rows than its file could hold is damaged, and is refused before any
// memory is taken for it.
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr uint32_t kRowsPerWrite = 16;

RGBQUAD Gray(int level) {
    const auto v = static_cast<uint8_t>(level);
    return RGBQUAD{v, v, v, 0};
}

// A sample of bitDepth bits as an 8-bit level.
int Level(unsigned value, int bitDepth) {
    if (bitDepth == 16) {
        return static_cast<int>(value >> 8);
    }
    const unsigned top = (1u << bitDepth) - 1;
    return static_cast<int>(std::min(value, top) * 255 / top);
}

// libpng's complaint, kept for the error message (a reader's buffer, or
// none for a writer).
constexpr size_t kComplaintSize = 160;
extern "C" void OnError(png_structp png, png_const_charp text) {
    if (auto* complaint = static_cast<char*>(png_get_error_ptr(png)); complaint != nullptr) {
        std::snprintf(complaint, kComplaintSize, "%s", text != nullptr ? text : "");
    }
    png_longjmp(png, 1);
}
// Our reader's word for running out of data, and libpng's own.
bool CutShort(const char* complaint) {
    return std::strcmp(complaint, "truncated") == 0 ||
           std::strcmp(complaint, "Not enough image data") == 0 ||
           std::strcmp(complaint, "Read Error") == 0;
}
extern "C" void OnWarning(png_structp, png_const_charp) {}

} // namespace

int DepthForPng(int colorType, int bitDepth) {
    if (colorType == PNG_COLOR_TYPE_RGB || colorType == PNG_COLOR_TYPE_RGB_ALPHA) {
        return 24;
    }
    if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA || bitDepth >= 8) {
        return 8;
    }
    return bitDepth == 1 ? 1 : 4;
}

// ------------------------------------------------------------------ reading

struct PngReader {
    PngReader() {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, complaint, OnError, OnWarning);
        if (png != nullptr) {
            info = png_create_info_struct(png);
        }
    }
    ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    png_structp png = nullptr;
    png_infop info = nullptr;
    char complaint[kComplaintSize] = {};
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t position = 0;

    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int depth = 0;
    bool interlaced = false;
    // A palette with partly transparent entries: every entry as red, green,
    // blue, alpha (entries past the palette opaque black), for a host that
    // keeps the alpha plane.
    bool partlyTransparentPalette = false;
    uint8_t paletteRgba[4 * 256] = {};
    size_t rowBytes = 0;
    std::vector<uint8_t> row;   // one row as libpng hands it over
    std::vector<uint8_t> whole; // every row of an interlaced picture
};

namespace {

extern "C" void ReadData(png_structp png, png_bytep out, size_t count) {
    auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
    if (reader->size - reader->position < count) {
        png_error(png, "truncated");
    }
    std::memcpy(out, reader->data + reader->position, count);
    reader->position += count;
}

// The libpng calls that may fail, each behind its own jump target. No C++
// object lives in these frames, so the jump leaves nothing undone.
// The profile (iCCP, inflated and checked by libpng) and EXIF (eXIf) found
// before the pixels; libpng drops damaged ones with a warning.
void HandOverMetadata(PngReader& r, CPluginHost* host, const CVImage* image) {
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileSize = 0;
    if (png_get_iCCP(r.png, r.info, &name, &compression, &profile, &profileSize) != 0) {
        PutIccProfile(host, image, profile, profileSize);
    }
    png_uint_32 exifSize = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(r.png, r.info, &exifSize, &exif) != 0) {
        PutExif(host, image, exif, exifSize);
    }
}

bool GuardedReadInfo(PngReader* r) {
    if (setjmp(png_jmpbuf(r->png))) {
        return false;
    }
    png_read_info(r->png, r->info);
    return true;
}

bool GuardedUpdateInfo(PngReader* r) {
    if (setjmp(png_jmpbuf(r->png))) {
        return false;
    }
    if (r->bitDepth == 16) {
        png_set_strip_16(r->png);
    }
    if (r->bitDepth < 8) {
        png_set_packing(r->png);
    }
    if (r->colorType == PNG_COLOR_TYPE_RGB) {
        png_set_bgr(r->png);
    }
    if (r->interlaced) {
        png_set_interlace_handling(r->png);
    }
    png_read_update_info(r->png, r->info);
    return true;
}

bool GuardedReadRow(PngReader* r, png_bytep row) {
    if (setjmp(png_jmpbuf(r->png))) {
        return false;
    }
    png_read_row(r->png, row, nullptr);
    return true;
}

bool GuardedReadImage(PngReader* r, png_bytepp rows) {
    if (setjmp(png_jmpbuf(r->png))) {
        return false;
    }
    png_read_image(r->png, rows);
    return true;
}

} // namespace

PngCodec::PngCodec(CFormatPlugin* plugin, CPluginHost* host, const PngSettings* settings)
    : WebCodecBase(plugin, host), settings(settings) {}

PngCodec::~PngCodec() {
    DropWork();
}

void PngCodec::DropWork() {
    delete reader;
    reader = nullptr;
    WebCodecBase::DropWork();
}

SIZE PngCodec::ReadHeader(CVImage* target, CVStream* source, const SIZE* maxSize) {
    BeginRead(target, source);
    reader = new (std::nothrow) PngReader;
    if (reader == nullptr || reader->info == nullptr) {
        Fail(CVImageError::OutOfMemory);
    }
    PngReader& r = *reader;
    if (input.size() < sizeof kPngSignature ||
        std::memcmp(input.data(), kPngSignature, sizeof kPngSignature) != 0) {
        Fail(CVImageError::ReadError);
    }
    r.data = input.data();
    r.size = input.size();
    png_set_read_fn(r.png, &r, ReadData);
    if (!GuardedReadInfo(&r)) {
        FailDamaged(CutShort(r.complaint), r.complaint);
    }
    int interlace = 0;
    png_get_IHDR(r.png, r.info, &r.width, &r.height, &r.bitDepth, &r.colorType, &interlace, nullptr,
                 nullptr);
    r.interlaced = interlace != PNG_INTERLACE_NONE;
    r.depth = DepthForPng(r.colorType, r.bitDepth);
    const uint64_t rawBytes =
        (static_cast<uint64_t>(r.width) * png_get_channels(r.png, r.info) * r.bitDepth + 7) / 8 + 1;
    if (rawBytes * r.height > kMaxDeflateRatio * input.size()) {
        FailDamaged(false, "it declares more rows than its file can hold");
    }
    if (r.width > 65535 || r.height > 65535) {
        Fail(CVImageError::DimensionsTooLarge);
    }

    web::PictureInfo picture;
    picture.width = static_cast<int>(r.width);
    picture.height = static_cast<int>(r.height);
    picture.depth = r.depth;
    png_colorp plte = nullptr;
    int entries = 0;
    png_bytep alpha = nullptr;
    int alphas = 0;
    png_color_16p key = nullptr;
    png_get_tRNS(r.png, r.info, &alpha, &alphas, &key);
    if (r.colorType == PNG_COLOR_TYPE_PALETTE) {
        if (png_get_PLTE(r.png, r.info, &plte, &entries) == 0 || entries <= 0) {
            FailDamaged(false, "a palette picture without its palette");
        }
    }
    if (r.colorType == PNG_COLOR_TYPE_PALETTE) {
        // Alpha follows the rule of every reader (alpha_rule.h), whatever a
        // bKGD chunk says: entries of alpha 0 all take the first such
        // entry's colour, which becomes the transparent colour; partly
        // transparent entries are blended onto white.
        picture.colors = std::min(entries, 256);
        for (int i = 0; i < picture.colors; ++i) {
            RGBQUAD c{plte[i].blue, plte[i].green, plte[i].red, 0};
            const int a = alpha != nullptr && i < alphas ? alpha[i] : 255;
            if (a == 0 && picture.transparency.hasColor == 0) {
                picture.transparency = TransparencyInfo{c, 1};
            } else if (a == 0) {
                c = picture.transparency.color;
            } else if (a < 255) {
                uint8_t bgr[3];
                PutAlphaPixel(c.rgbRed, c.rgbGreen, c.rgbBlue, a, bgr);
                c = RGBQUAD{bgr[0], bgr[1], bgr[2], 0};
            }
            picture.palette[i] = c;
            r.partlyTransparentPalette = r.partlyTransparentPalette || (a > 0 && a < 255);
            uint8_t* entry = r.paletteRgba + 4 * i;
            entry[0] = plte[i].red;
            entry[1] = plte[i].green;
            entry[2] = plte[i].blue;
            entry[3] = static_cast<uint8_t>(a);
        }
        for (int i = picture.colors; i < 256; ++i) {
            r.paletteRgba[4 * i + 3] = 255;
        }
        if (picture.transparency.hasColor != 0) {
            bool transparent[256]{};
            for (int i = 0; i < picture.colors && i < alphas; ++i) {
                transparent[i] = alpha[i] == 0;
            }
            web::KeepVisibleEntries(picture.palette, picture.colors, transparent,
                                    picture.transparency.color);
        }
    } else if (r.depth <= 8) {
        const int bits = std::min(r.bitDepth, 8);
        picture.colors = 1 << bits;
        for (int i = 0; i < picture.colors; ++i) {
            picture.palette[i] = Gray(Level(static_cast<unsigned>(i), bits));
        }
        if (key != nullptr && r.colorType == PNG_COLOR_TYPE_GRAY) {
            picture.transparency = TransparencyInfo{Gray(Level(key->gray, r.bitDepth)), 1};
        } else if (r.colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
            picture.transparency = TransparencyInfo{kAlphaKey, 1};
        }
    } else if (key != nullptr && r.colorType == PNG_COLOR_TYPE_RGB) {
        picture.transparency =
            TransparencyInfo{RGBQUAD{static_cast<uint8_t>(Level(key->blue, r.bitDepth)),
                                     static_cast<uint8_t>(Level(key->green, r.bitDepth)),
                                     static_cast<uint8_t>(Level(key->red, r.bitDepth)), 0},
                             1};
    } else if (r.colorType == PNG_COLOR_TYPE_RGB_ALPHA) {
        picture.transparency = TransparencyInfo{kAlphaKey, 1};
    }
    HandOverMetadata(r, host, target);
    png_uint_32 xDensity = 0;
    png_uint_32 yDensity = 0;
    int unit = 0;
    if (png_get_pHYs(r.png, r.info, &xDensity, &yDensity, &unit) != 0 &&
        unit == PNG_RESOLUTION_METER) {
        picture.xPelsPerMeter = static_cast<int>(std::min<png_uint_32>(xDensity, INT_MAX));
        picture.yPelsPerMeter = static_cast<int>(std::min<png_uint_32>(yDensity, INT_MAX));
    }
    if (!GuardedUpdateInfo(&r)) {
        FailDamaged(CutShort(r.complaint), r.complaint);
    }
    r.rowBytes = png_get_rowbytes(r.png, r.info);
    CreatePicture(picture, maxSize);
    return SIZE{picture.width, picture.height};
}

bool PngCodec::ReadPixels(CVProgress* progress) {
    if (reader == nullptr || image == nullptr) {
        host->RaiseImageError(CVImageError::ReadError);
    }
    // A user break or a host error: the decoder goes.
    OnExit drop([this] { DropWork(); });
    PngReader& r = *reader;
    // A picture with an alpha channel is decoded whole first: only its
    // pixels tell whether it keeps the alpha plane (partly transparent
    // pixels) or follows the alpha rule. So is a palette with partly
    // transparent entries when the host keeps the plane; else its entries
    // are blended under the rule and it stays a palette picture.
    const bool alphaChannel = (r.colorType & PNG_COLOR_MASK_ALPHA) != 0;
    const bool expandPalette = r.colorType == PNG_COLOR_TYPE_PALETTE &&
                               r.partlyTransparentPalette && !preview && host->KeepsAlphaPlane();
    const bool whole = r.interlaced || (alphaChannel && !preview) || expandPalette;
    const int width = static_cast<int>(r.width);
    if (whole) {
        r.whole.resize(r.rowBytes * r.height);
        std::vector<png_bytep> rows(r.height);
        for (png_uint_32 y = 0; y < r.height; ++y) {
            rows[y] = r.whole.data() + r.rowBytes * y;
        }
        // Interlaced: seven passes over the whole picture before any row is
        // complete.
        if (!GuardedReadImage(&r, rows.data())) {
            FailDamaged(CutShort(r.complaint), r.complaint);
        }
    } else {
        r.row.resize(r.rowBytes);
    }
    if (whole && alphaChannel && !preview) {
        if (r.colorType == PNG_COLOR_TYPE_RGB_ALPHA) {
            if (DeliverAlphaPlane(progress, 0, 100, r.whole.data(), r.rowBytes)) {
                Finish(progress, stream);
                return true;
            }
        } else {
            std::vector<uint8_t> rgba(4 * static_cast<size_t>(width) * r.height);
            for (size_t i = 0; i < static_cast<size_t>(width) * r.height; ++i) {
                rgba[4 * i] = rgba[4 * i + 1] = rgba[4 * i + 2] = r.whole[2 * i];
                rgba[4 * i + 3] = r.whole[2 * i + 1];
            }
            if (DeliverAlphaPlane(progress, 0, 100, rgba.data(), 4 * static_cast<size_t>(width))) {
                Finish(progress, stream);
                return true;
            }
        }
    }
    if (expandPalette) {
        // One index per byte (packing); the plane only where a pixel uses a
        // partly transparent entry.
        std::vector<uint8_t> rgba(4 * static_cast<size_t>(width) * r.height);
        for (png_uint_32 y = 0; y < r.height; ++y) {
            const uint8_t* index = r.whole.data() + r.rowBytes * y;
            uint8_t* out = rgba.data() + 4 * static_cast<size_t>(width) * y;
            for (int x = 0; x < width; ++x) {
                std::memcpy(out + 4 * x, r.paletteRgba + 4 * index[x], 4);
            }
        }
        if (DeliverAlphaPlane(progress, 0, 100, rgba.data(), 4 * static_cast<size_t>(width))) {
            Finish(progress, stream);
            return true;
        }
    }
    DeliverRows(progress, 0, 100, [&](int y, uint8_t* target) {
        const uint8_t* source = nullptr;
        if (whole) {
            source = r.whole.data() + r.rowBytes * static_cast<size_t>(y);
        } else {
            if (!GuardedReadRow(&r, r.row.data())) {
                FailDamaged(CutShort(r.complaint), r.complaint);
            }
            source = r.row.data();
        }
        switch (r.colorType) {
        case PNG_COLOR_TYPE_RGB_ALPHA:
            web::KeyRgbaRow(source, target, width);
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            for (int x = 0; x < width; ++x) {
                target[x] = AlphaGreyLevel(source[2 * x], source[2 * x + 1]);
            }
            break;
        default:
            if (r.depth >= 8) {
                std::memcpy(target, source, static_cast<size_t>(width) * (r.depth / 8));
            } else {
                std::memset(target, 0, CVImage::StrideOf(r.depth, width));
                ForIndexDepth(r.depth, [&](auto depth) {
                    for (int x = 0; x < width; ++x) {
                        OrPixel<decltype(depth)::value>(target, x, source[x]);
                    }
                });
            }
            break;
        }
    });
    Finish(progress, stream);
    return true;
}

// ------------------------------------------------------------------ writing

namespace {

struct PngWriter {
    PngWriter() {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
        if (png != nullptr) {
            info = png_create_info_struct(png);
        }
    }
    ~PngWriter() { png_destroy_write_struct(&png, &info); }
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t> out;
};

// What a written file holds for an image.
struct WriteLayout {
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    png_color palette[256]{};
    int entries = 0;
    png_byte alpha[256]{};
    int alphas = 0;
    png_color_16 key{};
    bool keyed = false;
    bool interlace = false;
    int level = 6;
    png_uint_32 xDensity = 0;
    png_uint_32 yDensity = 0;
};

extern "C" void WriteData(png_structp png, png_bytep data, size_t count) {
    auto* writer = static_cast<PngWriter*>(png_get_io_ptr(png));
    try {
        writer->out.insert(writer->out.end(), data, data + count);
    } catch (const std::bad_alloc&) {
        png_error(png, "out of memory");
    }
}
extern "C" void FlushData(png_structp) {}

// What to write beside the pixels. A profile libpng finds unfit for the
// picture (an RGB profile on grey) is left out with a warning.
struct WriteMetadata {
    MetadataBytes icc;
    MetadataBytes exif;
};

bool GuardedWriteHeader(PngWriter* w, const WriteLayout* l, const WriteMetadata* m,
                        png_uint_32 width, png_uint_32 height) {
    if (setjmp(png_jmpbuf(w->png))) {
        return false;
    }
    png_set_compression_level(w->png, l->level);
    png_set_IHDR(w->png, w->info, width, height, l->bitDepth, l->colorType,
                 l->interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (l->colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(w->png, w->info, l->palette, l->entries);
        if (l->alphas > 0) {
            png_set_tRNS(w->png, w->info, l->alpha, l->alphas, nullptr);
        }
    } else if (l->keyed) {
        png_set_tRNS(w->png, w->info, nullptr, 0, &l->key);
    }
    if (l->xDensity > 0 && l->yDensity > 0) {
        png_set_pHYs(w->png, w->info, l->xDensity, l->yDensity, PNG_RESOLUTION_METER);
    }
    if (!m->icc.Empty() && m->icc.size <= PNG_UINT_31_MAX) {
        png_set_benign_errors(w->png, 1);
        png_set_iCCP(w->png, w->info, "ICC Profile", PNG_COMPRESSION_TYPE_BASE, m->icc.data,
                     static_cast<png_uint_32>(m->icc.size));
    }
    if (!m->exif.Empty() && m->exif.size <= PNG_UINT_31_MAX) {
        png_set_eXIf_1(w->png, w->info, static_cast<png_uint_32>(m->exif.size),
                       const_cast<png_bytep>(m->exif.data));
    }
    png_write_info(w->png, w->info);
    if (l->colorType == PNG_COLOR_TYPE_RGB || l->colorType == PNG_COLOR_TYPE_RGB_ALPHA) {
        png_set_bgr(w->png);
    }
    return true;
}

bool GuardedWriteRows(PngWriter* w, png_bytepp rows, png_uint_32 count) {
    if (setjmp(png_jmpbuf(w->png))) {
        return false;
    }
    png_write_rows(w->png, rows, count);
    return true;
}

bool GuardedWriteImage(PngWriter* w, png_bytepp rows) {
    if (setjmp(png_jmpbuf(w->png))) {
        return false;
    }
    png_set_interlace_handling(w->png);
    png_write_image(w->png, rows);
    return true;
}

bool GuardedWriteEnd(PngWriter* w) {
    if (setjmp(png_jmpbuf(w->png))) {
        return false;
    }
    // Every chunk beside the pixels went out before IDAT. Given the info,
    // libpng would write eXIf a second time after the image data, which
    // makes the file invalid: end with IEND alone.
    png_write_end(w->png, nullptr);
    return true;
}

bool IsBlackWhite(const CVImage& image) {
    const RGBQUAD& a = image.palette[0];
    const RGBQUAD& b = image.palette[1];
    return a.rgbRed == 0 && a.rgbGreen == 0 && a.rgbBlue == 0 && b.rgbRed == 255 &&
           b.rgbGreen == 255 && b.rgbBlue == 255;
}

WriteLayout LayoutFor(const CVImage& image, const PngSettings& settings) {
    WriteLayout l;
    l.level = std::clamp<int>(settings.compressionLevel, 0, 9);
    l.interlace = settings.interlace != 0;
    l.xDensity = static_cast<png_uint_32>(std::max(0, image.header.biXPelsPerMeter));
    l.yDensity = static_cast<png_uint_32>(std::max(0, image.header.biYPelsPerMeter));
    const int depth = image.BitCount();
    const RGBQUAD key = image.transparentColor;
    if (depth == kAlphaBitCount) {
        l.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        return l;
    }
    if (depth == 24) {
        l.keyed = image.hasTransparentColor != 0;
        l.key.red = key.rgbRed;
        l.key.green = key.rgbGreen;
        l.key.blue = key.rgbBlue;
        return l;
    }
    l.bitDepth = depth;
    const bool grey = (depth == 8 && image.IsGrayRamp()) || (depth == 1 && IsBlackWhite(image));
    if (grey) {
        l.colorType = PNG_COLOR_TYPE_GRAY;
        const int index = web::TransparentIndex(image, 1 << depth);
        l.keyed = index >= 0;
        l.key.gray = static_cast<png_uint_16>(std::max(index, 0));
        return l;
    }
    l.colorType = PNG_COLOR_TYPE_PALETTE;
    l.entries =
        std::clamp(std::max<int>(image.paletteCount, web::HighestIndex(image) + 1), 1, 1 << depth);
    for (int i = 0; i < l.entries; ++i) {
        const RGBQUAD& c = image.palette[i];
        l.palette[i] = png_color{c.rgbRed, c.rgbGreen, c.rgbBlue};
    }
    const int index = web::TransparentIndex(image, l.entries);
    if (index >= 0) {
        std::fill(l.alpha, l.alpha + index, png_byte{255});
        l.alpha[index] = 0;
        l.alphas = index + 1;
    }
    return l;
}

} // namespace

SIZE PngCodec::BeginWrite(const CVImage* source, const int* parameter) {
    BeginWriteOf(source, parameter);
    return SIZE{source->Width(), source->Height()};
}

bool PngCodec::Write(CVStream* output, CVProgress* progress, CVImage*) {
    if (image == nullptr) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    const int depth = image->BitCount();
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24 && depth != kAlphaBitCount) {
        host->RaiseImageError(CVImageError::UnsupportedFormat);
    }
    PngWriter writer;
    if (writer.info == nullptr) {
        host->RaiseImageError(CVImageError::OutOfMemory);
    }
    png_set_write_fn(writer.png, &writer, WriteData, FlushData);
    const WriteLayout layout = LayoutFor(*image, *settings);
    const WriteMetadata metadata{IccToWrite(host, image), ExifToWrite(host, image)};
    const auto width = static_cast<png_uint_32>(image->Width());
    const auto height = static_cast<png_uint_32>(image->Height());
    if (!GuardedWriteHeader(&writer, &layout, &metadata, width, height)) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    // libpng copies every row before it transforms it: the image is only read.
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = image->Row(static_cast<int>(y));
    }
    WorkProgress steps(progress, WorkProgress::Pace::OneStep);
    steps.Begin(0, 100, 0, static_cast<int>(height));
    if (layout.interlace) {
        if (!GuardedWriteImage(&writer, rows.data())) {
            host->RaiseImageError(CVImageError::WriteError);
        }
    } else {
        for (png_uint_32 y = 0; y < height; y += kRowsPerWrite) {
            const png_uint_32 count = std::min(kRowsPerWrite, height - y);
            if (!GuardedWriteRows(&writer, rows.data() + y, count)) {
                host->RaiseImageError(CVImageError::WriteError);
            }
            steps.At(y + count);
        }
    }
    if (!GuardedWriteEnd(&writer)) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    WriteBytes(output, writer.out.data(), writer.out.size());
    Finish(progress, output);
    return true;
}

} // namespace pixmill::larch
