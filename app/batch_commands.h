// The main window's batch commands: "&Batch Processing..." (the settings
// sheet, then the batch dialog over the chosen source and destination),
// "Ba&tch Open" (the source page alone; the chosen images open as image
// windows) and Export of the current or all open images (the processing
// and destination pages, then the batch dialog over those images). Owns the
// program's one batch job.
#pragma once

#include "batch/image_list_source.h"

#include <QString>

class QWidget;

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pixmill {

class BatchJob;
class AppContext;
class Workspace;

class BatchCommands {
  public:
    // parent: the window the sheets and dialogs belong to.
    BatchCommands(Workspace& workspace, QWidget* parent, AppContext& app);
    ~BatchCommands();

    void RunBatch();
    void BatchOpen();
    // Export the active image (allImages false) or every open one.
    void Export(bool allImages);
    // Export one picture that has no image window (an object of a compound
    // image).
    void ExportImage(const std::string& title, const CVImage& image);

    BatchJob& Job() { return *job; }
    // Shows the log after a run (the desktop's text viewer by default).
    void SetLogViewer(std::function<void(const QString&)> viewer) { logViewer = std::move(viewer); }

  private:
    void RunDialog(class BatchSource* source);
    // The processing and destination pages, then the run over the images.
    void ExportEntries(std::vector<ImageListSource::Entry> entries);

    Workspace& workspace;
    QWidget* parent;
    AppContext& app;
    std::unique_ptr<BatchJob> job;
    std::function<void(const QString&)> logViewer;
};

} // namespace pixmill
