// Conversion between colour models: the target a conversion code selects,
// grey conversion, expansion of paletted images, and the whole conversion
// that picks its path from the source and the target.
#pragma once

#include "cedarcol_settings.h"
#include "pixmill/cv_image.h"
#include "pixmill/win_types.h"

namespace pixmill {
class CPluginHost;
class CVProgress;
class WorkProgress;
} // namespace pixmill

namespace pixmill::cedarcol {

struct ConversionTarget {
    int colors; // 0 for 24-bit targets
    int bits;   // 1, 4, 8 or 24
    bool grey;
};

ConversionTarget TargetOf(int conversionCode, int colorCount);

// Everything a conversion reads besides the two images.
struct ConversionParameters {
    QorelColorInfo info{};
    int ditherLevel = kDefaultDitherLevel;
    int tolerance = kDefaultTolerance;
    bool highQuality = false;
    // The palette used when info.fixedPalette is set (at least 256 entries).
    const RGBQUAD* fixedPalette = nullptr;
};

// Converts source into destination as the conversion code of params says.
// Raises image errors through the host; temporary images are released on
// every way out. Always ends the progress.
void ConvertColors(CPluginHost* host, const CVImage& source, CVImage& destination,
                   CVProgress* progress, const ConversionParameters& params);

// Unpacks a 1-, 4- or 8-bit image into 8-bit indices (keeping the palette) or
// into 24-bit colours; a 24-bit source is copied.
void ExpandImage(const CVImage& source, CVImage& destination, int bits, int colorCount,
                 const TransparencyInfo& transparency, WorkProgress& band);

// An 8- or 24-bit image to 8-bit grey with a grey ramp palette.
void ConvertToGrey(const CVImage& source, CVImage& destination,
                   const TransparencyInfo& transparency, WorkProgress& band);

} // namespace pixmill::cedarcol
