#include "huffman.h"

#include <cstring>

namespace pixmill::alder {

namespace {

constexpr int kMaxLength = 32;

// The unlimited code length of every symbol: the two least frequent trees
// are merged until one is left. Ties go to the larger symbol value
// (scanning upwards with <=). The reserved symbol counts 1.
void CodeLengths(const uint32_t counters[kHuffmanCounters], int codeSize[kHuffmanCounters]) {
    uint64_t freq[kHuffmanCounters];
    int others[kHuffmanCounters];
    for (int i = 0; i < 256; ++i) {
        freq[i] = counters[i];
        others[i] = -1;
    }
    freq[256] = 1;
    others[256] = -1;
    for (;;) {
        int c1 = -1;
        uint64_t v = UINT64_MAX;
        for (int i = 0; i < kHuffmanCounters; ++i) {
            if (freq[i] != 0 && freq[i] <= v) {
                v = freq[i];
                c1 = i;
            }
        }
        int c2 = -1;
        v = UINT64_MAX;
        for (int i = 0; i < kHuffmanCounters; ++i) {
            if (freq[i] != 0 && freq[i] <= v && i != c1) {
                v = freq[i];
                c2 = i;
            }
        }
        if (c2 < 0) {
            return;
        }
        freq[c1] += freq[c2];
        freq[c2] = 0;
        // Every member of both trees moves one level down.
        ++codeSize[c1];
        while (others[c1] >= 0) {
            c1 = others[c1];
            ++codeSize[c1];
        }
        others[c1] = c2;
        ++codeSize[c2];
        while (others[c2] >= 0) {
            c2 = others[c2];
            ++codeSize[c2];
        }
    }
}

// The number of codes of each length limited to 16 bits, the reserved
// symbol's code taken out. False when a length exceeds kMaxLength.
bool LimitedLengthCounts(const int codeSize[kHuffmanCounters], int bits[kMaxLength + 1]) {
    for (int i = 0; i < kHuffmanCounters; ++i) {
        if (codeSize[i] != 0) {
            if (codeSize[i] > kMaxLength) {
                return false;
            }
            ++bits[codeSize[i]];
        }
    }
    // Take two codes from the longest length and move them under a prefix
    // one level up, shortening another code.
    for (int i = kMaxLength; i > 16; --i) {
        while (bits[i] > 0) {
            int j = i - 2;
            while (bits[j] == 0) {
                --j;
            }
            bits[i] -= 2;
            bits[i - 1] += 1;
            bits[j + 1] += 2;
            bits[j] -= 1;
        }
    }
    // The reserved symbol's code is the longest one.
    int longest = 16;
    while (longest > 0 && bits[longest] == 0) {
        --longest;
    }
    if (longest > 0) {
        --bits[longest];
    }
    return true;
}

// Canonical codes for the symbols in table.values, handed out by length.
void AssignCodes(const int bits[kMaxLength + 1], HuffmanTable& table) {
    uint32_t code = 0;
    int k = 0;
    for (int l = 1; l <= 16; ++l) {
        for (int i = 0; i < bits[l]; ++i) {
            const uint8_t symbol = table.values[k++];
            table.code[symbol] = static_cast<uint16_t>(code);
            table.size[symbol] = static_cast<uint8_t>(l);
            ++code;
        }
        code <<= 1;
    }
}

} // namespace

bool BuildHuffmanTable(const uint32_t counters[kHuffmanCounters], HuffmanTable& table) {
    int codeSize[kHuffmanCounters] = {};
    CodeLengths(counters, codeSize);
    int bits[kMaxLength + 1] = {};
    if (!LimitedLengthCounts(codeSize, bits)) {
        return false;
    }
    table = HuffmanTable{};
    for (int l = 1; l <= 16; ++l) {
        table.bits[l] = static_cast<uint8_t>(bits[l]);
    }
    // Symbols ordered by their unlimited code length, then value; the
    // limited lengths are handed out in that order.
    int n = 0;
    for (int l = 1; l <= kMaxLength; ++l) {
        for (int s = 0; s < 256; ++s) {
            if (codeSize[s] == l) {
                table.values[n++] = static_cast<uint8_t>(s);
            }
        }
    }
    table.count = n;
    AssignCodes(bits, table);
    return true;
}

} // namespace pixmill::alder
