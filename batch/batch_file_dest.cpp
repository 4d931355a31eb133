#include "batch/batch_file_dest.h"

#include "host/atomic_file.h"
#include "host/path_fields.h"
#include "host/settings_store.h"
#include "host/streams.h"
#include "pixmill/stream.h"
#include "pixmill/user_interface.h"

#include "pixmill/errors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace pixmill {

// A target file: the stream writes the temporary file that becomes the
// target when the save ended well.
struct BatchFileDest::Target {
    Target(const std::string& name, bool replaceReadOnly)
        : file(Checked(name, replaceReadOnly)), stream(file.Temporary(), FileStream::ForWriting) {}
    static const std::string& Checked(const std::string& name, bool replaceReadOnly) {
        if (!replaceReadOnly && IsReadOnlyFile(name)) {
            throw CVFileError::FromErrno(EACCES, name.c_str());
        }
        return name;
    }
    AtomicFile file;
    FileStream stream;
};

BatchFileDest::BatchFileDest(SettingsStore& settings, CUserInterface* ui)
    : path(HomeFolder()), settings(settings), ui(ui) {
    properties.AddString("Path", &path);
    properties.AddInt("isThumbnail", &isThumbnail);
    properties.AddString("ThumbName", &thumbName);
    properties.AddInt("ThumbWidth", &thumbnail.width);
    properties.AddInt("ThumbHeight", &thumbnail.height);
    properties.AddInt("ForseSize", &thumbnail.fitToSize);
    properties.AddInt("DiscardAspectRatio", &thumbnail.discardAspectRatio);
    properties.AddInt("SmartCut", &thumbnail.smartCut);
    properties.AddInt("Enhance", &thumbnail.enhance);
    properties.AddInt("NewFileName", &newFileName);
    properties.AddInt("MainImageMode", &mainImageMode);
    if (auto text = settings.ReadText(SettingsStore::kSettingsSection, kSettingsName)) {
        ReadProperties(&properties, text->c_str());
    }
    thumbnail.enhance = std::clamp(thumbnail.enhance, -100, 100);
}

BatchFileDest::~BatchFileDest() {
    CloseTargets();
    settings.WriteText(SettingsStore::kSettingsSection, kSettingsName, PropertiesText(&properties));
}

QWidget* BatchFileDest::CreatePage(QWidget*, const RECT&) {
    return nullptr; // the page belongs to the desktop program's batch dialog
}

bool BatchFileDest::ApplyPage() {
    auto refuse = [this](const std::string& message) {
        if (ui != nullptr) {
            ui->ShowMessage("Pixmill", message.c_str(), MessageIcon::Warning);
        } else {
            std::fprintf(stderr, "%s\n", message.c_str());
        }
        return false;
    };
    const FieldCheck folder = CheckDirectoryField(path, [this](const std::string& question) {
        return ui != nullptr && ui->AskYesNo("Pixmill", question.c_str(), false);
    });
    if (!folder.accepted) {
        return refuse(folder.message);
    }
    if (thumbnail.enhance < -100 || thumbnail.enhance > 100) {
        return refuse("Please enter an integer between -100 and 100.");
    }
    for (const int side : {thumbnail.width, thumbnail.height}) {
        if (side < 1 || side > kMaxThumbnailSide) {
            return refuse("Please enter an integer between 1 and 32000.");
        }
    }
    if (isThumbnail) {
        const FieldCheck name = CheckFileNameField(thumbName);
        if (!name.accepted) {
            return refuse(name.message);
        }
        thumbName = name.value;
    }
    path = folder.value;
    return true;
}

ThumbnailSettings* BatchFileDest::GetThumbnailSettings() {
    return isThumbnail ? &thumbnail : nullptr;
}

int BatchFileDest::GetMainImageMode() {
    return isThumbnail ? mainImageMode : MainEncoded;
}

void BatchFileDest::CloseTargets() {
    mainTarget.reset(); // an uncommitted temporary file goes with it
    thumbnailTarget.reset();
    targets = SaveTargets{};
}

SaveTargets* BatchFileDest::BeginSave(const SaveRequest* request, CVStream* log) {
    CloseTargets();
    std::string name = request->baseName != nullptr ? request->baseName : "";
    if (newFileName == 0 && askFileName) {
        if (const auto chosen = askFileName(name)) {
            name = NameWithExtension(*chosen);
            name = name.substr(0, name.find('.') == 0 ? name.size() : name.find('.'));
        }
    }
    std::string folder = path;
    if (keepSubfolders && request->extra != 0) {
        folder += reinterpret_cast<const char*>(request->extra);
        if (!folder.empty() && !dirExists(folder.c_str())) {
            CreatePath(folder);
        }
    }
    const bool wantMain = !isThumbnail || mainImageMode != MainThumbnailsOnly;
    std::vector<std::string> suffixes;
    if (wantMain) {
        suffixes.push_back(std::string(".") + request->mainExtension);
    }
    if (isThumbnail) {
        suffixes.push_back(thumbName + "." + request->thumbnailExtension);
    }
    const std::string unique = names.Claim(request->index, folder + name, suffixes);
    if (unique != folder + name) {
        const std::string chosen = unique.substr(folder.size());
        const std::string line = NameClashLine(name + suffixes.front(), chosen + suffixes.front());
        if (log != nullptr) {
            log->Write(line.data(), line.size());
        }
        name = chosen;
    }
    try {
        if (wantMain) {
            mainTarget = std::make_unique<Target>(folder + name + "." + request->mainExtension,
                                                  replaceReadOnly);
            targets.main = &mainTarget->stream;
        }
        if (isThumbnail) {
            thumbnailTarget = std::make_unique<Target>(
                folder + name + thumbName + "." + request->thumbnailExtension, replaceReadOnly);
            targets.thumbnail = &thumbnailTarget->stream;
        }
    } catch (...) {
        CloseTargets();
        throw;
    }
    return targets.main != nullptr || targets.thumbnail != nullptr ? &targets : nullptr;
}

void BatchFileDest::EndSave(bool mainSaved, bool thumbnailSaved) {
    // Only complete files take their names; the rest are removed.
    std::unique_ptr<Target> main = std::move(mainTarget);
    std::unique_ptr<Target> thumb = std::move(thumbnailTarget);
    targets = SaveTargets{};
    for (auto [target, saved] : {std::pair{main.get(), mainSaved}, {thumb.get(), thumbnailSaved}}) {
        if (target != nullptr && saved) {
            target->stream.Close();
            target->file.Commit();
        }
    }
}

void BatchFileDest::EndBatch(CVStream*, bool) {
    CloseTargets();
    names.Clear();
}

void BatchFileDest::Help(QWidget*) {
    if (helpHandler) {
        helpHandler(kHelpTopic);
    }
}

} // namespace pixmill
