// Huffman tables optimised for the symbols of one picture (or one scan):
// code lengths from the symbol frequencies with one reserved symbol, limited
// to 16 bits, then canonical codes.
#pragma once

#include <cstdint>

namespace pixmill::alder {

// 256 symbols plus the reserved one that keeps every code from being all
// 1-bits.
constexpr int kHuffmanCounters = 257;

struct HuffmanTable {
    uint8_t bits[17] = {};    // bits[l]: number of codes of length l (1..16)
    uint8_t values[256] = {}; // symbols by increasing code length, then value
    int count = 0;            // number of symbols
    uint16_t code[256] = {};  // per symbol
    uint8_t size[256] = {};   // per symbol; 0 when the symbol has no code
};

// Builds the table from the frequencies (counters[256] is ignored: the
// reserved symbol always counts 1). Returns false when a code length before
// limiting would exceed 32 bits.
bool BuildHuffmanTable(const uint32_t counters[kHuffmanCounters], HuffmanTable& table);

} // namespace pixmill::alder
