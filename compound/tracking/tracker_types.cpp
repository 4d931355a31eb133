#include "compound/tracking/tracker_types.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pixmill {

int HandleTolerance(double zoom) {
    if (!(zoom > 0)) {
        zoom = 1.0;
    }
    const double tolerance = std::trunc(kHandleHalfSize / zoom);
    return tolerance < 1 ? 1 : static_cast<int>(std::min(tolerance, 1e9));
}

namespace {

int MapToScreen(double value, double zoom, int scroll) {
    return static_cast<int>(std::floor(value * zoom - scroll + 0.5));
}

// Canvas pixel v starts on the screen at floor(v * zoom + 0.5) - scroll, so
// the pixel showing screen s is the largest v with v * zoom < s + scroll + 0.5.
int MapToCanvas(int screen, double zoom, int scroll) {
    const double limit = (static_cast<double>(screen) + scroll + 0.5) / zoom;
    return static_cast<int>(std::ceil(limit)) - 1;
}

} // namespace

int ScreenMapping::ToScreenX(double x) const {
    return MapToScreen(x, zoom, scrollX);
}

int ScreenMapping::ToScreenY(double y) const {
    return MapToScreen(y, zoom, scrollY);
}

POINT ScreenMapping::ToScreen(POINT canvas) const {
    return POINT{ToScreenX(canvas.x), ToScreenY(canvas.y)};
}

int ScreenMapping::ToCanvasX(int x) const {
    return MapToCanvas(x, zoom, scrollX);
}

int ScreenMapping::ToCanvasY(int y) const {
    return MapToCanvas(y, zoom, scrollY);
}

POINT ScreenMapping::ToCanvas(POINT screen) const {
    return POINT{ToCanvasX(screen.x), ToCanvasY(screen.y)};
}

RECT ScreenMapping::ToScreen(const RECT& canvas) const {
    return RECT{ToScreenX(canvas.left), ToScreenY(canvas.top), ToScreenX(canvas.right),
                ToScreenY(canvas.bottom)};
}

bool IsEmptyRect(const RECT& rect) {
    return rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0;
}

RECT UnionRect(const RECT& a, const RECT& b) {
    if (IsEmptyRect(a)) {
        return b;
    }
    if (IsEmptyRect(b)) {
        return a;
    }
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

TrackerCursor CursorForHandle(HitCode code, bool inside) {
    switch (code) {
    case HitCode::None:
        return inside ? TrackerCursor::SizeAll : TrackerCursor::Cross;
    case HitCode::TopLeft:
    case HitCode::BottomRight:
        return TrackerCursor::NorthWestSouthEast;
    case HitCode::TopRight:
    case HitCode::BottomLeft:
        return TrackerCursor::NorthEastSouthWest;
    case HitCode::Top:
    case HitCode::Bottom:
        return TrackerCursor::NorthSouth;
    case HitCode::Left:
    case HitCode::Right:
        return TrackerCursor::WestEast;
    }
    return TrackerCursor::Arrow;
}

std::string PositionStatusText(POINT point) {
    char text[64];
    std::snprintf(text, sizeof text, "Position X: %d,  Y: %d ", point.x, point.y);
    return text;
}

std::string BoxStatusText(const RECT& rect) {
    char text[128];
    std::snprintf(text, sizeof text, "Position X: %d  Y: %d  Width: %d  Height: %d", rect.left,
                  rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return text;
}

} // namespace pixmill
