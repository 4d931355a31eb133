// The page document: listing a page's pictures, writing an edited object
// back in each form in place of its element, deleting, and the preview copy.
#include "compound/html_page_doc.h"
#include "compound_test_util.h"
#include "html/html_visible_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace pixmill;
using namespace pixmill::test;
namespace fs = std::filesystem;

namespace {

const char* kPage =
    "<HTML><HEAD><TITLE>Shop</TITLE></HEAD><BODY>\r\n"
    "<P>Before the pictures.</P>\r\n"
    "<!-- QorelCompoundImage -->\r\n"
    "<DIV STYLE=\"position:relative;width:120px;height:80px;\">"
    "<SPAN STYLE=\"position:absolute;left:10px;top:10px;width:40px;\"><IMG SRC=\"a.png\" "
    "USEMAP=\"#a0\"></SPAN>\r\n"
    "<MAP NAME=\"a0\"><AREA SHAPE=CIRCLE COORDS=\"20,20,5\" HREF=\"x.htm\"></MAP></DIV>\r\n"
    "<APPLET CODE=\"getpara.class\" WIDTH=60 HEIGHT=50><PARAM NAME=0image VALUE=\"b.png\">"
    "<PARAM NAME=0imcoor VALUE=\"5,5\"></APPLET>\r\n"
    "<!-- QorelCompoundImage -->\r\n"
    "<DIV STYLE=\"position:relative;width:50px;height:50px;\">"
    "<SPAN STYLE=\"position:absolute;left:0px;top:0px;width:30px;\">Hi</SPAN></DIV>\r\n"
    "<APPLET CODE=\"Getpara.class\" WIDTH=10 HEIGHT=10></APPLET>\r\n"
    "<P>After <IMG SRC=\"photo.png\" USEMAP=\"#photo0\"> and <IMG SRC=\"sub/photo.png\"></P>\r\n"
    "<MAP NAME=\"photo0\"><AREA SHAPE=RECT COORDS=\"1,1,5,5\" HREF=\"y.htm\"></MAP>\r\n"
    "</BODY></HTML>\r\n";

struct PageFixture : CompoundFixture {
    PageFixture() {
        Picture("a.png", 40, 40, 1);
        Picture("b.png", 30, 20, 2);
        Picture("photo.png", 20, 20, 3);
        fs::create_directories(dir / "sub");
        Picture("sub/photo.png", 16, 16, 4);
        WriteFile(Path("page.htm"), kPage);
    }
};

} // namespace

TEST(HtmlPage, ListsObjectsInPageOrder) {
    PageFixture fixture;
    HtmlPageDoc page(fixture.files.get(), &fixture.host.ui);
    ASSERT_TRUE(page.Open(fixture.Path("page.htm"), false));
    std::vector<std::string> names;
    for (size_t i = 0; i < page.Objects().size(); ++i) {
        names.push_back(page.DisplayName(i));
    }
    // Getpara.class is no compound image: the compare is exact.
    EXPECT_EQ(names, (std::vector<std::string>{"Compound image 1", "Applet 1", "Compound image 2",
                                               "photo.png", "photo.png"}));
    const CompoundImage first = page.ReadCompound(0);
    ASSERT_EQ(first.Objects().size(), 2u);
    EXPECT_EQ(first.Objects()[0].kind, CompoundKind::Circle);
    EXPECT_EQ(first.Objects()[0].centerX, 30); // moved by the picture's place
    EXPECT_EQ(first.FindImageUnder(0), 1);
    const CompoundImage applet = page.ReadCompound(1);
    ASSERT_EQ(applet.Objects().size(), 1u);
    EXPECT_EQ(applet.Objects()[0].picture->width(), 30);
    const CompoundImage plain = page.ReadCompound(3);
    ASSERT_EQ(plain.Objects().size(), 2u); // the map's rectangle and the picture
    EXPECT_EQ(plain.Width(), 20);
}

TEST(HtmlPage, BrokenCompoundImageLeavesTheRestOfThePage) {
    PageFixture fixture;
    WriteFile(fixture.Path("broken.htm"),
              "<BODY><!-- QorelCompoundImage --><DIV><SPAN><SPAN>x</SPAN></SPAN></DIV>"
              "<IMG SRC=\"a.png\"></BODY>");
    HtmlPageDoc page(fixture.files.get(), &fixture.host.ui);
    ASSERT_TRUE(page.Open(fixture.Path("broken.htm"), false));
    ASSERT_EQ(fixture.host.ui.messages.size(), 1u);
    EXPECT_EQ(fixture.host.ui.messages[0].text, "Wrong compound image syntax");
    ASSERT_EQ(page.Objects().size(), 1u);
    EXPECT_EQ(page.Objects()[0].kind, HtmlPageObject::Image);
}

