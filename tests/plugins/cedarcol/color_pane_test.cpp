// The settings panes with the offscreen platform, and the object's lifetime
// rules for what the panes write into it.
#include "cedarcol.h"
#include "cedarcol_pane.h"
#include "cedarcol_settings.h"
#include "palette_reduce.h"

#include "support/test_host.h"
#include "support/test_pane_site.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using namespace pixmill;
using namespace pixmill::cedarcol;
using pixmill::test::EnsureApplication;
using pixmill::test::TestHost;
using pixmill::test::TestPaneSite;

namespace {

class PaneTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { EnsureApplication(); }
    void SetUp() override { plugin = std::make_unique<ColorPlugin>(host.get()); }

    // Replaces an edit's text as a user would.
    static void Type(QLineEdit* edit, const char* text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }
    template <class T> T* Find(CPaneBase& pane, int id) {
        T* control = pane.Control<T>(id);
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }

    TestHost host;
    std::unique_ptr<ColorPlugin> plugin;
    TestPaneSite site;
};

} // namespace

TEST_F(PaneTest, BlackAndWhitePane) {
    plugin->SetOperation(OpBlackAndWhite);
    auto* pane = static_cast<BlackWhitePane*>(plugin->CreateSettingsPane(&site));
    ASSERT_NE(pane, nullptr);
    ASSERT_EQ(pane->Create()->parentWidget(), &site.parent);
    auto* threshold = Find<QLineEdit>(*pane, IdcThreshold);
    auto* upDown = Find<QSpinBox>(*pane, IdcThresholdUpDown);
    auto* label = Find<QLabel>(*pane, IdcThresholdLabel);
    auto* dither = Find<QSlider>(*pane, IdcDither);
    auto* ditherEdit = Find<QLineEdit>(*pane, IdcDitherEdit);
    EXPECT_EQ(threshold->text(), "128");
    EXPECT_EQ(upDown->maximum(), 255);
    EXPECT_EQ(dither->value(), 8);
    EXPECT_EQ(dither->maximum(), 10);
    EXPECT_EQ(dither->pageStep(), 1);
    EXPECT_FALSE(threshold->isEnabled()) << "the threshold only counts without dithering";
    EXPECT_FALSE(upDown->isEnabled());
    EXPECT_FALSE(label->isEnabled());
    EXPECT_EQ(site.changes, 0);

    dither->setValue(0);
    EXPECT_EQ(ditherEdit->text(), "0");
    EXPECT_TRUE(threshold->isEnabled());
    EXPECT_TRUE(upDown->isEnabled());
    EXPECT_TRUE(label->isEnabled());
    EXPECT_EQ(site.changes, 1);

    Type(threshold, "300");
    EXPECT_EQ(threshold->text(), "255");
    EXPECT_EQ(upDown->value(), 255);
    upDown->setValue(90);
    EXPECT_EQ(threshold->text(), "90");
    Type(ditherEdit, "12");
    EXPECT_EQ(ditherEdit->text(), "10");
    EXPECT_EQ(dither->value(), 10);
    EXPECT_FALSE(threshold->isEnabled());
    Type(ditherEdit, "0");
    EXPECT_GT(site.changes, 4);

    ASSERT_TRUE(pane->Commit());
    EXPECT_EQ(plugin->settings.threshold, 90);
    EXPECT_EQ(plugin->mapping.ditherLevel, 0);
    plugin->DestroySettingsPane(pane);
    EXPECT_TRUE(site.parent.findChildren<QWidget*>().isEmpty());

    // The threshold and the dither level are stored.
    plugin.reset();
    plugin = std::make_unique<ColorPlugin>(host.get());
    EXPECT_EQ(plugin->settings.threshold, 90);
    EXPECT_EQ(plugin->mapping.ditherLevel, 0);
}

