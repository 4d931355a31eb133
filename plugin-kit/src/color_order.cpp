// The 24-bit colour-order swap, with an SSSE3 byte shuffle chosen once at
// run time (the program is built for the x86-64 baseline, which has none).
#include "pixmill/color_order.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pixmill {

namespace {

void ReverseScalar(const uint8_t* from, uint8_t* to, size_t pixels) {
    for (size_t x = 0; x < pixels; ++x) {
        to[3 * x] = from[3 * x + 2];
        to[3 * x + 1] = from[3 * x + 1];
        to[3 * x + 2] = from[3 * x];
    }
}

#if defined(__x86_64__)
// Five pixels (15 bytes) a step through 16-byte loads and stores: the 16th
// byte stored is the next pixel's, rewritten by the next step, so a step
// runs only while six pixels are left.
__attribute__((target("ssse3"))) void ReverseShuffled(const uint8_t* from, uint8_t* to,
                                                      size_t pixels) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    size_t x = 0;
    for (; x + 6 <= pixels; x += 5) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 3 * x), _mm_shuffle_epi8(v, order));
    }
    ReverseScalar(from + 3 * x, to + 3 * x, pixels - x);
}

const bool g_hasShuffle = __builtin_cpu_supports("ssse3");
#endif

} // namespace

void ReverseColorOrder(const uint8_t* from, uint8_t* to, size_t pixels) {
#if defined(__x86_64__)
    if (g_hasShuffle) {
        ReverseShuffled(from, to, pixels);
        return;
    }
#endif
    ReverseScalar(from, to, pixels);
}

} // namespace pixmill
