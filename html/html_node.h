// The HTML document tree: nodes that keep what was read almost byte for
// byte, child lists, and the writer.
#pragma once

#include "html/html_attribute_list.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pixmill {

// Where written HTML goes.
class HtmlSink {
  public:
    virtual ~HtmlSink();
    virtual void Put(const char* bytes, size_t length) = 0;
    void Put(std::string_view text) { Put(text.data(), text.size()); }
};

class HtmlStringSink : public HtmlSink {
  public:
    void Put(const char* bytes, size_t length) override { text.append(bytes, length); }
    using HtmlSink::Put;
    std::string text;
};

class HtmlChildList;
class HtmlContainer;
class HtmlElement;
class HtmlText;

class HtmlNode {
  public:
    enum NodeType : uint8_t { ElementNode = 1, ContainerNode = 2, TextNode = 3, LineBreakNode = 5 };

    HtmlNode(const HtmlNode&) = delete;
    HtmlNode& operator=(const HtmlNode&) = delete;
    virtual ~HtmlNode();
    virtual void Write(HtmlSink& sink) const = 0;
    // A deep copy: an element copies its name and its own copy of the
    // attribute list; a container also clones every child, in order.
    virtual std::unique_ptr<HtmlNode> Clone() const = 0;

    int Type() const { return type; }
    // 0 for elements, containers and text; 1 for comments; 2 for line breaks.
    int Flag() const { return flag; }
    bool IsElement() const { return type == ElementNode || type == ContainerNode; }
    bool IsContainer() const { return type == ContainerNode; }
    bool IsText() const { return type == TextNode; }
    bool IsComment() const { return type == TextNode && flag == 1; }
    bool IsLineBreak() const { return type == LineBreakNode; }

    HtmlElement* AsElement();
    const HtmlElement* AsElement() const;
    HtmlContainer* AsContainer();
    const HtmlContainer* AsContainer() const;
    HtmlText* AsText();
    const HtmlText* AsText() const;

    // Siblings in the list that holds the node; null at either end and for a
    // detached node.
    HtmlNode* Next() const;
    HtmlNode* Previous() const;
    // The list that holds the node, or null.
    HtmlChildList* List() const { return list; }

    // The whole node as HTML text.
    std::string ToString() const;

    // The bytes of the parsed source the node was read from, [begin, end):
    // a container's from its start tag to its end tag (or its last child
    // when the end was implied). Nodes made by the program, and containers
    // whose tags were implied, have none.
    static constexpr size_t kNoSource = static_cast<size_t>(-1);
    bool HasSourceRange() const { return sourceBegin != kNoSource; }
    size_t SourceBegin() const { return sourceBegin; }
    size_t SourceEnd() const { return sourceEnd; }
    void SetSourceRange(size_t begin, size_t end) {
        sourceBegin = begin;
        sourceEnd = end;
    }

  protected:
    HtmlNode(NodeType type, uint8_t flag) : type(type), flag(flag) {}

  private:
    friend class HtmlChildList;
    // Siblings form a ring; a detached node links to itself.
    HtmlNode* prev = this;
    HtmlNode* next = this;
    HtmlChildList* list = nullptr;
    size_t sourceBegin = kNoSource;
    size_t sourceEnd = kNoSource;
    uint8_t type;
    uint8_t flag;
};

// An ordered list of nodes that owns them.
class HtmlChildList {
  public:
    explicit HtmlChildList(HtmlContainer* owner = nullptr) : owner(owner) {}
    HtmlChildList(const HtmlChildList&) = delete;
    HtmlChildList& operator=(const HtmlChildList&) = delete;
    ~HtmlChildList();

    // Adds the node as last child and returns it.
    HtmlNode* Append(std::unique_ptr<HtmlNode> node);
    // Inserts before sibling (a member of this list), or at the end when
    // sibling is null or not in this list.
    HtmlNode* InsertBefore(std::unique_ptr<HtmlNode> node, HtmlNode* sibling);
    // Detaches a node of this list without deleting it; null if it is not here.
    std::unique_ptr<HtmlNode> Unlink(HtmlNode* node);
    // Detaches and deletes; false if the node is not in this list.
    bool Remove(HtmlNode* node);
    // The new node takes the old one's place and the old one is deleted;
    // returns the new node, or null (and keeps both) if old is not here.
    HtmlNode* Replace(HtmlNode* old, std::unique_ptr<HtmlNode> node);
    // Moves all of other's nodes to the end of this list.
    void TakeChildren(HtmlChildList& other);
    // Deletes every node (without recursion, however deep the tree).
    void Clear();

