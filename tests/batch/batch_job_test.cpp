// The batch job over the real plug-ins: catalogues and their order, the
// profile text with its reader's rules, the stored profile, ".prf" files,
// favourites, and the built-in source's and destination's settings.
#include "batch/batch_file_dest.h"
#include "batch/batch_file_source.h"
#include "batch/thumbnail_maker.h"
#include "batch_fixture.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"

#include <algorithm>

namespace pixmill::test {
namespace {

using Job = BatchJob;

TEST_F(BatchFixture, OrderIsByWeightAndEqualWeightsKeepPluginOrder) {
    const auto& order = Job().Order();
    const auto& operations = Job().Operations();
    ASSERT_EQ(order.size(), operations.size());
    int kindZero = 0;
    std::vector<bool> seen(operations.size());
    for (size_t p = 0; p < order.size(); ++p) {
        seen[order[p].operation] = true;
        kindZero += operations[order[p].operation].kind == 0;
        if (p == 0) {
            continue;
        }
        const auto& before = operations[order[p - 1].operation];
        const auto& here = operations[order[p].operation];
        EXPECT_GE(before.weight, here.weight) << before.name << " / " << here.name;
        if (before.weight == here.weight) {
            EXPECT_LT(order[p - 1].operation, order[p].operation)
                << "equal weights keep plug-in order: " << before.name << " / " << here.name;
        }
    }
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](bool b) { return b; }));
    EXPECT_EQ(Job().ImageOperationCount(), kindZero);
    // Per-format operations are offered only by formats that store their result.
    for (const auto& format : Job().Formats()) {
        EXPECT_TRUE(format.format->GetCapabilities() & CapCanSave);
        for (const auto& conversion : format.conversions) {
            EXPECT_NE(operations[conversion.operation].kind, 0)
                << operations[conversion.operation].name;
        }
    }
}

TEST_F(BatchFixture, EmptyStoredProfileAndTheProfileWrittenBack) {
    {
        BatchJob& job = Job();
        EXPECT_EQ(job.LogFileName(), "qorel.log");
        EXPECT_TRUE(std::none_of(job.Formats().begin(), job.Formats().end(),
                                 [](const auto& f) { return f.selected; }));
        EXPECT_TRUE(job.Favorites().empty());
        EXPECT_EQ(job.WriteProfileText(),
                  "[Formats]\r\n[Operations]\r\n[Favorites]\r\n[LogFile]\r\nqorel.log\r\n");
        EXPECT_TRUE(job.SelectFormat("JPEG"));
        EXPECT_TRUE(job.ChooseOperation("Resample"));
        job.SetLogFileName("runs/today.log");
    }
    job.reset(); // written to the store
    EXPECT_EQ(host.settings.ReadText("Settings", "BatchProfile").value_or(""),
              "[Formats]\r\nJPEG\r\n[Operations]\r\nResample\r\n[Favorites]\r\n[LogFile]\r\n"
              "runs/today.log\r\n");
    EXPECT_EQ(Job().LogFileName(), "runs/today.log");
    EXPECT_EQ(Job().WriteProfileText(), host.settings.ReadText("Settings", "BatchProfile"));
}

TEST_F(BatchFixture, ProfileRoundTripWithSpecificConversionsAndFavorites) {
    BatchJob& job = Job();
    // A per-format operation offered by two formats, chosen for one of them.
    int specific = -1;
    for (const auto& conversion : job.Formats()[0].conversions) {
        for (size_t f = 1; f < job.Formats().size(); ++f) {
            for (const auto& other : job.Formats()[f].conversions) {
                if (other.operation == conversion.operation && specific < 0) {
                    specific = conversion.operation;
                }
            }
        }
    }
    ASSERT_GE(specific, 0);
    for (auto& conversion : job.Formats()[0].conversions) {
        conversion.chosen = conversion.operation == specific;
    }
    for (auto& position : job.Order()) {
        if (position.operation == specific) {
            position.state = BatchJob::ChosenForSomeFormats;
        }
    }
    job.Formats()[1].selected = true;
    ASSERT_TRUE(job.ChooseOperation("Resample"));
    EXPECT_TRUE(job.AddFavorite(BatchJob::FavoriteOperation, OperationNamed("Resample")));
    EXPECT_TRUE(job.AddFavorite(BatchJob::FavoriteFormat, 1));
    EXPECT_FALSE(job.AddFavorite(BatchJob::FavoriteFormat, 1)) << "no duplicates";
    job.SetLogFileName("batch.log");
    const std::string text = job.WriteProfileText();
    EXPECT_NE(text.find("[Specific] " + job.Operations()[specific].name + "\r\n" +
                        job.Formats()[0].format->GetName(false) + "\r\n[LogFile]"),
              std::string::npos)
        << text;

    const std::string prf = dir + "web.prf";
    job.SaveProfileFile(prf);
    EXPECT_EQ(ReadFile(prf), text) << "no terminating NUL";
    job.ReadProfileText("");
    EXPECT_NE(job.WriteProfileText(), text);
    job.LoadProfileFile(prf);
    EXPECT_EQ(job.WriteProfileText(), text);
    ASSERT_EQ(job.Favorites().size(), 2u);
    EXPECT_EQ(job.Favorites()[0].kind, BatchJob::FavoriteOperation);
    EXPECT_EQ(job.Favorites()[1].kind, BatchJob::FavoriteFormat);
    EXPECT_THROW(job.LoadProfileFile(dir + "missing.prf"), CVFileError);
}

