// The built library loaded as the program loads it: entry points, the four
// operations' answers, conversions through Apply and ChangeColors, and the
// settings block it stores when unloaded.
#include "cedarcol_settings.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/errors.h"
#include "pixmill/image_kind_set.h"
#include "pixmill/processing_plugin.h"
#include "support/plugin_library.h"
#include "support/stored_block.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <random>
#include <set>
#include <vector>

using namespace pixmill;
using namespace pixmill::cedarcol;
using namespace pixmill::test;

namespace {

const char* const kLibrary = PIXMILL_BIN_DIR "/Processing/cedarcol.so";

QorelColorInfo StoredBlock(MemorySettingsStore& store) {
    QorelColorInfo missing{};
    missing.conversionCode = -1;
    return pixmill::test::StoredBlock<QorelColorInfo>(store, "QorelColorInfo").value_or(missing);
}

void MakeImage(CVImage& image, int bits, bool greyPalette, std::mt19937& random) {
    image.Create(10, 6, bits, bits == 24 ? 0 : 1 << bits, nullptr);
    for (int i = 0; i < image.paletteCount; ++i) {
        const auto v = static_cast<uint8_t>(random());
        image.palette[i] =
            greyPalette ? RGBQUAD{v, v, v, 0} : RGBQUAD{v, static_cast<uint8_t>(v + 1), 3, 0};
    }
    FillRandom(image, random);
}

} // namespace

TEST(CedarcolLibrary, OperationsAndEntryPoints) {
    TestHost host;
    std::mt19937 random(31);
    {
        PluginLibrary library(kLibrary);
        ASSERT_NE(library.handle, nullptr) << dlerror();
        auto changeColors = library.Entry<ChangeColorsFn>("ChangeColors");
        ASSERT_NE(changeColors, nullptr);

        CVImage source(host.get());
        MakeImage(source, 24, false, random);
        CVImage destination(host.get());
        QorelColorInfo block{CodeBilevel, 256, PaletteAdaptive, 0, 0, 0, 0};
        EXPECT_EQ(changeColors(&source, &destination, nullptr, &block), 0)
            << "no object before GetProcessing";
        EXPECT_EQ(destination.bits, nullptr);

        CProcessingPlugin* plugin = library.Processing(host.get());
        ASSERT_NE(plugin, nullptr);
        EXPECT_EQ(plugin->GetOperationCount(), 4);
        EXPECT_STREQ(plugin->GetGroupName(false), "Convert to");
        EXPECT_STREQ(plugin->GetGroupName(true), "&Convert to");

        CVImage bilevel(host.get()), paletted4(host.get()), grey8(host.get()), colour8(host.get());
        MakeImage(bilevel, 1, false, random);
        MakeImage(paletted4, 4, false, random);
        MakeImage(grey8, 8, true, random);
        MakeImage(colour8, 8, false, random);
        const CVImage* images[5] = {&bilevel, &paletted4, &grey8, &colour8, &source};
        struct Expected {
            const char* name;
            const char* menu;
            bool canApply[5]; // 1-bit, 4-bit, 8-bit grey, 8-bit colour, 24-bit
            uint16_t flags;
            int kind;
            uint16_t outputs;
        };
        const Expected expected[4] = {
            {"Black and White (1-bit)",
             "&Black and White (1-bit)",
             {false, true, true, true, true},
             0x11,
             2,
             0x01},
            {"Grayscale (8-bit)",
             "&Grayscale (8-bit)",
             {true, true, false, true, true},
             0,
             2,
             0x04},
            {"Paletted", "&Paletted", {true, true, true, true, true}, 0x11, 2, 0x0A},
            {"RGB Color (24-bit)",
             "&RGB Color (24-bit)",
             {true, true, true, true, false},
             0,
             0,
             0x10},
        };
        for (uint16_t op = 0; op < 4; ++op) {
            plugin->SetOperation(op);
            const Expected& e = expected[op];
            EXPECT_STREQ(plugin->GetName(false), e.name);
            EXPECT_STREQ(plugin->GetName(true), e.menu);
            EXPECT_STREQ(plugin->GetDescription(), "Transform image colorspace");
            for (int i = 0; i < 5; ++i) {
                EXPECT_EQ(plugin->CanApply(images[i]), e.canApply[i]) << "op " << op << " " << i;
            }
            EXPECT_EQ(plugin->GetFlags(), e.flags);
            EXPECT_EQ(plugin->GetKind(), e.kind);
            ImageKindSet input{KindAll, 0, 0, 0};
            ImageKindSet* output = plugin->GetOutputKinds(&input);
            ASSERT_NE(output, nullptr);
            EXPECT_EQ(output->kinds, e.outputs);
            input.special = 1;
            EXPECT_EQ(plugin->GetOutputKinds(&input), nullptr);
            CPluginPane* pane = plugin->CreateSettingsPane(nullptr);
            EXPECT_EQ(pane != nullptr, e.flags != 0) << "op " << op;
            plugin->DestroySettingsPane(pane);
        }

        // Paletted with the stored defaults: adaptive, 256 colours.
        plugin->SetOperation(2);
        ASSERT_TRUE(plugin->Apply(&source, &destination, nullptr));
        EXPECT_EQ(destination.BitCount(), 8);
        EXPECT_EQ(destination.paletteCount, 256);

        // ChangeColors uses the caller's block and then forgets it.
        ASSERT_EQ(changeColors(&source, &destination, nullptr, &block), 1);
        EXPECT_EQ(destination.BitCount(), 1);
        EXPECT_EQ(destination.palette[1].rgbRed, 255);
        CVImage empty(host.get());
        empty.Create(3, 3, 24, 0, nullptr);
        empty.header.biWidth = 0;
        block.conversionCode = CodePaletted16;
        block.threshold = 3;
        try {
            changeColors(&empty, &destination, nullptr, &block);
            ADD_FAILURE() << "no error";
        } catch (CQorelError& e) {
            EXPECT_STREQ(e.Report(false), CVImageError::MessageOf(CVImageError::MismatchedFormat));
        }
        empty.header.biWidth = 3;

        plugin->SetOperation(3);
        ASSERT_TRUE(plugin->ApplyInPlace(&destination, nullptr));
        EXPECT_EQ(destination.BitCount(), 24);
        EXPECT_EQ(PixelAt(destination, 0, 0) == 0 || PixelAt(destination, 0, 0) == 0xFFFFFF, true);
        EXPECT_EQ(StoredBlock(host.settings).conversionCode, -1) << "nothing saved while loaded";
    }
    // Unloading saved the object's own settings, untouched by ChangeColors.
    const QorelColorInfo stored = StoredBlock(host.settings);
    EXPECT_EQ(stored.conversionCode, CodeRgb);
    EXPECT_EQ(stored.colorCount, 256);
    EXPECT_EQ(stored.paletteKind, PaletteAdaptive);
    EXPECT_EQ(stored.threshold, 128);
    EXPECT_EQ(stored.fixedPalette, 0);
    EXPECT_EQ(host->Memory().LiveOrdinaryBlocks(), 0u);
}

