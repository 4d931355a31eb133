// pagesmith: the "HTML pages" batch destination (build/bin/Destinations/).
#include "pagesmith.h"

#include "pagesmith_pane.h"
#include "pagesmith_strings.h"
#include "pixmill/help.h"

#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <string>

namespace pixmill::pagesmith {

HtmlPagesDestination::~HtmlPagesDestination() {
    delete page; // the library goes: its widgets go first
}

std::string HtmlPagesDestination::ProgramFolder() {
    // This library lives in <program folder>/Destinations/.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&HtmlPagesDestination::ProgramFolder), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    std::string path = info.dli_fname;
    for (int up = 0; up < 2; ++up) {
        const size_t slash = path.find_last_of('/');
        path = slash == std::string::npos ? std::string() : path.substr(0, slash);
    }
    return path.empty() ? std::string() : path + "/";
}

QWidget* HtmlPagesDestination::CreatePage(QWidget* parent, const RECT& area) {
    delete page;
    page = nullptr;
    ReadCurrentConfiguration();
    page = new PagesmithPage(*this, parent);
    page->defaultPreviewImage = QString::fromStdString(ProgramFolder() + "def.jpg");
    page->setGeometry(area.left, area.top, area.right - area.left, area.bottom - area.top);
    QObject::connect(page, &QObject::destroyed, [this] { page = nullptr; });
    return page;
}

bool HtmlPagesDestination::ApplyPage() {
    if (page != nullptr) {
        page->Commit();
    }
    return TakeOver();
}

void HtmlPagesDestination::Help(QWidget*) {
    OpenHelpPage(kHelpDestination);
}

bool HtmlPagesDestination::SetOption(const std::string& name, const std::string& value) {
    if (name == "profile") {
        HtmlProfile loaded;
        if (!LoadProfileFile(value, loaded)) {
            return false;
        }
        Profile() = loaded;
        // A profile file may come from anyone: its pages read only beside
        // it, in the project's folder and among the shipped templates.
        const std::string file = std::filesystem::absolute(value).string();
        ConfineReadsTo({file.substr(0, file.find_last_of('/') + 1),
                        ProgramFolder() + "Destinations/pagesmith/"});
        UpdateThumbnailSettings();
        return true;
    }
    if (name == "sizes") {
        return SetPictureSizes(value);
    }
    if (name == "keep-location") {
        SetKeepLocation(value == "1");
        return true;
    }
    if (name == "project") {
        SetProjectPath(value);
        return true;
    }
    if (name == "shard") {
        int shard = 0, count = 0;
        char rest = 0;
        if (std::sscanf(value.c_str(), "%d/%d%c", &shard, &count, &rest) != 2 || count < 1 ||
            shard < 0 || shard >= count) {
            return false;
        }
        SetShard(shard, count);
        return true;
    }
    if (name == "pages-only") {
        if (std::string missing = TakePictures(); !missing.empty()) {
            Refuse(missing);
            return false;
        }
        return true;
    }
    return false;
}

namespace {
HtmlPagesDestination* instance = nullptr;
} // namespace

} // namespace pixmill::pagesmith

using pixmill::pagesmith::HtmlPagesDestination;

extern "C" __attribute__((visibility("default"))) int
GetBatchDestination(pixmill::BatchDestination** destination) {
    if (pixmill::pagesmith::instance == nullptr) {
        return 0;
    }
    *destination = pixmill::pagesmith::instance;
    return 1;
}

extern "C" __attribute__((visibility("default"))) int SetBatchDestinationOption(const char* name,
                                                                                const char* value) {
    if (pixmill::pagesmith::instance == nullptr || name == nullptr || value == nullptr) {
        return 0;
    }
    return pixmill::pagesmith::instance->SetOption(name, value) ? 1 : 0;
}

extern "C" __attribute__((visibility("default"))) int GetBatchDestinationPrivacy() {
    // The pages are published: private EXIF stays out, the location too
    // unless kept.
    const bool keep = pixmill::pagesmith::instance != nullptr &&
                      pixmill::pagesmith::instance->KeepLocation();
    return keep ? 2 : 1;
}

// The object lives as long as the library.
__attribute__((constructor)) static void CreateDestination() {
    pixmill::pagesmith::instance = new HtmlPagesDestination;
}
__attribute__((destructor)) static void DestroyDestination() {
    delete pixmill::pagesmith::instance;
    pixmill::pagesmith::instance = nullptr;
}
