// Compiled with -mavx2: only what this file defines may be used here (no
// inline functions from other headers, whose AVX2 copies could be linked
// into callers on any processor; dct_flow.h's template is instantiated here
// for vectors only and always inlined).
#include "dct_flow.h"
#include "vector_kernels.h"

#include <immintrin.h>

namespace pixmill::alder {

namespace {

typedef int32_t V8 __attribute__((vector_size(32)));

// (x * K + 2^(N-1)) >> N exactly, from the 64-bit products of the even and
// the odd lanes. A logical shift of the 64-bit sum leaves the low 32 bits as
// the arithmetic shift would (N <= 32).
template <int K, int N> struct Mul {
    static_assert(N <= 32);
    static inline __attribute__((always_inline)) V8 Of(V8 x) {
        const __m256i k = _mm256_set1_epi32(K);
        const __m256i round = _mm256_set1_epi64x(int64_t{1} << (N - 1));
        const __m256i even =
            _mm256_srli_epi64(_mm256_add_epi64(_mm256_mul_epi32(__m256i(x), k), round), N);
        const __m256i odd = _mm256_srli_epi64(
            _mm256_add_epi64(_mm256_mul_epi32(_mm256_srli_epi64(__m256i(x), 32), k), round), N);
        return V8(_mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA));
    }
};

// The same with 32-bit products, for the row pass: its operands are at most
// 16 x 8 x 128 apart from the rounding, so that every |x * K| + 2^(N-1)
// stays below 2^31 (the column pass's can exceed it).
template <int K, int N> struct Mul32 {
    static inline __attribute__((always_inline)) V8 Of(V8 x) {
        const __m256i product = _mm256_mullo_epi32(__m256i(x), _mm256_set1_epi32(K));
        return V8(_mm256_srai_epi32(_mm256_add_epi32(product, _mm256_set1_epi32(1 << (N - 1))), N));
    }
};

// The column pass: its operands grow to 8 x the row pass's outputs. Bounding
// every operand over samples -128..127 leaves |x * K| + 2^(N-1) below 2^31
// for the factors other than 23171 (sqrt(2)/2 and sqrt(2)); those keep
// 64-bit products.
template <int K, int N> struct MulColumn {
    static inline __attribute__((always_inline)) V8 Of(V8 x) {
        if constexpr (K == 23171) {
            return Mul<K, N>::Of(x);
        } else {
            return Mul32<K, N>::Of(x);
        }
    }
};

// Swaps rows and columns of an 8 x 8 block held as eight row vectors.
inline __attribute__((always_inline)) void Transpose(V8* m) {
    __m256i t[8], u[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_epi32(__m256i(m[i]), __m256i(m[i + 1]));
        t[i + 1] = _mm256_unpackhi_epi32(__m256i(m[i]), __m256i(m[i + 1]));
    }
    for (int i = 0; i < 8; i += 4) {
        u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
        u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
        u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
        u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    for (int i = 0; i < 4; ++i) {
        m[i] = V8(_mm256_permute2x128_si256(u[i], u[i + 4], 0x20));
        m[i + 4] = V8(_mm256_permute2x128_si256(u[i], u[i + 4], 0x31));
    }
}

// Both passes of the transform: v[y][u] is the block's coefficient (y, u)
// with 4 fraction bits.
inline __attribute__((always_inline)) void Transform(const int16_t samples[64], V8 v[8]) {
    // Lines of the row pass: v[k] holds column k of every row (4 fraction
    // bits, as in the scalar transform).
    for (int r = 0; r < 8; ++r) {
        const __m128i row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 8 * r));
        v[r] = V8(_mm256_slli_epi32(_mm256_cvtepi16_epi32(row), 4));
    }
    Transpose(v);                    // v[k][r]
    Transform8<V8, Mul32>(v, 1);     // v[u][r]: row r's output u
    Transpose(v);                    // v[r][u]
    Transform8<V8, MulColumn>(v, 1); // v[y][u]
}

// -1 at the natural positions whose zig-zag position is 10 or more: the
// coefficients that make up a block's high-frequency energy.
struct EnergyMask {
    alignas(32) int32_t mask[64];
    constexpr EnergyMask() : mask{} {
        const int low[10] = {0, 1, 8, 16, 9, 2, 3, 10, 17, 24};
        for (int n = 0; n < 64; ++n) {
            mask[n] = -1;
        }
        for (int n : low) {
            mask[n] = 0;
        }
    }
};
constexpr EnergyMask kEnergyMask;

} // namespace

