// Declaration of a plug-in's stored settings blocks: field names, offsets,
// types, ranges and defaults, declared once in the plug-in and used by its
// panes (limits), the command line (--set, "settings") and the tests.
// A plug-in offers them through the optional export GetSettingsSchema.
#pragma once

#include "pixmill/win_types.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace pixmill {

enum class FieldType : uint8_t { U8, I8, U16, I16, U32, I32, F32, F64, Bool, Bytes };

struct SettingsField {
    const char* name;
    uint32_t offset;
    FieldType type;
    double minimum;
    double maximum;
    double defaultValue;
    const char* description;
    uint32_t length = 0; // Bytes only: number of bytes; other types: 0
};

struct SettingsBlockSchema {
    const char* name; // the stored value's name, e.g. "Resample"
    uint32_t size;    // bytes of the stored block
    int version;
    const SettingsField* fields;
    uint32_t fieldCount;
};

// Width in bytes of a field type (Bytes: the field's length).
size_t FieldWidth(const SettingsField& field);
// Reads a field as a number (Bytes: 0).
double ReadField(const void* block, const SettingsField& field);
// Writes a number into a field, converted to the field's type; no clamping.
void WriteField(void* block, const SettingsField& field, double value);
// Fills a block with the declared defaults (bytes not covered stay as given).
void FillDefaults(void* block, const SettingsBlockSchema& schema);
// Brings every field into its declared range: a value below the minimum
// becomes the minimum, one above the maximum the maximum, a floating-point
// value that is not a number the default. Fields in range keep their bytes.
void ClampToSchema(void* block, const SettingsBlockSchema& schema);
const SettingsField* FindField(const SettingsBlockSchema& schema, const char* name);

// A block of zeros with the declared defaults.
template <class Block> Block DefaultBlock(const SettingsBlockSchema& schema) {
    static_assert(std::is_trivially_copyable_v<Block>);
    Block block{};
    FillDefaults(&block, schema);
    return block;
}

} // namespace pixmill

// extern "C" int GetSettingsSchema(const pixmill::SettingsBlockSchema** blocks);
//   returns the number of blocks the library declares and sets *blocks.
using GetSettingsSchemaFn = int (*)(const pixmill::SettingsBlockSchema** blocks);
