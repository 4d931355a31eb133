// The compound image model and its two stored forms: the documented
// examples, the reading rules, and round trips of random compositions.
#include "compound/applet_form.h"
#include "compound/compound_html_form.h"
#include "compound/compound_image.h"
#include "compound/html_style.h"
#include "compound/text_renderer.h"
#include "compound_test_util.h"
#include "html/html_document.h"

#include <gtest/gtest.h>

#include <random>

using namespace pixmill;
using namespace pixmill::test;

namespace {

LogFont Font(const char* face, int height, int weight, bool italic, uint8_t pitchAndFamily) {
    LogFont font;
    SetFaceName(font, face);
    font.height = height;
    font.weight = weight;
    font.italic = italic ? 1 : 0;
    font.pitchAndFamily = pitchAndFamily;
    return font;
}

// The compound root DIV of a fragment parsed as a page.
struct Parsed {
    explicit Parsed(const std::string& html) {
        HtmlSource source("test.htm", html.data(), html.size());
        document.Parse(source);
    }
    const HtmlContainer* Find(const std::string& name) const {
        const HtmlContainer* found = nullptr;
        std::vector<const HtmlNode*> stack(1, document.Body());
        while (!stack.empty() && !found) {
            const HtmlNode* node = stack.back();
            stack.pop_back();
            if (node->IsContainer()) {
                if (node->AsContainer()->Name() == name && node != document.Body()) {
                    found = node->AsContainer();
                }
                for (const HtmlNode* child : node->AsContainer()->Children()) {
                    stack.push_back(child);
                }
            }
        }
        return found;
    }
    HtmlDocument document;
};

std::string Html(const std::vector<std::unique_ptr<HtmlNode>>& nodes) {
    std::string text;
    for (const auto& node : nodes) {
        text += node->ToString();
    }
    return text;
}

} // namespace

TEST(CompoundModel, NamesGrowthMinimiseAndImageUnder) {
    CompoundNameCounter::SetStart(0);
    CompoundImage image(CompoundDefaults{});
    image.SetCanvas(50, 40, 0xFFFFFF);
    image.Insert(CompoundObject::MakeRectangle(RECT{10, 10, 30, 30}));
    image.Insert(CompoundObject::MakeCircle(100, 20, 10));
    image.AssignNames();
    EXPECT_EQ(image.Objects()[0].link.name, "Rectangle0");
    EXPECT_EQ(image.Objects()[1].link.name, "Circle1"); // one counter for every kind
    EXPECT_EQ(image.Width(), 110);                      // grown to the circle's right edge
    EXPECT_EQ(image.Height(), 40);
    EXPECT_EQ(image.CanvasPicture().width(), 110);

    auto picture = std::make_shared<const QImage>(QImage(60, 50, QImage::Format_RGB888));
    image.Insert(CompoundObject::MakeImage(picture, "/a/photo.gif", 5, 5));
    EXPECT_EQ(image.FindImageUnder(0), 2);  // inside the picture
    EXPECT_EQ(image.FindImageUnder(1), -1); // outside it
    EXPECT_EQ(image.FindImageUnder(2), -1); // nothing follows
    EXPECT_EQ(image.DefaultFileName(), "photo");

    image.SetCanvas(300, 300, 0x00FF00);
    EXPECT_TRUE(image.Minimise());
    EXPECT_EQ(image.Width(), 110);
    EXPECT_EQ(image.Height(), 55);
    EXPECT_FALSE(image.Minimise());
}

// A partly transparent picture keeps its alpha in a compound image: read
// with it, composed over the canvas colour (not over white), and written
// back as PNG with it.
TEST(CompoundModel, APartlyTransparentPictureShowsTheCanvasThrough) {
    test::CompoundFixture fixture;
    QImage soft(8, 4, QImage::Format_ARGB32);
    soft.fill(qRgba(200, 40, 10, 128));
    const std::string path = fixture.Path("soft.png");
    std::string error;
    ASSERT_TRUE(fixture.files->Write(soft, path, &error)) << error;
    const QImage read = fixture.files->Read(path, &error);
    ASSERT_TRUE(read.hasAlphaChannel()) << error;
    EXPECT_EQ(read.pixel(3, 2), qRgba(200, 40, 10, 128));

    CompoundImage image(CompoundDefaults{});
    image.SetCanvas(8, 4, 0x000000);
    image.Insert(CompoundObject::MakeImage(std::make_shared<const QImage>(read), path, 0, 0));
    const QColor shown = ComposeCanvas(image).pixelColor(3, 2);
    EXPECT_NEAR(shown.red(), 100, 2) << "half of the red over black";
    EXPECT_NEAR(shown.green(), 20, 2);
}

