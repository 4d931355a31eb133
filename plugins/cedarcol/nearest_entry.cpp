#include "nearest_entry.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace pixmill::cedarcol {

namespace {

constexpr int kCellBits = 1; // cells of 2 x 2 x 2 colours
constexpr int kCellSide = 1 << kCellBits;
constexpr int kCellsPerSide = 256 / kCellSide;
constexpr size_t kCells = size_t{kCellsPerSide} * kCellsPerSide * kCellsPerSide;

// Least and greatest squared distance along one axis between value v and
// the levels lo .. lo + kCellSide - 1.
int Least(int v, int lo) {
    const int d = v < lo ? lo - v : v > lo + kCellSide - 1 ? v - (lo + kCellSide - 1) : 0;
    return d * d;
}
int Greatest(int v, int lo) {
    const int d = std::max(std::abs(v - lo), std::abs(v - (lo + kCellSide - 1)));
    return d * d;
}

} // namespace

NearestEntry::NearestEntry(const RGBQUAD* palette, int count) : listAt(kCells, kUnknown) {
    for (int i = 0; i < std::clamp(count, 1, 256); ++i) {
        entries.push_back({palette[i].rgbBlue, palette[i].rgbGreen, palette[i].rgbRed});
    }
}

int NearestEntry::Distance(uint8_t blue, uint8_t green, uint8_t red, int index) const {
    const Entry& e = entries[static_cast<size_t>(index)];
    const int db = blue - e.blue, dg = green - e.green, dr = red - e.red;
    return db * db + dg * dg + dr * dr;
}

uint32_t NearestEntry::Candidates(size_t cell) {
    if (listAt[cell] != kUnknown) {
        return listAt[cell];
    }
    const int lb = static_cast<int>(cell / kCellsPerSide / kCellsPerSide) * kCellSide;
    const int lg = static_cast<int>(cell / kCellsPerSide % kCellsPerSide) * kCellSide;
    const int lr = static_cast<int>(cell % kCellsPerSide) * kCellSide;
    // Every colour of the cell is at most `bound` from some entry, so only
    // entries whose nearest point of the cell is within it can be nearest
    // anywhere in the cell (ties included).
    int bound = INT_MAX;
    for (const Entry& e : entries) {
        bound = std::min(bound, Greatest(e.blue, lb) + Greatest(e.green, lg) + Greatest(e.red, lr));
    }
    const auto at = static_cast<uint32_t>(lists.size());
    lists.push_back(0);
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        if (Least(e.blue, lb) + Least(e.green, lg) + Least(e.red, lr) <= bound) {
            lists.push_back(static_cast<uint8_t>(i));
            ++lists[at];
        }
    }
    listAt[cell] = at;
    return at;
}

int NearestEntry::Find(uint8_t blue, uint8_t green, uint8_t red) {
    const size_t cell =
        ((size_t{blue} >> kCellBits) * kCellsPerSide + (green >> kCellBits)) * kCellsPerSide +
        (red >> kCellBits);
    const uint32_t at = Candidates(cell);
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
