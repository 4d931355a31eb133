// The base of the shape trackers of the compound image editor: a shape on
// the canvas that answers which handle lies under the mouse, which cursor to
// show, and changes itself while the mouse drags it. All coordinates are
// canvas pixels; the view converts mouse positions with ScreenMapping first.
//
// How a view drives a tracker:
//  - New shape: create the tracker of the tool, call StartNew(point) on the
//    mouse press, MouseMove on every move, MouseUp on release. A polygon
//    keeps drawing after the release: each further press adds a point, and
//    DoubleClick closes it (see polygon_tracker.h).
//  - Existing shape: on a press call MouseDown(point); when it returns true
//    the tracker has taken the drag (a handle, a polygon point, or the inside
//    to move the shape); forward moves and the release to it.
//  - MouseMove / MouseUp / DoubleClick return the canvas rectangle to
//    repaint: the union of the shape's bounds before and after. Handles and
//    outlines stick out of the bounds by up to kHandleHalfSize screen pixels,
//    so the view maps the rectangle to the screen and inflates it by
//    kHandleHalfSize + 2 screen pixels before it calls update().
//  - The cursor: CursorAt(point) on every move while no button is down.
//  - Cursor confinement: while ConfinesCursor() is true (a polygon being
//    drawn or edited) the view keeps the mouse inside its viewport shrunk by
//    one pixel on each side: on each mouse move it clamps the position and,
//    when it had to, calls QCursor::setPos with the clamped global point
//    (grabMouse() alone does not confine). The confinement ends when
//    ConfinesCursor() becomes false.
//  - Input timing: Qt delivers mouse events in order and compresses moves,
//    so a tracker needs no timer and no flushing of pending mouse events.
//
// Trackers hold their own geometry; object_trackers.h makes a tracker from a
// CompoundObject and writes the edited geometry back to it.
#pragma once

#include "compound/tracking/tracker_types.h"

#include <array>
#include <string>
#include <vector>

namespace pixmill {

class RegionTracker {
  public:
    virtual ~RegionTracker() = default;

    virtual TrackerShape Shape() const = 0;
    // "Rectangle", "Circle" or "Polygon".
    virtual std::string Caption() const = 0;
    // The figures of the shape for the status bar.
    virtual std::string StatusText() const = 0;

    // The smallest rectangle holding the shape (for a rectangle its own
    // rectangle, for a circle centre +- radius, for a polygon its points,
    // right and bottom being the largest coordinates).
    virtual RECT Bounds() const = 0;
    // The point lies inside the shape.
    virtual bool Contains(POINT point) const = 0;
    // The handle under the point, tried in the shape's order (the first hit
    // wins), or HitCode::None. A tracker that is not resizable, and a
    // polygon, answer None (polygon points: PolygonTracker::PointAt).
    virtual HitCode HitTest(POINT point) const = 0;
    // The cursor of the handle under the point (CursorForHandle); polygons
    // have their own rule.
    virtual TrackerCursor CursorAt(POINT point) const;
    // The points handles are drawn around: a rectangle's or circle's eight
    // in hit-code order 1..8, a polygon's points.
    virtual std::vector<POINT> HandlePoints() const = 0;

    // Starts drawing a new shape with the mouse pressed at the point.
    virtual RECT StartNew(POINT point) = 0;
    // A press on an existing shape: takes a handle, a polygon point or the
    // inside (to move the shape). False (and no change) when the point is
    // none of these. While a polygon is being drawn, a press adds a point.
    virtual bool MouseDown(POINT point) = 0;
    virtual RECT MouseMove(POINT point) = 0;
    // Ends a drag (not a polygon's drawing).
    virtual RECT MouseUp(POINT point) = 0;
    // Closes a polygon being drawn; nothing for the other shapes.
    virtual RECT DoubleClick(POINT point);
    // The shape may be saved: a rectangle or circle always, a polygon with
    // at least three points that is not being drawn.
    virtual bool IsValid() const { return true; }
    // The shape covers no area (a rectangle of width or height 0, a circle
    // of radius 0, a polygon with fewer than three points): what a click
    // without a drag draws. The view discards a new shape that is empty.
    virtual bool IsEmpty() const = 0;
    // The view keeps the mouse inside itself (see above).
    virtual bool ConfinesCursor() const { return false; }

    // Moves the whole shape.
    virtual void Offset(int dx, int dy) = 0;

    TrackerState State() const { return state_; }
    bool IsSelected() const { return selected_; }
    virtual void SetSelected(bool selected) { selected_ = selected; }
    // A hidden tracker is neither drawn nor hit (the view skips it).
    bool IsHidden() const { return hidden_; }
    void SetHidden(bool hidden) { hidden_ = hidden; }
    // A rectangle or circle that is not resizable shows no handles and can
    // only be moved (the frame of an image object).
    bool IsResizable() const { return resizable_; }
    void SetResizable(bool resizable) { resizable_ = resizable; }

    double Zoom() const { return zoom_; }
    void SetZoom(double zoom) { zoom_ = zoom > 0 ? zoom : 1.0; }
    // HandleTolerance(Zoom())
    int Tolerance() const;

  protected:
    // A point lies within the tolerance of a handle point.
    bool NearPoint(POINT point, POINT handle) const;
    // The first of the handles (HandlePoints, in hit-code order) within
    // reach of the point, tried in the given order; None when the shape is
    // not resizable.
    HitCode FirstHandleHit(POINT point, const std::array<HitCode, 8>& order) const;
    // A press on a shape with handles: takes the handle under the point
    // (Resizing), else the inside (Moving); false when it is neither.
    bool BeginDrag(POINT point, HitCode& handle);
    void EndDrag(HitCode& handle);
    // Begins moving the whole shape from the point.
    void BeginMove(POINT point);
    // The offset since the last call during a move; updates the anchor.
    POINT TakeMoveDelta(POINT point);

    TrackerState state_ = TrackerState::Idle;

  private:
    bool selected_ = false;
    bool hidden_ = false;
    bool resizable_ = true;
    double zoom_ = 1.0;
    POINT moveAnchor_{0, 0};
};

} // namespace pixmill