void ForwardDctAvx2(const int16_t samples[64], int16_t out[64]) {
    V8 v[8];
    Transform(samples, v);
    for (int y = 0; y < 8; y += 2) {
        const __m256i a = __m256i((v[y] + 8) >> 4), b = __m256i((v[y + 1] + 8) >> 4);
        // The values fit 16 bits; packs works per 128-bit lane.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * y), packed);
    }
}

namespace {

// Shuffle masks that pick one channel (0 blue, 1 green, 2 red) of the 16
// pixels out of one of the three 16-byte chunks holding them; bytes from
// other chunks are left 0 (mask bit 7).
struct ChannelMasks {
    alignas(16) int8_t mask[3][3][16]; // [channel][chunk][byte]
    constexpr ChannelMasks() : mask{} {
        for (int channel = 0; channel < 3; ++channel) {
            for (int chunk = 0; chunk < 3; ++chunk) {
                for (int j = 0; j < 16; ++j) {
                    const int at = 3 * j + channel - 16 * chunk;
                    mask[channel][chunk][j] = static_cast<int8_t>(at >= 0 && at < 16 ? at : -128);
                }
            }
        }
    }
};
constexpr ChannelMasks kChannelMasks;

inline __attribute__((always_inline)) __m128i Channel(const __m128i chunks[3], int channel) {
    const auto& m = kChannelMasks.mask[channel];
    const __m128i a =
        _mm_shuffle_epi8(chunks[0], _mm_load_si128(reinterpret_cast<const __m128i*>(m[0])));
    const __m128i b =
        _mm_shuffle_epi8(chunks[1], _mm_load_si128(reinterpret_cast<const __m128i*>(m[1])));
    const __m128i c =
        _mm_shuffle_epi8(chunks[2], _mm_load_si128(reinterpret_cast<const __m128i*>(m[2])));
    return _mm_or_si128(_mm_or_si128(a, b), c);
}

// Two 16-bit factors side by side, for _mm256_madd_epi16.
constexpr int32_t Pair(int low, int high) {
    return static_cast<int32_t>((static_cast<uint32_t>(high) << 16) |
                                static_cast<uint16_t>(static_cast<int16_t>(low)));
}

// The conversion of one row of 16 pixels: luminance - 128 in pixel order,
// and Cb, Cr as 32-bit values in two halves, pixels 0..3 and 8..11 (lo),
// 4..7 and 12..15 (hi). Each sum is the conversion tables' exactly, with the
// factors that do not fit 16 bits split: 38470 = -27066 + 65536,
// 32768 = 2^15.
struct ConvertedRow {
    __m256i luma;
    __m256i cb[2], cr[2];
};

inline __attribute__((always_inline)) ConvertedRow ConvertRow(const uint8_t* bgr) {
    __m128i chunks[3];
    for (int c = 0; c < 3; ++c) {
        chunks[c] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 16 * c));
    }
    const __m256i b = _mm256_cvtepu8_epi16(Channel(chunks, 0));
    const __m256i g = _mm256_cvtepu8_epi16(Channel(chunks, 1));
    const __m256i r = _mm256_cvtepu8_epi16(Channel(chunks, 2));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i chromaOffset = _mm256_set1_epi32(8388608 + 32767);
    ConvertedRow out;
    __m256i luma[2];
    for (int half = 0; half < 2; ++half) {
        const __m256i rg = half == 0 ? _mm256_unpacklo_epi16(r, g) : _mm256_unpackhi_epi16(r, g);
        const __m256i gb = half == 0 ? _mm256_unpacklo_epi16(g, b) : _mm256_unpackhi_epi16(g, b);
        const __m256i b32 =
            half == 0 ? _mm256_unpacklo_epi16(b, zero) : _mm256_unpackhi_epi16(b, zero);
        const __m256i r32 =
            half == 0 ? _mm256_unpacklo_epi16(r, zero) : _mm256_unpackhi_epi16(r, zero);
        const __m256i g16 = // green << 16
            half == 0 ? _mm256_unpacklo_epi16(zero, g) : _mm256_unpackhi_epi16(zero, g);
        __m256i y = _mm256_madd_epi16(rg, _mm256_set1_epi32(Pair(19595, -27066)));
        y = _mm256_add_epi32(y, _mm256_madd_epi16(b32, _mm256_set1_epi32(Pair(7471, 0))));
        y = _mm256_add_epi32(y, _mm256_add_epi32(g16, _mm256_set1_epi32(-8355840)));
        luma[half] = _mm256_srai_epi32(y, 16);
        __m256i cb = _mm256_madd_epi16(rg, _mm256_set1_epi32(Pair(-11059, -21709)));
        cb = _mm256_add_epi32(cb, _mm256_add_epi32(_mm256_slli_epi32(b32, 15), chromaOffset));
        out.cb[half] = _mm256_srai_epi32(cb, 16);
        __m256i cr = _mm256_madd_epi16(gb, _mm256_set1_epi32(Pair(-27439, -5329)));
        cr = _mm256_add_epi32(cr, _mm256_add_epi32(_mm256_slli_epi32(r32, 15), chromaOffset));
        out.cr[half] = _mm256_srai_epi32(cr, 16);
    }
    // packs works per 128-bit lane: lo, hi give pixels 0..7 | 8..15.
    out.luma = _mm256_packs_epi32(luma[0], luma[1]);
    return out;
}

} // namespace