    HtmlNode* First() const { return first; }
    HtmlNode* Last() const { return first ? first->prev : nullptr; }
    size_t Count() const { return count; }
    bool Empty() const { return first == nullptr; }
    HtmlContainer* Owner() const { return owner; }

    class Iterator {
      public:
        explicit Iterator(HtmlNode* node) : node(node) {}
        HtmlNode* operator*() const { return node; }
        Iterator& operator++() {
            node = node->Next();
            return *this;
        }
        bool operator!=(const Iterator& other) const { return node != other.node; }

      private:
        HtmlNode* node;
    };
    Iterator begin() const { return Iterator(first); }
    Iterator end() const { return Iterator(nullptr); }

  private:
    friend class HtmlNode;
    void Link(HtmlNode* node, HtmlNode* before);
    void Detach(HtmlNode* node);

    HtmlContainer* owner;
    HtmlNode* first = nullptr;
    size_t count = 0;
};

class HtmlElement : public HtmlNode {
  public:
    // An element with its name in upper case; a null list gives a new one.
    explicit HtmlElement(std::string_view name, HtmlAttributeListRef attributes = {});

    void Write(HtmlSink& sink) const override;
    std::unique_ptr<HtmlNode> Clone() const override;

    const std::string& Name() const { return name; }
    void SetName(std::string_view name);

    bool HasAttribute(std::string_view name) const;
    // The raw value (quotes included); empty for a bare name; null if absent.
    const std::string* Attribute(std::string_view name) const;
    // The value without surrounding quotes, trimmed, tabs and carriage returns
    // made blanks and line feeds dropped; empty if absent.
    std::string AttributeText(std::string_view name) const;
    // The value read as a number (see ParseHtmlInt); throws ParseIntException.
    int IntAttribute(std::string_view name, bool* percent = nullptr) const;

    void SetAttribute(std::string_view name, std::string_view value);
    void SetQuotedAttribute(std::string_view name, std::string_view text);
    // Quotes the text as it needs: double quotes unless the text holds a
    // double quote and no apostrophe; empty text leaves a bare name.
    void SetTextAttribute(std::string_view name, std::string_view text);
    void SetIntAttribute(std::string_view name, int value);
    void RemoveAttribute(std::string_view name);

    // A copy of the list, owned by the caller.
    HtmlAttributeListRef Attributes() const;
    // Shares the given list.
    void SetAttributes(HtmlAttributeListRef list);
    const HtmlAttributeList& AttributeList() const { return *attributes; }

  protected:
    HtmlElement(NodeType type, std::string_view name, HtmlAttributeListRef attributes);

  private:
    std::string name;
    HtmlAttributeListRef attributes;
};

class HtmlContainer : public HtmlElement {
  public:
    explicit HtmlContainer(std::string_view name, HtmlAttributeListRef attributes = {});
    ~HtmlContainer() override;

    // Start tag, every child, then "</NAME>" and, where a reader cannot see
    // it, a line end (see HtmlTreeWriter).
    void Write(HtmlSink& sink) const override;
    std::unique_ptr<HtmlNode> Clone() const override;
    // "</NAME>"
    virtual void WriteEnd(HtmlSink& sink) const;
    virtual void WriteStart(HtmlSink& sink) const;

    HtmlChildList& Children() { return children; }
    const HtmlChildList& Children() const { return children; }

    // Made by the parser where the page had no such tag (HTML, HEAD, BODY).
    bool TagsImplied() const { return tagsImplied; }
    void SetTagsImplied(bool implied) { tagsImplied = implied; }

  protected:
    friend class HtmlChildList;
    // The container without its children.
    virtual std::unique_ptr<HtmlContainer> CloneEmpty() const;
    // Told when a child leaves the list (detached, replaced or deleted).
    virtual void ChildLeaving(HtmlNode* child) {}

  private:
    friend class HtmlTreeWriter;
    HtmlChildList children{this};
    bool tagsImplied = false;
};

