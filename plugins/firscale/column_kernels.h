// The column pass's three row loops: a row of sums gets one input row
// (the last one of the column) or a blend of two, and a finished row of sums
// becomes bytes. The bodies are written once and compiled twice: for any
// x86-64, and with 256-bit vectors; both take the same steps per value, so
// they give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixmill::firscale {

struct ColumnKernels {
    // sum[p] += current[p] * weight
    void (*addLast)(double* sum, const uint8_t* current, double weight, size_t count);
    // sum[p] += (current[p] * keep + next[p] * take) * weight
    void (*addBlend)(double* sum, const uint8_t* current, const uint8_t* next, double keep,
                     double take, double weight, size_t count);
    // target[p] = FinishSample(sum[p], scale), and the sums start again at 0.5
    void (*finish)(double* sum, uint8_t* target, double scale, size_t count);
};

// The 256-bit kernels when wide and the processor has them, else the others.
ColumnKernels ColumnKernelsFor(bool wide);

// The high-quality filter's column pass: a row of 32-bit sums gets one input
// row times its weight, and a finished row becomes bytes.
class FilterPlan;

struct FilterColumnKernels {
    // sum[p] = current[p] * weight (first) or sum[p] += current[p] * weight
    void (*add)(int32_t* sum, const uint8_t* current, int32_t weight, size_t count, bool first);
    // target[p] = FinishFiltered(sum[p])
    void (*finish)(const int32_t* sum, uint8_t* target, size_t count);
    // Filters count blue-green-red triplets of one row along it (plan's
    // input and output counts).
    void (*row)(const FilterPlan& plan, const uint8_t* in, uint8_t* out);
};

FilterColumnKernels FilterColumnKernelsFor(bool wide);

} // namespace pixmill::firscale
