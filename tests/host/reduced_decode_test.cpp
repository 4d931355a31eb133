// Reduced-size JPEG decoding before a shrinking first operation, with the
// program's own plug-ins: the scale chosen from the target alone, only a
// resample to a box qualifies, and on the desktop photographs the reduced
// path lands within 40 dB of the exact one at the exact one's size.
#include "host/image_pipeline.h"
#include "host/plugin_manager.h"
#include "host/reduced_decode.h"
#include "host/settings_store.h"
#include "host/streams.h"
#include "pixmill/format_plugin.h"
#include "pixmill/processing_plugin.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

using namespace pixmill;
using namespace pixmill::test;

namespace {

struct ResampleRecord { // the stored "Resample" block
    int32_t width, height;
    uint8_t keepAspect, filter, reserved[2];
};

class ReducedDecode : public ::testing::Test {
  protected:
    // The plug-ins read their settings when they load: 800 pixels wide.
    void Load(int width) {
        plugins.reset(); // unloading stores the plug-ins' settings
        WriteRecord(host.settings, "Resample", ResampleRecord{width, 32767, 1, 1, {0, 0}});
        plugins = std::make_unique<PluginManager>(host.get());
        plugins->LoadFormats(PIXMILL_BIN_DIR "/Formats/");
        plugins->LoadProcessing(PIXMILL_BIN_DIR "/Processing/");
        resample = ImagePipeline::FindOperation(*plugins, "Resample");
        ASSERT_NE(resample, 0);
    }
    TestHost host;
    std::unique_ptr<PluginManager> plugins;
    int resample = 0;
};

double Psnr(const CVImage& a, const CVImage& b) {
    double squares = 0;
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width() * 3; ++x) {
            const double d = a.Row(y)[x] - b.Row(y)[x];
            squares += d * d;
        }
    }
    const double mean = squares / (3.0 * a.Width() * a.Height());
    return mean == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mean);
}

} // namespace

TEST(ReducedDecodeScale, ChosenFromTheTargetAlone) {
    struct Case {
        SIZE stored, target;
        int scale;
    };
    for (const Case c : {
             Case{{5184, 3456}, {800, 533}, 4},  // 1296 x 864 still covers it
             Case{{1600, 1203}, {800, 602}, 1},  // 602 rows from 601.5: half a pixel off
             Case{{1600, 1203}, {400, 301}, 1},  // a quarter pixel is still too far
             Case{{1680, 1050}, {150, 94}, 2},   // 1/8 and 1/4 stretch the rows too far
             Case{{1410, 793}, {800, 450}, 1},   // 705 pixels would be too few
             Case{{2560, 1600}, {150, 94}, 8},   // a thumbnail
             Case{{2560, 1600}, {320, 201}, 4},  // 200 rows at 1/8: one short
             Case{{100, 100}, {0, 0}, 1},        // no target
         }) {
        EXPECT_EQ(ChooseDecodeScale(c.stored, c.target), c.scale)
            << c.stored.cx << " x " << c.stored.cy << " to " << c.target.cx << " x " << c.target.cy;
    }
}

TEST_F(ReducedDecode, OnlyAResampleToABoxDecodesReduced) {
    Load(800);
    // A JPEG picture three times the target's width, made by the program.
    const std::string dir = std::filesystem::temp_directory_path() / "pixmill-reduced-XXXXXX";
    std::string path = dir;
    ASSERT_NE(mkdtemp(path.data()), nullptr);
    const std::string jpeg = path + "/wide.jpg";
    {
        CVImage image(host.get());
        image.Create(2400, 1000, 24, 0, nullptr);
        for (int y = 0; y < 1000; ++y) {
            for (int x = 0; x < 2400; ++x) {
                SetPixelAt(image, x, y, static_cast<uint32_t>((x / 10) << 16 | (y / 4) << 8 | 90));
            }
        }
        ImageDoc doc(*host, *plugins);
        doc.TakeImage(image, plugins->FindFormatByExtension("a.jpg"));
        ASSERT_TRUE(doc.OnSaveDocument(jpeg)) << doc.LastError();
    }
    FileStream stream(jpeg, FileStream::ForReading);
    CFormatPlugin* format = plugins->DetectFormat(&stream);
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(JpegFrameSize(stream).cx, 2400);
    int qualified = 0;
    for (int i = 0; i < plugins->ProcessorCount(); ++i) {
        for (int j = 0; j < plugins->OperationCountOf(i); ++j) {
            const int command = plugins->FirstCommandOf(i) + j;
            CProcessingPlugin* operation = plugins->SelectOperation(command);
            const SIZE reduced = ReducedDecodeSize(host.get(), format, stream, operation);
            if (command == resample) {
                EXPECT_EQ(reduced.cx, 1200) << "2400 to 800: a half still covers it";
                EXPECT_EQ(reduced.cy, 500);
            } else {
                EXPECT_EQ(reduced.cx, 0) << operation->GetName(false) << " keeps the full decode";
            }
            qualified += reduced.cx > 0 ? 1 : 0;
        }
    }
    EXPECT_EQ(qualified, 1);
    // A format without scaled decoding never qualifies.
    EXPECT_EQ(ReducedDecodeSize(host.get(), plugins->FindFormatByExtension("a.tif"), stream,
                                plugins->SelectOperation(resample))
                  .cx,
              0);
    std::filesystem::remove_all(path);
}

// The desktop photographs (the mate-backgrounds package) to 800 and to 150
// pixels wide: the reduced path keeps the exact path's size and stays above
// 40 dB PSNR; it is another path exactly where the picture is at least
// twice the target.
TEST_F(ReducedDecode, PhotographsStayWithin40Decibels) {
    const char* folder = "/usr/share/backgrounds/mate/nature/";
    if (!std::filesystem::exists(folder)) {
        GTEST_SKIP() << "the mate-backgrounds photographs are not installed";
    }
    for (const int width : {800, 150}) {
        Load(width);
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string photo = entry.path().string();
            CVImage results[2] = {CVImage(host.get()), CVImage(host.get())};
            for (int reduced = 0; reduced < 2; ++reduced) {
                ImagePipeline pipeline(*host, *plugins, nullptr);
                pipeline.SetReducedDecode(reduced != 0);
                const ImagePipeline::Step step{resample, "Resample"};
                ASSERT_TRUE(pipeline.Open(photo, &step)) << pipeline.Error();
                ASSERT_TRUE(pipeline.Apply(step)) << pipeline.Error();
                CVImage::CopyImage(&results[reduced], &pipeline.Document().Image(), nullptr);
            }
            ASSERT_EQ(results[1].Width(), results[0].Width()) << photo;
            ASSERT_EQ(results[1].Height(), results[0].Height()) << photo;
            const double psnr = Psnr(results[0], results[1]);
            std::printf("%-20s to %3d px: PSNR %5.1f dB\n", entry.path().filename().c_str(), width,
                        psnr);
            EXPECT_GE(psnr, 40.0) << photo << " to " << width;
            FileStream stream(photo, FileStream::ForReading);
            const SIZE stored = JpegFrameSize(stream);
            const bool reducible = ChooseDecodeScale(stored, {results[0].Width(),
                                                              results[0].Height()}) > 1;
            EXPECT_EQ(psnr < 99.0, reducible) << photo << " to " << width;
        }
    }
}
