// The HTML generation profile's text and the configurations kept in the
// settings.
#include "html_profile.h"
#include "pagesmith_pane_model.h"
#include "profile_configurations.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <stdlib.h>

namespace pixmill::pagesmith {
namespace {

// Every value of the profile set through the settings pages' field list, so
// that a field the text forgets shows up as a difference.
HtmlProfile RandomProfile(unsigned seed) {
    std::mt19937 random(seed);
    HtmlProfile profile;
    for (PropertyPage& page : PropertyPages(profile)) {
        for (PageField& field : page.fields) {
            if (field.flag) {
                *field.flag = random() % 2 == 0;
            } else if (field.number) {
                *field.number = field.minimum +
                                static_cast<int>(random() % static_cast<unsigned>(
                                                                field.maximum - field.minimum + 1));
            } else if (field.text) {
                *field.text =
                    random() % 4 == 0 ? "" : std::string("text ") + std::to_string(random() % 1000);
            }
        }
    }
    ProjectSettings& p = profile.project;
    p.createThumbnailPages = random() % 2 == 0;
    p.createZoomPages = random() % 2 == 0;
    p.createContentPage = random() % 2 == 0;
    p.thumbnailStyle = static_cast<int>(random() % 2);
    p.zoomStyle = static_cast<int>(random() % 2);
    p.zoomSubstyle = static_cast<int>(random() % 2);
    p.thumbnailTemplate = random() % 2 ? "/t/thumbs.htm" : "";
    p.zoomTemplate = random() % 2 ? "/t/zoom.htm" : "";
    p.previewImage = random() % 2 ? "/t/p.jpg" : "";
    p.previewText = random() % 2 ? "Preview" : "";
    p.pictureZip = random() % 2 == 0;
    p.pictureSizes = random() % 2 ? "480,960,1600" : "";
    return profile;
}

TEST(ProfileText, RoundTripsEveryValue) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        const HtmlProfile written = RandomProfile(seed);
        HtmlProfile read;
        ReadProfileText(WriteProfileText(written), read);
        ASSERT_EQ(read, written) << "seed " << seed << "\n" << WriteProfileText(written);
    }
}