TEST(CompoundModel, DefaultsKeepTheRestOfTheStoredRecord) {
    MemorySettingsStore store;
    HtmlProperty stored;
    std::snprintf(stored.workingDirectory, sizeof stored.workingDirectory, "/srv/web/");
    WriteRecord(store, kHtmlPropertyName, stored);
    CompoundDefaults defaults = CompoundDefaults::Load(store);
    EXPECT_EQ(defaults.width, 500);
    defaults.width = 640;
    defaults.textColor = MakeColorRef(1, 2, 3);
    defaults.Save(store);
    HtmlProperty back;
    ASSERT_TRUE(ReadRecord(store, kHtmlPropertyName, back));
    EXPECT_STREQ(back.workingDirectory, "/srv/web/");
    EXPECT_EQ(CompoundDefaults::Load(store).width, 640);
    EXPECT_EQ(CompoundDefaults::Load(store).textColor, MakeColorRef(1, 2, 3));

    ScriptedUserInterface ui;
    ui.answers = {false, true};
    CompoundImage image(defaults);
    image.SetCanvas(123, 45, 0);
    EXPECT_FALSE(image.OfferCanvasAsDefaults(ui, defaults));
    EXPECT_EQ(defaults.width, 640);
    EXPECT_TRUE(image.OfferCanvasAsDefaults(ui, defaults));
    EXPECT_EQ(defaults.width, 123);
    EXPECT_EQ(defaults.height, 45);
}

TEST(HtmlStyleText, LengthsColoursAndPairs) {
    EXPECT_EQ(ParsePxValue("12pt", 96), 16);
    EXPECT_EQ(ParsePxValue("7px", 96), 7);
    EXPECT_THROW(ParsePxValue("12em", 96), ParsePxValueException);
    EXPECT_EQ(ParsePxValueOrZero("12em", 96), 0);
    EXPECT_EQ(ParseRgb("rgb(1,2)"), 0u);
    EXPECT_EQ(ParseRgb("rgb(1,2,3,4)"), 0u);
    EXPECT_EQ(ParseRgb("rgb(255, 0, 16)"), MakeColorRef(255, 0, 16));
    EXPECT_EQ(RgbText(MakeColorRef(255, 0, 16)), "rgb(255,0,16)");

    HtmlStyle style(" position : absolute; left:3px;;top:4px");
    style.Set("left", "9px"); // replaced in place
    style.Remove("TOP");
    style.Set("color", "red");
    EXPECT_EQ(style.ToString(), "position:absolute;left:9px;color:red;");
}

