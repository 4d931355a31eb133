// The built oaktone.so through dlopen: texts, flags, kinds, the stored
// "ColorAdjust" block, Apply with the stored values, and both panes on the
// offscreen platform.
#include "oaktone_settings.h"
#include "tone.h"

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
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QSlider>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <optional>
#include <random>

using namespace pixmill;
using namespace pixmill::test;
namespace ot = pixmill::oaktone;

namespace {

const char* const kLibrary = PIXMILL_BIN_DIR "/Processing/oaktone.so";

void Store(MemorySettingsStore& store, const ot::AdjustSettings& block) {
    StoreBlock(store, "ColorAdjust", block);
}

std::optional<ot::AdjustSettings> Stored(MemorySettingsStore& store) {
    return StoredBlock<ot::AdjustSettings>(store, "ColorAdjust");
}

std::unique_ptr<CVImage> Image(TestHost& host, int bitCount, std::mt19937& random) {
    auto image = std::make_unique<CVImage>(host.get());
    image->Create(10, 6, bitCount, 0, nullptr);
    for (int i = 0; i < 256; ++i) {
        image->palette[i] = RGBQUAD{static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                                    static_cast<uint8_t>(random()), 0};
    }
    FillRandom(*image, random);
    return image;
}

} // namespace

TEST(OaktoneLibrary, DescribesItsTwoOperations) {
    TestHost host;
    PluginLibrary library(kLibrary);
    ASSERT_NE(library.handle, nullptr) << dlerror();
    CProcessingPlugin* plugin = library.Processing(host.get());
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin, library.Processing(host.get()));
    ASSERT_EQ(plugin->GetOperationCount(), 2);
    const char* names[] = {"Brightness-Contrast-Intensity", "Gamma"};
    const char* menus[] = {"&Brightness-Contrast-Intensity", "&Gamma"};
    std::mt19937 random(2);
    for (uint16_t op = 0; op < 2; ++op) {
        plugin->SetOperation(op);
        EXPECT_STREQ(plugin->GetName(false), names[op]);
        EXPECT_STREQ(plugin->GetName(true), menus[op]);
        EXPECT_STREQ(plugin->GetGroupName(false), "Adjust");
        EXPECT_STREQ(plugin->GetGroupName(true), "&Adjust");
        EXPECT_STREQ(plugin->GetDescription(), "Adjust image colors");
        EXPECT_EQ(plugin->GetFlags(), 0x11);
        EXPECT_EQ(plugin->GetKind(), 1);
        for (int bitCount : {1, 4, 8, 24}) {
            EXPECT_EQ(plugin->CanApply(Image(host, bitCount, random).get()), bitCount > 1);
        }
        const ImageKindSet special{KindAll, 1, 0, 0};
        EXPECT_EQ(plugin->GetOutputKinds(&special), nullptr);
        const ImageKindSet input{KindPaletted8 | KindRgb24, 0, 0, 0};
        ASSERT_NE(plugin->GetOutputKinds(&input), nullptr);
        EXPECT_EQ(plugin->GetOutputKinds(&input)->kinds, KindPaletted8 | KindRgb24);
    }

    auto schemaOf = library.Entry<GetSettingsSchemaFn>("GetSettingsSchema");
    ASSERT_NE(schemaOf, nullptr);
    const SettingsBlockSchema* blocks = nullptr;
    ASSERT_EQ(schemaOf(&blocks), 1);
    EXPECT_STREQ(blocks[0].name, "ColorAdjust");
    EXPECT_EQ(blocks[0].size, 64u);
    ot::AdjustSettings defaults{};
    std::memset(&defaults, 0x5A, sizeof defaults);
    FillDefaults(&defaults, blocks[0]);
    EXPECT_EQ(defaults.toneUsesAll, 1);
    EXPECT_EQ(defaults.gammaUsesAll, 1);
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(defaults.gamma[row], 1.0);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(defaults.tone[row][k], 0);
        }
    }
    ASSERT_NE(FindField(blocks[0], "contrastGreen"), nullptr);
    EXPECT_EQ(FindField(blocks[0], "contrastGreen")->offset, 2u + (2 * 3 + 1) * 2);
    EXPECT_EQ(FindField(blocks[0], "gammaBlue")->offset, 56u);
}

