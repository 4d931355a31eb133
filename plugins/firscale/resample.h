// Area-averaging resampling: one line of samples at a time in double
// precision, run over the rows and then the columns (or the other way round)
// of 24-bit images per colour component, and of 1-, 4- and 8-bit images
// through their palette, mapping averaged colours back to the nearest entry.
#pragma once

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

// How one line of inCount samples becomes outCount samples. Every line of a
// pass takes the same steps, so they are worked out once per pass.
class LinePlan {
  public:
    LinePlan(int inCount, int outCount);

    struct Step {
        int32_t index;  // current input sample
        bool last;      // the current sample is the last one: no blend
        bool completes; // this step completes an output sample
        double keep;    // weight of the current sample in the blend (its unused part)
        double take;    // weight of the next sample in the blend
        double weight;  // how much of the blended value goes into the sum
    };

    bool IsCopy() const { return inCount == outCount; }
    int InCount() const { return inCount; }
    int OutCount() const { return outCount; }
    double Scale() const { return scale; }
    const std::vector<Step>& Steps() const { return steps; }

    // Resamples `channels` interleaved components of one line; in and out are
    // contiguous (channels bytes per sample).
    void Run(const uint8_t* in, uint8_t* out, int channels) const;

  private:
    int inCount;
    int outCount;
    double scale;
    std::vector<Step> steps;
};

// The output value of a finished sum (the sum started at 0.5).
inline uint8_t FinishSample(double sum, double scale) {
    const double value = sum * scale;
    return value >= 255.0 ? 255 : static_cast<uint8_t>(value);
}

struct ResampleRequest {
    int width = 0; // target size; fitted when keepAspect is set
    int height = 0;
    bool keepAspect = false;
    bool mayOverwriteSource = false; // the source's pixels may serve as work space
};

// Resamples source into destination (an empty record that receives the
// result). Raises image error 2 for a target side below 1 and 6 above 65535,
// before any work space is taken.
void Resample(CPluginHost* host, const CVImage* source, CVImage* destination, CVProgress* progress,
              const ResampleRequest& request);

} // namespace pixmill::firscale