TEST(HtmlForm, WritesTheDocumentedElements) {
    const HtmlUrl page = HtmlUrl::FromLocalPath("/site/page.htm");
    MapNameTable maps;
    HtmlFormWriter writer(page, maps);
    CompoundObject text = CompoundObject::MakeText("Sale", Font("Arial", -16, 700, true, 0x20),
                                                   MakeColorRef(255, 0, 0), 10, 20, 100);
    const auto span = writer.TextElement(text);
    EXPECT_EQ(
        span->AttributeText("STYLE"),
        "font-style:italic;font-weight:bold;font-size:12pt ;font-family:Arial,sans-serif;"
        "color:rgb(255,0,0);position:absolute;left:10px;top:20px;width:100px;");

    CompoundImage image;
    image.SetCanvas(200, 100, 0xFFFFFF);
    CompoundObject region = CompoundObject::MakeRectangle(RECT{105, 5, 150, 40});
    region.link.url = "http://example.com/a.htm";
    region.link.flags = HtmlLink::NewWindow | HtmlLink::Hint;
    region.link.name = "Go";
    image.Insert(region);
    CompoundObject picture = CompoundObject::MakeImage(
        std::make_shared<const QImage>(QImage(80, 60, QImage::Format_RGB888)),
        "/site/img/photo.gif", 100, 0);
    picture.link.url = "/site/next.htm";
    picture.link.flags = HtmlLink::Hand;
    image.Insert(picture);
    CompoundObject popup =
        CompoundObject::MakeText("Zoom", Font("", 0, 400, false, 0), 0, 0, 0, 30);
    popup.link.url = "big.gif";
    popup.link.flags = HtmlLink::NewWindow;
    image.Insert(popup);
    const std::string html = Html(writer.Write(image));
    EXPECT_NE(
        html.find("<A HREF=\"big.gif\" TARGET=\"_blank\" "
                  "onclick='window.showModalDialog(\"big.gif\")'><SPAN STYLE=\"color:rgb(0,0,0);"
                  "text-decoration:none;position:absolute;left:0px;top:0px;width:30px;\">Zoom"),
        std::string::npos)
        << html;
    EXPECT_NE(html.find("<!-- QorelCompoundImage -->"), std::string::npos);
    EXPECT_NE(html.find("<DIV STYLE=\"position:relative;width:200px;height:100px;\">"),
              std::string::npos);
    EXPECT_NE(html.find("<AREA SHAPE=RECT COORDS=\"5,5,50,40\" HREF=\"http://example.com/a.htm\" "
                        "TARGET=\"_blank\" ALT=\"Go\">"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<IMG SRC=\"img/photo.gif\" USEMAP=\"#photo0\" BORDER=0>"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<MAP NAME=\"photo0\">"), std::string::npos);
    EXPECT_NE(html.find("cursor:hand;"), std::string::npos);
}

TEST(HtmlForm, ReadingRulesAndSyntaxErrors) {
    const HtmlUrl page = HtmlUrl::FromLocalPath("/site/page.htm");
    const char* good =
        "<DIV STYLE=\"position:relative;width:40px;height:30px\">"
        "<A HREF=\"x.htm\" TARGET=_blank><SPAN STYLE=\"left:12pt;top:12em;font-weight:300;"
        "font-size:9pt;font-style:oblique;cursor:HAND;color:rgb(1,2)\">a &amp; b</SPAN></A>\r\n"
        "<SPAN STYLE=\"font-weight:heavy\">plain</SPAN></DIV>";
    Parsed parsed(good);
    const CompoundImage image = HtmlFormReader(page, nullptr).Read(*parsed.Find("DIV"));
    ASSERT_EQ(image.Objects().size(), 2u);
    const CompoundObject& text = image.Objects()[0];
    EXPECT_EQ(text.text, "a & b");
    EXPECT_EQ(text.rect.left, 16);
    EXPECT_EQ(text.rect.top, 0);
    EXPECT_EQ(text.font.weight, 300);
    EXPECT_EQ(text.font.height, -12);
    EXPECT_TRUE(text.font.italic);
    EXPECT_EQ(text.textColor, 0u);
    EXPECT_EQ(text.link.url, "x.htm");
    EXPECT_EQ(text.link.flags, HtmlLink::NewWindow | HtmlLink::Hand);
    EXPECT_EQ(image.Objects()[1].font.weight, 400);

    for (const char* bad : {
             "<DIV><SPAN><SPAN>x</SPAN></SPAN></DIV>",                // a span in a text
             "<DIV><A HREF=a><SPAN>x</SPAN><SPAN>y</SPAN></A></DIV>", // two texts in one link
             "<DIV><SPAN>x<MAP NAME=m></MAP></SPAN></DIV>",           // a map in a text
             "<DIV>\r\n<P>no objects</P></DIV>",                      // nothing complete
         }) {
        Parsed broken(bad);
        EXPECT_THROW(HtmlFormReader(page, nullptr).Read(*broken.Find("DIV")), CompoundSyntaxError)
            << bad;
    }
}

