// Batch runs over the real plug-ins: outputs, thumbnails, the log byte for
// byte, skipping, cancelling, failing sources, a destination library and a
// log that cannot be created.
#include "batch/batch_file_dest.h"
#include "batch/batch_file_source.h"
#include "batch/batch_run.h"
#include "batch/thumbnail_maker.h"
#include "batch_fixture.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"

namespace pixmill::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kStart = "Start batch processing...\r\n\r\n";

std::string FinishText(int processed, int unprocessed) {
    return "\r\nFinish batch processing\r\n\r\nThe number of successfuly processed images : " +
           std::to_string(processed) +
           "\r\nThe number of unprocessed images : " + std::to_string(unprocessed) + "\r\n";
}

class BatchRunTest : public BatchFixture {
  protected:
    // The file source over files of the folder, the file destination into out/.
    BatchRun& NewRun(const std::vector<std::string>& names) {
        BatchJob& job = Job();
        job.LoadSourcesAndDestinations(dir);
        job.SetLogFileName(dir + "run.log");
        std::vector<std::string> paths;
        for (const std::string& name : names) {
            paths.push_back(dir + name);
        }
        job.FileSource().SetFiles(paths);
        fs::create_directory(dir + "out");
        job.FileDest().path = dir + "out/";
        run = std::make_unique<BatchRun>(job, &job.FileSource(), job.DestinationAt(0));
        return *run;
    }
    std::string Log() { return ReadFile(dir + "run.log"); }
    std::vector<std::string> Outputs() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir + "out")) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    void TearDown() override {
        run.reset();
        BatchFixture::TearDown();
    }
    std::unique_ptr<BatchRun> run;
};

TEST_F(BatchRunTest, TiffToJpegWithThumbnailAndTheLog) {
    MakeImage("photo.tif", 120, 80);
    MakeImage("second.tif", 30, 60, 2);
    BatchRun& batch = NewRun({"photo.tif", "second.tif"});
    Job().SelectFormat("JPEG");
    Job().FileDest().isThumbnail = 1; // default thumbnail settings
    ASSERT_TRUE(batch.Start());
    std::vector<std::string> statuses;
    EXPECT_EQ(batch.ApplyToAll([&](const std::string& s) { statuses.push_back(s); }, {}),
              BatchRun::AppliedToAll);
    EXPECT_EQ(Outputs(), (std::vector<std::string>{"photo.jpg", "photo_Thumb.jpg", "second.jpg",
                                                   "second_Thumb.jpg"}));
    EXPECT_EQ(SizeOf(dir + "out/photo.jpg").cx, 120);
    const SIZE thumb = SizeOf(dir + "out/photo_Thumb.jpg");
    EXPECT_EQ(thumb.cx, 100);
    EXPECT_EQ(thumb.cy, 67);
    EXPECT_EQ(SizeOf(dir + "out/second_Thumb.jpg").cy, 100);
    EXPECT_EQ(Log(),
              std::string("The number of selected images : 2\r\n\r\n") + kStart + FinishText(2, 0));
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0].rfind("Process Image 2 of Total 2   Time Left ", 0), 0u);
}

TEST_F(BatchRunTest, EveryChosenFormatGetsItsFiles) {
    MakeImage("photo.tif", 40, 30);
    BatchRun& batch = NewRun({"photo.tif"});
    Job().SelectFormat("JPEG");
    Job().SelectFormat("TIFF");
    Job().FileDest().isThumbnail = 1;
    ASSERT_TRUE(batch.Start());
    EXPECT_EQ(batch.Outputs().size(), 2u);
    batch.ApplyToAll({}, {});
    EXPECT_EQ(batch.Processed(), 1);
    EXPECT_EQ(Outputs(), (std::vector<std::string>{"photo.jpg", "photo.tif", "photo_Thumb.jpg",
                                                   "photo_Thumb.tif"}));
    // The smart cut's preview covers the box, uncut.
    ThumbnailSettings box;
    EXPECT_EQ(SmartCutPreviewSize(*host, 400, 100, box).cx, 400);
    EXPECT_EQ(SmartCutPreviewSize(*host, 100, 400, box).cy, 400);
    EXPECT_EQ(SmartCutPreviewSize(*host, 40, 10, box).cy, 100);
}

