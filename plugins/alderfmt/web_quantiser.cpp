#include "web_quantiser.h"

#include "dct.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace pixmill::alder {

namespace {

constexpr int kMaxAc = 1023;
constexpr float kLongestCode = 16.0f;

inline int BitLength(uint32_t value) {
    return value == 0 ? 0 : 32 - __builtin_clz(value);
}

// Step sizes that grow smoothly with the spatial frequency r (in cycles per
// block, 0..9.9). Luminance is nearly flat: the trellis drops the fine
// detail that does not pay for its bits block by block, so the table need
// not; a steep table would take it from every block alike, grain included.
// Chrominance starts coarser, rises faster and a little more on the
// diagonals, yet more slowly than the classic tables, so that colour edges
// and faint tints keep some of their detail.
double BaseStep(int u, int v, bool chrominance) {
    const double r2 = static_cast<double>(u * u + v * v);
    if (chrominance) {
        const double r = std::sqrt(r2);
        const double diagonal = r > 0 ? 2.0 * u * v / r2 : 0.0; // 1 on the diagonal
        return (16.0 + 2.5 * r + 0.4 * r2) * (1.0 + 0.10 * diagonal);
    }
    return 19.0 + 0.25 * r2;
}

} // namespace

void WebQuantisationTable(int level, bool chrominance, uint8_t out[64]) {
    // The same level scale as the exact tables.
    const int d = std::clamp(level, 1, 255);
    const int s = std::max(1, d >= 128 ? 7 * d - 633 : 2 * d);
    for (int k = 0; k < 64; ++k) {
        const int natural = kNaturalOrder[k];
        const double base = BaseStep(natural % 8, natural / 8, chrominance);
        const long entry = std::lround(base * s / 256.0);
        out[k] = static_cast<uint8_t>(std::clamp(entry, 1L, 255L));
    }
}

float WebLambda(bool chrominance) {
    return chrominance ? 0.135f : 0.08f;
}

float BlockActivity(const int16_t block[64]) {
    // 8 x F(u,v) of an orthonormal transform: the AC energy over 64 * 64 is
    // the samples' variance. The floor is the contrast constant of SSIM,
    // below which variance no longer hides errors.
    double energy = 0;
    for (int k = 1; k < 64; ++k) {
        energy += double(block[k]) * block[k];
    }
    return static_cast<float>(std::log(energy / 4096.0 + 58.5));
}

float ActivityLambdaScale(float activity, float meanActivity) {
    // Bits are worth (variance + floor)^0.4 relative to the picture's
    // typical block, within a factor of two either way.
    const double scale = std::exp(0.4 * (activity - meanActivity));
    return static_cast<float>(std::clamp(scale, 0.5, 2.0));
}

// ----------------------------------------------------------------- symbols

void SymbolCounts::AddBlock(const int16_t block[64], int dcDifference) {
    ++dc[BitLength(static_cast<uint32_t>(std::abs(dcDifference)))];
    int run = 0;
    for (int k = 1; k < 64; ++k) {
        if (block[k] == 0) {
            ++run;
            continue;
        }
        while (run > 15) {
            ++ac[0xF0];
            run -= 16;
        }
        ++ac[(run << 4) | BitLength(static_cast<uint32_t>(std::abs(block[k])))];
        run = 0;
    }
    if (run > 0) {
        ++ac[0x00];
    }
}

SymbolCosts SymbolCounts::Costs() const {
    // -log2 of the symbol's share, what an optimised code spends on it.
    auto fill = [](const uint32_t* counts, int n, float* costs) {
        double total = 0;
        for (int i = 0; i < n; ++i) {
            total += counts[i];
        }
        for (int i = 0; i < n; ++i) {
            const double bits =
                counts[i] == 0 ? kLongestCode : std::log2(std::max(total, 1.0) / counts[i]);
            costs[i] = static_cast<float>(std::clamp(bits, 1.0, static_cast<double>(kLongestCode)));
        }
    };
    SymbolCosts costs;
    fill(dc, 16, costs.dc);
    fill(ac, 256, costs.ac);
    return costs;
}

// ----------------------------------------------------------------- trellis

TrellisQuantiser::TrellisQuantiser(const uint8_t table[64], float lambda) : lambda(lambda) {
    for (int k = 0; k < 64; ++k) {
        step[k] = 8.0f * table[k];
        inverse[k] = 1.0f / step[k];
    }
    // An error of one step costs more where the step is larger, but less
    // than its squared size: between the table's weighting and plain
    // squared error.
    for (int k = 0; k < 64; ++k) {
        weight[k] = step[k] / step[1];
    }
}

int TrellisQuantiser::QuantiseDc(int coefficient) const {
    const int divisor = static_cast<int>(step[0]);
    const int magnitude = (std::abs(coefficient) + divisor / 2) / divisor;
    const int v = std::min(magnitude, 2047);
    return coefficient < 0 ? -v : v;
}

