// The block transforms of the JPEG encoder: the fast forward DCT in integer
// arithmetic (results 8 times the coefficients of the JPEG definition) and
// the inverse transform of the save preview.
#pragma once

#include <cstdint>

namespace pixmill::alder {

// Zig-zag position -> natural (row-major) index within an 8x8 block.
extern const uint8_t kNaturalOrder[64];

// samples: 64 level-shifted samples (-128..127), row-major. out: 8 x F(u,v)
// in natural order. The vector kernel where the processor has one, else the
// scalar transform; both give the same results.
void ForwardDct(const int16_t samples[64], int16_t out[64]);
void ForwardDctScalar(const int16_t samples[64], int16_t out[64]);

// coefficients: dequantised F(u,v) in natural order. out: level-shifted
// samples (not clamped), row-major.
void InverseDct(const int32_t coefficients[64], int32_t out[64]);

} // namespace pixmill::alder
