// Steps a caller's progress object (which may be null) through a pixel loop:
// whenever the work position reaches the position it asked for, as often as
// needed when rows are few. The bar moves in steps of 5, so a band never
// needs more steps than its width / 5; that limit also ends the loop when
// the work range is empty.
#pragma once

#include "pixmill/progress.h"

namespace pixmill {

class WorkProgress {
  public:
    explicit WorkProgress(CVProgress* progress) : progress(progress) {}
    void Begin(int barFirst, int barLast, int workFirst, int workLast) {
        if (progress != nullptr) {
            next = progress->Begin(barFirst, barLast, workFirst, workLast);
            stepsLeft = (barLast - barFirst) / 5;
        }
    }
    void At(int work) {
        while (progress != nullptr && work >= next && stepsLeft > 0) {
            next = progress->Step(nullptr);
            --stepsLeft;
        }
    }
    void End() {
        if (progress != nullptr) {
            progress->End();
        }
    }

  private:
    CVProgress* progress;
    int next = 0;
    int stepsLeft = 0;
};

} // namespace pixmill
