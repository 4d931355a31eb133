#include "column_kernels.h"

#include "filter_plan.h"
#include "line_plan.h"
#include "triplet_lines.h"

namespace pixmill::firscale {

namespace {

[[gnu::always_inline]] inline void AddLastBody(double* sum, const uint8_t* current, double weight,
                                               size_t count) {
    for (size_t p = 0; p < count; ++p) {
        sum[p] += current[p] * weight;
    }
}
[[gnu::always_inline]] inline void AddBlendBody(double* sum, const uint8_t* current,
                                                const uint8_t* next, double keep, double take,
                                                double weight, size_t count) {
    for (size_t p = 0; p < count; ++p) {
        sum[p] += (current[p] * keep + next[p] * take) * weight;
    }
}
[[gnu::always_inline]] inline void FinishBody(double* sum, uint8_t* target, double scale,
                                              size_t count) {
    for (size_t p = 0; p < count; ++p) {
        target[p] = FinishSample(sum[p], scale);
        sum[p] = 0.5;
    }
}

void AddLast(double* sum, const uint8_t* current, double weight, size_t count) {
    AddLastBody(sum, current, weight, count);
}
void AddBlend(double* sum, const uint8_t* current, const uint8_t* next, double keep, double take,
              double weight, size_t count) {
    AddBlendBody(sum, current, next, keep, take, weight, count);
}
void Finish(double* sum, uint8_t* target, double scale, size_t count) {
    FinishBody(sum, target, scale, count);
}
[[gnu::target("avx2")]] void AddLastWide(double* sum, const uint8_t* current, double weight,
                                         size_t count) {
    AddLastBody(sum, current, weight, count);
}
[[gnu::target("avx2")]] void AddBlendWide(double* sum, const uint8_t* current, const uint8_t* next,
                                          double keep, double take, double weight, size_t count) {
    AddBlendBody(sum, current, next, keep, take, weight, count);
}
[[gnu::target("avx2")]] void FinishWide(double* sum, uint8_t* target, double scale, size_t count) {
    FinishBody(sum, target, scale, count);
}

[[gnu::always_inline]] inline void FilterAddBody(int32_t* sum, const uint8_t* current,
                                                 int32_t weight, size_t count, bool first) {
    if (first) {
        for (size_t p = 0; p < count; ++p) {
            sum[p] = current[p] * weight;
        }
        return;
    }
    for (size_t p = 0; p < count; ++p) {
        sum[p] += current[p] * weight;
    }
}
[[gnu::always_inline]] inline void FilterFinishBody(const int32_t* sum, uint8_t* target,
                                                    size_t count) {
    for (size_t p = 0; p < count; ++p) {
        target[p] = FinishFiltered(sum[p]);
    }
}
[[gnu::always_inline]] inline void FilterRowBody(const FilterPlan& plan, const uint8_t* in,
                                                 uint8_t* out) {
    for (int i = 0; i < plan.OutCount(); ++i) {
        const uint8_t* from = in + static_cast<size_t>(plan.First(i)) * 3;
        const int16_t* w = plan.Weights(i);
        int32_t b = 0, g = 0, r = 0;
        for (int t = 0; t < plan.Taps(i); ++t, from += 3) {
            b += from[0] * w[t];
            g += from[1] * w[t];
            r += from[2] * w[t];
        }
        *out++ = FinishFiltered(b);
        *out++ = FinishFiltered(g);
        *out++ = FinishFiltered(r);
    }
}

void FilterAdd(int32_t* sum, const uint8_t* current, int32_t weight, size_t count, bool first) {
    FilterAddBody(sum, current, weight, count, first);
}
void FilterFinish(const int32_t* sum, uint8_t* target, size_t count) {
    FilterFinishBody(sum, target, count);
}
void FilterRow(const FilterPlan& plan, const uint8_t* in, uint8_t* out) {
    FilterRowBody(plan, in, out);
}
[[gnu::target("avx2")]] void FilterAddWide(int32_t* sum, const uint8_t* current, int32_t weight,
                                           size_t count, bool first) {
    FilterAddBody(sum, current, weight, count, first);
}
[[gnu::target("avx2")]] void FilterFinishWide(const int32_t* sum, uint8_t* target, size_t count) {
    FilterFinishBody(sum, target, count);
}
[[gnu::target("avx2")]] void FilterRowWide(const FilterPlan& plan, const uint8_t* in,
                                           uint8_t* out) {
    FilterRowBody(plan, in, out);
}

} // namespace

FilterColumnKernels FilterColumnKernelsFor(bool wide) {
    if (wide && HasWideLanes()) {
        return {FilterAddWide, FilterFinishWide, FilterRowWide};
    }
    return {FilterAdd, FilterFinish, FilterRow};
}

ColumnKernels ColumnKernelsFor(bool wide) {
    if (wide && HasWideLanes()) {
        return {AddLastWide, AddBlendWide, FinishWide};
    }
    return {AddLast, AddBlend, Finish};
}

} // namespace pixmill::firscale
