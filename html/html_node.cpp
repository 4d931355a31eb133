#include "html/html_node.h"

#include "html/html_number.h"
#include "html/html_text_util.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace pixmill {

HtmlSink::~HtmlSink() = default;

// ------------------------------------------------------------------- nodes

HtmlNode::~HtmlNode() = default;

HtmlElement* HtmlNode::AsElement() {
    return IsElement() ? static_cast<HtmlElement*>(this) : nullptr;
}
const HtmlElement* HtmlNode::AsElement() const {
    return IsElement() ? static_cast<const HtmlElement*>(this) : nullptr;
}
HtmlContainer* HtmlNode::AsContainer() {
    return IsContainer() ? static_cast<HtmlContainer*>(this) : nullptr;
}
const HtmlContainer* HtmlNode::AsContainer() const {
    return IsContainer() ? static_cast<const HtmlContainer*>(this) : nullptr;
}
HtmlText* HtmlNode::AsText() {
    return IsText() ? static_cast<HtmlText*>(this) : nullptr;
}
const HtmlText* HtmlNode::AsText() const {
    return IsText() ? static_cast<const HtmlText*>(this) : nullptr;
}

HtmlNode* HtmlNode::Next() const {
    return list && next != list->first ? next : nullptr;
}

HtmlNode* HtmlNode::Previous() const {
    return list && this != list->first ? prev : nullptr;
}

std::string HtmlNode::ToString() const {
    HtmlStringSink sink;
    Write(sink);
    return std::move(sink.text);
}

std::unique_ptr<HtmlNode> HtmlText::Clone() const {
    return std::make_unique<HtmlText>(Text());
}
std::unique_ptr<HtmlNode> HtmlComment::Clone() const {
    return std::make_unique<HtmlComment>(Text());
}
std::unique_ptr<HtmlNode> HtmlLineBreak::Clone() const {
    return std::make_unique<HtmlLineBreak>();
}

// -------------------------------------------------------------- child lists

HtmlChildList::~HtmlChildList() {
    owner = nullptr; // the owner is being destroyed: no more notices
    Clear();
}

void HtmlChildList::Link(HtmlNode* node, HtmlNode* before) {
    node->list = this;
    if (!first) {
        node->prev = node->next = node;
        first = node;
    } else {
        HtmlNode* after = before ? before : first; // insert in front of this one
        node->next = after;
        node->prev = after->prev;
        after->prev->next = node;
        after->prev = node;
        if (before == first) {
            first = node;
        }
    }
    ++count;
}

void HtmlChildList::Detach(HtmlNode* node) {
    if (owner) {
        owner->ChildLeaving(node);
    }
    if (node->next == node) {
        first = nullptr;
    } else {
        node->prev->next = node->next;
        node->next->prev = node->prev;
        if (first == node) {
            first = node->next;
        }
    }
    node->prev = node->next = node;
    node->list = nullptr;
    --count;
}

HtmlNode* HtmlChildList::Append(std::unique_ptr<HtmlNode> node) {
    if (!node) {
        return nullptr;
    }
    HtmlNode* raw = node.release();
    Link(raw, nullptr);
    return raw;
}

HtmlNode* HtmlChildList::InsertBefore(std::unique_ptr<HtmlNode> node, HtmlNode* sibling) {
    if (!node) {
        return nullptr;
    }
    HtmlNode* raw = node.release();
    Link(raw, sibling && sibling->list == this ? sibling : nullptr);
    return raw;
}

std::unique_ptr<HtmlNode> HtmlChildList::Unlink(HtmlNode* node) {
    if (!node || node->list != this) {
        return nullptr;
    }
    Detach(node);
    return std::unique_ptr<HtmlNode>(node);
}

bool HtmlChildList::Remove(HtmlNode* node) {
    std::unique_ptr<HtmlNode> gone = Unlink(node);
    return gone != nullptr;
}

HtmlNode* HtmlChildList::Replace(HtmlNode* old, std::unique_ptr<HtmlNode> node) {
    if (!old || old->list != this || !node) {
        return nullptr;
    }
    HtmlNode* raw = InsertBefore(std::move(node), old);
    Remove(old);
    return raw;
}

void HtmlChildList::TakeChildren(HtmlChildList& other) {
    if (&other == this) {
        return;
    }
    while (HtmlNode* node = other.First()) {
        other.Detach(node);
        Link(node, nullptr);
    }
}

void HtmlChildList::Clear() {
    // A deep tree is flattened as it goes: a container's children move to
    // the end of this list before the container is deleted, so deleting
    // never recurses.
    while (HtmlNode* node = first) {
        Detach(node);
        std::unique_ptr<HtmlNode> gone(node);
        if (HtmlContainer* container = node->AsContainer()) {
            TakeChildren(container->Children());
        }
    }
}

// ----------------------------------------------------------------- elements

