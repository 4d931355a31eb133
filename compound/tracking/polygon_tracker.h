// A polygon region on the canvas: its points and a selection flag per point.
//
// Drawing: StartNew places the first point; every further press adds one
// (a press on the last point adds nothing); MouseMove pulls a rubber-band
// edge from the last point to the mouse; DoubleClick adds its point (unless
// it is the last one) and closes the polygon, which ends drawing. A polygon
// closed with fewer than three points is not valid (IsValid() false): the
// view discards it.
//
// Editing: a press within the tolerance of a point selects that point alone
// and drags it; a press inside moves the polygon; DeleteSelectedPoints
// removes the selected points as long as three remain.
#pragma once

#include "compound/tracking/region_tracker.h"

#include <cstdint>

namespace pixmill {

class PolygonTracker : public RegionTracker {
  public:
    PolygonTracker() = default;
    // Flags missing from `selected` count as not selected.
    explicit PolygonTracker(std::vector<POINT> points, std::vector<uint8_t> selected = {});

    const std::vector<POINT>& Points() const { return points_; }
    // One flag (0 or 1) per point.
    const std::vector<uint8_t>& SelectedPoints() const { return pointSelected_; }
    // The polygon is being drawn: the outline is open and ends at
    // RubberPoint().
    bool IsDrawing() const { return state_ == TrackerState::Drawing; }
    POINT RubberPoint() const { return rubber_; }
    // The point under the mouse (within the tolerance; the last one of
    // several wins, being drawn on top), or -1.
    int PointAt(POINT point) const;
    // The point being dragged, or -1.
    int DragPoint() const { return dragPoint_; }

    // Selects one point; unless `add`, the others lose their selection.
    void SelectPoint(int index, bool add = false);
    void ClearPointSelection();
    // Removes every selected point when at least three points remain
    // afterwards; otherwise removes nothing and answers false (the region
    // itself is deleted with the editor's delete command instead).
    bool DeleteSelectedPoints();
    // Deselecting the polygon also clears its point selection.
    void SetSelected(bool selected) override;

    TrackerShape Shape() const override { return TrackerShape::Polygon; }
    std::string Caption() const override;
    // The bounding box as "Position X: %d  Y: %d  Width: %d  Height: %d".
    std::string StatusText() const override;
    // The points (and the rubber-band point while drawing).
    RECT Bounds() const override;
    // Even-odd rule.
    bool Contains(POINT point) const override;
    // Always None: a polygon has no rectangle handles (see PointAt).
    HitCode HitTest(POINT point) const override;
    // North-south over a point, size-all inside, cross elsewhere.
    TrackerCursor CursorAt(POINT point) const override;
    std::vector<POINT> HandlePoints() const override { return points_; }

    RECT StartNew(POINT point) override;
    bool MouseDown(POINT point) override;
    RECT MouseMove(POINT point) override;
    RECT MouseUp(POINT point) override;
    RECT DoubleClick(POINT point) override;
    // Ends drawing as the double-click does, without adding a point.
    RECT FinishDrawing();
    // At least three points and not being drawn.
    bool IsValid() const override;
    bool IsEmpty() const override { return points_.size() < 3; }
    // While it is drawn or a point or the polygon is dragged.
    bool ConfinesCursor() const override { return state_ != TrackerState::Idle; }
    void Offset(int dx, int dy) override;

  private:
    std::vector<POINT> points_;
    std::vector<uint8_t> pointSelected_;
    POINT rubber_{0, 0};
    int dragPoint_ = -1;
};

} // namespace pixmill