TEST(OaktoneLibrary, AppliesTheStoredValuesAndSavesThem) {
    TestHost host;
    ot::AdjustSettings stored = ot::DefaultAdjustSettings();
    stored.toneUsesAll = 0;
    stored.tone[1][0] = 20;
    stored.tone[2][1] = -35;
    stored.tone[3][2] = 60;
    stored.gammaUsesAll = 0;
    stored.gamma[2] = 2.0;
    Store(host.settings, stored);
    std::mt19937 random(5);
    {
        PluginLibrary library(kLibrary);
        CProcessingPlugin* plugin = library.Processing(host.get());
        ASSERT_NE(plugin, nullptr);
        for (int bitCount : {8, 24}) {
            auto source = Image(host, bitCount, random);
            for (uint16_t op = 0; op < 2; ++op) {
                plugin->SetOperation(op);
                CVImage viaLibrary(host.get()), expected(host.get());
                ASSERT_TRUE(plugin->Apply(source.get(), &viaLibrary, nullptr));
                (op == 0 ? ot::AdjustTone : ot::AdjustGamma)(*source, expected, stored, nullptr);
                std::string why;
                EXPECT_TRUE(SamePixels(viaLibrary, expected, &why)) << why;
                EXPECT_EQ(
                    0, std::memcmp(viaLibrary.palette, expected.palette, sizeof expected.palette));
            }
        }
        auto bilevel = Image(host, 1, random);
        CVImage destination(host.get());
        try {
            plugin->Apply(bilevel.get(), &destination, nullptr);
            ADD_FAILURE() << "a 1-bit image was accepted";
        } catch (CQorelError& e) {
            EXPECT_STREQ(e.Report(false), "Unsupported image format");
        }
    }
    auto saved = Stored(host.settings);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(0, std::memcmp(&*saved, &stored, sizeof stored));
}

TEST(OaktoneLibrary, TonePane) {
    TestHost host;
    ot::AdjustSettings stored = ot::DefaultAdjustSettings();
    stored.tone[0][0] = 15;  // "All colors" brightness
    stored.tone[2][1] = -30; // green contrast
    Store(host.settings, stored);
    {
        PluginLibrary library(kLibrary);
        CProcessingPlugin* plugin = library.Processing(host.get());
        ASSERT_NE(plugin, nullptr);
        plugin->SetOperation(0);
        TestPaneSite site;
        CPluginPane* pane = plugin->CreateSettingsPane(&site);
        ASSERT_NE(pane, nullptr);
        ASSERT_NE(pane->Create(), nullptr);
        auto* frame = site.parent.findChild<QGroupBox*>();
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->title(), "Color &adjustment");

        const int trackBars[] = {1000, 1003, 1006};
        const int edits[] = {1001, 1004, 1008};
        for (int id : trackBars) {
            auto* trackBar = site.Find<QSlider>(id);
            ASSERT_NE(trackBar, nullptr) << id;
            EXPECT_EQ(trackBar->minimum(), 0);
            EXPECT_EQ(trackBar->maximum(), 200);
            EXPECT_EQ(trackBar->pageStep(), 10);
            EXPECT_EQ(trackBar->tickInterval(), 10);
        }
        auto* combo = site.Find<QComboBox>(1007);
        ASSERT_NE(combo, nullptr);
        ASSERT_EQ(combo->count(), 4);
        EXPECT_EQ(combo->itemText(0), "All colors");
        EXPECT_EQ(combo->itemText(3), "Blue");
        EXPECT_EQ(combo->currentIndex(), 0);
        EXPECT_EQ(site.Find<QSlider>(1000)->value(), 115);
        EXPECT_EQ(site.Find<QLineEdit>(1001)->text(), "15");
        EXPECT_EQ(site.changes, 0);

        // Choosing a channel shows its triple and clears "All colors".
        combo->setCurrentIndex(2);
        EXPECT_EQ(site.changes, 1);
        EXPECT_EQ(site.Find<QSlider>(1003)->value(), 70);
        EXPECT_EQ(site.Find<QLineEdit>(1004)->text(), "-30");
        EXPECT_EQ(site.Find<QSlider>(1000)->value(), 100);

        site.Find<QSlider>(1006)->setValue(160); // green intensity 60
        EXPECT_EQ(site.Find<QLineEdit>(edits[2])->text(), "60");
        EXPECT_EQ(site.changes, 2);
        auto* brightness = site.Find<QLineEdit>(1001);
        emit brightness->textEdited("-250"); // typed: stops at -100
        EXPECT_EQ(brightness->text(), "-100");
        EXPECT_EQ(site.Find<QSlider>(1000)->value(), 0);
        emit brightness->textEdited("-");
        EXPECT_EQ(site.changes, 3);
        emit brightness->textEdited("42");
        EXPECT_EQ(site.Find<QSlider>(1000)->value(), 142);
        EXPECT_EQ(site.changes, 4);

        ASSERT_TRUE(pane->Commit());
        plugin->DestroySettingsPane(pane);
        EXPECT_TRUE(site.parent.findChildren<QWidget*>().isEmpty());

        // Apply uses the committed values.
        ot::AdjustSettings expected = stored;
        expected.toneUsesAll = 0;
        expected.tone[2][0] = 42;
        expected.tone[2][2] = 60;
        std::mt19937 random(8);
        auto source = Image(host, 24, random);
        CVImage viaLibrary(host.get()), direct(host.get());
        plugin->Apply(source.get(), &viaLibrary, nullptr);
        ot::AdjustTone(*source, direct, expected, nullptr);
        EXPECT_TRUE(SamePixels(viaLibrary, direct));
    }
    auto saved = Stored(host.settings);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->toneUsesAll, 0);
    EXPECT_EQ(saved->tone[2][0], 42);
    EXPECT_EQ(saved->tone[2][1], -30);
    EXPECT_EQ(saved->tone[2][2], 60);
    EXPECT_EQ(saved->tone[0][0], 15);
}

