// URLs as pages hold them: split into their components, escaped, unescaped,
// turned into local paths and made relative to a page. Windows paths (drive
// letters, UNC names) found in pages are understood as file URLs; so are the
// absolute paths of this system through FromLocalPath.
#pragma once

#include <string>
#include <string_view>

namespace pixmill {

class HtmlUrl {
  public:
    enum Flag : int {
        HasScheme = 1,
        HasNetLoc = 2,
        HasPath = 4,
        HasParams = 8,
        HasQuery = 16,
        HasFragment = 32,
        AllParts = 63,
    };
    enum SchemeCode : int {
        OtherScheme = 0, // well formed, of another length than 3, 4 or 6
        NotUrl = 1,
        Http = 2,
        Ftp = 3,
        Mid = 4,
        Cid = 5,
        Gopher = 6,
        Mailto = 7,
        News = 8,
        Wais = 9,
        Telnet = 11, // telnet, rlogin, tn3270
        File = 12,
        Relative = 13, // no scheme: a relative reference
    };

    HtmlUrl() = default;
    explicit HtmlUrl(std::string_view text) { setUrl(text); }

    // Splits the text. A null or empty text is refused (false) and leaves
    // the URL as it was; a text that is not a URL leaves code NotUrl and no
    // components.
    bool setUrl(const char* text);
    bool setUrl(std::string_view text);

    // A file URL for an absolute path of this system ("/home/a b.gif"); any
    // other text is taken as setUrl takes it. LocalPath gives the path back,
    // except for a path whose first name looks like a drive ("/C:/x"),
    // which file URLs always mean as a drive.
    static HtmlUrl FromLocalPath(std::string_view path);

    int Scheme() const { return scheme; }
    int Flags() const { return flags; }
    bool IsAbsolute() const { return (flags & HasScheme) != 0; }
    // The path begins with two slashes or backslashes and is at least 3 long.
    bool IsUnc() const;
    // The network location without its "//", up to the first "/".
    std::string Host() const;

    const std::string& SchemeText() const { return schemeText; } // with ":"
    const std::string& NetLoc() const { return netLoc; }         // with "//"
    const std::string& Path() const { return path; }
    const std::string& Params() const { return params; }     // with ";"
    const std::string& Query() const { return query; }       // with "?"
    const std::string& Fragment() const { return fragment; } // with "#"

    // Scheme, network location, path, parameters, query and fragment, escaped.
    std::string Full() const;
    // The components selected by the flag bits, in order, unescaped; empty
    // if unescaping fails.
    std::string Parts(int mask) const;
    // For file URLs the path on the local file system, otherwise empty.
    // Drive and UNC paths come back in Windows form ("C:\dir\a.gif",
    // "\\srv\pub\x.htm"), other absolute paths as they are ("/home/a.gif").
    std::string LocalPath() const;
    // The shortest reference that leads from base to this URL; this URL
    // unchanged where no relative reference can lead there.
    HtmlUrl RelativeTo(const HtmlUrl& base) const;

    // Letters, digits and "-_.*/:?#$@&=+!*')(" stay; every other byte
    // becomes "%XX".
    static std::string Escape(std::string_view text);
    // "%XX" becomes the byte; *ok is false when a "%" is not followed by two
    // hexadecimal digits.
    static std::string Unescape(std::string_view text, bool* ok = nullptr);
    static std::string RemoveDotSegments(std::string_view path);
    // The scheme code of a text (after Windows paths became file URLs).
    static int SchemeOf(std::string_view text, size_t* colon = nullptr);

  private:
    void Reset();

    int flags = 0;
    int scheme = NotUrl;
    std::string schemeText;
    std::string netLoc;
    std::string path;
    std::string query;
    std::string params;
    std::string fragment;
};

} // namespace pixmill
