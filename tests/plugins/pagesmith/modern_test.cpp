// The modern page set over pictures written by hand: sizes read from the
// files' headers, <picture> sources per format, neighbours that skip a
// picture without a page, escaping; and where captions come from.
#include "modern_pages.h"
#include "picture_caption.h"
#include "picture_size.h"
#include "support/file_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdlib.h>

namespace pixmill::pagesmith {
namespace {

namespace fs = std::filesystem;

class Modern : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/pixmill-modern-XXXXXX";
        dir = std::string(mkdtemp(pattern)) + "/";
    }
    void TearDown() override { fs::remove_all(dir); }
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir + name, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) { return test::FileText(dir + name); }
    // The header of a baseline JPEG of w x h (APP0, then SOF0).
    static std::string Jpeg(int w, int h, const std::string& app1 = {}) {
        std::string bytes = "\xFF\xD8";
        bytes += app1;
        bytes += std::string("\xFF\xE0\x00\x04\x00\x00", 6);
        bytes += std::string("\xFF\xC0\x00\x11\x08", 5);
        bytes += {static_cast<char>(h >> 8), static_cast<char>(h), static_cast<char>(w >> 8),
                  static_cast<char>(w)};
        return bytes + std::string(12, '\0');
    }
    std::string dir;
};

TEST_F(Modern, PictureSizesFromTheHeaders) {
    Write("a.jpg", Jpeg(1600, 1000));
    std::string png = "\x89PNG\r\n\x1a\n";
    png += std::string("\x00\x00\x00\x0dIHDR\x00\x00\x01\x2c\x00\x00\x00\xc8", 16) +
           std::string(10, '\0');
    Write("b.png", png);
    Write("c.gif", std::string("GIF89a\x40\x01\xf0\x00", 10) + std::string(20, '\0'));
    Write("d.webp", std::string("RIFF\0\0\0\0WEBPVP8X\x0a\0\0\0\0\0\0\0\x7f\x02\0\xdf\x01\0", 30));
    Write("e.txt", "not a picture at all, but long enough");
    const std::pair<const char*, PictureSize> cases[] = {{"a.jpg", {1600, 1000}},
                                                         {"b.png", {300, 200}},
                                                         {"c.gif", {320, 240}},
                                                         {"d.webp", {640, 480}},
                                                         {"e.txt", {0, 0}},
                                                         {"missing.jpg", {0, 0}}};
    for (const auto& [name, size] : cases) {
        const PictureSize read = ReadPictureSize(dir + name);
        EXPECT_EQ(read.width, size.width) << name;
        EXPECT_EQ(read.height, size.height) << name;
    }
}

