// The built alderfmt.so, loaded as the program loads it: the format's
// answers, its settings block, a save and open through its codecs, and the
// options pane (offscreen Qt).
#include "alderfmt_settings.h"
#include "jpeg_judge.h"
#include "pixmill/entry_points.h"
#include "pixmill/format_plugin.h"
#include "pixmill/pane.h"
#include "support/plugin_library.h"
#include "support/stored_block.h"
#include "support/test_host.h"
#include "support/test_images.h"
#include "support/test_pane_site.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>

using namespace pixmill;
using namespace pixmill::alder;
using namespace pixmill::test;

namespace {

const char* const kLibrary = PIXMILL_BIN_DIR "/Formats/alderfmt.so";

JpegSettings Stored(TestHost& host) {
    const auto stored = StoredBlock<JpegSettings>(host.settings, kSettingsName);
    EXPECT_TRUE(stored.has_value());
    return stored.value_or(JpegSettings{});
}

void Store(TestHost& host, const JpegSettings& settings) {
    StoreBlock(host.settings, kSettingsName, settings);
}

} // namespace

TEST(AlderfmtLibrary, FormatAnswers) {
    TestHost host;
    PluginLibrary library(kLibrary);
    ASSERT_NE(library.handle, nullptr) << dlerror();
    CFormatPlugin* format = library.Format(host.get());
    ASSERT_NE(format, nullptr);
    EXPECT_STREQ(format->GetName(false), "JPEG");
    EXPECT_STREQ(format->GetName(true), "JPEG");
    EXPECT_STREQ(format->GetExtensions(), "*.jpg;*.jif;*.jpeg;*.jfif;*.jpe");
    EXPECT_EQ(format->GetSignatureSize(), 3);
    const uint8_t jpeg[] = {0xFF, 0xD8, 0xFF}, other[] = {0xFF, 0xD8, 0x00},
                  tiff[] = {'I', 'I', 42};
    EXPECT_TRUE(format->Recognize(jpeg));
    EXPECT_FALSE(format->Recognize(other));
    EXPECT_FALSE(format->Recognize(tiff));
    EXPECT_EQ(format->GetId(), 0);
    EXPECT_EQ(format->GetCapabilities(), 0x71);
    EXPECT_EQ(format->GetSaveModes(), 0x14);

    CVImage image(host.get());
    image.Create(4, 4, 24, 0, nullptr);
    EXPECT_TRUE(format->CanSave(&image));
    image.Create(4, 4, 8, 256, nullptr);
    MakeGrey(image);
    EXPECT_TRUE(format->CanSave(&image));
    image.palette[200].rgbBlue = 7;
    EXPECT_FALSE(format->CanSave(&image)) << "one coloured entry";
    image.Create(4, 4, 4, 16, nullptr);
    EXPECT_FALSE(format->CanSave(&image));
    image.Create(4, 4, 1, 2, nullptr);
    EXPECT_FALSE(format->CanSave(&image));

    for (uint16_t kinds : {0x04, 0x10, 0x14, 0x1F, 0x05}) {
        ImageKindSet set{kinds, 0, 0, 0};
        EXPECT_TRUE(format->AcceptsKinds(&set)) << kinds;
        set.special = 1;
        EXPECT_FALSE(format->AcceptsKinds(&set)) << kinds;
    }
    for (uint16_t kinds : {0x01, 0x02, 0x08, 0x0B}) {
        ImageKindSet set{kinds, 0, 0, 0};
        EXPECT_FALSE(format->AcceptsKinds(&set)) << kinds;
    }

    const SettingsBlockSchema* blocks = nullptr;
    ASSERT_EQ(library.Entry<GetSettingsSchemaFn>("GetSettingsSchema")(&blocks), 2);
    EXPECT_STREQ(blocks[1].name, "JPEG_Target");
    EXPECT_EQ(blocks[1].size, 16u);
    EXPECT_EQ(FindField(blocks[1], "targetBytes")->defaultValue, 0);
    EXPECT_STREQ(blocks->name, "JPEG_Parameters");
    EXPECT_EQ(blocks->size, 16u);
    EXPECT_EQ(blocks->version, 3);
    const SettingsField* sharpen = FindField(*blocks, "sharpen");
    ASSERT_NE(sharpen, nullptr);
    EXPECT_EQ(sharpen->offset, 12u);
    EXPECT_EQ(sharpen->maximum, 100);
    EXPECT_EQ(FindField(*blocks, "lockSliders")->offset, 10u);
}

