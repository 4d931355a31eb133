// The selection tracker of an image view: a rectangle in image pixels with an
// empty state, edited by dragging a new rectangle, its eight handles or its
// inside. Qt-free: the view hands it image points and draws what it says.
#pragma once

#include "host/rectangles.h"
#include "pixmill/win_types.h"

namespace pixmill {

class SelectionTracker {
  public:
    // What a point hits. Handles are numbered clockwise from the top left.
    enum Hit {
        Outside = -1,
        TopLeft,
        Top,
        TopRight,
        Right,
        BottomRight,
        Bottom,
        BottomLeft,
        Left,
        Inside
    };

    bool IsEmpty() const { return empty; }
    // Normalised and clamped to the image.
    RECT Rect() const;
    void Set(const RECT& rect, int imageWidth, int imageHeight);
    void Clear() { empty = true; }

    // tolerance: half the handle size in image pixels.
    Hit HitTest(int x, int y, int tolerance) const;
    // Starts a drag at an image point: a new rectangle outside the selection,
    // a handle or a move otherwise.
    void Press(int x, int y, int tolerance, int imageWidth, int imageHeight);
    void Drag(int x, int y);
    // Ends the drag; a rectangle without area leaves the tracker empty.
    void Release();
    bool Dragging() const { return hit != Outside || creating; }

  private:
    RECT rect{};
    bool empty = true;
    Hit hit = Outside;
    bool creating = false;
    int startX = 0;
    int startY = 0;
    RECT startRect{};
    int width = 0;
    int height = 0;
};

} // namespace pixmill
