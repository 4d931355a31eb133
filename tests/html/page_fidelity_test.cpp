// Pages written back must read the same: what the writer adds (end tags, line
// ends) may never show, and what readers see must not move or vanish.
#include "html/html_document.h"
#include "html/html_text_util.h"
#include "html/html_visible_text.h"
#include "html_test_util.h"
#include "support/file_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace pixmill;
using namespace pixmill::test;
namespace fs = std::filesystem;

namespace {

std::string BodyOf(const std::string& written) {
    const size_t start = written.find("<BODY>");
    const size_t end = written.rfind("</BODY>");
    return start == std::string::npos || end == std::string::npos
               ? written
               : written.substr(start + 6, end - start - 6);
}

// The page and its written-back copy give the same visible text, and the
// copy written again is byte for byte the copy.
void ExpectReadsTheSame(const std::string& page, const std::string& label) {
    ParsedPage original(page);
    if (!original.ok) {
        return; // pages the parser refuses are not written back
    }
    const std::string written = original.Written();
    ParsedPage again(written);
    ASSERT_TRUE(again.ok) << label;
    EXPECT_EQ(VisibleText(again.document), VisibleText(original.document)) << label;
    // A tag cut short by the end of the file cannot be written so that it
    // reads back the same; every other page writes back to the same bytes.
    if (original.warnings.str().find("Unexpected end of file") == std::string::npos) {
        EXPECT_EQ(again.Written(), written) << label;
    }
}

} // namespace

TEST(HtmlPageFidelity, BlanksAndLineEndsThatReadersSee) {
    struct Case {
        const char* page;
        const char* body; // as written between <BODY> and </BODY>
    } cases[] = {
        // A blank between two tags separates words.
        {"<p><b>a</b> <i>b</i></p>", "<P><B>a</B> <I>b</I></P>"},
        {"<strong>Source Code:</strong> <a href=x>lib/fs.js</a>",
         "<STRONG>Source Code:</STRONG> <A href=x>lib/fs.js</A>\r\n"},
        // No line end after a container where running text goes on.
        {"see <a href=\"#\">this</a>, then go", "see <A href=\"#\">this</A>, then go"},
        {"<a>x</a><b>y</b>", "<A>x</A><B>y</B>"},
        // ... but where it cannot be seen, as before.
        {"<div>x</div>\n<p>y", "<DIV>x</DIV>\r\n<P>y"},
        {"<div>x</div><p>y", "<DIV>x</DIV>\r\n<P>y"},
        {"<a>x</a> y", "<A>x</A> y"},
        // Preformatted text keeps every blank and gets no line end.
        {"<pre><span>module</span>.<span>exports</span></pre>",
         "<PRE><SPAN>module</SPAN>.<SPAN>exports</SPAN></PRE>"},
        {"<pre>\n  <b>x</b>\n\n    <i>y</i>  </pre>\n<p>",
         "<PRE>\n  <B>x</B>\n\n    <I>y</I>  </PRE>\r\n<P>"},
        {"<textarea><span>a</span>\n</textarea>", "<TEXTAREA><SPAN>a</SPAN>\n</TEXTAREA>"},
        // A stray quote after a value starts a name, not a value that would
        // swallow the text up to the next quote.
        {"<a href=\"#x\"\">The \"x\" command</a>", "<A href=\"#x\" \">The \"x\" command</A>\r\n"},
        // Control bytes are reported and kept.
        {"a\x14"
         "b",
         "a\x14"
         "b"},
    };
    for (const Case& c : cases) {
        ParsedPage page(c.page);
        ASSERT_TRUE(page.ok) << c.page;
        EXPECT_EQ(BodyOf(page.Written()), c.body) << c.page;
        ExpectReadsTheSame(c.page, c.page);
    }
}

