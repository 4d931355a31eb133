#include "html/html_url.h"

#include "html/html_text_util.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pixmill {

using html::IsAlnum;
using html::IsAlpha;
using html::Lower;

namespace {

void DebugOutput(const char* text) {
    // The debugger's output channel: shown on stderr when asked for.
    static const bool enabled = std::getenv("PIXMILL_DEBUG") != nullptr;
    if (enabled) {
        std::fputs(text, stderr);
    }
}

bool IsSlash(char c) {
    return c == '/' || c == '\\';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool KeptByEscape(char c) {
    return IsAlnum(static_cast<unsigned char>(c)) ||
           (c != '\0' && std::strchr("-_.*/:?#$@&=+!*')(", c) != nullptr);
}

void AppendEscaped(std::string& out, unsigned char c) {
    static const char digits[] = "0123456789ABCDEF";
    out.push_back('%');
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
}

// Escaping for Full: a component may already hold escapes ("a%20b.gif" read
// from a page); those are kept rather than escaped a second time, and the ";"
// that starts parameters stays.
std::string EscapeComponent(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (KeptByEscape(c) || c == ';' ||
            (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
             HexValue(text[i + 2]) >= 0)) {
            out.push_back(c);
        } else {
            AppendEscaped(out, static_cast<unsigned char>(c));
        }
    }
    return out;
}

// A path of the form "/X:..." or "/X|..." names a drive.
bool NamesDrive(const std::string& path) {
    return path.size() >= 3 && path[0] == '/' && IsAlpha(static_cast<unsigned char>(path[1])) &&
           (path[2] == ':' || path[2] == '|');
}

bool IsUncPath(const std::string& path) {
    return path.size() >= 3 && IsSlash(path[0]) && IsSlash(path[1]);
}

// The host of a UNC path: the name after the two slashes.
std::string UncHost(const std::string& path) {
    size_t end = 2;
    while (end < path.size() && !IsSlash(path[end])) {
        ++end;
    }
    return path.substr(2, end - 2);
}

} // namespace

void HtmlUrl::Reset() {
    flags = 0;
    scheme = NotUrl;
    schemeText.clear();
    netLoc.clear();
    path.clear();
    query.clear();
    params.clear();
    fragment.clear();
}

int HtmlUrl::SchemeOf(std::string_view text, size_t* colonOut) {
    if (text.empty()) {
        return NotUrl;
    }
    const size_t colon = text.find(':');
    if (colonOut) {
        *colonOut = colon;
    }
    if (colon == std::string_view::npos) {
        return Relative;
    }
    if (colon < 2) {
        return NotUrl; // ":" first, or a one-letter scheme
    }
    for (size_t i = 0; i < colon; ++i) {
        const char c = text[i];
        if (!IsAlnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
            return NotUrl;
        }
    }
    const std::string name = html::ToLower(text.substr(0, colon));
    switch (name.size()) {
    case 3:
        if (name == "ftp") {
            return Ftp;
        }
        if (name == "mid") {
            return Mid;
        }
        if (name == "cid") {
            return Cid;
        }
        return NotUrl;
    case 4:
        if (name == "http") {
            return Http;
        }
        if (name == "news") {
            return News;
        }
        if (name == "wais") {
            return Wais;
        }
        if (name == "file") {
            return File;
        }
        return NotUrl;
    case 6:
        if (name == "gopher") {
            return Gopher;
        }
        if (name == "mailto") {
            return Mailto;
        }
        if (name == "telnet" || name == "rlogin" || name == "tn3270") {
            return Telnet;
        }
        return NotUrl;
    default:
        return OtherScheme;
    }
}

bool HtmlUrl::setUrl(const char* text) {
    if (!text) {
        DebugOutput("Bad param in HtmlUrl::setUrl\n");
        return false;
    }
    return setUrl(std::string_view(text));
}