// Names that differ only in case, or that end up the same, are kept apart
// with a number and a log line; a picture's own formats share its stem.
TEST_F(BatchRunTest, OutputNamesOfOneRunNeverCollide) {
    MakeImage("Dune.tif", 40, 30, 1);
    MakeImage("dune.TIF", 50, 30, 2);
    MakeImage("dune.b.tif", 60, 30, 3);
    MakeImage("dune-2.tif", 70, 30, 4);
    BatchRun& batch = NewRun({"Dune.tif", "dune.TIF", "dune.b.tif", "dune-2.tif"});
    Job().SelectFormat("JPEG");
    Job().SelectFormat("TIFF");
    Job().FileDest().isThumbnail = 1;
    ASSERT_TRUE(batch.Start());
    batch.ApplyToAll({}, {});
    EXPECT_EQ(batch.Processed(), 4);
    std::vector<std::string> expected;
    for (const char* stem : {"Dune", "dune-2", "dune-3", "dune-2-2"}) {
        for (const char* suffix : {".jpg", ".tif", "_Thumb.jpg", "_Thumb.tif"}) {
            expected.push_back(std::string(stem) + suffix);
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Outputs(), expected);
    EXPECT_EQ(SizeOf(dir + "out/dune-2.jpg").cx, 50);
    EXPECT_EQ(SizeOf(dir + "out/dune-3.tif").cx, 60);
    EXPECT_EQ(SizeOf(dir + "out/dune-2-2.jpg").cx, 70);
    const std::string log = Log();
    EXPECT_NE(log.find("dune.jpg is the name of another picture of this run: saved as "
                       "dune-2.jpg\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("saved as dune-2-2.jpg"), std::string::npos);

    // A second run into the same folder replaces its files, numbered alike.
    BatchRun& again = NewRun({"Dune.tif", "dune.TIF"});
    ASSERT_TRUE(again.Start());
    again.ApplyToAll({}, {});
    EXPECT_EQ(Outputs(), expected);
}

TEST_F(BatchRunTest, CopyingTheOriginalBytesAndTheThumbnailEnhancement) {
    MakeImage("photo.jpg", 64, 48);
    struct Case {
        const char* format;
        int enhance;
        const char* thumbnail;
    };
    size_t sizes[3] = {};
    const Case cases[3] = {{"TIFF", 0, "photo_Thumb.tif"},
                           {"JPEG", 0, "photo_Thumb.jpg"},
                           {"JPEG", -100, "photo_Thumb.jpg"}};
    for (int i = 0; i < 3; ++i) {
        run.reset();
        fs::remove_all(dir + "out");
        BatchRun& batch = NewRun({"photo.jpg"});
        Job().SelectFormat(cases[i].format);
        BatchFileDest& dest = Job().FileDest();
        dest.isThumbnail = 1;
        dest.mainImageMode = MainCopySource;
        dest.thumbnail.enhance = cases[i].enhance;
        ASSERT_TRUE(batch.Start());
        batch.ApplyToAll({}, {});
        EXPECT_EQ(batch.Processed(), 1) << Log();
        // The main file keeps the original's bytes and extension.
        EXPECT_EQ(ReadFile(dir + "out/photo.jpg"), ReadFile(dir + "photo.jpg"));
        sizes[i] = ReadFile(dir + "out/" + cases[i].thumbnail).size();
        EXPECT_GT(sizes[i], 0u) << cases[i].thumbnail;
    }
    EXPECT_NE(sizes[1], sizes[2]) << "the enhancement reaches the thumbnail's codec";
}

// Images that come as records (content kind 1) from a source of the test.
class RecordSource : public BatchSource {
  public:
    explicit RecordSource(CPluginHost* host) : image(host) { image.Create(20, 10, 24, 0, nullptr); }
    const char* GetName() override { return "Records"; }
    QWidget* CreatePage(QWidget*, const RECT&) override { return nullptr; }
    void Attach(BatchHost*) override {}
    BatchItem* NextItem(CVStream*) override {
        if (next == 2) {
            return nullptr;
        }
        names[next] = "record" + std::to_string(next) + ".raw";
        item = BatchItem{next, names[next].c_str(), &image, 0};
        ++next;
        return &item;
    }
    void ReleaseItem(bool) override { ++released; }
    void Help(QWidget*) override {}
    int GetCount() override { return 2; }
    int GetContentKind() override { return ContentImage; }
    CVImage image;
    BatchItem item;
    std::string names[2];
    int next = 0;
    int released = 0;
};

TEST_F(BatchRunTest, ImageRecordsFromASource) {
    BatchRun& unused = NewRun({});
    (void)unused;
    RecordSource source(host.get());
    Job().SelectFormat("TIFF");
    BatchRun batch(Job(), &source, Job().DestinationAt(0));
    ASSERT_TRUE(batch.Start());
    EXPECT_EQ(batch.ApplyToAll({}, {}), BatchRun::AppliedToAll);
    EXPECT_EQ(Outputs(), (std::vector<std::string>{"record0.tif", "record1.tif"}));
    EXPECT_EQ(source.released, 2);
}

TEST_F(BatchRunTest, ThumbnailsOnlyAndSmartCut) {
    MakeImage("wide.tif", 400, 100);
    BatchRun& batch = NewRun({"wide.tif"});
    Job().SelectFormat("JPEG");
    BatchFileDest& dest = Job().FileDest();
    dest.isThumbnail = 1;
    dest.mainImageMode = MainThumbnailsOnly;
    dest.thumbnail = ThumbnailSettings{60, 60, 1, 0, 1, 50, 0};
    dest.thumbName = "-t";
    ASSERT_TRUE(batch.Start());
    batch.ApplyToAll({}, {});
    EXPECT_EQ(Outputs(), std::vector<std::string>{"wide-t.jpg"});
    const SIZE size = SizeOf(dir + "out/wide-t.jpg");
    EXPECT_EQ(size.cx, 60);
    EXPECT_EQ(size.cy, 60);
}

TEST_F(BatchRunTest, EveryImageFailing) {
    WriteFile("notes.txt", "not a picture");
    // Longer than every format's signature, so that it is recognised, and cut short.
    WriteFile("broken.jpg", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0\1\1\0\0\1", 16));
    BatchRun& batch = NewRun({"notes.txt", "broken.jpg", "gone.tif"});
    EXPECT_FALSE(batch.Start());
    EXPECT_EQ(batch.Code(), BatchRun::NothingLoaded);
    const std::string log = Log();
    const std::string head = std::string("The number of selected images : 3\r\n\r\n") + kStart +
                             "Can`t recognize notes.txt file format\r\nbroken.jpg open error : ";
    EXPECT_EQ(log.substr(0, head.size()), head) << log;
    EXPECT_NE(log.find("gone.tif open error : The system cannot find the file"), std::string::npos)
        << log;
    EXPECT_EQ(log.substr(log.size() - FinishText(0, 3).size()), FinishText(0, 3));
    EXPECT_TRUE(Outputs().empty());
}

TEST_F(BatchRunTest, SkippingAndSavingStepByStep) {
    MakeImage("a.tif", 10, 10);
    MakeImage("b.tif", 10, 10);
    WriteFile("c.txt", "x");
    MakeImage("d.tif", 10, 10);
    BatchRun& batch = NewRun({"a.tif", "b.tif", "c.txt", "d.tif"});
    ASSERT_TRUE(batch.Start());
    batch.Skip();
    EXPECT_EQ(batch.Position(), 1);
    EXPECT_TRUE(batch.CropResult(RECT{2, 3, 8, 7}));
    EXPECT_FALSE(batch.CropResult(RECT{0, 0, 0, 0})) << "an empty crop is an error";
    batch.SaveTo(); // no format chosen: b keeps its own format
    EXPECT_EQ(SizeOf(dir + "out/b.tif").cx, 6);
    EXPECT_EQ(batch.Position(), 2);
    EXPECT_EQ(batch.ItemName(), "d.tif") << "c.txt was not an image";
    batch.Skip();
    EXPECT_EQ(batch.Code(), BatchRun::Finished);
    EXPECT_EQ(batch.Processed(), 1);
    EXPECT_EQ(Outputs(), std::vector<std::string>{"b.tif"});
    EXPECT_EQ(Log(), std::string("The number of selected images : 4\r\n\r\n") + kStart +
                         "a.tif is skipped\r\nCropping operation error : " +
                         CVImageError::MessageOf(CVImageError::MismatchedFormat) +
                         " \r\nCan`t recognize c.txt file format\r\n"
                         "d.tif is skipped\r\n" +
                         FinishText(1, 3));
}

TEST_F(BatchRunTest, CancelDuringApplyToAll) {
    for (const char* name : {"1.tif", "2.tif", "3.tif", "4.tif"}) {
        MakeImage(name, 8, 8);
    }
    BatchRun& batch = NewRun({"1.tif", "2.tif", "3.tif", "4.tif"});
    Job().SelectFormat("JPEG");
    ASSERT_TRUE(batch.Start());
    int pumps = 0;
    batch.ApplyToAll({}, [&] {
        if (++pumps == 3) {
            batch.Cancel();
        }
    });
    EXPECT_TRUE(batch.Interrupted());
    EXPECT_EQ(Outputs(), (std::vector<std::string>{"1.jpg", "2.jpg"}));
    const std::string log = Log();
    EXPECT_EQ(log, std::string("The number of selected images : 4\r\n\r\n") + kStart +
                       "Batch processing was interrupted.");
}

TEST_F(BatchRunTest, CancelBetweenFailingImages) {
    MakeImage("1.tif", 8, 8);
    WriteFile("bad.txt", "x");
    MakeImage("2.tif", 8, 8);
    BatchRun& batch = NewRun({"1.tif", "bad.txt", "2.tif"});
    ASSERT_TRUE(batch.Start());
    batch.ApplyToAll({}, [&] { batch.Cancel(); });
    EXPECT_EQ(Outputs(), std::vector<std::string>{"1.tif"});
    EXPECT_EQ(Log(),
              std::string("The number of selected images : 3\r\n\r\n") + kStart +
                  "Can`t recognize bad.txt file format\r\nBatch processing was interrupted.");
}

TEST_F(BatchRunTest, TimeLeftInUnsigned32BitArithmetic) {
    EXPECT_EQ(BatchRun::StatusText(1, 10, 1, 2000),
              "Process Image 2 of Total 10   Time Left 0:0'18''");
    EXPECT_EQ(BatchRun::StatusText(2, 5, 2, 2482000),
              "Process Image 3 of Total 5   Time Left 1:2'3''");
    // 100000 images left after 50 s: the product wraps at 2^32.
    const uint32_t wrapped = static_cast<uint32_t>(100000u * 50000u) / 1000;
    EXPECT_EQ(BatchRun::StatusText(0, 100000, 1, 50000),
              "Process Image 1 of Total 100000   Time Left " + std::to_string(wrapped / 3600) +
                  ":" + std::to_string(wrapped % 3600 / 60) + "'" + std::to_string(wrapped % 60) +
                  "''");
}

TEST_F(BatchRunTest, LogThatCannotBeCreatedTouchesNoImage) {
    MakeImage("a.tif", 8, 8);
    BatchRun& batch = NewRun({"a.tif"});
    Job().SetLogFileName(dir + "no/such/folder/run.log");
    EXPECT_THROW(batch.Start(), CVFileError);
    EXPECT_TRUE(Outputs().empty());
    EXPECT_NE(Job().FileSource().NextItem(nullptr), nullptr) << "still at the first file";
}

TEST_F(BatchRunTest, AFailedWriteKeepsTheFileThatWasThere) {
    // A colour-paletted picture: JPEG cannot store it without a conversion.
    {
        CVImage image(host.get());
        image.Create(8, 8, 8, 256, nullptr);
        RGBQUAD palette[256];
        for (int i = 0; i < 256; ++i) {
            palette[i] = RGBQUAD{static_cast<uint8_t>(i), 0, static_cast<uint8_t>(255 - i), 0};
        }
        image.SetPalette(palette);
        ImageDoc doc(*host, *plugins);
        doc.TakeImage(image, plugins->FindFormatByExtension("x.tif"));
        ASSERT_TRUE(doc.OnSaveDocument(dir + "pal.tif")) << doc.LastError();
    }
    BatchRun& batch = NewRun({"pal.tif"});
    Job().SelectFormat("JPEG");
    WriteFile("out/pal.jpg", "the user's file");
    ASSERT_TRUE(batch.Start());
    batch.ApplyToAll({}, {});
    EXPECT_EQ(ReadFile(dir + "out/pal.jpg"), "the user's file");
    EXPECT_EQ(batch.Processed(), 0);
    EXPECT_NE(Log().find("pal.tif save error : Unsupported image format"), std::string::npos)
        << Log();
    EXPECT_EQ(Outputs(), std::vector<std::string>{"pal.jpg"}) << "no temporary file left";
}

TEST_F(BatchRunTest, DestinationLibraryFromDestinationsFolder) {
    // Sixteen copies: with the built-in one as entry 0, the last is refused.
    fs::create_directories(dir + "tree/Destinations");
    for (int i = 0; i < 16; ++i) {
        fs::copy_file(PIXMILL_TEST_PLUGIN_DIR "/batch/Destinations/test_batch_dest.so",
                      dir + "tree/Destinations/dest" + std::to_string(10 + i) + ".so");
    }
    MakeImage("a.tif", 12, 9);
    MakeImage("b.tif", 5, 5);
    BatchJob& job = Job();
    job.LoadSourcesAndDestinations(dir + "tree/");
    ASSERT_EQ(job.DestinationCount(), 16);
    EXPECT_STREQ(job.DestinationAt(1)->GetName(), "Collector");
    job.SetLogFileName(dir + "run.log");
    job.FileSource().SetFiles({dir + "a.tif", dir + "b.tif"});
    job.SelectFormat("JPEG");
    BatchRun batch(job, &job.FileSource(), job.DestinationAt(1));
    ASSERT_TRUE(batch.Start());
    EXPECT_EQ(batch.ApplyToAll({}, {}), BatchRun::AppliedToAll);
    EXPECT_EQ(Log(), std::string("The number of selected images : 2\r\n\r\n") + kStart +
                         "Collected 2 images\r\n" + FinishText(2, 0));
}

} // namespace
} // namespace pixmill::test

namespace pixmill::test {
namespace {

// Reduced-size JPEG decoding before a shrinking resample: the same result
// size, pixels close to the exact path's, and really another path.
TEST_F(BatchRunTest, FastDecodeKeepsTheSizeAndStaysClose) {
    {
        CVImage image(host.get());
        image.Create(640, 480, 24, 0, nullptr);
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                SetPixelAt(image, x, y,
                           static_cast<uint32_t>((x * 255 / 639) << 16 | (y * 255 / 479) << 8 |
                                                 ((x + y) * 255 / 1118)));
            }
        }
        ImageDoc doc(*host, *plugins);
        doc.TakeImage(image, plugins->FindFormatByExtension("x.jpg"));
        ASSERT_TRUE(doc.OnSaveDocument(dir + "smooth.jpg")) << doc.LastError();
    }
    CVImage results[2] = {CVImage(host.get()), CVImage(host.get())};
    for (int fast = 0; fast < 2; ++fast) {
        run.reset();
        BatchRun& batch = NewRun({"smooth.jpg"});
        Job().SelectFormat("TIFF");
        ASSERT_TRUE(Job().ChooseOperation("Resample")); // 100 x 100 keeping the aspect
        Job().SetFastDecode(fast != 0);
        ASSERT_TRUE(batch.Start());
        batch.ApplyToAll({}, {});
        ASSERT_EQ(batch.Processed(), 1) << Log();
        ImageDoc doc(*host, *plugins);
        ASSERT_TRUE(doc.OnOpenDocument(dir + "out/smooth.tif"));
        CVImage::CopyImage(&results[fast], &doc.Image(), nullptr);
    }
    ASSERT_EQ(results[1].Width(), 100);
    ASSERT_EQ(results[1].Height(), 75);
    EXPECT_FALSE(SamePixels(results[0], results[1])) << "the reduced decoding was used";
    double difference = 0;
    for (int y = 0; y < 75; ++y) {
        for (int x = 0; x < 100; ++x) {
            const uint32_t a = PixelAt(results[0], x, y), b = PixelAt(results[1], x, y);
            for (int shift = 0; shift < 24; shift += 8) {
                difference += std::abs(static_cast<int>(a >> shift & 255) -
                                       static_cast<int>(b >> shift & 255));
            }
        }
    }
    EXPECT_LT(difference / (100 * 75 * 3), 3.0);
}

} // namespace
} // namespace pixmill::test

