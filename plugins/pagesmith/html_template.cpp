#include "html_template.h"

#include "html/html_document.h"
#include "html/html_node.h"
#include "html/html_source.h"
#include "html/html_text_util.h"
#include "page_names.h"
#include "pagesmith_strings.h"
#include "pixmill/side_file.h"

#include <sstream>
#include <strings.h>
#include <unordered_map>

namespace pixmill::pagesmith {

HtmlLogicalError::HtmlLogicalError(int stringId)
    : HtmlError(LookupString(kStrings, stringId), stringId) {}
HtmlLogicalError::~HtmlLogicalError() = default;

namespace {

constexpr const char* kSpecialWords[] = {"$Content$", "$FirstPage$", "$PrevPage$", "$NextPage$",
                                         "$LastPage$"};

// Every node of the tree in document order.
template <class Visit> void Walk(HtmlChildList& root, Visit visit) {
    std::vector<HtmlNode*> stack;
    for (HtmlNode* node = root.Last(); node;
         node = node == root.First() ? nullptr : node->Previous()) {
        stack.push_back(node);
    }
    while (!stack.empty()) {
        HtmlNode* node = stack.back();
        stack.pop_back();
        visit(node);
        if (HtmlContainer* container = node->AsContainer()) {
            HtmlChildList& children = container->Children();
            for (HtmlNode* child = children.Last(); child;
                 child = child == children.First() ? nullptr : child->Previous()) {
                stack.push_back(child);
            }
        }
    }
}

// Puts the element's children in its place and removes it.
void Unwrap(HtmlElement* element) {
    HtmlChildList* list = element->List();
    if (HtmlContainer* container = element->AsContainer()) {
        HtmlChildList& children = container->Children();
        while (HtmlNode* child = children.First()) {
            list->InsertBefore(children.Unlink(child), element);
        }
    }
    list->Remove(element);
}

// The link around an image: its parent when that is a link, else a new one.
HtmlElement* LinkAround(HtmlElement* image) {
    HtmlChildList* list = image->List();
    if (HtmlContainer* owner = list->Owner(); owner && owner->Name() == "A") {
        return owner;
    }
    auto link = std::make_unique<HtmlContainer>("A");
    HtmlContainer* raw = link.get();
    list->InsertBefore(std::move(link), image);
    raw->Children().Append(list->Unlink(image));
    return raw;
}

} // namespace

HtmlTemplate::HtmlTemplate(Kind kind, std::string file, std::string proxyImage,
                           std::string proxyText)
    : kind(kind), file(std::move(file)), proxyImage(std::move(proxyImage)),
      proxyText(std::move(proxyText)) {
    if (this->file.empty()) {
        throw HtmlLogicalError(IdTemplateNeedsName);
    }
    if (this->proxyImage.empty()) {
        throw HtmlLogicalError(IdTemplateNeedsProxy);
    }
}

HtmlTemplate::~HtmlTemplate() = default;

SpecialLink HtmlTemplate::SpecialOf(const std::string& href) {
    for (int i = 0; i < 5; ++i) {
        if (href.find(kSpecialWords[i]) != std::string::npos) {
            return static_cast<SpecialLink>(i);
        }
    }
    return SpecialLink::None;
}

bool HtmlTemplate::Parse(HtmlDocument& document, const Log* log) const {
    std::string text;
    try {
        text = ReadSideFile(file, "a page template");
    } catch (CVFileError& error) {
        if (log) {
            (*log)(error.Message());
        }
        return false;
    }
    std::ostringstream notes;
    document.SetWarningSink(&notes);
    HtmlSource source(file, text.data(), text.size());
    const bool parsed = document.Parse(source);
    document.SetWarningSink(nullptr);
    if (log && !notes.str().empty()) {
        (*log)(notes.str());
    }
    return parsed;
}

HtmlTemplate::Marks HtmlTemplate::Find(HtmlDocument& document) const {
    Marks marks;
    Walk(document.Root(), [&](HtmlNode* node) {
        if (HtmlElement* element = node->AsElement()) {
            if (element->Name() == "IMG" &&
                strcasecmp(FileNameOf(element->AttributeText("SRC")).c_str(), proxyImage.c_str()) ==
                    0) {
                if (kind == Kind::Zoom && !marks.images.empty()) {
                    throw HtmlLogicalError(IdZoomOneProxyImage);
                }
                marks.images.push_back(element);
            } else if (element->Name() == "A" && element->HasAttribute("HREF")) {
                const SpecialLink special = SpecialOf(element->AttributeText("HREF"));
                if (special != SpecialLink::None) {
                    if (kind == Kind::Zoom && special != SpecialLink::Content) {
                        throw HtmlLogicalError(IdZoomOnlyContentLinks);
                    }
                    marks.links.emplace_back(element, special);
                }
            }
        } else if (HtmlText* text = node->AsText();
                   text && !text->IsComment() && !proxyText.empty()) {
            // Each occurrence is one place for a title.
            for (size_t at = text->Text().find(proxyText); at != std::string::npos;
                 at = text->Text().find(proxyText, at + proxyText.size())) {
                if (kind == Kind::Zoom && !marks.texts.empty()) {
                    throw HtmlLogicalError(IdZoomOneProxyText);
                }
                marks.texts.push_back(text);
            }
        }
    });
    return marks;
}

bool HtmlTemplate::Read(const Log& log) {
    HtmlDocument document;
    if (!Parse(document, &log)) {
        return false;
    }
    const Marks marks = Find(document);
    const int images = static_cast<int>(marks.images.size());
    const int signs = static_cast<int>(marks.texts.size());
    if (kind == Kind::Zoom) {
        if (images != 1) {
            throw HtmlLogicalError(IdZoomOneProxyImage);
        }
    } else {
        if (images == 0) {
            throw HtmlLogicalError(IdNoImagesInTemplate);
        }
        if (signs > 0 && signs < images) {
            throw HtmlLogicalError(IdTooFewProxyTexts);
        }
        if (signs > images) {
            log(LookupString(kStrings, IdTooManyProxyTexts));
        }
    }
    places = images;
    texts = std::min(signs, images);
    return true;
}

std::string HtmlTemplate::Fill(const std::vector<TemplatePlace>& fill,
                               const TemplateLinks& links) const {
    HtmlDocument document;
    Parse(document, nullptr);
    const Marks marks = Find(document);
    // Titles in place of the proxy texts; texts beyond the pictures of the
    // page become empty.
    std::unordered_map<HtmlText*, size_t> searched; // where each text's next place starts
    for (size_t i = 0; i < marks.texts.size(); ++i) {
        HtmlText* text = marks.texts[i];
        std::string value = text->Text();
        const std::string title =
            i < fill.size() && i < marks.images.size() ? html::EscapeHtmlText(fill[i].title) : "";
        const size_t at = value.find(proxyText, searched[text]);
        value.replace(at, proxyText.size(), title);
        searched[text] = at + title.size();
        text->SetText(value);
    }
    for (const auto& [element, special] : marks.links) {
        const std::string& target = links.targets[static_cast<int>(special)];
        if (target.empty()) {
            Unwrap(element);
        } else {
            element->SetTextAttribute("HREF", target);
        }
    }
    for (size_t i = 0; i < marks.images.size(); ++i) {
        HtmlElement* image = marks.images[i];
        if (i >= fill.size()) {
            // A place the last page does not fill: its link goes with it.
            HtmlChildList* list = image->List();
            HtmlContainer* owner = list->Owner();
            list->Remove(image);
            if (owner && owner->Name() == "A" && owner->Children().Empty()) {
                owner->List()->Remove(owner);
            }
            continue;
        }
        const TemplatePlace& place = fill[i];
        image->SetTextAttribute("SRC", place.imageSource);
        if (!place.href.empty() || !place.onclick.empty()) {
            HtmlElement* link = LinkAround(image);
            if (!place.href.empty()) {
                link->SetTextAttribute("HREF", place.href);
            } else {
                link->RemoveAttribute("HREF");
                link->SetTextAttribute("ONCLICK", place.onclick);
                link->SetTextAttribute("STYLE", "cursor:hand;cursor:pointer");
            }
        }
    }
    return document.ToString();
}

} // namespace pixmill::pagesmith
