#include "desktop/app_settings.h"

#include "host/settings_store.h"

#include <algorithm>
#include <cstring>

namespace pixmill {

void SetFixedText(char* field, size_t capacity, const std::string& text) {
    const size_t length = std::min(text.size(), capacity - 1);
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, capacity - length);
}

void AppSettings::Load(SettingsStore& store, const std::string& currentDirectory) {
    image = ImageProperty{};
    html = HtmlProperty{};
    gamma = GammaParameters{};
    SetFixedText(image.workingDirectory, sizeof image.workingDirectory, currentDirectory);
    SetFixedText(html.workingDirectory, sizeof html.workingDirectory, currentDirectory);
    ReadRecord(store, kImagePropertyName, image);
    ReadRecord(store, kHtmlPropertyName, html);
    ReadRecord(store, kGammaParametersName, gamma);
    // Stored text fields need not be terminated; the last byte always is.
    image.workingDirectory[sizeof image.workingDirectory - 1] = '\0';
    html.workingDirectory[sizeof html.workingDirectory - 1] = '\0';
    html.font.faceName[sizeof html.font.faceName - 1] = '\0';
}

void AppSettings::Save(SettingsStore& store) const {
    WriteRecord(store, kGammaParametersName, gamma);
    WriteRecord(store, kImagePropertyName, image);
    WriteRecord(store, kHtmlPropertyName, html);
}

namespace {
constexpr const char* kRecentSection = "Recent File List";
std::string RecentKey(size_t i) {
    return "File" + std::to_string(i + 1);
}
} // namespace

void RecentFiles::Load(SettingsStore& store) {
    files.clear();
    for (size_t i = 0; i < kMaxRecentFiles; ++i) {
        if (auto text = store.ReadText(kRecentSection, RecentKey(i)); text && !text->empty()) {
            files.push_back(*text);
        }
    }
}

void RecentFiles::Save(SettingsStore& store) const {
    for (size_t i = 0; i < kMaxRecentFiles; ++i) {
        if (i < files.size()) {
            store.WriteText(kRecentSection, RecentKey(i), files[i]);
        } else {
            store.Remove(kRecentSection, RecentKey(i));
        }
    }
}

void RecentFiles::Add(const std::string& path) {
    Remove(path);
    files.insert(files.begin(), path);
    if (files.size() > kMaxRecentFiles) {
        files.resize(kMaxRecentFiles);
    }
}

void RecentFiles::Remove(const std::string& path) {
    files.erase(std::remove(files.begin(), files.end(), path), files.end());
}

} // namespace pixmill
