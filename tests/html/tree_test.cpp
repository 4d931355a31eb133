#include "html/html_document.h"
#include "html/html_number.h"
#include "html/html_markup_style.h"
#include "html_test_util.h"

#include <gtest/gtest.h>

using namespace pixmill;
using namespace pixmill::test;

namespace {

std::unique_ptr<HtmlNode> Text(const char* text) {
    return std::make_unique<HtmlText>(text);
}

std::string Contents(const HtmlChildList& list) {
    std::string out;
    for (const HtmlNode* node : list) {
        out += node->ToString();
    }
    return out;
}

} // namespace

TEST(HtmlTree, ChildListOperations) {
    HtmlContainer div("div");
    HtmlChildList& list = div.Children();
    HtmlNode* b = list.Append(Text("b"));
    HtmlNode* d = list.Append(Text("d"));
    HtmlNode* a = list.InsertBefore(Text("a"), b);
    list.InsertBefore(Text("c"), d);
    EXPECT_EQ(Contents(list), "abcd");
    EXPECT_EQ(list.Count(), 4u);
    EXPECT_EQ(list.First(), a);
    EXPECT_EQ(list.Last(), d);
    EXPECT_EQ(a->Previous(), nullptr);
    EXPECT_EQ(d->Next(), nullptr);
    EXPECT_EQ(b->Next()->Previous(), b);

    std::unique_ptr<HtmlNode> detached = list.Unlink(b);
    ASSERT_TRUE(detached);
    EXPECT_EQ(detached->List(), nullptr);
    EXPECT_EQ(detached->Next(), nullptr);
    EXPECT_EQ(Contents(list), "acd");
    // A node of another list is left alone.
    EXPECT_EQ(list.Unlink(detached.get()), nullptr);
    EXPECT_FALSE(list.Remove(detached.get()));

    HtmlNode* x = list.Replace(d, std::make_unique<HtmlLineBreak>());
    EXPECT_EQ(Contents(list), "ac\r\n");
    EXPECT_EQ(list.Last(), x);
    EXPECT_TRUE(list.Remove(a));
    EXPECT_EQ(Contents(list), "c\r\n");

    HtmlChildList other;
    other.Append(std::move(detached));
    other.Append(std::make_unique<HtmlComment>("<!--x-->"));
    list.TakeChildren(other);
    EXPECT_TRUE(other.Empty());
    EXPECT_EQ(Contents(list), "c\r\nb<!--x-->");
    EXPECT_EQ(list.Count(), 4u);
    for (HtmlNode* node : list) {
        EXPECT_EQ(node->List(), &list);
    }
    EXPECT_EQ(div.ToString(), "<DIV>c\r\nb<!--x--></DIV>\r\n");
    list.Clear();
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.Count(), 0u);
}

TEST(HtmlTree, NodeTypesAndFlags) {
    HtmlElement element("img");
    HtmlContainer container("p");
    HtmlText text("t");
    HtmlComment comment("<!---->");
    HtmlLineBreak lineBreak;
    EXPECT_EQ(element.Type(), 1);
    EXPECT_EQ(container.Type(), 2);
    EXPECT_EQ(text.Type(), 3);
    EXPECT_EQ(comment.Type(), 3);
    EXPECT_EQ(comment.Flag(), 1);
    EXPECT_EQ(lineBreak.Type(), 5);
    EXPECT_EQ(lineBreak.Flag(), 2);
    EXPECT_EQ(element.Name(), "IMG");
    element.SetName("br");
    EXPECT_EQ(element.ToString(), "<BR>");
}

TEST(HtmlTree, HeadForgetsChildrenThatLeave) {
    ParsedPage page("<head><title>t</title><meta a><meta b><link c><style>s</style></head>");
    HtmlHead* head = page.document.Head();
    ASSERT_NE(head->Title(), nullptr);
    ASSERT_EQ(head->Metas().size(), 2u);
    head->Children().Remove(head->Title());
    EXPECT_EQ(head->Title(), nullptr);
    head->Children().Remove(head->Metas()[0]);
    EXPECT_EQ(head->Metas().size(), 1u);
    EXPECT_TRUE(head->Metas()[0]->HasAttribute("b"));
    std::unique_ptr<HtmlNode> link = head->Children().Unlink(head->Links()[0]);
    EXPECT_TRUE(head->Links().empty());
    head->Children().Clear();
    EXPECT_TRUE(head->Styles().empty());
    EXPECT_TRUE(head->Metas().empty());
}

