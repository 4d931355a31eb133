#include "compound/tracking/circle_tracker.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

namespace pixmill {

namespace {

int ClampToInt(long long value) {
    if (value > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    if (value < std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

} // namespace

void CircleTracker::SetCircle(int centerX, int centerY, int radius) {
    centerX_ = centerX;
    centerY_ = centerY;
    radius_ = radius < 0 ? -radius : radius;
}

std::string CircleTracker::Caption() const {
    return "Circle";
}

std::string CircleTracker::StatusText() const {
    char text[128];
    std::snprintf(text, sizeof text, "Center X: %d  Y: %d  Radius: %d", centerX_, centerY_,
                  radius_);
    return text;
}

RECT CircleTracker::Bounds() const {
    return RECT{centerX_ - radius_, centerY_ - radius_, centerX_ + radius_, centerY_ + radius_};
}

bool CircleTracker::Contains(POINT point) const {
    const long long dx = static_cast<long long>(point.x) - centerX_;
    const long long dy = static_cast<long long>(point.y) - centerY_;
    return dx * dx + dy * dy <= static_cast<long long>(radius_) * radius_;
}

std::vector<POINT> CircleTracker::HandlePoints() const {
    const int d = static_cast<int>(std::lround(radius_ * 0.70710678));
    const int r = radius_;
    return {
        {centerX_ - d, centerY_ - d}, {centerX_ + d, centerY_ - d}, {centerX_ - d, centerY_ + d},
        {centerX_ + d, centerY_ + d}, {centerX_, centerY_ - r},     {centerX_ - r, centerY_},
        {centerX_, centerY_ + r},     {centerX_ + r, centerY_},
    };
}

HitCode CircleTracker::HitTest(POINT point) const {
    static constexpr std::array<HitCode, 8> kOrder{
        HitCode::Left,    HitCode::Right,    HitCode::Top,        HitCode::Bottom,
        HitCode::TopLeft, HitCode::TopRight, HitCode::BottomLeft, HitCode::BottomRight};
    return FirstHandleHit(point, kOrder);
}

RECT CircleTracker::StartNew(POINT point) {
    const RECT before = Bounds();
    centerX_ = point.x;
    centerY_ = point.y;
    radius_ = 0;
    handle_ = HitCode::None;
    state_ = TrackerState::Drawing;
    return UnionRect(before, Bounds());
}

bool CircleTracker::MouseDown(POINT point) {
    return BeginDrag(point, handle_);
}

RECT CircleTracker::MouseMove(POINT point) {
    const RECT before = Bounds();
    if (state_ == TrackerState::Moving) {
        const POINT delta = TakeMoveDelta(point);
        Offset(delta.x, delta.y);
        return UnionRect(before, Bounds());
    }
    if (state_ != TrackerState::Drawing && state_ != TrackerState::Resizing) {
        return RECT{0, 0, 0, 0};
    }
    // A side handle moves its side and keeps the opposite one: half the
    // change goes to the radius, half to the centre.
    long long cx = centerX_, cy = centerY_, r = radius_, d = 0;
    switch (handle_) {
    case HitCode::Top:
        d = (cy - point.y - r) / 2;
        r += d;
        cy -= d;
        break;
    case HitCode::Bottom:
        d = (point.y - r - cy) / 2;
        r += d;
        cy += d;
        break;
    case HitCode::Left:
        d = (cx - r - point.x) / 2;
        r += d;
        cx -= d;
        break;
    case HitCode::Right:
        d = (point.x - r - cx) / 2;
        r += d;
        cx += d;
        break;
    default: {
        const double dx = static_cast<double>(point.x) - cx;
        const double dy = static_cast<double>(point.y) - cy;
        r = static_cast<long long>(std::sqrt(dx * dx + dy * dy));
        break;
    }
    }
    if (r < 0) {
        // Dragged past the opposite side: that side is now the one dragged.
        r = -r;
        switch (handle_) {
        case HitCode::Top:
            handle_ = HitCode::Bottom;
            break;
        case HitCode::Bottom:
            handle_ = HitCode::Top;
            break;
        case HitCode::Left:
            handle_ = HitCode::Right;
            break;
        case HitCode::Right:
            handle_ = HitCode::Left;
            break;
        default:
            break;
        }
    }
    centerX_ = ClampToInt(cx);
    centerY_ = ClampToInt(cy);
    radius_ = ClampToInt(r);
    return UnionRect(before, Bounds());
}

RECT CircleTracker::MouseUp(POINT point) {
    const RECT repaint = MouseMove(point);
    EndDrag(handle_);
    return repaint;
}

void CircleTracker::Offset(int dx, int dy) {
    centerX_ += dx;
    centerY_ += dy;
}

} // namespace pixmill
