#include "html/html_document.h"
#include "html/html_error.h"
#include "html/html_parser.h"
#include "html_test_util.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace pixmill;
using namespace pixmill::test;
namespace fs = std::filesystem;

TEST(HtmlParser, EmptyFileGetsImpliedHtmlHeadAndBody) {
    ParsedPage page("");
    ASSERT_TRUE(page.ok);
    EXPECT_EQ(Outline(page.document.Root()), "HTML[HEAD[] BODY[]]");
    ASSERT_NE(page.document.Head(), nullptr);
    ASSERT_NE(page.document.Body(), nullptr);
    EXPECT_EQ(page.document.Head()->Name(), "HEAD");
    EXPECT_EQ(page.Written(), "<HTML><HEAD></HEAD>\r\n<BODY></BODY>\r\n</HTML>\r\n");
    EXPECT_EQ(page.document.FileName(), "page.htm");
}

TEST(HtmlParser, HeadElementsAreRecorded) {
    ParsedPage page("<html><head><title>T</title><meta name=a><link rel=x><base href=b>"
                    "<script>s</script><style>p{}</style><isindex></head>"
                    "<body bgcolor=white>text</body></html>");
    ASSERT_TRUE(page.ok) << page.warnings.str();
    EXPECT_EQ(Outline(page.document.Root()),
              "HTML[HEAD[TITLE[\"T\"] <META> <LINK> <BASE> SCRIPT[\"s\"] STYLE[\"p{}\"] <ISINDEX>]"
              " BODY[\"text\"]]");
    HtmlHead* head = page.document.Head();
    ASSERT_NE(head->Title(), nullptr);
    EXPECT_EQ(head->Title()->Name(), "TITLE");
    EXPECT_EQ(head->Metas().size(), 1u);
    EXPECT_EQ(head->Links().size(), 1u);
    EXPECT_EQ(head->Scripts().size(), 1u);
    EXPECT_EQ(head->Styles().size(), 1u);
    ASSERT_NE(head->Base(), nullptr);
    EXPECT_EQ(head->Base()->AttributeText("href"), "b");
    EXPECT_EQ(page.document.Body()->AttributeText("BGCOLOR"), "white");
    // A script in the body is not one of the head's.
    ParsedPage body("<body><script>x</script>");
    EXPECT_TRUE(body.document.Head()->Scripts().empty());
}

TEST(HtmlParser, ImpliedEndsAndDroppedTags) {
    // A block tag ends an anchor; an anchor in an anchor ends the first.
    ParsedPage anchors("<a href=x>one<p>two<a>three<a>four</a>");
    EXPECT_EQ(Outline(anchors.document.Body()->Children()),
              "A[\"one\"] <P> \"two\" A[\"three\"] A[\"four\"]");
    // Unknown tags and end tags are leaves anywhere in the body.
    ParsedPage leaves("<div><font size=2><b>x</b></font></div>");
    EXPECT_EQ(Outline(leaves.document.Body()->Children()), "DIV[<FONT> <B> \"x\" </B> </FONT>]");
    // AREA outside MAP and PARAM outside APPLET are dropped; inside they stay.
    ParsedPage maps("<area><param><map><area shape=rect></map><applet><param name=p></applet>");
    EXPECT_EQ(Outline(maps.document.Body()->Children()), "MAP[<AREA>] APPLET[<PARAM>]");
    // Misplaced HEAD and HTML tags in the body are dropped; a META stays where
    // it is, and a TITLE goes to the head when the head has none.
    ParsedPage misplaced("<body><meta x><head><title>t</title><html>after<title>u</title>");
    EXPECT_EQ(Outline(misplaced.document.Body()->Children()), "<META> \"after\" TITLE[\"u\"]");
    EXPECT_EQ(Outline(misplaced.document.Head()->Children()), "TITLE[\"t\"]");
    EXPECT_EQ(misplaced.document.Head()->Title()->Children().First()->ToString(), "t");
    // Unclosed containers are closed at the end of the input.
    ParsedPage open("<div><span><a>x");
    ASSERT_TRUE(open.ok);
    EXPECT_EQ(Outline(open.document.Body()->Children()), "DIV[SPAN[A[\"x\"]]]");
}

