// The web-page batch destination without its settings page: it names the
// run's picture and thumbnail files in the project folder, collects what was
// saved and writes the pages when the run ends (also after a cancel).
#pragma once

#include "html_profile.h"
#include "page_generator.h"
#include "picture_caption.h"
#include "pixmill/batch_interfaces.h"
#include "pixmill/output_names.h"
#include "pixmill/user_interface.h"
#include "profile_configurations.h"
#include "sized_pictures.h"

#include <memory>
#include <string>
#include <vector>

namespace pixmill::pagesmith {

class WebPageDestination : public BatchDestination {
  public:
    static constexpr const char* kProjectName = "HtmlProjectPath";
    static constexpr const char* kKeepLocationName = "HtmlKeepLocation";

    WebPageDestination();
    ~WebPageDestination() override;

    const char* GetName() override;
    QWidget* CreatePage(QWidget* parent, const RECT& area) override;
    void Attach(BatchHost* host) override;
    bool ApplyPage() override;
    // Answers whether none of the ";"-separated extensions is ".jpg" or
    // ".gif" (case ignored).
    bool Slot5(const char* extensions) override;
    ThumbnailSettings* GetThumbnailSettings() override;
    int GetMainImageMode() override { return mainImageMode; }
    SaveTargets* BeginSave(const SaveRequest* request, CVStream* log) override;
    void EndSave(bool mainSaved, bool thumbnailSaved) override;
    void EndBatch(CVStream* log, bool completed) override;
    void Slot11() override { images.clear(); }
    void Help(QWidget* window) override;
    int GetTargetKind() override { return TargetFileNames; }
    // The name of the current configuration.
    virtual const char* GetConfigName();

    // The extension list slot 5 tests (the interface's slot has no argument).
    static bool AcceptsExtensions(const std::string& list);

    HtmlProfile& Profile() { return profile; }
    const std::string& ProjectPath() const { return projectPath; }
    // Whether the published pictures keep their GPS location (off: the
    // pictures leave location, serial numbers, names and maker notes out).
    // The settings page remembers the choice; a headless run's option does
    // not.
    bool KeepLocation() const { return keepLocation; }
    void SetKeepLocation(bool on, bool remember = false);
    void SetProjectPath(const std::string& path) { projectPath = path; }
    const std::vector<GalleryImage>& Images() const { return images; }
    ProfileConfigurations* Configurations() { return configurations.get(); }
    CPluginHost* Host() const { return pluginHost; }
    // Reads the current configuration's file into the profile.
    void ReadCurrentConfiguration();
    // Keeps the thumbnail block in step with the profile.
    void UpdateThumbnailSettings();
    // Validates the profile and the project path and takes them over for
    // the next run; messages go through the user-interface service.
    bool TakeOver();
    // One message through the user-interface service (a warning unless
    // told otherwise).
    void Show(const std::string& text, MessageIcon icon = MessageIcon::Warning);
    // A message that stops the run (an error, not a warning).
    void Refuse(const std::string& text);

    // A profile from a file may make the pages read only inside these
    // folders and the project's folder (none: the user's own settings).
    void ConfineReadsTo(std::vector<std::string> folders) { readableFolders = std::move(folders); }

    // A sharded run (shard of count > 1) writes its pictures into a gallery
    // part instead of pages.
    void SetShard(int shard, int count);
    // The further widths of the modern pages' pictures ("480,960,1600"; ""
    // none); false, with the profile unchanged, for a text that is no list
    // of widths (the reason is shown).
    bool SetPictureSizes(const std::string& text);
    // The pages step: takes every shard's pictures from their parts, to be
    // written as pages at the end of the batch; "" or what is missing.
    std::string TakePictures();

  private:
    class HostStore;

    // The current picture's further sizes and sharp thumbnail, for the
    // modern pages; `first`: the run's first format of the picture.
    void AddSizes(GalleryImage& entry, const std::string& bigFile, bool first);

    HtmlProfile profile;
    ThumbnailSettings thumbnail;
    std::string projectPath;
    bool keepLocation = false;
    bool wantThumbnails = true, wantZoom = true, wantIndex = true;
    int mainImageMode = MainEncoded;
    std::vector<int> pictureWidths; // the modern pages' further widths, taken over
    bool sizesGiven = false;        // the sizes came as a headless run's option

    BatchHost* batchHost = nullptr;
    CPluginHost* pluginHost = nullptr;
    std::unique_ptr<HostStore> store;
    std::unique_ptr<ProfileConfigurations> configurations;
    std::unique_ptr<SizedPictures> sized; // the current picture's further sizes
    CVStream* runLog = nullptr;           // the log of the save in progress

    std::vector<GalleryImage> images;
    GalleryImage current;
    bool otherFormat = false; // the current save is a further format of the last entry
    OutputNames names;        // this run's file names
    CaptionSource captions;
    std::vector<std::string> readableFolders;
    int shardIndex = 0, shardCount = 1;
    bool fromParts = false; // images came from a sharded run's parts
    std::string mainTarget, thumbnailTarget;
    SaveTargets targets;
    std::string configName;
};

} // namespace pixmill::pagesmith