void ConvertMcuAvx2(const uint8_t* const rows[16], bool partial, int16_t samples[6][64]) {
    const __m256i bias = partial ? _mm256_set1_epi32(3) : _mm256_setr_epi32(1, 2, 1, 2, 1, 2, 1, 2);
    const __m256i centre = _mm256_set1_epi32(128);
    for (int pair = 0; pair < 8; ++pair) {
        const ConvertedRow upper = ConvertRow(rows[2 * pair]);
        const ConvertedRow lower = ConvertRow(rows[2 * pair + 1]);
        // Luminance rows 2 pair and 2 pair + 1: the left 8 pixels to one
        // block, the right 8 to the next.
        int16_t* left = samples[pair < 4 ? 0 : 2] + 16 * (pair % 4);
        int16_t* right = samples[pair < 4 ? 1 : 3] + 16 * (pair % 4);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(left), _mm256_castsi256_si128(upper.luma));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(right),
                         _mm256_extracti128_si256(upper.luma, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(left + 8), _mm256_castsi256_si128(lower.luma));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(right + 8),
                         _mm256_extracti128_si256(lower.luma, 1));
        // Chrominance: the 2 x 2 sums (horizontal pairs of the two rows'
        // sum, which hadd leaves in pixel order), biased, / 4, - 128.
        auto means = [&](const __m256i* a, const __m256i* b) {
            const __m256i sums =
                _mm256_hadd_epi32(_mm256_add_epi32(a[0], b[0]), _mm256_add_epi32(a[1], b[1]));
            return _mm256_sub_epi32(_mm256_srai_epi32(_mm256_add_epi32(sums, bias), 2), centre);
        };
        const __m256i both = _mm256_permute4x64_epi64(
            _mm256_packs_epi32(means(upper.cb, lower.cb), means(upper.cr, lower.cr)), 0xD8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples[4] + 8 * pair),
                         _mm256_castsi256_si128(both));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples[5] + 8 * pair),
                         _mm256_extracti128_si256(both, 1));
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
    // Eight values at a time: magnitudes plus half a step times the 32-bit
    // reciprocal, as 64-bit products of four lanes each.
    const __m256i gather = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    for (int k = 0; k < 64; k += 16) {
        __m256i result[2];
        for (int half = 0; half < 2; ++half) {
            const int at = k + 8 * half;
            const __m256i c = _mm256_cvtepi16_epi32(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + at)));
            const __m256i magnitude = _mm256_abs_epi32(c);
            const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(divisor + at));
            const __m256i halfStep = _mm256_srli_epi32(d, 1);
            const __m256i threshold = rounding ? _mm256_sub_epi32(d, halfStep) : d;
            const __m256i sum = _mm256_add_epi32(magnitude, halfStep);
            const __m256i low = _mm256_mul_epu32(
                _mm256_cvtepu32_epi64(_mm256_castsi256_si128(sum)),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(reciprocal + at)));
            const __m256i high = _mm256_mul_epu32(
                _mm256_cvtepu32_epi64(_mm256_extracti128_si256(sum, 1)),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(reciprocal + at + 4)));
            // The upper 32 bits of each product, back in coefficient order.
            const __m256i lowQ = _mm256_permutevar8x32_epi32(_mm256_srli_epi64(low, 32), gather);
            const __m256i highQ = _mm256_permutevar8x32_epi32(_mm256_srli_epi64(high, 32), gather);
            __m256i v = _mm256_permute2x128_si256(lowQ, highQ, 0x20);
            const __m256i limit = _mm256_setr_epi32(at == 0 ? maxDc : maxAc, maxAc, maxAc, maxAc,
                                                    maxAc, maxAc, maxAc, maxAc);
            v = _mm256_min_epi32(v, limit);
            // Below the threshold: 0 (threshold > magnitude, both below 2^31).
            v = _mm256_andnot_si256(_mm256_cmpgt_epi32(threshold, magnitude), v);
            result[half] = _mm256_sign_epi32(v, c);
        }
        const __m256i packed =
            _mm256_permute4x64_epi64(_mm256_packs_epi32(result[0], result[1]), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + k), packed);
    }
}

