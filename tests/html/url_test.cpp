#include "html/html_url.h"

#include <gtest/gtest.h>

using namespace pixmill;

namespace {

std::string Relative(const char* target, const char* base) {
    return HtmlUrl(target).RelativeTo(HtmlUrl(base)).Parts(HtmlUrl::AllParts);
}

} // namespace

TEST(HtmlUrl, WindowsPathsAreFileUrls) {
    HtmlUrl drive("C:\\dir\\a b.gif");
    EXPECT_EQ(drive.Scheme(), HtmlUrl::File);
    EXPECT_EQ(drive.SchemeText(), "file:");
    EXPECT_EQ(drive.NetLoc(), "//");
    EXPECT_EQ(drive.Path(), "/C:/dir/a b.gif");
    EXPECT_EQ(drive.Flags(), HtmlUrl::HasScheme | HtmlUrl::HasNetLoc | HtmlUrl::HasPath);
    EXPECT_EQ(drive.Full(), "file:///C:/dir/a%20b.gif");
    EXPECT_EQ(drive.LocalPath(), "C:\\dir\\a b.gif");
    EXPECT_FALSE(drive.IsUnc());

    HtmlUrl unc("\\\\srv\\pub\\x.htm");
    EXPECT_TRUE(unc.IsUnc());
    EXPECT_EQ(unc.Path(), "//srv/pub/x.htm");
    EXPECT_EQ(unc.LocalPath(), "\\\\srv\\pub\\x.htm");
    EXPECT_EQ(HtmlUrl("//srv/pub/x.htm").LocalPath(), "\\\\srv\\pub\\x.htm");
    EXPECT_EQ(HtmlUrl("file://srv/pub/x.htm").LocalPath(), "\\\\srv\\pub\\x.htm");
    EXPECT_EQ(HtmlUrl("file:///C|/a%20b.gif").LocalPath(), "C:\\a b.gif");
    EXPECT_EQ(HtmlUrl("file:///C:/a%2").LocalPath(), "");
    EXPECT_EQ(HtmlUrl("http://h/a.gif").LocalPath(), "");
}

TEST(HtmlUrl, SchemesAreRecognised) {
    struct Case {
        const char* text;
        int code;
    } cases[] = {
        {"http://h/", 2}, {"HTTP://h/", 2},   {"ftp://h", 3},      {"mid:x", 4},
        {"cid:x", 5},     {"gopher://h", 6},  {"MailTo:a@b", 7},   {"news:comp", 8},
        {"wais://h", 9},  {"telnet://h", 11}, {"rlogin://h", 11},  {"tn3270://h", 11},
        {"file:x", 12},   {"https://h", 0},   {"javascript:x", 0}, {"a.b+c-d:x", 0},
        {"foo:bar", 1},   {"data:x", 1},      {":x", 1},           {"x:y", 12},
        {"a b:c", 1},     {"a.htm?t=1:2", 1}, {"a/b.htm", 13},     {"#top", 13},
    };
    for (const Case& c : cases) {
        HtmlUrl url(c.text);
        EXPECT_EQ(url.Scheme(), c.code) << c.text;
        EXPECT_EQ(url.IsAbsolute(), c.code != 1 && c.code != 13) << c.text;
        if (c.code == 1) {
            EXPECT_EQ(url.Flags(), 0) << c.text;
        }
    }
    EXPECT_EQ(HtmlUrl("HTTP://h/").SchemeText(), "http:");
    EXPECT_EQ(HtmlUrl("FILE:x").SchemeText(), "FILE:");
}

