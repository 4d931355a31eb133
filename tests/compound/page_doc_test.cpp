// The page document: listing a page's pictures, writing an edited object
// back in each form in place of its element, deleting, and the preview copy.
#include "compound/html_page_doc.h"
#include "compound/text_renderer.h"
#include "html/html_markup_style.h"
#include "compound_test_util.h"
#include "html/html_visible_text.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    // The applet holds the flattened picture and its map for browsers
    // without applets; reading it takes only its parameters.
    const size_t fallback = text.find("<IMG SRC=\"page_applet1.png\" WIDTH=120 HEIGHT=80");
    EXPECT_LT(text.find("getpara.class"), fallback) << text;
    EXPECT_LT(fallback, text.find("</APPLET>"));
    EXPECT_NE(text.find("<AREA SHAPE=CIRCLE COORDS=\"30,30,5\" HREF=\"x.htm\" ALT=\"x.htm\">"),
              std::string::npos);
    EXPECT_EQ(fixture.files->Read(fixture.Path("page_applet1.png"), nullptr).width(), 120);
    const CompoundImage fromApplet = again.ReadCompound(0);
    ASSERT_EQ(fromApplet.Objects().size(), 2u);
    EXPECT_EQ(fromApplet.Objects()[0].centerX, 30);
    EXPECT_EQ(fromApplet.Objects()[0].link.url, "x.htm");

    // Written again, the applet keeps its fallback picture's file.
    ASSERT_TRUE(again.WriteBack(0, again.ReadCompound(0), applet));
    EXPECT_NE(again.PageText().find("<IMG SRC=\"page_applet1.png\""), std::string::npos);
    EXPECT_FALSE(fs::exists(fixture.Path("page_applet2.png")));

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
    const std::string text = page.PageText();
    const std::string block = " WIDTH=20 HEIGHT=20 STYLE=\"display:block;width:20px;height:20px;\" ALT";
    EXPECT_NE(text.find("<IMG SRC=\"photo.gif\"" + block + " USEMAP=\"#photo0\" BORDER=0>"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<IMG SRC=\"sub/photo.gif\" WIDTH=16 HEIGHT=16"), std::string::npos)
        << text;
    EXPECT_NE(text.find("USEMAP=\"#photo1\" BORDER=0>"), std::string::npos) << text;
    EXPECT_NE(text.find("<AREA SHAPE=RECT COORDS=\"2,2,8,8\" HREF=\"z.htm\" ALT=\"z.htm\">"),
              std::string::npos);
    std::string error;
    EXPECT_EQ(fixture.files->Read(fixture.Path("photo.gif"), &error).width(), 20);
    // What copying as HTML text gives is what the page received.
    MapNameTable fresh;
    CompoundImage image = page.ReadCompound(3);
    EXPECT_EQ(CompoundSourceText(image, CompoundForm::ImageMap, page.PageUrl(), fresh,
                                 fixture.Path("photo.gif")),
              "<IMG SRC=\"photo.gif\"" + block + " USEMAP=\"#photo0\" BORDER=0>\r\n<MAP NAME=\"photo0\">"
              "<AREA SHAPE=RECT COORDS=\"2,2,8,8\" HREF=\"z.htm\" ALT=\"z.htm\">\r\n<AREA SHAPE=RECT "
              "COORDS=\"1,1,5,5\" HREF=\"y.htm\" ALT=\"y.htm\">\r\n</MAP>\r\n");

    // The flattened picture tells readers its texts; each area its hint,
    // text or picture.
    CompoundImage captioned;
    captioned.SetCanvas(90, 40, 0xFFFFFF);
    CompoundObject hinted = CompoundObject::MakeRectangle(RECT{0, 0, 9, 9});
    hinted.link = HtmlLink{HtmlLink::Hint, "a.htm", "Shop"};
    captioned.Insert(hinted);
    captioned.Insert(CompoundObject::MakeText("Summer\nsale", LogFont{}, 0, 0, 10, 50));
    CompoundObject linkedText = CompoundObject::MakeText("More", LogFont{}, 0, 50, 10, 30);
    linkedText.link.url = "more.htm";
    captioned.Insert(linkedText);
    const std::string source = CompoundSourceText(captioned, CompoundForm::ImageMap, page.PageUrl(),
                                                  fresh, fixture.Path("sale.png"));
    EXPECT_NE(source.find("STYLE=\"display:block;width:90px;height:40px;\" ALT=\"Summer sale More\""),
              std::string::npos)
        << source;
    EXPECT_NE(source.find("HREF=\"a.htm\" ALT=\"Shop\">"), std::string::npos) << source;
    EXPECT_NE(source.find("HREF=\"more.htm\" ALT=\"More\">"), std::string::npos) << source;
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

