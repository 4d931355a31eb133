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

// The samples of a colour MCU whose rows hold 16 pixels each (blue, green,
// red; rows[r] for row r, the caller repeating the last row below the
// picture): four luminance blocks (Y - 128) and the Cb, Cr blocks (each the
// 2 x 2 mean rounded with the bias 1, 2 alternating, or 3 in a partial MCU,
// - 128), as the encoder's conversion tables give them.
void ConvertMcuAvx2(const uint8_t* const rows[16], bool partial, int16_t samples[6][64]);

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
