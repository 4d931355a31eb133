// TIFF files for the tests, made and judged with libtiff's own API in memory,
// and small drivers that run our codec on them.
#pragma once

#include "pixmill/cv_image.h"
#include "pixmill/win_types.h"
#include "tiff_codec.h"

#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace pixmill::test {

using ByteVector = std::vector<uint8_t>;

// A picture to write with libtiff. sample(x, y, s) gives sample s of pixel
// (x, y) as a value of bitsPerSample bits.
struct TiffSpec {
    uint32_t width = 16;
    uint32_t height = 12;
    uint16_t bitsPerSample = 8;
    uint16_t samplesPerPixel = 1;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint32_t rowsPerStrip = 0; // 0: libtiff's default
    std::vector<uint16_t> extraSamples;
    std::vector<uint16_t> red, green, blue; // colour map when not empty
    int minSample = -1, maxSample = -1;     // written when >= 0
    float xResolution = 0, yResolution = 0; // written when > 0
    uint16_t resolutionUnit = RESUNIT_INCH;
    int pages = 1; // further pages hold the inverted samples
    bool tiled = false;
    uint32_t tileSize = 32;
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    // Further tags, set after the others (JPEG colour mode, ...).
    std::function<void(TIFF*)> moreTags;
    std::function<uint32_t(uint32_t x, uint32_t y, uint32_t s)> sample;
};

ByteVector MakeTiff(const TiffSpec& spec);

// libtiff's RGBA reader as the independent judge: 0xAABBGGRR per pixel,
// top row first. Empty when libtiff cannot read the file.
std::vector<uint32_t> ReadRgbaWithLibtiff(const ByteVector& file);

// A tag of the first directory, read with libtiff (0 when missing).
uint32_t TagOf(const ByteVector& file, ttag_t tag);
float FloatTagOf(const ByteVector& file, ttag_t tag);
// Whether the file holds the tag (XResolution, YResolution or ResolutionUnit).
bool HasTag(const ByteVector& file, ttag_t tag);
bool HasColorMap(const ByteVector& file);

// Runs our reader on a file (with an optional fit box); throws what it throws.
void ReadWithCodec(CPluginHost* host, const ByteVector& file, CVImage& image,
                   const SIZE* box = nullptr, CVProgress* progress = nullptr,
                   bool headerOnly = false);
// Runs our writer with a compression choice.
ByteVector WriteWithCodec(CPluginHost* host, const CVImage& image, int32_t choice,
                          CVProgress* progress = nullptr);

// The colour of pixel (x, y) as 0xRRGGBB, through the palette when there is one.
uint32_t ColorAt(const CVImage& image, int x, int y);
// libtiff's 0xAABBGGRR as 0xRRGGBB.
uint32_t RgbOf(uint32_t abgr);

} // namespace pixmill::test
