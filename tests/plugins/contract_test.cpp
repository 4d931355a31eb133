// Every plug-in of the runnable tree, loaded as the program loads it: the
// rules that hold for all of them, checked in loops so that a new plug-in is
// covered without a new test.
#include "host/plugin_manager.h"
#include "pixmill/cv_image.h"
#include "pixmill/processing_plugin.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace pixmill;
using namespace pixmill::test;

namespace {

// A declaration that outlives its library: the numbers without the texts.
struct SchemaCopy {
    std::string name;
    uint32_t size;
    std::vector<SettingsField> fields;
};

class EveryPlugin : public ::testing::Test {
  protected:
    void Load() {
        manager = std::make_unique<PluginManager>(host.get());
        manager->LoadFormats(PIXMILL_BIN_DIR "/Formats/");
        manager->LoadProcessing(PIXMILL_BIN_DIR "/Processing/");
    }
    // Unloading deletes the plug-in objects, which save their blocks.
    void Unload() { manager.reset(); }

    std::vector<SchemaCopy> Schemas() const {
        std::vector<SchemaCopy> copies;
        for (const SettingsBlockSchema* schema : manager->SettingsSchemas()) {
            SchemaCopy copy{schema->name, schema->size, {}};
            for (uint32_t i = 0; i < schema->fieldCount; ++i) {
                copy.fields.push_back(schema->fields[i]);
                copy.fields.back().name = copy.fields.back().description = nullptr;
            }
            copies.push_back(std::move(copy));
        }
        return copies;
    }
    Bytes Stored(const std::string& name) {
        return host.settings.ReadBinary(SettingsStore::kSettingsSection, name).value_or(Bytes{});
    }

    TestHost host;
    std::unique_ptr<PluginManager> manager;
};

} // namespace

TEST_F(EveryPlugin, NoOperationAcceptsANullImage) {
    Load();
    ASSERT_GE(manager->ProcessorCount(), 5);
    for (int i = 0; i < manager->ProcessorCount(); ++i) {
        for (int j = 0; j < manager->OperationCountOf(i); ++j) {
            const int command = manager->FirstCommandOf(i) + j;
            CProcessingPlugin* plugin = manager->SelectOperation(command);
            ASSERT_NE(plugin, nullptr);
            EXPECT_FALSE(plugin->CanApply(nullptr)) << plugin->GetName(false);
            EXPECT_FALSE(manager->CanApplyCommand(nullptr, command)) << plugin->GetName(false);
        }
    }
}

TEST_F(EveryPlugin, AnOperationNumberBeyondTheTableNamesNone) {
    Load();
    CVImage image(host.get());
    image.Create(8, 6, 24, 0, nullptr);
    for (int i = 0; i < manager->ProcessorCount(); ++i) {
        CProcessingPlugin* plugin = manager->ProcessorAt(i);
        const uint16_t beyond = plugin->GetOperationCount();
        plugin->SetOperation(beyond);
        SCOPED_TRACE(testing::Message() << "plug-in " << i << ", operation " << beyond);
        EXPECT_STREQ(plugin->GetName(true), "");
        EXPECT_STREQ(plugin->GetDescription(), "");
        EXPECT_EQ(plugin->GetFlags(), 0);
        EXPECT_FALSE(plugin->CanApply(&image));
        CVImage destination(host.get());
        EXPECT_FALSE(plugin->Apply(&image, &destination, nullptr));
        EXPECT_EQ(destination.bits, nullptr) << "nothing ran";
        ImageKindSet input{KindAll, 0, 0, 0};
        EXPECT_EQ(plugin->GetOutputKinds(&input), nullptr);
        EXPECT_EQ(plugin->CreateSettingsPane(nullptr), nullptr);
    }
}

TEST_F(EveryPlugin, StoredBlocksKeepTheirBytesAndComeBackInRange) {
    Load();
    const std::vector<SchemaCopy> schemas = Schemas();
    Unload();

    // The stored layouts that earlier runs left behind.
    const std::map<std::string, uint32_t> sizes = {
        {"JPEG_Parameters", 16}, {"TIFF_Parameters", 4}, {"QorelColorInfo", 20},
        {"Filter", 16},          {"Resample", 12},       {"ColorAdjust", 64},
        {"RotateParam", 24},     {"JPEG_Target", 16},    {"QorelColorMapping", 16},
        {"PNG_Parameters", 8},   {"GIF_Parameters", 4},  {"WebP_Parameters", 12},
        {"AVIF_Parameters", 8}};
    ASSERT_EQ(schemas.size(), sizes.size());
    std::map<std::string, Bytes> firstSave;
    for (const SchemaCopy& schema : schemas) {
        EXPECT_EQ(sizes.at(schema.name), schema.size) << schema.name;
        firstSave[schema.name] = Stored(schema.name);
        ASSERT_EQ(firstSave[schema.name].size(), schema.size) << schema.name;
        const SettingsBlockSchema view{schema.name.c_str(), schema.size, 3, schema.fields.data(),
                                       static_cast<uint32_t>(schema.fields.size())};
        Bytes defaults(schema.size, 0);
        FillDefaults(defaults.data(), view);
        EXPECT_EQ(firstSave[schema.name], defaults)
            << schema.name << ": a first run saves defaults";
    }

    Load();
    Unload();
    for (const SchemaCopy& schema : schemas) {
        EXPECT_EQ(Stored(schema.name), firstSave[schema.name]) << schema.name << " changed";
    }

    // Blocks of large and of negative values are brought into the ranges.
    for (uint8_t fill : {uint8_t{0x7F}, uint8_t{0x80}}) {
        for (const SchemaCopy& schema : schemas) {
            host.settings.WriteBinary(SettingsStore::kSettingsSection, schema.name,
                                      Bytes(schema.size, fill));
        }
        Load();
        Unload();
        for (const SchemaCopy& schema : schemas) {
            const Bytes stored = Stored(schema.name);
            ASSERT_EQ(stored.size(), schema.size);
            for (const SettingsField& field : schema.fields) {
                if (field.type == FieldType::Bytes) {
                    continue;
                }
                const double value = ReadField(stored.data(), field);
                EXPECT_GE(value, field.minimum) << schema.name << " +" << field.offset;
                EXPECT_LE(value, field.maximum) << schema.name << " +" << field.offset;
            }
        }
    }
}
