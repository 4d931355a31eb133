// Page names, page sets, navigation and templates of the web-page
// destination, written into a temporary folder and read back.
#include "html_template.h"
#include "page_generator.h"
#include "pagesmith_strings.h"
#include "support/file_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <stdlib.h>

namespace pixmill::pagesmith {
namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
    return test::FileText(path);
}

class Gallery : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/pixmill-gallery-XXXXXX";
        dir = std::string(mkdtemp(pattern)) + "/";
    }
    void TearDown() override { fs::remove_all(dir); }

    std::vector<GalleryImage> Images(int count) {
        std::vector<GalleryImage> images;
        for (int i = 1; i <= count; ++i) {
            GalleryImage image;
            image.itemName = std::string("p") + std::to_string(i);
            image.bigFile = dir + image.itemName + ".jpg";
            image.thumbnailFile = dir + image.itemName + "_thumbnail.jpg";
            image.bigPresent = true;
            image.width = 640;
            image.height = 480;
            image.thumbnailTitle = image.zoomTitle =
                std::string("Title <") + std::to_string(i) + ">";
            images.push_back(image);
        }
        return images;
    }
    std::vector<std::string> Generate(int count, const std::string& project = "album.htm") {
        log.clear();
        PageGenerator generator(profile, dir + project,
                                [this](const std::string& text) { log += text; });
        std::vector<std::string> names;
        for (const std::string& path : generator.Generate(Images(count))) {
            names.push_back(FileNameOf(path));
        }
        return names;
    }
    std::string WriteTemplate(const std::string& name, const std::string& body) {
        std::ofstream(dir + name, std::ios::binary)
            << "<HTML><HEAD><TITLE>t</TITLE></HEAD><BODY>" << body << "</BODY></HTML>";
        return dir + name;
    }
    // Every HREF and SRC of a page.
    static std::vector<std::string> Targets(const std::string& page) {
        std::vector<std::string> targets;
        const std::regex attribute("(HREF|SRC)=\"([^\"]*)\"");
        for (std::sregex_iterator it(page.begin(), page.end(), attribute), end; it != end; ++it) {
            targets.push_back((*it)[2]);
        }
        return targets;
    }

    std::string dir;
    std::string log;
    HtmlProfile profile;
};

TEST_F(Gallery, PageNamesFollowTheProjectName) {
    const PageNames album("/x/y/album.html");
    EXPECT_EQ(album.Folder(), "/x/y/");
    EXPECT_EQ(album.Thumbnail(0, 1), "album.html");
    EXPECT_EQ(album.Thumbnail(0, 2), "album.html");
    EXPECT_EQ(album.Thumbnail(1, 2), "albumL.html");
    EXPECT_EQ(album.Thumbnail(1, 3), "album1.html");
    EXPECT_EQ(album.Thumbnail(2, 3), "albumL.html");
    EXPECT_EQ(album.Index(), "album_c.html");
    EXPECT_EQ(album.Zoom(12), "album_z12.html");
    const PageNames bare("/x/trip");
    EXPECT_EQ(bare.Thumbnail(0, 1), "trip.htm");
    EXPECT_EQ(bare.Zoom(1), "trip_z1.htm");
}

