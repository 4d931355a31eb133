// What the tokeniser hands on and what the grammar driver calls: tokens and
// the builder interface that the HTML document implements.
#pragma once

#include "html/html_attribute_list.h"

#include <cstdint>
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
    // The bytes of the source it was read from, [begin, end). A raw text
    // takes its end tag's bytes with it, and that end tag is empty.
    size_t begin = 0;
    size_t end = 0;
};

// The grammar's actions: the parser's table names them and a builder carries
// them out on the current token. The numbers are stable: a builder that
// extends the document builder (the compound-image builder) handles the same
// actions. "Close" actions run whether or not the end tag was written.
enum class HtmlAction : int8_t {
    None = -1,              // the table entry calls no action
    StyleOpen = 1,          // STYLE in the head
    ScriptOpen = 3,         // SCRIPT (in the head it is also listed there)
    TitleOpen = 4,          // TITLE in the head
    MisplacedTag = 5,       // a head-only tag in the body, dropped (a TITLE with its text)
    DivOpen = 6,            // DIV
    PlaintextOpen = 7,      // PLAINTEXT
    AnchorOpen = 8,         // A
    MapOpen = 9,            // MAP
    SpanOpen = 10,          // SPAN
    AppletOpen = 11,        // APPLET
    Doctype = 12,           // !DOCTYPE
    NoDoctype = 13,         // no !DOCTYPE
    LineBreak = 14,         // a line break kept as layout
    Comment = 15,           // a comment
    HtmlOpen = 16,          // HTML
    HtmlImplied = 17,       // no HTML tag: one is made
    HeadOpen = 18,          // HEAD
    HeadImplied = 19,       // no HEAD tag: one is made
    Meta = 20,              // META
    Isindex = 21,           // ISINDEX
    Link = 22,              // LINK
    Base = 23,              // BASE (only the first one counts)
    TitleClose = 24,        // /TITLE
    TitleUnclosed = 25,     // TITLE ended without /TITLE
    ScriptClose = 26,       // /SCRIPT
    ScriptUnclosed = 27,    // SCRIPT ended without /SCRIPT
    StyleClose = 28,        // /STYLE
    StyleUnclosed = 29,     // STYLE ended without /STYLE
    RawText = 30,           // the raw text of TITLE, SCRIPT, STYLE or PLAINTEXT
    HeadClose = 31,         // end of the head, with or without /HEAD
    BodyOpen = 32,          // BODY
    BodyImplied = 33,       // no BODY tag: one is made
    BlockTag = 34,          // a block tag (P, BR, TABLE, ...)
    OtherTag = 35,          // any other tag
    Text = 36,              // text
    DivClose = 37,          // end of DIV
    PlaintextClose = 38,    // /PLAINTEXT
    PlaintextUnclosed = 39, // PLAINTEXT ended without /PLAINTEXT
    AnchorClose = 40,       // end of A
    Param = 41,             // PARAM
    AppletClose = 42,       // end of APPLET
    SpanClose = 44,         // end of SPAN
    Area = 45,              // AREA
    MapClose = 46,          // end of MAP
    BodyClose = 47,         // end of BODY
    HtmlClose = 48,         // end of HTML
    LateTitle = 49,         // TITLE after the head ended: into the head if it has none
    LateMeta = 50,          // META after the head ended
    LateLink = 51,          // LINK after the head ended (refused once BODY was written)
    LateBase = 52,          // BASE after the head ended
    LateStyle = 53,         // STYLE after the head ended (refused once BODY was written)
};

// Thrown by a builder's Action to refuse the current token; the parser
// reports it as a parse error at that token.
class HtmlActionRefused {};

class HtmlBuilder {
  public:
    // Carries out a grammar action on the current token.
    virtual void Action(HtmlAction action, const HtmlToken& token) = 0;
    // Asks the builder to finish any work it keeps pending; the document
    // builds as it goes, and the grammar driver does not call it.
    virtual void Flush() {}
    // A passable oddity of the input, with the byte concerned.
    virtual void Warning(const char* message, int byte) = 0;
    virtual ~HtmlBuilder() = default;
};

} // namespace pixmill