TEST(HtmlUrl, ComponentsAreSplit) {
    HtmlUrl url("  \"http://Host:80/a/b.cgi;type=a?x=1&y=2#frag\" ");
    EXPECT_EQ(url.SchemeText(), "http:");
    EXPECT_EQ(url.NetLoc(), "//Host:80");
    EXPECT_EQ(url.Host(), "Host:80");
    EXPECT_EQ(url.Path(), "/a/b.cgi");
    EXPECT_EQ(url.Params(), ";type=a");
    EXPECT_EQ(url.Query(), "?x=1&y=2");
    EXPECT_EQ(url.Fragment(), "#frag");
    EXPECT_EQ(url.Flags(), HtmlUrl::AllParts);
    // A link to a part of a page keeps the part.
    EXPECT_EQ(url.Full(), "http://Host:80/a/b.cgi;type=a?x=1&y=2#frag");
    EXPECT_EQ(HtmlUrl("page.htm#section").Full(), "page.htm#section");
    EXPECT_EQ(url.Parts(HtmlUrl::HasPath | HtmlUrl::HasFragment), "/a/b.cgi#frag");

    // A lone delimiter at the end is dropped; "#" comes off before "?".
    HtmlUrl lone("a.htm?#");
    EXPECT_EQ(lone.Flags(), HtmlUrl::HasPath);
    EXPECT_EQ(lone.Path(), "a.htm");
    HtmlUrl order("a.htm#x?y");
    EXPECT_EQ(order.Fragment(), "#x?y");
    EXPECT_EQ(order.Query(), "");
    HtmlUrl host("http://h");
    EXPECT_EQ(host.Flags(), HtmlUrl::HasScheme | HtmlUrl::HasNetLoc);

    // An empty text is refused and the URL stays as it was.
    EXPECT_FALSE(url.setUrl(""));
    EXPECT_FALSE(url.setUrl(static_cast<const char*>(nullptr)));
    EXPECT_EQ(url.Path(), "/a/b.cgi");
    // A bad text leaves no components.
    EXPECT_TRUE(url.setUrl("foo:bar"));
    EXPECT_EQ(url.Scheme(), HtmlUrl::NotUrl);
    EXPECT_EQ(url.Full(), "");
}

TEST(HtmlUrl, EscapingAndUnescaping) {
    EXPECT_EQ(HtmlUrl::Escape("a b%c~\xe9-_.*/:?#$@&=+!')(;"),
              "a%20b%25c%7E%E9-_.*/:?#$@&=+!')(%3B");
    bool ok = false;
    EXPECT_EQ(HtmlUrl::Unescape("a%20b%7e%E9", &ok), "a b~\xe9");
    EXPECT_TRUE(ok);
    for (const char* bad : {"%", "a%2", "%zz", "%2g"}) {
        HtmlUrl::Unescape(bad, &ok);
        EXPECT_FALSE(ok) << bad;
    }
    // Escapes already in a URL are not escaped again.
    EXPECT_EQ(HtmlUrl("img/a%20b.gif").Full(), "img/a%20b.gif");
    EXPECT_EQ(HtmlUrl("img/100%.gif").Full(), "img/100%25.gif");
    EXPECT_EQ(HtmlUrl("a%2.gif").Parts(HtmlUrl::AllParts), "");
}

TEST(HtmlUrl, DotSegments) {
    EXPECT_EQ(HtmlUrl::RemoveDotSegments("a/b/../c/./d"), "a/c/d");
    EXPECT_EQ(HtmlUrl::RemoveDotSegments("/a/b/c/../../d"), "/a/d");
    EXPECT_EQ(HtmlUrl::RemoveDotSegments("/a/b/.."), "/a/");
    EXPECT_EQ(HtmlUrl::RemoveDotSegments("/a/.."), "/");
    EXPECT_EQ(HtmlUrl::RemoveDotSegments("/../a"), "/a");
    EXPECT_EQ(HtmlUrl::RemoveDotSegments("/a/./"), "/a/");
    EXPECT_EQ(HtmlUrl::RemoveDotSegments("../../x"), "../../x");
    EXPECT_EQ(HtmlUrl::RemoveDotSegments("a/../../x"), "/x");
    EXPECT_EQ(HtmlUrl::RemoveDotSegments("a/b..c/.d"), "a/b..c/.d");
}