TEST_F(BatchFixture, ReaderRules) {
    BatchJob& job = Job();
    const std::string format = job.Formats()[0].format->GetName(false);
    auto selected = [&job] {
        int n = 0;
        for (const auto& f : job.Formats()) {
            n += f.selected;
        }
        return n;
    };
    // The last line needs its line end; names compare with case; lines
    // before a section line do nothing; "\n" alone does not end a line.
    job.ReadProfileText(format + "\r\n[Formats]\r\n" + format + "\n\r\n[LogFile]\r\nkept.log");
    EXPECT_EQ(selected(), 0);
    EXPECT_EQ(job.LogFileName(), "qorel.log") << "the unterminated last line is lost";
    job.ReadProfileText("[formats]\r\n" + format + "\r\n[Formats]\r\n" + format +
                        "\r\n[LogFile]\r\none.log\r\n[LogFile]\r\ntwo.log\r\n");
    EXPECT_EQ(selected(), 1);
    EXPECT_EQ(job.LogFileName(), "two.log") << "the last log line wins";
    // A "[Specific] " section whose operation is unknown chooses nothing.
    job.ReadProfileText("[Specific] No such operation\r\n" + format + "\r\n");
    for (const auto& f : job.Formats()) {
        for (const auto& c : f.conversions) {
            EXPECT_FALSE(c.chosen);
        }
    }
    // A NUL or an 8-bit byte at the start of a line ends the text.
    job.ReadProfileText(std::string("[LogFile]\r\n\xE9t\xE9.log\r\n[Formats]\r\n") + format +
                        "\r\n");
    EXPECT_EQ(selected(), 0);
    job.ReadProfileText(std::string("[Formats]\r\n\0", 13) + "\r\n" + format + "\r\n");
    EXPECT_EQ(selected(), 0);
    // Favourites: at most 10, the section line empties the list.
    std::string favorites = "[Favorites]\r\n";
    for (int i = 0; i < 12; ++i) {
        favorites += format + "\r\n";
    }
    job.ReadProfileText(favorites);
    EXPECT_EQ(job.Favorites().size(), 10u);
    job.ReadProfileText("[Favorites]\r\n");
    EXPECT_TRUE(job.Favorites().empty());
}

TEST_F(BatchFixture, LogFileNameCheck) {
    BatchJob& job = Job();
    for (const char* name : {"", ".hidden.log"}) {
        job.SetLogFileName(name);
        const FieldCheck check = job.CheckLogFileName([](const std::string&) { return true; });
        EXPECT_FALSE(check.accepted);
        EXPECT_EQ(check.message, "The Log file name is empty.Please, enter Log file name.");
    }
    job.SetLogFileName(dir + "logs/run.log");
    std::string asked;
    EXPECT_FALSE(job.CheckLogFileName([&asked](const std::string& q) {
                        asked = q;
                        return false;
                    })
                     .accepted);
    EXPECT_EQ(asked, "Path " + dir + "logs/ not found.\nDo you want to create it ?");
    EXPECT_TRUE(job.CheckLogFileName([](const std::string&) { return true; }).accepted);
    EXPECT_TRUE(std::filesystem::is_directory(dir + "logs"));
}

TEST_F(BatchFixture, BuiltInSettingsAsPropertyText) {
    const std::string home = HomeFolder();
    {
        BatchJob& job = Job();
        EXPECT_EQ(job.SourceCount(), 1);
        EXPECT_STREQ(job.SourceAt(0)->GetName(), "Image files");
        EXPECT_STREQ(job.DestinationAt(0)->GetName(), "Image files");
        job.FileDest().thumbnail.width = 150;
        job.FileDest().isThumbnail = 1;
    }
    job.reset();
    EXPECT_EQ(host.settings.ReadText("Settings", "BatchFileSource").value_or(""),
              "Path=\"" + home + "\";Preview=0;Filter=0;ViewMode=0;");
    EXPECT_EQ(host.settings.ReadText("Settings", "BatchFileDest").value_or(""),
              "Path=\"" + home +
                  "\";isThumbnail=1;ThumbName=\"_Thumb\";ThumbWidth=150;"
                  "ThumbHeight=100;ForseSize=0;DiscardAspectRatio=0;SmartCut=0;"
                  "Enhance=0;NewFileName=1;MainImageMode=2;");
    EXPECT_EQ(Job().FileDest().thumbnail.width, 150);
    EXPECT_EQ(Job().FileDest().GetThumbnailSettings(), &Job().FileDest().thumbnail);
}

