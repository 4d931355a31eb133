#include "html/html_tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace pixmill;

namespace {

class WarningRecorder : public HtmlBuilder {
  public:
    void Action(HtmlAction, const HtmlToken&) override {}
    void Warning(const char* message, int byte) override {
        messages.push_back(message);
        bytes.push_back(byte);
    }
    std::vector<std::string> messages;
    std::vector<int> bytes;
};

struct Tokens {
    std::vector<HtmlToken> tokens;
    WarningRecorder warnings;
    int lines = 0;

    explicit Tokens(const std::string& text) {
        HtmlSource source("t.htm", text.data(), text.size());
        HtmlTokenizer tokenizer(source, &warnings);
        for (int guard = 0; guard < 10000; ++guard) {
            HtmlToken token = tokenizer.NextToken();
            const bool end = token.kind == HtmlToken::EndOfInput;
            tokens.push_back(std::move(token));
            if (end) {
                break;
            }
        }
        lines = tokenizer.Line();
    }
    // kind:text pairs, e.g. "T:abc", "S:IMG", "E:/A", "C:<!--x-->", "R:x", "L", "$".
    std::string Summary() const {
        std::string out;
        for (const HtmlToken& token : tokens) {
            if (!out.empty()) {
                out += ' ';
            }
            switch (token.kind) {
            case HtmlToken::StartTag:
                out += "S:" + token.text;
                break;
            case HtmlToken::EndTag:
                out += "E:" + token.text;
                break;
            case HtmlToken::Text:
                out += "T:" + token.text;
                break;
            case HtmlToken::Comment:
                out += "C:" + token.text;
                break;
            case HtmlToken::RawText:
                out += "R:" + token.text;
                break;
            case HtmlToken::LineBreak:
                out += "L";
                break;
            default:
                out += "$";
                break;
            }
        }
        return out;
    }
    const HtmlAttributeList& Attributes(size_t index) const { return *tokens.at(index).attributes; }
};

std::string Value(const HtmlAttributeList& list, const char* name) {
    const HtmlAttributeList::Attribute* attribute = list.Find(name);
    return attribute ? attribute->value : "<absent>";
}

} // namespace

TEST(HtmlTokenizer, LoneBracketsStayText) {
    EXPECT_EQ(Tokens("a < b").Summary(), "T:a < b $");
    EXPECT_EQ(Tokens("a </ b").Summary(), "T:a </ b $");
    EXPECT_EQ(Tokens("x <!- y <!=z").Summary(), "T:x <!- y <!=z $");
    // A "<" (or "<!", "</") cut off by the end of the file stays in the text.
    EXPECT_EQ(Tokens("a <").Summary(), "T:a < $");
    EXPECT_EQ(Tokens("a </").Summary(), "T:a </ $");
    EXPECT_EQ(Tokens("<!-").Summary(), "T:<!- $");
    EXPECT_TRUE(Tokens("a < b").warnings.messages.empty());
}

TEST(HtmlTokenizer, CommentsCloseAfterTwoDashes) {
    EXPECT_EQ(Tokens("<!-- a -- > b --> c").Summary(), "C:<!-- a -- > b --> T: c $");
    EXPECT_EQ(Tokens("<!---->x").Summary(), "C:<!----> T:x $");
    // Cut off by the end of the file: closed, then the end of input.
    Tokens open("<!-- open");
    EXPECT_EQ(open.Summary(), "C:<!-- open--> $");
    EXPECT_TRUE(open.warnings.messages.empty());
}

