// BatchFileDest: the built-in batch destination, image files in a folder,
// optionally with thumbnails. Its settings are kept as property text in the
// settings value "BatchFileDest". Every file is written under a temporary
// name in the target folder and renamed when the save ended well, so a
// failed image never replaces a file the user had.
#pragma once

#include "batch/field_property_list.h"
#include "pixmill/batch_interfaces.h"
#include "pixmill/output_names.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pixmill {

class SettingsStore;
class CUserInterface;
class AtomicFile;
class FileStream;

class BatchFileDest : public BatchDestination {
  public:
    static constexpr const char* kSettingsName = "BatchFileDest";
    static constexpr int kHelpTopic = 443;
    static constexpr int kMaxThumbnailSide = 32000;

    BatchFileDest(SettingsStore& settings, CUserInterface* ui);
    ~BatchFileDest() override; // stores the settings

    const char* GetName() override { return "Image files"; }
    QWidget* CreatePage(QWidget* parent, const RECT& area) override;
    void Attach(BatchHost*) override {}
    // Validates the values the page put into the fields (messages and the
    // folder question through the user-interface service).
    bool ApplyPage() override;
    bool Slot5(const char*) override { return true; }
    ThumbnailSettings* GetThumbnailSettings() override;
    int GetMainImageMode() override;
    SaveTargets* BeginSave(const SaveRequest* request, CVStream* log) override;
    void EndSave(bool mainSaved, bool thumbnailSaved) override;
    void EndBatch(CVStream* log, bool completed) override;
    void Slot11() override {}
    void Help(QWidget* window) override;
    int GetTargetKind() override { return TargetStreams; }

    CPropertyList* Properties() { return &properties; }
    // Asks for a file name when NewFileName is 0; without one the item's
    // own name is used.
    void SetAskFileName(std::function<std::optional<std::string>(const std::string&)> ask) {
        askFileName = std::move(ask);
    }
    // The request's extra word is the item's folder below the source's root
    // (set for the built-in file source): files go into that sub-folder.
    void SetKeepSubfolders(bool on) { keepSubfolders = on; }
    // Read-only files in the way fail their image unless this is on.
    void SetReplaceReadOnly(bool on) { replaceReadOnly = on; }
    void SetHelpHandler(std::function<void(int)> handler) { helpHandler = std::move(handler); }

    // The stored settings (the thumbnail block holds the thumbnail ones).
    std::string path;
    int isThumbnail = 0;
    std::string thumbName = "_Thumb";
    ThumbnailSettings thumbnail;
    int newFileName = 1;
    int mainImageMode = MainEncoded;

  private:
    struct Target;
    void CloseTargets();

    SettingsStore& settings;
    CUserInterface* ui;
    FieldPropertyList properties;
    std::unique_ptr<Target> mainTarget;
    std::unique_ptr<Target> thumbnailTarget;
    SaveTargets targets;
    bool keepSubfolders = false;
    bool replaceReadOnly = false;
    std::function<std::optional<std::string>(const std::string&)> askFileName;
    std::function<void(int)> helpHandler;
    OutputNames names; // this run's file names
};

} // namespace pixmill
