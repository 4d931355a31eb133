#include "tiff_codec.h"

#include "pixmill/alpha_rule.h"
#include "pixmill/color_order.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/image_metadata.h"
#include "pixmill/plugin_host.h"
#include "pixmill/progress.h"
#include "pixmill/scope_guards.h"
#include "pixmill/stream.h"
#include "pixmill/work_progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace pixmill::birch {

namespace {

constexpr uint32_t kMaxDimension = 65535;

uint8_t HighByte(const uint8_t* sample) {
    uint16_t value; // libtiff hands 16-bit samples over in the machine's byte order
    std::memcpy(&value, sample, sizeof value);
    return static_cast<uint8_t>(value >> 8);
}

// A grey sample with alpha as the sample of the same grey under the alpha
// rule; white-is-zero samples count down from white.
uint8_t GreyAlphaSample(int sample, int alpha, uint16_t photometric) {
    if (photometric == 0) {
        return static_cast<uint8_t>(255 - AlphaGreyLevel(255 - sample, alpha));
    }
    return AlphaGreyLevel(sample, alpha);
}

// A resolution tag as a whole number; nonsense values count as unknown.
int RoundedResolution(float value) {
    if (!(value > 0.0f) || value > 1.0e6f) {
        return 0;
    }
    return static_cast<int>(std::lround(value));
}

RGBQUAD Gray(int level) {
    const auto v = static_cast<uint8_t>(std::clamp(level, 0, 255));
    return RGBQUAD{v, v, v, 0};
}

// A colour map value (8 or 16 bits) as an 8-bit level.
uint8_t MapLevel(const TiffPicture& p, uint16_t value) {
    return static_cast<uint8_t>(p.colorMap16 ? value * 255u / 65535u : value & 0xFF);
}

// Pixel x of a palette scan line with an alpha sample (index and alpha of
// bitsPerSample bits each, packed from the high bit) as red, green, blue,
// alpha: the colour map's entry and the alpha widened to 8 bits.
void PaletteAlphaPixel(const uint8_t* s, uint32_t x, const TiffPicture& p, uint8_t* rgba) {
    const unsigned bits = p.bitsPerSample;
    const unsigned top = (1u << bits) - 1;
    const auto sample = [&](uint64_t n) {
        const uint64_t bit = n * bits;
        return (s[bit / 8] >> (8 - bits - bit % 8)) & top;
    };
    const unsigned index = sample(2 * uint64_t{x});
    rgba[0] = MapLevel(p, p.mapRed[index]);
    rgba[1] = MapLevel(p, p.mapGreen[index]);
    rgba[2] = MapLevel(p, p.mapBlue[index]);
    rgba[3] = static_cast<uint8_t>(sample(2 * uint64_t{x} + 1) * 255 / top);
}

// How many bytes of a scan line one pixel of a layout occupies.
uint64_t SourcePixelBytes(SampleLayout layout, uint16_t samplesPerPixel) {
    switch (layout) {
    case SampleLayout::Gray16:
        return 2;
    case SampleLayout::GrayAlpha:
    case SampleLayout::Rgba:
        return samplesPerPixel;
    case SampleLayout::GrayAlpha16:
    case SampleLayout::Rgba16:
        return 2u * samplesPerPixel;
    case SampleLayout::Rgb:
        return 3;
    case SampleLayout::Rgb16:
        return 6;
    default:
        return 0;
    }
}

} // namespace

// ------------------------------------------------------------ classification

namespace {

// The layouts the strip reader converts itself.
TiffClassification ClassifyStripLayout(const TiffPicture& p) {
    TiffClassification result;
    const uint16_t bits = p.bitsPerSample;
    if (p.photometric == 2) {
        result.depth = 24;
    } else if (bits <= 1) {
        result.depth = 1;
    } else if (bits <= 4) {
        result.depth = 4;
    } else if (bits <= 8) {
        result.depth = 8;
    } else {
        result.depth = 24;
    }
    if (p.tiled || (p.planar == 2 && p.samplesPerPixel > 1)) {
        return result; // separate planes and tiles are not read
    }
    if (p.photometric == PHOTOMETRIC_SEPARATED && p.inksRead) {
        result.depth = 24;
        if (p.scanlineSize >= uint64_t{p.bitsPerSample} / 2 * p.width) {
            result.layout = SampleLayout::Cmyk;
        }
        return result;
    }
    if (p.photometric > 4) {
        return result;
    }
    SampleLayout layout = SampleLayout::Unsupported;
    const uint16_t samples = p.samplesPerPixel;
    if (p.photometric == 2) {
        if (bits == 8 && samples == 3) {
            layout = SampleLayout::Rgb;
        } else if (bits == 8 && samples >= 4) {
            layout = SampleLayout::Rgba;
        } else if (bits == 16 && samples == 3) {
            layout = SampleLayout::Rgb16;
        } else if (bits == 16 && samples >= 4) {
            layout = SampleLayout::Rgba16;
        }
    } else if (samples == 1) {
        if (bits == 1 || bits == 4 || bits == 8) {
            layout = SampleLayout::Packed;
        } else if (bits == 2) {
            layout = SampleLayout::TwoBit;
        } else if (bits == 16 && p.photometric != 3) {
            layout = SampleLayout::Gray16;
            result.depth = 8;
        }
        if (p.photometric == 3 && !p.hasColorMap) {
            layout = SampleLayout::Unsupported;
        }
    } else if (p.photometric == 3) {
        // A palette with an alpha sample: libtiff's RGBA reader would drop
        // the alpha, so the strip reader takes it, as colour with alpha.
        const bool packed = bits == 1 || bits == 2 || bits == 4 || bits == 8;
        if (packed && samples == 2 && p.hasColorMap &&
            p.extraSampleKind == EXTRASAMPLE_UNASSALPHA &&
            p.scanlineSize * 8 >= 2 * uint64_t{bits} * p.width) {
            layout = SampleLayout::PaletteAlpha;
            result.depth = 24;
        }
    } else {
        if (bits == 8) {
            layout = SampleLayout::GrayAlpha;
        } else if (bits == 16) {
            layout = SampleLayout::GrayAlpha16;
            result.depth = 8;
        }
    }
    // Never read past the end of a decoded scan line.
    const uint64_t pixelBytes = SourcePixelBytes(layout, samples);
    if (pixelBytes != 0 && p.scanlineSize < pixelBytes * p.width) {
        layout = SampleLayout::Unsupported;
    }
    result.layout = layout;
    return result;
}

// The strip reader's layout, or Unsupported where it leaves the picture to
// libtiff's RGBA reader: associated alpha is already multiplied into the
// colour, which only the RGBA reader knows.
SampleLayout StripLayoutTaken(const TiffPicture& p, SampleLayout layout) {
    const bool alpha = layout == SampleLayout::GrayAlpha || layout == SampleLayout::GrayAlpha16 ||
                       layout == SampleLayout::Rgba || layout == SampleLayout::Rgba16;
    if (alpha && p.extraSamples > 0 && p.extraSampleKind == EXTRASAMPLE_ASSOCALPHA) {
        return SampleLayout::Unsupported;
    }
    return layout;
}

} // namespace

