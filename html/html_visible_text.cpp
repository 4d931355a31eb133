#include "html/html_visible_text.h"

#include "html/html_text_util.h"

#include <string_view>
#include <vector>

namespace pixmill {

namespace {

bool IsHidden(std::string_view name) {
    return name == "HEAD" || name == "SCRIPT" || name == "STYLE" || name == "TITLE";
}

// Collects text, blanks and block boundaries; a run of blanks becomes one
// blank, and a run of blanks and boundaries one line end, because a browser
// drops the blanks beside a block's edge.
class TextCollector {
  public:
    void Node(const HtmlNode& node) {
        if (node.IsComment()) {
            return;
        }
        if (node.IsLineBreak()) {
            Blank();
        } else if (const HtmlText* text = node.AsText()) {
            Chars(text->Text());
        } else if (const HtmlElement* element = node.AsElement()) {
            std::string_view name = element->Name();
            const bool end = !name.empty() && name.front() == '/';
            if (end) {
                name.remove_prefix(1);
            }
            if (IsHtmlBlockBoundary(name)) {
                Boundary();
            }
            if (html::IsPreformatted(name)) {
                preformatted += end ? (preformatted > 0 ? -1 : 0) : 1;
            }
        }
    }
    void Chars(std::string_view text) {
        for (char c : text) {
            if (preformatted == 0 && html::IsSpace(static_cast<unsigned char>(c))) {
                Blank();
            } else {
                Flush();
                out.push_back(c);
            }
        }
    }
    void Blank() {
        if (preformatted == 0) {
            pendingBlank = true;
        }
    }
    void Boundary() { pendingBoundary = true; }
    std::string Result() {
        pendingBlank = pendingBoundary = false;
        return out;
    }

  private:
    void Flush() {
        if (!out.empty() && (pendingBoundary || pendingBlank)) {
            out.push_back(pendingBoundary ? '\n' : ' ');
        }
        pendingBlank = pendingBoundary = false;
    }

    std::string out;
    bool pendingBlank = false;
    bool pendingBoundary = false;
    int preformatted = 0;
};

} // namespace

std::string VisibleText(const HtmlDocument& document) {
    static const HtmlLineBreak kBlockEnd; // marks where a block container ends
    TextCollector collector;
    // Nodes in document order with an explicit stack (any depth is safe);
    // hidden containers are skipped whole.
    std::vector<const HtmlNode*> pending;
    for (const HtmlNode* node = document.Root().Last(); node; node = node->Previous()) {
        pending.push_back(node);
    }
    while (!pending.empty()) {
        const HtmlNode* node = pending.back();
        pending.pop_back();
        if (node == &kBlockEnd) {
            collector.Boundary();
            continue;
        }
        const HtmlContainer* container = node->AsContainer();
        if (!container) {
            collector.Node(*node);
            continue;
        }
        if (IsHidden(container->Name())) {
            continue;
        }
        const bool block = IsHtmlBlockBoundary(container->Name());
        if (block) {
            collector.Boundary();
            pending.push_back(&kBlockEnd);
        }
        for (const HtmlNode* child = container->Children().Last(); child;
             child = child->Previous()) {
            pending.push_back(child);
        }
    }
    return collector.Result();
}

} // namespace pixmill
