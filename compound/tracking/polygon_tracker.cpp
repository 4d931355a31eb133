#include "compound/tracking/polygon_tracker.h"

#include <algorithm>

namespace pixmill {

namespace {

bool SamePoint(POINT a, POINT b) {
    return a.x == b.x && a.y == b.y;
}

} // namespace

PolygonTracker::PolygonTracker(std::vector<POINT> points, std::vector<uint8_t> selected)
    : points_(std::move(points)), pointSelected_(std::move(selected)) {
    pointSelected_.resize(points_.size(), 0);
    for (uint8_t& flag : pointSelected_) {
        flag = flag != 0 ? 1 : 0;
    }
}

int PolygonTracker::PointAt(POINT point) const {
    for (int index = static_cast<int>(points_.size()) - 1; index >= 0; --index) {
        if (NearPoint(point, points_[index])) {
            return index;
        }
    }
    return -1;
}

void PolygonTracker::SelectPoint(int index, bool add) {
    if (!add) {
        ClearPointSelection();
    }
    if (index >= 0 && index < static_cast<int>(points_.size())) {
        pointSelected_[index] = 1;
    }
}

void PolygonTracker::ClearPointSelection() {
    std::fill(pointSelected_.begin(), pointSelected_.end(), 0);
}

bool PolygonTracker::DeleteSelectedPoints() {
    const auto count = std::count(pointSelected_.begin(), pointSelected_.end(), 1);
    if (count == 0 || points_.size() - static_cast<size_t>(count) < 3) {
        return false;
    }
    size_t kept = 0;
    for (size_t index = 0; index < points_.size(); ++index) {
        if (pointSelected_[index] == 0) {
            points_[kept] = points_[index];
            pointSelected_[kept] = 0;
            ++kept;
        }
    }
    points_.resize(kept);
    pointSelected_.resize(kept);
    return true;
}

void PolygonTracker::SetSelected(bool selected) {
    RegionTracker::SetSelected(selected);
    if (!selected) {
        ClearPointSelection();
    }
}

std::string PolygonTracker::Caption() const {
    return "Polygon";
}

std::string PolygonTracker::StatusText() const {
    return BoxStatusText(Bounds());
}

RECT PolygonTracker::Bounds() const {
    if (points_.empty()) {
        return RECT{0, 0, 0, 0};
    }
    RECT bounds{points_[0].x, points_[0].y, points_[0].x, points_[0].y};
    auto extend = [&bounds](POINT point) {
        bounds.left = std::min(bounds.left, point.x);
        bounds.top = std::min(bounds.top, point.y);
        bounds.right = std::max(bounds.right, point.x);
        bounds.bottom = std::max(bounds.bottom, point.y);
    };
    for (const POINT& point : points_) {
        extend(point);
    }
    if (IsDrawing()) {
        extend(rubber_);
    }
    return bounds;
}

bool PolygonTracker::Contains(POINT point) const {
    if (points_.size() < 3) {
        return false;
    }
    // Even-odd rule: count the edges a ray to the right crosses.
    bool inside = false;
    const double x = point.x, y = point.y;
    for (size_t i = 0, j = points_.size() - 1; i < points_.size(); j = i++) {
        const double xi = points_[i].x, yi = points_[i].y;
        const double xj = points_[j].x, yj = points_[j].y;
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) {
            inside = !inside;
        }
    }
    return inside;
}

HitCode PolygonTracker::HitTest(POINT) const {
    return HitCode::None;
}

TrackerCursor PolygonTracker::CursorAt(POINT point) const {
    if (PointAt(point) >= 0) {
        return TrackerCursor::NorthSouth;
    }
    return Contains(point) ? TrackerCursor::SizeAll : TrackerCursor::Cross;
}

RECT PolygonTracker::StartNew(POINT point) {
    const RECT before = Bounds();
    points_.assign(1, point);
    pointSelected_.assign(1, 0);
    rubber_ = point;
    dragPoint_ = -1;
    state_ = TrackerState::Drawing;
    return UnionRect(before, Bounds());
}

bool PolygonTracker::MouseDown(POINT point) {
    if (IsDrawing()) {
        if (points_.empty() || !SamePoint(points_.back(), point)) {
            points_.push_back(point);
            pointSelected_.push_back(0);
        }
        rubber_ = point;
        return true;
    }
    const int index = PointAt(point);
    if (index >= 0) {
        SelectPoint(index);
        dragPoint_ = index;
        state_ = TrackerState::Resizing;
        return true;
    }
    if (Contains(point)) {
        BeginMove(point);
        return true;
    }
    return false;
}

RECT PolygonTracker::MouseMove(POINT point) {
    const RECT before = Bounds();
    switch (state_) {
    case TrackerState::Drawing:
        rubber_ = point;
        break;
    case TrackerState::Resizing:
        points_[dragPoint_] = point;
        break;
    case TrackerState::Moving: {
        const POINT delta = TakeMoveDelta(point);
        Offset(delta.x, delta.y);
        break;
    }
    case TrackerState::Idle:
        return RECT{0, 0, 0, 0};
    }
    return UnionRect(before, Bounds());
}

RECT PolygonTracker::MouseUp(POINT point) {
    const RECT repaint = MouseMove(point);
    if (!IsDrawing()) {
        state_ = TrackerState::Idle;
        dragPoint_ = -1;
    }
    return repaint;
}

RECT PolygonTracker::DoubleClick(POINT point) {
    if (!IsDrawing()) {
        return RECT{0, 0, 0, 0};
    }
    const RECT before = Bounds();
    if (points_.empty() || !SamePoint(points_.back(), point)) {
        points_.push_back(point);
        pointSelected_.push_back(0);
    }
    return UnionRect(before, FinishDrawing());
}

RECT PolygonTracker::FinishDrawing() {
    const RECT before = Bounds();
    state_ = TrackerState::Idle;
    return UnionRect(before, Bounds());
}

bool PolygonTracker::IsValid() const {
    return !IsDrawing() && points_.size() >= 3;
}

void PolygonTracker::Offset(int dx, int dy) {
    for (POINT& point : points_) {
        point.x += dx;
        point.y += dy;
    }
    rubber_.x += dx;
    rubber_.y += dy;
}

} // namespace pixmill
