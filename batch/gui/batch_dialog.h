// The batch dialog "Batch Processing": drives one BatchRun. Stepping shows
// the source image, the result for each output format (the picture as it
// will be written, with file size and ratio, for formats that preview their
// compression) and the thumbnail with the smart-cut slider; "Save to" and
// "S&kip" move on one image, "&Apply to all" does the rest with a status
// line while Cancel, a window close and a quit stay possible between images.
// The settings panes of operations and formats live hidden in the dialog so
// that settings can change between images.
#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QStackedWidget;
class QTabWidget;

namespace pixmill {

class BatchDestination;
class BatchJob;
class BatchRun;
class BatchSource;
class CropCanvas;
class GuiServices;
class ImageCanvas;
class SaveSession;
class CVImage;
class PaneSet;
class ProgressDisplay;

class BatchDialog : public QDialog {
    Q_OBJECT
  public:
    BatchDialog(BatchJob& job, BatchSource* source, BatchDestination* destination,
                GuiServices& services, ProgressDisplay* progress, QWidget* parent);
    ~BatchDialog() override;

    // Creates the log and loads the first image; false when the run ended
    // at once (no image could be loaded, or the log cannot be created).
    bool Start();
    BatchRun& Run() { return *run; }

    // The buttons, as a person would press them.
    void SaveTo();
    void Skip();
    void ApplyToAll();
    void Cancel();
    void Preview();
    void More();
    void Crop();

    QPushButton* SaveButton() const { return saveButton; }
    QPushButton* CancelButton() const { return cancelButton; }
    QTabWidget* PreviewTabs() const { return tabs; }
    QSlider* CutSlider() const { return cutSlider; }
    QLabel* StatusLine() const { return status; }
    CropCanvas* ResultCanvas() const { return resultCanvas; }
    bool Running() const { return running; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Refresh();
    void RefreshThumbnail();
    void ShowImageInfo();
    void ClearPreviews();
    void AfterStep();
    void Finish(int code);
    // Runs work on the current image; a Cancel meanwhile waits until it ends.
    void Work(const std::function<void()>& work);
    int OutputOfTab(int tab) const;
    QWidget* MakeButtons();

    BatchJob& job;
    BatchSource* source;
    BatchDestination* destination;
    GuiServices& services;
    std::unique_ptr<BatchRun> run;
    std::unique_ptr<PaneSet> panes;
    std::unique_ptr<SaveSession> session;
    std::unique_ptr<CVImage> thumbnailPreview;
    QElapsedTimer clock;

    QTabWidget* tabs;
    ImageCanvas* sourceCanvas;
    CropCanvas* resultCanvas;
    QLabel* sizes;
    CropCanvas* thumbnailCanvas = nullptr;
    QSlider* cutSlider = nullptr;
    QLabel* cutLabels[2] = {};
    QCheckBox* showThumbnail = nullptr;
    QLabel* info;
    QLabel* status;
    QWidget* previewArea;
    QWidget* settingsArea;
    QComboBox* settingsChoice;
    QPushButton* saveButton;
    QPushButton* skipButton;
    QPushButton* allButton;
    QPushButton* cancelButton;
    QPushButton* cropButton;
    QCheckBox* autoPreview;
    std::vector<QWidget*> stepControls;
    int resultTab = 1;
    int thumbnailTab = -1;
    bool running = false;
    bool busy = false;
    bool cancelRequested = false;
    bool quitRequested = false;
};

} // namespace pixmill