TEST_F(Gallery, PageSetsAndNavigation) {
    profile.thumbnailTable.columns = 2;
    profile.thumbnailTable.rows = 2;
    profile.thumbnailTable.limitRows = true;
    struct Case {
        int images;
        std::vector<std::string> thumbnailPages;
    } cases[] = {{3, {"album.htm"}},
                 {5, {"album.htm", "albumL.htm"}},
                 {9, {"album.htm", "album1.htm", "albumL.htm"}}};
    for (const Case& c : cases) {
        const std::vector<std::string> written = Generate(c.images);
        std::vector<std::string> expected = c.thumbnailPages;
        for (int j = 1; j <= c.images; ++j) {
            expected.push_back(std::string("album_z") + std::to_string(j) + ".htm");
        }
        expected.push_back("album_c.htm");
        EXPECT_EQ(written, expected) << c.images << " images";
        for (const std::string& name : written) {
            const std::string page = Read(dir + name);
            // Every link points at a page of the set or a picture of the run.
            for (const std::string& target : Targets(page)) {
                const bool known =
                    std::find(written.begin(), written.end(), target) != written.end() ||
                    std::regex_match(target, std::regex("p[0-9]+(_thumbnail)?\\.jpg"));
                EXPECT_TRUE(known) << name << " links to " << target;
            }
            const bool several =
                name.find("_z") != std::string::npos
                    ? c.images > 1
                    : c.thumbnailPages.size() > 1 && name.find("_c") == std::string::npos;
            for (const char* word : {">First<", ">Previous<", ">Next<", ">Last<"}) {
                EXPECT_EQ(page.find(word) != std::string::npos, several) << name << " " << word;
            }
            if (name != "album_c.htm") {
                EXPECT_NE(page.find("HREF=\"album_c.htm\">Index<"), std::string::npos) << name;
            }
        }
        const std::string index = Read(dir + "album_c.htm");
        for (size_t k = 0; k < c.thumbnailPages.size(); ++k) {
            EXPECT_NE(index.find(std::string("<LI><A HREF=\"") + c.thumbnailPages[k] + "\">Page " +
                                 std::to_string(k + 1) + "</A>"),
                      std::string::npos)
                << index;
        }
        size_t items = 0;
        for (size_t at = index.find("</LI>\r\n"); at != std::string::npos;
             at = index.find("</LI>\r\n", at + 1)) {
            ++items;
        }
        EXPECT_EQ(items, c.thumbnailPages.size());
        EXPECT_NE(index.find(std::string(">Zoom page ") + std::to_string(c.images) + "<"),
                  std::string::npos);
    }
    // Titles are page text, never markup.
    EXPECT_NE(Read(dir + "album_z1.htm").find("Title &lt;1&gt;"), std::string::npos);
}

TEST_F(Gallery, ZoomTitleCellWrapsOnlyWhenAsked) {
    profile.project.createThumbnailPages = false;
    profile.project.createContentPage = false;
    EXPECT_EQ(Generate(1), std::vector<std::string>{"album_z1.htm"});
    EXPECT_NE(Read(dir + "album_z1.htm").find("NOWRAP"), std::string::npos);
    profile.zoomTitle.wrap = true;
    Generate(1);
    const std::string page = Read(dir + "album_z1.htm");
    EXPECT_EQ(page.find("NOWRAP"), std::string::npos);
    EXPECT_NE(page.find("WIDTH=640"), std::string::npos);
}

TEST_F(Gallery, ThreeThumbnailLinkForms) {
    PageGenerator generator(profile, dir + "a.htm", {});
    GalleryImage image = Images(1)[0];
    image.bigFile = dir + "it's #1.jpg";
    EXPECT_EQ(generator.ThumbnailLink(image, 3).first, "a_z3.htm");
    profile.project.zoomStyle = ZoomJustImage;
    profile.justZoom.justStyle = JustLink;
    EXPECT_EQ(PageGenerator(profile, dir + "a.htm", {}).ThumbnailLink(image, 3).first,
              "it%27s%20%231.jpg");
    profile.justZoom.justStyle = JustModalWindow;
    const auto [href, onclick] = PageGenerator(profile, dir + "a.htm", {}).ThumbnailLink(image, 3);
    EXPECT_TRUE(href.empty());
    EXPECT_NE(onclick.find("window.showModalDialog('it%27s%20%231.jpg')"), std::string::npos);
    EXPECT_NE(onclick.find("window.open('it%27s%20%231.jpg')"), std::string::npos);
    // Without the big picture, or without zoom images, no link.
    image.bigPresent = false;
    EXPECT_EQ(PageGenerator(profile, dir + "a.htm", {}).ThumbnailLink(image, 3),
              (std::pair<std::string, std::string>{}));
}

