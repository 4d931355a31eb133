// The processing base class, and the whole contract through a real plug-in
// library loaded with dlopen: exceptions raised by the host cross it, pixel
// blocks come back to the host, settings are saved when it unloads.
#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/errors.h"
#include "pixmill/processing_plugin.h"
#include "support/plugin_library.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <random>

using namespace pixmill;
using namespace pixmill::test;

namespace {

const char* ProbePath() {
    return PIXMILL_TEST_PLUGIN_DIR "/kit_probe.so";
}

int32_t StoredApplyCount(MemorySettingsStore& store) {
    auto stored = store.ReadBinary("Settings", "KitProbe");
    if (!stored || stored->size() != 8) {
        return -1;
    }
    int32_t count;
    std::memcpy(&count, stored->data(), 4);
    return count;
}

} // namespace

TEST(ProcessingContract, PluginLibraryRoundTrip) {
    TestHost host;
    {
        PluginLibrary library(ProbePath());
        ASSERT_NE(library.handle, nullptr) << dlerror();
        auto getProcessing = library.Entry<GetProcessingFn>("GetProcessing");
        ASSERT_NE(getProcessing, nullptr);
        EXPECT_EQ(library.Entry<void*>("ChangeColors"), nullptr);

        CProcessingPlugin* plugin = nullptr;
        ASSERT_EQ(getProcessing(host.get(), &plugin), 1);
        CProcessingPlugin* again = nullptr;
        getProcessing(host.get(), &again);
        EXPECT_EQ(plugin, again) << "one object per library";
        EXPECT_EQ(plugin->GetOperationCount(), 2);
        EXPECT_EQ(plugin->GetOperation(), 0);
        EXPECT_STREQ(plugin->GetName(true), "&Invert");
        EXPECT_EQ(plugin->Query7(), 0);

        std::mt19937 random(3);
        CVImage source(host.get());
        source.Create(7, 5, 24, 0, nullptr);
        FillRandom(source, random);
        CVImage destination(host.get());
        ASSERT_TRUE(plugin->Apply(&source, &destination, nullptr));
        EXPECT_EQ(PixelAt(destination, 3, 2), (~PixelAt(source, 3, 2)) & 0xFFFFFF);
        EXPECT_EQ(host->Memory().LiveOrdinaryBlocks(), 2u);

        // ApplyInPlace: the record takes the result's pixels, the old block goes.
        const uint32_t before = PixelAt(source, 6, 4);
        ASSERT_TRUE(plugin->ApplyInPlace(&source, nullptr));
        EXPECT_EQ(PixelAt(source, 6, 4), (~before) & 0xFFFFFF);
        EXPECT_EQ(host->Memory().LiveOrdinaryBlocks(), 2u);

        // The host's exception passes back through the plug-in.
        plugin->SetOperation(1);
        EXPECT_STREQ(plugin->GetName(false), "Fail");
        try {
            plugin->Apply(&source, &destination, nullptr);
            ADD_FAILURE() << "no exception";
        } catch (CQorelError& e) {
            EXPECT_STREQ(e.Report(false), "User break");
        }
        ImageKindSet special{KindAll, 1, 0, 0};
        EXPECT_EQ(plugin->GetOutputKinds(&special), nullptr);
        EXPECT_EQ(StoredApplyCount(host.settings), -1) << "nothing saved while loaded";
    }
    // Unloading deleted the object, which saved its block.
    EXPECT_EQ(StoredApplyCount(host.settings), 3);

    // The next load starts from the saved block.
    {
        PluginLibrary library(ProbePath());
        CProcessingPlugin* plugin = nullptr;
        library.Entry<GetProcessingFn>("GetProcessing")(host.get(), &plugin);
        CVImage image(host.get());
        image.Create(2, 2, 24, 0, nullptr);
        plugin->ApplyInPlace(&image, nullptr);
    }
    EXPECT_EQ(StoredApplyCount(host.settings), 4);
    EXPECT_EQ(host->Memory().LiveOrdinaryBlocks(), 0u);
}

TEST(ProcessingContract, SettingsOfTheWrongLengthLeaveTheDefaults) {
    TestHost host;
    host.settings.WriteBinary("Settings", "KitProbe", Bytes(7, 0x11));
    PluginLibrary library(ProbePath());
    CProcessingPlugin* plugin = nullptr;
    library.Entry<GetProcessingFn>("GetProcessing")(host.get(), &plugin);
    plugin->SetOperation(1);
    CVImage image(host.get());
    image.Create(2, 2, 24, 0, nullptr);
    try {
        plugin->Apply(&image, &image, nullptr);
    } catch (const CVImageError& e) {
        EXPECT_EQ(e.Code(), 7) << "default error code, not the stored 0x11111111";
    }
    library.Close();
    EXPECT_EQ(StoredApplyCount(host.settings), 1);
}

TEST(ProcessingContract, SchemaExportDescribesTheBlock) {
    PluginLibrary library(ProbePath());
    auto schemaOf = library.Entry<GetSettingsSchemaFn>("GetSettingsSchema");
    ASSERT_NE(schemaOf, nullptr);
    const SettingsBlockSchema* blocks = nullptr;
    ASSERT_EQ(schemaOf(&blocks), 1);
    EXPECT_STREQ(blocks[0].name, "KitProbe");
    EXPECT_EQ(blocks[0].size, 8u);
    ASSERT_NE(FindField(blocks[0], "errorCode"), nullptr);
    EXPECT_EQ(FindField(blocks[0], "errorCode")->offset, 4u);
}
