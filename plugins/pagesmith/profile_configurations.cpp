#include "profile_configurations.h"

#include "pagesmith_strings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace pixmill::pagesmith {

namespace {
std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string Format(StringId id, const std::string& argument) {
    const char* format = LookupString(kStrings, id);
    std::string text(std::char_traits<char>::length(format) + argument.size() + 1, '\0');
    const int n = std::snprintf(text.data(), text.size(), format, argument.c_str());
    text.resize(static_cast<size_t>(std::max(n, 0)));
    return text;
}
} // namespace

ProfileConfigurations::ProfileConfigurations(ConfigurationStore& store, Ask ask)
    : store(store), ask(std::move(ask)) {
    Reload();
}

void ProfileConfigurations::Reload() {
    paths.clear();
    std::string list = store.ReadText(kListName);
    if (list.size() >= kListCapacity) {
        list.resize(kListCapacity - 1);
    }
    size_t start = 0;
    for (size_t end = list.find(';'); end != std::string::npos; end = list.find(';', start)) {
        if (end > start) {
            paths.push_back(list.substr(start, end - start));
        }
        start = end + 1;
    }
    current = store.ReadText(kCurrentName);
}

std::vector<std::string> ProfileConfigurations::Names() const {
    std::vector<std::string> names;
    for (const std::string& path : paths) {
        names.push_back(Title(path));
    }
    if (names.empty()) {
        names.push_back(LookupString(kStrings, IdDefaultConfig));
    }
    return names;
}

std::string ProfileConfigurations::Title(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return name;
}

int ProfileConfigurations::Find(const std::string& name) const {
    const std::string wanted = Upper(name);
    for (size_t i = 0; i < paths.size(); ++i) {
        if (Upper(Title(paths[i])) == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void ProfileConfigurations::Store() {
    std::string list;
    for (const std::string& path : paths) {
        list += path + ";";
    }
    store.WriteText(kListName, list);
}

void ProfileConfigurations::SetCurrent(const std::string& name) {
    current = name;
    store.WriteText(kCurrentName, name);
}

bool ProfileConfigurations::Choose(const std::string& name, HtmlProfile& profile) {
    SetCurrent(name);
    const int index = Find(name);
    return index >= 0 && LoadProfileFile(paths[static_cast<size_t>(index)], profile);
}

bool ProfileConfigurations::SaveAs(const std::string& path, const HtmlProfile& profile) {
    const std::string title = Title(path);
    if (const int existing = Find(title); existing >= 0) {
        if (!ask(Format(IdProfileExists, title))) {
            return false;
        }
        paths.erase(paths.begin() + existing);
    }
    if (!SaveProfileFile(path, profile)) {
        Store();
        return false;
    }
    paths.push_back(path);
    Store();
    SetCurrent(title);
    return true;
}

bool ProfileConfigurations::Load(const std::string& path, HtmlProfile& profile) {
    HtmlProfile loaded = profile;
    if (!LoadProfileFile(path, loaded)) {
        return false;
    }
    const std::string title = Title(path);
    if (const int existing = Find(title); existing >= 0) {
        paths.erase(paths.begin() + existing);
    }
    paths.push_back(path);
    Store();
    SetCurrent(title);
    profile = loaded;
    return true;
}

bool ProfileConfigurations::Remove(const std::string& name, HtmlProfile& profile) {
    const int index = Find(name);
    if (index < 0 || !ask(Format(IdRemoveProfile, name))) {
        return false;
    }
    paths.erase(paths.begin() + index);
    Store();
    const std::string next =
        paths.empty() ? std::string(LookupString(kStrings, IdDefaultConfig)) : Title(paths.front());
    if (paths.empty()) {
        SetCurrent(next);
        profile = HtmlProfile{};
    } else {
        Choose(next, profile);
    }
    return true;
}

} // namespace pixmill::pagesmith