HtmlElement::HtmlElement(std::string_view name, HtmlAttributeListRef attributes)
    : HtmlElement(ElementNode, name, std::move(attributes)) {}

HtmlElement::HtmlElement(NodeType type, std::string_view name, HtmlAttributeListRef list)
    : HtmlNode(type, 0), name(html::ToUpper(name)),
      attributes(list ? std::move(list) : HtmlAttributeListRef::New()) {}

void HtmlElement::SetName(std::string_view value) {
    name = html::ToUpper(value);
}

void HtmlElement::Write(HtmlSink& sink) const {
    sink.Put("<", 1);
    sink.Put(name);
    for (const HtmlAttributeList::Attribute& attribute : *attributes) {
        sink.Put(" ", 1);
        sink.Put(attribute.name);
        if (attribute.HasValue()) {
            sink.Put("=", 1);
            sink.Put(attribute.value);
        }
    }
    sink.Put(">", 1);
}

std::unique_ptr<HtmlNode> HtmlElement::Clone() const {
    return std::make_unique<HtmlElement>(name, Attributes());
}

bool HtmlElement::HasAttribute(std::string_view key) const {
    return attributes->Contains(key);
}

const std::string* HtmlElement::Attribute(std::string_view key) const {
    const HtmlAttributeList::Attribute* attribute = attributes->Find(key);
    return attribute ? &attribute->value : nullptr;
}

