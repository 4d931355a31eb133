#include "pixmill/settings_schema.h"

#include <cmath>

namespace pixmill {

size_t FieldWidth(const SettingsField& field) {
    switch (field.type) {
    case FieldType::U8:
    case FieldType::I8:
    case FieldType::Bool:
        return 1;
    case FieldType::U16:
    case FieldType::I16:
        return 2;
    case FieldType::U32:
    case FieldType::I32:
    case FieldType::F32:
        return 4;
    case FieldType::F64:
        return 8;
    case FieldType::Bytes:
        return field.length;
    }
    return 0;
}

namespace {
template <class T> T Load(const void* block, uint32_t offset) {
    T value;
    std::memcpy(&value, static_cast<const uint8_t*>(block) + offset, sizeof value);
    return value;
}
template <class T> void Store(void* block, uint32_t offset, T value) {
    std::memcpy(static_cast<uint8_t*>(block) + offset, &value, sizeof value);
}
template <class T> T Integral(double value) {
    return static_cast<T>(std::llround(value));
}
} // namespace

double ReadField(const void* block, const SettingsField& field) {
    switch (field.type) {
    case FieldType::U8:
    case FieldType::Bool:
        return Load<uint8_t>(block, field.offset);
    case FieldType::I8:
        return Load<int8_t>(block, field.offset);
    case FieldType::U16:
        return Load<uint16_t>(block, field.offset);
    case FieldType::I16:
        return Load<int16_t>(block, field.offset);
    case FieldType::U32:
        return Load<uint32_t>(block, field.offset);
    case FieldType::I32:
        return Load<int32_t>(block, field.offset);
    case FieldType::F32:
        return Load<float>(block, field.offset);
    case FieldType::F64:
        return Load<double>(block, field.offset);
    case FieldType::Bytes:
        return 0;
    }
    return 0;
}

void WriteField(void* block, const SettingsField& field, double value) {
    switch (field.type) {
    case FieldType::U8:
        Store(block, field.offset, Integral<uint8_t>(value));
        break;
    case FieldType::Bool:
        Store<uint8_t>(block, field.offset, value != 0 ? 1 : 0);
        break;
    case FieldType::I8:
        Store(block, field.offset, Integral<int8_t>(value));
        break;
    case FieldType::U16:
        Store(block, field.offset, Integral<uint16_t>(value));
        break;
    case FieldType::I16:
        Store(block, field.offset, Integral<int16_t>(value));
        break;
    case FieldType::U32:
        Store(block, field.offset, Integral<uint32_t>(value));
        break;
    case FieldType::I32:
        Store(block, field.offset, Integral<int32_t>(value));
        break;
    case FieldType::F32:
        Store(block, field.offset, static_cast<float>(value));
        break;
    case FieldType::F64:
        Store(block, field.offset, value);
        break;
    case FieldType::Bytes:
        break;
    }
}

void FillDefaults(void* block, const SettingsBlockSchema& schema) {
    for (uint32_t i = 0; i < schema.fieldCount; ++i) {
        if (schema.fields[i].type != FieldType::Bytes) {
            WriteField(block, schema.fields[i], schema.fields[i].defaultValue);
        }
    }
}

void ClampToSchema(void* block, const SettingsBlockSchema& schema) {
    for (uint32_t i = 0; i < schema.fieldCount; ++i) {
        const SettingsField& field = schema.fields[i];
        if (field.type == FieldType::Bytes) {
            continue;
        }
        const double value = ReadField(block, field);
        if (std::isnan(value)) {
            WriteField(block, field, field.defaultValue);
        } else if (value < field.minimum) {
            WriteField(block, field, field.minimum);
        } else if (value > field.maximum) {
            WriteField(block, field, field.maximum);
        }
    }
}

const SettingsField* FindField(const SettingsBlockSchema& schema, const char* name) {
    for (uint32_t i = 0; i < schema.fieldCount; ++i) {
        if (std::strcmp(schema.fields[i].name, name) == 0) {
            return &schema.fields[i];
        }
    }
    return nullptr;
}

} // namespace pixmill
