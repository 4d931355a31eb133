// A settings store that reads through to another store and keeps every write
// to itself: the command line's "--set" values and the plug-ins' saved
// blocks last for one run and never reach the user's settings file.
#pragma once

#include "host/settings_store.h"

namespace pixmill {

class OverlaySettingsStore : public SettingsStore {
  public:
    explicit OverlaySettingsStore(SettingsStore& base) : base(base) {}
    std::optional<Bytes> ReadBinary(const std::string& section, const std::string& name) override;
    void WriteBinary(const std::string& section, const std::string& name,
                     const Bytes& value) override;
    std::optional<std::string> ReadText(const std::string& section,
                                        const std::string& name) override;
    void WriteText(const std::string& section, const std::string& name,
                   const std::string& value) override;
    void Remove(const std::string& section, const std::string& name) override;

  private:
    SettingsStore& base;
    MemorySettingsStore overlay;
    std::map<std::string, bool> removed;
};

} // namespace pixmill
