// The PNG library loaded with dlopen: its answers, its settings block and
// the options pane (offscreen Qt) driving what codecs of the library write.
#include "larchfmt_settings.h"
#include "png_codec.h"
#include "png_files.h"

#include "larchfmt_pane_model.h"
#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/format_plugin.h"
#include "pixmill/pane.h"
#include "support/pane_model_checks.h"
#include "support/plugin_library.h"
#include "support/stored_block.h"
#include "support/test_host.h"
#include "support/test_pane_site.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSlider>
#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace pixmill;
using namespace pixmill::larch;
using namespace pixmill::test;

namespace {

const char* const kLibrary = PIXMILL_BIN_DIR "/Formats/larchfmt.so";

class LarchLibrary : public testing::Test {
  protected:
    static void SetUpTestSuite() { EnsureApplication(); }
};

} // namespace

TEST_F(LarchLibrary, AnswersSettingsAndPane) {
    TestHost host;
    StoreBlock(host.settings, kSettingsName, PngSettings{0, 0, {}});
    {
        PluginLibrary library(kLibrary);
        ASSERT_NE(library.handle, nullptr) << dlerror();
        CFormatPlugin* format = library.Format(host.get());
        ASSERT_NE(format, nullptr);
        EXPECT_STREQ(format->GetName(false), "PNG");
        EXPECT_STREQ(format->GetExtensions(), "*.png");
        ASSERT_EQ(format->GetSignatureSize(), 8);
        EXPECT_TRUE(format->Recognize(kPngSignature));
        const uint8_t gif[8] = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
        EXPECT_FALSE(format->Recognize(gif));
        EXPECT_EQ(format->GetCapabilities(), CapOptionsPane | CapCanSave);
        EXPECT_EQ(format->GetSaveModes(), KindAll | KindRgba32);
        ImageKindSet kinds{KindBilevel, 0, 0, 0};
        EXPECT_TRUE(format->AcceptsKinds(&kinds));
        kinds.special = 1;
        EXPECT_FALSE(format->AcceptsKinds(&kinds));

        CVImage image(host.get());
        MakeKindImage(image, EveryKind()[5], 64, 48);
        const CodecMaker make = [format] { return format->CreateCodec(); };
        const size_t stored = WriteWith(make, host.get(), image).size();

        TestPaneSite site;
        site.image = &image;
        CPluginPane* pane = format->CreateOptionsPane(&site);
        pane->Create();
        auto* level = site.Find<QLineEdit>(1000);
        auto* slider = site.Find<QSlider>(1001);
        auto* interlace = site.Find<QCheckBox>(1002);
        ASSERT_TRUE(level && slider && interlace);
        EXPECT_EQ(level->text(), QStringLiteral("0"));
        EXPECT_EQ(slider->maximum(), 9);
        slider->setValue(9);
        interlace->click();
        EXPECT_EQ(site.changes, 2);
        EXPECT_EQ(level->text(), QStringLiteral("9"));
        EXPECT_EQ(FactsOf(WriteWith(make, host.get(), image)).interlace, 0)
            << "nothing changes before the commit";
        EXPECT_TRUE(pane->Commit());
        const ByteVector file = WriteWith(make, host.get(), image);
        EXPECT_EQ(FactsOf(file).interlace, 1);
        EXPECT_LT(file.size(), stored) << "level 9 packs tighter than level 0";
        format->DestroyOptionsPane(pane);
    }
    const auto saved = StoredBlock<PngSettings>(host.settings, kSettingsName);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->compressionLevel, 9);
    EXPECT_EQ(saved->interlace, 1);
}

TEST(LarchPaneModel, FieldsStayInTheirDeclaredRanges) {
    std::mt19937 random(3);
    PngOptionsModel model(PngSettings{42, 7, {}});
    ExpectInRange(model, {PngOptionsModel::Level, PngOptionsModel::Interlace});
    for (int step = 0; step < 300; ++step) {
        TypeAnything(model, {PngOptionsModel::Level, PngOptionsModel::Interlace}, random);
    }
    PngSettings stored{};
    model.Store(stored);
    ExpectBlockInSchema(&stored, kPngSchema);
}
