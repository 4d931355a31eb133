#include "compound/tracking/painting/tracker_painter.h"

#include "compound/tracking/polygon_tracker.h"

#include <QPolygon>

#include <algorithm>

namespace pixmill {

Qt::CursorShape ToCursorShape(TrackerCursor cursor) {
    switch (cursor) {
    case TrackerCursor::SizeAll:
        return Qt::SizeAllCursor;
    case TrackerCursor::Arrow:
        return Qt::ArrowCursor;
    case TrackerCursor::NorthSouth:
        return Qt::SizeVerCursor;
    case TrackerCursor::WestEast:
        return Qt::SizeHorCursor;
    case TrackerCursor::NorthWestSouthEast:
        return Qt::SizeFDiagCursor;
    case TrackerCursor::NorthEastSouthWest:
        return Qt::SizeBDiagCursor;
    case TrackerCursor::Cross:
        return Qt::CrossCursor;
    }
    return Qt::ArrowCursor;
}

namespace {

QPoint ScreenPoint(const ScreenMapping& mapping, POINT point) {
    const POINT screen = mapping.ToScreen(point);
    return QPoint(screen.x, screen.y);
}

// Pixels from a canvas rectangle's top-left to the last pixel inside its
// bottom-right (right and bottom are exclusive on the canvas).
QRect OutlineRect(const ScreenMapping& mapping, const RECT& canvas) {
    const RECT screen = mapping.ToScreen(canvas);
    const int right = std::max(screen.left, screen.right - 1);
    const int bottom = std::max(screen.top, screen.bottom - 1);
    return QRect(QPoint(screen.left, screen.top), QPoint(right, bottom));
}

// Draws the same outline twice: solid in the light colour, then dotted
// (one pixel on, one off) in the dark one.
template <typename Draw>
void DrawTwoColour(QPainter& painter, const QColor& under, const QColor& dots, Draw draw) {
    QPen pen(under, 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setCosmetic(true);
    painter.setPen(pen);
    draw();
    pen.setColor(dots);
    pen.setDashPattern({1.0, 1.0});
    painter.setPen(pen);
    draw();
}

// A 7x7 square around the point: a border in one colour around a 5x5 core
// in the other.
void DrawHandle(QPainter& painter, QPoint centre, const QColor& border, const QColor& core) {
    const int half = kHandleHalfSize;
    painter.fillRect(QRect(centre.x() - half, centre.y() - half, 2 * half + 1, 2 * half + 1),
                     border);
    painter.fillRect(
        QRect(centre.x() - half + 1, centre.y() - half + 1, 2 * half - 1, 2 * half - 1), core);
}

} // namespace

void PaintTracker(QPainter& painter, const RegionTracker& tracker, const ScreenMapping& mapping,
                  const TrackerPens& pens) {
    if (tracker.IsHidden()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    const QColor dots = tracker.IsSelected() ? pens.selected : pens.normal;

    switch (tracker.Shape()) {
    case TrackerShape::Rectangle: {
        const QRect outline = OutlineRect(mapping, tracker.Bounds());
        DrawTwoColour(painter, pens.under, dots, [&] {
            // A polygon rather than drawRect: drawRect paints one pixel past
            // the right and bottom of its rectangle.
            painter.drawPolygon(QPolygon({outline.topLeft(), outline.topRight(),
                                          outline.bottomRight(), outline.bottomLeft()}));
        });
        break;
    }
    case TrackerShape::Circle: {
        const RECT bounds = mapping.ToScreen(tracker.Bounds());
        const QRect box(QPoint(bounds.left, bounds.top), QPoint(bounds.right, bounds.bottom));
        DrawTwoColour(painter, pens.under, dots, [&] { painter.drawEllipse(box); });
        break;
    }
    case TrackerShape::Polygon: {
        const auto& polygon = static_cast<const PolygonTracker&>(tracker);
        QPolygon screen;
        for (const POINT& point : polygon.Points()) {
            screen.append(ScreenPoint(mapping, point));
        }
        if (polygon.IsDrawing()) {
            screen.append(ScreenPoint(mapping, polygon.RubberPoint()));
            DrawTwoColour(painter, pens.under, dots, [&] { painter.drawPolyline(screen); });
        } else {
            DrawTwoColour(painter, pens.under, dots, [&] { painter.drawPolygon(screen); });
        }
        break;
    }
    }

    const bool polygon = tracker.Shape() == TrackerShape::Polygon;
    const bool showHandles =
        polygon ? (tracker.IsSelected() || tracker.State() == TrackerState::Drawing)
                : (tracker.IsSelected() && tracker.IsResizable());
    if (showHandles) {
        const std::vector<POINT> handles = tracker.HandlePoints();
        const std::vector<uint8_t>* flags =
            polygon ? &static_cast<const PolygonTracker&>(tracker).SelectedPoints() : nullptr;
        for (size_t index = 0; index < handles.size(); ++index) {
            const bool filled = !flags || (*flags)[index] != 0;
            // Selected points dark inside, the others light inside.
            if (filled) {
                DrawHandle(painter, ScreenPoint(mapping, handles[index]), pens.under, dots);
            } else {
                DrawHandle(painter, ScreenPoint(mapping, handles[index]), dots, pens.under);
            }
        }
    }
    painter.restore();
}

QRect RepaintRect(const RECT& canvas, const ScreenMapping& mapping) {
    const RECT screen = mapping.ToScreen(canvas);
    const int grow = kHandleHalfSize + 2;
    return QRect(QPoint(std::min(screen.left, screen.right), std::min(screen.top, screen.bottom)),
                 QPoint(std::max(screen.left, screen.right), std::max(screen.top, screen.bottom)))
        .adjusted(-grow, -grow, grow, grow);
}

} // namespace pixmill