TEST_F(Modern, GridAndPicturePages) {
    std::vector<GalleryImage> images(3);
    const char* stems[] = {"dune", "dune-2", "wood"};
    for (size_t i = 0; i < images.size(); ++i) {
        GalleryImage& image = images[i];
        image.itemName = i == 1 ? "dune" : stems[i];
        image.bigFile = dir + stems[i] + ".webp";
        image.otherFiles = {dir + stems[i] + ".jpg", dir + stems[i] + ".avif"};
        image.thumbnailFile = dir + stems[i] + "_thumbnail.jpg";
        image.bigPresent = i != 1; // the middle one's big picture failed
        Write(std::string(stems[i]) + ".jpg", Jpeg(800, 500));
        Write(std::string(stems[i]) + "_thumbnail.jpg", Jpeg(150, 94));
    }
    images[0].caption = "Sand & \"sky\"";
    images[0].description = "<b>not bold</b>";
    HtmlProfile profile;
    profile.project.galleryTitle = "Trip";
    std::vector<std::string> written;
    WriteModernGallery(profile, PageNames(dir + "album.htm"), images,
                       [&](const std::string& name, const std::string& text) {
                           Write(name, text);
                           written.push_back(name);
                           return true;
                       });
    EXPECT_EQ(written, (std::vector<std::string>{"album.css", "album.js", "album.htm",
                                                 "album_z1.htm", "album_z3.htm"}));
    const std::string grid = Read("album.htm");
    EXPECT_EQ(grid.rfind("<!DOCTYPE html>\n<html lang=\"en\">", 0), 0u);
    EXPECT_NE(grid.find("<title>Trip</title>"), std::string::npos);
    EXPECT_NE(grid.find("<a href=\"album_z1.htm\"><img src=\"dune_thumbnail.jpg\" width=\"150\" "
                        "height=\"94\" alt=\"Sand &amp; &quot;sky&quot;\">"),
              std::string::npos)
        << grid;
    // Without a big picture the thumbnail stays, unlinked, named by its file.
    EXPECT_NE(grid.find("<li id=\"p2\"><img src=\"dune-2_thumbnail.jpg\" width=\"150\" "
                        "height=\"94\" alt=\"dune\">"),
              std::string::npos);
    EXPECT_EQ(Read("album.js"), kModernScript);

    const std::string first = Read("album_z1.htm");
    EXPECT_NE(first.find("<span>&larr; Previous</span>"), std::string::npos);
    EXPECT_NE(first.find("<a id=\"up\" href=\"album.htm#p1\">"), std::string::npos);
    EXPECT_NE(first.find("<a id=\"next\" rel=\"next\" href=\"album_z3.htm\">"), std::string::npos);
    // The formats only some browsers show are sources, the JPEG is the img.
    EXPECT_NE(first.find("<picture>\n<source type=\"image/avif\" srcset=\"dune.avif\">\n"
                         "<source type=\"image/webp\" srcset=\"dune.webp\">\n"
                         "<img src=\"dune.jpg\" width=\"800\" height=\"500\""),
              std::string::npos)
        << first;
    EXPECT_NE(first.find("<p>&lt;b&gt;not bold&lt;/b&gt;</p>"), std::string::npos);
    EXPECT_NE(first.find("<meta property=\"og:image\" content=\"dune.webp\">"),
              std::string::npos);
    const std::string last = Read("album_z3.htm");
    EXPECT_NE(last.find("<a id=\"prev\" rel=\"prev\" href=\"album_z1.htm\">"), std::string::npos);
    EXPECT_NE(last.find("<span>Next &rarr;</span>"), std::string::npos);
    EXPECT_NE(last.find("<title>wood</title>"), std::string::npos);
}

// Further sizes: every format lists its files by width, narrowest first and
// the full-size file last, and says how wide the page shows the picture;
// a sharp thumbnail is offered to 2x screens. Sizes of one format do not
// leak into another's list.
TEST_F(Modern, SizesBecomeSourceSetsAndTheThumbnailHasA2xFile) {
    GalleryImage image;
    image.itemName = "dune";
    image.bigFile = dir + "dune.jpg";
    image.otherFiles = {dir + "dune.avif"};
    image.thumbnailFile = dir + "dune_t.jpg";
    image.doubleThumbnailFile = dir + "dune_t@2x.jpg";
    image.bigPresent = true;
    image.width = 1600;
    image.height = 1000;
    image.sizedFiles = {{dir + "dune-480.jpg", 480, 300},
                        {dir + "dune-960.jpg", 960, 600},
                        {dir + "dune-480.avif", 480, 300},
                        {dir + "dune-960.avif", 960, 600}};
    Write("dune.jpg", Jpeg(1600, 1000));
    Write("dune_t.jpg", Jpeg(160, 100));
    GalleryImage plain = image;
    plain.itemName = "wood";
    plain.bigFile = dir + "wood.jpg";
    plain.otherFiles = {dir + "wood.avif"};
    plain.thumbnailFile = dir + "wood_t.jpg";
    plain.doubleThumbnailFile.clear();
    plain.sizedFiles.clear();
    Write("wood.jpg", Jpeg(400, 300));
    Write("wood_t.jpg", Jpeg(160, 120));
    HtmlProfile profile;
    WriteModernGallery(profile, PageNames(dir + "album.htm"), {image, plain},
                       [&](const std::string& name, const std::string& text) {
                           Write(name, text);
                           return true;
                       });
    const std::string sizes = " sizes=\"min(100vw - 2rem, 98rem, 1600px, 136vh)\"";
    const std::string page = Read("album_z1.htm");
    EXPECT_NE(page.find("<picture>\n<source type=\"image/avif\" srcset=\"dune-480.avif 480w, "
                        "dune-960.avif 960w, dune.avif 1600w\"" +
                        sizes +
                        ">\n<img src=\"dune.jpg\" srcset=\"dune-480.jpg 480w, "
                        "dune-960.jpg 960w, dune.jpg 1600w\"" +
                        sizes + " width=\"1600\" height=\"1000\" alt=\"dune\">\n</picture>"),
              std::string::npos)
        << page;
    // A picture without further sizes keeps the plain element.
    EXPECT_NE(Read("album_z2.htm")
                  .find("<source type=\"image/avif\" srcset=\"wood.avif\">\n"
                        "<img src=\"wood.jpg\" width=\"400\""),
              std::string::npos);
    const std::string grid = Read("album.htm");
    EXPECT_NE(grid.find("<img src=\"dune_t.jpg\" srcset=\"dune_t.jpg 1x, dune_t%402x.jpg 2x\" "
                        "width=\"160\" height=\"100\""),
              std::string::npos)
        << grid;
    EXPECT_NE(grid.find("<img src=\"wood_t.jpg\" width=\"160\""), std::string::npos);
}