void TrellisQuantiser::Round(const int16_t block[64], int16_t out[64]) const {
    out[0] = static_cast<int16_t>(QuantiseDc(block[0]));
    for (int k = 1; k < 64; ++k) {
        const int v = std::min(static_cast<int>(std::abs(block[k]) * inverse[k] + 0.5f), kMaxAc);
        out[k] = static_cast<int16_t>(block[k] < 0 ? -v : v);
    }
}

void TrellisQuantiser::Quantise(int16_t block[64], const SymbolCosts& costs,
                                float lambdaScale) const {
    const float lambda = this->lambda * lambdaScale;
    // Per position: the magnitude in steps, the two candidate values
    // (rounded, and one less) and the error of coding zero.
    float magnitude[64];
    int candidate[64];
    float zeroPrefix[64]; // error of zeroing positions 1..k
    zeroPrefix[0] = 0;
    for (int k = 1; k < 64; ++k) {
        magnitude[k] = std::abs(static_cast<float>(block[k])) * inverse[k];
        candidate[k] = std::min(static_cast<int>(magnitude[k] + 0.5f), kMaxAc);
        zeroPrefix[k] = zeroPrefix[k - 1] + weight[k] * magnitude[k] * magnitude[k];
    }
    // cost[i]: the best cost of positions 1..i with i the last non-zero
    // value (0: none yet); from[i] and value[i] trace that choice back.
    float cost[64];
    int from[64];
    int value[64];
    int reachable[64];
    int reachableCount = 1;
    reachable[0] = 0;
    cost[0] = 0;
    // The least cost[j] - zeroPrefix[j] of the reachable positions up to r:
    // a bound on what starting a run from any of them can cost.
    float lowestSince[64];
    lowestSince[0] = 0;
    const float zrl = costs.ac[0xF0];
    for (int i = 1; i < 64; ++i) {
        if (candidate[i] == 0) {
            continue;
        }
        // The two candidate values (rounded, and one less unless that is
        // zero) share the best previous position unless their bit lengths
        // differ: one pass over the previous positions serves both.
        const int high = candidate[i], low = std::max(1, high - 1);
        const int highSize = BitLength(static_cast<uint32_t>(high));
        const int lowSize = BitLength(static_cast<uint32_t>(low));
        float bestHigh = INFINITY, bestLow = INFINITY;
        int fromHigh = 0, fromLow = 0;
        for (int r = reachableCount - 1; r >= 0; --r) {
            // No earlier position can do better than its cost so far less
            // what zeroing had cost up to there, plus the cheapest symbol.
            if (lowestSince[r] + zeroPrefix[i - 1] + lambda >=
                std::max(bestHigh, lowSize != highSize ? bestLow : bestHigh)) {
                break;
            }
            const int j = reachable[r];
            const int run = i - j - 1;
            const float base =
                cost[j] + (zeroPrefix[i - 1] - zeroPrefix[j]) + lambda * ((run >> 4) * zrl);
            const float* symbols = costs.ac + ((run & 15) << 4);
            const float withHigh = base + lambda * symbols[highSize];
            if (withHigh < bestHigh) {
                bestHigh = withHigh;
                fromHigh = j;
            }
            if (lowSize != highSize) {
                const float withLow = base + lambda * symbols[lowSize];
                if (withLow < bestLow) {
                    bestLow = withLow;
                    fromLow = j;
                }
            }
        }
        if (lowSize == highSize) {
            bestLow = bestHigh;
            fromLow = fromHigh;
        }
        const float highTotal = bestHigh +
                                weight[i] * (magnitude[i] - high) * (magnitude[i] - high) +
                                lambda * highSize;
        const float lowTotal =
            bestLow + weight[i] * (magnitude[i] - low) * (magnitude[i] - low) + lambda * lowSize;
        const bool takeLow = low != high && lowTotal < highTotal;
        cost[i] = takeLow ? lowTotal : highTotal;
        from[i] = takeLow ? fromLow : fromHigh;
        value[i] = takeLow ? low : high;
        lowestSince[reachableCount] =
            std::min(lowestSince[reachableCount - 1], cost[i] - zeroPrefix[i]);
        reachable[reachableCount++] = i;
    }
    // The end of block after the last non-zero value.
    float best = INFINITY;
    int last = 0;
    for (int r = 0; r < reachableCount; ++r) {
        const int i = reachable[r];
        const float total =
            cost[i] + (zeroPrefix[63] - zeroPrefix[i]) + (i < 63 ? lambda * costs.ac[0x00] : 0.0f);
        if (total < best) {
            best = total;
            last = i;
        }
    }
    int16_t coded[64] = {};
    for (int i = last; i > 0; i = from[i]) {
        coded[i] = static_cast<int16_t>(block[i] < 0 ? -value[i] : value[i]);
    }
    coded[0] = static_cast<int16_t>(QuantiseDc(block[0]));
    std::copy(coded, coded + 64, block);
}

} // namespace pixmill::alder