TiffClassification ClassifyPicture(const TiffPicture& p) {
    TiffClassification result = ClassifyStripLayout(p);
    if (p.sampleFormat == SAMPLEFORMAT_INT) {
        // Two's complement grey or colour: flipping the sign bit keeps the
        // order of the levels. libtiff's RGBA reader would take them as
        // unsigned, so nothing else is read.
        const bool flippable =
            (result.layout == SampleLayout::Packed && p.bitsPerSample == 8 && p.photometric <= 1) ||
            result.layout == SampleLayout::Gray16 || result.layout == SampleLayout::Rgb ||
            result.layout == SampleLayout::Rgb16;
        result.signedSamples = flippable;
        if (!flippable) {
            result.layout = SampleLayout::Unsupported;
        }
        return result;
    }
    if (p.sampleFormat != SAMPLEFORMAT_UINT) {
        result.layout = SampleLayout::Unsupported; // floating point or complex
        return result;
    }
    result.layout = StripLayoutTaken(p, result.layout);
    if (result.layout == SampleLayout::Unsupported && p.rgbaReadable) {
        result.layout = SampleLayout::ThroughRgba;
        result.depth = 24;
    }
    return result;
}

std::string RefusalOf(const TiffPicture& p) {
    char text[400];
    const unsigned bits = p.bitsPerSample;
    if (p.sampleFormat == SAMPLEFORMAT_IEEEFP) {
        std::snprintf(text, sizeof text, "TIFF: %u-bit float samples are not supported", bits);
    } else if (p.sampleFormat == SAMPLEFORMAT_INT) {
        std::snprintf(text, sizeof text, "TIFF: %u-bit signed samples are not supported", bits);
    } else if (p.sampleFormat != SAMPLEFORMAT_UINT) {
        std::snprintf(text, sizeof text, "TIFF: complex samples are not supported");
    } else if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) {
        std::snprintf(text, sizeof text, "TIFF: %u-bit samples are not supported", bits);
    } else if (p.rgbaRefusal[0] != '\0') {
        // The library's own words go last, for those who know them.
        std::snprintf(text, sizeof text,
                      "TIFF: this arrangement of colours is not supported (%u samples of %u "
                      "bits, photometric interpretation %u; the TIFF library says: %s)",
                      static_cast<unsigned>(p.samplesPerPixel), bits,
                      static_cast<unsigned>(p.photometric), p.rgbaRefusal);
    } else {
        std::snprintf(text, sizeof text,
                      "TIFF: %u samples of %u bits with photometric interpretation %u are not "
                      "supported",
                      static_cast<unsigned>(p.samplesPerPixel), bits,
                      static_cast<unsigned>(p.photometric));
    }
    return text;
}

void BuildGrayRamp(RGBQUAD* palette, uint32_t levels, uint16_t photometric, int minSample,
                   int maxSample) {
    int range = maxSample - minSample;
    if (range <= 0) {
        range = static_cast<int>(levels) - 1; // no usable range: the full one
    }
    if (range <= 0) {
        range = 1;
    }
    for (uint32_t k = 0; k < levels && k < 256; ++k) {
        const int level = static_cast<int>(k);
        palette[k] =
            Gray(photometric == 0 ? ((range - level) * 255) / range : (level * 255) / range);
    }
}

uint32_t RowsPerStripFor(uint64_t scanlineSize) {
    if (scanlineSize == 0) {
        return 1;
    }
    return static_cast<uint32_t>(std::max<uint64_t>(1, 8192 / scanlineSize));
}

uint16_t WritePhotometricOf(const CVImage& image) {
    // Black-is-zero and white-is-zero files carry no palette: the pixel values
    // are the grey levels, so they are chosen only when the palette is
    // exactly the ramp the reader will rebuild. Any other palette is written
    // as a colour map, so no colour is lost.
    const int depth = image.BitCount();
    if (depth == 4) {
        return 3;
    }
    const int count = depth == 1 ? 2 : std::min<int>(image.paletteCount, 256);
    if (count == 0) {
        return 1;
    }
    const int top = depth == 1 ? 1 : 255;
    bool ascending = true;
    bool descending = true;
    for (int i = 0; i < count; ++i) {
        const RGBQUAD& c = image.palette[i];
        const int up = depth == 1 ? i * 255 : i;
        const int down = depth == 1 ? (top - i) * 255 : top - i;
        const bool gray = c.rgbRed == c.rgbGreen && c.rgbGreen == c.rgbBlue;
        ascending = ascending && gray && c.rgbRed == up;
        descending = descending && gray && c.rgbRed == down;
    }
    if (ascending) {
        return 1;
    }
    if (descending) {
        return 0;
    }
    return 3;
}

