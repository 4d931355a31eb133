#include "web_page_destination.h"

#include "gallery_parts.h"
#include "pagesmith_strings.h"
#include "profile_trust.h"
#include "pixmill/plugin_host.h"
#include "pixmill/stream.h"
#include "pixmill/user_interface.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <strings.h>
#include <vector>

namespace pixmill::pagesmith {

// The configuration values in the host's settings.
class WebPageDestination::HostStore : public ConfigurationStore {
  public:
    explicit HostStore(CPluginHost* host) : host(host) {}
    std::string ReadText(const char* name) override {
        std::vector<char> buffer(ProfileConfigurations::kListCapacity);
        host->LoadSettingsText(name, buffer.data(), buffer.size());
        return buffer.data();
    }
    void WriteText(const char* name, const std::string& text) override {
        host->SaveSettingsText(name, text.c_str());
    }

  private:
    CPluginHost* host;
};

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The title question; the prefilled text stays unless the user confirms.
std::string AskTitle(StringId caption, StringId label, const std::string& prefilled) {
    CUserInterface* ui = GetUserInterface();
    if (ui == nullptr) {
        return prefilled;
    }
    std::vector<char> text(1024);
    std::snprintf(text.data(), text.size(), "%s", prefilled.c_str());
    if (!ui->AskText(LookupString(kStrings, caption), LookupString(kStrings, label), text.data(),
                     text.size())) {
        return prefilled;
    }
    return text.data();
}

} // namespace

WebPageDestination::WebPageDestination() {
    UpdateThumbnailSettings();
}

WebPageDestination::~WebPageDestination() = default;

const char* WebPageDestination::GetName() {
    return LookupString(kStrings, IdName);
}

QWidget* WebPageDestination::CreatePage(QWidget*, const RECT&) {
    return nullptr;
}

void WebPageDestination::Attach(BatchHost* host) {
    batchHost = host;
    pluginHost = host != nullptr ? host->GetPluginHost() : nullptr;
    sized = host != nullptr ? std::make_unique<SizedPictures>(*host) : nullptr;
    if (pluginHost == nullptr) {
        return;
    }
    // Questions and messages of this library go to the program's service.
    if (CUserInterface* ui = pluginHost->GetUserInterfaceService()) {
        SetUserInterface(ui);
    }
    store = std::make_unique<HostStore>(pluginHost);
    configurations =
        std::make_unique<ProfileConfigurations>(*store, [](const std::string& question) {
            CUserInterface* ui = GetUserInterface();
            return ui != nullptr && ui->AskYesNo("Pixmill", question.c_str(), false);
        });
    projectPath = store->ReadText(kProjectName);
    keepLocation = store->ReadText(kKeepLocationName) == "1";
    ReadCurrentConfiguration();
}

void WebPageDestination::ReadCurrentConfiguration() {
    if (configurations) {
        configurations->Reload();
        if (!configurations->Current().empty()) {
            configurations->Choose(configurations->Current(), profile);
        }
    }
    UpdateThumbnailSettings();
}