namespace pixmill::test {
namespace {

// What sources and destinations get from the program: formats, loading with
// a size limit, saving into a stream.
TEST_F(BatchFixture, BatchHostServices) {
    BatchHost& batchHost = Job();
    ASSERT_EQ(batchHost.GetFormatCount(), plugins->FormatCount());
    EXPECT_STREQ(batchHost.GetFormatName(0), plugins->FormatAt(0)->GetName(false));
    EXPECT_EQ(batchHost.GetFormatName(-1), nullptr);
    EXPECT_EQ(batchHost.GetFormatExtensions(batchHost.GetFormatCount()), nullptr);
    EXPECT_EQ(batchHost.GetPluginHost(), host.get());
    MakeImage("big.jpg", 400, 300);
    CVImage image(host.get());
    FileStream file(dir + "big.jpg", FileStream::ForReading);
    SIZE size{100, 100};
    ASSERT_TRUE(batchHost.LoadImage(&file, &image, &size));
    EXPECT_EQ(size.cx, 400) << "the stored size comes back";
    EXPECT_EQ(size.cy, 300);
    EXPECT_LE(image.Width(), 100);
    EXPECT_FALSE(batchHost.LoadImage(nullptr, &image, nullptr));
    MemoryStream memory(host.get(), 1024, 1024);
    int jpeg = 0;
    while (std::string(batchHost.GetFormatName(jpeg)) != "JPEG") {
        ++jpeg;
    }
    ASSERT_TRUE(batchHost.SaveImage(&image, &memory, jpeg, false));
    EXPECT_FALSE(batchHost.SaveImage(&image, &memory, 99, false));
    memory.Seek(0, CVStream::FromStart);
    CVImage again(host.get());
    ASSERT_TRUE(batchHost.LoadImage(&memory, &again, nullptr));
    EXPECT_EQ(again.Width(), image.Width());
    MemoryStream text(host.get(), 16, 16);
    text.Write("plain text here!", 16);
    text.Seek(0, CVStream::FromStart);
    EXPECT_THROW(batchHost.LoadImage(&text, &again, nullptr), CVImageError);
}

} // namespace
} // namespace pixmill::test
