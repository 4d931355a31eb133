// A scrolled picture of a CVImage at one of the zoom steps, centred on the
// background when smaller than the window. Paints only the visible part,
// through the row renderer and the display's gamma table. A picture with an
// ICC profile is shown through a copy converted once from its profile to
// the screen's (whenever the picture changes), so scrolling and zooming
// paint as fast as for any other picture. The image view
// adds tools and the selection; dialogs use it for their previews.
#pragma once

#include "desktop/image_display.h"

#include <QAbstractScrollArea>
#include <QImage>

#include <cstdint>
#include <memory>
#include <vector>

namespace pixmill {

class CVImage;

class ImageCanvas : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit ImageCanvas(QWidget* parent = nullptr);
    ~ImageCanvas() override;

    void SetImage(const CVImage* image);
    // The picture's ICC profile (null or empty: sRGB, shown as it is); the
    // canvas reads it whenever the image changes.
    void SetProfile(const std::vector<uint8_t>* icc);
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
    // The screen's ICC profile (empty: sRGB), shared by every canvas.
    static void SetScreenProfile(std::vector<uint8_t> icc);
    static const std::vector<uint8_t>& ScreenProfile();

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
    // Converts the picture for the screen when it carries a profile.
    void UpdateShown();

    QImage rows; // the visible part, reused between paints
    const std::vector<uint8_t>* profile = nullptr;
    std::unique_ptr<CVImage> shown; // the picture in the screen's colours
};

} // namespace pixmill
