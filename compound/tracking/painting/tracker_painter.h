// Draws region trackers over the canvas of a compound image view, and maps
// tracker cursors onto Qt's.
//
// Outlines are one screen pixel wide and dotted in two colours: a solid
// light line under a dark dotted one, so every other pixel is light and
// every other dark. That shows on light and dark photographs alike and on
// any paint device (widgets, QImage, QPixmap), where exclusive-or raster
// operations are not available on every device. The editor chooses the
// colours (selected and normal); handles are 7x7 squares in the same two
// colours, a dark square with a light border, around each handle point.
#pragma once

#include "compound/tracking/region_tracker.h"

#include <QColor>
#include <QPainter>

namespace pixmill {

// Qt::SizeAllCursor, ArrowCursor, SizeVerCursor, SizeHorCursor,
// SizeFDiagCursor, SizeBDiagCursor, CrossCursor.
Qt::CursorShape ToCursorShape(TrackerCursor cursor);

struct TrackerPens {
    // The dotted colour of a selected and of an unselected shape.
    QColor selected = QColor(0, 0, 255);
    QColor normal = QColor(0, 0, 0);
    // The colour under the dots.
    QColor under = QColor(255, 255, 255);
};

// Paints one tracker (nothing when it is hidden): a rectangle's outline, a
// circle as a full ellipse through its bounds, a polygon closed (open to the
// rubber-band point while it is drawn); handles when it is selected and
// resizable (a polygon's selected points are drawn filled).
void PaintTracker(QPainter& painter, const RegionTracker& tracker, const ScreenMapping& mapping,
                  const TrackerPens& pens = {});

// The screen rectangle to repaint for a canvas rectangle a tracker returned:
// mapped and grown by the handle size.
QRect RepaintRect(const RECT& canvas, const ScreenMapping& mapping);

} // namespace pixmill
