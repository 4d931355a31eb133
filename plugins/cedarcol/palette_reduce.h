// Reduction of 24-bit images to 1, 4 or 8 bits per pixel: the fixed
// palettes, the adaptive palette by median cut over a 64 x 64 x 64 colour
// histogram, web-colour snapping, and pixel mapping either directly or by
// serpentine Floyd-Steinberg error diffusion with a limited error.
#pragma once

#include "pixmill/cv_image.h"
#include "pixmill/win_types.h"

#include <cstddef>
#include <cstdint>

namespace pixmill {
class CPluginHost;
class WorkProgress;
} // namespace pixmill

namespace pixmill::cedarcol {

// Histogram cells [blue >> 2][green >> 2][red >> 2], 16 bits each; after the
// palette is chosen the same cells hold the inverse colour map.
constexpr size_t kHistogramCells = 64 * 64 * 64;
constexpr size_t kHistogramBytes = kHistogramCells * sizeof(uint16_t);

// Grey levels of colours, in 16.16 fixed point per component value.
struct LuminanceTables {
    int red[256], green[256], blue[256];
    LuminanceTables() {
        for (int i = 0; i < 256; ++i) {
            red[i] = 19595 * i;
            green[i] = 38470 * i;
            blue[i] = 7471 * i;
        }
    }
    uint8_t Grey(int r, int g, int b) const {
        return static_cast<uint8_t>((red[r] + green[g] + blue[b]) >> 16);
    }
};

// Fills planes with the fixed palette of a palette kind and returns its entry
// count (256 or 216); 0 (planes untouched) for the adaptive kind or an
// unknown one. Entries are written blue, green, red from the first, second
// and third plane of the palette tables.
int LoadFixedPalette(int kind, RGBQUAD* planes);

// Counts every pixel of a 24-bit image into cells (cleared by the caller);
// pixels equal to *skip are not counted. Counts saturate at 65535.
void CountColors(const CVImage& source, uint16_t* cells, const RGBQUAD* skip);

// Median cut of the histogram into at most wanted boxes; writes each box's
// colour to palette[0 .. boxes - 1] and returns the number of boxes.
int MedianCut(const uint16_t* cells, int wanted, RGBQUAD* palette);

// Snaps one component to the nearest web level within tolerance (0..25).
uint8_t SnapToWebLevel(int value, int tolerance);

// The error-limit table of a dither level (1..10; above 10 counts as 8) for
// errors -255..255: limit[255 + e].
void BuildErrorLimit(int level, bool oneBit, int* limit);

struct ReductionOptions {
    int colors = 256;                      // requested colour count
    int bits = 8;                          // 1, 4 or 8
    int ditherLevel = 0;                   // 0: map directly
    int tolerance = 0;                     // web snapping of adaptive colours
    bool highQuality = false;              // adaptive palettes by the finer, slower search
    int threshold = 128;                   // 1-bit direct mapping
    const RGBQUAD* fixedPalette = nullptr; // null: adaptive palette
    TransparencyInfo transparency{};       // the destination's transparent colour
};

// Reduces a 24-bit source into destination (created here). cells: the
// histogram block. Raises image error 4 when scratch memory runs out.
void ReduceColors(CPluginHost* host, uint16_t* cells, const CVImage& source, CVImage& destination,
                  const ReductionOptions& options, WorkProgress& band);

} // namespace pixmill::cedarcol