bool WritesAlpha(const CVImage& image, int32_t compressionChoice) {
    return compressionChoice != ChoiceCcitt && compressionChoice != ChoiceHuffman &&
           TransparencyApplies(image);
}

// --------------------------------------------------------------------- codec

TiffCodec::TiffCodec(CFormatPlugin* plugin, CPluginHost* host, const TiffSettings* settings)
    : FormatCodecBase(plugin, host), settings(settings) {}

TiffCodec::~TiffCodec() {
    FreeStripBuffer();
}

void TiffCodec::FreeStripBuffer() {
    if (stripBuffer != nullptr) {
        host->Free(stripBuffer);
        stripBuffer = nullptr;
    }
}

void TiffCodec::FreeWorkBuffer() {
    FreeStripBuffer();
    file.reset();
}

void TiffCodec::Release() {
    delete this;
}

[[noreturn]] void TiffCodec::FailWriting() {
    // The stream's own error says why (the disk is full, ...); libtiff's
    // failure only that something failed.
    const std::exception_ptr cause = file != nullptr ? file->StreamError() : nullptr;
    FreeWorkBuffer();
    if (cause) {
        std::rethrow_exception(cause);
    }
    host->RaiseImageError(CVImageError::WriteError);
    throw CVImageError(CVImageError::WriteError); // not reached: the host throws
}

[[noreturn]] static void Fail(TiffCodec* codec, CPluginHost* host, int code) {
    codec->FreeWorkBuffer();
    host->RaiseImageError(code);
    throw CVImageError(code); // not reached: the host throws
}

// A read error with what libtiff said about it, in brackets after our
// words; without a word from libtiff the host says where reading stopped.
[[noreturn]] static void FailReading(TiffCodec* codec, CPluginHost* host, std::string complaint,
                                     int64_t length) {
    if (complaint.empty()) {
        Fail(codec, host, CVImageError::ReadError);
    }
    // The name libtiff was given for the file says nothing to the user.
    for (size_t named; (named = complaint.find("stream: ")) != std::string::npos;) {
        complaint.erase(named, 8);
    }
    // A directory "at offset N" past the end: the file was cut short.
    const size_t at = complaint.find("at offset ");
    const bool directoryPastEnd =
        at != std::string::npos &&
        std::strtoull(complaint.c_str() + at + 10, nullptr, 10) >= static_cast<uint64_t>(length);
    const bool cutShort = directoryPastEnd || complaint.find("Read error") != std::string::npos ||
                          complaint.find("Premature EOF") != std::string::npos ||
                          complaint.find("Cannot read") != std::string::npos;
    const std::string reason =
        (cutShort ? "the file ends before the TIFF picture does (" : "the TIFF data is damaged (") +
        complaint + ")";
    codec->FreeWorkBuffer();
    host->RaiseImageErrorDetail(CVImageError::ReadError, reason.c_str());
    throw CVImageError(CVImageError::ReadError); // not reached: the host throws
}

void TiffCodec::ReadTags() {
    TIFF* tif = file->get();
    TiffPicture p;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &p.resolutionUnit);
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &p.xResolution);
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &p.yResolution);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &p.bitsPerSample);
    if (p.bitsPerSample == 0) {
        p.bitsPerSample = 1;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &p.samplesPerPixel);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &p.rowsPerStrip);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p.photometric)) {
        p.photometric = 1;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &p.planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_MINSAMPLEVALUE, &p.minSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_MAXSAMPLEVALUE, &p.maxSample);
    p.tiled = TIFFIsTiled(tif) != 0;
    if (p.tiled) {
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &p.tileLength);
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &p.sampleFormat);
    uint16_t extraCount = 0;
    uint16_t* extraKinds = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds) && extraCount > 0 &&
        extraKinds != nullptr) {
        p.extraSamples = extraCount;
        p.extraSampleKind = extraKinds[0];
    }
    p.scanlineSize = TIFFScanlineSize64(tif);
    inks.reset();
    uint16_t inkSet = INKSET_CMYK;
    TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkSet);
    uint32_t profileSize = 0;
    const uint8_t* profile = nullptr;
    if (p.photometric == PHOTOMETRIC_SEPARATED && inkSet == INKSET_CMYK &&
        (p.bitsPerSample == 8 || p.bitsPerSample == 16) && p.samplesPerPixel == 4 &&
        p.sampleFormat == SAMPLEFORMAT_UINT) {
        if (!TIFFGetField(tif, TIFFTAG_ICCPROFILE, &profileSize, &profile)) {
            profile = nullptr;
            profileSize = 0;
        }
        inks = std::make_unique<InkConverter>(profile, profileSize, false, p.bitsPerSample);
        p.inksRead = inks->ThroughProfile() || p.bitsPerSample == 16;
    }
    p.bytesPerPixel = p.width > 0 ? std::max<uint64_t>(1, p.scanlineSize / p.width) : 1;
    p.levels = p.bitsPerSample <= 8 ? 1u << p.bitsPerSample : 256u;

    uint16_t* red = nullptr;
    uint16_t* green = nullptr;
    uint16_t* blue = nullptr;
    if (p.photometric != 2 && p.bitsPerSample <= 8 &&
        TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) && red != nullptr &&
        green != nullptr && blue != nullptr) {
        p.hasColorMap = true;
        for (uint32_t i = 0; i < p.levels; ++i) {
            p.mapRed[i] = red[i];
            p.mapGreen[i] = green[i];
            p.mapBlue[i] = blue[i];
            if (red[i] >= 256 || green[i] >= 256 || blue[i] >= 256) {
                p.colorMap16 = true;
            }
        }
    }
    // Only what the strip reader leaves is asked of libtiff's RGBA reader.
    // Beginning is the whole test: the check alone passes layouts that
    // libtiff then has no row converter for (4-bit RGB).
    const bool stripsRead =
        StripLayoutTaken(p, ClassifyStripLayout(p).layout) != SampleLayout::Unsupported;
    char refusal[1024] = {};
    TIFFRGBAImage probe{};
    p.rgbaReadable = !stripsRead && TIFFRGBAImageOK(tif, refusal) != 0 &&
                     TIFFRGBAImageBegin(&probe, tif, 1, refusal) != 0;
    if (p.rgbaReadable) {
        TIFFRGBAImageEnd(&probe);
    } else if (!stripsRead) {
        // libtiff's message, cut to the field.
        std::snprintf(p.rgbaRefusal, sizeof p.rgbaRefusal, "%.*s",
                      static_cast<int>(sizeof p.rgbaRefusal - 1), refusal);
    }
    picture = p;
}

