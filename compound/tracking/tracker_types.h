// Shared vocabulary of the region trackers: hit codes, cursor kinds, the
// handle tolerance and the mapping between canvas and screen pixels.
// Qt-free; the painting layer (painting/) turns these into Qt types.
#pragma once

#include "pixmill/win_types.h"

#include <string>

namespace pixmill {

// Which part of a shape lies under a point. The values are stable: views
// may keep them as plain ints.
enum class HitCode : int {
    None = 0, // inside the shape, or nowhere near it
    TopLeft = 1,
    TopRight = 2,
    BottomLeft = 3,
    BottomRight = 4,
    Top = 5,
    Left = 6,
    Bottom = 7,
    Right = 8,
};

// The cursor a view shows over a point (painting/tracker_painter.h maps it
// onto Qt::CursorShape).
enum class TrackerCursor {
    SizeAll,
    Arrow,
    NorthSouth,
    WestEast,
    NorthWestSouthEast,
    NorthEastSouthWest,
    Cross,
};

// The cursor of a rectangle's or circle's handle; for HitCode::None
// size-all inside the shape and cross outside it.
TrackerCursor CursorForHandle(HitCode code, bool inside);

enum class TrackerShape { Rectangle, Circle, Polygon };

// What a tracker is doing with the mouse.
//  Idle     - nothing; the shape only answers hit tests.
//  Drawing  - a new shape is being drawn (from StartNew until the mouse is
//             released; for a polygon until the double-click that closes it).
//  Resizing - a handle (or a polygon point) is being dragged.
//  Moving   - the whole shape is being dragged.
enum class TrackerState { Idle, Drawing, Resizing, Moving };

// Half the side of a handle square in screen pixels (a handle covers
// x - 3 .. x + 3).
inline constexpr int kHandleHalfSize = 3;

// How far (in canvas pixels, in each direction, bounds included) a point may
// lie from a handle and still hit it: the handle half-size over the zoom,
// truncated, and at least 1. A zoom that is not positive counts as 1.
int HandleTolerance(double zoom);

// Canvas <-> screen pixels for a view shown at a zoom (screen pixels per
// canvas pixel) and scrolled by (scrollX, scrollY) screen pixels.
struct ScreenMapping {
    double zoom = 1.0;
    int scrollX = 0;
    int scrollY = 0;

    // floor(v * zoom - scroll + 0.5)
    int ToScreenX(double x) const;
    int ToScreenY(double y) const;
    POINT ToScreen(POINT canvas) const;
    // The canvas pixel a screen pixel shows: the largest canvas value whose
    // screen position is not beyond it. For zoom >= 1 it undoes ToScreen.
    int ToCanvasX(int x) const;
    int ToCanvasY(int y) const;
    POINT ToCanvas(POINT screen) const;
    // The screen rectangle of a canvas rectangle (corners mapped).
    RECT ToScreen(const RECT& canvas) const;
};

// The smallest rectangle holding both (an empty rectangle, left >= right or
// top >= bottom with all zero, counts as nothing).
RECT UnionRect(const RECT& a, const RECT& b);
bool IsEmptyRect(const RECT& rect);

// "Position X: %d,  Y: %d " - the status text of a single position (the
// mouse over the canvas when no shape is selected).
std::string PositionStatusText(POINT point);
// "Position X: %d  Y: %d  Width: %d  Height: %d"
std::string BoxStatusText(const RECT& rect);

} // namespace pixmill
