#include "dct.h"

#include "dct_flow.h"
#include "packed_blocks.h"
#include "vector_kernels.h"

#include <cmath>

namespace pixmill::alder {

const uint8_t kNaturalOrder[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                   12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                   35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                   58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

const uint8_t kZigzagIndex[64] = {0,  1,  5,  6,  14, 15, 27, 28, 2,  4,  7,  13, 16, 26, 29, 42,
                                  3,  8,  12, 17, 25, 30, 41, 43, 9,  11, 18, 24, 31, 40, 44, 53,
                                  10, 19, 23, 32, 39, 45, 52, 54, 20, 22, 33, 38, 46, 51, 55, 60,
                                  21, 34, 37, 47, 50, 56, 59, 61, 35, 36, 48, 49, 57, 58, 62, 63};

namespace {

// (x * k + 2^(n-1)) >> n; the product is formed in 64 bits so that the
// column pass cannot overflow whatever the samples.
template <int K, int N> struct Mul {
    static int32_t Of(int32_t x) {
        return static_cast<int32_t>((static_cast<int64_t>(x) * K + (int64_t{1} << (N - 1))) >> N);
    }
};

// Extra fraction bits carried from the row pass into the column pass.
constexpr int kPassBits = 4;

// Inverse transform: out(x) = sum over u of C(u)/2 F(u) cos((2x+1) u pi / 16),
// as a 13-bit fixed-point matrix.
struct InverseTable {
    int32_t k[8][8]; // [x][u]
    InverseTable() {
        for (int x = 0; x < 8; ++x) {
            for (int u = 0; u < 8; ++u) {
                const double c = u == 0 ? std::sqrt(0.5) : 1.0;
                k[x][u] = static_cast<int32_t>(
                    std::lround(c / 2 * std::cos((2 * x + 1) * u * M_PI / 16) * 8192));
            }
        }
    }
};
const InverseTable kInverse;

} // namespace

void ForwardDctScalar(const int16_t samples[64], int16_t out[64]) {
    int32_t work[64];
    for (int i = 0; i < 64; ++i) {
        work[i] = static_cast<int32_t>(samples[i]) * (1 << kPassBits);
    }
    for (int row = 0; row < 8; ++row) {
        Transform8<int32_t, Mul>(work + 8 * row, 1);
    }
    for (int column = 0; column < 8; ++column) {
        Transform8<int32_t, Mul>(work + column, 8);
    }
    constexpr int32_t half = 1 << (kPassBits - 1);
    for (int i = 0; i < 64; ++i) {
        out[i] = static_cast<int16_t>((work[i] + half) >> kPassBits);
    }
}

namespace {
bool g_vectorOn = true;
const bool g_hasAvx2 = __builtin_cpu_supports("avx2");
} // namespace

bool VectorKernelsActive() {
    return g_vectorOn && g_hasAvx2;
}

void SetVectorKernels(bool on) {
    g_vectorOn = on;
}

void ForwardDct(const int16_t samples[64], int16_t out[64]) {
    if (VectorKernelsActive()) {
        ForwardDctAvx2(samples, out);
    } else {
        ForwardDctScalar(samples, out);
    }
}

void InverseDct(const int32_t coefficients[64], int32_t out[64]) {
    // Blocks with only a DC term (most of a smooth picture) are flat.
    bool dcOnly = true;
    for (int i = 1; i < 64 && dcOnly; ++i) {
        dcOnly = coefficients[i] == 0;
    }
    if (dcOnly) {
        // F(0,0) / 8, rounded.
        const int32_t dc =
            coefficients[0] >= 0 ? (coefficients[0] + 4) / 8 : -((-coefficients[0] + 4) / 8);
        for (int i = 0; i < 64; ++i) {
            out[i] = dc;
        }
        return;
    }
    // Columns: t[y][u] = sum_v K[y][v] F(v,u), kept with 2 fraction bits.
    int32_t t[64];
    for (int u = 0; u < 8; ++u) {
        for (int y = 0; y < 8; ++y) {
            int32_t sum = 0;
            for (int v = 0; v < 8; ++v) {
                sum += kInverse.k[y][v] * coefficients[8 * v + u];
            }
            t[8 * y + u] = (sum + (1 << 10)) >> 11;
        }
    }
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            int32_t sum = 0;
            for (int u = 0; u < 8; ++u) {
                sum += kInverse.k[x][u] * t[8 * y + u];
            }
            out[8 * y + x] = (sum + (1 << 14)) >> 15;
        }
    }
}

} // namespace pixmill::alder
