#include "nearest_entry.h"

#include <algorithm>
#include <climits>

namespace pixmill::cedarcol {

namespace {

// Cells of 2 x 2 x 2 colours get their candidates from those of blocks of
// 8 x 8 x 8 colours, and blocks from those of regions of 32 x 32 x 32: an
// entry that can be nearest somewhere in a cell can be nearest somewhere in
// its block, so only the block's entries are tried.
constexpr int kCellBits = 1; // Find picks a cell's answer by the lowest bits
constexpr int kBlockBits = 3;
constexpr int kRegionBits = 5;

size_t CellsOf(int bits) {
    const size_t side = size_t{256} >> bits;
    return side * side * side;
}

// Least and greatest squared distance along one axis between value v and
// the levels lo .. hi.
int Least(int v, int lo, int hi) {
    const int d = std::max({lo - v, v - hi, 0});
    return d * d;
}
int Greatest(int v, int lo, int hi) {
    const int d = std::max(v - lo, hi - v);
    return d * d;
}

} // namespace

NearestEntry::NearestEntry(const RGBQUAD* palette, int count)
    : cellAt(CellsOf(kCellBits), kUnknown), blockAt(CellsOf(kBlockBits), kUnknown),
      regionAt(CellsOf(kRegionBits), kUnknown) {
    for (int i = 0; i < std::clamp(count, 1, 256); ++i) {
        entries.push_back({palette[i].rgbBlue, palette[i].rgbGreen, palette[i].rgbRed});
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        everyEntry.push_back(static_cast<uint8_t>(i));
    }
}

size_t NearestEntry::Candidates(int lb, int lg, int lr, int bits, const uint8_t* from,
                                size_t fromCount, std::vector<uint8_t>& into) const {
    const int side = 1 << bits;
    const int hb = lb + side - 1, hg = lg + side - 1, hr = lr + side - 1;
    // Every colour of the cube is at most `bound` from some entry, so only
    // entries whose nearest point of the cube is within it can be nearest
    // anywhere in the cube (ties included).
    int bound = INT_MAX;
    int least[256];
    for (size_t k = 0; k < fromCount; ++k) {
        const Entry& e = entries[from[k]];
        bound = std::min(bound, Greatest(e.blue, lb, hb) + Greatest(e.green, lg, hg) +
                                    Greatest(e.red, lr, hr));
        least[k] = Least(e.blue, lb, hb) + Least(e.green, lg, hg) + Least(e.red, lr, hr);
    }
    size_t count = 0;
    for (size_t k = 0; k < fromCount; ++k) {
        if (least[k] <= bound) {
            into.push_back(from[k]);
            ++count;
        }
    }
    return count;
}

uint32_t NearestEntry::ListOf(std::vector<uint32_t>& at, std::vector<uint8_t>& lists, int bits,
                              uint8_t blue, uint8_t green, uint8_t red) {
    const int kb = blue >> bits, kg = green >> bits, kr = red >> bits;
    const size_t side = size_t{256} >> bits;
    const size_t region =
        (side * static_cast<size_t>(kb) + static_cast<size_t>(kg)) * side + static_cast<size_t>(kr);
    if (at[region] != kUnknown) {
        return at[region];
    }
    // The list of the enclosing region, or every entry for the largest.
    const uint8_t* from = everyEntry.data();
    size_t fromCount = everyEntry.size();
    if (bits < kRegionBits) {
        const uint32_t outer = ListOf(regionAt, regionLists, kRegionBits, blue, green, red);
        from = &regionLists[outer + 1];
        fromCount = regionLists[outer] == 0 ? 256 : regionLists[outer];
    }
    const auto start = static_cast<uint32_t>(lists.size());
    lists.push_back(0);
    const size_t count =
        Candidates(kb << bits, kg << bits, kr << bits, bits, from, fromCount, lists);
    lists[start] = static_cast<uint8_t>(count); // 256 wraps to 0
    at[region] = start;
    return start;
}

uint32_t NearestEntry::AnswersOf(uint8_t blue, uint8_t green, uint8_t red) {
    const size_t cell = CellOf(blue, green, red);
    const uint32_t from = ListOf(blockAt, blockLists, kBlockBits, blue, green, red);
    const size_t fromCount = blockLists[from] == 0 ? 256 : blockLists[from];
    const int lo = ~((1 << kCellBits) - 1);
    const int lb = blue & lo, lg = green & lo, lr = red & lo;
    cellList.clear();
    Candidates(lb, lg, lr, kCellBits, &blockLists[from + 1], fromCount, cellList);
    if (cellList.size() == 1) {
        cellAt[cell] = kSingle | cellList[0];
        return cellAt[cell];
    }
    // The eight colours of the cell, blue in the highest bit of the offset.
    const auto at = static_cast<uint32_t>(answers.size());
    for (int b = lb; b < lb + 2; ++b) {
        for (int g = lg; g < lg + 2; ++g) {
            for (int r = lr; r < lr + 2; ++r) {
                // Ascending indices: only a strictly nearer entry replaces
                // the best, so the lower index wins ties.
                int best = cellList[0];
                int bestDistance = Distance(static_cast<uint8_t>(b), static_cast<uint8_t>(g),
                                            static_cast<uint8_t>(r), best);
                for (size_t k = 1; k < cellList.size(); ++k) {
                    const int d = Distance(static_cast<uint8_t>(b), static_cast<uint8_t>(g),
                                           static_cast<uint8_t>(r), cellList[k]);
                    if (d < bestDistance) {
                        bestDistance = d;
                        best = cellList[k];
                    }
                }
                answers.push_back(static_cast<uint8_t>(best));
            }
        }
    }
    cellAt[cell] = at;
    return at;
}

} // namespace pixmill::cedarcol
