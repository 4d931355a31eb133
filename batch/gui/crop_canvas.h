// A preview canvas on which a rectangle can be drawn with the mouse (the
// batch dialog's "Crop" on the result) and on which a frame can be shown
// (the smart cut's part on the uncut thumbnail preview). Rectangles are in
// picture pixels, top row 0.
#pragma once

#include "desktop/gui/image_canvas.h"

#include <QRect>

namespace pixmill {

class CropCanvas : public ImageCanvas {
    Q_OBJECT
  public:
    explicit CropCanvas(QWidget* parent = nullptr) : ImageCanvas(parent) {}

    // The drawn rectangle, clipped to the picture; empty when none.
    QRect Selection() const { return selection; }
    void ClearSelection();
    // A frame drawn over the picture (not editable).
    void SetFrame(const QRect& frame);

  signals:
    void SelectionChanged();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void PaintOverlay(QPainter& painter) override;

  private:
    QRect Clipped(const QPoint& a, const QPoint& b) const;

    QPoint anchor;
    bool dragging = false;
    QRect selection;
    QRect frame;
};

} // namespace pixmill