SIZE TiffCodec::ReadHeader(CVImage* target, CVStream* input, const SIZE* maxSize) {
    FreeWorkBuffer();
    Reset();
    image = target;
    stream = input;
    bottomUp = true;
    picture = TiffPicture{};

    file = std::make_unique<TiffStreamFile>();
    if (!file->OpenForReading(input)) {
        FailReading(this, host, file->LastError(), stream->Seek(0, CVStream::FromEnd));
    }
    ReadTags();
    if (picture.tiled) {
        // libtiff reads small uncompressed tiles only from mapped contents.
        file = std::make_unique<TiffStreamFile>();
        if (!file->OpenForReading(input, true)) {
            FailReading(this, host, file->LastError(), stream->Seek(0, CVStream::FromEnd));
        }
        ReadTags();
    }
    uint32_t profileSize = 0;
    const uint8_t* profile = nullptr;
    // A CMYK profile describes the inks, which are read as sRGB pixels: it
    // is not handed on with them.
    if (TIFFGetField(file->get(), TIFFTAG_ICCPROFILE, &profileSize, &profile) &&
        profile != nullptr &&
        !(picture.photometric == PHOTOMETRIC_SEPARATED && IsCmykProfile(profile, profileSize))) {
        PutIccProfile(host, target, profile, profileSize);
    }
    if (picture.width == 0 || picture.height == 0) {
        Fail(this, host, CVImageError::MismatchedFormat);
    }
    if (picture.width > kMaxDimension || picture.height > kMaxDimension) {
        Fail(this, host, CVImageError::DimensionsTooLarge);
    }
    try {
        CheckPictureSize(picture.width, picture.height);
    } catch (...) {
        FreeWorkBuffer();
        throw;
    }
    const int width = static_cast<int>(picture.width);
    const int height = static_cast<int>(picture.height);
    const TiffClassification kind = ClassifyPicture(picture);
    if (kind.layout == SampleLayout::Unsupported) {
        // Said at once, so that a look at the header tells what reading will do.
        const std::string reason = RefusalOf(picture);
        FreeWorkBuffer();
        host->RaiseImageErrorDetail(CVImageError::UnsupportedFormat, reason.c_str());
    }
    const int colors =
        kind.depth <= 8 ? static_cast<int>(std::min<uint32_t>(picture.levels, 256)) : 0;

    // Alpha follows the rule of every reader (alpha_rule.h): fully
    // transparent pixels take the key colour, kept as the transparent colour.
    TransparencyInfo transparency{};
    const SampleLayout layout = kind.layout;
    if (layout == SampleLayout::Rgba || layout == SampleLayout::Rgba16 ||
        layout == SampleLayout::GrayAlpha || layout == SampleLayout::GrayAlpha16 ||
        layout == SampleLayout::PaletteAlpha ||
        (layout == SampleLayout::ThroughRgba && picture.extraSamples > 0 &&
         picture.extraSampleKind != EXTRASAMPLE_UNSPECIFIED)) {
        transparency = TransparencyInfo{kAlphaKey, 1};
    }

    // A host error (no memory for the pixels): nothing stays open.
    OnExit freeWork([this] { FreeWorkBuffer(); });
    if (maxSize == nullptr) {
        image->Create(width, height, kind.depth, colors, &transparency);
        image->SetResolution(RoundedResolution(picture.xResolution),
                             RoundedResolution(picture.yResolution),
                             picture.resolutionUnit == 3 ? 1 : 0);
    } else if (width > maxSize->cx || height > maxSize->cy) {
        preview = true;
        const SIZE fit = host->FitSize(width, height, maxSize->cx, maxSize->cy);
        image->Create(fit.cx, fit.cy, kind.depth, colors, &transparency);
    } else {
        image->Create(width, height, kind.depth, colors, &transparency);
    }
    freeWork.Dismiss();
    PrepareRows(width, height);
    return SIZE{width, height};
}

void TiffCodec::BuildPalette(const TiffClassification& kind) {
    if (kind.depth > 8) {
        return;
    }
    const TiffPicture& p = picture;
    RGBQUAD* palette = image->palette;
    const uint32_t count = std::min<uint32_t>(p.levels, 256);
    if (p.photometric == 3) {
        for (uint32_t i = 0; i < count; ++i) {
            palette[i] = RGBQUAD{MapLevel(p, p.mapBlue[i]), MapLevel(p, p.mapGreen[i]),
                                 MapLevel(p, p.mapRed[i]), 0};
        }
    } else if (p.bitsPerSample == 1) {
        const RGBQUAD black{0, 0, 0, 0};
        const RGBQUAD white{255, 255, 255, 0};
        palette[0] = p.photometric == 0 ? white : black;
        palette[1] = p.photometric == 0 ? black : white;
    } else if (kind.layout == SampleLayout::Gray16 || kind.layout == SampleLayout::GrayAlpha ||
               kind.layout == SampleLayout::GrayAlpha16) {
        // High bytes of 16-bit samples; grey with alpha is blended as levels.
        BuildGrayRamp(palette, 256, p.photometric, 0, 255);
    } else {
        BuildGrayRamp(palette, count, p.photometric, p.minSample, p.maxSample);
    }
    image->paletteCount = static_cast<uint16_t>(count);
}