TEST(HtmlParser, SecondBaseIsWarnedAboutAndDropped) {
    ParsedPage page("<head><base href=a><base href=b></head>");
    ASSERT_TRUE(page.ok);
    EXPECT_EQ(page.warnings.str(), "Two or more <BASE> tag on page, only first is accepted\n");
    EXPECT_EQ(Outline(page.document.Head()->Children()), "<BASE>");
    EXPECT_EQ(page.document.Head()->Base()->AttributeText("href"), "a");
}

TEST(HtmlParser, GrammarErrorsStopWithTheNodesBuiltSoFar) {
    struct Case {
        const char* text;
        int line;
        const char* outline;
    } cases[] = {
        {"<body><p>\n</div>", 1, "HTML[HEAD[] BODY[<P> /]]"},
        {"<body>\n\n<style>x</style>", 2, "HTML[HEAD[] BODY[/]]"},
        {"<body><p><link rel=x>", 0, "HTML[HEAD[] BODY[<P>]]"},
        {"</body><p>", 0, "HTML[HEAD[] BODY[]]"},
        {"</div>", 0, ""},
    };
    for (const Case& c : cases) {
        ScriptedUserInterface ui;
        SetUserInterface(&ui);
        ParsedPage page(c.text, "bad.htm");
        SetUserInterface(nullptr);
        EXPECT_FALSE(page.ok) << c.text;
        EXPECT_EQ(Outline(page.document.Root()), c.outline) << c.text;
        const std::string report =
            "Parsing error in file:\n bad.htm\n, line number " + std::to_string(c.line);
        EXPECT_EQ(page.warnings.str(), report) << c.text;
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].caption, "Error");
        EXPECT_EQ(ui.messages[0].text, report);
    }
}

TEST(HtmlParser, ErrorReports) {
    HtmlParseError parse("x.htm", 7);
    EXPECT_EQ(parse.Code(), 62204);
    EXPECT_STREQ(parse.Report(false), "Parsing error in file:\n x.htm\n, line number 7");
    EXPECT_EQ(parse.Title(), "Parsing error");
    HtmlError other("message", 5);
    EXPECT_STREQ(other.Report(false), "Error : errcode 5 message");
}

TEST(HtmlParser, RoundTripKeepsEveryTextAndCommentByte) {
    const std::string page =
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\n"
        "<HTML>\n<HEAD>\n<TITLE>Caf\xc3\xa9 & \"friends\"</TITLE>\n"
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">\n"
        "<STYLE TYPE=\"text/css\">\n<!--\n  p { color: red }\n-->\n</STYLE>\n"
        "<SCRIPT LANGUAGE=\"JavaScript\">\n<!--\nif (a < b && c > d) "
        "document.write(\"<b>x</b>\");\n"
        "// -->\n</SCRIPT>\n</HEAD>\n"
        "<BODY BGCOLOR=#FFFFFF>\n<!-- compound image -->\n"
        "<CENTER><TABLE BORDER=0 CELLPADDING=2>\n<TR><TD ALIGN=left>one &amp; two</TD>"
        "<TD>  three  </TD></TR>\n</TABLE></CENTER>\n"
        "<IMG SRC=\"map.gif\" USEMAP=\"#m\" BORDER=0>\n"
        "<MAP NAME=\"m\">\n<AREA SHAPE=RECT COORDS=\"1,2,3,4\" HREF=\"a.htm\">\n</MAP>\n"
        "<APPLET CODE=\"getpara.class\" WIDTH=100 HEIGHT=50>\n<PARAM NAME=a VALUE=\"b c\">\n"
        "</APPLET>\n<P>Unclosed paragraph <B>bold <I>italic</B>\n"
        "<DIV ALIGN=right><A HREF=\"x.htm\">link text</A> tail</DIV>\n"
        "<UL><LI>item one\n<LI>item two</UL>\n<PRE>  pre   formatted\n  text</PRE>\n"
        "</BODY>\n</HTML>\n";
    ParsedPage first(page);
    ASSERT_TRUE(first.ok) << first.warnings.str();
    EXPECT_TRUE(first.warnings.str().empty());
    std::vector<std::string> texts;
    CollectTexts(first.document.Root(), texts);
    // Each text and comment of the page is in the tree exactly as written.
    size_t from = 0;
    for (const std::string& text : texts) {
        size_t at = page.find(text, from);
        ASSERT_NE(at, std::string::npos) << text;
        from = at + text.size();
    }
    EXPECT_GE(texts.size(), 12u);

    // The written page holds them all, in order, and parses again.
    const std::string written = first.Written();
    from = 0;
    for (const std::string& text : texts) {
        size_t at = written.find(text, from);
        ASSERT_NE(at, std::string::npos) << text;
        from = at + text.size();
    }
    ParsedPage second(written);
    EXPECT_TRUE(second.ok) << second.warnings.str();
    EXPECT_NE(written.find("<IMG SRC=\"map.gif\" USEMAP=\"#m\" BORDER=0>"), std::string::npos);
    EXPECT_NE(written.find("</APPLET>\r\n"), std::string::npos);
}

