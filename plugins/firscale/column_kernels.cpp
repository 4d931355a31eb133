#include "column_kernels.h"

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

} // namespace

ColumnKernels ColumnKernelsFor(bool wide) {
    if (wide && HasWideLanes()) {
        return {AddLastWide, AddBlendWide, FinishWide};
    }
    return {AddLast, AddBlend, Finish};
}

} // namespace pixmill::firscale