void TiffCodec::ConvertRow(const uint8_t* s, uint8_t* t, SampleLayout layout) const {
    const uint32_t width = picture.width;
    const uint64_t step = picture.samplesPerPixel; // bytes per pixel of 8-bit layouts
    switch (layout) {
    case SampleLayout::Packed: {
        std::memcpy(t, s, std::min<uint64_t>(picture.scanlineSize, rowSize));
        // Bits beyond the last pixel are whatever the decoder left: cleared.
        const uint64_t usedBits = uint64_t{width} * picture.bitsPerSample;
        if (usedBits % 8 != 0 && usedBits / 8 < rowSize) {
            t[usedBits / 8] &= static_cast<uint8_t>(0xFF << (8 - usedBits % 8));
        }
        break;
    }
    case SampleLayout::TwoBit: {
        // Four 2-bit pixels per byte become two bytes of two 4-bit pixels.
        const uint32_t targetBytes = (width + 1) / 2;
        for (uint32_t i = 0; 2 * i < targetBytes; ++i) {
            const uint8_t b = s[i];
            t[2 * i] = static_cast<uint8_t>(((b >> 6) & 3) << 4 | ((b >> 4) & 3));
            if (2 * i + 1 < targetBytes) {
                t[2 * i + 1] = static_cast<uint8_t>(((b >> 2) & 3) << 4 | (b & 3));
            }
        }
        if (width % 2 != 0) {
            t[targetBytes - 1] &= 0xF0; // no pixel beyond the last
        }
        break;
    }
    case SampleLayout::Gray16:
        for (uint32_t x = 0; x < width; ++x) {
            t[x] = HighByte(s + 2 * x);
        }
        break;
    case SampleLayout::GrayAlpha:
        for (uint32_t x = 0; x < width; ++x) {
            t[x] = GreyAlphaSample(s[x * step], s[x * step + 1], picture.photometric);
        }
        break;
    case SampleLayout::GrayAlpha16:
        for (uint32_t x = 0; x < width; ++x) {
            t[x] = GreyAlphaSample(HighByte(s + 2 * step * x), HighByte(s + 2 * step * x + 2),
                                   picture.photometric);
        }
        break;
    case SampleLayout::Rgb:
        ReverseColorOrder(s, t, width);
        break;
    case SampleLayout::Rgb16:
        for (uint32_t x = 0; x < width; ++x) {
            t[3 * x] = HighByte(s + 6 * x + 4);
            t[3 * x + 1] = HighByte(s + 6 * x + 2);
            t[3 * x + 2] = HighByte(s + 6 * x);
        }
        break;
    case SampleLayout::Rgba:
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* px = s + step * x;
            PutAlphaPixel(px[0], px[1], px[2], px[3], t + 3 * x);
        }
        break;
    case SampleLayout::Rgba16:
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* px = s + 2 * step * x;
            PutAlphaPixel(HighByte(px), HighByte(px + 2), HighByte(px + 4), HighByte(px + 6),
                          t + 3 * x);
        }
        break;
    case SampleLayout::Cmyk:
        inks->Row(s, t, static_cast<int>(width));
        break;
    case SampleLayout::PaletteAlpha:
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t rgba[4];
            PaletteAlphaPixel(s, x, picture, rgba);
            PutAlphaPixel(rgba[0], rgba[1], rgba[2], rgba[3], t + 3 * x);
        }
        break;
    case SampleLayout::ThroughRgba:
    case SampleLayout::Unsupported:
        break;
    }
}

namespace {

// Two's complement samples to offset binary, in place.
void FlipSignBits(uint8_t* samples, uint64_t count, uint16_t bitsPerSample) {
    if (bitsPerSample == 16) {
        for (uint64_t i = 0; i < count; ++i) {
            uint16_t value;
            std::memcpy(&value, samples + 2 * i, sizeof value);
            value ^= 0x8000;
            std::memcpy(samples + 2 * i, &value, sizeof value);
        }
    } else {
        for (uint64_t i = 0; i < count; ++i) {
            samples[i] ^= 0x80;
        }
    }
}

// One row of libtiff's RGBA raster (0xAABBGGRR, colour already multiplied
// by alpha) as blue, green, red under the alpha rule: white showing through,
// fully transparent pixels the key colour.
void CompositeRgbaRow(const uint32_t* source, uint8_t* target, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t p = source[x];
        uint8_t* t = target + 3 * x;
        const uint32_t a = TIFFGetA(p);
        if (a == 0) {
            t[0] = t[1] = t[2] = kAlphaKeyLevel;
            continue;
        }
        const uint32_t cover = 255 - a;
        t[0] = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetB(p) + cover));
        t[1] = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetG(p) + cover));
        t[2] = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetR(p) + cover));
        if (t[0] == kAlphaKeyLevel && t[1] == kAlphaKeyLevel && t[2] == kAlphaKeyLevel) {
            t[0] = kAlphaKeyLevel + 1;
        }
    }
}

