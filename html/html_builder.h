// What the tokeniser hands on and what the grammar driver calls: tokens and
// the builder interface that the HTML document implements.
#pragma once

#include "html/html_attribute_list.h"

#include <string>

namespace pixmill {

// Grammar codes of tokens.
namespace HtmlCode {
enum : int {
    EndOfInput = 0,
    LineBreak = 1,
    Comment = 2,
    Doctype = 3,
    Html = 4,
    Head = 5,
    Meta = 6,
    Isindex = 7,
    Link = 8,
    Base = 9,
    Title = 10,
    TitleEnd = 11,
    Script = 12,
    ScriptEnd = 13,
    Style = 14,
    StyleEnd = 15,
    RawText = 16,
    HeadEnd = 17,
    Body = 18,
    Block = 19,
    Div = 20,
    DivEnd = 21,
    Plaintext = 22,
    PlaintextEnd = 23,
    AnchorEnd = 24,
    SpanEnd = 25,
    MapEnd = 26,
    Area = 27,
    Param = 28,
    AppletEnd = 29,
    Anchor = 32,
    Applet = 33,
    Text = 34,
    OtherTag = 35,
    Span = 37,
    Map = 38,
    BodyEnd = 39,
    HtmlEnd = 40,
    Count = 41
};
} // namespace HtmlCode

struct HtmlToken {
    enum Kind : int {
        StartTag = -2,
        EndTag = -1,
        Text = 0,
        Comment = 1,
        RawText = 2,
        LineBreak = 3,
        EndOfInput = 4,
    };
    int kind = EndOfInput;
    // Start tag: the name as written ("!" in front for declarations); end
    // tag: "/" and the name; comment: the whole comment; text and raw text:
    // the characters; line break: "\r\n"; end of input: empty.
    std::string text;
    int code = HtmlCode::EndOfInput;
    // A new list for every tag, shared with the element built from it.
    HtmlAttributeListRef attributes;
};

class HtmlBuilder {
  public:
    // Carries out the numbered grammar action on the current token.
    virtual void Action(int action, const HtmlToken& token) = 0;
    // Asks the builder to finish any work it keeps pending; the document
    // builds as it goes, and the grammar driver does not call it.
    virtual void Flush() {}
    // A passable oddity of the input, with the byte concerned.
    virtual void Warning(const char* message, int byte) = 0;
    virtual ~HtmlBuilder() = default;
};

} // namespace pixmill
