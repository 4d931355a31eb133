#include "cli/schema_catalog.h"

#include "host/plugin_manager.h"
#include "host/settings_store.h"

#include <algorithm>
#include <cmath>

#include <dlfcn.h>

namespace pixmill {

SettingsField FieldInfo::AsField() const {
    SettingsField field{name.c_str(),        offset, type, minimum, maximum, defaultValue,
                        description.c_str(), length};
    return field;
}

const FieldInfo* BlockInfo::Find(const std::string& field) const {
    for (const FieldInfo& info : fields) {
        if (info.name == field) {
            return &info;
        }
    }
    return nullptr;
}

void SchemaCatalog::Scan(const std::vector<std::string>& directories) {
    for (const std::string& directory : directories) {
        ScanPluginDirectory(directory, "GetSettingsSchema", [&](ModuleHandle module, void* entry) {
            const SettingsBlockSchema* declared = nullptr;
            const int count = reinterpret_cast<GetSettingsSchemaFn>(entry)(&declared);
            Dl_info where{};
            dladdr(entry, &where);
            std::string library = where.dli_fname != nullptr ? where.dli_fname : "";
            library = library.substr(library.find_last_of('/') + 1);
            for (int i = 0; i < count && declared != nullptr; ++i) {
                const SettingsBlockSchema& schema = declared[i];
                if (Find(schema.name) != nullptr) {
                    continue;
                }
                BlockInfo block{schema.name, schema.size, schema.version, library, {}};
                for (uint32_t f = 0; f < schema.fieldCount; ++f) {
                    const SettingsField& field = schema.fields[f];
                    block.fields.push_back({field.name, field.offset, field.type, field.minimum,
                                            field.maximum, field.defaultValue,
                                            field.description ? field.description : "",
                                            field.length});
                }
                blocks.push_back(std::move(block));
            }
            (void)module;
            return false; // the declarations are copied: the scan releases the library
        });
    }
}

const BlockInfo* SchemaCatalog::Find(const std::string& name) const {
    for (const BlockInfo& block : blocks) {
        if (block.name == name) {
            return &block;
        }
    }
    return nullptr;
}

std::vector<uint8_t> SchemaCatalog::CurrentBlock(const BlockInfo& block, SettingsStore& store) {
    auto stored = store.ReadBinary(SettingsStore::kSettingsSection, block.name);
    if (stored && stored->size() == block.size) {
        // As the plug-ins load it: every field within its declared range, a
        // value that is not a number back to its default.
        for (const FieldInfo& field : block.fields) {
            if (field.type == FieldType::Bytes) {
                continue;
            }
            const double value = ReadField(stored->data(), field.AsField());
            const double loaded = std::isnan(value)
                                      ? field.defaultValue
                                      : std::clamp(value, field.minimum, field.maximum);
            if (loaded != value || std::isnan(value)) {
                WriteField(stored->data(), field.AsField(), loaded);
            }
        }
        return *stored;
    }
    std::vector<uint8_t> bytes(block.size, 0);
    for (const FieldInfo& field : block.fields) {
        if (field.type != FieldType::Bytes) {
            WriteField(bytes.data(), field.AsField(), field.defaultValue);
        }
    }
    return bytes;
}

const char* FieldTypeName(FieldType type) {
    switch (type) {
    case FieldType::U8:
        return "u8";
    case FieldType::I8:
        return "i8";
    case FieldType::U16:
        return "u16";
    case FieldType::I16:
        return "i16";
    case FieldType::U32:
        return "u32";
    case FieldType::I32:
        return "i32";
    case FieldType::F32:
        return "f32";
    case FieldType::F64:
        return "f64";
    case FieldType::Bool:
        return "bool";
    case FieldType::Bytes:
        return "bytes";
    }
    return "?";
}

} // namespace pixmill
