#include "html/html_markup_style.h"

#include "html/html_text_util.h"

namespace pixmill {

namespace {

bool StartsAt(std::string_view text, size_t at, std::string_view prefix) {
    return text.substr(at, prefix.size()) == prefix;
}

// Copies one tag from the "<" at `at`, names in lower case; returns the
// offset after it. Quoted values are copied as they are.
size_t CopyTagLowerCase(std::string_view markup, size_t at, std::string& out) {
    out += markup[at++];
    if (at < markup.size() && markup[at] == '/') {
        out += markup[at++];
    }
    bool inName = true; // the tag name, then each attribute name
    while (at < markup.size()) {
        const char c = markup[at];
        if (c == '>') {
            out += c;
            return at + 1;
        }
        if (c == '"' || c == '\'') {
            const size_t close = markup.find(c, at + 1);
            const size_t end = close == std::string_view::npos ? markup.size() : close + 1;
            out.append(markup.substr(at, end - at));
            at = end;
            continue;
        }
        if (c == '=') {
            inName = false; // an unquoted value follows
        } else if (html::IsSpace(static_cast<unsigned char>(c))) {
            inName = true;
        }
        out += inName ? html::Lower(c) : c;
        ++at;
    }
    return at;
}

} // namespace

HtmlMarkupStyle DetectMarkupStyle(std::string_view page) {
    size_t lower = 0, upper = 0, crlf = 0, lf = 0;
    for (size_t i = 0; i < page.size(); ++i) {
        if (page[i] == '\n') {
            ++lf;
            crlf += i > 0 && page[i - 1] == '\r' ? 1 : 0;
        } else if (page[i] == '<' && i + 1 < page.size()) {
            const unsigned char first = static_cast<unsigned char>(page[i + 1]);
            if (first >= 'a' && first <= 'z') {
                ++lower;
            } else if (first >= 'A' && first <= 'Z') {
                ++upper;
            }
        }
    }
    HtmlMarkupStyle style;
    style.lowerCaseNames = lower > upper;
    style.crlf = lf == 0 || crlf * 2 > lf;
    return style;
}

std::string ApplyMarkupStyle(std::string_view markup, const HtmlMarkupStyle& style) {
    std::string out;
    out.reserve(markup.size());
    for (size_t at = 0; at < markup.size();) {
        if (StartsAt(markup, at, "<!--")) {
            const size_t close = markup.find("-->", at + 4);
            const size_t end = close == std::string_view::npos ? markup.size() : close + 3;
            out.append(markup.substr(at, end - at));
            at = end;
        } else if (style.lowerCaseNames && markup[at] == '<' && at + 1 < markup.size() &&
                   (html::IsAlpha(static_cast<unsigned char>(markup[at + 1])) ||
                    markup[at + 1] == '/')) {
            at = CopyTagLowerCase(markup, at, out);
        } else if (!style.crlf && StartsAt(markup, at, "\r\n")) {
            out += '\n';
            at += 2;
        } else {
            out += markup[at++];
        }
    }
    return out;
}

} // namespace pixmill