uint64_t TransformQuantiseAvx2(const int16_t samples[64], const NaturalQuantiser& quantiser,
                               int sharpenThreshold, int16_t out[64], int* dc) {
    V8 v[8];
    Transform(samples, v);
    __m256i c[8];
    for (int y = 0; y < 8; ++y) {
        c[y] = __m256i((v[y] + 8) >> 4);
    }
    *dc = _mm256_cvtsi256_si32(c[0]);
    // Busy blocks keep their detail when sharpening (the scalar quantiser's
    // rule).
    bool rounding = false;
    if (sharpenThreshold < 6000) {
        __m256i sum = _mm256_setzero_si256();
        for (int y = 0; y < 8; ++y) {
            const __m256i mask =
                _mm256_load_si256(reinterpret_cast<const __m256i*>(kEnergyMask.mask + 8 * y));
            sum = _mm256_add_epi32(sum, _mm256_and_si256(_mm256_abs_epi32(c[y]), mask));
        }
        __m128i s4 = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
        s4 = _mm_add_epi32(s4, _mm_shuffle_epi32(s4, 0x4E));
        s4 = _mm_add_epi32(s4, _mm_shuffle_epi32(s4, 0xB1));
        rounding = _mm_cvtsi128_si32(s4) > sharpenThreshold;
    }
    const __m256i maxAc = _mm256_set1_epi32(1023);
    __m256i packed[4];
    for (int y = 0; y < 8; ++y) {
        const __m256i magnitude = _mm256_abs_epi32(c[y]);
        const __m256i d =
            _mm256_load_si256(reinterpret_cast<const __m256i*>(quantiser.divisor + 8 * y));
        const __m256i r =
            _mm256_load_si256(reinterpret_cast<const __m256i*>(quantiser.reciprocal + 8 * y));
        const __m256i halfStep = _mm256_srli_epi32(d, 1);
        const __m256i threshold = rounding ? _mm256_sub_epi32(d, halfStep) : d;
        const __m256i sum = _mm256_add_epi32(magnitude, halfStep);
        // The upper halves of the 64-bit products: even lanes shifted down,
        // odd lanes already in place.
        const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(sum, r), 32);
        const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(sum, 32), _mm256_srli_epi64(r, 32));
        __m256i q = _mm256_blend_epi32(even, odd, 0xAA);
        q = _mm256_min_epi32(
            q, y == 0 ? _mm256_setr_epi32(2047, 1023, 1023, 1023, 1023, 1023, 1023, 1023) : maxAc);
        q = _mm256_andnot_si256(_mm256_cmpgt_epi32(threshold, magnitude), q);
        q = _mm256_sign_epi32(q, c[y]);
        if (y & 1) {
            packed[y / 2] = _mm256_permute4x64_epi64(_mm256_packs_epi32(packed[y / 2], q), 0xD8);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * (y - 1)), packed[y / 2]);
        } else {
            packed[y / 2] = q;
        }
    }
    // One bit per value: the 16-bit zero tests packed to bytes, in order.
    const __m256i zero = _mm256_setzero_si256();
    uint64_t zeros = 0;
    for (int half = 0; half < 2; ++half) {
        const __m256i bytes = _mm256_permute4x64_epi64(
            _mm256_packs_epi16(_mm256_cmpeq_epi16(packed[2 * half], zero),
                               _mm256_cmpeq_epi16(packed[2 * half + 1], zero)),
            0xD8);
        zeros |= uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(bytes))} << (32 * half);
    }
    return ~zeros;
}

} // namespace pixmill::alder
