// Property checks for pane models: random input of every kind a user can
// type or drag, after which every field must still lie in its range, and a
// model must say truthfully whether an input changed anything.
#pragma once

#include "pixmill/pane_model.h"
#include "pixmill/settings_schema.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace pixmill::test {

// A value as typed or dragged: in range, just outside it, far outside, or
// not a plain number at all.
inline double AnyInput(const NumberRange& range, std::mt19937& random) {
    switch (std::uniform_int_distribution<int>(0, 7)(random)) {
    case 0:
        return range.minimum - std::uniform_int_distribution<int>(1, 3)(random);
    case 1:
        return range.maximum + std::uniform_int_distribution<int>(1, 3)(random);
    case 2:
        return std::uniform_real_distribution<double>(-1e9, 1e9)(random);
    case 3:
        return std::uniform_int_distribution<int>(0, 1)(random)
                   ? std::numeric_limits<double>::infinity()
                   : std::numeric_limits<double>::quiet_NaN();
    case 4:
        return std::uniform_real_distribution<double>(range.minimum, range.maximum)(random);
    default:
        return std::round(
            std::uniform_real_distribution<double>(range.minimum, range.maximum)(random));
    }
}

using Fields = std::vector<int>;

inline std::vector<double> Values(const CPaneModel& model, const Fields& fields) {
    std::vector<double> values;
    for (int field : fields) {
        values.push_back(model.Value(field));
    }
    return values;
}

// Every field lies within its range.
inline void ExpectInRange(const CPaneModel& model, const Fields& fields) {
    for (int field : fields) {
        const NumberRange range = model.Range(field);
        const double value = model.Value(field);
        EXPECT_TRUE(value >= range.minimum && value <= range.maximum)
            << "field " << field << " = " << value << " outside " << range.minimum << ".."
            << range.maximum;
    }
}

// One random input into one of the fields; checks the answer to "did
// anything change" and that the fields in inRange (default: all) stay in
// their ranges. Returns the field given the input.
inline int TypeAnything(CPaneModel& model, const Fields& fields, std::mt19937& random,
                        const Fields& inRange = {}) {
    const int field = fields[std::uniform_int_distribution<size_t>(0, fields.size() - 1)(random)];
    const std::vector<double> before = Values(model, fields);
    const double input = AnyInput(model.Range(field), random);
    const bool changed = model.Set(field, input);
    EXPECT_EQ(changed, Values(model, fields) != before) << "field " << field << " <- " << input;
    ExpectInRange(model, inRange.empty() ? fields : inRange);
    return field;
}

// Every numeric field of a stored block lies within its declared range.
inline void ExpectBlockInSchema(const void* block, const SettingsBlockSchema& schema) {
    for (uint32_t i = 0; i < schema.fieldCount; ++i) {
        const SettingsField& field = schema.fields[i];
        if (field.type == FieldType::Bytes) {
            continue;
        }
        const double value = ReadField(block, field);
        EXPECT_TRUE(value >= field.minimum && value <= field.maximum)
            << field.name << " = " << value;
    }
}

} // namespace pixmill::test
