// ImageFrame: the window of one image document inside the main window's
// MDI area. It owns the document and its view and is the document's front
// end (view updates, the save-options dialog, a parent for settings dialogs).
#pragma once

#include "host/image_doc.h"

#include <QMdiSubWindow>

#include <memory>

namespace pixmill {

class ImageView;
class Workspace;

class ImageFrame : public QMdiSubWindow, public DocumentFrontEnd {
    Q_OBJECT
  public:
    ImageFrame(std::unique_ptr<ImageDoc> document, Workspace& workspace);
    ~ImageFrame() override;

    ImageDoc& Document() { return *document; }
    ImageView* View() const { return view; }
    // The frame's size for the image at 100 % (or fitted with "Zoom to
    // window") inside the available area.
    void SizeToImage(bool zoomToWindow);
    void UpdateTitle();

    void UpdateAllViews(int hint) override;
    bool RunSaveDialog(SaveSession& session) override;
    bool HasParentWindow() const override { return true; }

  signals:
    // The document or its selection changed: the commands it enables may
    // have changed.
    void CommandStatesChanged();
    // The view's status (zoom, pointer, selection size) changed.
    void StatusChanged();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    std::unique_ptr<ImageDoc> document;
    Workspace& workspace;
    ImageView* view;
};

} // namespace pixmill