TEST(HtmlTokenizer, TagNamesAttributesAndValues) {
    Tokens anchor("<A HREF=x.htm TARGET=\"_blank\">");
    ASSERT_EQ(anchor.Summary(), "S:A $");
    EXPECT_EQ(Value(anchor.Attributes(0), "href"), "x.htm");
    EXPECT_EQ(Value(anchor.Attributes(0), "target"), "\"_blank\"");

    Tokens doctype("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">");
    ASSERT_EQ(doctype.Summary(), "S:!DOCTYPE $");
    const HtmlAttributeList& list = doctype.Attributes(0);
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.At(0).name, "HTML");
    EXPECT_EQ(list.At(1).name, "PUBLIC");
    EXPECT_EQ(list.At(2).name, "\"-//W3C//DTD HTML 3.2//EN\"");
    EXPECT_FALSE(list.At(2).HasValue());

    // Bare names, blanks around "=", values across lines, a repeated name
    // replacing the earlier value in its place, single quotes kept.
    Tokens img("<img ISMAP src = a.gif alt='a\nb' SRC=b.gif width=10>");
    const HtmlAttributeList& attributes = img.Attributes(0);
    ASSERT_EQ(attributes.Count(), 4u);
    EXPECT_EQ(attributes.At(0).name, "ISMAP");
    EXPECT_FALSE(attributes.At(0).HasValue());
    EXPECT_EQ(attributes.At(1).name, "src");
    EXPECT_EQ(attributes.At(1).value, "b.gif");
    EXPECT_EQ(attributes.At(2).value, "'a\nb'");
    EXPECT_EQ(img.tokens[0].text, "img");
    EXPECT_EQ(img.lines, 1);

    // Names joined with "-" stay whole.
    Tokens meta("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html\">");
    EXPECT_EQ(Value(meta.Attributes(0), "http-equiv"), "\"Content-Type\"");
    EXPECT_TRUE(meta.warnings.messages.empty());
}

TEST(HtmlTokenizer, OddAttributesAreReportedAndPassedOver) {
    Tokens noValue("<X a=>");
    ASSERT_EQ(noValue.warnings.messages.size(), 1u);
    EXPECT_EQ(noValue.warnings.messages[0],
              "Bad character '=' in tag.No matching value for attribute.");
    EXPECT_FALSE(noValue.Attributes(0).Find("a")->HasValue());

    Tokens badName("<X a\"b\" c>");
    ASSERT_EQ(badName.warnings.messages.size(), 1u);
    EXPECT_EQ(badName.warnings.messages[0], "Bad character in attribute name");
    EXPECT_EQ(badName.warnings.bytes[0], '"');
    EXPECT_EQ(Value(badName.Attributes(0), "a"), "b\"");
    EXPECT_TRUE(badName.Attributes(0).Contains("c"));

    // A value without a name becomes a bare name.
    Tokens slash("<BR />");
    EXPECT_TRUE(slash.Attributes(0).Contains("/"));
}

TEST(HtmlTokenizer, BadTagNameLeavesTextAsWritten) {
    Tokens tokens("x<ab,c <d>");
    EXPECT_EQ(tokens.Summary(), "T:x T:<ab,c  S:d $");
    ASSERT_EQ(tokens.warnings.messages.size(), 1u);
    EXPECT_EQ(tokens.warnings.messages[0], "Bad character in tag name");
    EXPECT_EQ(tokens.warnings.bytes[0], ',');
}

TEST(HtmlTokenizer, EndTagsAndRawText) {
    Tokens title("<TITLE>x</title >");
    EXPECT_EQ(title.Summary(), "S:TITLE R:x E:/TITLE $");
    EXPECT_TRUE(title.warnings.messages.empty());

    Tokens junk("</P x>");
    EXPECT_EQ(junk.Summary(), "E:/P $");
    ASSERT_EQ(junk.warnings.messages.size(), 1u);
    EXPECT_EQ(junk.warnings.messages[0], "Bad character in end tag");

    // Tags inside raw text are text; the end is found after a doubled "<".
    Tokens script("<script>if (a<</b>) x=1;</Script ><p>");
    EXPECT_EQ(script.Summary(), "S:script R:if (a<</b>) x=1; E:/SCRIPT S:p $");
    EXPECT_TRUE(script.warnings.messages.empty());
    Tokens scriptJunk("<script>x</script y>");
    EXPECT_EQ(scriptJunk.Summary(), "S:script R:x E:/SCRIPT $");
    EXPECT_EQ(scriptJunk.warnings.messages.size(), 1u);

    Tokens empty("<STYLE>  \n </STYLE>");
    EXPECT_EQ(empty.Summary(), "S:STYLE E:/STYLE $");

    Tokens open("<PLAINTEXT>a <b> </PLAIN");
    EXPECT_EQ(open.Summary(), "S:PLAINTEXT R:a <b> </PLAIN $");
}

