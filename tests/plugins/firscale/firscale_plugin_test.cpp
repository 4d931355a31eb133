// The firscale library as the program sees it: loaded with dlopen, reached
// through its entry points, its settings block stored when it unloads, and
// its options pane on the offscreen platform.
#include "resample.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/errors.h"
#include "pixmill/pane.h"
#include "pixmill/processing_plugin.h"
#include "pixmill/up_down.h"
#include "support/plugin_library.h"
#include "support/stored_block.h"
#include "support/test_host.h"
#include "support/test_images.h"
#include "support/test_pane_site.h"

#include <QCheckBox>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <random>

using namespace pixmill;
using namespace pixmill::test;

namespace {

const char* const kLibrary = PIXMILL_BIN_DIR "/Processing/firscale.so";

#pragma pack(push, 1)
struct Block {
    int32_t width;
    int32_t height;
    uint8_t keepAspect;
    uint8_t filter;
    uint8_t reserved[2];
};
#pragma pack(pop)

void Store(TestHost& host, Block block) {
    StoreBlock(host.settings, "Resample", block);
}

Block Stored(TestHost& host) {
    return StoredBlock<Block>(host.settings, "Resample").value_or(Block{});
}

} // namespace

TEST(FirscaleLibrary, EntryPointsSettingsAndTheDirectResample) {
    TestHost host;
    Store(host, Block{300, 200, 1, 0, {}});
    {
        PluginLibrary library(kLibrary);
        ASSERT_NE(library.handle, nullptr) << dlerror();
        auto resampleImage = library.Entry<ResampleImageFn>("ResampleImage");
        auto getProcessing = library.Entry<GetProcessingFn>("GetProcessing");
        auto getSchema = library.Entry<GetSettingsSchemaFn>("GetSettingsSchema");
        ASSERT_NE(resampleImage, nullptr);
        ASSERT_NE(getProcessing, nullptr);
        ASSERT_NE(getSchema, nullptr);

        const SettingsBlockSchema* schema = nullptr;
        ASSERT_EQ(getSchema(&schema), 1);
        EXPECT_STREQ(schema->name, "Resample");
        EXPECT_EQ(schema->size, 12u);
        EXPECT_EQ(schema->version, 3);
        Block defaults{};
        FillDefaults(&defaults, *schema);
        EXPECT_EQ(defaults.width, 100);
        EXPECT_EQ(defaults.height, 100);
        EXPECT_EQ(defaults.keepAspect, 1);
        EXPECT_EQ(defaults.filter, 1) << "new settings get the high-quality filter";

        std::mt19937 random(4);
        CVImage source(host.get());
        source.Create(400, 100, 24, 0, nullptr);
        FillRandom(source, random);
        CVImage result(host.get());
        EXPECT_EQ(resampleImage(&source, &result, nullptr, 10, 10, 0, 0), 0)
            << "nothing happens before the object exists";
        EXPECT_EQ(result.bits, nullptr);

        CProcessingPlugin* plugin = nullptr;
        ASSERT_EQ(getProcessing(host.get(), &plugin), 1);
        ASSERT_NE(plugin, nullptr);
        EXPECT_STREQ(plugin->GetName(false), "Resample");
        EXPECT_STREQ(plugin->GetName(true), "&Resample");
        EXPECT_STREQ(plugin->GetDescription(), "Resample the current image");
        EXPECT_EQ(plugin->GetGroupName(true), nullptr);
        EXPECT_EQ(plugin->GetOperationCount(), 1);
        EXPECT_EQ(plugin->GetFlags(), 0x10 | OpTakesAlpha);
        EXPECT_EQ(plugin->GetKind(), 0);
        EXPECT_TRUE(plugin->CanApply(&source));
        ImageKindSet kinds{KindAll, 0, 0, 0};
        ASSERT_NE(plugin->GetOutputKinds(&kinds), nullptr);
        EXPECT_EQ(plugin->GetOutputKinds(&kinds)->kinds, KindAll);
        kinds.special = 1;
        EXPECT_EQ(plugin->GetOutputKinds(&kinds), nullptr);

        // Apply uses the stored block: 400x100 fitted into 300x200, and a
        // block stored before the filter existed (its byte 0) keeps the
        // area average, byte for byte.
        ASSERT_TRUE(plugin->Apply(&source, &result, nullptr));
        EXPECT_EQ(result.Width(), 300);
        EXPECT_EQ(result.Height(), 75);
        auto sameAs = [&](const CVImage& got, firscale::ResampleFilter filter) {
            CVImage expected(host.get());
            firscale::ResampleRequest request;
            request.width = got.Width();
            request.height = got.Height();
            request.filter = filter;
            firscale::Resample(host.get(), &source, &expected, nullptr, request);
            const bool same = SamePixels(got, expected);
            expected.FreeBits();
            return same;
        };
        EXPECT_TRUE(sameAs(result, firscale::ResampleFilter::AreaAverage));
        // Thumbnails and the program's own pictures: always the high-quality filter.
        CVImage thumbnail(host.get());
        ASSERT_EQ(resampleImage(&source, &thumbnail, nullptr, 120, 30, 0, 0), 1);
        EXPECT_TRUE(sameAs(thumbnail, firscale::ResampleFilter::Lanczos3));
        EXPECT_FALSE(sameAs(thumbnail, firscale::ResampleFilter::AreaAverage));
        thumbnail.FreeBits();

        // The direct entry overrides keepAspect for one call; sides are
        // taken modulo 65536; the stored flag comes back.
        CVImage direct(host.get());
        EXPECT_EQ(resampleImage(&source, &direct, nullptr, 65536 + 50, 20, 0, 0), 1);
        EXPECT_EQ(direct.Width(), 50);
        EXPECT_EQ(direct.Height(), 20);
        try {
            resampleImage(&source, &direct, nullptr, 65536, 20, 1, 0);
            ADD_FAILURE() << "a zero width was accepted";
        } catch (const CVImageError& error) {
            EXPECT_EQ(error.Code(), CVImageError::MismatchedFormat);
        }

        // mayOverwriteSource lets the source's pixels go; the result is the same.
        CVImage scratchCopy(host.get());
        scratchCopy.Create(400, 100, 24, 0, nullptr);
        std::memcpy(scratchCopy.bits, source.bits, source.ImageBytes());
        CVImage viaSource(host.get()), viaWork(host.get());
        EXPECT_EQ(resampleImage(&scratchCopy, &viaSource, nullptr, 123, 45, 0, 1), 1);
        EXPECT_EQ(resampleImage(&source, &viaWork, nullptr, 123, 45, 0, 0), 1);
        EXPECT_TRUE(SamePixels(viaSource, viaWork));

        // ApplyInPlace replaces the record's pixels.
        ASSERT_TRUE(plugin->ApplyInPlace(&source, nullptr));
        EXPECT_EQ(source.Width(), 300);
        result.FreeBits();
        direct.FreeBits();
        source.FreeBits();
        scratchCopy.FreeBits();
        viaSource.FreeBits();
        viaWork.FreeBits();
    }
    const Block saved = Stored(host);
    EXPECT_EQ(saved.width, 300);
    EXPECT_EQ(saved.keepAspect, 1) << "the direct entry's flag was not kept";
}