// Texts keep their size in the unit the page used through any number of
// saves, and a size changed in the editor stays exact in that unit.
TEST(HtmlForm, FontSizesKeepTheirUnitThroughRoundTrips) {
    const HtmlUrl page = HtmlUrl::FromLocalPath("/site/page.htm");
    std::mt19937 random(20261209);
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    // Sizes as pages write them: whole and fractional, every unit.
    std::vector<std::string> sizes;
    for (int i = 0; i < 6; ++i) {
        sizes.push_back(std::to_string(pick(6, 72)) + "px");
        sizes.push_back(std::to_string(pick(5, 54)) + (pick(0, 1) ? ".5pt" : "pt"));
        sizes.push_back(std::to_string(pick(0, 3)) + "." + std::to_string(pick(1, 99)) + "em");
    }
    sizes.insert(sizes.end(), {"14pt", "15px", "13.5pt", "1em", " 2REM", "0.75em"});
    std::string html = "<DIV STYLE=\"position:relative;width:400px;height:400px\">";
    for (size_t i = 0; i < sizes.size(); ++i) {
        html += "<SPAN STYLE=\"font-size:" + sizes[i] + ";left:" + std::to_string(i) +
                "px;top:0px;width:50px\">t" + std::to_string(i) + "</SPAN>";
    }
    html += "</DIV>";
    CompoundImage image = HtmlFormReader(page, nullptr).Read(*Parsed(html).Find("DIV"));
    ASSERT_EQ(image.Objects().size(), sizes.size());
    std::vector<int> heights;
    for (const CompoundObject& text : image.Objects()) {
        heights.push_back(text.font.height);
    }
    EXPECT_EQ(image.Objects()[sizes.size() - 6].font.height, -19); // 14pt at 96 dpi
    for (int round = 0; round < 50; ++round) {
        MapNameTable maps;
        const std::string written = Html(HtmlFormWriter(page, maps).Write(image));
        image = HtmlFormReader(page, nullptr).Read(*Parsed(written).Find("DIV"));
        ASSERT_EQ(image.Objects().size(), sizes.size());
        for (size_t i = 0; i < sizes.size(); ++i) {
            const std::string trimmed = sizes[i].substr(sizes[i].find_first_not_of(' '));
            ASSERT_NE(written.find("font-size:" + trimmed + ";"), std::string::npos)
                << "round " << round << ": " << trimmed << " in " << written;
            ASSERT_EQ(image.Objects()[i].font.height, heights[i]) << sizes[i];
        }
    }

    // A size changed in the editor is written exactly in the page's unit
    // (a new text in points), and reads back as the same pixels.
    const std::pair<const char*, const char*> changed[] = {
        {"12pt", "14.25pt "}, {"15px", "19px"}, {"1em", "1.1875em"}, {"", "14.25pt "}};
    for (const auto& [before, after] : changed) {
        CompoundObject text = CompoundObject::MakeText("x", Font("", -19, 400, false, 0), 0, 0, 0, 9);
        text.fontSize = before;
        MapNameTable maps;
        const std::string style = HtmlFormWriter(page, maps).TextElement(text)->AttributeText("STYLE");
        EXPECT_NE(style.find(std::string("font-size:") + after + ";"), std::string::npos) << style;
        int pixels = 0;
        EXPECT_TRUE(ParseFontSize(after, 96, pixels));
        EXPECT_EQ(pixels, 19);
    }
    int pixels = 0;
    EXPECT_FALSE(ParseFontSize("12", 96, pixels));
    EXPECT_FALSE(ParseFontSize("-3px", 96, pixels));
    EXPECT_FALSE(ParseFontSize("large", 96, pixels));
}

