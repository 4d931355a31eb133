// The pineturn library as the program sees it: loaded with dlopen, its
// settings block, and its settings pane on the offscreen platform.
#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/pane.h"
#include "pixmill/processing_plugin.h"
#include "pixmill/up_down.h"
#include "support/plugin_library.h"
#include "support/stored_block.h"
#include "support/test_host.h"
#include "support/test_images.h"
#include "support/test_pane_site.h"

#include <QColorDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <random>

using namespace pixmill;
using namespace pixmill::test;

namespace {

const char* const kLibrary = PIXMILL_BIN_DIR "/Processing/pineturn.so";

#pragma pack(push, 1)
struct Block {
    int32_t flip;
    int32_t reserved;
    double angle;
    uint8_t rgb[4];
    int32_t smart;
};
#pragma pack(pop)
static_assert(sizeof(Block) == 24);

void Store(TestHost& host, Block block) {
    StoreBlock(host.settings, "RotateParam", block);
}

Block Stored(TestHost& host) {
    return StoredBlock<Block>(host.settings, "RotateParam").value_or(Block{});
}

} // namespace

TEST(PineturnLibrary, OperationSettingsAndApply) {
    TestHost host;
    Store(host, Block{1, 0, 45.0, {0, 0, 0, 0}, 1});
    {
        PluginLibrary library(kLibrary);
        ASSERT_NE(library.handle, nullptr) << dlerror();
        auto getSchema = library.Entry<GetSettingsSchemaFn>("GetSettingsSchema");
        ASSERT_NE(getSchema, nullptr);
        const SettingsBlockSchema* schema = nullptr;
        ASSERT_EQ(getSchema(&schema), 1);
        EXPECT_STREQ(schema->name, "RotateParam");
        EXPECT_EQ(schema->size, 24u);
        Block defaults{};
        FillDefaults(&defaults, *schema);
        EXPECT_EQ(defaults.flip, 0);
        EXPECT_EQ(defaults.angle, 0.0);
        EXPECT_EQ(defaults.smart, 1);
        EXPECT_EQ(FindField(*schema, "angle")->offset, 8u);
        EXPECT_EQ(FindField(*schema, "smartBackground")->offset, 20u);

        CProcessingPlugin* plugin = library.Processing(host.get());
        ASSERT_NE(plugin, nullptr);
        EXPECT_STREQ(plugin->GetName(false), "Rotate");
        EXPECT_STREQ(plugin->GetName(true), "R&otate");
        EXPECT_STREQ(plugin->GetDescription(), "Rotate Image");
        EXPECT_EQ(plugin->GetFlags(), 0x11 | OpReorients); // settings, live preview, turns
        EXPECT_EQ(plugin->GetKind(), 0);

        // The stored flip wins over the stored angle.
        std::mt19937 random(6);
        CVImage source(host.get());
        source.Create(11, 6, 4, 16, nullptr);
        FillRandom(source, random);
        CVImage result(host.get());
        ASSERT_TRUE(plugin->Apply(&source, &result, nullptr));
        ASSERT_EQ(result.Width(), 11);
        for (int x = 0; x < 11; ++x) {
            EXPECT_EQ(PixelAt(result, x, 2), PixelAt(source, 10 - x, 2));
        }
        result.FreeBits();
        source.FreeBits();
    }
    EXPECT_EQ(Stored(host).flip, 1) << "saved when the library unloads";
}

TEST(PineturnPane, ChoicesEditsAndTheColourChooser) {
    EnsureApplication();
    TestHost host;
    Store(host, Block{0, 0, 12.5, {0, 0, 0, 0}, 1});
    PluginLibrary library(kLibrary);
    ASSERT_NE(library.handle, nullptr) << dlerror();
    CProcessingPlugin* plugin = library.Processing(host.get());
    ASSERT_NE(plugin, nullptr);

    CVImage image(host.get());
    image.Create(30, 20, 24, 0, nullptr);
    std::memset(image.bits, 200, image.ImageBytes());
    TestPaneSite site;
    site.image = &image;
    site.parent.show();
    CPluginPane* pane = plugin->CreateSettingsPane(&site);
    QWidget* root = pane->Create();
    ASSERT_NE(root, nullptr);
    auto* custom = FindControl<QRadioButton>(root, 1003);
    auto* angle = FindControl<QLineEdit>(root, 1004);
    ASSERT_TRUE(custom && angle);
    EXPECT_TRUE(custom->isChecked());
    EXPECT_EQ(angle->text(), "12.5");
    EXPECT_EQ(angle->maxLength(), 6);
    auto* upDown = FindControl<CUpDown>(root, 1005);
    EXPECT_EQ(upDown->Minimum(), 0);
    EXPECT_EQ(upDown->Maximum(), 365);
    EXPECT_FALSE(FindControl<QWidget>(root, 1018)->isHidden());
    EXPECT_TRUE(FindControl<QRadioButton>(root, 1014)->isChecked());
    EXPECT_EQ(site.changes, 0);

    FindControl<QRadioButton>(root, 1001)->click(); // 180 degrees
    EXPECT_EQ(site.changes, 1);
    angle->setText("30"); // typing chooses the custom angle
    EXPECT_TRUE(custom->isChecked());
    EXPECT_EQ(site.changes, 2);
    FindControl<QRadioButton>(root, 1006)->click(); // horizontal flip
    FindControl<QRadioButton>(root, 1002)->click(); // 270: flip mode back to 0
    upDown->StepBy(1);                              // reads 30 from the edit
    EXPECT_EQ(angle->text(), "31");
    EXPECT_TRUE(custom->isChecked());

    // The swatch opens the colour chooser; a chosen colour is a change.
    FindControl<QRadioButton>(root, 1013)->click();
    const int before = site.changes;
    FindControl<QPushButton>(root, 1016)->click();
    auto* chooser = root->findChild<QColorDialog*>();
    ASSERT_NE(chooser, nullptr);
    chooser->setCurrentColor(QColor(10, 20, 30));
    chooser->accept();
    EXPECT_EQ(site.changes, before + 1);
    EXPECT_EQ(FindControl<QPushButton>(root, 1016)->property("color").value<QColor>(),
              QColor(10, 20, 30));

    ASSERT_TRUE(pane->Commit());
    // Committed: 31 degrees on the custom background.
    CVImage result(host.get());
    ASSERT_TRUE(plugin->Apply(&image, &result, nullptr));
    EXPECT_EQ(PixelAt(result, 0, 0), 0x0A141Eu);
    EXPECT_GT(result.Width(), 30);

    // An image with a transparent colour hides the background choice.
    image.hasTransparentColor = 1;
    pane->SetImage(&image);
    EXPECT_TRUE(FindControl<QWidget>(root, 1018)->isHidden());
    plugin->DestroySettingsPane(pane);
    EXPECT_TRUE(site.parent.findChildren<QWidget*>().isEmpty());
    result.FreeBits();
    image.FreeBits();
}