// Whether the strip reader's layout has an alpha sample.
bool HasAlphaSamples(SampleLayout layout) {
    return layout == SampleLayout::GrayAlpha || layout == SampleLayout::GrayAlpha16 ||
           layout == SampleLayout::Rgba || layout == SampleLayout::Rgba16 ||
           layout == SampleLayout::PaletteAlpha;
}

// One scan line of a layout with alpha as 8-bit red, green, blue, alpha
// (16-bit samples keep their high byte; white-is-zero grey counts down from
// white).
void AlphaSamplesToRgba(const uint8_t* s, uint8_t* rgba, SampleLayout layout,
                        const TiffPicture& p) {
    const uint64_t step = p.samplesPerPixel;
    for (uint32_t x = 0; x < p.width; ++x, rgba += 4) {
        if (layout == SampleLayout::PaletteAlpha) {
            PaletteAlphaPixel(s, x, p, rgba);
            continue;
        }
        if (layout == SampleLayout::Rgba || layout == SampleLayout::Rgba16) {
            const bool wide = layout == SampleLayout::Rgba16;
            const uint8_t* px = s + (wide ? 2 : 1) * step * x;
            for (int c = 0; c < 4; ++c) {
                rgba[c] = wide ? HighByte(px + 2 * c) : px[c];
            }
            continue;
        }
        const bool wide = layout == SampleLayout::GrayAlpha16;
        const uint8_t* px = s + (wide ? 2 : 1) * step * x;
        const uint8_t sample = wide ? HighByte(px) : px[0];
        rgba[0] = rgba[1] = rgba[2] = p.photometric == 0 ? 255 - sample : sample;
        rgba[3] = wide ? HighByte(px + 2) : px[1];
    }
}

// Red, green, blue, alpha as the record's row under the alpha rule: grey
// layouts as levels of the picture's grey ramp, colour as blue, green, red.
void RgbaToRuleRow(const uint8_t* rgba, uint8_t* t, uint32_t width, SampleLayout layout,
                   uint16_t photometric) {
    const bool grey = layout == SampleLayout::GrayAlpha || layout == SampleLayout::GrayAlpha16;
    for (uint32_t x = 0; x < width; ++x, rgba += 4) {
        if (grey) {
            const uint8_t level = AlphaGreyLevel(rgba[0], rgba[3]);
            t[x] = photometric == 0 ? static_cast<uint8_t>(255 - level) : level;
        } else {
            PutAlphaPixel(rgba[0], rgba[1], rgba[2], rgba[3], t + 3 * x);
        }
    }
}

// libtiff's RGBA raster (colour multiplied by alpha) as straight red, green,
// blue, alpha.
void UnpremultiplyRaster(const uint32_t* raster, uint8_t* rgba, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i, rgba += 4) {
        const uint32_t p = raster[i];
        const uint32_t a = TIFFGetA(p);
        const auto straight = [a](uint32_t c) {
            return static_cast<uint8_t>(a == 0 ? 0
                                               : std::min<uint32_t>(255, (c * 255 + a / 2) / a));
        };
        rgba[0] = straight(TIFFGetR(p));
        rgba[1] = straight(TIFFGetG(p));
        rgba[2] = straight(TIFFGetB(p));
        rgba[3] = static_cast<uint8_t>(a);
    }
}

} // namespace

bool TiffCodec::ReadPixels(CVProgress* progress) {
    // A user break or a host error: nothing stays open.
    OnExit freeWork([this] { FreeWorkBuffer(); });
    if (file && ClassifyPicture(picture).layout == SampleLayout::ThroughRgba) {
        return ReadThroughRgba(progress);
    }
    return ReadStrips(progress);
}

bool TiffCodec::ReadThroughRgba(CVProgress* progress) {
    TIFF* tif = file->get();
    char message[1024] = {};
    TIFFRGBAImage rgba{};
    // Stop on errors: a damaged strip fails the picture, as in the strip reader.
    if (!TIFFRGBAImageBegin(&rgba, tif, 1, message)) {
        const std::string reason = std::string("TIFF: ") + message;
        FreeWorkBuffer();
        host->RaiseImageErrorDetail(CVImageError::UnsupportedFormat, reason.c_str());
    }
    OnExit end([&rgba] { TIFFRGBAImageEnd(&rgba); });
    rgba.req_orientation = ORIENTATION_TOPLEFT;

    // A band of whole strips or tiles at a time, so none is decoded twice.
    const uint32_t width = picture.width;
    const uint32_t height = picture.height;
    uint32_t band = picture.tiled ? picture.tileLength : picture.rowsPerStrip;
    if (band == 0 || band > height) {
        band = height;
    }
    stripBuffer = static_cast<uint8_t*>(host->Alloc(size_t{width} * band * sizeof(uint32_t)));
    const auto* raster = reinterpret_cast<const uint32_t*>(stripBuffer);

    // A picture with alpha at its own size is decoded whole first: only its
    // pixels tell whether it keeps the alpha plane.
    const bool whole =
        !preview && picture.extraSamples > 0 && picture.extraSampleKind != EXTRASAMPLE_UNSPECIFIED;
    std::vector<uint32_t> all(whole ? size_t{width} * height : 0);
    const size_t targetRowSize = CVImage::StrideOf(24, static_cast<int>(width));
    uint8_t* row =
        whole ? nullptr : BeginRows(progress, 0, 100, static_cast<int>(height), targetRowSize);
    for (uint32_t top = 0; top < height; top += band) {
        const uint32_t rows = std::min(band, height - top);
        rgba.row_offset = static_cast<int>(top);
        rgba.col_offset = 0;
        if (!TIFFRGBAImageGet(&rgba, reinterpret_cast<uint32_t*>(stripBuffer), width, rows)) {
            end.Dismiss(); // ended while libtiff is still open
            TIFFRGBAImageEnd(&rgba);
            FailReading(this, host, file->LastError(), stream->Seek(0, CVStream::FromEnd));
        }
        if (whole) {
            std::memcpy(all.data() + size_t{width} * top, raster, size_t{width} * rows * 4);
            continue;
        }
        for (uint32_t r = 0; r < rows; ++r) {
            CompositeRgbaRow(raster + size_t{width} * r, row, width);
            row = RowWritten(row, progress);
        }
    }
    if (whole) {
        std::vector<uint8_t> straight(all.size() * 4);
        UnpremultiplyRaster(all.data(), straight.data(), all.size());
        if (!DeliverAlphaPlane(progress, 0, 100, straight.data(), 4 * size_t{width})) {
            row = BeginRows(progress, 0, 100, static_cast<int>(height), targetRowSize);
            for (uint32_t y = 0; y < height; ++y) {
                CompositeRgbaRow(all.data() + size_t{width} * y, row, width);
                row = RowWritten(row, progress);
            }
            EndRows(row, progress);
        }
    } else {
        EndRows(row, progress);
    }
    end.Dismiss();
    TIFFRGBAImageEnd(&rgba);
    EndReading(progress);
    return true;
}