// The preview copy lies in a private temporary folder, never in the web
// folder, and resolves the page's relative references in the page's folder.
TEST(HtmlPage, PreviewCopyStaysOutOfTheWebFolder) {
    PageFixture fixture;
    std::string folder;
    {
        HtmlPageDoc page(fixture.files.get(), &fixture.host.ui);
        ASSERT_TRUE(page.Open(fixture.Path("page.htm")));
        folder = fs::path(page.PreviewPath()).parent_path().string();
        EXPECT_NE(fs::path(folder), fixture.dir);
        for (const auto& entry : fs::directory_iterator(fixture.dir)) {
            EXPECT_EQ(entry.path().filename().string().rfind("$vs", 0), std::string::npos);
        }
        const std::string base =
            "<BASE HREF=\"" + HtmlUrl::FromLocalPath(fixture.Path("page.htm")).Full() + "\">";
        EXPECT_EQ(ReadFile(page.PreviewPath()), base + kPage);
        page.Delete(0);
        EXPECT_FALSE(page.PreviewCurrent());
        ASSERT_TRUE(page.UpdatePreview());
        EXPECT_EQ(ReadFile(page.PreviewPath()), base + page.PageText());
    }
    EXPECT_FALSE(fs::exists(folder)); // removed with the document
}

namespace {

// Real pages: the HTML manuals installed on this machine, the pages of the
// parser's corpus that have a BODY tag.
std::vector<fs::path> RealPages(size_t manuals) {
    std::vector<fs::path> pages;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(
             "/usr/share/doc", fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator() && pages.size() < manuals;
         it.increment(error)) {
        const fs::path& path = it->path();
        if ((path.extension() == ".html" || path.extension() == ".htm") &&
            it->is_regular_file(error) && it->file_size(error) < 500'000) {
            pages.push_back(path);
        }
    }
    for (const auto& entry : fs::directory_iterator(PIXMILL_TEST_DATA_DIR "/html/corpus")) {
        pages.push_back(entry.path());
    }
    std::sort(pages.begin(), pages.end());
    return pages;
}

size_t FindNoCase(const std::string& text, const std::string& lowerNeedle) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find(lowerNeedle);
}

} // namespace