TEST(HtmlPage, WriteBackReplacesTheElementInPlace) {
    PageFixture fixture;
    HtmlPageDoc page(fixture.files.get(), &fixture.host.ui);
    ASSERT_TRUE(page.Open(fixture.Path("page.htm"), false));
    const std::string before = VisibleText(page.Document());

    // The applet written as the HTML form, the first compound image as an applet.
    WriteBackOptions html;
    html.form = CompoundForm::Html;
    ASSERT_TRUE(page.WriteBack(1, page.ReadCompound(1), html));
    ASSERT_EQ(page.Objects()[1].kind, HtmlPageObject::Compound);
    WriteBackOptions applet;
    applet.form = CompoundForm::Applet;
    ASSERT_TRUE(page.WriteBack(0, page.ReadCompound(0), applet));
    EXPECT_EQ(page.Objects()[0].kind, HtmlPageObject::Applet);
    EXPECT_EQ(page.DisplayName(0), "Applet 1");
    EXPECT_EQ(page.DisplayName(1), "Compound image 1");
    EXPECT_EQ(page.DisplayName(2), "Compound image 2");
    ASSERT_TRUE(page.Save(fixture.Path("out.htm")));

    // The rest of the page reads as before; the objects read as they were.
    HtmlPageDoc again(fixture.files.get(), &fixture.host.ui);
    ASSERT_TRUE(again.Open(fixture.Path("out.htm"), false));
    EXPECT_EQ(VisibleText(again.Document()), before);
    const std::string text = ReadFile(fixture.Path("out.htm"));
    EXPECT_LT(text.find("Before the pictures."), text.find("getpara.class"));
    EXPECT_LT(text.find("getpara.class"), text.find("b.png"));
    EXPECT_EQ(text.find("USEMAP=\"#a0\""), std::string::npos); // the old map went with its DIV
    const CompoundImage fromApplet = again.ReadCompound(0);
    ASSERT_EQ(fromApplet.Objects().size(), 2u);
    EXPECT_EQ(fromApplet.Objects()[0].centerX, 30);
    EXPECT_EQ(fromApplet.Objects()[0].link.url, "x.htm");

    // Writing the same object back twice leaves one marker.
    ASSERT_TRUE(again.WriteBack(1, again.ReadCompound(1), html));
    ASSERT_TRUE(again.WriteBack(1, again.ReadCompound(1), html));
    std::string twice = again.Document().ToString();
    size_t markers = 0;
    for (size_t at = twice.find("QorelCompoundImage"); at != std::string::npos;
         at = twice.find("QorelCompoundImage", at + 1)) {
        ++markers;
    }
    EXPECT_EQ(markers, 2u);
}

TEST(HtmlPage, ImageMapFormNamesMapsAfterTheFileWithTheFirstFreeNumber) {
    PageFixture fixture;
    HtmlPageDoc page(fixture.files.get(), &fixture.host.ui);
    ASSERT_TRUE(page.Open(fixture.Path("page.htm"), false));
    // Two pictures both written as photo.gif: the old "photo0" map goes with
    // the first picture it served, so the names are photo0 and photo1.
    for (size_t index : {3u, 4u}) {
        CompoundImage image = page.ReadCompound(index);
        CompoundObject region = CompoundObject::MakeRectangle(RECT{2, 2, 8, 8});
        region.link.url = "z.htm";
        image.Insert(region, 0);
        WriteBackOptions options;
        options.form = CompoundForm::ImageMap;
        options.imagePath = fixture.Path(index == 3 ? "photo.gif" : "sub/photo.gif");
        ASSERT_TRUE(page.WriteBack(index, image, options));
    }
    const std::string text = page.Document().ToString();
    EXPECT_NE(text.find("<IMG SRC=\"photo.gif\" USEMAP=\"#photo0\" BORDER=0>"), std::string::npos)
        << text;
    EXPECT_NE(text.find("<IMG SRC=\"sub/photo.gif\" USEMAP=\"#photo1\" BORDER=0>"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<AREA SHAPE=RECT COORDS=\"2,2,8,8\" HREF=\"z.htm\">"), std::string::npos);
    std::string error;
    EXPECT_EQ(fixture.files->Read(fixture.Path("photo.gif"), &error).width(), 20);
    // What copying as HTML text gives is what the page received.
    MapNameTable fresh;
    CompoundImage image = page.ReadCompound(3);
    EXPECT_EQ(CompoundSourceText(image, CompoundForm::ImageMap, page.PageUrl(), fresh,
                                 fixture.Path("photo.gif")),
              "<IMG SRC=\"photo.gif\" USEMAP=\"#photo0\" BORDER=0>\r\n<MAP NAME=\"photo0\">"
              "<AREA SHAPE=RECT COORDS=\"2,2,8,8\" HREF=\"z.htm\">\r\n<AREA SHAPE=RECT "
              "COORDS=\"1,1,5,5\" HREF=\"y.htm\">\r\n</MAP>\r\n");
}