void TiffCodec::EndReading(CVProgress* progress) {
    file->Close();
    file.reset();
    FreeStripBuffer();
    if (progress != nullptr) {
        progress->End();
    }
    const int64_t length = stream->Seek(0, CVStream::FromEnd);
    writtenSize = static_cast<int>(std::min<int64_t>(length, std::numeric_limits<int>::max()));
}

bool TiffCodec::ReadStrips(CVProgress* progress) {
    if (!file || image == nullptr) {
        host->RaiseImageError(CVImageError::ReadError);
    }
    const TiffClassification kind = ClassifyPicture(picture);
    if (kind.layout == SampleLayout::Unsupported) {
        Fail(this, host, CVImageError::UnsupportedFormat);
    }
    BuildPalette(kind);

    TIFF* tif = file->get();
    const uint32_t height = picture.height;
    uint32_t rowsPerStrip = picture.rowsPerStrip;
    if (rowsPerStrip == 0 || rowsPerStrip > height) {
        rowsPerStrip = height;
    }
    const uint64_t scanline = picture.scanlineSize;
    const uint64_t stripBytes = scanline * rowsPerStrip;
    if (scanline == 0 || stripBytes > static_cast<uint64_t>(std::numeric_limits<tmsize_t>::max())) {
        Fail(this, host, CVImageError::ReadError);
    }
    stripBuffer = static_cast<uint8_t*>(host->Alloc(static_cast<size_t>(stripBytes)));

    const size_t targetRowSize = CVImage::StrideOf(kind.depth, static_cast<int>(picture.width));
    // A picture with alpha at its own size is decoded whole first: only its
    // pixels tell whether it keeps the alpha plane.
    const bool whole = !preview && HasAlphaSamples(kind.layout);
    const size_t rgbaStride = 4 * size_t{picture.width};
    std::vector<uint8_t> rgba(whole ? rgbaStride * height : 0);
    uint8_t* row =
        whole ? nullptr : BeginRows(progress, 0, 100, static_cast<int>(height), targetRowSize);
    for (uint32_t top = 0; top < height; top += rowsPerStrip) {
        const uint32_t rows = std::min(rowsPerStrip, height - top);
        const auto wanted = static_cast<tmsize_t>(scanline * rows);
        const tmsize_t got =
            TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, top, 0), stripBuffer, wanted);
        if (got != wanted) {
            FailReading(this, host, file->LastError(), stream->Seek(0, CVStream::FromEnd));
        }
        if (kind.signedSamples) {
            FlipSignBits(stripBuffer, scanline * rows / (picture.bitsPerSample / 8),
                         picture.bitsPerSample);
        }
        for (uint32_t r = 0; r < rows; ++r) {
            if (whole) {
                AlphaSamplesToRgba(stripBuffer + scanline * r, rgba.data() + rgbaStride * (top + r),
                                   kind.layout, picture);
                continue;
            }
            ConvertRow(stripBuffer + scanline * r, row, kind.layout);
            row = RowWritten(row, progress);
        }
    }
    if (whole && !DeliverAlphaPlane(progress, 0, 100, rgba.data(), rgbaStride)) {
        row = BeginRows(progress, 0, 100, static_cast<int>(height), targetRowSize);
        for (uint32_t y = 0; y < height; ++y) {
            RgbaToRuleRow(rgba.data() + rgbaStride * y, row, picture.width, kind.layout,
                          picture.photometric);
            row = RowWritten(row, progress);
        }
    }
    if (row != nullptr) {
        EndRows(row, progress);
    }
    EndReading(progress);
    return true;
}

// ------------------------------------------------------------------- writing

SIZE TiffCodec::BeginWrite(const CVImage* source, const int* parameter) {
    FreeWorkBuffer();
    Reset();
    return FormatCodecBase::BeginWrite(source, parameter);
}

bool TiffCodec::Write(CVStream* output, CVProgress* progress, CVImage*) {
    OnExit freeWork([this] { FreeWorkBuffer(); });
    return WriteStrips(output, progress);
}

