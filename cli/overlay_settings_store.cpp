#include "cli/overlay_settings_store.h"

namespace pixmill {

namespace {
std::string Key(const std::string& section, const std::string& name) {
    return section + "/" + name;
}
} // namespace

std::optional<Bytes> OverlaySettingsStore::ReadBinary(const std::string& section,
                                                      const std::string& name) {
    if (auto value = overlay.ReadBinary(section, name)) {
        return value;
    }
    if (removed.count(Key(section, name)) || overlay.ReadText(section, name)) {
        return std::nullopt;
    }
    return base.ReadBinary(section, name);
}

void OverlaySettingsStore::WriteBinary(const std::string& section, const std::string& name,
                                       const Bytes& value) {
    removed.erase(Key(section, name));
    overlay.WriteBinary(section, name, value);
}

std::optional<std::string> OverlaySettingsStore::ReadText(const std::string& section,
                                                          const std::string& name) {
    if (auto value = overlay.ReadText(section, name)) {
        return value;
    }
    if (removed.count(Key(section, name)) || overlay.ReadBinary(section, name)) {
        return std::nullopt;
    }
    return base.ReadText(section, name);
}

void OverlaySettingsStore::WriteText(const std::string& section, const std::string& name,
                                     const std::string& value) {
    removed.erase(Key(section, name));
    overlay.WriteText(section, name, value);
}

void OverlaySettingsStore::Remove(const std::string& section, const std::string& name) {
    overlay.Remove(section, name);
    removed[Key(section, name)] = true;
}

} // namespace pixmill
