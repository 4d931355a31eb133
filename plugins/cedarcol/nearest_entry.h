// The palette entry nearest to an exact 8-bit colour, for the high-quality
// reduction: the shared inverse colour map answers per cell of 4 x 4 x 4
// colours, which costs a photograph a good part of its error once the palette
// fits it closely. Each cell of 2 x 2 x 2 colours the picture touches gets,
// once, the short list of entries that can be nearest to some colour inside
// it (chosen from the list of its block of 8 x 8 x 8 colours); a colour is
// then compared with that list only.
#pragma once

#include "pixmill/win_types.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pixmill::cedarcol {

class NearestEntry {
  public:
    NearestEntry(const RGBQUAD* palette, int count);

    // The entry with the least squared distance (over blue, green and red)
    // from the colour; the lower index wins ties.
    int Find(uint8_t blue, uint8_t green, uint8_t red);

    // Squared distance of a colour from an entry.
    int Distance(uint8_t blue, uint8_t green, uint8_t red, int index) const;

  private:
    static constexpr uint32_t kUnknown = UINT32_MAX;
    static constexpr uint32_t kSingle = uint32_t{1} << 30; // with the one candidate's index
    // Where the list of the colour's cell starts in lists, built when first
    // asked for.
    uint32_t Candidates(uint8_t blue, uint8_t green, uint8_t red);
    // Appends to into the list of a cell (of 2^bits levels a side) chosen
    // from the fromCount entries at from.
    void BuildList(size_t cell, int bits, const uint8_t* from, size_t fromCount,
                   std::vector<uint8_t>& into) const;

    struct Entry {
        int blue, green, red;
    };
    std::vector<Entry> entries;
    std::vector<uint8_t> everyEntry; // 0, 1, ... count - 1
    // Per cell [blue >> 1][green >> 1][red >> 1]: where its list starts in
    // lists (a count, 0 for all 256, then the entry indices in ascending
    // order), or kSingle with the index when there is one candidate; lists
    // alone per block [blue >> 3][green >> 3][red >> 3].
    std::vector<uint32_t> cellAt;
    std::vector<uint8_t> lists;
    std::vector<uint32_t> blockAt;
    std::vector<uint8_t> blockLists;
};

} // namespace pixmill::cedarcol