TEST(FirscalePane, PixelsAndPercentFollowEachOther) {
    EnsureApplication();
    TestHost host;
    Store(host, Block{200, 100, 1, 0, {}});
    {
        PluginLibrary library(kLibrary);
        ASSERT_NE(library.handle, nullptr) << dlerror();
        CProcessingPlugin* plugin = nullptr;
        library.Entry<GetProcessingFn>("GetProcessing")(host.get(), &plugin);

        CVImage image(host.get());
        image.Create(400, 200, 24, 0, nullptr);
        TestPaneSite site;
        site.image = &image;
        CPluginPane* pane = plugin->CreateSettingsPane(&site);
        ASSERT_NE(pane, nullptr);
        QWidget* root = pane->Create();
        ASSERT_NE(root, nullptr);
        auto* width = FindControl<QLineEdit>(root, 1004);
        auto* height = FindControl<QLineEdit>(root, 1006);
        auto* widthPercent = FindControl<QLineEdit>(root, 1010);
        auto* heightPercent = FindControl<QLineEdit>(root, 1011);
        auto* keep = FindControl<QCheckBox>(root, 1018);
        ASSERT_TRUE(width && height && widthPercent && heightPercent && keep);
        EXPECT_EQ(width->text(), "200");
        EXPECT_EQ(widthPercent->text(), "50");
        EXPECT_EQ(heightPercent->text(), "50");
        EXPECT_TRUE(keep->isChecked());
        EXPECT_EQ(site.changes, 0);
        EXPECT_EQ(width->maxLength(), 5);
        EXPECT_EQ(widthPercent->maxLength(), 4);
        auto* upDown = FindControl<CUpDown>(root, 1020);
        ASSERT_NE(upDown, nullptr);
        EXPECT_EQ(upDown->Minimum(), 1);
        EXPECT_EQ(upDown->Maximum(), 32767);
        EXPECT_EQ(FindControl<CUpDown>(root, 1023)->Maximum(), 9999);
        EXPECT_EQ(FindControl<QWidget>(root, 1010)->property("helpId").toInt(), 94);

        // Width in pixels: its percent follows, and the height with the ratio.
        width->setText("100");
        EXPECT_EQ(widthPercent->text(), "25");
        EXPECT_EQ(height->text(), "50");
        EXPECT_EQ(heightPercent->text(), "25");
        EXPECT_EQ(site.changes, 1) << "one change, however many edits it touched";

        // Height in percent: pixels, then the width.
        heightPercent->setText("150");
        EXPECT_EQ(height->text(), "300");
        EXPECT_EQ(width->text(), "600");
        EXPECT_EQ(widthPercent->text(), "150");

        // The up-down steps the edit, and the edit's handling runs.
        upDown->StepBy(1);
        EXPECT_EQ(width->text(), "601");
        EXPECT_EQ(widthPercent->text(), "150");

        // Too large a value is replaced and nothing else changes.
        const int before = site.changes;
        width->setText("40000");
        EXPECT_EQ(width->text(), "32767");
        EXPECT_EQ(site.changes, before);

        // Without the ratio the other side stays.
        keep->setChecked(false);
        EXPECT_EQ(site.changes, before + 1);
        // The stored block predates the filter: the box starts off.
        auto* quality = FindControl<QCheckBox>(root, 1019);
        ASSERT_NE(quality, nullptr);
        EXPECT_FALSE(quality->isChecked());
        EXPECT_EQ(quality->property("helpId").toInt(), 98);
        quality->setChecked(true);
        EXPECT_EQ(site.changes, before + 2);
        width->setText("80");
        EXPECT_EQ(height->text(), "301");
        EXPECT_TRUE(pane->Commit());
        plugin->DestroySettingsPane(pane);
        EXPECT_TRUE(site.parent.findChildren<QWidget*>().isEmpty());

        // Committed values are what Apply uses.
        CVImage result(host.get());
        std::memset(image.bits, 0, image.ImageBytes());
        ASSERT_TRUE(plugin->Apply(&image, &result, nullptr));
        EXPECT_EQ(result.Width(), 80);
        EXPECT_EQ(result.Height(), 301);
        result.FreeBits();
        image.FreeBits();
    }
    EXPECT_EQ(Stored(host).keepAspect, 0);
    EXPECT_EQ(Stored(host).filter, 1);
}

