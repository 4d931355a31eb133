// The TIFF library loaded with dlopen: the format's answers, its settings
// block (declared, loaded by GetFormat, saved at unload), codecs made by the
// library, and the options pane with the offscreen Qt platform.
#include "host/streams.h"
#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/pane.h"
#include "support/plugin_library.h"
#include "support/stored_block.h"
#include "support/test_host.h"
#include "support/test_images.h"
#include "support/test_pane_site.h"
#include "tiff_test_files.h"

#include <QGroupBox>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <random>

using namespace pixmill;
using namespace pixmill::test;

namespace {

const char* const kLibrary = PIXMILL_BIN_DIR "/Formats/birchfmt.so";

void StoreChoice(TestHost& host, int32_t choice) {
    StoreBlock(host.settings, "TIFF_Parameters", choice);
}

int32_t StoredChoice(TestHost& host) {
    return StoredBlock<int32_t>(host.settings, "TIFF_Parameters").value_or(-1);
}

// Writes an image through a codec of the library; returns the file.
ByteVector WriteThrough(CFormatPlugin* format, CPluginHost* host, const CVImage& image) {
    CFormatCodec* codec = format->CreateCodec();
    MemoryStream stream(host, 1024, 4096);
    const SIZE size = codec->BeginWrite(&image, nullptr);
    EXPECT_EQ(size.cx, image.Width());
    EXPECT_TRUE(codec->Write(&stream, nullptr, nullptr));
    EXPECT_EQ(static_cast<size_t>(codec->GetWrittenSize()), stream.Length());
    codec->Release();
    return ByteVector(stream.Data(), stream.Data() + stream.Length());
}

} // namespace

TEST(BirchLibrary, FormatAnswersAndSettingsDeclaration) {
    TestHost host;
    PluginLibrary library(kLibrary);
    ASSERT_NE(library.handle, nullptr) << dlerror();
    CFormatPlugin* format = library.Format(host.get());
    ASSERT_NE(format, nullptr);
    EXPECT_STREQ(format->GetName(false), "TIFF");
    EXPECT_STREQ(format->GetName(true), "Tagged Image File Format");
    EXPECT_STREQ(format->GetExtensions(), "*.tif;*.tiff");
    EXPECT_EQ(format->GetSignatureSize(), 2);
    const uint8_t intel[] = {'I', 'I', 43, 0}; // the version is not looked at
    const uint8_t motorola[] = {'M', 'M'};
    const uint8_t mixed[] = {'I', 'M'};
    const uint8_t jpeg[] = {0xFF, 0xD8};
    EXPECT_TRUE(format->Recognize(intel));
    EXPECT_TRUE(format->Recognize(motorola));
    EXPECT_FALSE(format->Recognize(mixed));
    EXPECT_FALSE(format->Recognize(jpeg));
    EXPECT_EQ(format->GetId(), 0);
    EXPECT_EQ(format->GetCapabilities(), 0x30);
    EXPECT_EQ(format->GetSaveModes(), 0x3F | KindRgba32);
    CVImage image(host.get());
    image.Create(3, 3, 24, 0, nullptr);
    EXPECT_TRUE(format->CanSave(&image));
    ImageKindSet kinds{KindAll, 0, 0, 0};
    EXPECT_TRUE(format->AcceptsKinds(&kinds));
    kinds.special = 1;
    EXPECT_FALSE(format->AcceptsKinds(&kinds));

    auto schemaOf = library.Entry<GetSettingsSchemaFn>("GetSettingsSchema");
    ASSERT_NE(schemaOf, nullptr);
    const SettingsBlockSchema* blocks = nullptr;
    ASSERT_EQ(schemaOf(&blocks), 1);
    EXPECT_STREQ(blocks[0].name, "TIFF_Parameters");
    EXPECT_EQ(blocks[0].size, 4u);
    EXPECT_EQ(blocks[0].version, 3);
    ASSERT_EQ(blocks[0].fieldCount, 1u);
    EXPECT_STREQ(blocks[0].fields[0].name, "compressionChoice");
    EXPECT_EQ(blocks[0].fields[0].offset, 0u);
    EXPECT_EQ(blocks[0].fields[0].type, FieldType::I32);
    EXPECT_EQ(blocks[0].fields[0].maximum, 4);
    EXPECT_EQ(blocks[0].fields[0].defaultValue, 0);
}

TEST(BirchLibrary, CodecsOfTheLibraryUseTheStoredChoice) {
    TestHost host;
    StoreChoice(host, 2);
    {
        PluginLibrary library(kLibrary);
        ASSERT_NE(library.handle, nullptr) << dlerror();
        CFormatPlugin* format = library.Format(host.get());
        CVImage image(host.get());
        image.Create(50, 40, 24, 0, nullptr);
        std::mt19937 random(7);
        FillRandom(image, random);
        const ByteVector file = WriteThrough(format, host.get(), image);
        EXPECT_EQ(TagOf(file, TIFFTAG_COMPRESSION), COMPRESSION_PACKBITS);

        CFormatCodec* codec = format->CreateCodec();
        MemoryStream stream(host.get(), file.size(), 4096);
        stream.Write(file.data(), file.size());
        CVImage back(host.get());
        EXPECT_EQ(codec->ReadHeader(&back, &stream, nullptr).cy, 40);
        EXPECT_TRUE(codec->ReadPixels(nullptr));
        EXPECT_TRUE(SamePixels(back, image));
        EXPECT_EQ(static_cast<size_t>(codec->GetWrittenSize()), file.size());

        // The host's error crosses the library to us.
        const uint8_t junk[] = {'M', 'M', 1, 2, 3, 4, 5, 6, 7, 8};
        MemoryStream bad(host.get(), sizeof junk, 16);
        bad.Write(junk, sizeof junk);
        try {
            codec->ReadHeader(&back, &bad, nullptr);
            ADD_FAILURE() << "junk was read";
        } catch (const CVImageError& e) {
            EXPECT_EQ(e.Code(), 1);
        }
        codec->Release();

        StoreChoice(host, 4); // a later GetFormat reloads the stored block
        format = library.Format(host.get());
        image.Create(50, 40, 1, 2, nullptr);
        image.palette[1] = RGBQUAD{255, 255, 255, 0};
        EXPECT_EQ(TagOf(WriteThrough(format, host.get(), image), TIFFTAG_COMPRESSION),
                  COMPRESSION_CCITTRLE);
        host.settings.WriteBinary("Settings", "TIFF_Parameters", Bytes(7, 1));
        format = library.Format(host.get());
        EXPECT_EQ(TagOf(WriteThrough(format, host.get(), image), TIFFTAG_COMPRESSION),
                  COMPRESSION_NONE)
            << "a stored value of the wrong length leaves the default";
    }
    EXPECT_EQ(StoredChoice(host), 0) << "saved when the library unloaded";
}

