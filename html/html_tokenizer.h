// Turns the bytes of an HTML source into tokens with their grammar codes and
// reports the oddities it passes over as warnings.
#pragma once

#include "html/html_builder.h"
#include "html/html_source.h"

#include <string>
#include <unordered_map>

namespace pixmill {

class HtmlTokenizer {
  public:
    enum State : int {
        InText = 0,
        InPlaintext = 1,
        InComment = 2,
        InScript = 3,
        InStyle = 4,
        InTitle = 5,
        InStartTag = 6,
        InDeclaration = 7,
        InEndTag = 8,
        AtEndOfInput = 9,
        PendingRawEnd = 10,
        InProcessingInstruction = 11,
    };

    // reporter may be null: warnings are then dropped.
    HtmlTokenizer(HtmlSource& source, HtmlBuilder* reporter);

    HtmlToken NextToken();

    // Line feeds read so far (the first line is 0).
    int Line() const { return line; }
    HtmlSource& Source() const { return source; }
    State CurrentState() const { return state; }

    // The grammar code of a tag token's text ("DIV", "/DIV", "!DOCTYPE").
    int CodeOf(int kind, const std::string& text) const;

  private:
    int ReadByte();
    void PutBack();
    void Warn(const char* message, int byte);

    int ReadByState();
    int ReadText();
    int ReadTag();
    void ReadAttributes();
    std::string ReadValue(int first);
    int ReadRawText();
    int FinishAtEndOfInput();
    void TrackPreformatted(int kind);

    HtmlSource& source;
    HtmlBuilder* reporter;
    std::unordered_map<std::string, int> startTags;
    std::unordered_map<std::string, int> endTags;

    State state = InText;
    int line = 0;
    int lastByte = -1;
    bool lineBreakPending = false;
    // The source bytes of the blank run a pending line break stands for.
    size_t pendingBegin = 0;
    size_t pendingEnd = 0;
    // Where the "<" of the tag or comment being read stands.
    size_t tagStart = 0;
    // Open PRE, XMP, LISTING and TEXTAREA elements.
    int preformattedDepth = 0;

    // The token being read.
    std::string text;
    std::string tagName;      // upper case, without "!" or "/"
    std::string pending;      // bytes after a "<" not yet placed in the text
    std::string rawName;      // element whose end tag is pending
    std::string partialValue; // the attribute value being read
    HtmlAttributeListRef attributes;
};

} // namespace pixmill