TEST_F(Modern, CaptionsFileThenStoredTitlesThenNothing) {
    const auto captions = ParseCaptions("\xEF\xBB\xBF# name | title | description\r\n"
                                        "Dune.JPG | Sand | Wind lines | and a bar\r\n"
                                        "\n  wood |  Trees  \nno bar here\n | orphan\n");
    ASSERT_EQ(captions.size(), 2u);
    EXPECT_EQ(captions.at("dune.jpg").title, "Sand");
    EXPECT_EQ(captions.at("dune.jpg").description, "Wind lines | and a bar");
    EXPECT_EQ(captions.at("wood").title, "Trees");
    EXPECT_EQ(captions.at("wood").description, "");

    // A JPEG with XMP, one with EXIF (ImageDescription and XPTitle).
    const std::string xmp = "http://ns.adobe.com/xap/1.0/" + std::string(1, '\0') +
                            "<x:xmpmeta><dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">"
                            "Dunes &amp; sky &#233;</rdf:li></rdf:Alt></dc:title>"
                            "<dc:description><rdf:Alt><rdf:li>Long text</rdf:li></rdf:Alt>"
                            "</dc:description></x:xmpmeta>";
    const auto segment = [](const std::string& payload) {
        const size_t n = payload.size() + 2;
        return std::string("\xFF\xE1") + static_cast<char>(n >> 8) + static_cast<char>(n) +
               payload;
    };
    Write("xmp.jpg", Jpeg(10, 10, segment(xmp)));
    // Little-endian TIFF: IFD0 at 8 with ImageDescription (ASCII, 6 bytes at
    // 38) and XPTitle (UTF-16LE "Hi", 6 bytes at 44).
    std::string tiff("II*\0\x08\0\0\0\x02\0", 10);
    tiff += std::string("\x0e\x01\x02\0\x06\0\0\0\x26\0\0\0", 12);
    tiff += std::string("\x9b\x9c\x01\0\x06\0\0\0\x2c\0\0\0", 12);
    tiff += std::string("\0\0\0\0", 4);
    tiff += std::string("Beach\0", 6) + std::string("H\0i\0\0\0", 6);
    Write("exif.jpg", Jpeg(10, 10, segment(std::string("Exif\0\0", 6) + tiff)));
    Write("exif.tif", tiff);
    Write("plain.jpg", Jpeg(10, 10));
    Write("captions.txt", "exif.jpg | From the file\n");

    const Caption fromXmp = ReadStoredCaption(dir + "xmp.jpg");
    EXPECT_EQ(fromXmp.title, "Dunes & sky \xC3\xA9");
    EXPECT_EQ(fromXmp.description, "Long text");
    const Caption fromExif = ReadStoredCaption(dir + "exif.tif");
    EXPECT_EQ(fromExif.title, "Hi");
    EXPECT_EQ(fromExif.description, "Beach");
    EXPECT_EQ(ReadStoredCaption(dir + "plain.jpg").title, "");

    CaptionSource source;
    EXPECT_EQ(source.For(dir + "exif.jpg").title, "From the file"); // the file wins
    EXPECT_EQ(source.For(dir + "xmp.jpg").title, "Dunes & sky \xC3\xA9");
    EXPECT_EQ(source.For(dir + "plain.jpg").title, "");
    EXPECT_EQ(source.For("").title, "");
    // A camera's own name is no description.
    std::string filler = tiff;
    filler.replace(38, 6, "CAMERA");
    Write("filler.tif", filler);
    EXPECT_EQ(ReadStoredCaption(dir + "filler.tif").description, "");
    // Damaged EXIF (an offset past the end) gives nothing, not a crash.
    tiff[8 + 2 + 8] = '\x7f';
    Write("broken.tif", tiff.substr(0, 40));
    EXPECT_EQ(ReadStoredCaption(dir + "broken.tif").description, "");
}

} // namespace
} // namespace pixmill::pagesmith
