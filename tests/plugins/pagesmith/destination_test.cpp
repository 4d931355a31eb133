// The web-page destination library from build/bin/Destinations/, driven by
// the real batch runner over the program's plug-ins.
#include "../../batch/batch_fixture.h"
#include "batch/batch_file_source.h"
#include "batch/batch_run.h"
#include "host/plugin_manager.h"

#include <dlfcn.h>

namespace pixmill::test {
namespace {

namespace fs = std::filesystem;

class PagesmithRun : public BatchFixture {
  protected:
    // Loads the destination libraries; the web-page one becomes current.
    BatchDestination* Destination() {
        BatchJob& job = Job();
        if (destination == nullptr) {
            job.LoadSourcesAndDestinations(PIXMILL_BIN_DIR "/");
            for (int i = 0; i < job.DestinationCount(); ++i) {
                if (std::string(job.DestinationAt(i)->GetName()) == "HTML pages") {
                    destination = job.DestinationAt(i);
                    setOption = reinterpret_cast<SetBatchDestinationOptionFn>(
                        dlsym(job.DestinationModule(i), "SetBatchDestinationOption"));
                }
            }
        }
        EXPECT_NE(destination, nullptr);
        EXPECT_NE(setOption, nullptr);
        return destination;
    }
    void WriteProfile(const std::string& name, const std::string& text) {
        WriteFile(name, text);
        Destination();
        ASSERT_NE(setOption, nullptr);
        ASSERT_EQ(setOption("profile", (dir + name).c_str()), 1);
    }
    // Images 1.tif .. n.tif through the destination into out/album.htm.
    BatchRun& NewRun(int images) {
        std::vector<std::string> paths;
        for (int i = 1; i <= images; ++i) {
            paths.push_back(
                MakeImage(std::string("P") + std::to_string(i) + ".tif", 40 + i, 30, i));
        }
        return RunOver(paths, {"JPEG"});
    }
    // A run of `paths` in `formats` through the destination into out/album.htm.
    BatchRun& RunOver(const std::vector<std::string>& paths,
                      std::initializer_list<const char*> formats) {
        BatchDestination* dest = Destination();
        EXPECT_EQ(setOption("project", (dir + "out/album.htm").c_str()), 1);
        EXPECT_TRUE(dest->ApplyPage());
        Job().SetLogFileName(dir + "run.log");
        for (const char* format : formats) {
            Job().SelectFormat(format);
        }
        Job().FileSource().SetFiles(paths);
        run = std::make_unique<BatchRun>(Job(), &Job().FileSource(), dest);
        return *run;
    }
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

