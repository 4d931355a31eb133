#include "pixmill/inverse_color_map.h"

#include <climits>
#include <cstring>

namespace pixmill {

InverseColorMap::InverseColorMap(uint16_t* cells, const RGBQUAD* palette, int count, bool clear)
    : cells(cells), palette(palette), count(count) {
    if (clear) {
        std::memset(cells, 0, kCellBytes);
    }
}

namespace {
// Nearest and farthest squared distance, along one axis, from x to the cell
// centres lo..hi of a block.
void AxisDistances(int x, int lo, int& nearDistance, int& farDistance) {
    const int hi = lo + 28;
    if (x < lo) {
        nearDistance = (x - lo) * (x - lo);
        farDistance = (x - hi) * (x - hi);
    } else if (x > hi) {
        nearDistance = (x - hi) * (x - hi);
        farDistance = (x - lo) * (x - lo);
    } else {
        nearDistance = 0;
        farDistance = x > lo + 14 ? (x - lo) * (x - lo) : (x - hi) * (x - hi);
    }
}
} // namespace

void InverseColorMap::FillBlock(int blueBlock, int greenBlock, int redBlock) {
    const int loB = 32 * blueBlock + 2, loG = 32 * greenBlock + 2, loR = 32 * redBlock + 2;

    // Candidates: entries whose nearest distance to the block does not exceed
    // the smallest farthest distance of any entry.
    int nearSum[256];
    int bound = INT_MAX;
    for (int i = 0; i < count; ++i) {
        int nb, fb, ng, fg, nr, fr;
        AxisDistances(palette[i].rgbBlue, loB, nb, fb);
        AxisDistances(palette[i].rgbGreen, loG, ng, fg);
        AxisDistances(palette[i].rgbRed, loR, nr, fr);
        nearSum[i] = nb + ng + nr;
        if (fb + fg + fr < bound) {
            bound = fb + fg + fr;
        }
    }

    int best[512];
    int bestIndex[512];
    for (int c = 0; c < 512; ++c) {
        best[c] = INT_MAX;
        bestIndex[c] = 0;
    }
    for (int i = 0; i < count; ++i) {
        if (nearSum[i] > bound) {
            continue;
        }
        // Incremental squared distances: d^2 at the first centre, then each
        // step of 4 adds 8d + 16 where d is the current difference.
        const int db0 = loB - palette[i].rgbBlue;
        const int dg0 = loG - palette[i].rgbGreen;
        const int dr0 = loR - palette[i].rgbRed;
        int cell = 0;
        int distB = db0 * db0;
        int incB = 8 * db0 + 16;
        for (int b = 0; b < 8; ++b) {
            int distG = distB + dg0 * dg0;
            int incG = 8 * dg0 + 16;
            for (int g = 0; g < 8; ++g) {
                int dist = distG + dr0 * dr0;
                int incR = 8 * dr0 + 16;
                for (int r = 0; r < 8; ++r) {
                    if (dist < best[cell]) {
                        best[cell] = dist;
                        bestIndex[cell] = i;
                    }
                    ++cell;
                    dist += incR;
                    incR += 32;
                }
                distG += incG;
                incG += 32;
            }
            distB += incB;
            incB += 32;
        }
    }

    int cell = 0;
    for (int b = 0; b < 8; ++b) {
        for (int g = 0; g < 8; ++g) {
            for (int r = 0; r < 8; ++r) {
                cells[CellIndex(blueBlock * 8 + b, greenBlock * 8 + g, redBlock * 8 + r)] =
                    static_cast<uint16_t>(bestIndex[cell++] + 1);
            }
        }
    }
}

} // namespace pixmill
