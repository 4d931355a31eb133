// The built elmpass.so through dlopen and its entry points: texts, flags,
// kinds, the stored settings block, Apply with the stored strengths, errors
// crossing the library, and the strength pane on the offscreen platform.
#include "filters.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/errors.h"
#include "pixmill/pane_base.h"
#include "pixmill/processing_plugin.h"
#include "support/plugin_library.h"
#include "support/stored_block.h"
#include "support/test_host.h"
#include "support/test_images.h"
#include "support/test_pane_site.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <optional>
#include <random>

using namespace pixmill;
using namespace pixmill::test;
namespace ep = pixmill::elmpass;

namespace {

const char* const kLibrary = PIXMILL_BIN_DIR "/Processing/elmpass.so";

#pragma pack(push, 1)
struct StoredFilter {
    uint8_t flags[3];
    uint8_t reserved;
    int32_t strength[3];
};
#pragma pack(pop)
static_assert(sizeof(StoredFilter) == 16);

void Store(MemorySettingsStore& store, const StoredFilter& block) {
    StoreBlock(store, "Filter", block);
}

std::optional<StoredFilter> Stored(MemorySettingsStore& store) {
    return StoredBlock<StoredFilter>(store, "Filter");
}

std::unique_ptr<CVImage> Image(TestHost& host, int bitCount, bool grey, std::mt19937& random) {
    auto image = std::make_unique<CVImage>(host.get());
    image->Create(12, 7, bitCount, 0, nullptr);
    for (int i = 0; i < 256; ++i) {
        const uint8_t level = static_cast<uint8_t>(i);
        image->palette[i] = grey ? RGBQUAD{level, level, level, 0}
                                 : RGBQUAD{level, static_cast<uint8_t>(255 - i), 7, 0};
    }
    FillRandom(*image, random);
    return image;
}

} // namespace

TEST(ElmpassLibrary, DescribesItsSixFilters) {
    TestHost host;
    PluginLibrary library(kLibrary);
    ASSERT_NE(library.handle, nullptr) << dlerror();
    CProcessingPlugin* plugin = library.Processing(host.get());
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin, library.Processing(host.get())) << "one object per library";
    ASSERT_EQ(plugin->GetOperationCount(), 6);

    struct Expected {
        const char* name;
        const char* menu;
        uint16_t flags;
    };
    const Expected expected[] = {{"Negative", "&Negative", 0},      {"Smooth", "&Smooth", 0x11},
                                 {"Sharpen", "S&harpen", 0x11},     {"Median", "&Median", 0},
                                 {"Despeckle", "&Despeckle", 0x11}, {"Emboss", "&Emboss", 0}};
    std::mt19937 random(1);
    auto bilevel = Image(host, 1, false, random);
    auto fourBit = Image(host, 4, true, random);
    auto grey = Image(host, 8, true, random);
    auto colourPalette = Image(host, 8, false, random);
    auto rgb = Image(host, 24, false, random);
    for (uint16_t op = 0; op < 6; ++op) {
        plugin->SetOperation(op);
        EXPECT_EQ(plugin->GetOperation(), op);
        EXPECT_STREQ(plugin->GetName(false), expected[op].name);
        EXPECT_STREQ(plugin->GetName(true), expected[op].menu);
        EXPECT_STREQ(plugin->GetGroupName(false), "Filter");
        EXPECT_STREQ(plugin->GetGroupName(true), "&Filter");
        EXPECT_STREQ(plugin->GetDescription(), "Filter Image");
        EXPECT_EQ(plugin->GetFlags(), expected[op].flags);
        EXPECT_EQ(plugin->GetKind(), 1);

        const bool every = op == 0;
        EXPECT_EQ(plugin->CanApply(bilevel.get()), every);
        EXPECT_EQ(plugin->CanApply(fourBit.get()), every);
        EXPECT_EQ(plugin->CanApply(colourPalette.get()), every);
        EXPECT_TRUE(plugin->CanApply(grey.get()));
        EXPECT_TRUE(plugin->CanApply(rgb.get()));

        const ImageKindSet special{KindAll, 1, 0, 0};
        EXPECT_EQ(plugin->GetOutputKinds(&special), nullptr);
        const ImageKindSet input{KindGray8 | KindRgb24, 0, 0, 0};
        const ImageKindSet* output = plugin->GetOutputKinds(&input);
        ASSERT_NE(output, nullptr);
        EXPECT_EQ(output->kinds, KindGray8 | KindRgb24);
        EXPECT_EQ(output->traits, 4);
    }

    auto schemaOf = library.Entry<GetSettingsSchemaFn>("GetSettingsSchema");
    ASSERT_NE(schemaOf, nullptr);
    const SettingsBlockSchema* blocks = nullptr;
    ASSERT_EQ(schemaOf(&blocks), 1);
    EXPECT_STREQ(blocks[0].name, "Filter");
    EXPECT_EQ(blocks[0].size, 16u);
    StoredFilter defaults{};
    FillDefaults(&defaults, blocks[0]);
    EXPECT_EQ(defaults.flags[0] + defaults.flags[1] + defaults.flags[2], 3);
    EXPECT_EQ(defaults.strength[0], 10);
    EXPECT_EQ(defaults.strength[1], 10);
    EXPECT_EQ(defaults.strength[2], 10);
    const SettingsField* sharpen = FindField(blocks[0], "sharpenStrength");
    ASSERT_NE(sharpen, nullptr);
    EXPECT_EQ(sharpen->offset, 8u);
    EXPECT_EQ(sharpen->maximum, 100);
}

