// A rectangle on the canvas: an image-map rectangle, or the frame of an
// image or text object.
#pragma once

#include "compound/tracking/region_tracker.h"

namespace pixmill {

class RectTracker : public RegionTracker {
  public:
    RectTracker() = default;
    explicit RectTracker(const RECT& rect) : rect_(rect) {}

    const RECT& Rect() const { return rect_; }
    void SetRect(const RECT& rect) { rect_ = rect; }
    // The handle being dragged (None while idle or moving).
    HitCode DragHandle() const { return handle_; }

    TrackerShape Shape() const override { return TrackerShape::Rectangle; }
    std::string Caption() const override;
    // "Position X: %d  Y: %d  Width: %d  Height: %d" (left, top, width,
    // height).
    std::string StatusText() const override;
    RECT Bounds() const override { return rect_; }
    // left <= x < right and top <= y < bottom.
    bool Contains(POINT point) const override;
    bool IsEmpty() const override;
    // Trial order: 1, 3, 2, 4, 7, 5, 8, 6.
    HitCode HitTest(POINT point) const override;
    // Corners and side midpoints, in hit-code order 1..8.
    std::vector<POINT> HandlePoints() const override;

    // Left x, top y - 1, right x + 1, bottom y; drags the top-right corner.
    RECT StartNew(POINT point) override;
    bool MouseDown(POINT point) override;
    // The dragged corner (both coordinates) or side (one) follows the mouse.
    // Crossing the opposite side swaps the two values and the drag goes on
    // with the mirrored handle, so left <= right and top <= bottom always.
    RECT MouseMove(POINT point) override;
    RECT MouseUp(POINT point) override;
    void Offset(int dx, int dy) override;

  private:
    RECT rect_{0, 0, 0, 0};
    HitCode handle_ = HitCode::None;
};

} // namespace pixmill
