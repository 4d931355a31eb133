#include "host/settings_store.h"

namespace pixmill {

SettingsStore::~SettingsStore() = default;

namespace {
std::string Key(const std::string& section, const std::string& name) {
    return section + "/" + name;
}
} // namespace

std::optional<Bytes> MemorySettingsStore::ReadBinary(const std::string& section,
                                                     const std::string& name) {
    auto it = binary.find(Key(section, name));
    if (it == binary.end()) {
        return std::nullopt;
    }
    return it->second;
}

void MemorySettingsStore::WriteBinary(const std::string& section, const std::string& name,
                                      const Bytes& value) {
    text.erase(Key(section, name));
    binary[Key(section, name)] = value;
}

std::optional<std::string> MemorySettingsStore::ReadText(const std::string& section,
                                                         const std::string& name) {
    auto it = text.find(Key(section, name));
    if (it == text.end()) {
        return std::nullopt;
    }
    return it->second;
}

void MemorySettingsStore::WriteText(const std::string& section, const std::string& name,
                                    const std::string& value) {
    binary.erase(Key(section, name));
    text[Key(section, name)] = value;
}

void MemorySettingsStore::Remove(const std::string& section, const std::string& name) {
    binary.erase(Key(section, name));
    text.erase(Key(section, name));
}

} // namespace pixmill
