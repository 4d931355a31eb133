// The steps of area-averaging one line of samples: worked out once per pass
// and shared by the row pass, the column kernels and the triplet lines.
#pragma once

#include <cstdint>
#include <vector>

namespace pixmill::firscale {

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

} // namespace pixmill::firscale