TEST(ProfileText, LinesAsStoredFilesHaveThem) {
    HtmlProfile profile;
    profile.project.createThumbnailPages = true;
    profile.project.createZoomPages = false;
    profile.project.thumbnailTemplate.clear();
    profile.project.previewImage.clear();
    profile.project.previewText = "Hello";
    profile.thumbnailPage.backgroundImage.clear();
    const std::string text = WriteProfileText(profile);
    // Flags as bare names, only when set; optional templates left out; an
    // empty preview image leaves an empty line; empty texts keep their key.
    EXPECT_NE(text.find("[Project settings]\nCreate thumbnail pages\nThumbnail style=0\nZoom "
                        "style=1\nZoom substyle=0\nCreate content page\n\nPreview Text=Hello\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Create zoom pages"), std::string::npos);
    EXPECT_NE(text.find("Background Image=\nHeader file=\n"), std::string::npos);
    EXPECT_NE(text.find("[Thumbnail link]\n[Zoom image]\n"), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(ProfileText, ReaderWorksOnPlainSearches) {
    HtmlProfile profile;
    profile.thumbnailTable.columns = 7;
    profile.zoomLink.columns = 9;
    // No "[Project settings]": the project settings stay; a flag counts
    // wherever its name stands in its group; a value ends at "["; a missing
    // key leaves its value; integers take their leading digits.
    // A "[" in a value also ends the group: "Border=" after it is not read.
    const std::string text = "[Thumbnail table]\nRows=12abc\nBorder style=x\n"
                             "something Limit rows here\nTitle text=Holiday [2024]\nBorder=9\n"
                             "[Zoom link]\nColumns=-3\n";
    profile.thumbnailTable.limitRows = false;
    profile.thumbnailTable.includeTitle = true;
    profile.thumbnailTable.border = 2;
    profile.thumbnailTable.borderStyle = 1;
    profile.project.createZoomPages = false;
    const ProjectSettings changed = profile.project;
    ReadProfileText(text, profile);
    EXPECT_EQ(profile.project, changed);
    EXPECT_EQ(profile.thumbnailTable.border, 2);
    EXPECT_EQ(profile.thumbnailTable.rows, 12);
    EXPECT_EQ(profile.thumbnailTable.titleText, "Holiday ");
    EXPECT_EQ(profile.thumbnailTable.borderStyle, 0);
    EXPECT_EQ(profile.thumbnailTable.columns, 7);
    EXPECT_TRUE(profile.thumbnailTable.limitRows);
    EXPECT_FALSE(profile.thumbnailTable.includeTitle); // flags are off unless named
    EXPECT_EQ(profile.zoomLink.columns, -3);
}

TEST(ProfileText, PictureSizes) {
    // Written only when set, so profiles without sizes keep their bytes.
    HtmlProfile profile;
    EXPECT_EQ(WriteProfileText(profile).find("Picture sizes"), std::string::npos);
    profile.project.pictureSizes = "960,480";
    EXPECT_NE(WriteProfileText(profile).find("\nPicture sizes=960,480\n"), std::string::npos);

    const std::pair<const char*, std::vector<int>> accepted[] = {
        {"", {}},
        {"480,960,1600", {480, 960, 1600}},
        {" 1600, 480 960,,480\t", {480, 960, 1600}},
        {"16,16384", {16, 16384}}};
    for (const auto& [text, widths] : accepted) {
        std::vector<int> parsed{7};
        EXPECT_EQ(ParsePictureSizes(text, parsed), "") << text;
        EXPECT_EQ(parsed, widths) << text;
    }
    for (const char* text : {"480,abc", "15", "16385", "-480", "480px", "9999999999", "4.5"}) {
        std::vector<int> parsed{7};
        const std::string refusal = ParsePictureSizes(text, parsed);
        EXPECT_NE(refusal.find("is not a width in pixels"), std::string::npos) << text;
        EXPECT_TRUE(parsed.empty()) << text;
    }
}

class MapStore : public ConfigurationStore {
  public:
    std::string ReadText(const char* name) override { return values[name]; }
    void WriteText(const char* name, const std::string& text) override { values[name] = text; }
    std::map<std::string, std::string> values;
};

TEST(Configurations, SaveLoadChooseAndRemove) {
    char pattern[] = "/tmp/pixmill-vhb-XXXXXX";
    const std::string dir = std::string(mkdtemp(pattern)) + "/";
    MapStore store;
    std::vector<std::string> questions;
    std::vector<bool> answers;
    ProfileConfigurations list(store, [&](const std::string& question) {
        questions.push_back(question);
        const bool answer = !answers.empty() && answers.front();
        if (!answers.empty()) {
            answers.erase(answers.begin());
        }
        return answer;
    });
    EXPECT_EQ(list.Names(), std::vector<std::string>{"Default"});

    HtmlProfile first = RandomProfile(1), second = RandomProfile(2);
    ASSERT_TRUE(list.SaveAs(dir + "Album.vhb", first));
    ASSERT_TRUE(list.SaveAs(dir + "web.vhb", second));
    EXPECT_EQ(store.values["HtmlBatchProfile"], dir + "Album.vhb;" + dir + "web.vhb;");
    EXPECT_EQ(store.values["HtmlCurrentConfig"], "web");

    // The same title again: replaced only after Yes.
    answers = {false};
    EXPECT_FALSE(list.SaveAs(dir + "ALBUM.vhb", second));
    EXPECT_EQ(questions.back(),
              "The HTML profile ALBUM already exists\nDo you want to replace this configuration?");
    answers = {true};
    EXPECT_TRUE(list.SaveAs(dir + "album.vhb", second));
    EXPECT_EQ(list.Names(), (std::vector<std::string>{"web", "album"}));

    // Choosing compares names in upper case and reads the file.
    HtmlProfile chosen;
    ASSERT_TRUE(list.Choose("WEB", chosen));
    EXPECT_EQ(chosen, second);

    // A list read back by another object is the same.
    ProfileConfigurations again(store, [](const std::string&) { return true; });
    EXPECT_EQ(again.Paths(), list.Paths());

    answers = {true};
    HtmlProfile current;
    ASSERT_TRUE(list.Remove("web", current));
    EXPECT_EQ(questions.back(), "Do you want to remove 'web' configuration?");
    EXPECT_EQ(list.Current(), "album");
    EXPECT_EQ(current, second);
    EXPECT_TRUE(std::filesystem::exists(dir + "web.vhb")); // the file stays
    answers = {true};
    ASSERT_TRUE(list.Remove("album", current));
    EXPECT_EQ(list.Names(), std::vector<std::string>{"Default"});
    EXPECT_EQ(list.Current(), "Default");

    // Loading a file adds it and makes it current.
    HtmlProfile loaded;
    ASSERT_TRUE(list.Load(dir + "Album.vhb", loaded));
    EXPECT_EQ(loaded, first);
    EXPECT_EQ(list.Current(), "Album");
    EXPECT_FALSE(list.Load(dir + "missing.vhb", loaded));
    std::filesystem::remove_all(dir);
}

TEST(PropertyPages, SteppingSkipsPagesThatDoNotMatter) {
    HtmlProfile profile;
    const std::vector<PropertyPage> pages = PropertyPages(profile);
    ProjectSettings& p = profile.project;
    // Forward and back visit the same pages, and each visited page matters.
    for (int mask = 0; mask < 64; ++mask) {
        p.createThumbnailPages = mask & 1;
        p.thumbnailStyle = (mask >> 1) & 1;
        p.createZoomPages = (mask >> 2) & 1;
        p.zoomStyle = (mask >> 3) & 1;
        p.zoomSubstyle = (mask >> 4) & 1;
        p.createContentPage = (mask >> 5) & 1;
        std::vector<int> forward{0}, backward;
        for (int page = StepPage(pages, p, 0, 1); page > 0; page = StepPage(pages, p, page, 1)) {
            forward.push_back(page);
            EXPECT_TRUE(pages[static_cast<size_t>(page - 1)].relevant(p));
        }
        for (int page = forward.back(); page >= 0; page = StepPage(pages, p, page, -1)) {
            backward.insert(backward.begin(), page);
        }
        EXPECT_EQ(forward, backward);
    }
    p = ProjectSettings{};
    p.createThumbnailPages = false;
    p.createZoomPages = false;
    p.createContentPage = false;
    EXPECT_EQ(StepPage(pages, p, 0, 1), -1);
}

} // namespace
} // namespace pixmill::pagesmith