TEST(CedarcolLibrary, RememberedFixedPaletteIsLoadedAgain) {
    TestHost host;
    QorelColorInfo block{CodeColorCount, 216, PaletteNetscape, 0, 128, 1, 0};
    std::vector<uint8_t> bytes(sizeof block);
    std::memcpy(bytes.data(), &block, sizeof block);
    host.settings.WriteBinary("Settings", "QorelColorInfo", bytes);
    std::mt19937 random(32);
    PluginLibrary library(kLibrary);
    CProcessingPlugin* plugin = library.Processing(host.get());
    plugin->SetOperation(2);
    CVImage source(host.get());
    source.Create(24, 24, 24, 0, nullptr);
    FillRandom(source, random);
    CVImage destination(host.get());
    ASSERT_TRUE(plugin->Apply(&source, &destination, nullptr));
    EXPECT_EQ(destination.paletteCount, 216);
    std::set<uint32_t> used;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 24; ++x) {
            const RGBQUAD c = destination.palette[PixelAt(destination, x, y)];
            ASSERT_EQ(c.rgbRed % 51 + c.rgbGreen % 51 + c.rgbBlue % 51, 0);
            used.insert(PixelAt(destination, x, y));
        }
    }
    EXPECT_GT(used.size(), 50u) << "the web palette, not black entries";
}

TEST(CedarcolLibrary, SettingsSchemaDescribesTheStoredBlock) {
    PluginLibrary library(kLibrary);
    auto getSchema = library.Entry<GetSettingsSchemaFn>("GetSettingsSchema");
    ASSERT_NE(getSchema, nullptr);
    const SettingsBlockSchema* blocks = nullptr;
    ASSERT_EQ(getSchema(&blocks), 2);
    EXPECT_STREQ(blocks[1].name, "QorelColorMapping");
    EXPECT_EQ(blocks[1].size, 16u);
    EXPECT_EQ(FindField(blocks[1], "ditherLevel")->defaultValue, 8);
    EXPECT_EQ(FindField(blocks[1], "ditherLevel")->maximum, 10);
    EXPECT_STREQ(blocks->name, "QorelColorInfo");
    EXPECT_EQ(blocks->size, 20u);
    EXPECT_EQ(blocks->version, 3);
    uint8_t block[20];
    std::memset(block, 0xEE, sizeof block);
    FillDefaults(block, *blocks);
    const uint8_t expected[19] = {8, 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 128, 0, 0};
    EXPECT_EQ(std::memcmp(block, expected, sizeof expected), 0);
    EXPECT_EQ(FindField(*blocks, "threshold")->maximum, 255);
    EXPECT_EQ(FindField(*blocks, "colorCount")->minimum, 2);
}
