#include "batch/gui/crop_canvas.h"

#include "pixmill/cv_image.h"

#include <QMouseEvent>
#include <QPainter>

namespace pixmill {

void CropCanvas::ClearSelection() {
    selection = QRect();
    viewport()->update();
    emit SelectionChanged();
}

void CropCanvas::SetFrame(const QRect& rect) {
    frame = rect;
    viewport()->update();
}

QRect CropCanvas::Clipped(const QPoint& a, const QPoint& b) const {
    if (image == nullptr) {
        return {};
    }
    const QRect picture(0, 0, image->Width(), image->Height());
    return QRect(a, b).normalized().intersected(picture);
}

void CropCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || image == nullptr) {
        return;
    }
    anchor = ImagePointAt(event->position().toPoint());
    dragging = true;
    selection = QRect();
    viewport()->update();
}

void CropCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (dragging) {
        selection = Clipped(anchor, ImagePointAt(event->position().toPoint()));
        viewport()->update();
    }
}

void CropCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging) {
        return;
    }
    dragging = false;
    selection = Clipped(anchor, ImagePointAt(event->position().toPoint()));
    if (selection.width() < 2 || selection.height() < 2) {
        selection = QRect(); // a click is no rectangle
    }
    viewport()->update();
    emit SelectionChanged();
}

void CropCanvas::PaintOverlay(QPainter& painter) {
    for (const QRect& rect : {selection, frame}) {
        if (rect.isEmpty()) {
            continue;
        }
        const QRect onScreen(ViewportPointOf(rect.topLeft()),
                             ViewportPointOf(rect.bottomRight() + QPoint(1, 1)));
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(onScreen.adjusted(0, 0, -1, -1));
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.drawRect(onScreen.adjusted(0, 0, -1, -1));
    }
}

} // namespace pixmill