// The face goes into the family list browsers read; pages that named it in
// "font-name" still read.
TEST(HtmlForm, FontFamilyListWrittenAndRead) {
    const HtmlUrl page = HtmlUrl::FromLocalPath("/site/page.htm");
    MapNameTable maps;
    const std::pair<LogFont, const char*> fonts[] = {
        {Font("Times New Roman", -16, 400, false, 0x10), "font-family:Times New Roman,serif;"},
        {Font("9x15", -16, 400, false, 0), "font-family:'9x15';"},
        {Font("", -16, 400, false, 0x30), "font-family:monospace;"},
    };
    for (const auto& [font, expected] : fonts) {
        const CompoundObject text = CompoundObject::MakeText("x", font, 0, 0, 0, 9);
        const auto span = HtmlFormWriter(page, maps).TextElement(text);
        EXPECT_NE(span->AttributeText("STYLE").find(expected), std::string::npos)
            << span->AttributeText("STYLE");
        EXPECT_EQ(span->AttributeText("STYLE").find("font-name"), std::string::npos);
        const std::string html = "<DIV>" + span->ToString() + "</DIV>";
        const CompoundImage back = HtmlFormReader(page, nullptr).Read(*Parsed(html).Find("DIV"));
        EXPECT_EQ(FaceNameOf(back.Objects()[0].font), FaceNameOf(font));
        EXPECT_EQ(back.Objects()[0].font.pitchAndFamily & 0xF0, font.pitchAndFamily & 0xF0);
    }
    const CompoundImage old = HtmlFormReader(page, nullptr).Read(*Parsed(
        "<DIV><SPAN STYLE=\"font-family:sans-serif;font-name:Arial\">x</SPAN></DIV>").Find("DIV"));
    EXPECT_EQ(FaceNameOf(old.Objects()[0].font), "Arial");
    EXPECT_EQ(old.Objects()[0].font.pitchAndFamily & 0xF0, 0x20);
}

TEST(AppletForm, DocumentedParameters) {
    const HtmlUrl page = HtmlUrl::FromLocalPath("/site/page.htm");
    CompoundImage image;
    image.SetCanvas(300, 200, 0xFFFFFF);
    CompoundObject circle = CompoundObject::MakeCircle(50, 60, 10);
    circle.link.url = "http://example.com/";
    image.Insert(circle);
    CompoundObject popupLike = CompoundObject::MakeRectangle(RECT{1, 2, 3, 4});
    popupLike.link.url = "photo.JPG";
    popupLike.link.flags = HtmlLink::NewWindow;
    image.Insert(popupLike);
    const LogFont bold = Font("Arial", 12, 700, false, 0x20);
    image.Insert(CompoundObject::MakeText("one", bold, MakeColorRef(255, 0, 0), 5, 5, 40));
    image.Insert(CompoundObject::MakeText("two", bold, 0, 5, 50, 40));
    const auto applet = AppletWriter(page).Write(image);
    EXPECT_EQ(*applet->Attribute("CODE"), "getpara.class");
    const auto params = AppletReader::Parameters(*applet);
    EXPECT_EQ(params.at("fontname"), "Helvetica");
    EXPECT_EQ(params.at("fontsize"), "12");
    EXPECT_EQ(params.at("fontstyle"), "b");
    EXPECT_EQ(params.at("0textstyle"), "0+0");
    EXPECT_EQ(params.at("0tcolor"), "16711680;0");
    EXPECT_EQ(params.at("0hspoint"), "-1,10,50,60;1,2,3,2,3,4,1,4");
    EXPECT_EQ(params.at("0hsaction"), "map;map"); // photo.JPG: the compare is exact
    EXPECT_EQ(params.at("addr"), "http://example.com/;photo.JPG");
    EXPECT_EQ(params.count("0popup"), 0u);

    // Without texts: no font parameters, and one default font when read.
    CompoundImage bare;
    bare.SetCanvas(10, 10, 0);
    CompoundObject only = CompoundObject::MakeRectangle(RECT{0, 0, 5, 5});
    only.link.flags = HtmlLink::Hand;
    bare.Insert(only);
    const auto bareApplet = AppletWriter(page).Write(bare);
    const auto bareParams = AppletReader::Parameters(*bareApplet);
    EXPECT_EQ(bareParams.count("fontname") + bareParams.count("0t0") + bareParams.count("fontsize"),
              0u);
    std::string html = "<APPLET CODE=getpara.class WIDTH=50% HEIGHT=x>"
                       "<PARAM NAME=0t0 VALUE=hi><PARAM NAME=0TCOOR VALUE=\"3,4\"></APPLET>";
    Parsed parsed(html);
    const CompoundImage read = AppletReader(page, nullptr).Read(*parsed.Find("APPLET"));
    ASSERT_EQ(read.Objects().size(), 1u);
    EXPECT_EQ(FaceNameOf(read.Objects()[0].font), "Times New Roman");
    EXPECT_EQ(read.Objects()[0].font.height, -12);
    EXPECT_EQ(read.Objects()[0].rect.left, 3);
}

