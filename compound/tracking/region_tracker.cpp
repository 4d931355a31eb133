#include "compound/tracking/region_tracker.h"

#include <cstdlib>

namespace pixmill {

RECT RegionTracker::DoubleClick(POINT) {
    return RECT{0, 0, 0, 0};
}

TrackerCursor RegionTracker::CursorAt(POINT point) const {
    return CursorForHandle(HitTest(point), Contains(point));
}

int RegionTracker::Tolerance() const {
    return HandleTolerance(zoom_);
}

bool RegionTracker::NearPoint(POINT point, POINT handle) const {
    const long long tolerance = Tolerance();
    return std::llabs(static_cast<long long>(point.x) - handle.x) <= tolerance &&
           std::llabs(static_cast<long long>(point.y) - handle.y) <= tolerance;
}

HitCode RegionTracker::FirstHandleHit(POINT point, const std::array<HitCode, 8>& order) const {
    if (!resizable_) {
        return HitCode::None;
    }
    const std::vector<POINT> handles = HandlePoints();
    for (HitCode code : order) {
        if (NearPoint(point, handles[static_cast<int>(code) - 1])) {
            return code;
        }
    }
    return HitCode::None;
}

bool RegionTracker::BeginDrag(POINT point, HitCode& handle) {
    const HitCode code = HitTest(point);
    if (code != HitCode::None) {
        handle = code;
        state_ = TrackerState::Resizing;
        return true;
    }
    if (Contains(point)) {
        handle = HitCode::None;
        BeginMove(point);
        return true;
    }
    return false;
}

void RegionTracker::EndDrag(HitCode& handle) {
    state_ = TrackerState::Idle;
    handle = HitCode::None;
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
