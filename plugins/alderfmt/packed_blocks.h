// The coefficient store's packed form: a block is the mask of its non-zero
// zig-zag positions and those values in zig-zag order. A photograph leaves
// most coefficients zero, so the coders walk only the values there are, and
// the store is a fraction of the size of whole blocks.
#pragma once

#include <cstdint>

namespace pixmill::alder {

// The zig-zag position of each natural position (kNaturalOrder's inverse).
extern const uint8_t kZigzagIndex[64];

// Packs a block given in zig-zag order; returns the end of the values
// written. Each value is read before anything is written at or after it, so
// a store can be packed in place.
inline int16_t* PackZigzag(const int16_t block[64], int16_t* to, uint64_t* mask) {
    uint64_t bits = 0;
    for (int k = 0; k < 64; ++k) {
        const int16_t c = block[k];
        if (c != 0) {
            bits |= uint64_t{1} << k;
            *to++ = c;
        }
    }
    *mask = bits;
    return to;
}

// Packs a block given in natural order with the mask of its non-zero
// natural positions.
inline int16_t* PackNatural(const int16_t natural[64], uint64_t naturalMask, int16_t* to,
                            uint64_t* mask) {
    int16_t ordered[64];
    uint64_t bits = 0;
    for (uint64_t m = naturalMask; m != 0; m &= m - 1) {
        const int n = __builtin_ctzll(m);
        const int k = kZigzagIndex[n];
        bits |= uint64_t{1} << k;
        ordered[k] = natural[n];
    }
    for (uint64_t m = bits; m != 0; m &= m - 1) {
        *to++ = ordered[__builtin_ctzll(m)];
    }
    *mask = bits;
    return to;
}

// The whole block (zig-zag order) back from its packed form.
inline void Unpack(uint64_t mask, const int16_t* values, int16_t block[64]) {
    for (int k = 0; k < 64; ++k) {
        block[k] = 0;
    }
    for (uint64_t m = mask; m != 0; m &= m - 1) {
        block[__builtin_ctzll(m)] = *values++;
    }
}

// The positions ss..se of a block.
inline uint64_t BandMask(int ss, int se) {
    const uint64_t upTo = se == 63 ? ~uint64_t{0} : (uint64_t{1} << (se + 1)) - 1;
    return upTo & ~((uint64_t{1} << ss) - 1);
}

} // namespace pixmill::alder
