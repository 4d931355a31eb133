// WorkProgress: steps a caller's progress object (which may be null) through
// a pixel loop. Begin maps a band of the bar onto the loop's work positions;
// the loop reports the position it has reached, and Step (which may end the
// work with "User break") is called whenever that position reaches the
// checkpoint the progress object asked for last.
//
// How many steps one report may make is the loop's pace:
// - CatchUpInBand: as many as the position has passed, but no more than the
//   band holds (its width / 5, the bar moving in steps of 5); that limit also
//   ends the stepping when the work range is empty.
// - CatchUp: as many as the position has passed, at most 100 per report.
// - OneStep: at most one per report, and the next checkpoint always lies
//   beyond the last one, so a pass with fewer positions than the bar has
//   steps never steps twice at the same position.
#pragma once

#include "pixmill/progress.h"

#include <climits>
#include <cstddef>
#include <cstdint>

namespace pixmill {

class WorkProgress {
  public:
    enum class Pace { CatchUpInBand, CatchUp, OneStep };

    explicit WorkProgress(CVProgress* progress, Pace pace = Pace::CatchUpInBand)
        : progress(progress), pace(pace) {}

    void Begin(int barFirst, int barLast, int workFirst, int workLast) {
        shift = 0;
        position = 0;
        if (progress != nullptr) {
            next = progress->Begin(barFirst, barLast, workFirst, workLast);
            stepsLeft = pace == Pace::CatchUpInBand ? (barLast - barFirst) / 5 : INT_MAX;
            stepsPerReport = pace == Pace::CatchUp ? 100 : INT_MAX;
        }
    }
    // A band over a count of bytes (or other units) too large for int work
    // positions: they are reported in coarser units. Advance adds to the
    // running count.
    void BeginLarge(int barFirst, int barLast, uint64_t total) {
        unsigned coarser = 0;
        while ((total >> coarser) > static_cast<uint64_t>(INT_MAX)) {
            ++coarser;
        }
        Begin(barFirst, barLast, 0, static_cast<int>(total >> coarser));
        shift = coarser;
    }
    void Advance(uint64_t amount) {
        position += amount;
        At(static_cast<int64_t>(position >> shift));
    }

    void At(int64_t work) {
        // The test that keeps a pixel loop going is all that is inlined.
        if (work >= next) {
            Reached(work);
        }
    }

    void End() {
        if (progress != nullptr) {
            progress->End();
        }
    }

  private:
    [[gnu::noinline]] void Reached(int64_t work) {
        if (progress == nullptr) {
            return;
        }
        if (pace == Pace::OneStep) {
            const int previous = next;
            next = progress->Step(nullptr);
            if (next <= previous) {
                next = previous + 1;
            }
            return;
        }
        for (int steps = 0; work >= next && stepsLeft > 0 && steps < stepsPerReport; ++steps) {
            next = progress->Step(nullptr);
            --stepsLeft;
        }
    }

    CVProgress* progress;
    Pace pace;
    int next = INT_MAX;
    int stepsLeft = 0;
    int stepsPerReport = 0;
    unsigned shift = 0;
    uint64_t position = 0;
};

} // namespace pixmill
