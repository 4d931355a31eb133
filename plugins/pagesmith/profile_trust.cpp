#include "profile_trust.h"

#include "pagesmith_pane_model.h"

#include <algorithm>
#include <filesystem>

namespace pixmill::pagesmith {

namespace {

namespace fs = std::filesystem;

struct NamedFile {
    std::string key; // as the profile file names it
    const std::string& path;
    bool readOnlyWhenAbsolute; // a relative picture is only linked to, never read
};

std::vector<NamedFile> FilesRead(const HtmlProfile& p) {
    std::vector<NamedFile> files = {
        {"[Project settings] Thumbnail template", p.project.thumbnailTemplate, false},
        {"[Project settings] Zoom template", p.project.zoomTemplate, false}};
    const std::pair<const char*, const PageSettings*> pages[] = {
        {"[Thumbnail page] ", &p.thumbnailPage},
        {"[Zoom page] ", &p.zoomPage},
        {"[Content page] ", &p.contentPage}};
    for (const auto& [group, page] : pages) {
        files.push_back({group + std::string("Header file"), page->headerFile, false});
        files.push_back({group + std::string("Footer file"), page->footerFile, false});
        files.push_back({group + std::string("Background Image"), page->backgroundImage, true});
    }
    return files;
}

bool Inside(const fs::path& file, const std::vector<std::string>& roots) {
    std::error_code error;
    const fs::path real = fs::weakly_canonical(fs::absolute(file, error), error);
    for (const std::string& root : roots) {
        const fs::path folder = fs::weakly_canonical(fs::absolute(root, error), error);
        const auto [end, unused] = std::mismatch(folder.begin(), folder.end(), real.begin(),
                                                 real.end());
        if (!folder.empty() && end == folder.end()) {
            return true;
        }
    }
    return false;
}

} // namespace

void ClampToDeclaredRanges(HtmlProfile& profile) {
    for (const PropertyPage& page : PropertyPages(profile)) {
        for (const PageField& field : page.fields) {
            if (field.number != nullptr) {
                *field.number = std::clamp(*field.number, field.minimum, field.maximum);
            }
        }
    }
}

std::string CheckProfileNames(const HtmlProfile& profile, const std::vector<std::string>& roots) {
    const std::pair<const char*, const std::string*> expansions[] = {
        {"[Thumbnail Cell] Thumbnail name expansion", &profile.thumbnailCell.nameExpansion},
        {"[Thumbnail template page] Thumbnail name expansion",
         &profile.thumbnailTemplatePage.nameExpansion}};
    for (const auto& [key, text] : expansions) {
        for (const char c : *text) {
            if (c == '/' || c == '\\' || (static_cast<unsigned char>(c) < 32)) {
                return std::string(key) + " \"" + *text +
                       "\" is not a name: it may not hold \"/\", \"\\\" or control characters";
            }
        }
    }
    if (roots.empty()) {
        return {};
    }
    for (const NamedFile& file : FilesRead(profile)) {
        if (file.path.empty() ||
            (file.readOnlyWhenAbsolute && !fs::path(file.path).is_absolute())) {
            continue;
        }
        if (!Inside(file.path, roots)) {
            std::string folders;
            for (const std::string& root : roots) {
                folders += (folders.empty() ? "" : ", ") + root;
            }
            return file.key + " \"" + file.path +
                   "\" lies outside the folders this gallery may read (" + folders +
                   "); copy the file into one of them";
        }
    }
    return {};
}

} // namespace pixmill::pagesmith