TEST_F(PaneTest, PalettePaneKindsAndLinkedFields) {
    plugin->SetOperation(OpPaletted);
    auto* pane = static_cast<PalettePane*>(plugin->CreateSettingsPane(&site));
    pane->Create();
    auto* kind = Find<QComboBox>(*pane, IdcPaletteKind);
    auto* colors = Find<QLineEdit>(*pane, IdcColors);
    auto* colorsUpDown = Find<QSpinBox>(*pane, IdcColorsUpDown);
    auto* bits = Find<QLineEdit>(*pane, IdcBits);
    auto* bitsUpDown = Find<QSpinBox>(*pane, IdcBitsUpDown);
    auto* tolerance = Find<QSlider>(*pane, IdcTolerance);
    auto* toleranceEdit = Find<QLineEdit>(*pane, IdcToleranceEdit);
    auto* ditherEdit = Find<QLineEdit>(*pane, IdcDitherEdit);
    ASSERT_EQ(kind->count(), 5);
    EXPECT_EQ(kind->itemText(0), "Windows system");
    EXPECT_EQ(kind->itemText(4), "Microsoft Internet Explorer");
    EXPECT_EQ(kind->currentIndex(), PaletteAdaptive);
    EXPECT_EQ(colors->text(), "256");
    EXPECT_EQ(bits->text(), "8");
    EXPECT_EQ(colorsUpDown->minimum(), 2);
    EXPECT_EQ(bitsUpDown->maximum(), 8);
    EXPECT_EQ(tolerance->maximum(), 25);

    // Colours and bits follow each other.
    Type(colors, "17");
    EXPECT_EQ(bits->text(), "5");
    Type(colors, "1");
    EXPECT_EQ(bits->text(), "1");
    Type(colors, "999");
    EXPECT_EQ(colors->text(), "256");
    EXPECT_EQ(bits->text(), "8");
    Type(bits, "3");
    EXPECT_EQ(colors->text(), "8");
    bitsUpDown->setValue(6);
    EXPECT_EQ(colors->text(), "64");
    Type(toleranceEdit, "40");
    EXPECT_EQ(toleranceEdit->text(), "25");
    tolerance->setValue(7);

    // What each kind shows and enables.
    struct Row {
        int kind;
        const char* colors;
        bool enabled;
        const char* tolerance;
        bool toleranceEnabled;
    };
    for (const Row r : {Row{PaletteWindows, "236", false, "0", false},
                        Row{PaletteMacintosh, "256", false, "0", false},
                        Row{PaletteNetscape, "216", true, "25", false},
                        Row{PaletteExplorer, "216", true, "25", false},
                        Row{PaletteAdaptive, "64", true, "7", true}}) {
        kind->setCurrentIndex(r.kind);
        EXPECT_EQ(colors->text(), r.colors) << "kind " << r.kind;
        EXPECT_EQ(bits->text(), r.kind == PaletteAdaptive ? "6" : "8");
        EXPECT_EQ(colors->isEnabled(), r.enabled);
        EXPECT_EQ(bitsUpDown->isEnabled(), r.enabled);
        EXPECT_EQ(toleranceEdit->text(), r.tolerance);
        EXPECT_EQ(tolerance->isEnabled(), r.toleranceEnabled);
    }
    const int changes = site.changes;
    kind->setCurrentIndex(PaletteNetscape);
    EXPECT_EQ(site.changes, changes + 1);

    // Committing a fixed kind loads its palette.
    Type(ditherEdit, "3");
    ASSERT_TRUE(pane->Commit());
    EXPECT_EQ(plugin->settings.paletteKind, PaletteNetscape);
    EXPECT_EQ(plugin->settings.colorCount, 216);
    EXPECT_EQ(plugin->settings.fixedPalette, 1);
    EXPECT_EQ(plugin->mapping.ditherLevel, 3);
    EXPECT_EQ(plugin->mapping.tolerance, 25);
    RGBQUAD netscape[256] = {};
    LoadFixedPalette(PaletteNetscape, netscape);
    EXPECT_EQ(std::memcmp(plugin->planes, netscape, 216 * sizeof(RGBQUAD)), 0);

    kind->setCurrentIndex(PaletteWindows);
    ASSERT_TRUE(pane->Commit());
    EXPECT_EQ(plugin->settings.colorCount, 256);
    EXPECT_EQ(plugin->planes[246].rgbRed, 255); // cream: 255, 251, 240

    kind->setCurrentIndex(PaletteAdaptive);
    Type(colors, "40");
    ASSERT_TRUE(pane->Commit());
    EXPECT_EQ(plugin->settings.fixedPalette, 0);
    EXPECT_EQ(plugin->settings.colorCount, 40);
    EXPECT_EQ(plugin->mapping.tolerance, 7);
    plugin->DestroySettingsPane(pane);
}
