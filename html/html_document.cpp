#include "html/html_document.h"

#include "html/html_error.h"
#include "html/html_parser.h"
#include "html/html_text_util.h"
#include "html/html_tokenizer.h"
#include "pixmill/errors.h"

#include <algorithm>
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
    head = nullptr;
    headOpen = false;
    bodyTagWritten = false;
}

namespace {
// A node of the token's tag, knowing the bytes it was read from.
template <class Node> std::unique_ptr<Node> FromToken(const HtmlToken& token) {
    auto node = std::make_unique<Node>(token.text, token.attributes);
    node->SetSourceRange(token.begin, token.end);
    return node;
}

// The first container among list's nodes and, one level down, the children
// of its HTML containers that the test accepts.
template <class Test> HtmlContainer* FindTopLevel(const HtmlChildList& list, Test test) {
    for (HtmlNode* node : list) {
        HtmlContainer* container = node->AsContainer();
        if (!container) {
            continue;
        }
        if (test(container)) {
            return container;
        }
        if (container->Name() == "HTML") {
            for (HtmlNode* child : container->Children()) {
                HtmlContainer* inner = child->AsContainer();
                if (inner && test(inner)) {
                    return inner;
                }
            }
        }
    }
    return nullptr;
}
} // namespace

HtmlHead* HtmlDocument::Head() const {
    return static_cast<HtmlHead*>(
        FindTopLevel(root, [](HtmlContainer* c) { return dynamic_cast<HtmlHead*>(c) != nullptr; }));
}

HtmlContainer* HtmlDocument::Body() const {
    return FindTopLevel(root, [](HtmlContainer* c) { return c->Name() == "BODY"; });
}

