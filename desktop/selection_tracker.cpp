#include "desktop/selection_tracker.h"

#include <algorithm>
#include <cstdlib>

namespace pixmill {

RECT SelectionTracker::Rect() const {
    return empty ? RECT{} : NormalisedInside(rect, width, height);
}

void SelectionTracker::Set(const RECT& r, int imageWidth, int imageHeight) {
    width = imageWidth;
    height = imageHeight;
    rect = NormalisedInside(r, width, height);
    empty = rect.right <= rect.left || rect.bottom <= rect.top;
}

SelectionTracker::Hit SelectionTracker::HitTest(int x, int y, int tolerance) const {
    if (empty) {
        return Outside;
    }
    const RECT r = Rect();
    const int xs[3] = {r.left, (r.left + r.right) / 2, r.right};
    const int ys[3] = {r.top, (r.top + r.bottom) / 2, r.bottom};
    // Handle positions as (column, row) in the order of Hit.
    const int handles[8][2] = {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}};
    for (int i = 0; i < 8; ++i) {
        if (std::abs(x - xs[handles[i][0]]) <= tolerance &&
            std::abs(y - ys[handles[i][1]]) <= tolerance) {
            return static_cast<Hit>(i);
        }
    }
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
        return Inside;
    }
    return Outside;
}

void SelectionTracker::Press(int x, int y, int tolerance, int imageWidth, int imageHeight) {
    width = imageWidth;
    height = imageHeight;
    hit = HitTest(x, y, tolerance);
    startX = std::clamp(x, 0, width);
    startY = std::clamp(y, 0, height);
    creating = hit == Outside;
    if (creating) {
        rect = {startX, startY, startX, startY};
        empty = false;
    } else {
        rect = Rect();
    }
    startRect = rect;
}

void SelectionTracker::Drag(int x, int y) {
    if (!Dragging()) {
        return;
    }
    x = std::clamp(x, 0, width);
    y = std::clamp(y, 0, height);
    if (creating) {
        rect = {startX, startY, x, y};
        return;
    }
    RECT r = startRect;
    const int dx = x - startX;
    const int dy = y - startY;
    switch (hit) {
    case Inside: {
        const int moveX = std::clamp(dx, -r.left, width - r.right);
        const int moveY = std::clamp(dy, -r.top, height - r.bottom);
        r = {r.left + moveX, r.top + moveY, r.right + moveX, r.bottom + moveY};
        break;
    }
    case TopLeft:
        r.left = x;
        r.top = y;
        break;
    case Top:
        r.top = y;
        break;
    case TopRight:
        r.right = x;
        r.top = y;
        break;
    case Right:
        r.right = x;
        break;
    case BottomRight:
        r.right = x;
        r.bottom = y;
        break;
    case Bottom:
        r.bottom = y;
        break;
    case BottomLeft:
        r.left = x;
        r.bottom = y;
        break;
    case Left:
        r.left = x;
        break;
    case Outside:
        break;
    }
    rect = r;
}

void SelectionTracker::Release() {
    if (!Dragging()) {
        return;
    }
    hit = Outside;
    creating = false;
    Set(rect, width, height);
}

} // namespace pixmill