TEST(FirscalePane, WithoutAnImageThePercentControlsAreHidden) {
    EnsureApplication();
    TestHost host;
    PluginLibrary library(kLibrary);
    ASSERT_NE(library.handle, nullptr) << dlerror();
    CProcessingPlugin* plugin = nullptr;
    library.Entry<GetProcessingFn>("GetProcessing")(host.get(), &plugin);
    TestPaneSite site;
    CPluginPane* pane = plugin->CreateSettingsPane(&site);
    QWidget* root = pane->Create();
    site.parent.show();
    for (int id : {1008, 1010, 1021, 1009, 1011, 1023}) {
        ASSERT_NE(FindControl<QWidget>(root, id), nullptr) << id;
        EXPECT_FALSE(FindControl<QWidget>(root, id)->isVisible()) << id;
    }
    EXPECT_TRUE(FindControl<QWidget>(root, 1004)->isVisible());
    FindControl<QLineEdit>(root, 1004)->setText("640");
    FindControl<QLineEdit>(root, 1006)->setText("0");
    EXPECT_EQ(site.changes, 2);
    EXPECT_TRUE(pane->Commit());
    plugin->DestroySettingsPane(pane);

    CVImage image(host.get());
    image.Create(64, 64, 24, 0, nullptr);
    std::memset(image.bits, 0, image.ImageBytes());
    CVImage result(host.get());
    ASSERT_TRUE(plugin->Apply(&image, &result, nullptr));
    EXPECT_EQ(result.Width(), 1) << "640x1 box, ratio kept";
    EXPECT_EQ(result.Height(), 1);
}