TEST(HtmlTree, CloneIsDeepAndIndependent) {
    ParsedPage page("<html><head><title>t</title><base href=x></head>"
                    "<body><div id=\"a\"><a href=b>link</a><!--c--></div></body></html>");
    HtmlNode* html = page.document.Root().First();
    std::unique_ptr<HtmlNode> copy = html->Clone();
    EXPECT_EQ(copy->ToString(), html->ToString());

    // The copy's head tracks the copy's own children.
    HtmlContainer* copyHtml = copy->AsContainer();
    auto* copyHead = dynamic_cast<HtmlHead*>(copyHtml->Children().First());
    ASSERT_NE(copyHead, nullptr);
    ASSERT_NE(copyHead->Title(), nullptr);
    EXPECT_EQ(copyHead->Title()->List(), &copyHead->Children());
    EXPECT_NE(copyHead->Title(), page.document.Head()->Title());
    EXPECT_EQ(copyHead->Base()->AttributeText("href"), "x");

    // Attributes are copied, not shared.
    HtmlElement* div = page.document.Body()->Children().First()->AsElement();
    HtmlElement* copyDiv =
        copyHtml->Children().Last()->AsContainer()->Children().First()->AsElement();
    copyDiv->SetAttribute("id", "b");
    EXPECT_EQ(div->AttributeText("id"), "a");
}

TEST(HtmlTree, AttributeTextIsNormalised) {
    HtmlElement element("x");
    element.SetAttribute("a", "\"  one\ttwo\r\nthree  \"");
    element.SetAttribute("b", "'x'");
    element.SetAttribute("c", "plain");
    element.SetAttribute("d", "");
    element.SetAttribute("e", "\"unclosed ");
    EXPECT_EQ(element.AttributeText("A"), "one two three");
    EXPECT_EQ(element.AttributeText("b"), "x");
    EXPECT_EQ(element.AttributeText("c"), "plain");
    EXPECT_EQ(element.AttributeText("d"), "");
    EXPECT_EQ(element.AttributeText("e"), "unclosed");
    EXPECT_EQ(element.AttributeText("missing"), "");
    ASSERT_NE(element.Attribute("d"), nullptr);
    EXPECT_EQ(*element.Attribute("d"), "");
    EXPECT_EQ(element.Attribute("missing"), nullptr);
    EXPECT_EQ(element.ToString(), "<X a=\"  one\ttwo\r\nthree  \" b='x' c=plain d e=\"unclosed >");
}

TEST(HtmlTree, SettingAttributesChoosesQuotes) {
    HtmlElement img("IMG");
    img.SetTextAttribute("ALT", "it's");
    EXPECT_EQ(*img.Attribute("alt"), "\"it's\"");
    img.SetTextAttribute("ALT", "say \"hi\"");
    EXPECT_EQ(*img.Attribute("alt"), "'say \"hi\"'");
    img.SetTextAttribute("ALT", "plain text");
    EXPECT_EQ(*img.Attribute("alt"), "\"plain text\"");
    // Both kinds of quote: the double quotes become references.
    img.SetTextAttribute("ALT", "it's \"x\"");
    EXPECT_EQ(*img.Attribute("alt"), "\"it's &quot;x&quot;\"");
    img.SetTextAttribute("TITLE", "");
    img.SetIntAttribute("WIDTH", -12);
    img.SetQuotedAttribute("SRC", "a b.gif");
    EXPECT_EQ(img.ToString(), "<IMG ALT=\"it's &quot;x&quot;\" TITLE WIDTH=-12 SRC=\"a b.gif\">");
    img.RemoveAttribute("title");
    EXPECT_FALSE(img.HasAttribute("TITLE"));
    EXPECT_EQ(img.IntAttribute("width"), -12);

    // Written and read back, each quoted value gives the text that was set.
    HtmlElement tag("IMG");
    tag.SetTextAttribute("A", "it's");
    tag.SetTextAttribute("B", "say \"hi\"");
    ParsedPage page(tag.ToString());
    const HtmlElement* read = page.document.Body()->Children().First()->AsElement();
    EXPECT_EQ(read->AttributeText("a"), "it's");
    EXPECT_EQ(read->AttributeText("b"), "say \"hi\"");
}

