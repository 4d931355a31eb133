#include "triplet_lines.h"

#include <algorithm>
#include <cstring>

namespace pixmill::firscale {

namespace {

constexpr int kLanes = TripletLines::kLines;
constexpr int kComponents = 3;
constexpr size_t kSampleValues = static_cast<size_t>(kComponents) * kLanes;

using Lanes = double __attribute__((vector_size(sizeof(double) * kLanes)));
using LaneInts = int32_t __attribute__((vector_size(sizeof(int32_t) * kLanes)));

// A vector read from eight-byte aligned doubles.
using LanesAt = double
    __attribute__((vector_size(sizeof(double) * kLanes), aligned(sizeof(double)), may_alias));

// The lines' bytes as doubles, lane by lane: values[i][lane] = line[lane][i].
[[gnu::always_inline]] inline void Spread(const uint8_t* const lines[kLanes], int count,
                                          double* values) {
    auto* out = reinterpret_cast<LanesAt*>(values);
    for (int i = 0; i < count; ++i) {
        LaneInts bytes;
        for (int l = 0; l < kLanes; ++l) {
            bytes[l] = lines[l][i];
        }
        out[i] = __builtin_convertvector(bytes, Lanes);
    }
}

// The other way: line[lane][i] = values[i][lane].
[[gnu::always_inline]] inline void Gather(const uint8_t* values, int count, int lineCount,
                                          uint8_t* const lines[kLanes]) {
    for (int l = 0; l < lineCount; ++l) {
        const uint8_t* v = values + l;
        uint8_t* line = lines[l];
        for (int i = 0; i < count; ++i, v += kLanes) {
            line[i] = *v;
        }
    }
}

// The steps of LinePlan::Run with a vector per component; the compiler gives
// it the instruction set of the function it is inlined into.
[[gnu::always_inline]] inline void RunSteps(const std::vector<LinePlan::Step>& steps, double scale,
                                            const double* samples, uint8_t* results) {
    Lanes sum[kComponents];
    for (Lanes& s : sum) {
        s = Lanes{} + 0.5;
    }
    for (const LinePlan::Step& step : steps) {
        // One vector per component of the current sample, then of the next.
        const auto* current = reinterpret_cast<const LanesAt*>(
            samples + static_cast<size_t>(step.index) * kSampleValues);
        if (step.last) {
            for (int k = 0; k < kComponents; ++k) {
                sum[k] += current[k] * step.weight;
            }
        } else {
            const LanesAt* next = current + kComponents;
            for (int k = 0; k < kComponents; ++k) {
                sum[k] += (current[k] * step.keep + next[k] * step.take) * step.weight;
            }
        }
        if (step.completes) {
            for (int k = 0; k < kComponents; ++k) {
                // FinishSample lane by lane: clamp at 255, then truncate.
                const Lanes value = sum[k] * scale;
                const Lanes clamped = value >= 255.0 ? Lanes{} + 255.0 : value;
                const LaneInts whole = __builtin_convertvector(clamped, LaneInts);
                for (int l = 0; l < kLanes; ++l) {
                    results[k * kLanes + l] = static_cast<uint8_t>(whole[l]);
                }
                sum[k] = Lanes{} + 0.5;
            }
            results += kSampleValues;
        }
    }
}

// One group of lines from bytes to bytes.
struct Group {
    const std::vector<LinePlan::Step>& steps;
    double scale;
    int inValues;  // bytes per input line
    int outValues; // bytes per output line
    double* samples;
    uint8_t* results;
};

[[gnu::always_inline]] inline void RunGroup(const Group& g, const uint8_t* const in[kLanes],
                                            uint8_t* const out[kLanes], int lines) {
    Spread(in, g.inValues, g.samples);
    RunSteps(g.steps, g.scale, g.samples, g.results);
    Gather(g.results, g.outValues, lines, out);
}

[[gnu::target("avx2")]] void RunGroupWide(const Group& g, const uint8_t* const in[kLanes],
                                          uint8_t* const out[kLanes], int lines) {
    RunGroup(g, in, out, lines);
}

} // namespace

bool HasWideLanes() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

TripletLines::TripletLines(const LinePlan& plan, bool wide)
    : plan(plan), wide(wide && HasWideLanes()),
      samples(static_cast<size_t>(plan.InCount()) * kSampleValues),
      results(static_cast<size_t>(plan.OutCount()) * kSampleValues) {}

void TripletLines::Run(const uint8_t* const in[], uint8_t* const out[], int lines) {
    lines = std::clamp(lines, 1, kLines);
    // Lanes without a line repeat the last one; their results are dropped.
    const uint8_t* inputs[kLanes];
    for (int l = 0; l < kLanes; ++l) {
        inputs[l] = in[std::min(l, lines - 1)];
    }
    const Group group{
        plan.Steps(),   plan.Scale(),  plan.InCount() * kComponents, plan.OutCount() * kComponents,
        samples.data(), results.data()};
    if (wide) {
        RunGroupWide(group, inputs, out, lines);
        return;
    }
    // Without 256-bit vectors the lanes cost more than they save: line by
    // line, from copies of the inputs (an output may lie over any input).
    const size_t inBytes = static_cast<size_t>(plan.InCount()) * kComponents;
    uint8_t* copies = reinterpret_cast<uint8_t*>(samples.data());
    for (int l = 0; l < lines; ++l) {
        std::memcpy(copies + inBytes * l, in[l], inBytes);
    }
    for (int l = 0; l < lines; ++l) {
        plan.Run(copies + inBytes * l, out[l], kComponents);
    }
}

} // namespace pixmill::firscale
