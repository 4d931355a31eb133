// A circle region on the canvas: centre and radius.
#pragma once

#include "compound/tracking/region_tracker.h"

namespace pixmill {

class CircleTracker : public RegionTracker {
  public:
    CircleTracker() = default;
    CircleTracker(int centerX, int centerY, int radius)
        : centerX_(centerX), centerY_(centerY), radius_(radius < 0 ? -radius : radius) {}

    int CenterX() const { return centerX_; }
    int CenterY() const { return centerY_; }
    int Radius() const { return radius_; }
    void SetCircle(int centerX, int centerY, int radius);
    // The handle being dragged (None while idle, moving, or drawing a new
    // circle).
    HitCode DragHandle() const { return handle_; }

    TrackerShape Shape() const override { return TrackerShape::Circle; }
    std::string Caption() const override;
    // "Center X: %d  Y: %d  Radius: %d"
    std::string StatusText() const override;
    // Centre +- radius.
    RECT Bounds() const override;
    // Distance from the centre at most the radius.
    bool Contains(POINT point) const override;
    bool IsEmpty() const override { return radius_ == 0; }
    // Trial order: 6, 8, 5, 7, 1, 2, 3, 4.
    HitCode HitTest(POINT point) const override;
    // Left, right, top and bottom of the circle and the four points at 45
    // degrees (centre +- radius * 0.70710678, rounded), in hit-code order
    // 1..8.
    std::vector<POINT> HandlePoints() const override;

    // Centre at the point, radius 0; moving the mouse sets the radius to
    // the truncated distance from the centre.
    RECT StartNew(POINT point) override;
    bool MouseDown(POINT point) override;
    // A side handle moves that side only: the opposite side stays. Dragging
    // it past the opposite side turns the radius positive again and the drag
    // goes on with the opposite handle. The diagonal handles set the radius
    // to the distance from the centre.
    RECT MouseMove(POINT point) override;
    RECT MouseUp(POINT point) override;
    void Offset(int dx, int dy) override;

  private:
    int centerX_ = 0;
    int centerY_ = 0;
    int radius_ = 0;
    HitCode handle_ = HitCode::None;
};

} // namespace pixmill