std::string HtmlElement::AttributeText(std::string_view key) const {
    const std::string* raw = Attribute(key);
    if (!raw) {
        return std::string();
    }
    std::string_view value = *raw;
    if (!value.empty() && (value.front() == '"' || value.front() == '\'')) {
        const char quote = value.front();
        value.remove_prefix(1);
        if (!value.empty() && value.back() == quote) {
            value.remove_suffix(1);
        }
    }
    std::string text;
    text.reserve(value.size());
    for (char c : value) {
        if (c == '\n') {
            continue;
        }
        text.push_back(c == '\t' || c == '\r' ? ' ' : c);
    }
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && html::IsSpace(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    while (end > begin && html::IsSpace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    return text.substr(begin, end - begin);
}

int HtmlElement::IntAttribute(std::string_view key, bool* percent) const {
    return ParseHtmlInt(AttributeText(key), percent);
}

void HtmlElement::SetAttribute(std::string_view key, std::string_view value) {
    attributes->Set(key, value);
}

void HtmlElement::SetQuotedAttribute(std::string_view key, std::string_view text) {
    std::string value;
    value.reserve(text.size() + 2);
    value.push_back('"');
    value.append(text);
    value.push_back('"');
    attributes->Set(key, value);
}

void HtmlElement::SetTextAttribute(std::string_view key, std::string_view text) {
    const bool apostrophe = text.find('\'') != std::string_view::npos;
    const bool quote = text.find('"') != std::string_view::npos;
    if (text.empty()) {
        attributes->Set(key, "");
    } else if (quote && !apostrophe) {
        std::string value;
        value.reserve(text.size() + 2);
        value.push_back('\'');
        value.append(text);
        value.push_back('\'');
        attributes->Set(key, value);
    } else if (quote && apostrophe) {
        // Neither quote can hold this text: the double quotes inside are
        // written as character references so that the tag stays whole.
        std::string value = "\"";
        for (char c : text) {
            if (c == '"') {
                value += "&quot;";
            } else {
                value.push_back(c);
            }
        }
        value.push_back('"');
        attributes->Set(key, value);
    } else {
        SetQuotedAttribute(key, text);
    }
}

void HtmlElement::SetIntAttribute(std::string_view key, int value) {
    attributes->Set(key, std::to_string(value));
}

void HtmlElement::RemoveAttribute(std::string_view key) {
    attributes->Remove(key);
}

HtmlAttributeListRef HtmlElement::Attributes() const {
    return HtmlAttributeListRef::Adopt(attributes->Copy());
}

void HtmlElement::SetAttributes(HtmlAttributeListRef list) {
    attributes = list ? std::move(list) : HtmlAttributeListRef::New();
}

// --------------------------------------------------------------- containers

HtmlContainer::HtmlContainer(std::string_view name, HtmlAttributeListRef attributes)
    : HtmlElement(ContainerNode, name, std::move(attributes)) {}

HtmlContainer::~HtmlContainer() {
    children.Clear();
}

void HtmlContainer::WriteStart(HtmlSink& sink) const {
    HtmlElement::Write(sink);
}

void HtmlContainer::WriteEnd(HtmlSink& sink) const {
    sink.Put("</", 2);
    sink.Put(Name());
    sink.Put(">", 1);
}

void HtmlContainer::Write(HtmlSink& sink) const {
    HtmlTreeWriter(sink).Write(*this, this);
}

// ------------------------------------------------------------------ writing

bool IsHtmlBlockBoundary(std::string_view name) {
    static const std::unordered_set<std::string_view> kNames = {
        "ADDRESS", "ARTICLE",  "ASIDE",   "BASE",     "BLOCKQUOTE", "BODY",       "BR",
        "CAPTION", "CENTER",   "COL",     "COLGROUP", "DD",         "DETAILS",    "DIALOG",
        "DIR",     "DIV",      "DL",      "DT",       "FIELDSET",   "FIGCAPTION", "FIGURE",
        "FOOTER",  "FORM",     "FRAME",   "FRAMESET", "H1",         "H2",         "H3",
        "H4",      "H5",       "H6",      "HEAD",     "HEADER",     "HR",         "HTML",
        "LEGEND",  "LI",       "LINK",    "LISTING",  "MAIN",       "MENU",       "META",
        "NAV",     "NOFRAMES", "OL",      "OPTGROUP", "OPTION",     "P",          "PLAINTEXT",
        "PRE",     "SECTION",  "SUMMARY", "TABLE",    "TBODY",      "TD",         "TFOOT",
        "TH",      "THEAD",    "TITLE",   "TR",       "UL",         "XMP"};
    return kNames.count(name) != 0;
}

namespace {

// The element's name without the "/" of an end tag.
std::string_view TagName(const HtmlElement& element) {
    std::string_view name = element.Name();
    if (!name.empty() && name.front() == '/') {
        name.remove_prefix(1);
    }
    return name;
}

// The node a reader meets after the whole of node: its next sibling, or its
// container's, and so on, never leaving top.
const HtmlNode* Following(const HtmlNode* node, const HtmlNode* top) {
    while (node && node != top) {
        if (const HtmlNode* next = node->Next()) {
            return next;
        }
        node = node->List() ? node->List()->Owner() : nullptr;
    }
    return nullptr;
}

// Climbs the tree: used once per written node, not per container.
bool InsideHead(const HtmlContainer& container) {
    for (const HtmlContainer* c = &container; c; c = c->List() ? c->List()->Owner() : nullptr) {
        if (c->Name() == "HEAD") {
            return true;
        }
    }
    return false;
}

// A BODY the parser made around a FRAMESET: a browser would show the body
// and drop the frames, so the made-up tags are not written.
bool TagsLeftOut(const HtmlContainer& container) {
    if (!container.TagsImplied() || container.Name() != "BODY") {
        return false;
    }
    for (const HtmlNode* child : container.Children()) {
        const HtmlElement* element = child->AsElement();
        if (element && element->Name() == "FRAMESET") {
            return true;
        }
    }
    return false;
}

} // namespace

void HtmlTreeWriter::Write(const HtmlNode& node, const HtmlNode* top) {
    const HtmlContainer* outer = node.AsContainer();
    if (!outer) {
        WriteLeaf(node);
        return;
    }
    // Each open container with the node that follows it and whether it lies
    // in the head, found once when it opens (a deep page stays linear).
    struct Frame {
        const HtmlContainer* container;
        const HtmlNode* next;
        const HtmlNode* following;
        bool inHead;
    };
    std::vector<Frame> stack;
    auto open = [&](const HtmlContainer& container, const HtmlNode* following, bool inHead) {
        if (!TagsLeftOut(container)) {
            container.WriteStart(sink);
        }
        stack.push_back({&container, container.children.First(), following,
                         inHead || container.Name() == "HEAD"});
    };
    open(*outer, Following(outer, top), InsideHead(*outer));
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const HtmlNode* child = frame.next;
        if (!child) {
            const Frame done = frame;
            stack.pop_back();
            if (!TagsLeftOut(*done.container)) {
                done.container->WriteEnd(sink);
                // Nothing ends PLAINTEXT for a browser: all that follows shows.
                if (done.container->Name() != "PLAINTEXT" &&
                    LineEndUnseen(done.inHead, done.following)) {
                    sink.Put("\r\n", 2);
                }
            }
            continue;
        }
        frame.next = child->Next();
        if (const HtmlContainer* container = child->AsContainer()) {
            const HtmlNode* following = frame.next ? frame.next : frame.following;
            open(*container, following, frame.inHead);
        } else {
            WriteLeaf(*child);
        }
    }
}

void HtmlTreeWriter::WriteLeaf(const HtmlNode& node) {
    node.Write(sink);
    if (const HtmlElement* element = node.AsElement()) {
        if (html::IsPreformatted(TagName(*element))) {
            if (element->Name().front() != '/') {
                ++preformatted;
            } else if (preformatted > 0) {
                --preformatted;
            }
        }
    }
}

bool HtmlTreeWriter::LineEndUnseen(bool inHead, const HtmlNode* next) const {
    // A line break that follows brings its own line end: adding one would
    // make every round trip add a line.
    if (preformatted > 0 || (next && (next->IsLineBreak() || next->IsText()))) {
        return false;
    }
    if (inHead || !next) {
        return true; // nothing in the head is shown, nor a blank at the end
    }
    const HtmlElement* element = next->AsElement();
    return element && IsHtmlBlockBoundary(TagName(*element));
}

std::unique_ptr<HtmlContainer> HtmlContainer::CloneEmpty() const {
    return std::make_unique<HtmlContainer>(Name(), Attributes());
}

std::unique_ptr<HtmlNode> HtmlContainer::Clone() const {
    struct Frame {
        const HtmlContainer* original;
        HtmlContainer* copy;
        const HtmlNode* next;
    };
    std::vector<const HtmlNode*> originals;
    std::vector<HtmlNode*> copies;
    std::vector<std::pair<const HtmlHead*, HtmlHead*>> heads;

    std::unique_ptr<HtmlContainer> root = CloneEmpty();
    root->tagsImplied = tagsImplied;
    std::vector<Frame> stack;
    stack.push_back({this, root.get(), children.First()});
    auto noteHead = [&](const HtmlContainer* original, HtmlContainer* copy) {
        if (auto* head = dynamic_cast<const HtmlHead*>(original)) {
            heads.emplace_back(head, static_cast<HtmlHead*>(copy));
        }
    };
    noteHead(this, root.get());
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const HtmlNode* node = frame.next;
        if (!node) {
            stack.pop_back();
            continue;
        }
        frame.next = node->Next();
        HtmlContainer* parent = frame.copy;
        if (const HtmlContainer* container = node->AsContainer()) {
            auto* copy =
                static_cast<HtmlContainer*>(parent->children.Append(container->CloneEmpty()));
            copy->tagsImplied = container->tagsImplied;
            originals.push_back(node);
            copies.push_back(copy);
            noteHead(container, copy);
            stack.push_back({container, copy, container->children.First()});
        } else {
            HtmlNode* copy = parent->children.Append(node->Clone());
            originals.push_back(node);
            copies.push_back(copy);
        }
    }
    if (!heads.empty()) {
        std::unordered_map<const HtmlNode*, HtmlNode*> copyOf;
        for (size_t i = 0; i < originals.size(); ++i) {
            copyOf.emplace(originals[i], copies[i]);
        }
        for (const auto& [original, copy] : heads) {
            original->CopyListsTo(*copy, copyOf);
        }
    }
    return root;
}

