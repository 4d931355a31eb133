// Byte classes and case folding of the HTML code. HTML names are ASCII; bytes
// of 0x80 and above are ordinary characters that no class below contains.
#pragma once

#include <string>
#include <string_view>

namespace pixmill::html {

inline bool IsSpace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
inline bool IsAlpha(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}
inline bool IsAlnum(int c) {
    return IsAlpha(c) || IsDigit(c);
}
inline char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}
inline char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

inline std::string ToUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = Upper(c);
    }
    return out;
}

inline std::string ToLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = Lower(c);
    }
    return out;
}

inline bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Elements inside which every blank counts (upper-case name, no "/").
inline bool IsPreformatted(std::string_view name) {
    return name == "PRE" || name == "XMP" || name == "LISTING" || name == "TEXTAREA";
}

inline bool IsBlank(std::string_view text) {
    for (char c : text) {
        if (!IsSpace(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// Text for a page: "&", "<", ">" and '"' written as entities, so that no
// text can change the page's structure, in content or in a quoted value.
inline std::string EscapeHtmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace pixmill::html
