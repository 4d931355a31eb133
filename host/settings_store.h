// The settings store: binary and text values in named sections. The program
// uses a QSettings-backed INI file (qsettings_store.h); tests use the
// in-memory store.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pixmill {

using Bytes = std::vector<uint8_t>;

class SettingsStore {
  public:
    // The section where plug-ins and the program keep their values.
    static constexpr const char* kSettingsSection = "Settings";

    virtual ~SettingsStore();
    virtual std::optional<Bytes> ReadBinary(const std::string& section,
                                            const std::string& name) = 0;
    virtual void WriteBinary(const std::string& section, const std::string& name,
                             const Bytes& value) = 0;
    virtual std::optional<std::string> ReadText(const std::string& section,
                                                const std::string& name) = 0;
    virtual void WriteText(const std::string& section, const std::string& name,
                           const std::string& value) = 0;
    virtual void Remove(const std::string& section, const std::string& name) = 0;
    // Makes written values durable (no-op where there is nothing to flush).
    virtual void Flush() {}
};

class MemorySettingsStore : public SettingsStore {
  public:
    std::optional<Bytes> ReadBinary(const std::string& section, const std::string& name) override;
    void WriteBinary(const std::string& section, const std::string& name,
                     const Bytes& value) override;
    std::optional<std::string> ReadText(const std::string& section,
                                        const std::string& name) override;
    void WriteText(const std::string& section, const std::string& name,
                   const std::string& value) override;
    void Remove(const std::string& section, const std::string& name) override;

  private:
    std::map<std::string, Bytes> binary;
    std::map<std::string, std::string> text;
};

// A fixed-size binary record of the "Settings" section. Reads only a
// stored value of exactly the record's length; false (record unchanged)
// when missing or of another length.
template <class Record> bool ReadRecord(SettingsStore& store, const char* name, Record& record) {
    const std::optional<Bytes> stored = store.ReadBinary(SettingsStore::kSettingsSection, name);
    if (!stored || stored->size() != sizeof(Record)) {
        return false;
    }
    std::memcpy(&record, stored->data(), sizeof(Record));
    return true;
}

template <class Record>
void WriteRecord(SettingsStore& store, const char* name, const Record& record) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
    store.WriteBinary(SettingsStore::kSettingsSection, name, Bytes(bytes, bytes + sizeof(Record)));
}

} // namespace pixmill