TEST(ElmpassLibrary, AppliesWithTheStoredStrengthsAndSavesThem) {
    TestHost host;
    Store(host.settings, StoredFilter{{1, 0, 1}, 0, {40, 90, 60}});
    std::mt19937 random(4);
    auto source = Image(host, 24, false, random);
    {
        PluginLibrary library(kLibrary);
        CProcessingPlugin* plugin = library.Processing(host.get());
        ASSERT_NE(plugin, nullptr);
        const std::function<void(const CVImage&, CVImage&)> direct[] = {
            [](const CVImage& s, CVImage& d) { ep::Negative(s, d, nullptr); },
            [](const CVImage& s, CVImage& d) { ep::Smooth(s, d, 40, nullptr); },
            [](const CVImage& s, CVImage& d) { ep::Sharpen(s, d, 90, nullptr); },
            [](const CVImage& s, CVImage& d) { ep::Median(s, d, nullptr); },
            [](const CVImage& s, CVImage& d) { ep::Despeckle(s, d, 60, nullptr); },
            [](const CVImage& s, CVImage& d) { ep::Emboss(s, d, nullptr); },
        };
        for (uint16_t op = 0; op < 6; ++op) {
            plugin->SetOperation(op);
            CVImage viaLibrary(host.get()), expected(host.get());
            ASSERT_TRUE(plugin->Apply(source.get(), &viaLibrary, nullptr));
            direct[op](*source, expected);
            std::string why;
            EXPECT_TRUE(SamePixels(viaLibrary, expected, &why)) << op << ": " << why;
        }

        // In place, through the base class.
        plugin->SetOperation(0);
        CVImage copy(host.get());
        CVImage::CopyImage(&copy, source.get(), nullptr);
        ASSERT_TRUE(plugin->ApplyInPlace(&copy, nullptr));
        EXPECT_EQ(PixelAt(copy, 3, 3), ~PixelAt(*source, 3, 3) & 0xFFFFFF);

        // A refused image raises an image error that crosses the library.
        auto bilevel = Image(host, 1, false, random);
        plugin->SetOperation(3);
        CVImage destination(host.get());
        try {
            plugin->Apply(bilevel.get(), &destination, nullptr);
            ADD_FAILURE() << "Median accepted a 1-bit image";
        } catch (CQorelError& e) {
            EXPECT_STREQ(e.Report(false), "Unsupported image format");
        }
    }
    auto saved = Stored(host.settings);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->strength[1], 90);
    EXPECT_EQ(saved->flags[1], 0);
}

