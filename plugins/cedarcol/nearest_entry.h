// The palette entry nearest to an exact 8-bit colour, for the high-quality
// reduction: the shared inverse colour map answers per cell of 4 x 4 x 4
// colours, which costs a photograph a good part of its error once the palette
// fits it closely. Each cell of 2 x 2 x 2 colours the picture touches gets,
// once, the short list of entries that can be nearest to some colour inside
// it (chosen from the list of its block of 8 x 8 x 8 colours, itself chosen
// from that of its region of 32 x 32 x 32), and from that
// list the answers for its eight colours; later colours of the cell are
// answered by looking them up.
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
    int Find(uint8_t blue, uint8_t green, uint8_t red) {
        uint32_t at = cellAt[CellOf(blue, green, red)];
        if (at == kUnknown) [[unlikely]] {
            at = AnswersOf(blue, green, red);
        }
        if ((at & kSingle) != 0) {
            return static_cast<int>(at & 0xFF);
        }
        return answers[at + ((blue & 1u) << 2 | (green & 1u) << 1 | (red & 1u))];
    }

    // Squared distance of a colour from an entry.
    int Distance(uint8_t blue, uint8_t green, uint8_t red, int index) const {
        const Entry& e = entries[static_cast<size_t>(index)];
        const int db = blue - e.blue, dg = green - e.green, dr = red - e.red;
        return db * db + dg * dg + dr * dr;
    }

  private:
    static constexpr uint32_t kUnknown = UINT32_MAX;
    static constexpr uint32_t kSingle = uint32_t{1} << 30; // with the one candidate's index

    // Cells of 2 x 2 x 2 colours, blue highest.
    static size_t CellOf(uint8_t blue, uint8_t green, uint8_t red) {
        return ((size_t{blue} >> 1) * 128 + (green >> 1)) * 128 + (red >> 1);
    }
    // Works out the answers of the colour's cell, not known yet: kSingle
    // with the index when one entry is nearest everywhere in it, else where
    // its eight answers start.
    uint32_t AnswersOf(uint8_t blue, uint8_t green, uint8_t red);
    // Appends to into the entries, chosen from the fromCount at from, that
    // can be nearest somewhere in the cube of 2^bits levels a side from
    // (lb, lg, lr); returns how many.
    size_t Candidates(int lb, int lg, int lr, int bits, const uint8_t* from, size_t fromCount,
                      std::vector<uint8_t>& into) const;

    // Where the candidates of the colour's block (bits 3) or region (bits 5)
    // start in lists, worked out on first use.
    uint32_t ListOf(std::vector<uint32_t>& at, std::vector<uint8_t>& lists, int bits, uint8_t blue,
                    uint8_t green, uint8_t red);

    struct Entry {
        int blue, green, red;
    };
    std::vector<Entry> entries;
    std::vector<uint8_t> everyEntry; // 0, 1, ... count - 1
    // Per cell [blue >> 1][green >> 1][red >> 1]: AnswersOf's value.
    std::vector<uint32_t> cellAt;
    std::vector<uint8_t> answers;
    // Per block [blue >> 3][green >> 3][red >> 3]: where its candidates start
    // in blockLists (a count, 0 for all 256, then the entry indices in
    // ascending order).
    std::vector<uint32_t> blockAt;
    std::vector<uint8_t> blockLists;
    // The same per region [blue >> 5][green >> 5][red >> 5], from which the
    // blocks choose theirs.
    std::vector<uint32_t> regionAt;
    std::vector<uint8_t> regionLists;
    std::vector<uint8_t> cellList; // the candidates of the cell being answered
};

} // namespace pixmill::cedarcol
