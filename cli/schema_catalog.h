// The settings blocks every plug-in declares, read from the libraries before
// any plug-in object exists, so that "--set" values are in place when the
// objects load their settings.
#pragma once

#include "pixmill/settings_schema.h"

#include <string>
#include <vector>

namespace pixmill {

class SettingsStore;

struct FieldInfo {
    std::string name;
    uint32_t offset;
    FieldType type;
    double minimum, maximum, defaultValue;
    std::string description;
    uint32_t length;
    SettingsField AsField() const;
};

struct BlockInfo {
    std::string name;
    uint32_t size;
    int version;
    std::string library; // file name of the library that declares it
    std::vector<FieldInfo> fields;
    const FieldInfo* Find(const std::string& field) const;
};

class SchemaCatalog {
  public:
    // Reads GetSettingsSchema of every library in the given folders.
    void Scan(const std::vector<std::string>& directories);
    const std::vector<BlockInfo>& Blocks() const { return blocks; }
    const BlockInfo* Find(const std::string& name) const;
    // The block as stored (when the stored length is right) or its defaults.
    static std::vector<uint8_t> CurrentBlock(const BlockInfo& block, SettingsStore& store);

  private:
    std::vector<BlockInfo> blocks;
};

const char* FieldTypeName(FieldType type);

} // namespace pixmill
