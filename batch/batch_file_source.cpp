#include "batch/batch_file_source.h"

#include "host/settings_store.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>

namespace pixmill {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    std::string folder = home != nullptr && *home ? home : "/";
    if (folder.back() != '/') {
        folder.push_back('/');
    }
    return folder;
}

BatchFileSource::BatchFileSource(SettingsStore& settings, CUserInterface*)
    : path(HomeFolder()), settings(settings) {
    properties.AddString("Path", &path);
    properties.AddInt("Preview", &preview);
    properties.AddInt("Filter", &filter);
    properties.AddInt("ViewMode", &viewMode);
    if (auto text = settings.ReadText(SettingsStore::kSettingsSection, kSettingsName)) {
        ReadProperties(&properties, text->c_str());
    }
}

BatchFileSource::~BatchFileSource() {
    settings.WriteText(SettingsStore::kSettingsSection, kSettingsName, PropertiesText(&properties));
}

QWidget* BatchFileSource::CreatePage(QWidget*, const RECT&) {
    // The page itself belongs to the desktop program's batch dialog; making
    // it starts the selection afresh.
    ResetPosition();
    return nullptr;
}

void BatchFileSource::Attach(BatchHost* host) {
    filterTexts.clear();
    filterExtensions.clear();
    std::string all;
    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = 0; i < host->GetFormatCount(); ++i) {
        const char* name = host->GetFormatName(i);
        const char* extensions = host->GetFormatExtensions(i);
        if (name == nullptr || extensions == nullptr) {
            continue;
        }
        if (!all.empty()) {
            all.push_back(';');
        }
        all.append(extensions);
        entries.emplace_back(name, extensions);
    }
    filterTexts.push_back("All supported images (" + all + ")");
    filterExtensions.push_back(all);
    filterExtensions.back().push_back(';');
    for (const auto& [name, extensions] : entries) {
        filterTexts.push_back(name);
        filterTexts.back().append(" (").append(extensions).append(")");
        filterExtensions.push_back(extensions);
        filterExtensions.back().push_back(';');
    }
}

bool BatchFileSource::MatchesFilter(const std::string& fileName) const {
    if (filterExtensions.empty()) {
        return false;
    }
    const size_t entry = filter >= 0 && static_cast<size_t>(filter) < filterExtensions.size()
                             ? static_cast<size_t>(filter)
                             : 0;
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return false;
    }
    std::string extension = fileName.substr(dot);
    extension.push_back(';');
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return filterExtensions[entry].find(extension) != std::string::npos;
}

std::vector<std::string> BatchFileSource::ListFolder(const std::string& folder) const {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            struct stat info;
            std::string full = folder;
            if (!full.ends_with('/')) {
                full.push_back('/');
            }
            full.append(name);
            if (stat(full.c_str(), &info) == 0 && S_ISREG(info.st_mode) && MatchesFilter(name)) {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void BatchFileSource::SetFiles(std::vector<std::string> paths,
                               std::vector<std::string> subfolders) {
    files = std::move(paths);
    folders = std::move(subfolders);
    folders.resize(files.size());
    ResetPosition();
}

BatchItem* BatchFileSource::NextItem(CVStream*) {
    if (position + 1 >= static_cast<int>(files.size())) {
        position = static_cast<int>(files.size());
        return nullptr;
    }
    ++position;
    const std::string& file = files[position];
    const size_t slash = file.find_last_of('/');
    itemName = slash == std::string::npos ? file : file.substr(slash + 1);
    item.index = position;
    item.name = itemName.c_str();
    item.content = const_cast<char*>(file.c_str());
    item.extra = reinterpret_cast<intptr_t>(folders[position].c_str());
    return &item;
}

void BatchFileSource::ReleaseItem(bool) {
    item.content = nullptr;
}

void BatchFileSource::Help(QWidget*) {
    if (helpHandler) {
        helpHandler(kHelpTopic);
    }
}

} // namespace pixmill