TEST(HtmlParser, WriterOutputForASmallPage) {
    ParsedPage page("<img src=a.gif>\n<div>x<br>y</div>");
    ASSERT_TRUE(page.ok);
    EXPECT_EQ(page.Written(), "<HTML><HEAD></HEAD>\r\n<BODY><IMG src=a.gif>\r\n"
                              "<DIV>x<BR>y</DIV>\r\n</BODY>\r\n</HTML>\r\n");
}

TEST(HtmlParser, DeepNestingNeitherRecursesNorLeaks) {
    std::string text;
    for (int i = 0; i < 100000; ++i) {
        text += "<div>";
    }
    text += "x";
    ParsedPage page(text);
    ASSERT_TRUE(page.ok);
    const std::string written = page.Written();
    EXPECT_EQ(written.size(), 100000u * (5 + 8) + 1 + 45);
    std::unique_ptr<HtmlNode> copy = page.document.Root().First()->Clone();
    EXPECT_EQ(copy->ToString(), written);
    page.document.Clear();
    EXPECT_TRUE(page.document.Root().Empty());
}

TEST(HtmlParser, ParsesFilesMappedAndThroughTheBufferedFallback) {
    const fs::path dir = fs::temp_directory_path() / ("pixmill-html-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string body = "<p>";
    for (int i = 0; i < 3000; ++i) {
        body += "line " + std::to_string(i) + "\n";
    }
    const std::string page = "<html><body>" + body + "</body></html>";

    const fs::path file = dir / "page.htm";
    std::ofstream(file, std::ios::binary) << page;
    {
        HtmlSource source(file.string());
        EXPECT_TRUE(source.IsMapped());
    }
    HtmlDocument mapped;
    ASSERT_TRUE(mapped.Parse(file.string()));
    EXPECT_EQ(mapped.FileName(), file.string());

    // A pipe cannot be mapped: it is read through the buffer, across refills.
    const fs::path fifo = dir / "pipe.htm";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << page; });
    HtmlDocument piped;
    const bool ok = piped.Parse(fifo.string());
    writer.join();
    ASSERT_TRUE(ok);
    EXPECT_EQ(piped.ToString(), mapped.ToString());

    // Files that cannot be read: the host's file error goes to the sink.
    HtmlDocument missing;
    std::ostringstream warnings;
    missing.SetWarningSink(&warnings);
    EXPECT_FALSE(missing.Parse((dir / "none.htm").string()));
    EXPECT_EQ(warnings.str(), "The system cannot find the file " + (dir / "none.htm").string());
    EXPECT_FALSE(missing.Parse(dir.string()));
    fs::remove_all(dir);
}

TEST(HtmlParser, TableHasAnEntryForEveryRuleAndCode) {
    // Raw text is only ever taken by RawTextOpt, and the end rules never
    // accept a stray token silently.
    for (int rule = HtmlParser::Prolog; rule < HtmlParser::RuleEnd; ++rule) {
        const HtmlParser::Entry& entry = HtmlParser::TableEntry(rule, HtmlCode::RawText);
        EXPECT_EQ(entry.move == HtmlParser::Error, rule != HtmlParser::RawTextOpt) << rule;
    }
    EXPECT_EQ(HtmlParser::TableEntry(HtmlParser::BodyEnd, HtmlCode::Text).move, HtmlParser::Error);
    EXPECT_EQ(HtmlParser::TableEntry(HtmlParser::Epilogue, HtmlCode::Body).move, HtmlParser::Error);
}
