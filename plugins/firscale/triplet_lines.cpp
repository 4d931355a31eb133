#include "triplet_lines.h"

#include <algorithm>
#include <cstring>
#include <immintrin.h>

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
// Eight bytes of each line at a time are interleaved into lane order with
// byte and word unpacks, then widened four at a time.
[[gnu::target("avx2")]] void Spread(const uint8_t* const lines[kLanes], int count, double* values) {
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        __m128i line[kLanes];
        for (int l = 0; l < kLanes; ++l) {
            line[l] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lines[l] + i));
        }
        const __m128i ab = _mm_unpacklo_epi8(line[0], line[1]);
        const __m128i cd = _mm_unpacklo_epi8(line[2], line[3]);
        // Samples 0-3 and 4-7, four lanes of bytes each.
        const __m128i halves[2] = {_mm_unpacklo_epi16(ab, cd), _mm_unpackhi_epi16(ab, cd)};
        double* out = values + static_cast<size_t>(i) * kLanes;
        for (const __m128i& half : halves) {
            _mm256_storeu_pd(out, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(half)));
            _mm256_storeu_pd(out + 4,
                             _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(half, 4))));
            _mm256_storeu_pd(out + 8,
                             _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(half, 8))));
            _mm256_storeu_pd(out + 12,
                             _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(half, 12))));
            out += 16;
        }
    }
    for (; i < count; ++i) {
        for (int l = 0; l < kLanes; ++l) {
            values[static_cast<size_t>(i) * kLanes + l] = lines[l][i];
        }
    }
}

// The other way: line[lane][i] = values[i][lane], sixteen samples at a time
// (a byte shuffle puts each lane's four samples together, a 4 x 4 transpose
// of those words gives each lane its sixteen).
[[gnu::target("avx2")]] void Gather(const uint8_t* values, int count, int lineCount,
                                    uint8_t* const lines[kLanes]) {
    const __m128i laneMajor = _mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i x[4];
        for (int k = 0; k < 4; ++k) {
            x[k] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + (i + 4 * k) * kLanes)),
                laneMajor);
        }
        const __m128i t0 = _mm_unpacklo_epi32(x[0], x[1]); // lanes 0, 1: samples 0-7
        const __m128i t1 = _mm_unpacklo_epi32(x[2], x[3]); // lanes 0, 1: samples 8-15
        const __m128i t2 = _mm_unpackhi_epi32(x[0], x[1]); // lanes 2, 3: samples 0-7
        const __m128i t3 = _mm_unpackhi_epi32(x[2], x[3]); // lanes 2, 3: samples 8-15
        const __m128i lane[kLanes] = {_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1),
                                      _mm_unpacklo_epi64(t2, t3), _mm_unpackhi_epi64(t2, t3)};
        for (int l = 0; l < lineCount; ++l) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(lines[l] + i), lane[l]);
        }
    }
    for (; i < count; ++i) {
        for (int l = 0; l < lineCount; ++l) {
            lines[l][i] = values[static_cast<size_t>(i) * kLanes + l];
        }
    }
}

// The steps of LinePlan::Run with a vector per component, in the same order
// and with the same operations, so every lane gets the one-line result.
[[gnu::target("avx2")]] void RunSteps(const std::vector<LinePlan::Step>& steps, double scale,
                                      const double* samples, uint8_t* results) {
    const __m128i lowBytes =
        _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
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
                // FinishSample lane by lane: clamp at 255, then truncate;
                // the four low bytes go out in one store.
                const Lanes value = sum[k] * scale;
                const Lanes clamped = value >= 255.0 ? Lanes{} + 255.0 : value;
                const LaneInts whole = __builtin_convertvector(clamped, LaneInts);
                const int packed = _mm_cvtsi128_si32(
                    _mm_shuffle_epi8(reinterpret_cast<const __m128i&>(whole), lowBytes));
                std::memcpy(results + k * kLanes, &packed, sizeof packed);
                sum[k] = Lanes{} + 0.5;
            }
            results += kSampleValues;
        }
    }
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
    if (wide) {
        Spread(inputs, plan.InCount() * kComponents, samples.data());
        RunSteps(plan.Steps(), plan.Scale(), samples.data(), results.data());
        Gather(results.data(), plan.OutCount() * kComponents, lines, out);
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
