// The writing habits of a page's author that new markup put into the page
// follows: the case of tag and attribute names and the line ends.
#pragma once

#include <string>
#include <string_view>

namespace pixmill {

struct HtmlMarkupStyle {
    bool lowerCaseNames = false; // most tags are written in lower case
    bool crlf = true;            // most line ends are "\r\n" (also: no line ends)
};

// The habits of the page's bytes, by majority.
HtmlMarkupStyle DetectMarkupStyle(std::string_view page);

// Markup as the tree writer gives it ("\r\n" line ends, upper-case names)
// in the page's habits: tag and attribute names in lower case where the page
// writes them so (values, texts and comments as they are), line ends made
// "\n" where the page uses those.
std::string ApplyMarkupStyle(std::string_view markup, const HtmlMarkupStyle& style);

} // namespace pixmill