namespace {

// A random composition in the order both readers give back: regions (each
// over one of the pictures, in picture order), texts, pictures.
CompoundImage RandomComposition(std::mt19937& random, CompoundFixture& fixture, bool appletFonts) {
    auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    CompoundImage image;
    image.SetCanvas(pick(50, 400), pick(50, 300), 0xFFFFFF);
    std::vector<CompoundObject> pictures, texts, regions;
    const int pictureCount = pick(1, 3);
    for (int i = 0; i < pictureCount; ++i) {
        const std::string path = fixture.Picture("p" + std::to_string(pick(0, 999999)) + ".png",
                                                 pick(20, 60), pick(20, 60), i);
        std::string error;
        auto picture = std::make_shared<const QImage>(fixture.files->Read(path, &error));
        pictures.push_back(CompoundObject::MakeImage(picture, path, pick(0, 200), pick(0, 200)));
    }
    auto link = [&](bool anyFlags) {
        HtmlLink made;
        switch (pick(0, 3)) {
        case 0:
            made.url = "page" + std::to_string(pick(0, 9)) + ".htm";
            break;
        case 1:
            made.url = "big" + std::to_string(pick(0, 9)) + ".gif";
            made.flags |= HtmlLink::NewWindow;
            break;
        case 2:
            made.url = "http://example.com/" + std::to_string(pick(0, 99));
            break;
        default:
            break;
        }
        if (pick(0, 1)) {
            made.flags |= HtmlLink::Hand;
        }
        if (anyFlags && pick(0, 1)) {
            made.flags |= HtmlLink::Hint;
            made.name = "hint " + std::to_string(pick(0, 99));
        }
        return made;
    };
    for (CompoundObject& picture : pictures) {
        if (pick(0, 1)) {
            picture.link = link(true);
        }
        const RECT& r = picture.rect;
        for (int n = pick(0, 2); n > 0; --n) {
            CompoundObject region;
            const int w = r.right - r.left, h = r.bottom - r.top;
            switch (pick(0, 2)) {
            case 0:
                region = CompoundObject::MakeRectangle(
                    RECT{r.left + 1, r.top + 1, r.left + pick(2, w - 2), r.top + pick(2, h - 2)});
                break;
            case 1: {
                const int radius = pick(1, std::min(w, h) / 2 - 1);
                region = CompoundObject::MakeCircle(r.left + w / 2, r.top + h / 2, radius);
                break;
            }
            default: {
                std::vector<POINT> points;
                for (int k = pick(5, 7); k > 0; --k) {
                    points.push_back(POINT{r.left + pick(0, w), r.top + pick(0, h)});
                }
                region = CompoundObject::MakePolygon(points);
                break;
            }
            }
            do {
                region.link = link(true);
            } while (!region.link.Active());
            regions.push_back(region);
        }
    }
    static const char* const faces[] = {"Times New Roman", "Helvetica", "Courier New"};
    static const uint8_t families[] = {0x10, 0x20, 0x31};
    for (int i = pick(0, 3); i > 0; --i) {
        const int face = pick(0, 2);
        const LogFont font =
            Font(appletFonts ? faces[face] : "Verdana", -4 * pick(2, 9), pick(0, 1) ? 700 : 400,
                 pick(0, 1) != 0, appletFonts ? families[face] : static_cast<uint8_t>(0x20));
        // Texts of one line and, in the HTML form, of several with empty lines
        // among them (the applet form's parameters hold one line).
        static const char* const layouts[] = {"%s", "%s\nsecond line", "%s\n\nthird\n"};
        std::string words = layouts[appletFonts ? 0 : pick(0, 2)];
        words.replace(words.find("%s"), 2, "text <" + std::to_string(pick(0, 999)) + "> & more");
        CompoundObject text = CompoundObject::MakeText(
            words, font, MakeColorRef(pick(0, 255), pick(0, 255), pick(0, 255)), pick(0, 300),
            pick(0, 300), pick(10, 200));
        if (pick(0, 1)) {
            text.link = link(appletFonts); // the HTML form keeps no hint for a text
        }
        texts.push_back(text);
    }
    for (auto* list : {&regions, &texts, &pictures}) {
        for (CompoundObject& object : *list) {
            image.Insert(object);
        }
    }
    return image;
}

void ExpectSameObjects(const CompoundImage& a, const CompoundImage& b, bool textWidths) {
    ASSERT_EQ(a.Objects().size(), b.Objects().size());
    if (textWidths) {
        // The applet form keeps no text widths: a measured text may grow
        // the canvas.
        EXPECT_EQ(a.Width(), b.Width());
        EXPECT_EQ(a.Height(), b.Height());
    }
    for (size_t i = 0; i < a.Objects().size(); ++i) {
        const CompoundObject& x = a.Objects()[i];
        const CompoundObject& y = b.Objects()[i];
        SCOPED_TRACE("object " + std::to_string(i));
        EXPECT_EQ(x.kind, y.kind);
        EXPECT_EQ(x.rect.left, y.rect.left);
        EXPECT_EQ(x.rect.top, y.rect.top);
        if (x.kind != CompoundKind::Text || textWidths || !x.link.url.empty()) {
            EXPECT_EQ(x.rect.right, y.rect.right);
            EXPECT_EQ(x.rect.bottom, y.rect.bottom);
        }
        EXPECT_EQ(x.link, y.link);
        EXPECT_EQ(x.centerX, y.centerX);
        EXPECT_EQ(x.radius, y.radius);
        EXPECT_EQ(x.points.size(), y.points.size());
        EXPECT_EQ(x.text, y.text);
        EXPECT_EQ(x.textColor, y.textColor);
        EXPECT_EQ(x.fileName, y.fileName);
        if (x.kind == CompoundKind::Text) {
            EXPECT_EQ(x.font.height, y.font.height);
            EXPECT_EQ(x.font.weight, y.font.weight);
            EXPECT_EQ(x.font.italic, y.font.italic);
            EXPECT_EQ(FaceNameOf(x.font), FaceNameOf(y.font));
            EXPECT_EQ(x.font.pitchAndFamily & 0xF0, y.font.pitchAndFamily & 0xF0);
        }
        if (x.kind == CompoundKind::Image) {
            ASSERT_TRUE(y.picture);
            EXPECT_EQ(*x.picture, *y.picture);
        }
    }
}

} // namespace