// ---------------------------------------------------------------------- head

HtmlHead::HtmlHead(std::string_view name, HtmlAttributeListRef attributes)
    : HtmlContainer(name, std::move(attributes)) {
    styles.reserve(10);
    scripts.reserve(10);
    links.reserve(10);
    metas.reserve(10);
}

HtmlHead::~HtmlHead() {
    // The lists refer to children that are about to go.
    styles.clear();
    scripts.clear();
    links.clear();
    metas.clear();
    title = nullptr;
    base = nullptr;
}

std::unique_ptr<HtmlContainer> HtmlHead::CloneEmpty() const {
    return std::make_unique<HtmlHead>(Name(), Attributes());
}

std::unique_ptr<HtmlNode> HtmlHead::Clone() const {
    return HtmlContainer::Clone();
}

void HtmlHead::ChildLeaving(HtmlNode* child) {
    auto drop = [child](auto& list) {
        list.erase(std::remove(list.begin(), list.end(), child), list.end());
    };
    drop(styles);
    drop(scripts);
    drop(links);
    drop(metas);
    if (title == child) {
        title = nullptr;
    }
    if (base == child) {
        base = nullptr;
    }
}

void HtmlHead::CopyListsTo(HtmlHead& clone,
                           const std::unordered_map<const HtmlNode*, HtmlNode*>& copies) const {
    auto copyOf = [&](const HtmlNode* node) -> HtmlNode* {
        auto it = copies.find(node);
        return it == copies.end() ? nullptr : it->second;
    };
    for (HtmlContainer* style : styles) {
        if (HtmlNode* copy = copyOf(style)) {
            clone.AddStyle(copy->AsContainer());
        }
    }
    for (HtmlContainer* script : scripts) {
        if (HtmlNode* copy = copyOf(script)) {
            clone.AddScript(copy->AsContainer());
        }
    }
    for (HtmlElement* link : links) {
        if (HtmlNode* copy = copyOf(link)) {
            clone.AddLink(copy->AsElement());
        }
    }
    for (HtmlElement* meta : metas) {
        if (HtmlNode* copy = copyOf(meta)) {
            clone.AddMeta(copy->AsElement());
        }
    }
    if (HtmlNode* copy = copyOf(title)) {
        clone.SetTitle(copy->AsContainer());
    }
    if (HtmlNode* copy = copyOf(base)) {
        clone.SetBase(copy->AsElement());
    }
}

} // namespace pixmill
