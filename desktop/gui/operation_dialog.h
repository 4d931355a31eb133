// The operation dialog: the plug-in's settings pane beside a preview of the
// result on the current image or selection (a reduced copy for large
// images), refreshed after every accepted change of the pane. Operations
// that offer no live preview get the pane alone.
#pragma once

#include "pixmill/cv_image.h"
#include "pixmill/pane.h"
#include "pixmill/win_types.h"

#include <QDialog>

#include <optional>

class QLabel;
class QTimer;

namespace pixmill {

class ImageCanvas;
class CProcessingPlugin;

class OperationDialog : public QDialog, public CPaneSite {
    Q_OBJECT
  public:
    static constexpr int kPreviewBox = 320;

    OperationDialog(CProcessingPlugin* plugin, const CVImage* image, std::optional<RECT> selection,
                    QWidget* parent);
    ~OperationDialog() override;

    void Changed(CPluginPane* pane) override;
    QWidget* GetParentWindow() override { return paneHolder; }
    const CVImage* GetImage() override { return image; }

    // Commits the pane and applies the operation to the preview copy now.
    void RefreshPreview();
    const CVImage& PreviewResult() const { return result; }
    bool PreviewValid() const { return previewValid; }
    CPluginPane* Pane() const { return pane; }

  protected:
    void done(int result) override;

  private:
    CProcessingPlugin* plugin;
    const CVImage* image;
    CVImage source;
    CVImage result;
    CPluginPane* pane = nullptr;
    QWidget* paneHolder;
    ImageCanvas* before;
    ImageCanvas* after;
    QLabel* note;
    QTimer* timer;
    bool previewValid = false;
    bool livePreview = false;
};

} // namespace pixmill
