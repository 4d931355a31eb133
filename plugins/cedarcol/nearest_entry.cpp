#include "nearest_entry.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace pixmill::cedarcol {

namespace {

// Cells of 2 x 2 x 2 colours get their lists from those of blocks of
// 8 x 8 x 8 colours: an entry that can be nearest somewhere in a cell can
// be nearest somewhere in its block, so only the block's entries are tried.
constexpr int kCellBits = 1;
constexpr int kBlockBits = 3;

size_t CellsOf(int bits) {
    const size_t side = size_t{256} >> bits;
    return side * side * side;
}

// Least and greatest squared distance along one axis between value v and
// the levels lo .. hi.
int Least(int v, int lo, int hi) {
    const int d = v < lo ? lo - v : v > hi ? v - hi : 0;
    return d * d;
}
int Greatest(int v, int lo, int hi) {
    const int d = std::max(std::abs(v - lo), std::abs(v - hi));
    return d * d;
}

} // namespace

NearestEntry::NearestEntry(const RGBQUAD* palette, int count)
    : cellAt(CellsOf(kCellBits), kUnknown), blockAt(CellsOf(kBlockBits), kUnknown) {
    for (int i = 0; i < std::clamp(count, 1, 256); ++i) {
        entries.push_back({palette[i].rgbBlue, palette[i].rgbGreen, palette[i].rgbRed});
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        everyEntry.push_back(static_cast<uint8_t>(i));
    }
}

int NearestEntry::Distance(uint8_t blue, uint8_t green, uint8_t red, int index) const {
    const Entry& e = entries[static_cast<size_t>(index)];
    const int db = blue - e.blue, dg = green - e.green, dr = red - e.red;
    return db * db + dg * dg + dr * dr;
}

void NearestEntry::BuildList(size_t cell, int bits, const uint8_t* from, size_t fromCount,
                             std::vector<uint8_t>& into) const {
    const int side = 1 << bits;
    const size_t perSide = size_t{256} >> bits;
    const int lb = static_cast<int>(cell / perSide / perSide) * side;
    const int lg = static_cast<int>(cell / perSide % perSide) * side;
    const int lr = static_cast<int>(cell % perSide) * side;
    const int hb = lb + side - 1, hg = lg + side - 1, hr = lr + side - 1;
    // Every colour of the cell is at most `bound` from some entry, so only
    // entries whose nearest point of the cell is within it can be nearest
    // anywhere in the cell (ties included).
    int bound = INT_MAX;
    for (size_t k = 0; k < fromCount; ++k) {
        const Entry& e = entries[from[k]];
        bound = std::min(bound, Greatest(e.blue, lb, hb) + Greatest(e.green, lg, hg) +
                                    Greatest(e.red, lr, hr));
    }
    const size_t at = into.size();
    into.push_back(0);
    for (size_t k = 0; k < fromCount; ++k) {
        const Entry& e = entries[from[k]];
        if (Least(e.blue, lb, hb) + Least(e.green, lg, hg) + Least(e.red, lr, hr) <= bound) {
            into.push_back(from[k]);
            ++into[at];
        }
    }
}

uint32_t NearestEntry::Candidates(uint8_t blue, uint8_t green, uint8_t red) {
    const size_t cell = ((size_t{blue} >> kCellBits) * (256 >> kCellBits) + (green >> kCellBits)) *
                            (256 >> kCellBits) +
                        (red >> kCellBits);
    if (cellAt[cell] != kUnknown) {
        return cellAt[cell];
    }
    const size_t block =
        ((size_t{blue} >> kBlockBits) * (256 >> kBlockBits) + (green >> kBlockBits)) *
            (256 >> kBlockBits) +
        (red >> kBlockBits);
    if (blockAt[block] == kUnknown) {
        blockAt[block] = static_cast<uint32_t>(blockLists.size());
        BuildList(block, kBlockBits, everyEntry.data(), everyEntry.size(), blockLists);
    }
    const uint32_t from = blockAt[block];
    const size_t fromCount = blockLists[from] == 0 ? 256 : blockLists[from];
    const auto at = static_cast<uint32_t>(lists.size());
    BuildList(cell, kCellBits, &blockLists[from + 1], fromCount, lists);
    if (lists[at] == 1) {
        // Most cells have one candidate: it is kept in place of the list.
        cellAt[cell] = kSingle | lists[at + 1];
        lists.resize(at);
    } else {
        cellAt[cell] = at;
    }
    return cellAt[cell];
}

int NearestEntry::Find(uint8_t blue, uint8_t green, uint8_t red) {
    const uint32_t at = Candidates(blue, green, red);
    if ((at & kSingle) != 0) {
        return static_cast<int>(at & 0xFF);
    }
    // A list never is empty: the entry that sets the bound is on it. Its
    // count byte wraps to 0 only when all 256 entries are.
    const int count = lists[at] == 0 ? 256 : lists[at];
    const uint8_t* list = &lists[at + 1];
    int best = list[0];
    int bestDistance = Distance(blue, green, red, best);
    for (int k = 1; k < count; ++k) {
        // Ascending indices: only a strictly nearer entry replaces the best,
        // so an entry whose green alone is as far can be passed over.
        const Entry& e = entries[list[k]];
        const int dg = green - e.green;
        int d = dg * dg;
        if (d >= bestDistance) {
            continue;
        }
        const int db = blue - e.blue, dr = red - e.red;
        d += db * db + dr * dr;
        if (d < bestDistance) {
            bestDistance = d;
            best = list[k];
        }
    }
    return best;
}

} // namespace pixmill::cedarcol
