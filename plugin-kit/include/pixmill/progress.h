// CVProgress: progress of long work. The caller calls Step whenever its work
// position reaches the value returned last by Begin or Step. Step may throw
// CVImageError 7 ("User break") when the user asked to stop.
#pragma once

#include "pixmill/win_types.h"

namespace pixmill {

class PIXMILL_EXPORT CVProgress {
  public:
    virtual int Begin(int barFirst, int barLast, int workFirst, int workLast) = 0; // slot 0
    virtual int Step(const char* text) = 0;                                        // slot 1
    virtual void End() = 0;                                                        // slot 2

  protected:
    ~CVProgress() = default;
};

} // namespace pixmill