TEST(AlderfmtLibrary, SavesWithStoredSettingsAndReadsBack) {
    TestHost host;
    JpegSettings stored{};
    stored.luminance = 255;
    stored.chrominance = 200;
    stored.progressive = 1;
    Store(host, stored);
    {
        PluginLibrary library(kLibrary);
        CFormatPlugin* format = library.Format(host.get());
        CVImage image(host.get());
        image.Create(50, 30, 24, 0, nullptr);
        FillPicture(image, 21);
        CFormatCodec* codec = format->CreateCodec();
        ASSERT_NE(codec, nullptr);
        codec->FreeWorkBuffer();
        const int offset = 0;
        const SIZE size = codec->BeginWrite(&image, &offset);
        EXPECT_EQ(size.cx, 50);
        MemoryStream stream(host.get(), image.ImageBytes() / 3 + 1024,
                            image.ImageBytes() / 6 + 256);
        ASSERT_TRUE(codec->Write(&stream, nullptr, nullptr));
        EXPECT_EQ(codec->GetWrittenSize(), static_cast<int>(stream.Length()));
        codec->FreeWorkBuffer();
        codec->Release();
        const auto file = StreamBytes(stream);
        const JudgedImage judged = JudgeDecode(file);
        ASSERT_TRUE(judged.ok);
        EXPECT_TRUE(judged.progressive);
        EXPECT_EQ(judged.quant[0][63], 255) << "level 255 from the stored settings";

        CVImage read(host.get());
        codec = format->CreateCodec();
        stream.Seek(0, CVStream::FromStart);
        const SIZE header = codec->ReadHeader(&read, &stream, nullptr);
        EXPECT_EQ(header.cx, 50);
        EXPECT_EQ(header.cy, 30);
        EXPECT_TRUE(codec->ReadPixels(nullptr));
        codec->Release();
        EXPECT_EQ(read.Width(), 50);
        EXPECT_GT(Psnr(judged, read), 40.0) << "what we read is what libjpeg reads";
    }
    // Unloading saved the block unchanged.
    const JpegSettings saved = Stored(host);
    EXPECT_EQ(saved.luminance, 255);
    EXPECT_EQ(saved.progressive, 1);
}

namespace {} // namespace

