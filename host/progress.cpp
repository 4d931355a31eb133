#include "host/progress.h"

#include "pixmill/errors.h"

#include <algorithm>
#include <cmath>

namespace pixmill {

ProgressDisplay::~ProgressDisplay() = default;

HostProgress::HostProgress(ProgressDisplay* display, std::string caption, bool showTexts)
    : display(display), caption(std::move(caption)), showTexts(showTexts) {}

HostProgress::~HostProgress() {
    if (display != nullptr) {
        display->ShowText(std::string()); // clears what the work showed
        if (started) {
            display->Finish();
        }
    }
}

int HostProgress::Begin(int first, int last, int workFirst, int workLast) {
    const int divisor = last == first ? 1 : last - first;
    increment = static_cast<double>(workLast - workFirst) * 5.0 / divisor;
    current = workFirst + increment;
    barPosition = first;
    barLast = std::max(first, last);
    if (display != nullptr) {
        display->Start(first, 5, caption);
        started = true;
    }
    return static_cast<int>(std::lround(current));
}

int HostProgress::Step(const char* text) {
    if (display != nullptr && display->PollBreak()) {
        throw CVImageError(CVImageError::UserBreak);
    }
    barPosition = std::min(barPosition + 5, barLast);
    if (display != nullptr) {
        display->SetPosition(barPosition);
        if (text != nullptr && showTexts) {
            display->ShowText(text);
        }
    }
    current += increment;
    return static_cast<int>(std::lround(current));
}

void HostProgress::End() {
    if (display != nullptr && started) {
        display->Finish();
        started = false;
    }
}

} // namespace pixmill
