// The program's settings store: an INI file through QSettings, in
// $XDG_CONFIG_HOME/QOREL Technologies/Pixmill.ini, or the file named by
// PIXMILL_SETTINGS. Binary values are byte arrays, text values strings.
#pragma once

#include "host/settings_store.h"

#include <memory>

class QSettings;

namespace pixmill {

class QSettingsStore : public SettingsStore {
  public:
    // fileName empty: PIXMILL_SETTINGS when set, else the per-user file.
    explicit QSettingsStore(const std::string& fileName = {});
    ~QSettingsStore() override;

    std::optional<Bytes> ReadBinary(const std::string& section, const std::string& name) override;
    void WriteBinary(const std::string& section, const std::string& name,
                     const Bytes& value) override;
    std::optional<std::string> ReadText(const std::string& section,
                                        const std::string& name) override;
    void WriteText(const std::string& section, const std::string& name,
                   const std::string& value) override;
    void Remove(const std::string& section, const std::string& name) override;
    void Flush() override;
    std::string FileName() const;

  private:
    std::unique_ptr<QSettings> settings;
};

} // namespace pixmill
