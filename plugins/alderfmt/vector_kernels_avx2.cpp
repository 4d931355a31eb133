// Compiled with -mavx2: only what this file defines may be used here (no
// inline functions from other headers, whose AVX2 copies could be linked
// into callers on any processor; dct_flow.h's template is instantiated here
// for vectors only and always inlined).
#include "dct_flow.h"
#include "vector_kernels.h"

namespace pixmill::alder {

namespace {

typedef int32_t V8 __attribute__((vector_size(32)));

// (x * K + 2^(N-1)) >> N exactly, without 64-bit products: with
// x = hi * 2^16 + lo (0 <= lo < 2^16) the hi part contributes a multiple of
// 2^N, and lo * K + 2^(N-1) stays below 2^31.
template <int K, int N> struct Mul {
    static_assert(N <= 16 && K < (1 << 15));
    static inline __attribute__((always_inline)) V8 Of(V8 x) {
        const V8 hi = x >> 16;
        const V8 lo = x & 0xFFFF;
        return ((hi * K) << (16 - N)) + ((lo * K + (1 << (N - 1))) >> N);
    }
};

// Swaps rows and columns of an 8 x 8 block held as eight row vectors.
inline __attribute__((always_inline)) void Transpose(V8* m) {
    alignas(32) int32_t a[8][8];
    for (int r = 0; r < 8; ++r) {
        __builtin_memcpy(a[r], &m[r], sizeof(V8));
    }
    for (int c = 0; c < 8; ++c) {
        for (int r = 0; r < 8; ++r) {
            m[c][r] = a[r][c];
        }
    }
}

} // namespace

void ForwardDctAvx2(const int16_t samples[64], int16_t out[64]) {
    // Lines of the row pass: v[k] holds column k of every row (4 fraction
    // bits, as in the scalar transform).
    V8 v[8];
    for (int k = 0; k < 8; ++k) {
        for (int r = 0; r < 8; ++r) {
            v[k][r] = static_cast<int32_t>(samples[8 * r + k]) * 16;
        }
    }
    Transform8<V8, Mul>(v, 1); // v[u][r]: row r's output u
    Transpose(v);              // v[r][u]
    Transform8<V8, Mul>(v, 1); // v[y][u]: the block's coefficient (y, u)
    for (int y = 0; y < 8; ++y) {
        const V8 rounded = (v[y] + 8) >> 4;
        for (int u = 0; u < 8; ++u) {
            out[8 * y + u] = static_cast<int16_t>(rounded[u]);
        }
    }
}

void ConvertPixels16Avx2(const uint8_t* bgr, int16_t* y, int32_t* cb, int32_t* cr) {
    for (int c = 0; c < 16; ++c) {
        const int32_t blue = bgr[3 * c], green = bgr[3 * c + 1], red = bgr[3 * c + 2];
        y[c] = static_cast<int16_t>((19595 * red + 38470 * green + 7471 * blue - 8355840) >> 16);
        cb[c] = (-11059 * red - 21709 * green + 32768 * blue + 8388608 + 32767) >> 16;
        cr[c] = (32768 * red - 27439 * green - 5329 * blue + 8388608 + 32767) >> 16;
    }
}

int HighFrequencyEnergyAvx2(const int16_t block[64]) {
    int energy = 0;
    for (int k = 10; k < 64; ++k) {
        energy += block[k] < 0 ? -block[k] : block[k];
    }
    return energy;
}

void QuantiseAvx2(int16_t block[64], const uint32_t divisor[64], const uint64_t reciprocal[64],
                  bool rounding, int maxDc, int maxAc) {
    // Branch-free, so that the loop runs on vectors.
    for (int k = 0; k < 64; ++k) {
        const int c = block[k];
        const uint32_t magnitude = static_cast<uint32_t>(c < 0 ? -c : c);
        const uint32_t half = divisor[k] >> 1;
        const uint32_t threshold = rounding ? divisor[k] - half : divisor[k];
        const uint64_t product = (magnitude + half) * reciprocal[k];
        int v = static_cast<int>(product >> 32);
        const int limit = k == 0 ? maxDc : maxAc;
        v = v < limit ? v : limit;
        v = magnitude < threshold ? 0 : v;
        block[k] = static_cast<int16_t>(c < 0 ? -v : v);
    }
}

} // namespace pixmill::alder
