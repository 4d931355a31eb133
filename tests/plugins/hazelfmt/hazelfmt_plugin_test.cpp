// The GIF library loaded with dlopen: its answers (palette pictures only),
// its settings block and the options pane driving what codecs write.
#include "gif_codec.h"
#include "hazelfmt_pane_model.h"

#include "pixmill/cv_image.h"
#include "pixmill/format_plugin.h"
#include "pixmill/pane.h"
#include "support/pane_model_checks.h"
#include "support/plugin_library.h"
#include "support/stored_block.h"
#include "support/test_host.h"
#include "support/test_pane_site.h"
#include "web_test_support.h"

#include <QCheckBox>
#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace pixmill;
using namespace pixmill::hazel;
using namespace pixmill::test;

namespace {

const char* const kLibrary = PIXMILL_BIN_DIR "/Formats/hazelfmt.so";

class HazelLibrary : public testing::Test {
  protected:
    static void SetUpTestSuite() { EnsureApplication(); }
};

bool Interlaced(const ByteVector& file) {
    // The first image descriptor follows the screen (13 bytes) and the colour table.
    const size_t table = (file[10] & 0x80) != 0 ? 3u << ((file[10] & 7) + 1) : 0;
    size_t at = 13 + table;
    while (at < file.size() && file[at] == 0x21) { // extensions
        at += 2;
        while (at < file.size() && file[at] != 0) {
            at += file[at] + 1;
        }
        ++at;
    }
    return at + 9 < file.size() && file[at] == 0x2C && (file[at + 9] & 0x40) != 0;
}

} // namespace

TEST_F(HazelLibrary, AnswersSettingsAndPane) {
    TestHost host;
    {
        PluginLibrary library(kLibrary);
        ASSERT_NE(library.handle, nullptr) << dlerror();
        CFormatPlugin* format = library.Format(host.get());
        ASSERT_NE(format, nullptr);
        EXPECT_STREQ(format->GetName(false), "GIF");
        EXPECT_STREQ(format->GetExtensions(), "*.gif");
        ASSERT_EQ(format->GetSignatureSize(), 6);
        EXPECT_TRUE(format->Recognize(reinterpret_cast<const uint8_t*>("GIF87a")));
        EXPECT_TRUE(format->Recognize(reinterpret_cast<const uint8_t*>("GIF89a")));
        EXPECT_FALSE(format->Recognize(reinterpret_cast<const uint8_t*>("GIF90a")));
        EXPECT_EQ(format->GetCapabilities(), CapOptionsPane | CapCanSave);
        EXPECT_EQ(format->GetSaveModes(), 0x0F) << "24-bit pictures are converted to a palette";
        CVImage image(host.get());
        MakeKindImage(image, EveryKind()[5], 8, 8);
        EXPECT_FALSE(format->CanSave(&image));
        MakeKindImage(image, EveryKind()[4], 64, 48);
        EXPECT_TRUE(format->CanSave(&image));
        const CodecMaker make = [format] { return format->CreateCodec(); };
        EXPECT_FALSE(Interlaced(WriteWith(make, host.get(), image)));

        TestPaneSite site;
        site.image = &image;
        CPluginPane* pane = format->CreateOptionsPane(&site);
        pane->Create();
        auto* interlace = site.Find<QCheckBox>(1000);
        auto* transparent = site.Find<QCheckBox>(1001);
        ASSERT_TRUE(interlace && transparent);
        EXPECT_FALSE(interlace->isChecked());
        EXPECT_TRUE(transparent->isChecked()) << "the declared default";
        interlace->click();
        transparent->click();
        EXPECT_EQ(site.changes, 2);
        EXPECT_FALSE(Interlaced(WriteWith(make, host.get(), image)));
        EXPECT_TRUE(pane->Commit());
        EXPECT_TRUE(Interlaced(WriteWith(make, host.get(), image)));
        format->DestroyOptionsPane(pane);
    }
    const auto saved = StoredBlock<GifSettings>(host.settings, kSettingsName);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->interlace, 1);
    EXPECT_EQ(saved->transparent, 0);
}

TEST(HazelPaneModel, FieldsStayInTheirDeclaredRanges) {
    std::mt19937 random(4);
    GifOptionsModel model(GifSettings{9, 200, {}});
    const Fields fields{GifOptionsModel::Interlace, GifOptionsModel::Transparent};
    ExpectInRange(model, fields);
    for (int step = 0; step < 200; ++step) {
        TypeAnything(model, fields, random);
    }
}
