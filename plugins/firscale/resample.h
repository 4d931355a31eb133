// Resampling by area average (one line of samples at a time in double
// precision) or by the high-quality Lanczos-3 filter (filter_plan.h), run
// over the rows and then the columns (or the other way round) of 24-bit
// images per colour component, and of 1-, 4- and 8-bit images through their
// palette, mapping the new colours back to the nearest entry; 32-bit
// pictures with their alpha as colours multiplied by alpha and alpha.
#pragma once

#include "line_plan.h"

#include "pixmill/win_types.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pixmill {
class CPluginHost;
class CVImage;
class CVProgress;
} // namespace pixmill

namespace pixmill::firscale {

// The largest size with the source's aspect ratio that fits inside
// width x height. Either side may come out 0 for extreme shapes; creating the
// destination then refuses it.
SIZE FitTargetSize(int sourceWidth, int sourceHeight, int width, int height);

// How samples are combined. AreaAverage is the program's first method, kept
// byte for byte for stored settings; Lanczos3 removes detail too fine for
// the target (no moiré) and keeps edges sharp.
enum class ResampleFilter : uint8_t { AreaAverage = 0, Lanczos3 = 1 };

struct ResampleRequest {
    int width = 0; // target size; fitted when keepAspect is set
    int height = 0;
    bool keepAspect = false;
    bool mayOverwriteSource = false; // the source's pixels may serve as work space
    ResampleFilter filter = ResampleFilter::AreaAverage;
};

// Resamples source into destination (an empty record that receives the
// result). Raises image error 2 for a target side below 1 and 6 above 65535,
// before any work space is taken.
void Resample(CPluginHost* host, const CVImage* source, CVImage* destination, CVProgress* progress,
              const ResampleRequest& request);

} // namespace pixmill::firscale
