// The encoder's vector kernels, built for AVX2 in a file of their own and
// chosen at run time when the processor has it. Each gives exactly the
// results of its scalar counterpart.
#pragma once

#include <cstdint>

namespace pixmill::alder {

// Whether the vector kernels run here; off on processors without AVX2 or
// when switched off (tests compare both paths).
bool VectorKernelsActive();
void SetVectorKernels(bool on);

// ForwardDct's transform for AVX2 processors (samples -128..127, which keep
// its 32-bit products from overflowing).
void ForwardDctAvx2(const int16_t samples[64], int16_t out[64]);

// The colour conversion of 16 pixels (blue, green, red): Y - 128, and Cb, Cr
// before their 2 x 2 means, as the encoder's conversion tables give them.
void ConvertPixels16Avx2(const uint8_t* bgr, int16_t* y, int32_t* cb, int32_t* cr);

// The sum of |block[k]| for k = 10..63 (zig-zag order): the block's
// high-frequency energy.
int HighFrequencyEnergyAvx2(const int16_t block[64]);

// The quantiser's divisors (8 x table entry) and 32-bit reciprocals
// (ceil(2^32 / divisor)) in natural order, for the fused kernel.
struct NaturalQuantiser {
    alignas(32) uint32_t divisor[64];
    alignas(32) uint32_t reciprocal[64];
};

// ForwardDct and the quantiser of a block in one step, without the zig-zag
// reordering between them: the quantised values in natural order into out;
// returns the mask of their non-zero natural positions and gives the
// unquantised DC (for padding blocks that repeat it).
uint64_t TransformQuantiseAvx2(const int16_t samples[64], const NaturalQuantiser& quantiser,
                               int sharpenThreshold, int16_t out[64], int* dc);

// Quantises a block in place: 0 below the threshold, else the magnitude
// plus half a step times the reciprocal, limited to maxDc / maxAc.
void QuantiseAvx2(int16_t block[64], const uint32_t divisor[64], const uint64_t reciprocal[64],
                  bool rounding, int maxDc, int maxAc);

} // namespace pixmill::alder