TEST(OaktoneLibrary, GammaPane) {
    TestHost host;
    ot::AdjustSettings stored = ot::DefaultAdjustSettings();
    stored.gammaUsesAll = 0;
    stored.gamma[1] = 0.5;
    Store(host.settings, stored);
    {
        PluginLibrary library(kLibrary);
        CProcessingPlugin* plugin = library.Processing(host.get());
        ASSERT_NE(plugin, nullptr);
        plugin->SetOperation(1);
        TestPaneSite site;
        CPluginPane* pane = plugin->CreateSettingsPane(&site);
        ASSERT_NE(pane, nullptr);
        ASSERT_NE(pane->Create(), nullptr);
        EXPECT_EQ(site.parent.findChild<QGroupBox*>()->title(), "Gamma correction");
        auto* trackBar = site.Find<QSlider>(1009);
        auto* edit = site.Find<QLineEdit>(1008);
        auto* combo = site.Find<QComboBox>(1007);
        ASSERT_TRUE(trackBar && edit && combo);
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_EQ(trackBar->minimum(), 0);
        EXPECT_EQ(trackBar->maximum(), 200);
        EXPECT_EQ(trackBar->pageStep(), 10);
        EXPECT_EQ(combo->currentIndex(), 1) << "the channels' own values are in use";
        EXPECT_EQ(trackBar->value(), 70); // 10^-0.3 is about 0.5
        EXPECT_EQ(edit->text(), "0.50");

        trackBar->setValue(0);
        EXPECT_EQ(edit->text(), "0.10");
        trackBar->setValue(200);
        EXPECT_EQ(edit->text(), "10.00");
        trackBar->setValue(137);
        EXPECT_EQ(edit->text(), QString::asprintf("%.2f", std::pow(10.0, 0.37)));
        EXPECT_EQ(site.changes, 3);

        combo->setCurrentIndex(0); // "All colors": 1.0
        EXPECT_EQ(trackBar->value(), 100);
        EXPECT_EQ(edit->text(), "1.00");
        EXPECT_EQ(site.changes, 4);
        trackBar->setValue(150);
        ASSERT_TRUE(pane->Commit());
        plugin->DestroySettingsPane(pane);
    }
    auto saved = Stored(host.settings);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->gammaUsesAll, 1);
    EXPECT_DOUBLE_EQ(saved->gamma[0], std::pow(10.0, 0.5));
    EXPECT_DOUBLE_EQ(saved->gamma[1], std::pow(10.0, 0.37));
}

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
