#include "compound/tracking/rect_tracker.h"

#include <array>
#include <string>
#include <utility>

namespace pixmill {

namespace {

// Handles across the vertical sides (left <-> right) and across the
// horizontal ones (top <-> bottom).
HitCode MirrorLeftRight(HitCode code) {
    switch (code) {
    case HitCode::TopLeft:
        return HitCode::TopRight;
    case HitCode::TopRight:
        return HitCode::TopLeft;
    case HitCode::BottomLeft:
        return HitCode::BottomRight;
    case HitCode::BottomRight:
        return HitCode::BottomLeft;
    case HitCode::Left:
        return HitCode::Right;
    case HitCode::Right:
        return HitCode::Left;
    default:
        return code;
    }
}

HitCode MirrorTopBottom(HitCode code) {
    switch (code) {
    case HitCode::TopLeft:
        return HitCode::BottomLeft;
    case HitCode::BottomLeft:
        return HitCode::TopLeft;
    case HitCode::TopRight:
        return HitCode::BottomRight;
    case HitCode::BottomRight:
        return HitCode::TopRight;
    case HitCode::Top:
        return HitCode::Bottom;
    case HitCode::Bottom:
        return HitCode::Top;
    default:
        return code;
    }
}

} // namespace

std::string RectTracker::Caption() const {
    return "Rectangle";
}

std::string RectTracker::StatusText() const {
    return BoxStatusText(rect_);
}

bool RectTracker::Contains(POINT point) const {
    return point.x >= rect_.left && point.x < rect_.right && point.y >= rect_.top &&
           point.y < rect_.bottom;
}

bool RectTracker::IsEmpty() const {
    return rect_.right <= rect_.left || rect_.bottom <= rect_.top;
}

std::vector<POINT> RectTracker::HandlePoints() const {
    const int midX = rect_.left + (rect_.right - rect_.left) / 2;
    const int midY = rect_.top + (rect_.bottom - rect_.top) / 2;
    return {
        {rect_.left, rect_.top},     {rect_.right, rect_.top}, {rect_.left, rect_.bottom},
        {rect_.right, rect_.bottom}, {midX, rect_.top},        {rect_.left, midY},
        {midX, rect_.bottom},        {rect_.right, midY},
    };
}

HitCode RectTracker::HitTest(POINT point) const {
    static constexpr std::array<HitCode, 8> kOrder{
        HitCode::TopLeft, HitCode::BottomLeft, HitCode::TopRight, HitCode::BottomRight,
        HitCode::Bottom,  HitCode::Top,        HitCode::Right,    HitCode::Left};
    return FirstHandleHit(point, kOrder);
}

RECT RectTracker::StartNew(POINT point) {
    const RECT before = rect_;
    rect_ = RECT{point.x, point.y - 1, point.x + 1, point.y};
    handle_ = HitCode::TopRight;
    state_ = TrackerState::Drawing;
    return UnionRect(before, rect_);
}

bool RectTracker::MouseDown(POINT point) {
    return BeginDrag(point, handle_);
}

RECT RectTracker::MouseMove(POINT point) {
    const RECT before = rect_;
    if (state_ == TrackerState::Moving) {
        const POINT delta = TakeMoveDelta(point);
        Offset(delta.x, delta.y);
    } else if (state_ == TrackerState::Drawing || state_ == TrackerState::Resizing) {
        switch (handle_) {
        case HitCode::TopLeft:
            rect_.left = point.x, rect_.top = point.y;
            break;
        case HitCode::TopRight:
            rect_.right = point.x, rect_.top = point.y;
            break;
        case HitCode::BottomLeft:
            rect_.left = point.x, rect_.bottom = point.y;
            break;
        case HitCode::BottomRight:
            rect_.right = point.x, rect_.bottom = point.y;
            break;
        case HitCode::Top:
            rect_.top = point.y;
            break;
        case HitCode::Left:
            rect_.left = point.x;
            break;
        case HitCode::Bottom:
            rect_.bottom = point.y;
            break;
        case HitCode::Right:
            rect_.right = point.x;
            break;
        case HitCode::None:
            break;
        }
        if (rect_.left > rect_.right) {
            std::swap(rect_.left, rect_.right);
            handle_ = MirrorLeftRight(handle_);
        }
        if (rect_.top > rect_.bottom) {
            std::swap(rect_.top, rect_.bottom);
            handle_ = MirrorTopBottom(handle_);
        }
    } else {
        return RECT{0, 0, 0, 0};
    }
    return UnionRect(before, rect_);
}

RECT RectTracker::MouseUp(POINT point) {
    const RECT repaint = MouseMove(point);
    EndDrag(handle_);
    return repaint;
}

void RectTracker::Offset(int dx, int dy) {
    rect_.left += dx;
    rect_.right += dx;
    rect_.top += dy;
    rect_.bottom += dy;
}

} // namespace pixmill