TEST(AlderfmtLibrary, OptionsPane) {
    EnsureApplication();
    TestHost host;
    JpegSettings stored{};
    stored.luminance = 40;
    stored.chrominance = 90;
    stored.sharpen = 10;
    Store(host, stored);
    PluginLibrary library(kLibrary);
    CFormatPlugin* format = library.Format(host.get());
    CVImage colour(host.get()), grey(host.get());
    colour.Create(8, 8, 24, 0, nullptr);
    grey.Create(8, 8, 8, 256, nullptr);
    MakeGrey(grey);
    TestPaneSite site;
    site.image = &colour;
    CPluginPane* pane = format->CreateOptionsPane(&site);
    ASSERT_NE(pane, nullptr);
    QWidget* widget = pane->Create();
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), &site.parent);
    auto find = [&](const char* id) { return widget->findChild<QWidget*>(QString("id") + id); };
    auto* lumEdit = qobject_cast<QLineEdit*>(find("1000"));
    auto* chromEdit = qobject_cast<QLineEdit*>(find("1002"));
    auto* lumSlider = qobject_cast<QSlider*>(find("1005"));
    auto* chromSlider = qobject_cast<QSlider*>(find("1006"));
    auto* progressive = qobject_cast<QCheckBox*>(find("1004"));
    auto* lock = qobject_cast<QCheckBox*>(find("1007"));
    auto* smoothing = qobject_cast<QCheckBox*>(find("1008"));
    auto* sharpen = qobject_cast<QSpinBox*>(find("1011"));
    ASSERT_TRUE(lumEdit && chromEdit && lumSlider && chromSlider && progressive && lock &&
                smoothing && sharpen);
    EXPECT_NE(find("1010"), nullptr) << "the sharpen edit";
    EXPECT_EQ(site.changes, 0) << "filling is not a change";
    EXPECT_EQ(lumEdit->text(), "40");
    EXPECT_EQ(lumSlider->value(), 40);
    EXPECT_EQ(chromSlider->value(), 90);
    EXPECT_EQ(lumSlider->maximum(), 255);
    EXPECT_EQ(lumSlider->pageStep(), 16);
    EXPECT_EQ(sharpen->value(), 10);
    EXPECT_EQ(sharpen->maximum(), 100);
    EXPECT_TRUE(smoothing->isHidden());
    EXPECT_EQ(lumEdit->maxLength(), 3);

    // Typed values clamp; the slider follows.
    lumEdit->setText("300");
    EXPECT_EQ(lumEdit->text(), "255");
    EXPECT_EQ(lumSlider->value(), 255);
    EXPECT_EQ(site.changes, 1);
    lumEdit->setText("");
    EXPECT_EQ(lumSlider->value(), 0) << "empty text is 0";
    EXPECT_EQ(site.changes, 2);
    chromSlider->setValue(120);
    EXPECT_EQ(chromEdit->text(), "120");
    EXPECT_EQ(site.changes, 3);

    // Locking notifies nothing; then either level moves both.
    lock->setChecked(true);
    EXPECT_EQ(site.changes, 3);
    lumSlider->setValue(77);
    EXPECT_EQ(lumEdit->text(), "77");
    EXPECT_EQ(chromEdit->text(), "77");
    EXPECT_EQ(chromSlider->value(), 77);
    EXPECT_EQ(site.changes, 4) << "one change reported for the pair";
    chromEdit->setText("12");
    EXPECT_EQ(lumSlider->value(), 12);
    EXPECT_EQ(site.changes, 5);

    progressive->setChecked(true);
    EXPECT_EQ(site.changes, 6);
    sharpen->setValue(55);
    EXPECT_EQ(site.changes, 7);

    // Grey pictures have no chrominance to set.
    EXPECT_TRUE(chromSlider->isEnabled());
    pane->SetImage(&grey);
    EXPECT_FALSE(chromSlider->isEnabled());
    EXPECT_FALSE(chromEdit->isEnabled());
    EXPECT_TRUE(lumSlider->isEnabled());
    pane->SetImage(&colour);
    EXPECT_TRUE(chromEdit->isEnabled());
    EXPECT_EQ(site.changes, 7);

    // The largest file: a byte count of up to ten digits.
    auto* budget = qobject_cast<QLineEdit*>(find("1012"));
    ASSERT_NE(budget, nullptr);
    EXPECT_EQ(budget->text(), "0");
    budget->setText("25000");
    EXPECT_EQ(site.changes, 8);

    // The web encoding re-runs the preview.
    auto* web = qobject_cast<QCheckBox*>(find("1013"));
    ASSERT_NE(web, nullptr);
    EXPECT_FALSE(web->isChecked());
    web->setChecked(true);
    EXPECT_EQ(site.changes, 9);

    EXPECT_TRUE(pane->Commit());
    format->DestroyOptionsPane(pane);
    EXPECT_TRUE(site.parent.findChildren<QWidget*>().isEmpty()) << "the pane's widgets go with it";
    library.Close();
    const auto target = StoredBlock<JpegTargetSettings>(host.settings, "JPEG_Target");
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->targetBytes, 25000);
    const JpegSettings saved = Stored(host);
    EXPECT_EQ(saved.luminance, 12);
    EXPECT_EQ(saved.chrominance, 12);
    EXPECT_EQ(saved.progressive, 1);
    EXPECT_EQ(saved.lockSliders, 1);
    EXPECT_EQ(saved.sharpen, 55);
    EXPECT_EQ(saved.web, 1);
}
