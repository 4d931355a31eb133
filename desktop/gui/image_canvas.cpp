#include "desktop/gui/image_canvas.h"

#include "desktop/row_renderer.h"
#include "host/color_management.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace pixmill {

namespace {
GammaTable& SharedGamma() {
    static GammaTable table = MakeGammaTable(GammaParameters{});
    return table;
}
std::vector<uint8_t>& SharedScreenProfile() {
    static std::vector<uint8_t> profile;
    return profile;
}
} // namespace

ImageCanvas::ImageCanvas(QWidget* parent) : QAbstractScrollArea(parent) {
    viewport()->setAutoFillBackground(false);
    setFrameShape(QFrame::NoFrame);
}

ImageCanvas::~ImageCanvas() = default;

void ImageCanvas::SetDisplayGamma(const GammaTable& table) {
    SharedGamma() = table;
}

const GammaTable& ImageCanvas::DisplayGamma() {
    return SharedGamma();
}

void ImageCanvas::SetScreenProfile(std::vector<uint8_t> icc) {
    SharedScreenProfile() = std::move(icc);
}

const std::vector<uint8_t>& ImageCanvas::ScreenProfile() {
    return SharedScreenProfile();
}

void ImageCanvas::SetProfile(const std::vector<uint8_t>* icc) {
    profile = icc;
    ImageChanged();
}

void ImageCanvas::UpdateShown() {
    shown.reset();
    if (image == nullptr || image->bits == nullptr || profile == nullptr || profile->empty() ||
        *profile == ScreenProfile()) {
        return;
    }
    try {
        auto copy = std::make_unique<CVImage>(image->host);
        const RECT whole{0, 0, image->Width(), image->Height()};
        CVImage::CopyImage(copy.get(), image, &whole);
        if (ConvertBetween(*copy, *profile, ScreenProfile())) {
            shown = std::move(copy);
        }
    } catch (CQorelError&) {
        shown.reset(); // no memory for the copy: shown unconverted
    }
}

void ImageCanvas::SetImage(const CVImage* newImage) {
    image = newImage;
    ImageChanged();
}

void ImageCanvas::ImageChanged() {
    UpdateShown();
    UpdateScrollBars();
    viewport()->update();
}

QSize ImageCanvas::ZoomedSize() const {
    if (image == nullptr || image->bits == nullptr) {
        return {0, 0};
    }
    return {ImageToScreen(image->Width(), zoom), ImageToScreen(image->Height(), zoom)};
}

QRect ImageCanvas::ImageRect() const {
    const QSize size = ZoomedSize();
    const QSize client = viewport()->size();
    const int x = CentreOffset(client.width(), size.width()) - horizontalScrollBar()->value();
    const int y = CentreOffset(client.height(), size.height()) - verticalScrollBar()->value();
    return {x, y, size.width(), size.height()};
}

QPoint ImageCanvas::ImagePointAt(const QPoint& point) const {
    const QRect rect = ImageRect();
    const int sx = point.x() - rect.x();
    const int sy = point.y() - rect.y();
    // Negative screen offsets lie left of or above the image.
    return {sx < 0 ? -1 - ScreenToImage(-sx, zoom) : ScreenToImage(sx, zoom),
            sy < 0 ? -1 - ScreenToImage(-sy, zoom) : ScreenToImage(sy, zoom)};
}

QPoint ImageCanvas::ViewportPointOf(const QPoint& imagePoint) const {
    const QRect rect = ImageRect();
    return {rect.x() + ImageToScreen(imagePoint.x(), zoom),
            rect.y() + ImageToScreen(imagePoint.y(), zoom)};
}

void ImageCanvas::UpdateScrollBars() {
    const QSize size = ZoomedSize();
    const QSize client = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, size.width() - client.width()));
    verticalScrollBar()->setRange(0, std::max(0, size.height() - client.height()));
    horizontalScrollBar()->setPageStep(client.width());
    verticalScrollBar()->setPageStep(client.height());
    horizontalScrollBar()->setSingleStep(std::max(1, client.width() / 20));
    verticalScrollBar()->setSingleStep(std::max(1, client.height() / 20));
}

void ImageCanvas::SetZoom(double newZoom, const QPoint* anchor) {
    const QPoint where = anchor != nullptr ? *anchor : viewport()->rect().center();
    const QPoint imagePoint = ImagePointAt(where);
    zoom = SnapZoom(newZoom);
    UpdateScrollBars();
    const QSize size = ZoomedSize();
    const QSize client = viewport()->size();
    // Scroll so that imagePoint comes back under the anchor.
    auto place = [](int point, double z, int at, int clientSize, int zoomed) {
        if (zoomed <= clientSize) {
            return 0;
        }
        return std::clamp(ImageToScreen(point, z) - at, 0, zoomed - clientSize);
    };
    horizontalScrollBar()->setValue(
        place(imagePoint.x(), zoom, where.x(), client.width(), size.width()));
    verticalScrollBar()->setValue(
        place(imagePoint.y(), zoom, where.y(), client.height(), size.height()));
    viewport()->update();
    emit ZoomChanged(zoom);
}

void ImageCanvas::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void ImageCanvas::scrollContentsBy(int dx, int dy) {
    (void)dx;
    (void)dy;
    viewport()->update();
    emit Scrolled(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void ImageCanvas::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QColor background = palette().color(QPalette::Dark);
    const QRect imageRect = ImageRect();
    const QRect visible = imageRect.intersected(event->rect());
    // The margins around the picture.
    const QRegion margins = QRegion(event->rect()).subtracted(QRegion(imageRect));
    for (const QRect& r : margins) {
        painter.fillRect(r, background);
    }
    if (visible.isEmpty() || image == nullptr) {
        return;
    }
    if (rows.width() < visible.width() || rows.height() < visible.height()) {
        rows = QImage(std::max(rows.width(), visible.width()),
                      std::max(rows.height(), visible.height()), QImage::Format_RGB32);
    }
    RenderArea area{visible.x() - imageRect.x(), visible.y() - imageRect.y(), visible.width(),
                    visible.height()};
    RenderRows(shown ? *shown : *image, zoom, DisplayGamma(), area, reinterpret_cast<uint32_t*>(rows.bits()),
               static_cast<size_t>(rows.bytesPerLine() / 4));
    painter.drawImage(visible.topLeft(), rows, QRect(0, 0, visible.width(), visible.height()));
    PaintOverlay(painter);
}

} // namespace pixmill