TEST(HtmlPageFidelity, HeadContentBeforeTheBodyStaysInTheHead) {
    const char* pages[] = {
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE html>\n<html><head>"
        "<meta charset=\"utf-8\"><title>T</title></head><body>x</body></html>",
        "<meta charset=\"utf-8\"><!DOCTYPE html><html><head><title>T</title></head>"
        "<body>x</body></html>",
        "<html><head><hr><meta charset=\"utf-8\"><title>T</title><link rel=a>"
        "<style>p{}</style></head>x</html>",
        "<html><head></head><style>p{}</style><title>T</title><meta charset=\"utf-8\">"
        "<body>x</body></html>",
    };
    for (const char* text : pages) {
        ParsedPage page(text);
        ASSERT_TRUE(page.ok) << text;
        const HtmlHead* head = page.document.Head();
        ASSERT_NE(head, nullptr) << text;
        ASSERT_NE(head->Title(), nullptr) << text;
        EXPECT_EQ(head->Title()->Children().First()->ToString(), "T") << text;
        EXPECT_EQ(head->Metas().size(), 1u) << text;
        EXPECT_EQ(VisibleText(page.document).back(), 'x') << text;
        EXPECT_EQ(VisibleText(page.document).find('T'), std::string::npos) << text;
        ExpectReadsTheSame(text, text);
    }
    // The processing instruction is written back where it was.
    ParsedPage xml(pages[0]);
    EXPECT_EQ(
        xml.Written().rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!DOCTYPE html>", 0), 0u)
        << xml.Written();
    // Once BODY was written, a STYLE there is still a parse error.
    EXPECT_FALSE(ParsedPage("<body>x<style>p{}</style>").ok);
}

TEST(HtmlPageFidelity, FramesetsDeclarationsAndEncodings) {
    // A frameset page is not wrapped in a BODY a browser would show instead.
    ParsedPage frames("<html><head><title>f</title></head><frameset cols=\"50%,50%\">"
                      "<frame src=a.htm><frame src=b.htm></frameset></html>");
    ASSERT_TRUE(frames.ok);
    EXPECT_EQ(frames.Written().find("BODY>"), std::string::npos) << frames.Written();
    EXPECT_NE(frames.Written().find("<FRAMESET"), std::string::npos);
    // A declaration ends at its first ">", quotes or not.
    ParsedPage declaration("<!D y=\"\" x=''''''''' >after<p>more");
    ASSERT_TRUE(declaration.ok);
    EXPECT_EQ(VisibleText(declaration.document), "after\nmore");
    ExpectReadsTheSame("<!D y=\"\" x=''''''''' >after<p>more", "declaration");
    // A UTF-16 page is refused with a clear message instead of corrupted.
    for (std::string mark : {std::string("\xff\xfe"), std::string("\xfe\xff")}) {
        std::string page = mark;
        for (char c : std::string("<p>x")) {
            page += mark[0] == '\xff' ? std::string{c, '\0'} : std::string{'\0', c};
        }
        ParsedPage utf16(page, "wide.htm");
        EXPECT_FALSE(utf16.ok);
        EXPECT_NE(utf16.warnings.str().find("UTF-16"), std::string::npos) << utf16.warnings.str();
        EXPECT_NE(utf16.warnings.str().find("wide.htm"), std::string::npos);
    }
}

TEST(HtmlPageFidelity, DeletedHeadAndBodyAreNotHandedOut) {
    ParsedPage page("<html><head><title>t</title></head><body><p>x</body></html>");
    ASSERT_TRUE(page.ok);
    HtmlContainer* html = page.document.Root().First()->AsContainer();
    ASSERT_NE(html, nullptr);
    EXPECT_TRUE(html->Children().Remove(page.document.Head()));
    EXPECT_EQ(page.document.Head(), nullptr);
    ASSERT_NE(page.document.Body(), nullptr);
    page.document.Root().Clear();
    EXPECT_EQ(page.document.Body(), nullptr);
}

namespace {

// The test corpus and up to 300 HTML manuals installed on this machine.
std::vector<fs::path> RealPages() {
    std::vector<fs::path> pages;
    for (const auto& entry : fs::directory_iterator(PIXMILL_TEST_DATA_DIR "/html/corpus")) {
        if (entry.path().extension() == ".htm") {
            pages.push_back(entry.path());
        }
    }
    std::error_code error;
    size_t manuals = 0;
    for (auto it = fs::recursive_directory_iterator(
             "/usr/share/doc", fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator() && manuals < 300; it.increment(error)) {
        const fs::path& path = it->path();
        if ((path.extension() == ".html" || path.extension() == ".htm") &&
            it->is_regular_file(error) && it->file_size(error) < 2'000'000) {
            pages.push_back(path);
            ++manuals;
        }
    }
    return pages;
}

std::string ReadPage(const fs::path& path) {
    return test::FileText(path);
}

// Every node that knows its bytes finds itself there: a tag at its start
// (a container's own end tag at its end when it has one), texts and
// comments exactly; children lie inside their parent's bytes.
void ExpectSourceRanges(const HtmlChildList& list, const std::string& page, size_t begin,
                        size_t end, const std::string& label) {
    for (const HtmlNode* node : list) {
        if (!node->HasSourceRange()) {
            if (node->IsContainer()) {
                ExpectSourceRanges(node->AsContainer()->Children(), page, begin, end, label);
            }
            continue;
        }
        const size_t from = node->SourceBegin();
        const size_t to = node->SourceEnd();
        ASSERT_TRUE(begin <= from && from <= to && to <= end) << label;
        const std::string bytes = page.substr(from, to - from);
        if (const HtmlElement* element = node->AsElement()) {
            ASSERT_TRUE(html::EqualNoCase(bytes.substr(0, element->Name().size() + 1),
                                          "<" + element->Name()))
                << label << ": " << bytes.substr(0, 40);
        } else if (node->IsComment()) {
            // A comment the end of the file cut short is closed.
            EXPECT_EQ(node->AsText()->Text().rfind(bytes, 0), 0u) << label;
        } else if (const HtmlText* text = node->AsText()) {
            // (A raw text the end of the file cut short leaves out the
            // start of its end tag.)
            EXPECT_EQ(bytes.rfind(text->Text(), 0), 0u) << label;
        }
        if (const HtmlContainer* container = node->AsContainer()) {
            // Head content met late moved into the head from elsewhere.
            const bool head = container->Name() == "HEAD";
            ExpectSourceRanges(container->Children(), page, head ? 0 : from,
                               head ? page.size() : to, label);
        }
    }
}

} // namespace

// Every page of the test corpus, and the HTML manuals installed on this
// machine, read the same after a round trip through the parser and writer,
// and every node read knows the bytes it came from.
TEST(HtmlPageFidelity, RealPagesReadTheSame) {
    for (const fs::path& path : RealPages()) {
        const std::string text = ReadPage(path);
        ExpectReadsTheSame(text, path.string());
        ParsedPage parsed(text);
        if (!parsed.ok) {
            continue;
        }
        ExpectSourceRanges(parsed.document.Root(), text, 0, text.size(), path.string());
    }
}
