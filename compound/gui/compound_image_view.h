// CompoundImageView: the compound image drawn zoomed in a scrolling area, with
// a tracker over every region and every picture or text frame. The mouse
// selects, moves and resizes objects, draws new rectangle, circle and
// polygon regions, and zooms; the document does the rest.
#pragma once

#include "compound/tracking/painting/tracker_painter.h"
#include "compound/tracking/region_tracker.h"

#include <QAbstractScrollArea>

#include <memory>
#include <vector>

namespace pixmill {

class CompoundImageDoc;

class CompoundImageView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    CompoundImageView(CompoundImageDoc& document, QWidget* parent);
    ~CompoundImageView() override;

    CompoundImageDoc& Document() const { return document; }
    // Screen pixels per canvas pixel.
    double Zoom() const { return zoom; }
    // Sets the zoom keeping the canvas point at the centre of the window
    // there.
    void SetZoom(double factor);
    // Sets the zoom and brings the canvas point to the centre.
    void ZoomAt(double factor, QPoint canvasPoint);
    void ZoomIn();
    void ZoomOut();
    ScreenMapping Mapping() const;
    // The canvas point shown at the centre of the window.
    QPointF CenterPoint() const;

    // The document changed: trackers made again, scroll sizes, repaint.
    void DocumentChanged();
    // The status text of the selected shape (caption and figures), or the
    // mouse position.
    QString ShapeStatus() const { return shapeStatus; }
    // Trackers in list order (null for objects without one).
    const RegionTracker* TrackerOf(int index) const;
    // The shape being drawn, if any.
    const RegionTracker* Drawing() const { return drawing.get(); }
    // Ends the drawing of a polygon (or drops a new shape).
    void CancelDrawing();

  signals:
    void ZoomChanged(double factor);
    void StatusChanged(const QString& text);
    // A double click on an object (its properties).
    void ObjectActivated(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void UpdateScrollBars();
    POINT CanvasPoint(QPoint position) const;
    void Repaint(const RECT& canvas);
    // Keeps the mouse inside the viewport while a polygon is edited.
    void Confine(QMouseEvent* event);
    // Writes a dragged tracker back into its object.
    void Commit(int index);
    void AddDrawn();
    void SetStatus(const RegionTracker* tracker, POINT mouse);
    RegionTracker* Selected() const;

    CompoundImageDoc& document;
    double zoom = 1.0;
    std::vector<std::unique_ptr<RegionTracker>> trackers;
    std::unique_ptr<RegionTracker> drawing;
    int dragging = -1;
    TrackerPens pens;
    QString shapeStatus;
};

} // namespace pixmill
