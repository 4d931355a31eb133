// A parsed HTML page: the builder that the grammar driver calls, the tree it
// builds, and the writer of the tree.
#pragma once

#include "html/html_builder.h"
#include "html/html_node.h"
#include "html/html_source.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace pixmill {

class HtmlDocument : public HtmlBuilder {
  public:
    HtmlDocument();
    ~HtmlDocument() override;
    HtmlDocument(const HtmlDocument&) = delete;
    HtmlDocument& operator=(const HtmlDocument&) = delete;

    // Empties the document and reads the file into it. On an HTML error the
    // error's report is shown and written to the warning sink; on a host
    // error (a file that cannot be opened or read) its message goes to the
    // warning sink only. Either way the nodes built so far stay and the
    // result is false.
    bool Parse(const std::string& fileName);
    // The same on an open source (the source's name is the file name).
    bool Parse(HtmlSource& source);

    // The HEAD and BODY containers, found in the tree (at the top or inside
    // HTML) at each call, so that a node a caller deleted is never handed out.
    HtmlHead* Head() const;
    HtmlContainer* Body() const;
    HtmlChildList& Root() { return root; }
    const HtmlChildList& Root() const { return root; }
    const std::string& FileName() const { return fileName; }

    // Empties the tree and resets head, body and the parse stack.
    void Clear();
    // Warnings are written to the stream as they are (null: dropped).
    void SetWarningSink(std::ostream* sink) { warnings = sink; }

    // Writes the top-level nodes in order.
    void Write(HtmlSink& sink) const;
    std::string ToString() const;

    // HtmlBuilder
    void Action(HtmlAction action, const HtmlToken& token) override;
    void Warning(const char* message, int byte) override;

  protected:
    // Writes a warning or an error report to the sink, if there is one.
    void WriteToSink(const char* text);

  private:
    HtmlChildList& Top() { return *stack.back(); }
    HtmlNode* Append(std::unique_ptr<HtmlNode> node) { return Top().Append(std::move(node)); }
    HtmlContainer* Open(std::unique_ptr<HtmlContainer> container);
    HtmlContainer* OpenFromToken(const HtmlToken& token);
    HtmlElement* LeafFromToken(const HtmlToken& token);
    HtmlContainer* OpenIn(HtmlChildList& list, const HtmlToken& token);
    HtmlElement* LeafIn(HtmlChildList& list, const HtmlToken& token);
    // Where head content met after the head ended goes: the head's list
    // while no BODY tag was written, else null (it stays in place).
    HtmlChildList* LateHeadList();
    // Closes the innermost open container; token is the one that ends it.
    void Close(const HtmlToken& token);
    void ResetParseState();

    HtmlChildList root;
    // The head being built (parse state only).
    HtmlHead* head = nullptr;
    bool headOpen = false;
    bool bodyTagWritten = false;
    // Open containers' child lists; the root list is the bottom entry.
    std::vector<HtmlChildList*> stack;
    std::string fileName;
    std::ostream* warnings = nullptr;
};

} // namespace pixmill