void WebPageDestination::Show(const std::string& text, MessageIcon icon) {
    if (CUserInterface* ui = GetUserInterface()) {
        ui->ShowMessage("Pixmill", text.c_str(), icon);
    } else {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
}

void WebPageDestination::Refuse(const std::string& text) {
    Show(text, MessageIcon::Stop);
}

void WebPageDestination::SetKeepLocation(bool on, bool remember) {
    keepLocation = on;
    if (remember && store) {
        store->WriteText(kKeepLocationName, on ? "1" : "0");
    }
}

bool WebPageDestination::TakeOver() {
    ClampToDeclaredRanges(profile);
    std::vector<std::string> roots = readableFolders;
    if (!roots.empty()) {
        const std::string folder = PageNames(projectPath).Folder();
        roots.push_back(folder.empty() ? std::string(".") : folder);
    }
    if (std::string refusal = CheckProfileNames(profile, roots); !refusal.empty()) {
        Refuse(refusal);
        return false;
    }
    const ProjectSettings& project = profile.project;
    // The modern set is always a grid of thumbnails and a page per picture.
    const bool modern = project.modernPages;
    std::vector<int> widths;
    if (std::string refusal = ParsePictureSizes(project.pictureSizes, widths); !refusal.empty()) {
        Refuse(refusal);
        return false;
    }
    if (!modern && !project.createThumbnailPages && !project.createZoomPages) {
        Refuse(LookupString(kStrings, IdMustSelect));
        return false;
    }
    auto checkTemplate = [this](bool used, const std::string& file) {
        std::error_code error;
        if (used && !std::filesystem::is_regular_file(file, error)) {
            char text[1200];
            std::snprintf(text, sizeof text, LookupString(kStrings, IdFileNotFound), file.c_str());
            Refuse(text);
            return false;
        }
        return true;
    };
    if (!modern && (!checkTemplate(project.createThumbnailPages &&
                                       project.thumbnailStyle == ThumbnailsFromTemplate,
                                   project.thumbnailTemplate) ||
                    !checkTemplate(project.createZoomPages && project.zoomStyle == ZoomPage &&
                                       project.zoomSubstyle == ZoomFromTemplate,
                                   project.zoomTemplate))) {
        return false;
    }
    if (projectPath.empty() || FileNameOf(projectPath).empty()) {
        Refuse(LookupString(kStrings, IdNeedProject));
        return false;
    }
    const std::string folder = PageNames(projectPath).Folder();
    std::error_code error;
    if (!folder.empty() && !std::filesystem::is_directory(folder, error) &&
        !std::filesystem::create_directories(folder, error)) {
        char text[1200];
        std::snprintf(text, sizeof text, LookupString(kStrings, IdFailCreateDirectory),
                      folder.c_str());
        Refuse(text);
        return false;
    }
    wantThumbnails = modern || project.createThumbnailPages;
    wantZoom = modern || project.createZoomPages;
    wantIndex = project.createContentPage;
    // Only the modern pages offer a picture in several sizes.
    pictureWidths = modern ? widths : std::vector<int>();
    if (!modern && sizesGiven && !widths.empty()) {
        Show("The picture sizes are for the modern pages: these pages show every picture at "
             "its full size only.");
    }
    int generation = profile.justZoom.generationStyle;
    if (modern) {
        generation = profile.zoomImage.generationStyle;
    } else if (project.zoomStyle == ZoomPage) {
        generation = project.zoomSubstyle == ZoomFromTemplate
                         ? profile.zoomTemplatePage.generationStyle
                         : profile.zoomImage.generationStyle;
    }
    mainImageMode = !wantZoom                          ? MainEncoded
                    : generation == GenerateCopySource ? MainCopySource
                                                       : MainEncoded;
    UpdateThumbnailSettings();
    if (store) {
        store->WriteText(kProjectName, projectPath);
    }
    return true;
}

bool WebPageDestination::ApplyPage() {
    return TakeOver();
}

bool WebPageDestination::AcceptsExtensions(const std::string& list) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        const std::string extension = list.substr(start, end - start);
        if (strcasecmp(extension.c_str(), ".jpg") == 0 ||
            strcasecmp(extension.c_str(), ".gif") == 0) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool WebPageDestination::Slot5(const char* extensions) {
    return AcceptsExtensions(extensions != nullptr ? extensions : "");
}

void WebPageDestination::UpdateThumbnailSettings() {
    const bool fromTemplate = profile.project.thumbnailStyle == ThumbnailsFromTemplate;
    const ThumbnailCell& cell = profile.thumbnailCell;
    const ThumbnailTemplatePage& page = profile.thumbnailTemplatePage;
    const bool fit = fromTemplate ? page.fitToThumbnailSize : cell.fitToThumbnailSize;
    const int fitStyle = fromTemplate ? page.fitStyle : cell.fitStyle;
    thumbnail.width = std::clamp(fromTemplate ? page.width : cell.width, 1, 32000);
    thumbnail.height = std::clamp(fromTemplate ? page.height : cell.height, 1, 32000);
    thumbnail.fitToSize = fit ? 1 : 0;
    thumbnail.smartCut = fit && fitStyle == FitSmartCut ? 1 : 0;
    thumbnail.discardAspectRatio = fit && fitStyle == FitDiscardAspect ? 1 : 0;
    thumbnail.enhance =
        std::clamp(fromTemplate ? page.jpegEnhancement : cell.jpegEnhancement, -100, 100);
}

ThumbnailSettings* WebPageDestination::GetThumbnailSettings() {
    return &thumbnail;
}

SaveTargets* WebPageDestination::BeginSave(const SaveRequest* request, CVStream* log) {
    current = GalleryImage{};
    runLog = log;
    mainTarget.clear();
    thumbnailTarget.clear();
    targets = SaveTargets{};
    const std::string baseName = request->baseName != nullptr ? request->baseName : "";
    const std::string folder = PageNames(projectPath).Folder();
    const std::string mainExtension = request->mainExtension ? request->mainExtension : "";
    const std::string thumbnailExtension =
        request->thumbnailExtension ? request->thumbnailExtension : "";
    const std::string& expansion = profile.project.thumbnailStyle == ThumbnailsFromTemplate
                                       ? profile.thumbnailTemplatePage.nameExpansion
                                       : profile.thumbnailCell.nameExpansion;
    // Shard I of N processes the run's pictures I, I+N, I+2N ...
    current.order = shardIndex + static_cast<long long>(request->index) * shardCount;
    // A picture saved in a further output format is the same entry of the
    // gallery: only its big picture is written, beside the first one.
    otherFormat = !images.empty() && images.back().order == current.order;
    if (!otherFormat && sized) {
        sized->Release(); // the last picture's sizes are written
    }
    // Only the names are made lower case: the folder is the user's, and
    // this file system tells case apart. Names another picture of the run
    // holds, in any case, get a number.
    const std::string stem = Lower(baseName);
    std::vector<std::string> suffixes{"." + Lower(mainExtension),
                                      Lower(expansion + "." + thumbnailExtension)};
    if (profile.project.modernPages) {
        // The further sizes and the sharp thumbnail are names of the picture too.
        for (const int width : pictureWidths) {
            suffixes.push_back(SizedName(suffixes[0], width));
        }
        suffixes.push_back(DoubleThumbnailName(suffixes[1]));
    }
    const std::string unique = names.Claim(current.order, stem, suffixes);
    if (unique != stem && log != nullptr) {
        const std::string line = NameClashLine(stem + "." + Lower(mainExtension),
                                               unique + "." + Lower(mainExtension));
        log->Write(line.data(), line.size());
    }
    current.itemName = baseName;
    if (otherFormat) {
        if (wantZoom && mainImageMode != MainThumbnailsOnly) {
            mainTarget = folder + unique + "." + Lower(mainExtension);
            targets.main = mainTarget.data();
        }
        return targets.main != nullptr ? &targets : nullptr;
    }
    // The modern pages show the caption; a title asked for starts from it,
    // while the other page sets keep the file names they always showed.
    const Caption caption = captions.For(request->sourcePath ? request->sourcePath : "");
    current.caption = caption.title;
    current.description = caption.description;
    if (wantThumbnails) {
        thumbnailTarget = folder + unique + Lower(expansion + "." + thumbnailExtension);
        current.thumbnailFile = thumbnailTarget;
        const std::string fileName = baseName + "." + thumbnailExtension;
        current.thumbnailTitle =
            profile.thumbnailTable.includeTitle && profile.project.askTitles
                ? AskTitle(IdThumbnailTitleCaption, IdThumbnailTitleLabel,
                           caption.title.empty() ? fileName : caption.title)
                : fileName;
        targets.thumbnail = thumbnailTarget.data();
    }
    if (wantZoom) {
        current.bigFile = folder + unique + "." + Lower(mainExtension);
        if (mainImageMode != MainThumbnailsOnly) {
            mainTarget = current.bigFile;
            targets.main = mainTarget.data();
        }
        const std::string fileName = baseName + "." + mainExtension;
        current.zoomTitle = profile.zoomImage.includeTitle && profile.project.askTitles
                                ? AskTitle(IdZoomTitleCaption, IdZoomTitleLabel,
                                           caption.title.empty() ? fileName : caption.title)
                                : fileName;
    }
    current.width = request->width;
    current.height = request->height;
    if (targets.main == nullptr && targets.thumbnail == nullptr) {
        return nullptr;
    }
    return &targets;
}

void WebPageDestination::EndSave(bool mainSaved, bool thumbnailSaved) {
    if (otherFormat) {
        if (mainSaved) {
            images.back().otherFiles.push_back(mainTarget);
            AddSizes(images.back(), mainTarget, false);
        }
    } else if (!thumbnailTarget.empty() && thumbnailSaved) {
        current.bigPresent =
            !current.bigFile.empty() && (mainSaved || mainImageMode != MainEncoded);
        images.push_back(current);
        if (mainSaved) {
            AddSizes(images.back(), mainTarget, true);
        }
    } else if (!wantThumbnails && mainSaved) {
        current.bigPresent = true;
        images.push_back(current);
    }
    otherFormat = false;
    mainTarget.clear();
    thumbnailTarget.clear();
    targets = SaveTargets{};
}

void WebPageDestination::AddSizes(GalleryImage& entry, const std::string& bigFile, bool first) {
    if (!profile.project.modernPages || !sized || bigFile.empty()) {
        return;
    }
    const auto note = [this](const std::string& text) {
        if (runLog != nullptr) {
            const std::string line = text + "\r\n";
            runLog->Write(line.data(), line.size());
        }
    };
    const auto extension = [](const std::string& file) {
        const size_t dot = file.rfind('.');
        return dot == std::string::npos ? std::string() : file.substr(dot + 1);
    };
    if (first) {
        if (std::string error = sized->Prepare(bigFile, pictureWidths); !error.empty()) {
            sized->Release();
            note(error + ": the picture is shown at its full size only");
            return;
        }
        // The size of the file the pages show (a copied original may differ
        // from the processed picture).
        entry.width = sized->Width();
        entry.height = sized->Height();
        std::string error;
        const int thumbnailFormat =
            SizedPictures::FormatForExtension(*batchHost, extension(entry.thumbnailFile));
        if (!entry.thumbnailFile.empty() && thumbnailFormat >= 0) {
            if (sized->WriteDoubleThumbnail(entry.thumbnailFile, thumbnailFormat, error)) {
                entry.doubleThumbnailFile = DoubleThumbnailName(entry.thumbnailFile);
            } else if (!error.empty()) {
                note(error);
            }
        }
    }
    if (!sized->Prepared()) {
        return;
    }
    const int format = SizedPictures::FormatForExtension(*batchHost, extension(bigFile));
    if (format < 0) {
        return; // no format of this program writes it: the full size only
    }
    if (std::string error = sized->Write(bigFile, format, entry.sizedFiles); !error.empty()) {
        note(error);
    }
}

bool WebPageDestination::SetPictureSizes(const std::string& text) {
    std::vector<int> widths;
    if (std::string refusal = ParsePictureSizes(text, widths); !refusal.empty()) {
        Refuse(refusal);
        return false;
    }
    profile.project.pictureSizes = text;
    sizesGiven = true;
    return true;
}

void WebPageDestination::EndBatch(CVStream* log, bool) {
    if (sized) {
        sized->Release();
    }
    runLog = nullptr;
    names.Clear();
    captions = CaptionSource{};
    const auto write = [log](const std::string& text) {
        if (log != nullptr) {
            log->Write(text.data(), text.size());
        }
    };
    if (shardCount > 1) {
        // The pages wait for every shard; an empty shard writes its part too.
        const std::string error = WritePart(projectPath, shardIndex, shardCount, images);
        write(error.empty() ? "Gallery part " + std::to_string(shardIndex) + "/" +
                                  std::to_string(shardCount) +
                                  " written: the pages are written by --pages-only after the "
                                  "last shard\r\n"
                            : error + "\r\n");
        images.clear();
        return;
    }
    if (images.empty()) {
        return;
    }
    PageGenerator generator(profile, projectPath, write);
    generator.Generate(images);
    images.clear();
    if (fromParts) {
        RemoveParts(projectPath);
        fromParts = false;
    }
}

void WebPageDestination::SetShard(int shard, int count) {
    shardIndex = shard;
    shardCount = count;
}

std::string WebPageDestination::TakePictures() {
    std::vector<GalleryImage> parts;
    if (std::string error = ReadParts(projectPath, parts); !error.empty()) {
        return error;
    }
    images = std::move(parts);
    fromParts = true;
    return {};
}

void WebPageDestination::Help(QWidget*) {}

const char* WebPageDestination::GetConfigName() {
    configName = configurations ? configurations->Current() : std::string();
    if (configName.empty()) {
        configName = LookupString(kStrings, IdDefaultConfig);
    }
    return configName.c_str();
}

} // namespace pixmill::pagesmith