// An update touches only the edited object: in real pages holding a
// compound image in each form, converting it to the next form, editing it
// again and deleting it leave every other byte as it was, and the new
// markup takes the page's case and line ends.
TEST(HtmlPage, UpdatesLeaveTheRestOfRealPagesByteForByte) {
    PageFixture fixture;
    CompoundImage image;
    image.SetCanvas(60, 40, 0xFFFFFF);
    CompoundObject region = CompoundObject::MakeRectangle(RECT{2, 2, 20, 20});
    region.link.url = "target.htm";
    image.Insert(region);
    image.Insert(CompoundObject::MakeImage(
        std::make_shared<const QImage>(QImage(QString::fromStdString(fixture.Path("a.png")))), fixture.Path("a.png"), 0, 0));
    LogFont font;
    font.height = -15;
    image.Insert(CompoundObject::MakeText("Caption", font, 0, 5, 20, 50));
    const CompoundForm forms[] = {CompoundForm::Html, CompoundForm::ImageMap, CompoundForm::Applet,
                                  CompoundForm::Responsive};
    constexpr int kForms = 4;
    ASSERT_TRUE(fixture.files->Write(ComposeCanvas(image), fixture.Path("flat0.png"), nullptr));
    // The object in the form: the first compound image or applet, or the
    // picture of that name.
    const auto find = [](const HtmlPageDoc& page, CompoundForm form, const char* picture) {
        for (size_t i = 0; i < page.Objects().size(); ++i) {
            const HtmlPageObject& object = page.Objects()[i];
            if ((form == CompoundForm::Html && object.kind == HtmlPageObject::Compound) ||
                (form == CompoundForm::Applet && object.kind == HtmlPageObject::Applet) ||
                (WritesFlatPicture(form) && object.kind == HtmlPageObject::Image &&
                 object.element->AttributeText("SRC") == picture)) {
                return i;
            }
        }
        return page.Objects().size();
    };
    int edited = 0;
    int lowerCase = 0;
    for (const fs::path& real : RealPages(60)) {
        const std::string original = ReadFile(real.string());
        const size_t body = FindNoCase(original, "<body");
        const size_t bodyEnd = body == std::string::npos ? body : original.find('>', body);
        if (bodyEnd == std::string::npos) {
            continue;
        }
        const std::string before = original.substr(0, bodyEnd + 1);
        const std::string after = original.substr(bodyEnd + 1);
        const bool lf = original.find("\r\n") == std::string::npos && original.find('\n') != std::string::npos;
        const bool lower = DetectMarkupStyle(original).lowerCaseNames;
        // The rest of the page is the page as it was, around the new markup.
        const auto expectRestKept = [&](const std::string& written) {
            ASSERT_GE(written.size(), before.size() + after.size());
            EXPECT_EQ(written.substr(0, before.size()), before);
            EXPECT_EQ(written.substr(written.size() - after.size()), after);
            const std::string markup =
                written.substr(before.size(), written.size() - before.size() - after.size());
            EXPECT_FALSE(lf && markup.find("\r\n") != std::string::npos) << markup;
            EXPECT_FALSE(lower && (markup.find("<IMG") != std::string::npos ||
                                   markup.find("<DIV") != std::string::npos ||
                                   markup.find("<APPLET") != std::string::npos))
                << markup;
        };
        for (int f = 0; f < kForms; ++f) {
            SCOPED_TRACE(real.string() + " form " + std::to_string(f));
            const std::string pagePath = fixture.Path("real.htm");
            MapNameTable maps;
            const std::string object = CompoundSourceText(
                image, forms[f], HtmlUrl::FromLocalPath(pagePath), maps, fixture.Path("flat0.png"));
            WriteFile(pagePath, before + "\n" + ApplyMarkupStyle(object, DetectMarkupStyle(original)) +
                                    "\n" + after);
            HtmlPageDoc page(fixture.files.get(), &fixture.host.ui);
            if (!page.Open(pagePath, false)) {
                break; // a page the parser refuses is not edited
            }
            const size_t index = find(page, forms[f], "flat0.png");
            ASSERT_LT(index, page.Objects().size());
            WriteBackOptions options;
            options.form = forms[(f + 1) % kForms];
            options.imagePath = fixture.Path("flat1.png");
            ASSERT_TRUE(page.WriteBack(index, page.ReadCompound(index), options));
            expectRestKept(page.PageText());
            ASSERT_TRUE(page.Save(pagePath));
            expectRestKept(ReadFile(pagePath));
            // Edited once more, then deleted: still only that object changes.
            const size_t again = find(page, options.form, "flat1.png");
            ASSERT_LT(again, page.Objects().size());
            options.form = forms[(f + 2) % kForms];
            options.imagePath = fixture.Path("flat2.png");
            ASSERT_TRUE(page.WriteBack(again, page.ReadCompound(again), options));
            expectRestKept(page.PageText());
            page.Delete(find(page, options.form, "flat2.png"));
            const std::string left = page.PageText();
            expectRestKept(left);
            EXPECT_EQ(left.find("flat2.png"), std::string::npos);
            EXPECT_EQ(left.find("QorelCompoundImage"), std::string::npos);
            ++edited;
            lowerCase += lower ? 1 : 0;
        }
    }
    EXPECT_GE(edited, 120); // 30 pages at least, in each form
    EXPECT_GE(lowerCase, 40);
}