TEST(HtmlTree, AttributeListsAreSharedOrCopied) {
    HtmlAttributeListRef list = HtmlAttributeListRef::New();
    list->Set("SRC", "a.gif");
    EXPECT_EQ(list->RefCount(), 1);
    HtmlElement first("img", list);
    HtmlElement second("img");
    second.SetAttributes(list);
    EXPECT_EQ(list->RefCount(), 3);
    first.SetAttribute("src", "b.gif");
    EXPECT_EQ(second.AttributeText("SRC"), "b.gif");
    HtmlAttributeListRef copy = first.Attributes();
    EXPECT_EQ(copy->RefCount(), 1);
    copy->Set("src", "c.gif");
    EXPECT_EQ(first.AttributeText("src"), "b.gif");

    // Lookup without regard to case; a new name appends, an existing one
    // keeps its place; removal keeps the index right.
    HtmlAttributeList& attributes = *list;
    attributes.Set("Alt", "x");
    attributes.Set("border", "0");
    attributes.Set("ALT", "y");
    ASSERT_EQ(attributes.Count(), 3u);
    EXPECT_EQ(attributes.At(1).name, "Alt");
    EXPECT_EQ(attributes.At(1).value, "y");
    EXPECT_TRUE(attributes.Remove("src"));
    EXPECT_FALSE(attributes.Remove("src"));
    EXPECT_EQ(attributes.Find("BORDER")->value, "0");
    EXPECT_EQ(attributes.Find("alt")->value, "y");
    // h = 'S'; h = ('r' - h) & 15; h = ('c' - h) & 15
    EXPECT_EQ(HtmlAttributeList::Bucket("Src"),
              static_cast<unsigned>(('c' - (('r' - 'S') & 15)) & 15));
    EXPECT_EQ(HtmlAttributeList::Bucket("SRC"), HtmlAttributeList::Bucket("src"));
}

TEST(HtmlTree, NumberReader) {
    bool percent = true;
    EXPECT_EQ(ParseHtmlInt("42", &percent), 42);
    EXPECT_FALSE(percent);
    EXPECT_EQ(ParseHtmlInt("50%", &percent), 50);
    EXPECT_TRUE(percent);
    EXPECT_EQ(ParseHtmlInt("7 ", &percent), 7);
    EXPECT_EQ(ParseHtmlInt("-3%  "), -3);
    EXPECT_EQ(ParseHtmlInt("2147483647"), 2147483647);
    for (const char* bad : {"", " 1", "1.5", "1px", "%", "12 %", "x", "2147483648", "-"}) {
        EXPECT_THROW(ParseHtmlInt(bad), ParseIntException) << bad;
    }
    HtmlElement table("table");
    table.SetAttribute("width", "\"100%\"");
    EXPECT_EQ(table.IntAttribute("WIDTH", &percent), 100);
    EXPECT_TRUE(percent);
    table.SetAttribute("height", "auto");
    EXPECT_THROW(table.IntAttribute("height"), ParseIntException);
}

// New markup takes the page's habits: names in lower case where the page
// writes them so (values, texts and comments untouched), "\n" line ends.
TEST(HtmlMarkupStyleTest, DetectedAndApplied) {
    const HtmlMarkupStyle lower = DetectMarkupStyle("<html>\n<body><p>x</p><B>y</B>\n");
    EXPECT_TRUE(lower.lowerCaseNames);
    EXPECT_FALSE(lower.crlf);
    const HtmlMarkupStyle upper = DetectMarkupStyle("<HTML>\r\n<BODY><p>x</P>\r\n<a>\n");
    EXPECT_FALSE(upper.lowerCaseNames);
    EXPECT_TRUE(upper.crlf);
    EXPECT_TRUE(DetectMarkupStyle("<p>no line end").crlf); // nothing seen: as the writer does
    const std::string markup = "<!-- Keep ME -->\r\n<DIV STYLE=\"A:B\"><AREA SHAPE=RECT "
                               "HREF='X.htm' NOHREF>Text &AMP; MORE</DIV>\r\n";
    EXPECT_EQ(ApplyMarkupStyle(markup, lower),
              "<!-- Keep ME -->\n<div style=\"A:B\"><area shape=RECT href='X.htm' nohref>Text "
              "&AMP; MORE</div>\n");
    EXPECT_EQ(ApplyMarkupStyle(markup, upper), markup);
}
