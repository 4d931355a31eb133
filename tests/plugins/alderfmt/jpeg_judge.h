// libjpeg as an independent judge of the files we write, and as a maker of
// test files our encoder cannot write (CMYK, restart markers). Also helpers
// for running the codec on memory.
#pragma once

#include "host/streams.h"
#include "pixmill/cv_image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pixmill {
class CPluginHost;
}

namespace pixmill::test {

struct JudgedImage {
    bool ok = false;
    std::string error; // libjpeg's message when not ok
    int warnings = 0;  // libjpeg warnings while decoding
    int width = 0, height = 0, components = 0;
    bool progressive = false;
    int scans = 0;              // scans seen (buffered decoding only)
    uint16_t quant[2][64] = {}; // natural order
    int densityUnit = 0, xDensity = 0, yDensity = 0;
    std::vector<uint8_t> pixels; // top-down, components bytes a pixel (R, G, B)
};

struct JudgeOptions {
    bool fancyUpsampling = true;
    bool fastIdct = false;
    int stopAtScan = 0; // > 0: buffered-image output of the picture up to this scan
    bool blockSmoothing = true;
};

JudgedImage JudgeDecode(const std::vector<uint8_t>& file, const JudgeOptions& options = {});

// A progressive display with libjpeg's buffered-image mode and block
// smoothing: one output pass per target scan (0: everything the file holds),
// each started once the input reached the target scan, ending early once the
// last pass showed the final scan. Returns the
// picture after each pass.
std::vector<JudgedImage> JudgeDisplay(const std::vector<uint8_t>& file,
                                      const std::vector<int>& targets);

// Encodes with libjpeg: components 1 (grey), 3 (RGB input) or 4 (CMYK
// input, coded as YCCK with ycck).
std::vector<uint8_t> LibjpegEncode(int width, int height, int components,
                                   const std::vector<uint8_t>& pixels, int quality,
                                   bool progressive, int restartRows = 0, bool ycck = false);

// Peak signal-to-noise ratio of the judged pixels against a CVImage (24-bit
// or 8-bit grey through its palette).
double Psnr(const JudgedImage& judged, const CVImage& source);

// Pictures for the tests: smooth gradients with some detail, and noise.
void FillPicture(CVImage& image, uint32_t seed);
void FillNoise(CVImage& image, uint32_t seed);
// A 256-entry grey ramp palette on an 8-bit image.
void MakeGrey(CVImage& image);

// A memory stream holding the bytes, positioned at the start.
std::vector<uint8_t> StreamBytes(const MemoryStream& stream);
void LoadStream(MemoryStream& stream, const std::vector<uint8_t>& bytes);

} // namespace pixmill::test
