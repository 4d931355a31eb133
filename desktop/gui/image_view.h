// ImageView: the document's image in its window, with the program-wide
// zoom and select tools, the selection tracker (kept in step with the
// document's selection), scroll keys and the status-pane texts.
#pragma once

#include "desktop/gui/image_canvas.h"
#include "desktop/selection_tracker.h"

#include <QString>

namespace pixmill {

class ImageDoc;

enum class ToolMode { Zoom = 0, Select = 1 };

class ImageView : public ImageCanvas {
    Q_OBJECT
  public:
    explicit ImageView(ImageDoc& document, QWidget* parent = nullptr);

    static ToolMode Tool();
    static void SetTool(ToolMode mode);

    ImageDoc& Document() { return document; }
    void ZoomIn();
    void ZoomOut();
    void ActualPixels();
    void ZoomToFit();
    // The document's image or selection changed: take the selection back
    // into the tracker and redraw.
    void DocumentChanged();
    // Puts the tracker's rectangle into the document.
    void SetSelection(const RECT& rect);

    QString MousePositionPane() const;
    QString ImageSizePane() const;
    QString MemoryPane() const;
    QString DiskPane() const;

  signals:
    void StatusChanged();
    // The selection changed (commands that need one follow it).
    void SelectionChanged();
    // The view met a document whose pixels still have to be read.
    void PixelsWanted();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void PaintOverlay(QPainter& painter) override;

  private:
    void TrackerToDocument();
    int HandleTolerance() const;
    void UpdateCursor();

    ImageDoc& document;
    SelectionTracker tracker;
    QPoint mouse{-1, -1};
    bool pixelsAsked = false;
};

} // namespace pixmill