TEST(ElmpassLibrary, StoredBlockOfTheWrongLengthLeavesTheDefaults) {
    TestHost host;
    host.settings.WriteBinary("Settings", "Filter", Bytes(15, 0x7F));
    {
        PluginLibrary library(kLibrary);
        ASSERT_NE(library.Processing(host.get()), nullptr);
    }
    auto saved = Stored(host.settings);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->strength[0], 10);
    EXPECT_EQ(saved->strength[2], 10);
}

TEST(ElmpassLibrary, StrengthPane) {
    TestHost host;
    std::mt19937 random(6);
    auto source = Image(host, 24, false, random);
    {
        PluginLibrary library(kLibrary);
        CProcessingPlugin* plugin = library.Processing(host.get());
        ASSERT_NE(plugin, nullptr);
        TestPaneSite site;
        for (uint16_t op : {0, 3}) {
            plugin->SetOperation(op);
            EXPECT_EQ(plugin->CreateSettingsPane(&site), nullptr);
        }

        const char* captions[] = {nullptr, "Smoothing filter", "Sharpen filter", nullptr,
                                  "Despeckle filter"};
        for (uint16_t op : {1, 2, 4}) {
            plugin->SetOperation(op);
            CPluginPane* pane = plugin->CreateSettingsPane(&site);
            ASSERT_NE(pane, nullptr);
            ASSERT_NE(pane->Create(), nullptr);
            auto* trackBar = site.parent.findChild<QSlider*>(CPaneBase::ControlName(1000));
            auto* edit = site.parent.findChild<QLineEdit*>(CPaneBase::ControlName(1001));
            auto* caption = site.parent.findChild<QLabel*>(CPaneBase::ControlName(1002));
            ASSERT_TRUE(trackBar && edit && caption);
            EXPECT_EQ(caption->text().toStdString(), captions[op]);
            EXPECT_EQ(trackBar->minimum(), 0);
            EXPECT_EQ(trackBar->maximum(), 100);
            EXPECT_EQ(trackBar->pageStep(), 10);
            EXPECT_EQ(trackBar->tickInterval(), 10);
            EXPECT_EQ(trackBar->value(), 10);
            EXPECT_EQ(edit->text(), "10");
            EXPECT_EQ(site.changes, 0) << "filling the controls is no change";

            trackBar->setValue(25);
            EXPECT_EQ(edit->text(), "25");
            EXPECT_EQ(site.changes, 1);

            edit->setText("");
            emit edit->textEdited("150"); // typed: the edit and the track bar stop at 100
            EXPECT_EQ(edit->text(), "100");
            EXPECT_EQ(trackBar->value(), 100);
            EXPECT_EQ(site.changes, 2) << "one change per user action";
            emit edit->textEdited("-4");
            EXPECT_EQ(edit->text(), "0");
            EXPECT_EQ(trackBar->value(), 0);
            emit edit->textEdited("-"); // not a number yet
            EXPECT_EQ(trackBar->value(), 0);
            emit edit->textEdited("77");
            EXPECT_EQ(trackBar->value(), 77);
            EXPECT_EQ(site.changes, 4);

            ASSERT_TRUE(pane->Commit());
            plugin->DestroySettingsPane(pane);
            EXPECT_TRUE(site.parent.findChildren<QWidget*>().isEmpty());
            site.changes = 0;
        }

        // Apply uses the committed strength.
        plugin->SetOperation(2);
        CVImage viaLibrary(host.get()), expected(host.get());
        plugin->Apply(source.get(), &viaLibrary, nullptr);
        ep::Sharpen(*source, expected, 77, nullptr);
        EXPECT_TRUE(SamePixels(viaLibrary, expected));
    }
    auto saved = Stored(host.settings);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->strength[0], 77);
    EXPECT_EQ(saved->strength[1], 77);
    EXPECT_EQ(saved->strength[2], 77);
    EXPECT_EQ(saved->flags[0] + saved->flags[1] + saved->flags[2], 3);
}

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