bool TiffCodec::WriteStrips(CVStream* output, CVProgress* progress) {
    if (image == nullptr) {
        host->RaiseImageError(CVImageError::WriteError);
    }
    stream = output;
    const int depth = image->BitCount();
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24 && depth != kAlphaBitCount) {
        host->RaiseImageError(CVImageError::UnsupportedFormat);
    }
    const int32_t choice = settings != nullptr ? settings->compressionChoice : ChoiceNone;
    if (depth != 1 && (choice == ChoiceCcitt || choice == ChoiceHuffman)) {
        host->RaiseImageErrorDetail(
            CVImageError::WriteError,
            "CCITT and Huffman compression are only for 1-bit (black and white) "
            "images; choose LZW, PackBits or no compression");
    }
    file = std::make_unique<TiffStreamFile>();
    if (!file->OpenForWriting(output)) {
        FailWriting();
    }
    writeAlpha = WritesAlpha(*image, choice);
    const uint16_t photometric = depth == 24 || writeAlpha ? 2 : WritePhotometricOf(*image);
    const int writtenBits = writeAlpha ? 32 : depth;
    const uint64_t scanline = (static_cast<uint64_t>(image->Width()) * writtenBits + 7) / 8;
    const uint32_t rowsPerStrip = RowsPerStripFor(scanline);
    if (!WriteTags(photometric, rowsPerStrip)) {
        FailWriting();
    }
    WriteRows(scanline, rowsPerStrip, progress);
    if (!file->Close()) {
        FailWriting();
    }
    file.reset();
    FreeStripBuffer();
    const int64_t length = stream->Seek(0, CVStream::FromEnd);
    writtenSize = static_cast<int>(std::min<int64_t>(length, std::numeric_limits<int>::max()));
    if (progress != nullptr) {
        progress->End();
    }
    return true;
}

bool TiffCodec::WriteTags(uint16_t photometric, uint32_t rowsPerStrip) {
    TIFF* tif = file->get();
    const int depth = image->BitCount();
    const uint16_t bitsPerSample = depth == 24 || writeAlpha ? 8 : static_cast<uint16_t>(depth);
    const uint16_t samplesPerPixel = writeAlpha ? 4 : depth == 24 ? 3 : 1;
    const uint16_t compression =
        CompressionTagOf(settings != nullptr ? settings->compressionChoice : ChoiceNone);
    auto dotsPerInch = [](int32_t dotsPerMetre) {
        return dotsPerMetre > 0 ? std::floor(dotsPerMetre * 2.54 * 0.01 + 0.5) : 0.0;
    };
    const bool ok =
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0) &&
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image->Width())) &&
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image->Height())) &&
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bitsPerSample) &&
        TIFFSetField(tif, TIFFTAG_COMPRESSION, compression) &&
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric) &&
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samplesPerPixel) &&
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    // An unknown resolution is left out rather than written as 0 dpi.
    const bool resolutionKnown = dotsPerInch(image->header.biXPelsPerMeter) > 0 &&
                                 dotsPerInch(image->header.biYPelsPerMeter) > 0;
    const bool resolutionOk =
        !resolutionKnown ||
        (TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
         TIFFSetField(tif, TIFFTAG_XRESOLUTION, dotsPerInch(image->header.biXPelsPerMeter)) &&
         TIFFSetField(tif, TIFFTAG_YRESOLUTION, dotsPerInch(image->header.biYPelsPerMeter)));
    // EXIF is not written: libtiff keeps it as parsed fields of its own
    // directory, not as the bytes the host holds.
    const MetadataBytes icc = IccToWrite(host, image);
    const bool profileOk =
        icc.Empty() || icc.size > UINT32_MAX ||
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(icc.size), icc.data);
    const uint16_t alphaKind = EXTRASAMPLE_UNASSALPHA;
    const bool alphaOk = !writeAlpha || TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &alphaKind);
    if (!ok || !resolutionOk || !profileOk || !alphaOk) {
        return false;
    }
    if (photometric != 3) {
        return true;
    }
    const size_t entries = size_t{1} << depth;
    auto* map = reinterpret_cast<uint16_t*>(host->ScratchAlloc(3 * entries * sizeof(uint16_t)));
    if (map == nullptr) {
        Fail(this, host, CVImageError::OutOfMemory);
    }
    uint16_t* red = map;
    uint16_t* green = map + entries;
    uint16_t* blue = map + 2 * entries;
    for (size_t i = 0; i < entries; ++i) {
        red[i] = static_cast<uint16_t>(image->palette[i].rgbRed * 257);
        green[i] = static_cast<uint16_t>(image->palette[i].rgbGreen * 257);
        blue[i] = static_cast<uint16_t>(image->palette[i].rgbBlue * 257);
    }
    return TIFFSetField(tif, TIFFTAG_COLORMAP, red, green, blue) != 0;
}

void TiffCodec::WriteRows(uint64_t scanline, uint32_t rowsPerStrip, CVProgress* progress) {
    TIFF* tif = file->get();
    const int depth = image->BitCount();
    const uint32_t width = static_cast<uint32_t>(image->Width());
    const uint32_t height = static_cast<uint32_t>(image->Height());
    stripBuffer = static_cast<uint8_t*>(host->Alloc(static_cast<size_t>(scanline * rowsPerStrip)));
    WorkProgress rowsDone(progress, WorkProgress::Pace::OneStep);
    rowsDone.Begin(0, 100, 0, static_cast<int>(height));
    for (uint32_t top = 0; top < height; top += rowsPerStrip) {
        const uint32_t rows = std::min(rowsPerStrip, height - top);
        for (uint32_t r = 0; r < rows; ++r) {
            // Top row first; colours in the file's red, green, blue order.
            const uint8_t* from = image->Row(static_cast<int>(top + r));
            uint8_t* to = stripBuffer + scanline * r;
            if (writeAlpha) {
                RgbaRowOf(*image, static_cast<int>(top + r), to);
            } else if (depth == 24) {
                ReverseColorOrder(from, to, width);
            } else {
                std::memcpy(to, from, static_cast<size_t>(scanline));
            }
            rowsDone.At(top + r + 1);
        }
        if (TIFFWriteEncodedStrip(tif, TIFFComputeStrip(tif, top, 0), stripBuffer,
                                  static_cast<tmsize_t>(scanline * rows)) == -1) {
            FailWriting();
        }
    }
}

} // namespace pixmill::birch
