#include "desktop/gui/image_view.h"

#include "host/image_doc.h"
#include "host/size_text.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

namespace pixmill {

namespace {
ToolMode currentTool = ToolMode::Select;
} // namespace

ToolMode CVImageView::Tool() {
    return currentTool;
}

void CVImageView::SetTool(ToolMode mode) {
    currentTool = mode;
}

CVImageView::CVImageView(CQorelImageDoc& document, QWidget* parent)
    : CImageCanvas(parent), document(document) {
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    SetImage(&document.Image());
    DocumentChanged();
}

void CVImageView::ZoomIn() {
    SetZoom(NextZoom(zoom, true));
}

void CVImageView::ZoomOut() {
    SetZoom(NextZoom(zoom, false));
}

void CVImageView::ActualPixels() {
    if (ZoomKey(zoom) != 10000) {
        SetZoom(100.0);
    }
}

void CVImageView::ZoomToFit() {
    const QSize client = viewport()->size();
    SetZoom(FitZoom(client.width(), client.height(), document.Image().Width(),
                    document.Image().Height()));
}

void CVImageView::DocumentChanged() {
    if (document.HasSelection()) {
        tracker.Set(document.Selection(), document.Image().Width(), document.Image().Height());
    } else {
        tracker.Clear();
    }
    ImageChanged();
    emit StatusChanged();
}

void CVImageView::SetSelection(const RECT& rect) {
    tracker.Set(rect, document.Image().Width(), document.Image().Height());
    TrackerToDocument();
    viewport()->update();
}

void CVImageView::TrackerToDocument() {
    if (tracker.IsEmpty()) {
        document.ClearSelection();
    } else {
        document.SetSelection(tracker.Rect());
    }
    emit StatusChanged();
    emit SelectionChanged();
}

int CVImageView::HandleTolerance() const {
    return std::max(1, ScreenToImage(4, zoom));
}

void CVImageView::UpdateCursor() {
    viewport()->setCursor(currentTool == ToolMode::Zoom ? Qt::PointingHandCursor : Qt::CrossCursor);
}

void CVImageView::mousePressEvent(QMouseEvent* event) {
    UpdateCursor();
    const QPoint point = event->position().toPoint();
    if (currentTool == ToolMode::Zoom) {
        if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
            SetZoom(NextZoom(zoom, event->button() == Qt::LeftButton), &point);
        }
        return;
    }
    if (event->button() == Qt::LeftButton) {
        const QPoint at = ImagePointAt(point);
        tracker.Press(at.x(), at.y(), HandleTolerance(), document.Image().Width(),
                      document.Image().Height());
        viewport()->update();
    } else if (event->button() == Qt::RightButton) {
        tracker.Clear();
        TrackerToDocument();
        viewport()->update();
    }
}

void CVImageView::mouseMoveEvent(QMouseEvent* event) {
    mouse = ImagePointAt(event->position().toPoint());
    if (tracker.Dragging()) {
        tracker.Drag(mouse.x(), mouse.y());
        viewport()->update();
    }
    emit StatusChanged();
}

void CVImageView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && tracker.Dragging()) {
        tracker.Release();
        TrackerToDocument();
        viewport()->update();
    }
}

void CVImageView::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void CVImageView::leaveEvent(QEvent* event) {
    mouse = {-1, -1};
    emit StatusChanged();
    CImageCanvas::leaveEvent(event);
}

void CVImageView::keyPressEvent(QKeyEvent* event) {
    const int half = viewport()->height() / 2;
    switch (event->key()) {
    case Qt::Key_PageUp:
        verticalScrollBar()->setValue(verticalScrollBar()->value() - half);
        return;
    case Qt::Key_PageDown:
        verticalScrollBar()->setValue(verticalScrollBar()->value() + half);
        return;
    default:
        CImageCanvas::keyPressEvent(event);
    }
}

void CVImageView::paintEvent(QPaintEvent* event) {
    if (document.PixelsPending() && !pixelsAsked) {
        // Progressive view: the window shows first, the pixels follow.
        pixelsAsked = true;
        QTimer::singleShot(0, this, [this] { emit PixelsWanted(); });
    }
    CImageCanvas::paintEvent(event);
}

void CVImageView::PaintOverlay(QPainter& painter) {
    if (tracker.IsEmpty() && !tracker.Dragging()) {
        return;
    }
    const RECT r = tracker.Rect();
    const QPoint topLeft = ViewportPointOf({r.left, r.top});
    const QPoint bottomRight = ViewportPointOf({r.right, r.bottom});
    const QRect rect(topLeft, bottomRight - QPoint(1, 1));
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(rect);
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.drawRect(rect);
    if (tracker.Dragging()) {
        return;
    }
    const int xs[3] = {rect.left(), rect.center().x(), rect.right()};
    const int ys[3] = {rect.top(), rect.center().y(), rect.bottom()};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            if (i == 1 && j == 1) {
                continue;
            }
            painter.fillRect(QRect(xs[i] - 3, ys[j] - 3, 7, 7), Qt::black);
            painter.fillRect(QRect(xs[i] - 2, ys[j] - 2, 5, 5), Qt::white);
        }
    }
}

QString CVImageView::MousePositionPane() const {
    return QString::fromStdString(MousePositionText(mouse.x(), mouse.y(), document.Image().Width(),
                                                    document.Image().Height()));
}

QString CVImageView::ImageSizePane() const {
    const CVImage& image = document.Image();
    if (document.HasSelection()) {
        const RECT& r = document.Selection();
        return QString::fromStdString(
            ImageSizeText(r.right - r.left, r.bottom - r.top, image.BitCount()));
    }
    return QString::fromStdString(ImageSizeText(image.Width(), image.Height(), image.BitCount()));
}

QString CVImageView::MemoryPane() const {
    return QString::fromStdString(SizeText(document.Image().ImageBytes()));
}

QString CVImageView::DiskPane() const {
    return QString::fromStdString(
        SizeText(static_cast<uint64_t>(std::max(0, document.WrittenSize()))));
}

} // namespace pixmill
