// Progress reports of one pixel loop: the loop owns a band of the bar and
// reports after whole rows once its position reaches the next report point.
#pragma once

#include "pixmill/progress.h"

#include <climits>
#include <cstddef>

namespace pixmill::cedarcol {

class ProgressBand {
  public:
    // progress may be null: no reports. totalBytes: the source bytes the
    // loop walks through.
    ProgressBand(CVProgress* progress, int from, int to, size_t totalBytes) : progress(progress) {
        // Work positions are int; very large images report in coarser units.
        while ((totalBytes >> shift) > static_cast<size_t>(INT_MAX)) {
            ++shift;
        }
        if (progress != nullptr) {
            next = progress->Begin(from, to, 0, static_cast<int>(totalBytes >> shift));
        }
    }
    void RowDone(size_t rowBytes) {
        position += rowBytes;
        if (progress != nullptr && static_cast<long long>(position >> shift) >= next) {
            next = progress->Step(nullptr);
        }
    }

  private:
    CVProgress* progress;
    unsigned shift = 0;
    size_t position = 0;
    long long next = 0;
};

} // namespace pixmill::cedarcol