TEST_F(BatchFixture, FileSourceTypeFilter) {
    BatchJob& job = Job();
    job.LoadSourcesAndDestinations(dir); // attaches the built-in ones
    BatchFileSource& source = job.FileSource();
    ASSERT_EQ(source.FilterTexts().size(), static_cast<size_t>(plugins->FormatCount()) + 1);
    EXPECT_EQ(source.FilterTexts()[0].rfind("All supported images (*.", 0), 0u);
    EXPECT_TRUE(source.MatchesFilter("a/Photo.JPG"));
    EXPECT_TRUE(source.MatchesFilter("scan.tif"));
    EXPECT_FALSE(source.MatchesFilter("README"));
    EXPECT_FALSE(source.MatchesFilter("dir.jpg/README"));
    EXPECT_FALSE(source.MatchesFilter("notes.txt"));
    source.filter = 99; // counts as the first entry
    EXPECT_TRUE(source.MatchesFilter("scan.tif"));
    WriteFile("b.jpg", "x");
    WriteFile("a.tif", "x");
    WriteFile("jpg", "x");
    std::filesystem::create_directory(dir + "sub.jpg");
    EXPECT_EQ(source.ListFolder(dir), (std::vector<std::string>{"a.tif", "b.jpg"}));
}

TEST_F(BatchFixture, FileDestinationPageChecks) {
    BatchFileDest& dest = Job().FileDest();
    dest.isThumbnail = 1;
    dest.path = dir;
    dest.thumbName = std::string(250, 't');
    EXPECT_TRUE(dest.ApplyPage());
    dest.thumbName = std::string(251, 't');
    EXPECT_FALSE(dest.ApplyPage());
    dest.thumbName = "a:b";
    EXPECT_FALSE(dest.ApplyPage());
    dest.thumbName = "_small";
    dest.path = dir + "new/folder";
    host.ui.answers = {false};
    EXPECT_FALSE(dest.ApplyPage());
    host.ui.answers = {true};
    EXPECT_TRUE(dest.ApplyPage());
    EXPECT_EQ(dest.path, dir + "new/folder/");
    std::vector<std::string> texts;
    for (const auto& m : host.ui.messages) {
        if (m.text.rfind("Directory:\n", 0) != 0) { // the creation question
            texts.push_back(m.text);
        }
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"File name is too long",
                                               "File name contains invalid characters",
                                               "You should specify directory or leave this "
                                               "field empty"}));
}

// A format and an operation with the same name: a favourite line names both.
TEST(BatchJobNames, AFavoriteNamingAFormatAndAnOperationGivesTwo) {
    TestHost host;
    PluginManager plugins(host.get());
    plugins.LoadFormats(PIXMILL_TEST_PLUGIN_DIR "/batch/Formats/");
    plugins.LoadProcessing(PIXMILL_TEST_PLUGIN_DIR "/batch/Processing/");
    BatchJob job(*host, plugins);
    job.ReadProfileText("[Favorites]\r\nNegate\r\n");
    ASSERT_EQ(job.Favorites().size(), 2u);
    EXPECT_EQ(job.Favorites()[0].kind, BatchJob::FavoriteFormat);
    EXPECT_EQ(job.Favorites()[1].kind, BatchJob::FavoriteOperation);
    // Written back, each favourite is the same line, which reads as two again.
    job.ReadProfileText(job.WriteProfileText());
    EXPECT_EQ(job.Favorites().size(), 4u);
}

TEST(SmartCut, TheSquareExampleAndItsPositions) {
    ThumbnailSettings box;
    box.width = 100;
    box.height = 50;
    const SmartCutGeometry cut = SmartCut(400, 400, box, SIZE{50, 50});
    EXPECT_TRUE(cut.vertical);
    EXPECT_STREQ(cut.labels[0], "Top");
    EXPECT_EQ(cut.range, 50);
    EXPECT_EQ(cut.position, 25);
    EXPECT_EQ(cut.part.top, 100);
    EXPECT_EQ(cut.part.bottom - cut.part.top, 200);
    EXPECT_EQ(cut.part.right - cut.part.left, 400);
    EXPECT_EQ(CutPositionOf(25, 50), 50);
    // A wide image moves the cut sideways; the part always lies inside.
    for (int position : {0, 37, 100}) {
        box.cutPosition = position;
        box.width = 50;
        box.height = 100;
        const SmartCutGeometry wide = SmartCut(300, 100, box, SIZE{50, 17});
        EXPECT_FALSE(wide.vertical);
        EXPECT_STREQ(wide.labels[1], "Right");
        EXPECT_GE(wide.part.left, 0);
        EXPECT_LE(wide.part.right, 300);
        EXPECT_EQ(wide.part.bottom, 100);
    }
}

} // namespace
} // namespace pixmill::test