    BatchDestination* destination = nullptr;
    SetBatchDestinationOptionFn setOption = nullptr;
    std::unique_ptr<BatchRun> run;
};

TEST_F(PagesmithRun, TheSlotsAnswerAsADestinationOfFileNames) {
    BatchDestination* dest = Destination();
    EXPECT_STREQ(dest->GetName(), "HTML pages");
    EXPECT_EQ(dest->GetTargetKind(), TargetFileNames);
    EXPECT_FALSE(dest->Slot5(".png;.JPG;.tif"));
    EXPECT_FALSE(dest->Slot5(".Gif"));
    EXPECT_TRUE(dest->Slot5(".png;.tif;.jpeg"));
    EXPECT_EQ(setOption("unknown", "x"), 0);
    EXPECT_EQ(setOption("profile", (dir + "missing.vhb").c_str()), 0);

    WriteProfile("thumbs.vhb", "[Project settings]\nCreate thumbnail pages\n"
                               "[Thumbnail Cell]\nWidth=64\nHeight=48\nJPEG Enhancement=30\n"
                               "Fit to thumbnail size\nFit style=1\n");
    ASSERT_EQ(setOption("project", (dir + "out/g").c_str()), 1);
    ASSERT_TRUE(dest->ApplyPage());
    EXPECT_TRUE(fs::is_directory(dir + "out")); // the project folder is made
    EXPECT_EQ(dest->GetMainImageMode(), MainEncoded);
    const ThumbnailSettings* thumbnail = dest->GetThumbnailSettings();
    ASSERT_NE(thumbnail, nullptr);
    EXPECT_EQ(thumbnail->width, 64);
    EXPECT_EQ(thumbnail->height, 48);
    EXPECT_EQ(thumbnail->enhance, 30);
    EXPECT_EQ(thumbnail->fitToSize, 1);
    EXPECT_EQ(thumbnail->discardAspectRatio, 1);
    EXPECT_EQ(thumbnail->smartCut, 0);

    // Without zoom images only a thumbnail is named, in lower case, in the
    // project folder as the user wrote it.
    SaveRequest request;
    request.baseName = "Beach";
    request.mainExtension = "jpg";
    request.thumbnailExtension = "JPG";
    request.width = 10;
    request.height = 10;
    const SaveTargets* targets = dest->BeginSave(&request, nullptr);
    ASSERT_NE(targets, nullptr);
    EXPECT_EQ(targets->main, nullptr);
    EXPECT_STREQ(static_cast<const char*>(targets->thumbnail),
                 (dir + "out/beach_thumbnail.jpg").c_str());
    dest->EndSave(false, false);
    dest->Slot11();

    // Neither thumbnails nor zoom images: refused with the message.
    WriteProfile("none.vhb", "[Project settings]\n");
    EXPECT_FALSE(dest->ApplyPage());
    ASSERT_FALSE(host.ui.messages.empty());
    EXPECT_EQ(host.ui.messages.back().text,
              "You must select:\nCreate thumbnail pages or\nZoomed images");
    // A template that is not there keeps the page open.
    WriteProfile("tpl.vhb", "[Project settings]\nCreate thumbnail pages\nThumbnail style=1\n"
                            "Thumbnail template=" +
                                dir + "nothere.htm\n");
    EXPECT_FALSE(dest->ApplyPage());
    EXPECT_EQ(host.ui.messages.back().text, "The file " + dir + "nothere.htm was not found.");
}

TEST_F(PagesmithRun, AWholeRunWritesPicturesAndPages) {
    WriteProfile("p.vhb", "[Project settings]\nCreate thumbnail pages\nCreate zoom pages\n"
                          "Zoom style=1\nCreate content page\nAsk for titles\n"
                          "[Thumbnail table]\nColumns=2\nRows=1\nLimit rows\nInclude title\n"
                          "[Zoom image]\nInclude title\n");
    host.ui.textAnswers = {"Sunset & sea"};
    BatchRun& batch = NewRun(3);
    ASSERT_TRUE(batch.Start());
    EXPECT_EQ(batch.ApplyToAll({}, {}), BatchRun::AppliedToAll);
    EXPECT_EQ(Outputs(), (std::vector<std::string>{
                             "album.htm", "albumL.htm", "album_c.htm", "album_z1.htm",
                             "album_z2.htm", "album_z3.htm", "p1.jpg", "p1_thumbnail.jpg", "p2.jpg",
                             "p2_thumbnail.jpg", "p3.jpg", "p3_thumbnail.jpg"}));
    // Both titles were asked, prefilled; the first answer became a title.
    ASSERT_GE(host.ui.messages.size(), 2u);
    EXPECT_EQ(host.ui.messages[0].caption, "Enter thumbnail title");
    EXPECT_EQ(host.ui.messages[0].text, "Thumbnail title: [P1.jpg]");
    EXPECT_EQ(host.ui.messages[1].caption, "Enter zoom image title");
    const std::string first = ReadFile(dir + "out/album.htm");
    EXPECT_NE(first.find("Sunset &amp; sea"), std::string::npos);
    EXPECT_NE(first.find("HREF=\"album_z2.htm\""), std::string::npos);
    EXPECT_NE(ReadFile(dir + "out/album_z3.htm").find("SRC=\"p3.jpg\""), std::string::npos);
    EXPECT_EQ(SizeOf(dir + "out/p2.jpg").cx, 42);
}

// Without "Ask for titles" a run asks nothing: Apply to all goes through
// every picture, the titles are the file names.
TEST_F(PagesmithRun, TitlesComeFromTheFileNamesUnlessAskedFor) {
    WriteProfile("p.vhb", "[Project settings]\nCreate thumbnail pages\nCreate zoom pages\n"
                          "Zoom style=1\nCreate content page\n"
                          "[Thumbnail table]\nColumns=2\nRows=1\nLimit rows\nInclude title\n"
                          "[Zoom image]\nInclude title\n");
    BatchRun& batch = NewRun(3);
    ASSERT_TRUE(batch.Start());
    EXPECT_EQ(batch.ApplyToAll({}, {}), BatchRun::AppliedToAll);
    for (const auto& message : host.ui.messages) {
        EXPECT_EQ(message.caption.find("title"), std::string::npos) << message.caption;
    }
    EXPECT_NE(ReadFile(dir + "out/album.htm").find("P1.jpg"), std::string::npos);
    EXPECT_NE(ReadFile(dir + "out/album_z3.htm").find("P3.jpg"), std::string::npos);
}

// Pictures whose names differ only in case both stay in the gallery, and a
// picture saved in two formats is one entry with both files.
TEST_F(PagesmithRun, EveryPictureIsOneEntryUnderItsOwnName) {
    WriteProfile("p.vhb", "[Project settings]\nCreate thumbnail pages\nCreate zoom pages\n"
                          "Zoom style=1\n[Thumbnail table]\nColumns=4\nRows=1\nInclude title\n");
    RunOver({MakeImage("Dune.tif", 40, 30, 1), MakeImage("dune.TIF", 50, 30, 2)},
            {"JPEG", "TIFF"});
    ASSERT_TRUE(run->Start());
    EXPECT_EQ(run->ApplyToAll({}, {}), BatchRun::AppliedToAll);
    EXPECT_EQ(Outputs(), (std::vector<std::string>{"album.htm", "album_z1.htm", "album_z2.htm",
                                                   "dune-2.jpg", "dune-2.tif",
                                                   "dune-2_thumbnail.jpg", "dune.jpg", "dune.tif",
                                                   "dune_thumbnail.jpg"}));
    EXPECT_EQ(SizeOf(dir + "out/dune.jpg").cx, 40);
    EXPECT_EQ(SizeOf(dir + "out/dune-2.tif").cx, 50);
    const std::string page = ReadFile(dir + "out/album.htm");
    EXPECT_NE(page.find("SRC=\"dune_thumbnail.jpg\""), std::string::npos) << page;
    EXPECT_NE(page.find("SRC=\"dune-2_thumbnail.jpg\""), std::string::npos) << page;
    EXPECT_NE(ReadFile(dir + "out/album_z2.htm").find("SRC=\"dune-2.jpg\""), std::string::npos);
    EXPECT_NE(ReadFile(dir + "run.log").find("saved as dune-2.jpg"), std::string::npos);
}

// A further size is a name of its picture: a picture whose own name is that
// name is given another, so neither overwrites the other. A width at or
// above a picture's own is not written.
TEST_F(PagesmithRun, FurtherSizesKeepTheirNamesApart) {
    WriteProfile("p.vhb", "[Project settings]\nModern pages\n"
                          "[Thumbnail Cell]\nWidth=16\nHeight=16\n");
    ASSERT_EQ(setOption("sizes", "x"), 0);
    ASSERT_EQ(setOption("sizes", "20,45"), 1);
    RunOver({MakeImage("Dune.tif", 40, 30, 1), MakeImage("dune-20.tif", 50, 30, 2)}, {"JPEG"});
    ASSERT_TRUE(run->Start());
    EXPECT_EQ(run->ApplyToAll({}, {}), BatchRun::AppliedToAll);
    EXPECT_EQ(Outputs(), (std::vector<std::string>{
                             "album.css", "album.htm", "album.js", "album_z1.htm", "album_z2.htm",
                             "dune-20-2-20.jpg", "dune-20-2-45.jpg", "dune-20-2.jpg",
                             "dune-20-2_thumbnail.jpg", "dune-20-2_thumbnail@2x.jpg", "dune-20.jpg",
                             "dune.jpg", "dune_thumbnail.jpg", "dune_thumbnail@2x.jpg"}));
    EXPECT_EQ(SizeOf(dir + "out/dune-20.jpg").cx, 20);
    EXPECT_EQ(SizeOf(dir + "out/dune-20.jpg").cy, 15);
    EXPECT_EQ(SizeOf(dir + "out/dune-20-2-45.jpg").cx, 45);
    EXPECT_EQ(SizeOf(dir + "out/dune_thumbnail@2x.jpg").cx, 32);
    EXPECT_NE(ReadFile(dir + "run.log").find("saved as dune-20-2.jpg"), std::string::npos);
    EXPECT_NE(ReadFile(dir + "out/album_z2.htm")
                  .find("srcset=\"dune-20-2-20.jpg 20w, dune-20-2-45.jpg 45w, dune-20-2.jpg 50w\""),
              std::string::npos);
}

TEST_F(PagesmithRun, ACancelledRunStillGetsPagesForWhatWasSaved) {
    WriteProfile("p.vhb", "[Project settings]\nCreate thumbnail pages\nCreate zoom pages\n"
                          "Zoom style=1\nCreate content page\n");
    BatchRun& batch = NewRun(5);
    ASSERT_TRUE(batch.Start());
    batch.SaveTo();
    batch.SaveTo();
    batch.SaveTo();
    batch.Cancel();
    EXPECT_TRUE(fs::exists(dir + "out/album.htm"));
    EXPECT_TRUE(fs::exists(dir + "out/album_z3.htm"));
    EXPECT_FALSE(fs::exists(dir + "out/album_z4.htm"));
    const std::string index = ReadFile(dir + "out/album_c.htm");
    EXPECT_NE(index.find("Zoom page 3"), std::string::npos);
    EXPECT_EQ(index.find("Zoom page 4"), std::string::npos);
    EXPECT_EQ(ReadFile(dir + "out/album.htm").find("p4"), std::string::npos);
}

TEST_F(PagesmithRun, ThumbnailsOnlyGiveUnlinkedThumbnails) {
    WriteProfile("p.vhb", "[Project settings]\nCreate thumbnail pages\n");
    BatchRun& batch = NewRun(2);
    ASSERT_TRUE(batch.Start());
    batch.ApplyToAll({}, {});
    EXPECT_EQ(Outputs(),
              (std::vector<std::string>{"album.htm", "p1_thumbnail.jpg", "p2_thumbnail.jpg"}));
    const std::string page = ReadFile(dir + "out/album.htm");
    EXPECT_EQ(page.find("<A "), std::string::npos);
    EXPECT_NE(page.find("SRC=\"p2_thumbnail.jpg\""), std::string::npos);
}

TEST_F(PagesmithRun, TheCurrentConfigurationComesFromTheSettings) {
    WriteFile("mine.vhb", "[Thumbnail Cell]\nWidth=77\n");
    host.settings.WriteText(SettingsStore::kSettingsSection, "HtmlBatchProfile",
                            dir + "other.vhb;" + dir + "mine.vhb;");
    host.settings.WriteText(SettingsStore::kSettingsSection, "HtmlCurrentConfig", "MINE");
    host.settings.WriteText(SettingsStore::kSettingsSection, "HtmlProjectPath", dir + "web/x.htm");
    BatchDestination* dest = Destination();
    EXPECT_EQ(dest->GetThumbnailSettings()->width, 77);
    ASSERT_TRUE(dest->ApplyPage());
    EXPECT_TRUE(fs::is_directory(dir + "web"));
}

} // namespace
} // namespace pixmill::test
