// The save-options dialog: the format's options pane, the sizes in memory
// and on disk with their ratio, and, for formats that decode what they
// wrote, the written picture at 100 % beside the original with their
// scrolling kept together. A change of the pane refreshes after the
// preference's preview delay.
#pragma once

#include "pixmill/pane.h"

#include <QDialog>

class QLabel;
class QTimer;

namespace pixmill {

class ImageCanvas;
class SaveSession;

class SaveDialog : public QDialog, public CPaneSite {
    Q_OBJECT
  public:
    SaveDialog(SaveSession& session, int previewDelay, QWidget* parent);
    ~SaveDialog() override;

    void Changed(CPluginPane* pane) override;
    QWidget* GetParentWindow() override { return paneHolder; }
    const CVImage* GetImage() override;

    // Writes the image again with the pane's settings and shows the result.
    void Refresh();
    QString FileSizeText() const;
    QString MemorySizeText() const;
    QString RatioText() const;
    bool RefreshPending() const;

  protected:
    void done(int result) override;

  private:
    SaveSession& session;
    CPluginPane* pane = nullptr;
    QWidget* paneHolder;
    ImageCanvas* original = nullptr;
    ImageCanvas* written = nullptr;
    QLabel* memoryLabel;
    QLabel* fileLabel;
    QLabel* ratioLabel;
    QTimer* timer;
};

} // namespace pixmill