bool HtmlUrl::setUrl(std::string_view input) {
    if (input.empty()) {
        DebugOutput("Bad param in HtmlUrl::setUrl\n");
        return false;
    }
    Reset();

    // Trimmed, and one quote taken from each end.
    size_t begin = 0;
    size_t end = input.size();
    while (begin < end && html::IsSpace(static_cast<unsigned char>(input[begin]))) {
        ++begin;
    }
    while (end > begin && html::IsSpace(static_cast<unsigned char>(input[end - 1]))) {
        --end;
    }
    if (begin < end && (input[begin] == '"' || input[begin] == '\'')) {
        ++begin;
    }
    if (begin < end && (input[end - 1] == '"' || input[end - 1] == '\'')) {
        --end;
    }
    std::string text(input.substr(begin, end - begin));

    // Windows paths are file URLs.
    if (text.size() >= 2 && text[1] == ':') {
        text.insert(0, "file:///");
    } else if (text.size() >= 3 && IsSlash(text[0]) && IsSlash(text[1])) {
        text.insert(0, "file://");
    }

    size_t colon = std::string::npos;
    scheme = SchemeOf(text, &colon);
    if (scheme == NotUrl) {
        return true;
    }
    std::string rest;
    if (scheme == Relative) {
        rest = text;
    } else {
        schemeText = text.substr(0, colon + 1);
        if (scheme != File) {
            schemeText = html::ToLower(schemeText);
        }
        flags |= HasScheme;
        rest = text.substr(colon + 1);
    }

    // From the first delimiter on; a delimiter with nothing after it is dropped.
    auto cut = [&rest, this](char delimiter, std::string& out, int flag) {
        const size_t at = rest.find(delimiter);
        if (at == std::string::npos) {
            return;
        }
        if (at + 1 < rest.size()) {
            out = rest.substr(at);
            flags |= flag;
        }
        rest.erase(at);
    };
    cut('#', fragment, HasFragment);
    cut('?', query, HasQuery);
    cut(';', params, HasParams);
    for (char& c : rest) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (rest.size() >= 2 && rest[0] == '/' && rest[1] == '/') {
        const size_t slash = rest.find('/', 2);
        netLoc = rest.substr(0, slash);
        flags |= HasNetLoc;
        rest = slash == std::string::npos ? std::string() : rest.substr(slash);
    }
    if (!rest.empty()) {
        path = rest;
        flags |= HasPath;
    }
    return true;
}

HtmlUrl HtmlUrl::FromLocalPath(std::string_view localPath) {
    HtmlUrl url;
    if (localPath.size() >= 1 && localPath[0] == '/' &&
        !(localPath.size() >= 2 && localPath[1] == '/')) {
        // Stored escaped, so that "%", "#", "?" and ";" in file names come
        // back unchanged from LocalPath.
        std::string escaped;
        for (char c : localPath) {
            if (KeptByEscape(c) && c != '#' && c != '?') {
                escaped.push_back(c);
            } else {
                AppendEscaped(escaped, static_cast<unsigned char>(c));
            }
        }
        url.scheme = File;
        url.schemeText = "file:";
        url.netLoc = "//";
        url.path = escaped;
        url.flags = HasScheme | HasNetLoc | HasPath;
        return url;
    }
    url.setUrl(localPath);
    return url;
}

bool HtmlUrl::IsUnc() const {
    return IsUncPath(path);
}

std::string HtmlUrl::Host() const {
    std::string host = netLoc.size() >= 2 ? netLoc.substr(2) : std::string();
    const size_t slash = host.find('/');
    return slash == std::string::npos ? host : host.substr(0, slash);
}

std::string HtmlUrl::Full() const {
    return EscapeComponent(schemeText) + EscapeComponent(netLoc) + EscapeComponent(path) +
           EscapeComponent(params) + EscapeComponent(query) + EscapeComponent(fragment);
}

std::string HtmlUrl::Parts(int mask) const {
    std::string text;
    if (mask & HasScheme) {
        text += schemeText;
    }
    if (mask & HasNetLoc) {
        text += netLoc;
    }
    if (mask & HasPath) {
        text += path;
    }
    if (mask & HasParams) {
        text += params;
    }
    if (mask & HasQuery) {
        text += query;
    }
    if (mask & HasFragment) {
        text += fragment;
    }
    bool ok = true;
    std::string plain = Unescape(text, &ok);
    return ok ? plain : std::string();
}

std::string HtmlUrl::LocalPath() const {
    if (scheme != File) {
        return std::string();
    }
    bool ok = true;
    std::string local;
    const std::string host = Host();
    if (!host.empty() && !html::EqualNoCase(host, "localhost")) {
        // file://server/share/x is the UNC name \\server\share\x.
        local = Unescape("//" + host + path, &ok);
    } else if (IsUncPath(path)) {
        local = Unescape(path, &ok);
    } else if (NamesDrive(path)) {
        local = Unescape(path.substr(1), &ok);
    } else {
        // A path of this system.
        local = Unescape(path, &ok);
        return ok ? local : std::string();
    }
    if (!ok) {
        return std::string();
    }
    for (char& c : local) {
        if (c == '|') {
            c = ':';
        } else if (c == '/') {
            c = '\\';
        }
    }
    return local;
}

