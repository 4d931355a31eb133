#include "line_plan.h"

#include <cstddef>
#include <cstring>

namespace pixmill::firscale {

LinePlan::LinePlan(int inCount, int outCount)
    : inCount(inCount), outCount(outCount),
      scale(static_cast<double>(outCount) / static_cast<double>(inCount)) {
    if (inCount == outCount) {
        return;
    }
    const double unit = 1.0 / scale;
    double frac = 1.0;  // unused part of the current input sample
    double need = unit; // input length still missing for the current output sample
    int index = 0;
    int produced = 0;
    steps.reserve(static_cast<size_t>(inCount) + static_cast<size_t>(outCount) + 2);
    while (produced < outCount) {
        Step step{};
        step.index = index;
        step.last = index == inCount - 1;
        step.keep = frac;
        step.take = 1.0 - frac;
        if (frac < need) {
            step.weight = frac;
            need -= frac;
            frac = 1.0;
            // Rounding may ask for a little more than the line holds: the
            // last sample then serves again.
            if (index < inCount - 1) {
                ++index;
            }
        } else {
            step.weight = need;
            step.completes = true;
            frac -= need;
            need = unit;
            ++produced;
        }
        steps.push_back(step);
    }
}

void LinePlan::Run(const uint8_t* in, uint8_t* out, int channels) const {
    if (IsCopy()) {
        std::memmove(out, in, static_cast<size_t>(inCount) * static_cast<size_t>(channels));
        return;
    }
    double sum[4] = {0.5, 0.5, 0.5, 0.5};
    for (const Step& step : steps) {
        const uint8_t* current = in + static_cast<size_t>(step.index) * channels;
        if (step.last) {
            for (int k = 0; k < channels; ++k) {
                sum[k] += current[k] * step.weight;
            }
        } else {
            const uint8_t* next = current + channels;
            for (int k = 0; k < channels; ++k) {
                sum[k] += (current[k] * step.keep + next[k] * step.take) * step.weight;
            }
        }
        if (step.completes) {
            for (int k = 0; k < channels; ++k) {
                *out++ = FinishSample(sum[k], scale);
                sum[k] = 0.5;
            }
        }
    }
}

} // namespace pixmill::firscale