class BirchPane : public testing::Test {
  protected:
    static void SetUpTestSuite() { EnsureApplication(); }
};

TEST_F(BirchPane, CompressionChoiceFollowsTheImageAndTheUser) {
    TestHost host;
    StoreChoice(host, 3); // CCITT, left from a 1-bit image
    {
        PluginLibrary library(kLibrary);
        ASSERT_NE(library.handle, nullptr) << dlerror();
        CFormatPlugin* format = library.Format(host.get());
        CVImage gray(host.get());
        gray.Create(20, 20, 8, 256, nullptr);
        SetGrayRamp(gray);
        CVImage bilevel(host.get());
        bilevel.Create(20, 20, 1, 2, nullptr);
        bilevel.palette[1] = RGBQUAD{255, 255, 255, 0};

        {
            // Before the host names an image nothing is hidden or switched.
            TestPaneSite empty;
            CPluginPane* early = format->CreateOptionsPane(&empty);
            QWidget* widget = early->Create();
            auto* ccitt = widget->findChild<QRadioButton*>(QStringLiteral("id1003"));
            ASSERT_NE(ccitt, nullptr);
            EXPECT_FALSE(ccitt->isHidden());
            EXPECT_TRUE(ccitt->isChecked());
            format->DestroyOptionsPane(early);
        }

        TestPaneSite site;
        site.image = &gray;
        CPluginPane* pane = format->CreateOptionsPane(&site);
        QWidget* root = pane->Create();
        ASSERT_EQ(root->parentWidget(), &site.parent);
        auto button = [&](int id) {
            return root->findChild<QRadioButton*>(QStringLiteral("id%1").arg(id));
        };
        const char* texts[] = {"&Uncompressed", "&LZW", "&PackBits", "&CCITT", "&Huffman"};
        for (int n = 0; n < 5; ++n) {
            ASSERT_NE(button(1000 + n), nullptr);
            EXPECT_EQ(button(1000 + n)->text(), QString::fromUtf8(texts[n]));
        }
        ASSERT_NE(root->findChild<QGroupBox*>(), nullptr);
        EXPECT_EQ(root->findChild<QGroupBox*>()->title(), QStringLiteral("Compression format"));

        // An 8-bit image: no CCITT, and the stored CCITT choice became LZW.
        EXPECT_TRUE(button(1003)->isHidden());
        EXPECT_TRUE(button(1004)->isHidden());
        EXPECT_FALSE(button(1003)->isChecked());
        EXPECT_TRUE(button(1001)->isChecked());
        EXPECT_EQ(site.changes, 0);
        EXPECT_EQ(TagOf(WriteThrough(format, host.get(), gray), TIFFTAG_COMPRESSION),
                  COMPRESSION_LZW)
            << "the settings switched without a commit";

        button(1002)->click();
        EXPECT_EQ(site.changes, 1);
        EXPECT_EQ(TagOf(WriteThrough(format, host.get(), gray), TIFFTAG_COMPRESSION),
                  COMPRESSION_LZW)
            << "a click alone changes only the pane";
        EXPECT_TRUE(pane->Commit());
        EXPECT_EQ(TagOf(WriteThrough(format, host.get(), gray), TIFFTAG_COMPRESSION),
                  COMPRESSION_PACKBITS);

        // A 1-bit image offers CCITT and Huffman again.
        pane->SetImage(&bilevel);
        EXPECT_FALSE(button(1003)->isHidden());
        EXPECT_FALSE(button(1004)->isHidden());
        EXPECT_TRUE(button(1002)->isChecked());
        button(1003)->click();
        EXPECT_EQ(site.changes, 2);
        EXPECT_TRUE(pane->Commit());
        EXPECT_EQ(TagOf(WriteThrough(format, host.get(), bilevel), TIFFTAG_COMPRESSION),
                  COMPRESSION_CCITTFAX4);

        // Back to a deeper image: CCITT is unchecked, hidden and replaced.
        CVImage color(host.get());
        color.Create(20, 20, 24, 0, nullptr);
        pane->SetImage(&color);
        EXPECT_TRUE(button(1003)->isHidden());
        EXPECT_FALSE(button(1003)->isChecked());
        EXPECT_TRUE(button(1001)->isChecked());
        EXPECT_EQ(site.changes, 2);

        format->DestroyOptionsPane(pane);
        EXPECT_TRUE(site.parent.findChildren<QWidget*>().isEmpty());
    }
    EXPECT_EQ(StoredChoice(host), 1);
}
