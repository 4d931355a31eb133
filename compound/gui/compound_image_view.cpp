#include "compound/gui/compound_image_view.h"

#include "compound/gui/compound_image_doc.h"
#include "compound/tracking/circle_tracker.h"
#include "compound/tracking/object_trackers.h"
#include "compound/tracking/polygon_tracker.h"
#include "compound/tracking/rect_tracker.h"
#include "desktop/image_display.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace pixmill {

namespace {

bool SameGeometry(const CompoundObject& a, const CompoundObject& b) {
    const auto samePoint = [](const POINT& p, const POINT& q) { return p.x == q.x && p.y == q.y; };
    return a.rect.left == b.rect.left && a.rect.top == b.rect.top && a.rect.right == b.rect.right &&
           a.rect.bottom == b.rect.bottom && a.centerX == b.centerX && a.centerY == b.centerY &&
           a.radius == b.radius && a.selected == b.selected &&
           std::equal(a.points.begin(), a.points.end(), b.points.begin(), b.points.end(),
                      samePoint);
}

} // namespace

CompoundImageView::CompoundImageView(CompoundImageDoc& document, QWidget* parent)
    : QAbstractScrollArea(parent), document(document) {
    setObjectName(QStringLiteral("compoundView"));
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    pens.selected = QColor(0, 0, 255);
    pens.normal = QColor(0, 0, 0);
    DocumentChanged();
}

CompoundImageView::~CompoundImageView() = default;

ScreenMapping CompoundImageView::Mapping() const {
    return ScreenMapping{zoom, horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

POINT CompoundImageView::CanvasPoint(QPoint position) const {
    return Mapping().ToCanvas(POINT{position.x(), position.y()});
}

QPointF CompoundImageView::CenterPoint() const {
    const QSize area = viewport()->size();
    const QSizeF shown(document.Image().Width() * zoom, document.Image().Height() * zoom);
    // A canvas smaller than the window has its centre shown in the middle.
    const double x = shown.width() <= area.width()
                         ? document.Image().Width() / 2.0
                         : (horizontalScrollBar()->value() + area.width() / 2.0) / zoom;
    const double y = shown.height() <= area.height()
                         ? document.Image().Height() / 2.0
                         : (verticalScrollBar()->value() + area.height() / 2.0) / zoom;
    return {x, y};
}

void CompoundImageView::SetZoom(double factor) {
    const QPointF center = CenterPoint();
    ZoomAt(factor, QPoint(static_cast<int>(center.x()), static_cast<int>(center.y())));
}

void CompoundImageView::ZoomAt(double factor, QPoint canvasPoint) {
    zoom = std::clamp(factor, kZoomSteps.front() / 10000.0, kZoomSteps.back() / 10000.0);
    for (auto& tracker : trackers) {
        if (tracker) {
            tracker->SetZoom(zoom);
        }
    }
    if (drawing) {
        drawing->SetZoom(zoom);
    }
    UpdateScrollBars();
    const QSize area = viewport()->size();
    horizontalScrollBar()->setValue(
        static_cast<int>(std::lround(canvasPoint.x() * zoom - area.width() / 2.0)));
    verticalScrollBar()->setValue(
        static_cast<int>(std::lround(canvasPoint.y() * zoom - area.height() / 2.0)));
    viewport()->update();
    emit ZoomChanged(zoom);
}

void CompoundImageView::ZoomIn() {
    SetZoom(NextZoom(zoom * 100.0, true) / 100.0);
}

void CompoundImageView::ZoomOut() {
    SetZoom(NextZoom(zoom * 100.0, false) / 100.0);
}

void CompoundImageView::UpdateScrollBars() {
    const QSize area = viewport()->size();
    const int width = static_cast<int>(std::ceil(document.Image().Width() * zoom));
    const int height = static_cast<int>(std::ceil(document.Image().Height() * zoom));
    horizontalScrollBar()->setRange(0, std::max(0, width - area.width()));
    horizontalScrollBar()->setPageStep(area.width());
    horizontalScrollBar()->setSingleStep(std::max(1, area.width() / 20));
    verticalScrollBar()->setRange(0, std::max(0, height - area.height()));
    verticalScrollBar()->setPageStep(area.height());
    verticalScrollBar()->setSingleStep(std::max(1, area.height() / 20));
}

void CompoundImageView::DocumentChanged() {
    if (dragging >= 0) {
        return; // the drag's own tracker stays until the mouse is released
    }
    trackers.clear();
    const auto& objects = document.Image().Objects();
    for (size_t i = 0; i < objects.size(); ++i) {
        std::unique_ptr<RegionTracker> tracker = MakeTracker(objects[i]);
        if (tracker) {
            tracker->SetZoom(zoom);
            tracker->SetSelected(static_cast<int>(i) == document.Selected());
        }
        trackers.push_back(std::move(tracker));
    }
    if (const RegionTracker* selected = Selected()) {
        SetStatus(selected, {});
    } else {
        shapeStatus.clear();
        emit StatusChanged(shapeStatus);
    }
    UpdateScrollBars();
    viewport()->update();
}

const RegionTracker* CompoundImageView::TrackerOf(int index) const {
    return index >= 0 && index < static_cast<int>(trackers.size())
               ? trackers[static_cast<size_t>(index)].get()
               : nullptr;
}

RegionTracker* CompoundImageView::Selected() const {
    const int index = document.Selected();
    return index >= 0 && index < static_cast<int>(trackers.size())
               ? trackers[static_cast<size_t>(index)].get()
               : nullptr;
}

void CompoundImageView::SetStatus(const RegionTracker* tracker, POINT mouse) {
    shapeStatus = tracker != nullptr
                      ? QStringLiteral("%1  %2").arg(QString::fromStdString(tracker->Caption()),
                                                     QString::fromStdString(tracker->StatusText()))
                      : QString::fromStdString(PositionStatusText(mouse));
    emit StatusChanged(shapeStatus);
}

void CompoundImageView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Dark));
    const QImage& canvas = document.Composed();
    const ScreenMapping mapping = Mapping();
    const QRect target(-mapping.scrollX, -mapping.scrollY,
                       static_cast<int>(std::lround(document.Image().Width() * zoom)),
                       static_cast<int>(std::lround(document.Image().Height() * zoom)));
    painter.drawImage(target, canvas,
                      QRect(0, 0, document.Image().Width(), document.Image().Height()));
    for (const auto& tracker : trackers) {
        if (tracker) {
            PaintTracker(painter, *tracker, mapping, pens);
        }
    }
    if (drawing) {
        PaintTracker(painter, *drawing, mapping, pens);
    }
}

void CompoundImageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CompoundImageView::scrollContentsBy(int, int) {
    viewport()->update();
}

void CompoundImageView::Repaint(const RECT& canvas) {
    viewport()->update(RepaintRect(canvas, Mapping()));
}

void CompoundImageView::Confine(QMouseEvent* event) {
    const RegionTracker* tracker = drawing ? drawing.get() : Selected();
    if (tracker == nullptr || !tracker->ConfinesCursor()) {
        return;
    }
    const QRect inside = viewport()->rect().adjusted(1, 1, -1, -1);
    const QPoint position = event->position().toPoint();
    const QPoint clamped(std::clamp(position.x(), inside.left(), inside.right()),
                         std::clamp(position.y(), inside.top(), inside.bottom()));
    if (clamped != position) {
        QCursor::setPos(viewport()->mapToGlobal(clamped));
    }
}

void CompoundImageView::mousePressEvent(QMouseEvent* event) {
    setFocus();
    const POINT point = CanvasPoint(event->position().toPoint());
    const EditTool tool = document.Tool();
    if (tool == EditTool::Zoom) {
        const bool out =
            event->button() == Qt::RightButton || (event->modifiers() & Qt::ShiftModifier) != 0;
        ZoomAt(NextZoom(zoom * 100.0, !out) / 100.0, QPoint(point.x, point.y));
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (drawing) { // a polygon being drawn takes the next point
        Repaint(drawing->Bounds());
        drawing->MouseDown(point);
        Repaint(drawing->Bounds());
        return;
    }
    // A handle or the inside of the selected shape takes the drag first.
    if (RegionTracker* selected = Selected(); selected && selected->MouseDown(point)) {
        dragging = document.Selected();
        return;
    }
    if (tool == EditTool::Select) {
        const int index = document.ObjectAt(point.x, point.y);
        document.Select(index);
        if (RegionTracker* selected = Selected(); selected && selected->MouseDown(point)) {
            dragging = index;
        }
        return;
    }
    document.Select(-1);
    if (tool == EditTool::Rectangle) {
        drawing = std::make_unique<RectTracker>();
    } else if (tool == EditTool::Circle) {
        drawing = std::make_unique<CircleTracker>();
    } else {
        drawing = std::make_unique<PolygonTracker>();
    }
    drawing->SetZoom(zoom);
    drawing->SetSelected(true);
    Repaint(drawing->StartNew(point));
}

void CompoundImageView::mouseMoveEvent(QMouseEvent* event) {
    Confine(event);
    const POINT point = CanvasPoint(event->position().toPoint());
    RegionTracker* tracker = drawing ? drawing.get() : (dragging >= 0 ? Selected() : nullptr);
    if (tracker != nullptr) {
        Repaint(tracker->MouseMove(point));
        SetStatus(tracker, point);
        return;
    }
    const EditTool tool = document.Tool();
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (RegionTracker* selected = Selected();
        selected && (selected->HitTest(point) != HitCode::None || selected->Contains(point))) {
        shape = ToCursorShape(selected->CursorAt(point));
    } else if (tool == EditTool::Zoom) {
        shape = Qt::PointingHandCursor;
    } else if (tool != EditTool::Select) {
        shape = Qt::CrossCursor;
    }
    viewport()->setCursor(shape);
    SetStatus(Selected(), point);
}

void CompoundImageView::mouseReleaseEvent(QMouseEvent* event) {
    const POINT point = CanvasPoint(event->position().toPoint());
    if (drawing && drawing->Shape() != TrackerShape::Polygon) {
        Repaint(drawing->MouseUp(point));
        AddDrawn();
        return;
    }
    if (dragging >= 0) {
        const int index = dragging;
        if (RegionTracker* tracker = Selected()) {
            Repaint(tracker->MouseUp(point));
        }
        Commit(index);
    }
}

void CompoundImageView::mouseDoubleClickEvent(QMouseEvent* event) {
    const POINT point = CanvasPoint(event->position().toPoint());
    if (drawing && drawing->Shape() == TrackerShape::Polygon) {
        Repaint(drawing->DoubleClick(point));
        AddDrawn();
        return;
    }
    if (document.Tool() == EditTool::Select && document.Selected() >= 0 &&
        document.ObjectAt(point.x, point.y) == document.Selected()) {
        emit ObjectActivated(document.Selected());
    }
}

void CompoundImageView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && drawing) {
        CancelDrawing();
        return;
    }
    if (event->key() != Qt::Key_Delete) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    // A selected polygon point goes first, then the object.
    auto* polygon = dynamic_cast<PolygonTracker*>(Selected());
    if (polygon != nullptr && polygon->DeleteSelectedPoints()) {
        Commit(document.Selected());
        return;
    }
    document.DeleteSelected();
}