TEST(HtmlUrl, RelativeReferences) {
    EXPECT_EQ(Relative("C:\\site\\img\\a.gif", "C:\\site\\pages\\index.htm"), "../img/a.gif");
    EXPECT_EQ(Relative("file:///C:/Site/IMG/a.gif", "file:///c:/site/img/index.htm"), "a.gif");
    EXPECT_EQ(Relative("C:\\a\\b\\c\\x.gif", "C:\\a\\index.htm"), "b/c/x.gif");
    EXPECT_EQ(Relative("C:\\a\\x.gif", "C:\\a\\b\\c\\index.htm"), "../../x.gif");
    EXPECT_EQ(Relative("C:\\site\\", "C:\\site\\index.htm"), "./");
    // Across drives, or from a drive to none, nothing relative leads there.
    EXPECT_EQ(Relative("D:\\a.gif", "C:\\index.htm"), "file:///D:/a.gif");
    EXPECT_EQ(Relative("file:///a.gif", "C:\\index.htm"), "file:///a.gif");
    // UNC names: the same host (in any case) or none.
    EXPECT_EQ(Relative("\\\\srv\\pub\\img\\a.gif", "\\\\SRV\\pub\\index.htm"), "img/a.gif");
    EXPECT_EQ(Relative("\\\\one\\pub\\a.gif", "\\\\two\\pub\\index.htm"), "file:////one/pub/a.gif");
    EXPECT_EQ(Relative("\\\\srv\\pub\\a.gif", "C:\\index.htm"), "file:////srv/pub/a.gif");
    // http: the same network location only.
    EXPECT_EQ(Relative("http://h/a/b.htm?q#f", "http://h/a/c.htm"), "b.htm?q#f");
    EXPECT_EQ(Relative("http://other/a/b.htm", "http://h/a/c.htm"), "http://other/a/b.htm");
    EXPECT_EQ(Relative("ftp://h/a/b", "ftp://h/a/c"), "ftp://h/a/b");
    EXPECT_EQ(Relative("img/a.gif", "http://h/a/c.htm"), "img/a.gif");
    // The same resource keeps only what differs from the base.
    EXPECT_EQ(Relative("http://h/a.htm#top", "http://h/a.htm"), "#top");
    EXPECT_EQ(Relative("http://h/a.htm?x#top", "http://h/a.htm?x#top"), "");
    HtmlUrl same = HtmlUrl("http://h/a.htm").RelativeTo(HtmlUrl("http://h/a.htm"));
    EXPECT_EQ(same.Scheme(), HtmlUrl::Relative);
    EXPECT_EQ(same.Flags(), 0);
}

TEST(HtmlUrl, PathsOfThisSystem) {
    for (const char* path :
         {"/home/u/a b.gif", "/tmp/100%.gif", "/x/#1?;.htm", "/\xc3\xa9t\xc3\xa9"}) {
        HtmlUrl url = HtmlUrl::FromLocalPath(path);
        EXPECT_EQ(url.Scheme(), HtmlUrl::File) << path;
        EXPECT_EQ(url.LocalPath(), path);
        // Its written form reads back as the same file.
        EXPECT_EQ(HtmlUrl(url.Full()).LocalPath(), path);
    }
    EXPECT_EQ(HtmlUrl::FromLocalPath("/home/u/a b.gif").Full(), "file:///home/u/a%20b.gif");
    EXPECT_EQ(HtmlUrl("file:///home/u/a%20b.gif").LocalPath(), "/home/u/a b.gif");
    EXPECT_EQ(HtmlUrl("file://localhost/home/a.gif").LocalPath(), "/home/a.gif");
    // Windows forms still go through setUrl.
    EXPECT_EQ(HtmlUrl::FromLocalPath("C:\\a.gif").LocalPath(), "C:\\a.gif");

    const HtmlUrl page = HtmlUrl::FromLocalPath("/home/u/site/pages/index.htm");
    EXPECT_EQ(HtmlUrl::FromLocalPath("/home/u/site/img/a b.gif").RelativeTo(page).Full(),
              "../img/a%20b.gif");
    // Names that differ only by case are different files here.
    EXPECT_EQ(HtmlUrl::FromLocalPath("/home/u/Site/a.gif").RelativeTo(page).Full(),
              "../../Site/a.gif");
}
