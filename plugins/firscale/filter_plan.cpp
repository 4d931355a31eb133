#include "filter_plan.h"

#include <algorithm>
#include <cmath>

namespace pixmill::firscale {

double Lanczos3(double x) {
    x = std::fabs(x);
    if (x < 1e-9) {
        return 1.0;
    }
    if (x >= 3.0) {
        return 0.0;
    }
    const double px = M_PI * x;
    return 3.0 * std::sin(px) * std::sin(px / 3.0) / (px * px);
}

FilterPlan::FilterPlan(int inCount, int outCount) : inCount(inCount), outCount(outCount) {
    const double ratio = static_cast<double>(inCount) / outCount; // input samples per output
    const double widen = std::max(1.0, ratio);                    // kernel stretch when reducing
    const double support = 3.0 * widen;
    stride = static_cast<int>(std::ceil(support)) * 2 + 1;
    first.resize(static_cast<size_t>(outCount));
    taps.resize(static_cast<size_t>(outCount));
    weights.assign(static_cast<size_t>(outCount) * static_cast<size_t>(stride), 0);
    std::vector<double> exact(static_cast<size_t>(stride));
    for (int i = 0; i < outCount; ++i) {
        // Sample centres line up: output i covers input (i .. i + 1) * ratio.
        const double centre = (i + 0.5) * ratio - 0.5;
        int from = static_cast<int>(std::floor(centre - support)) + 1;
        int to = static_cast<int>(std::ceil(centre + support)) - 1;
        from = std::max(from, 0);
        to = std::min(to, inCount - 1);
        if (to - from + 1 > stride) {
            to = from + stride - 1;
        }
        // Near the edges the kernel is cut off; the samples that remain
        // share the whole weight.
        double total = 0;
        for (int j = from; j <= to; ++j) {
            exact[static_cast<size_t>(j - from)] = Lanczos3((j - centre) / widen);
            total += exact[static_cast<size_t>(j - from)];
        }
        int16_t* w = weights.data() + static_cast<size_t>(i) * static_cast<size_t>(stride);
        int sum = 0, largest = 0;
        for (int j = 0; j <= to - from; ++j) {
            w[j] = static_cast<int16_t>(std::lround(exact[static_cast<size_t>(j)] / total *
                                                    (1 << kShift)));
            sum += w[j];
            largest = w[j] > w[largest] ? j : largest;
        }
        w[largest] = static_cast<int16_t>(w[largest] + ((1 << kShift) - sum));
        first[static_cast<size_t>(i)] = from;
        taps[static_cast<size_t>(i)] = to - from + 1;
    }
}

} // namespace pixmill::firscale