// The responsive form is the image-map form with a picture that fits a
// narrow page: its map keeps canvas coordinates (scaled in the browser), so
// the page reads back as the same compound image, and written again in
// another form it leaves no scaling behind.
TEST(HtmlPage, ResponsiveFormReadsBackAsTheSameImage) {
    PageFixture fixture;
    HtmlPageDoc page(fixture.files.get(), &fixture.host.ui);
    ASSERT_TRUE(page.Open(fixture.Path("page.htm"), false));
    CompoundImage image = page.ReadCompound(3);
    CompoundObject rect = CompoundObject::MakeRectangle(RECT{2, 3, 9, 12});
    rect.link = HtmlLink{HtmlLink::Hint, "r.htm", "Shop"};
    image.Insert(rect, 0);
    CompoundObject circle = CompoundObject::MakeCircle(14, 14, 4);
    circle.link.url = "c.htm";
    image.Insert(circle, 0);
    WriteBackOptions options;
    options.form = CompoundForm::Responsive;
    options.imagePath = fixture.Path("fit.png");
    ASSERT_TRUE(page.WriteBack(3, image, options));
    const std::string text = page.PageText();
    EXPECT_NE(text.find("<IMG SRC=\"fit.png\" WIDTH=20 HEIGHT=20 STYLE=\"display:block;width:100%;"
                        "max-width:20px;height:auto;\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("ONLOAD=\"var i=this"), std::string::npos) << text;
    EXPECT_NE(text.find("COORDS=\"2,3,9,12\" HREF=\"r.htm\" ALT=\"Shop\""), std::string::npos);
    ASSERT_TRUE(page.Save(fixture.Path("fit.htm")));

    HtmlPageDoc again(fixture.files.get(), &fixture.host.ui);
    ASSERT_TRUE(again.Open(fixture.Path("fit.htm"), false));
    ASSERT_EQ(again.Objects()[3].kind, HtmlPageObject::Image);
    const CompoundImage read = again.ReadCompound(3);
    ASSERT_EQ(read.Objects().size(), image.Objects().size());
    EXPECT_EQ(read.Width(), 20);
    EXPECT_EQ(read.Height(), 20);
    // The regions as written, then the flattened picture.
    const auto shape = [](const CompoundObject& o) {
        return o.kind == CompoundKind::Circle
                   ? std::vector<int>{o.centerX, o.centerY, o.radius}
                   : std::vector<int>{o.rect.left, o.rect.top, o.rect.right, o.rect.bottom};
    };
    for (size_t i = 0; i + 1 < image.Objects().size(); ++i) {
        EXPECT_EQ(read.Objects()[i].kind, image.Objects()[i].kind) << i;
        EXPECT_EQ(read.Objects()[i].link.url, image.Objects()[i].link.url) << i;
        EXPECT_EQ(shape(read.Objects()[i]), shape(image.Objects()[i])) << i;
    }
    options.form = CompoundForm::ImageMap;
    options.imagePath = fixture.Path("fixed.png");
    ASSERT_TRUE(again.WriteBack(3, again.ReadCompound(3), options));
    EXPECT_EQ(again.PageText().find("ONLOAD"), std::string::npos);
    EXPECT_EQ(again.PageText().find("fit.png"), std::string::npos);
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