// Whether an element of this (upper-case) name starts or ends a block, or is
// never shown: blanks beside it are not rendered.
bool IsHtmlBlockBoundary(std::string_view name);

// Writes nodes as HTML text. Containers walk with a stack of their own, so a
// deeply nested page cannot exhaust the call stack. The line end after a
// container's end tag is written only where a reader cannot see it and
// where a later read and write does not add another: before a block
// boundary element, in the head and at the end, but not in preformatted
// text (PRE, XMP, LISTING, TEXTAREA), nor before text or a line break.
class HtmlTreeWriter {
  public:
    explicit HtmlTreeWriter(HtmlSink& sink) : sink(sink) {}
    // Writes node; what follows it, for the line-end rule, is looked up in
    // the tree up to (not beyond) the node top, or to the root when null.
    void Write(const HtmlNode& node, const HtmlNode* top);

  private:
    void WriteLeaf(const HtmlNode& node);
    // Whether a line end after an end tag, before the node next, is unseen.
    bool LineEndUnseen(bool inHead, const HtmlNode* next) const;

    HtmlSink& sink;
    int preformatted = 0; // open PRE, XMP, LISTING and TEXTAREA elements
};

// The HEAD element, which also keeps track of its STYLE, SCRIPT, LINK, META,
// TITLE and BASE children.
class HtmlHead : public HtmlContainer {
  public:
    explicit HtmlHead(std::string_view name = "HEAD", HtmlAttributeListRef attributes = {});
    ~HtmlHead() override;

    const std::vector<HtmlContainer*>& Styles() const { return styles; }
    const std::vector<HtmlContainer*>& Scripts() const { return scripts; }
    const std::vector<HtmlElement*>& Links() const { return links; }
    const std::vector<HtmlElement*>& Metas() const { return metas; }
    HtmlContainer* Title() const { return title; }
    HtmlElement* Base() const { return base; }

    void AddStyle(HtmlContainer* style) { Add(styles, style); }
    void AddScript(HtmlContainer* script) { Add(scripts, script); }
    void AddLink(HtmlElement* link) { Add(links, link); }
    void AddMeta(HtmlElement* meta) { Add(metas, meta); }
    void SetTitle(HtmlContainer* element) { title = element; }
    void SetBase(HtmlElement* element) { base = element; }

    std::unique_ptr<HtmlNode> Clone() const override;

  protected:
    std::unique_ptr<HtmlContainer> CloneEmpty() const override;
    void ChildLeaving(HtmlNode* child) override;

  private:
    friend class HtmlContainer;
    template <class T> static void Add(std::vector<T*>& list, T* element) {
        if (list.capacity() == list.size()) {
            list.reserve(list.size() + 10);
        }
        list.push_back(element);
    }
    // Points the lists of a clone at the clones of this head's nodes.
    void CopyListsTo(HtmlHead& clone,
                     const std::unordered_map<const HtmlNode*, HtmlNode*>& copies) const;

    std::vector<HtmlContainer*> styles;
    std::vector<HtmlContainer*> scripts;
    std::vector<HtmlElement*> links;
    std::vector<HtmlElement*> metas;
    HtmlContainer* title = nullptr;
    HtmlElement* base = nullptr;
};

class HtmlText : public HtmlNode {
  public:
    explicit HtmlText(std::string text) : HtmlNode(TextNode, 0), text(std::move(text)) {}
    void Write(HtmlSink& sink) const override { sink.Put(text); }
    std::unique_ptr<HtmlNode> Clone() const override;
    const std::string& Text() const { return text; }
    void SetText(std::string value) { text = std::move(value); }

  protected:
    HtmlText(std::string text, uint8_t flag) : HtmlNode(TextNode, flag), text(std::move(text)) {}

  private:
    std::string text;
};

// The whole comment, "<!--" and "-->" included.
class HtmlComment : public HtmlText {
  public:
    explicit HtmlComment(std::string text) : HtmlText(std::move(text), 1) {}
    std::unique_ptr<HtmlNode> Clone() const override;
};

class HtmlLineBreak : public HtmlNode {
  public:
    HtmlLineBreak() : HtmlNode(LineBreakNode, 2) {}
    void Write(HtmlSink& sink) const override { sink.Put("\r\n", 2); }
    std::unique_ptr<HtmlNode> Clone() const override;
};

} // namespace pixmill