HtmlUrl HtmlUrl::RelativeTo(const HtmlUrl& base) const {
    if (!IsAbsolute() || (scheme != Http && scheme != File) || base.scheme != scheme ||
        netLoc != base.netLoc) {
        return *this;
    }
    size_t targetStart = 0;
    size_t baseStart = 0;
    bool foldCase = true;
    if (scheme == File) {
        const bool targetUnc = IsUnc();
        if (targetUnc != base.IsUnc()) {
            return *this;
        }
        if (targetUnc) {
            const std::string host = UncHost(path);
            if (!html::EqualNoCase(host, UncHost(base.path))) {
                return *this;
            }
            targetStart = baseStart = 2 + host.size();
        } else {
            const bool targetDrive = NamesDrive(path);
            if (targetDrive != NamesDrive(base.path)) {
                return *this;
            }
            if (targetDrive) {
                if (Lower(path[1]) != Lower(base.path[1])) {
                    return *this;
                }
                targetStart = baseStart = 3;
            } else {
                // Paths of this system: names differ by case.
                foldCase = false;
            }
        }
    }

    const std::string_view target = std::string_view(path).substr(targetStart);
    const std::string_view from = std::string_view(base.path).substr(baseStart);
    size_t common = 0;
    while (common < target.size() && common < from.size() &&
           (foldCase ? Lower(target[common]) == Lower(from[common])
                     : target[common] == from[common])) {
        ++common;
    }

    HtmlUrl result;
    result.scheme = Relative;
    if (common == target.size() && common == from.size()) {
        // The same resource: only what differs from the base remains.
        if ((flags & HasParams) && params != base.params) {
            result.params = params;
            result.flags |= HasParams;
        }
        if ((flags & HasQuery) && query != base.query) {
            result.query = query;
            result.flags |= HasQuery;
        }
        if ((flags & HasFragment) && fragment != base.fragment) {
            result.fragment = fragment;
            result.flags |= HasFragment;
        }
        return result;
    }

    const size_t lastSlash = target.substr(0, common).rfind('/');
    common = lastSlash == std::string_view::npos ? 0 : lastSlash + 1;
    std::string relative;
    for (char c : from.substr(common)) {
        if (c == '/') {
            relative += "../";
        }
    }
    relative += target.substr(common);
    if (relative.empty()) {
        // The folder the base lies in; an empty reference would be the base.
        relative = "./";
    }
    result.path = relative;
    result.flags |= HasPath;
    result.params = params;
    result.query = query;
    result.fragment = fragment;
    result.flags |= flags & (HasParams | HasQuery | HasFragment);
    return result;
}

std::string HtmlUrl::Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (KeptByEscape(c)) {
            out.push_back(c);
        } else {
            AppendEscaped(out, static_cast<unsigned char>(c));
        }
    }
    return out;
}

std::string HtmlUrl::Unescape(std::string_view text, bool* ok) {
    bool good = true;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            good = false;
            out.push_back('%');
        }
    }
    if (ok) {
        *ok = good;
    }
    return out;
}

std::string HtmlUrl::RemoveDotSegments(std::string_view input) {
    std::string out;
    out.reserve(input.size());
    // Removes the last segment of out with its slash, unless it is a ".."
    // that could not be resolved; then the ".." is kept.
    auto dropLastSegment = [&out]() -> bool {
        const size_t slash = out.rfind('/');
        const size_t start = slash == std::string::npos ? 0 : slash + 1;
        if (out.compare(start, std::string::npos, "..") == 0) {
            return false;
        }
        out.erase(slash == std::string::npos ? 0 : slash);
        return true;
    };
    while (!input.empty()) {
        if (input.substr(0, 3) == "/./") {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.substr(0, 4) == "/../" || input == "/..") {
            const bool atStart = out.empty();
            if (!atStart && !dropLastSegment()) {
                out += "/..";
            }
            input.remove_prefix(3);
            if (input.empty()) {
                input = "/";
                if (!atStart && out.size() >= 3 && out.compare(out.size() - 3, 3, "/..") == 0) {
                    input = "";
                }
            }
        } else {
            const size_t next = input.find('/', 1);
            const size_t length = next == std::string_view::npos ? input.size() : next;
            out.append(input.substr(0, length));
            input.remove_prefix(length);
        }
    }
    return out;
}

} // namespace pixmill
