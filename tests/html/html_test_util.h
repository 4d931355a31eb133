// Helpers of the HTML tests: parsing from memory and reading the tree.
#pragma once

#include "html/html_document.h"
#include "html/html_tokenizer.h"

#include <sstream>
#include <string>
#include <vector>

namespace pixmill::test {

// A document parsed from text, with its warnings (and error reports).
struct ParsedPage {
    HtmlDocument document;
    std::ostringstream warnings;
    bool ok = false;

    explicit ParsedPage(const std::string& text, const char* name = "page.htm") {
        document.SetWarningSink(&warnings);
        HtmlSource source(name, text.data(), text.size());
        ok = document.Parse(source);
    }
    std::string Written() const { return document.ToString(); }
};

// The tree in a compact form: containers as NAME[children], elements as
// <NAME>, text as "text", comments as {!}, line breaks as /.
inline std::string Outline(const HtmlChildList& list) {
    std::string out;
    for (const HtmlNode* node : list) {
        if (!out.empty()) {
            out += ' ';
        }
        if (const HtmlContainer* container = node->AsContainer()) {
            out += container->Name() + "[" + Outline(container->Children()) + "]";
        } else if (const HtmlElement* element = node->AsElement()) {
            out += "<" + element->Name() + ">";
        } else if (node->IsComment()) {
            out += "{!}";
        } else if (const HtmlText* text = node->AsText()) {
            out += "\"" + text->Text() + "\"";
        } else {
            out += "/";
        }
    }
    return out;
}

// Every text and comment of a tree, in document order.
inline void CollectTexts(const HtmlChildList& list, std::vector<std::string>& texts) {
    for (const HtmlNode* node : list) {
        if (const HtmlContainer* container = node->AsContainer()) {
            CollectTexts(container->Children(), texts);
        } else if (const HtmlText* text = node->AsText()) {
            texts.push_back(text->Text());
        }
    }
}

} // namespace pixmill::test
