// A scrolled picture of a CVImage at one of the zoom steps, centred on the
// background when smaller than the window. Paints only the visible part,
// through the row renderer and the display's gamma table. The image view
// adds tools and the selection; dialogs use it for their previews.
#pragma once

#include "desktop/image_display.h"

#include <QAbstractScrollArea>
#include <QImage>

namespace pixmill {

class CVImage;

class ImageCanvas : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit ImageCanvas(QWidget* parent = nullptr);

    void SetImage(const CVImage* image);
    const CVImage* Image() const { return image; }
    double Zoom() const { return zoom; }
    // Snaps the zoom and keeps the image point under anchor (viewport
    // coordinates; the centre when none) where it was.
    void SetZoom(double zoom, const QPoint* anchor = nullptr);
    // The image changed size or pixels.
    void ImageChanged();

    // The display's gamma table, shared by every canvas.
    static void SetDisplayGamma(const GammaTable& table);
    static const GammaTable& DisplayGamma();

    // Where the zoomed image lies in the viewport.
    QRect ImageRect() const;
    // Viewport point -> image pixel (may lie outside the image).
    QPoint ImagePointAt(const QPoint& viewportPoint) const;
    QPoint ViewportPointOf(const QPoint& imagePoint) const;
    QSize ZoomedSize() const;

  signals:
    void ZoomChanged(double zoom);
    void Scrolled(int horizontal, int vertical);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    // Drawn over the picture (the selection).
    virtual void PaintOverlay(class QPainter& painter) { (void)painter; }
    void UpdateScrollBars();

    const CVImage* image = nullptr;
    double zoom = 100.0;

  private:
    QImage rows; // the visible part, reused between paints
};

} // namespace pixmill