TEST_F(Gallery, TemplateErrors) {
    const std::string img = "<IMG SRC=\"default.jpg\">";
    struct Case {
        HtmlTemplate::Kind kind;
        std::string body;
        int error; // 0: accepted
    } cases[] = {
        {HtmlTemplate::Kind::Thumbnail, "<P>no pictures</P>", IdNoImagesInTemplate},
        {HtmlTemplate::Kind::Thumbnail, img + img + "<P>def_text</P>", IdTooFewProxyTexts},
        {HtmlTemplate::Kind::Zoom, img + img, IdZoomOneProxyImage},
        {HtmlTemplate::Kind::Zoom, "<P>x</P>", IdZoomOneProxyImage},
        {HtmlTemplate::Kind::Zoom, img + "<P>def_text</P><P>def_text</P>", IdZoomOneProxyText},
        {HtmlTemplate::Kind::Zoom, img + "<A HREF=\"$NextPage$\">n</A>", IdZoomOnlyContentLinks},
        {HtmlTemplate::Kind::Zoom, img + "<A HREF=\"$Content$\">i</A><P>def_text</P>", 0},
    };
    for (const Case& c : cases) {
        const std::string file = WriteTemplate("t.htm", c.body);
        int error = 0;
        try {
            HtmlTemplate page(c.kind, file);
            page.Read([](const std::string&) {});
        } catch (HtmlLogicalError& e) {
            error = e.Code();
            EXPECT_EQ(e.Message(), LookupString(kStrings, e.Code()));
        }
        EXPECT_EQ(error, c.error) << c.body;
    }
    for (const auto& [file, proxy, error] :
         {std::tuple{std::string(), std::string("default.jpg"), IdTemplateNeedsName},
          std::tuple{std::string("x.htm"), std::string(), IdTemplateNeedsProxy}}) {
        try {
            HtmlTemplate page(HtmlTemplate::Kind::Thumbnail, file, proxy);
            ADD_FAILURE() << "accepted";
        } catch (HtmlLogicalError& e) {
            EXPECT_EQ(e.Code(), error);
        }
    }
}

TEST_F(Gallery, ThumbnailTemplateFillsItsPlacesPageByPage) {
    std::string body = "<A HREF=\"$PrevPage$\">prev</A> <A HREF=\"$NextPage$\">next</A> "
                       "<A HREF=\"$Content$\">index</A><TABLE><TR>";
    for (int i = 0; i < 6; ++i) {
        body += "<TD><IMG SRC=\"default.jpg\"><BR>def_text</TD>";
    }
    body += "</TR></TABLE><P>def_text def_text</P>";
    profile.project.thumbnailStyle = ThumbnailsFromTemplate;
    profile.project.thumbnailTemplate = WriteTemplate("thumbs.htm", body);
    profile.project.createContentPage = false;
    const std::vector<std::string> written = Generate(7);
    ASSERT_GE(written.size(), 2u);
    EXPECT_EQ(written[0], "album.htm");
    EXPECT_EQ(written[1], "albumL.htm");
    EXPECT_EQ(log, LookupString(kStrings, IdTooManyProxyTexts));
    const std::string first = Read(dir + "album.htm");
    const std::string last = Read(dir + "albumL.htm");
    const std::regex thumbnail("SRC=\"p[0-9]+_thumbnail\\.jpg\"");
    auto count = [&](const std::string& page) {
        return std::distance(std::sregex_iterator(page.begin(), page.end(), thumbnail),
                             std::sregex_iterator());
    };
    EXPECT_EQ(count(first), 6);
    EXPECT_EQ(count(last), 1);
    EXPECT_EQ(last.find("default.jpg"), std::string::npos); // unfilled places go
    EXPECT_EQ(first.find("def_text"), std::string::npos);
    EXPECT_NE(first.find("HREF=\"album_z6.htm\"><IMG SRC=\"p6_thumbnail.jpg\""), std::string::npos)
        << first;
    EXPECT_NE(first.find("HREF=\"albumL.htm\">next"), std::string::npos);
    EXPECT_NE(last.find("HREF=\"album.htm\">prev"), std::string::npos);
    // No index page: its link goes, its text stays.
    EXPECT_EQ(first.find("$Content$"), std::string::npos);
    EXPECT_NE(first.find("index"), std::string::npos);
}

TEST_F(Gallery, TemplateErrorsGoToTheLogAndOtherPagesStillCome) {
    profile.project.thumbnailStyle = ThumbnailsFromTemplate;
    profile.project.thumbnailTemplate = WriteTemplate("bad.htm", "<P>nothing</P>");
    const std::vector<std::string> written = Generate(2);
    EXPECT_EQ(written, (std::vector<std::string>{"album_z1.htm", "album_z2.htm", "album_c.htm"}));
    EXPECT_NE(log.find("There are no images to change in template"), std::string::npos) << log;
}

} // namespace
} // namespace pixmill::pagesmith
