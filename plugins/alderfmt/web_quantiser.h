// The web encoding's quantisation: tables shaped for small files, and a
// rate-distortion choice of every block's coefficient values against the
// Huffman code lengths the picture's own statistics predict. Qt-free; the
// encoder drives it between the transform and the entropy coding.
#pragma once

#include <cstdint>

namespace pixmill::alder {

// The web quantisation table of a level (0..255, same scale as the exact
// tables), in zig-zag order.
void WebQuantisationTable(int level, bool chrominance, uint8_t out[64]);

// Estimated bits of the Huffman symbols of one table pair (DC and AC), from
// symbol counts. Symbols never seen cost as much as the longest code.
struct SymbolCosts {
    float dc[16];
    float ac[256];
};

// Gathers sequential-mode symbol counts of quantised blocks (zig-zag, DC
// as a difference to the previous block's DC of the same component).
struct SymbolCounts {
    uint32_t dc[16] = {};
    uint32_t ac[256] = {};

    void AddBlock(const int16_t block[64], int dcDifference);
    SymbolCosts Costs() const;
};

// Quantises a transformed block in place (input 8 x F(u,v) in zig-zag order,
// output the coded values): each AC coefficient may drop to a smaller
// magnitude or to zero where the bits saved outweigh the added error
// (squared error in quantisation steps, weighted by the step relative to the
// first AC step). lambda: the error one bit is worth.
class TrellisQuantiser {
  public:
    TrellisQuantiser(const uint8_t table[64], float lambda);

    // The DC value rounded to nearest, as the trellis leaves it.
    int QuantiseDc(int coefficient) const;
    // lambdaScale: how much more a bit is worth in this block than usual.
    void Quantise(int16_t block[64], const SymbolCosts& costs, float lambdaScale = 1.0f) const;
    // Every value rounded to nearest, for the first symbol statistics.
    void Round(const int16_t block[64], int16_t out[64]) const;

  private:
    float step[64];    // 8 x table entry
    float inverse[64]; // 1 / step
    float weight[64];  // squared-step error -> cost
    float lambda;
};

// The lambda of the luminance or the chrominance table.
float WebLambda(bool chrominance);

// The log of a transformed block's sample variance plus a floor (input 8 x
// F(u,v), zig-zag): how busy the block is.
float BlockActivity(const int16_t block[64]);
// The lambda scale of a luminance block of the given activity in a picture
// whose blocks average meanActivity: errors show less in busy blocks than in
// smooth ones, so bits are worth more there.
float ActivityLambdaScale(float activity, float meanActivity);

} // namespace pixmill::alder