void HtmlDocument::Clear() {
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
        if (source.StartsWithUtf16Mark()) {
            throw HtmlEncodingError(source.Name());
        }
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
    HtmlTreeWriter writer(sink); // one writer: preformatted text spans nodes
    for (const HtmlNode* node : root) {
        writer.Write(*node, nullptr);
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
    return Open(FromToken<HtmlContainer>(token));
}

HtmlContainer* HtmlDocument::OpenIn(HtmlChildList& list, const HtmlToken& token) {
    auto* raw = static_cast<HtmlContainer*>(list.Append(FromToken<HtmlContainer>(token)));
    stack.push_back(&raw->Children());
    return raw;
}

HtmlElement* HtmlDocument::LeafIn(HtmlChildList& list, const HtmlToken& token) {
    return static_cast<HtmlElement*>(list.Append(FromToken<HtmlElement>(token)));
}

HtmlChildList* HtmlDocument::LateHeadList() {
    return head && !bodyTagWritten ? &head->Children() : nullptr;
}

HtmlElement* HtmlDocument::LeafFromToken(const HtmlToken& token) {
    return static_cast<HtmlElement*>(Append(FromToken<HtmlElement>(token)));
}

void HtmlDocument::Close(const HtmlToken& token) {
    // The root list stays at the bottom whatever the input.
    if (stack.size() > 1) {
        // The container's bytes end with its own end tag, or with its last
        // child when another tag ended it.
        if (HtmlContainer* container = stack.back()->Owner();
            container && container->HasSourceRange()) {
            size_t end = container->SourceEnd();
            if (token.kind == HtmlToken::EndTag && token.text.size() > 1 &&
                html::EqualNoCase(std::string_view(token.text).substr(1), container->Name())) {
                end = token.end;
            } else if (const HtmlNode* last = container->Children().Last();
                       last && last->HasSourceRange()) {
                end = std::max(end, last->SourceEnd());
            }
            container->SetSourceRange(container->SourceBegin(), end);
        }
        stack.pop_back();
    }
}

void HtmlDocument::Action(HtmlAction action, const HtmlToken& token) {
    using A = HtmlAction;
    switch (action) {
    case A::StyleOpen: {
        HtmlContainer* style = OpenFromToken(token);
        if (head) {
            head->AddStyle(style);
        }
        if (!headOpen) {
            Warning("<STYLE> not inside <HEAD>, added inside <HEAD>\n", 0);
        }
        break;
    }
    case A::ScriptOpen: {
        HtmlContainer* script = OpenFromToken(token);
        if (headOpen && head) {
            head->AddScript(script);
        }
        break;
    }
    case A::TitleOpen: {
        HtmlContainer* title = OpenFromToken(token);
        if (head) {
            head->SetTitle(title);
        }
        break;
    }
    case A::MisplacedTag:
        break;
    case A::LateTitle:
        if (head && !head->Title()) {
            head->SetTitle(OpenIn(head->Children(), token));
        } else {
            OpenFromToken(token); // a second TITLE: kept where it is, unseen
        }
        break;
    case A::LateMeta:
        if (HtmlChildList* list = LateHeadList()) {
            head->AddMeta(LeafIn(*list, token));
        } else {
            LeafFromToken(token);
        }
        break;
    case A::LateBase:
        if (head && head->Base()) {
            Warning("Two or more <BASE> tag on page, only first is accepted\n", 0);
        } else if (HtmlChildList* list = LateHeadList()) {
            head->SetBase(LeafIn(*list, token));
        } else {
            LeafFromToken(token);
        }
        break;
    case A::LateLink:
        if (HtmlChildList* list = LateHeadList()) {
            head->AddLink(LeafIn(*list, token));
        } else {
            throw HtmlActionRefused();
        }
        break;
    case A::LateStyle:
        if (HtmlChildList* list = LateHeadList()) {
            head->AddStyle(OpenIn(*list, token));
            Warning("<STYLE> not inside <HEAD>, added inside <HEAD>\n", 0);
        } else {
            throw HtmlActionRefused();
        }
        break;
    case A::DivOpen:
    case A::PlaintextOpen:
    case A::AnchorOpen:
    case A::MapOpen:
    case A::SpanOpen:
    case A::AppletOpen:
    case A::HtmlOpen:
        OpenFromToken(token);
        break;
    case A::Doctype:
    case A::Isindex:
    case A::BlockTag:
    case A::OtherTag:
    case A::Param:
    case A::Area:
        LeafFromToken(token);
        break;
    case A::NoDoctype:
        break;
    case A::LineBreak:
        // A line break, or a blank run that stays as written.
        if (token.kind == HtmlToken::LineBreak) {
            Append(std::make_unique<HtmlLineBreak>())->SetSourceRange(token.begin, token.end);
        } else {
            Append(std::make_unique<HtmlText>(token.text))->SetSourceRange(token.begin, token.end);
        }
        break;
    case A::Comment:
        Append(std::make_unique<HtmlComment>(token.text))->SetSourceRange(token.begin, token.end);
        break;
    case A::HtmlImplied:
        Open(std::make_unique<HtmlContainer>("HTML"))->SetTagsImplied(true);
        break;
    case A::HeadOpen:
    case A::HeadImplied: {
        auto element = action == A::HeadOpen ? FromToken<HtmlHead>(token)
                                             : std::make_unique<HtmlHead>("HEAD");
        element->SetTagsImplied(action == A::HeadImplied);
        headOpen = true;
        head = static_cast<HtmlHead*>(Open(std::move(element)));
        break;
    }
    case A::Meta: {
        HtmlElement* meta = LeafFromToken(token);
        if (head) {
            head->AddMeta(meta);
        }
        break;
    }
    case A::Link: {
        HtmlElement* link = LeafFromToken(token);
        if (head) {
            head->AddLink(link);
        }
        break;
    }
    case A::Base:
        if (head && head->Base()) {
            Warning("Two or more <BASE> tag on page, only first is accepted\n", 0);
        } else {
            HtmlElement* base = LeafFromToken(token);
            if (head) {
                head->SetBase(base);
            }
        }
        break;
    case A::TitleClose:
    case A::TitleUnclosed:
    case A::ScriptClose:
    case A::ScriptUnclosed:
    case A::StyleClose:
    case A::StyleUnclosed:
    case A::DivClose:
    case A::PlaintextClose:
    case A::PlaintextUnclosed:
    case A::AnchorClose:
    case A::AppletClose:
    case A::SpanClose:
    case A::MapClose:
    case A::BodyClose:
    case A::HtmlClose:
        Close(token);
        break;
    case A::RawText:
    case A::Text:
        Append(std::make_unique<HtmlText>(token.text))->SetSourceRange(token.begin, token.end);
        break;
    case A::HeadClose:
        headOpen = false;
        Close(token);
        break;
    case A::BodyOpen:
    case A::BodyImplied: {
        auto element = action == A::BodyOpen ? FromToken<HtmlContainer>(token)
                                             : std::make_unique<HtmlContainer>("BODY");
        element->SetTagsImplied(action == A::BodyImplied);
        bodyTagWritten = action == A::BodyOpen;
        Open(std::move(element));
        break;
    }
    default:
        break;
    }
}

} // namespace pixmill
