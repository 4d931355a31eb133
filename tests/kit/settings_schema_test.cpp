#include "pixmill/settings_schema.h"

#include <gtest/gtest.h>

using namespace pixmill;

TEST(SettingsSchema, FieldsReadAndWriteAtTheirOffsets) {
    const SettingsField fields[] = {
        {"a", 0, FieldType::U8, 0, 255, 7, ""},      {"b", 1, FieldType::I16, -5, 5, -3, ""},
        {"c", 3, FieldType::U32, 0, 1e9, 70000, ""}, {"d", 7, FieldType::F64, 0, 1, 0.25, ""},
        {"e", 15, FieldType::Bool, 0, 1, 1, ""},     {"f", 16, FieldType::F32, 0, 9, 1.5, ""},
    };
    const SettingsBlockSchema schema{"T", 20, 3, fields, 6};
    uint8_t block[20] = {};
    FillDefaults(block, schema);
    EXPECT_EQ(block[0], 7);
    EXPECT_EQ(ReadField(block, fields[1]), -3);
    EXPECT_EQ(ReadField(block, fields[2]), 70000);
    EXPECT_DOUBLE_EQ(ReadField(block, fields[3]), 0.25);
    EXPECT_EQ(ReadField(block, fields[4]), 1);
    EXPECT_FLOAT_EQ(static_cast<float>(ReadField(block, fields[5])), 1.5f);
    WriteField(block, fields[1], 4.6);
    EXPECT_EQ(ReadField(block, fields[1]), 5) << "integers round to nearest";
    EXPECT_EQ(block[0], 7) << "neighbours untouched";
    EXPECT_EQ(FindField(schema, "d"), &fields[3]);
    EXPECT_EQ(FindField(schema, "zz"), nullptr);
    EXPECT_EQ(FieldWidth(fields[3]), 8u);
}