TEST(CompoundRoundTrip, HtmlFormGivesTheSameObjects) {
    CompoundFixture fixture;
    std::mt19937 random(20261208);
    const HtmlUrl page = HtmlUrl::FromLocalPath(fixture.Path("page.htm"));
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        CompoundImage image = RandomComposition(random, fixture, false);
        // Hints of texts have no place in the HTML form.
        MapNameTable maps;
        const auto nodes = HtmlFormWriter(page, maps).Write(image);
        const std::string html = "<HTML><BODY>" + Html(nodes) + "</BODY></HTML>";
        Parsed parsed(html);
        const CompoundImage back =
            HtmlFormReader(page, fixture.files.get()).Read(*parsed.Find("DIV"));
        ExpectSameObjects(image, back, true);
    }
}

TEST(CompoundRoundTrip, AppletFormGivesTheSameObjects) {
    CompoundFixture fixture;
    std::mt19937 random(8121026);
    const HtmlUrl page = HtmlUrl::FromLocalPath(fixture.Path("page.htm"));
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        CompoundImage image = RandomComposition(random, fixture, true);
        const auto applet = AppletWriter(page).Write(image);
        const std::string html = "<HTML><BODY>" + applet->ToString() + "</BODY></HTML>";
        Parsed parsed(html);
        const CompoundImage back =
            AppletReader(page, fixture.files.get()).Read(*parsed.Find("APPLET"));
        ExpectSameObjects(image, back, false);
    }
}