TEST(HtmlPage, DeleteAsksForTheMapAndEmptyImagesAreRefused) {
    PageFixture fixture;
    HtmlPageDoc page(fixture.files.get(), &fixture.host.ui);
    ASSERT_TRUE(page.Open(fixture.Path("page.htm"), false));
    fixture.host.ui.answers = {true};
    page.Delete(3);
    ASSERT_EQ(page.Objects().size(), 4u);
    ASSERT_EQ(fixture.host.ui.messages.size(), 1u);
    EXPECT_EQ(fixture.host.ui.messages[0].text,
              "Image has imagemap regions.\nDo you want to delete it also ?");
    EXPECT_EQ(page.Document().ToString().find("photo0"), std::string::npos);
    page.Delete(0);
    const std::string text = page.Document().ToString();
    EXPECT_EQ(text.find("QorelCompoundImage"), text.rfind("QorelCompoundImage"));
    EXPECT_EQ(text.find("width:120px"), std::string::npos);
    EXPECT_EQ(page.DisplayName(1), "Compound image 1");

    CompoundImage regionsOnly;
    regionsOnly.Insert(CompoundObject::MakeRectangle(RECT{0, 0, 4, 4}));
    std::string error;
    EXPECT_FALSE(page.WriteBack(0, regionsOnly, WriteBackOptions{}, &error));
    EXPECT_EQ(error, "The Compound image is empty.");
    EXPECT_EQ(fixture.host.ui.messages.back().caption, "Can`t save Compound image as Html file");
}

TEST(HtmlPage, PreviewCopySkipsATakenName) {
    PageFixture fixture;
    HtmlPageDoc::SetPreviewCounter(0x2a);
    WriteFile(fixture.Path("$vs2a.htm"), "taken");
    {
        HtmlPageDoc page(fixture.files.get(), &fixture.host.ui);
        ASSERT_TRUE(page.Open(fixture.Path("page.htm")));
        EXPECT_EQ(page.PreviewPath(), fixture.Path("$vs2b.htm"));
        EXPECT_EQ(ReadFile(fixture.Path("$vs2a.htm")), "taken");
        page.Delete(0);
        EXPECT_FALSE(page.PreviewCurrent());
        ASSERT_TRUE(page.UpdatePreview());
        EXPECT_EQ(ReadFile(page.PreviewPath()), page.Document().ToString());
    }
    EXPECT_FALSE(fs::exists(fixture.Path("$vs2b.htm"))); // removed with the document
}

TEST(HtmlPage, AppletSupportFilesAreCopiedOnlyElsewhere) {
    CompoundFixture fixture;
    fs::create_directories(fixture.dir / "Java");
    fs::create_directories(fixture.dir / "site");
    WriteFile(fixture.Path("Java/getpara.class"), "class");
    WriteFile(fixture.Path("Java/readme.txt"), "text");
    WriteFile(fixture.Path("site/getpara.class"), "old");
    bool ok = false;
    EXPECT_EQ(CopyAppletSupportFiles(fixture.dir.string(), fixture.Path("site"), &ok), 1);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ReadFile(fixture.Path("site/getpara.class")), "class"); // replaced
    EXPECT_FALSE(fs::exists(fixture.Path("site/readme.txt")));
    EXPECT_EQ(CopyAppletSupportFiles(fixture.dir.string(), fixture.Path("Java")), 0);
}