void CompoundImageView::CancelDrawing() {
    if (drawing) {
        Repaint(drawing->Bounds());
        drawing.reset();
    }
}

void CompoundImageView::AddDrawn() {
    std::unique_ptr<RegionTracker> drawn = std::move(drawing);
    if (!drawn->IsValid() || drawn->IsEmpty()) {
        Repaint(drawn->Bounds());
        return;
    }
    CompoundObject region;
    region.kind = drawn->Shape() == TrackerShape::Rectangle ? CompoundKind::Rectangle
                  : drawn->Shape() == TrackerShape::Circle  ? CompoundKind::Circle
                                                            : CompoundKind::Polygon;
    if (ApplyTracker(*drawn, region)) {
        document.AddRegion(std::move(region));
    }
}

void CompoundImageView::Commit(int index) {
    dragging = -1;
    const auto& objects = document.Image().Objects();
    const RegionTracker* tracker = TrackerOf(index);
    if (tracker == nullptr || index >= static_cast<int>(objects.size())) {
        return;
    }
    CompoundObject object = objects[static_cast<size_t>(index)];
    const CompoundObject before = object;
    if (ApplyTracker(*tracker, object) && !SameGeometry(object, before)) {
        document.ChangeObject(index, std::move(object));
    } else {
        DocumentChanged();
    }
}

} // namespace pixmill
