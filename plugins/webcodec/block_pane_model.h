// BlockPaneModel: a pane model whose fields are the fields of a declared
// settings block, in declaration order, each kept within its declared range
// (whole numbers for integer fields). A plug-in's model derives from it and
// adds its own rules (which fields are enabled).
#pragma once

#include "pixmill/pane_model.h"
#include "pixmill/settings_schema.h"

#include <cmath>
#include <cstring>

namespace pixmill::web {

template <class Block> class BlockPaneModel : public CPaneModel {
  public:
    BlockPaneModel(const Block& settings, const SettingsBlockSchema& schema)
        : values(settings), schema(schema) {
        ClampToSchema(&values, schema);
    }

    double Value(int field) const override { return ReadField(&values, schema.fields[field]); }
    NumberRange Range(int field) const override { return RangeOf(schema.fields[field]); }
    bool Set(int field, double value) override {
        const SettingsField& declared = schema.fields[field];
        double kept = Range(field).Clamp(value);
        if (declared.type != FieldType::F32 && declared.type != FieldType::F64) {
            kept = Range(field).ClampInt(value);
        }
        const bool changed = Value(field) != kept;
        WriteField(&values, declared, kept);
        return changed;
    }

    const Block& Values() const { return values; }
    void Store(Block& settings) const { settings = values; }

  protected:
    Block values;
    const SettingsBlockSchema& schema;
};

} // namespace pixmill::web
