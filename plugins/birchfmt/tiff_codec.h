// TiffCodec: reads the first picture of a TIFF file into a CVImage and writes
// a CVImage as a single-picture TIFF file, through libtiff on the host's
// stream. Rows are delivered through the format codec base, bottom-up. An
// image whose transparent colour its pixels use is written as RGB with an
// unassociated alpha sample (0 where the pixel has the transparent colour),
// so the transparency survives; alpha read from a file follows the rule of
// every reader (pixmill/alpha_rule.h).
#pragma once

#include "birchfmt_settings.h"
#include "pixmill/format_codec_base.h"
#include "pixmill/ink_colours.h"
#include "tiff_stream_file.h"

#include <cstdint>
#include <memory>
#include <string>

namespace pixmill::birch {

// How the decoded samples of one pixel become the image's pixel.
enum class SampleLayout {
    Unsupported,
    Packed,       // 1, 4 or 8 bits per pixel: rows copied as they are
    TwoBit,       // 2-bit samples widened to 4-bit pixels
    Gray16,       // one 16-bit grey sample: its high byte
    GrayAlpha,    // 8-bit grey and alpha, blended against level 192
    GrayAlpha16,  // 16-bit grey and alpha: high bytes, blended likewise
    Rgb,          // 8-bit red, green, blue
    Rgb16,        // 16-bit red, green, blue: high bytes
    Rgba,         // 8-bit red, green, blue, alpha, blended against 192
    Rgba16,       // 16-bit red, green, blue, alpha: high bytes, blended likewise
    Cmyk,         // 8- or 16-bit inks, through the file's CMYK profile to sRGB
    PaletteAlpha, // 1-, 2-, 4- or 8-bit palette index and unassociated alpha
    ThroughRgba,  // any other layout libtiff can decode (tiles, planes, CMYK,
                  // YCbCr, associated alpha): its RGBA reader, as 24-bit
};

// What the reader knows about the picture after the header.
struct TiffPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bitsPerSample = 1;
    uint16_t samplesPerPixel = 1;
    uint16_t photometric = 1;
    uint16_t planar = 1;
    uint16_t resolutionUnit = 2;
    float xResolution = 0;
    float yResolution = 0;
    uint32_t rowsPerStrip = 0;
    uint64_t scanlineSize = 0;
    uint64_t bytesPerPixel = 1;
    uint32_t levels = 2;
    bool tiled = false;
    uint32_t tileLength = 0;
    uint16_t sampleFormat = 1;    // 1 unsigned, 2 signed, 3 floating point
    uint16_t extraSampleKind = 0; // of the first extra sample: 1 associated alpha
    uint16_t extraSamples = 0;
    // CMYK inks the strip reader converts (contiguous, 4 samples): 8-bit
    // ones with a CMYK profile Little CMS can use, and 16-bit ones, through
    // their profile or by the standard formula. 8-bit inks without a profile
    // are left to libtiff's RGBA reader, which uses the formula.
    bool inksRead = false;
    // Whether libtiff's RGBA reader can decode the picture, and if not why.
    bool rgbaReadable = false;
    char rgbaRefusal[256] = {};
    uint16_t minSample = 0;
    uint16_t maxSample = 1;
    // Colour map (palette pictures), and whether it holds 16-bit values.
    bool hasColorMap = false;
    bool colorMap16 = false;
    uint16_t mapRed[256] = {};
    uint16_t mapGreen[256] = {};
    uint16_t mapBlue[256] = {};
};

// The image depth (1, 4, 8 or 24) and the sample layout of a picture.
struct TiffClassification {
    int depth = 0;
    SampleLayout layout = SampleLayout::Unsupported;
    bool signedSamples = false; // two's complement samples: the sign bit flipped
};
TiffClassification ClassifyPicture(const TiffPicture& picture);

// Why a picture the classification leaves unsupported cannot be read
// ("TIFF: 32-bit float samples are not supported").
std::string RefusalOf(const TiffPicture& picture);

// The grey ramp of a grey picture of `levels` levels for photometric 0 or 1;
// entries beyond 255 are clamped. A sample range of zero or below falls
// back to the range 0 .. levels - 1.
void BuildGrayRamp(RGBQUAD* palette, uint32_t levels, uint16_t photometric, int minSample,
                   int maxSample);

// Rows per strip of a written file: 8192 bytes' worth of scan lines, at least 1.
uint32_t RowsPerStripFor(uint64_t scanlineSize);

// The PhotometricInterpretation written for an image of 1, 4 or 8 bits.
uint16_t WritePhotometricOf(const CVImage& image);

// Whether the image is written with an alpha sample: it has a transparent
// colour that a palette entry (or, at 24 bits, any pixel) can have, and the
// compression is not a bilevel one.
bool WritesAlpha(const CVImage& image, int32_t compressionChoice);

class TiffCodec : public FormatCodecBase {
  public:
    // settings: the format's stored settings (the compression choice).
    TiffCodec(CFormatPlugin* plugin, CPluginHost* host, const TiffSettings* settings);
    ~TiffCodec() override;

    SIZE BeginWrite(const CVImage* image, const int* parameter) override;
    SIZE ReadHeader(CVImage* image, CVStream* stream, const SIZE* maxSize) override;
    bool ReadPixels(CVProgress* progress) override;
    bool Write(CVStream* stream, CVProgress* progress, CVImage* preview) override;
    void FreeWorkBuffer() override;
    void Release() override;

    const TiffPicture& Picture() const { return picture; }

  private:
    void ReadTags();
    bool ReadStrips(CVProgress* progress);
    bool ReadThroughRgba(CVProgress* progress);
    // After the last row: the stream's size as the written size, libtiff closed.
    void EndReading(CVProgress* progress);
    bool WriteStrips(CVStream* output, CVProgress* progress);
    // The tags of the image being written, its colour map included.
    bool WriteTags(uint16_t photometric, uint32_t rowsPerStrip);
    void WriteRows(uint64_t scanline, uint32_t rowsPerStrip, CVProgress* progress);
    void BuildPalette(const TiffClassification& kind);
    void ConvertRow(const uint8_t* source, uint8_t* target, SampleLayout layout) const;
    void FreeStripBuffer();
    // Ends a failed write: the stream's own error when it threw one, else
    // image error 0.
    [[noreturn]] void FailWriting();

    const TiffSettings* settings;
    std::unique_ptr<TiffStreamFile> file;
    TiffPicture picture;
    uint8_t* stripBuffer = nullptr;
    bool writeAlpha = false;            // the image being written: RGB with alpha
    std::unique_ptr<InkConverter> inks; // a CMYK picture's inks as sRGB
};

} // namespace pixmill::birch
