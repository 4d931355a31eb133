// The high-quality filter's steps for one line: for every output sample the
// run of input samples under a Lanczos-3 kernel and their weights, worked
// out once per pass. Reducing, the kernel is widened by the reduction
// factor, so each output sample sees every input sample that falls within
// three of its own widths: detail finer than the output can hold is removed
// instead of folding back as moiré. Weights are 14-bit fixed point and each
// output's weights add up to exactly 1 << 14, so flat areas stay flat.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pixmill::firscale {

class FilterPlan {
  public:
    static constexpr int kShift = 14;

    FilterPlan(int inCount, int outCount);

    int InCount() const { return inCount; }
    int OutCount() const { return outCount; }
    // The first input sample of output i and how many follow it.
    int First(int i) const { return first[static_cast<size_t>(i)]; }
    int Taps(int i) const { return taps[static_cast<size_t>(i)]; }
    // The weights of output i, Taps(i) of them.
    const int16_t* Weights(int i) const {
        return weights.data() + static_cast<size_t>(i) * static_cast<size_t>(stride);
    }
    int MaxTaps() const { return stride; }

  private:
    int inCount;
    int outCount;
    int stride = 0; // weights stored per output sample
    std::vector<int32_t> first;
    std::vector<int32_t> taps;
    std::vector<int16_t> weights;
};

// Lanczos-3: sinc(x) sinc(x / 3) for |x| < 3, else 0.
double Lanczos3(double x);

// A sum of weighted samples (kShift fraction bits) as a byte, rounded and
// limited to 0..255 (the kernel's negative lobes can overshoot).
inline uint8_t FinishFiltered(int32_t sum) {
    const int32_t value = (sum + (1 << (FilterPlan::kShift - 1))) >> FilterPlan::kShift;
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

} // namespace pixmill::firscale
