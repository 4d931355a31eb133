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

ToolMode ImageView::Tool() {
    return currentTool;
}

void ImageView::SetTool(ToolMode mode) {
    currentTool = mode;
}

ImageView::ImageView(ImageDoc& document, QWidget* parent)
    : ImageCanvas(parent), document(document) {
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    SetImage(&document.Image());
    SetProfile(&document.Metadata().icc);
    DocumentChanged();
}

void ImageView::ZoomIn() {
    SetZoom(NextZoom(zoom, true));
}

void ImageView::ZoomOut() {
    SetZoom(NextZoom(zoom, false));
}

void ImageView::ActualPixels() {
    if (ZoomKey(zoom) != 10000) {
        SetZoom(100.0);
    }
}

void ImageView::ZoomToFit() {
    const QSize client = viewport()->size();
    SetZoom(FitZoom(client.width(), client.height(), document.Image().Width(),
                    document.Image().Height()));
}

void ImageView::DocumentChanged() {
    if (document.HasSelection()) {
        tracker.Set(document.Selection(), document.Image().Width(), document.Image().Height());
    } else {
        tracker.Clear();
    }
    ImageChanged();
    emit StatusChanged();
}

void ImageView::SetSelection(const RECT& rect) {
    tracker.Set(rect, document.Image().Width(), document.Image().Height());
    TrackerToDocument();
    viewport()->update();
}

void ImageView::TrackerToDocument() {
    if (tracker.IsEmpty()) {
        document.ClearSelection();
    } else {
        document.SetSelection(tracker.Rect());
    }
    emit StatusChanged();
    emit SelectionChanged();
}

int ImageView::HandleTolerance() const {
    return std::max(1, ScreenToImage(4, zoom));
}

void ImageView::UpdateCursor() {
    viewport()->setCursor(currentTool == ToolMode::Zoom ? Qt::PointingHandCursor : Qt::CrossCursor);
}

void ImageView::mousePressEvent(QMouseEvent* event) {
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

void ImageView::mouseMoveEvent(QMouseEvent* event) {
    mouse = ImagePointAt(event->position().toPoint());
    if (tracker.Dragging()) {
        tracker.Drag(mouse.x(), mouse.y());
        viewport()->update();
    }
    emit StatusChanged();
}

void ImageView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && tracker.Dragging()) {
        tracker.Release();
        TrackerToDocument();
        viewport()->update();
    }
}

void ImageView::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void ImageView::leaveEvent(QEvent* event) {
    mouse = {-1, -1};
    emit StatusChanged();
    ImageCanvas::leaveEvent(event);
}

void ImageView::keyPressEvent(QKeyEvent* event) {
    const int half = viewport()->height() / 2;
    switch (event->key()) {
    case Qt::Key_PageUp:
        verticalScrollBar()->setValue(verticalScrollBar()->value() - half);
        return;
    case Qt::Key_PageDown:
        verticalScrollBar()->setValue(verticalScrollBar()->value() + half);
        return;
    default:
        ImageCanvas::keyPressEvent(event);
    }
}

void ImageView::paintEvent(QPaintEvent* event) {
    if (document.PixelsPending() && !pixelsAsked) {
        // Progressive view: the window shows first, the pixels follow.
        pixelsAsked = true;
        QTimer::singleShot(0, this, [this] { emit PixelsWanted(); });
    }
    ImageCanvas::paintEvent(event);
}

void ImageView::PaintOverlay(QPainter& painter) {
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

QString ImageView::MousePositionPane() const {
    return QString::fromStdString(MousePositionText(mouse.x(), mouse.y(), document.Image().Width(),
                                                    document.Image().Height()));
}

QString ImageView::ImageSizePane() const {
    const CVImage& image = document.Image();
    if (document.HasSelection()) {
        const RECT& r = document.Selection();
        return QString::fromStdString(
            ImageSizeText(r.right - r.left, r.bottom - r.top, image.BitCount()));
    }
    return QString::fromStdString(ImageSizeText(image.Width(), image.Height(), image.BitCount()));
}

QString ImageView::MemoryPane() const {
    return QString::fromStdString(SizeText(document.Image().ImageBytes()));
}

QString ImageView::DiskPane() const {
    return QString::fromStdString(
        SizeText(static_cast<uint64_t>(std::max(0, document.WrittenSize()))));
}

} // namespace pixmill