TEST(HtmlTokenizer, BlankRunsStayOrBecomeOneLineBreak) {
    // A blank run on one line is kept (a reader sees it between words); it
    // has the line break's grammar code, so it may stand wherever layout may.
    Tokens blank("<p>  <b>");
    EXPECT_EQ(blank.Summary(), "S:p T:   S:b $");
    EXPECT_EQ(blank.tokens[1].code, HtmlCode::LineBreak);
    EXPECT_EQ(Tokens("<p> \r\n\r\n <b>").Summary(), "S:p L S:b $");
    EXPECT_EQ(Tokens("<p>\n").Summary(), "S:p L $");
    EXPECT_EQ(Tokens("<p> a \n b <b>").Summary(), "S:p T: a \n b  S:b $");
    // In preformatted text every blank stays, line ends included.
    EXPECT_EQ(Tokens("<pre>\n  <b>x</b>\n\n  </pre>\n").Summary(),
              "S:pre T:\n   S:b T:x E:/b T:\n\n   E:/pre L $");
    EXPECT_EQ(Tokens("<xmp><textarea> \n </textarea> \n </xmp> \n").Summary(),
              "S:xmp S:textarea T: \n  E:/textarea T: \n  E:/xmp L $");
}

TEST(HtmlTokenizer, ControlBytesAreReportedAndKept) {
    Tokens tokens(std::string("a\x01"
                              "b\x7f\x00"
                              "c\t\xe9",
                              8));
    EXPECT_EQ(tokens.Summary(), std::string("T:a\x01"
                                            "b\x7f\x00"
                                            "c\t\xe9 $",
                                            12));
    ASSERT_EQ(tokens.warnings.messages.size(), 3u);
    EXPECT_EQ(tokens.warnings.messages[0], "Bad character in file");
    EXPECT_EQ(tokens.warnings.bytes[0], 1);
    EXPECT_EQ(tokens.warnings.bytes[1], 0x7f);
    EXPECT_EQ(tokens.warnings.bytes[2], 0);
}

TEST(HtmlTokenizer, EndOfFileInsideATag) {
    Tokens quoted("<IMG SRC=\"a.gif");
    ASSERT_EQ(quoted.Summary(), "S:IMG $");
    EXPECT_EQ(Value(quoted.Attributes(0), "SRC"), "\"a.gif");
    ASSERT_EQ(quoted.warnings.messages.size(), 2u);
    EXPECT_EQ(quoted.warnings.messages[0], "Unclosed attribute value string( no matching \" )");
    EXPECT_EQ(quoted.warnings.messages[1], "Unexpected end of file while looking for tag end");

    Tokens single("<IMG ALT='x");
    EXPECT_EQ(single.warnings.messages.at(0), "Unclosed attribute value string( no matching ' )");

    Tokens bare("<IMG ISMAP");
    EXPECT_TRUE(bare.Attributes(0).Contains("ISMAP"));
    EXPECT_EQ(bare.warnings.messages.size(), 1u);

    // An end tag cut short is still an end tag, without a warning.
    Tokens end("</DIV");
    EXPECT_EQ(end.Summary(), "E:/DIV $");
    EXPECT_TRUE(end.warnings.messages.empty());
}

TEST(HtmlTokenizer, GrammarCodes) {
    HtmlSource source("t.htm", "", 0);
    HtmlTokenizer tokenizer(source, nullptr);
    struct Case {
        int kind;
        const char* text;
        int code;
    } cases[] = {
        {HtmlToken::StartTag, "!doctype", 3},
        {HtmlToken::StartTag, "Html", 4},
        {HtmlToken::StartTag, "isindex", 7},
        {HtmlToken::EndTag, "/title", 11},
        {HtmlToken::StartTag, "plaintext", 22},
        {HtmlToken::EndTag, "/Plaintext", 23},
        {HtmlToken::StartTag, "param", 28},
        {HtmlToken::EndTag, "/param", 28},
        {HtmlToken::StartTag, "a", 32},
        {HtmlToken::EndTag, "/a", 24},
        {HtmlToken::StartTag, "hr", 19},
        {HtmlToken::EndTag, "/hr", 35},
        {HtmlToken::StartTag, "address", 19},
        {HtmlToken::EndTag, "/address", 19},
        {HtmlToken::StartTag, "img", 35},
        {HtmlToken::StartTag, "br", 35},
        {HtmlToken::StartTag, "span", 37},
        {HtmlToken::EndTag, "/html", 40},
        {HtmlToken::EndTag, "/div", 21},
        {HtmlToken::StartTag, "!ENTITY", 35},
        {HtmlToken::Text, "x", 34},
        {HtmlToken::RawText, "x", 16},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tokenizer.CodeOf(c.kind, c.text), c.code) << c.text;
    }
}
