#include "html/html_document.h"

#include "html/html_error.h"
#include "html/html_parser.h"
#include "html/html_tokenizer.h"
#include "pixmill/errors.h"

#include <ostream>

namespace pixmill {

HtmlDocument::HtmlDocument() {
    ResetParseState();
}

HtmlDocument::~HtmlDocument() = default;

void HtmlDocument::ResetParseState() {
    stack.clear();
    stack.reserve(70);
    stack.push_back(&root);
    headOpen = false;
    ignoredTitles = 0;
}

void HtmlDocument::Clear() {
    head = nullptr;
    body = nullptr;
    root.Clear();
    ResetParseState();
}

bool HtmlDocument::Parse(const std::string& name) {
    Clear();
    fileName.clear();
    try {
        HtmlSource source(name);
        return Parse(source);
    } catch (CQorelError& error) {
        WriteToSink(error.Report(false));
        return false;
    }
}

bool HtmlDocument::Parse(HtmlSource& source) {
    Clear();
    fileName.clear();
    try {
        HtmlTokenizer tokenizer(source, this);
        HtmlParser parser(tokenizer, *this);
        parser.Run();
        fileName = source.Name();
        ResetParseState();
        return true;
    } catch (HtmlError& error) {
        WriteToSink(error.Report(true));
    } catch (CQorelError& error) {
        WriteToSink(error.Report(false));
    }
    ResetParseState();
    return false;
}

void HtmlDocument::Warning(const char* message, int) {
    WriteToSink(message);
}

void HtmlDocument::WriteToSink(const char* text) {
    if (warnings && text) {
        *warnings << text;
        warnings->flush();
    }
}

void HtmlDocument::Write(HtmlSink& sink) const {
    for (const HtmlNode* node : root) {
        node->Write(sink);
    }
}

std::string HtmlDocument::ToString() const {
    HtmlStringSink sink;
    Write(sink);
    return std::move(sink.text);
}

HtmlContainer* HtmlDocument::Open(std::unique_ptr<HtmlContainer> container) {
    auto* raw = static_cast<HtmlContainer*>(Append(std::move(container)));
    stack.push_back(&raw->Children());
    return raw;
}

HtmlContainer* HtmlDocument::OpenFromToken(const HtmlToken& token) {
    return Open(std::make_unique<HtmlContainer>(token.text, token.attributes));
}

HtmlElement* HtmlDocument::LeafFromToken(const HtmlToken& token) {
    return static_cast<HtmlElement*>(
        Append(std::make_unique<HtmlElement>(token.text, token.attributes)));
}

void HtmlDocument::Close() {
    // The root list stays at the bottom whatever the input.
    if (stack.size() > 1) {
        stack.pop_back();
    }
}

void HtmlDocument::Action(int action, const HtmlToken& token) {
    switch (action) {
    case 1: { // STYLE in the head
        HtmlContainer* style = OpenFromToken(token);
        if (head) {
            head->AddStyle(style);
        }
        if (!headOpen) {
            Warning("<STYLE> not inside <HEAD>, added inside <HEAD>\n", 0);
        }
        break;
    }
    case 3: { // SCRIPT
        HtmlContainer* script = OpenFromToken(token);
        if (headOpen && head) {
            head->AddScript(script);
        }
        break;
    }
    case 4: { // TITLE in the head
        HtmlContainer* title = OpenFromToken(token);
        if (head) {
            head->SetTitle(title);
        }
        break;
    }
    case 5: // a misplaced tag in the body is dropped
        if (token.code == HtmlCode::Title) {
            ++ignoredTitles;
        }
        break;
    case 6:  // DIV
    case 7:  // PLAINTEXT
    case 8:  // A
    case 9:  // MAP
    case 10: // SPAN
    case 11: // APPLET
    case 16: // HTML
        OpenFromToken(token);
        break;
    case 12: // !DOCTYPE
    case 21: // ISINDEX
    case 34: // block tag
    case 35: // any other tag
    case 41: // PARAM
    case 45: // AREA
        LeafFromToken(token);
        break;
    case 13: // no !DOCTYPE
        break;
    case 14:
        Append(std::make_unique<HtmlLineBreak>());
        break;
    case 15:
        Append(std::make_unique<HtmlComment>(token.text));
        break;
    case 17:
        Open(std::make_unique<HtmlContainer>("HTML"));
        break;
    case 18:
    case 19: {
        auto element = action == 18 ? std::make_unique<HtmlHead>(token.text, token.attributes)
                                    : std::make_unique<HtmlHead>("HEAD");
        headOpen = true;
        head = static_cast<HtmlHead*>(Open(std::move(element)));
        break;
    }
    case 20: { // META
        HtmlElement* meta = LeafFromToken(token);
        if (head) {
            head->AddMeta(meta);
        }
        break;
    }
    case 22: { // LINK
        HtmlElement* link = LeafFromToken(token);
        if (head) {
            head->AddLink(link);
        }
        break;
    }
    case 23: // BASE
        if (head && head->Base()) {
            Warning("Two or more <BASE> tag on page, only first is accepted\n", 0);
        } else {
            HtmlElement* base = LeafFromToken(token);
            if (head) {
                head->SetBase(base);
            }
        }
        break;
    case 24:
    case 25: // end of TITLE
        if (ignoredTitles > 0) {
            --ignoredTitles;
        } else {
            Close();
        }
        break;
    case 26:
    case 27: // SCRIPT
    case 28:
    case 29: // STYLE
    case 37: // DIV
    case 38:
    case 39: // PLAINTEXT
    case 40: // A
    case 42: // APPLET
    case 44: // SPAN
    case 46: // MAP
    case 47: // BODY
    case 48: // HTML
        Close();
        break;
    case 30:
    case 36:
        Append(std::make_unique<HtmlText>(token.text));
        break;
    case 31:
        headOpen = false;
        Close();
        break;
    case 32:
    case 33: {
        auto element = action == 32 ? std::make_unique<HtmlContainer>(token.text, token.attributes)
                                    : std::make_unique<HtmlContainer>("BODY");
        body = Open(std::move(element));
        break;
    }
    default:
        break;
    }
}

} // namespace pixmill
