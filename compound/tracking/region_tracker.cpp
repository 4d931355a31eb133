#include "compound/tracking/region_tracker.h"

#include <cstdlib>

namespace pixmill {

RECT RegionTracker::DoubleClick(POINT) {
    return RECT{0, 0, 0, 0};
}

int RegionTracker::Tolerance() const {
    return HandleTolerance(zoom_);
}

bool RegionTracker::NearPoint(POINT point, POINT handle) const {
    const long long tolerance = Tolerance();
    return std::llabs(static_cast<long long>(point.x) - handle.x) <= tolerance &&
           std::llabs(static_cast<long long>(point.y) - handle.y) <= tolerance;
}

void RegionTracker::BeginMove(POINT point) {
    state_ = TrackerState::Moving;
    moveAnchor_ = point;
}

POINT RegionTracker::TakeMoveDelta(POINT point) {
    const POINT delta{point.x - moveAnchor_.x, point.y - moveAnchor_.y};
    moveAnchor_ = point;
    return delta;
}

} // namespace pixmill
