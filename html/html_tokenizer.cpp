#include "html/html_tokenizer.h"

#include "html/html_text_util.h"

namespace pixmill {

using html::IsAlnum;
using html::IsAlpha;
using html::IsSpace;
using html::Upper;

namespace {

struct TagCode {
    const char* name;
    int code;
};

const TagCode kStartTags[] = {
    {"!DOCTYPE", HtmlCode::Doctype},
    {"HTML", HtmlCode::Html},
    {"HEAD", HtmlCode::Head},
    {"META", HtmlCode::Meta},
    {"ISINDEX", HtmlCode::Isindex},
    {"LINK", HtmlCode::Link},
    {"BASE", HtmlCode::Base},
    {"TITLE", HtmlCode::Title},
    {"SCRIPT", HtmlCode::Script},
    {"STYLE", HtmlCode::Style},
    {"BODY", HtmlCode::Body},
    {"DIV", HtmlCode::Div},
    {"PLAINTEXT", HtmlCode::Plaintext},
    {"AREA", HtmlCode::Area},
    {"PARAM", HtmlCode::Param},
    {"A", HtmlCode::Anchor},
    {"APPLET", HtmlCode::Applet},
    {"SPAN", HtmlCode::Span},
    {"MAP", HtmlCode::Map},
};

const TagCode kEndTags[] = {
    {"/TITLE", HtmlCode::TitleEnd},   {"/SCRIPT", HtmlCode::ScriptEnd},
    {"/STYLE", HtmlCode::StyleEnd},   {"/HEAD", HtmlCode::HeadEnd},
    {"/DIV", HtmlCode::DivEnd},       {"/PLAINTEXT", HtmlCode::PlaintextEnd},
    {"/A", HtmlCode::AnchorEnd},      {"/SPAN", HtmlCode::SpanEnd},
    {"/MAP", HtmlCode::MapEnd},       {"/PARAM", HtmlCode::Param},
    {"/APPLET", HtmlCode::AppletEnd}, {"/BODY", HtmlCode::BodyEnd},
    {"/HTML", HtmlCode::HtmlEnd},
};

// Block tags share one code as start and as end tags; HR has no end tag.
const char* const kBlockTags[] = {"P",     "DL",   "CENTER", "BLOCKQUOTE", "FORM",    "HR",
                                  "TABLE", "TR",   "TD",     "TH",         "UL",      "OL",
                                  "DIR",   "MENU", "PRE",    "XMP",        "LISTING", "ADDRESS"};

// Attribute names are letters and digits; the joining characters of names
// such as HTTP-EQUIV or xml:lang are kept with them instead of splitting the
// name there.
bool IsAttributeNameChar(int c) {
    return IsAlnum(c) || c == '-' || c == '_' || c == '.' || c == ':';
}

} // namespace

HtmlTokenizer::HtmlTokenizer(HtmlSource& source, HtmlBuilder* reporter)
    : source(source), reporter(reporter) {
    for (const TagCode& tag : kStartTags) {
        startTags.emplace(tag.name, tag.code);
    }
    for (const TagCode& tag : kEndTags) {
        endTags.emplace(tag.name, tag.code);
    }
    for (const char* name : kBlockTags) {
        startTags.emplace(name, HtmlCode::Block);
        if (std::string(name) != "HR") {
            endTags.emplace(std::string("/").append(name), HtmlCode::Block);
        }
    }
    text.reserve(2048);
    tagName.reserve(64);
}

int HtmlTokenizer::ReadByte() {
    int c = source.GetChar();
    lastByte = c;
    if (c == '\n') {
        ++line;
        return c;
    }
    if ((c < 0x20 || c == 0x7F) && !IsSpace(c)) {
        // Reported, but kept: the page's author put it there.
        Warn("Bad character in file", c);
    }
    return c;
}

void HtmlTokenizer::PutBack() {
    source.UngetChar();
    // The byte will be read (and counted) again.
    if (lastByte == '\n') {
        --line;
    }
}

void HtmlTokenizer::Warn(const char* message, int byte) {
    if (reporter) {
        reporter->Warning(message, byte);
    }
}

int HtmlTokenizer::CodeOf(int kind, const std::string& tokenText) const {
    switch (kind) {
    case HtmlToken::StartTag: {
        auto it = startTags.find(html::ToUpper(tokenText));
        return it == startTags.end() ? HtmlCode::OtherTag : it->second;
    }
    case HtmlToken::EndTag: {
        auto it = endTags.find(html::ToUpper(tokenText));
        return it == endTags.end() ? HtmlCode::OtherTag : it->second;
    }
    case HtmlToken::Text:
        return HtmlCode::Text;
    case HtmlToken::Comment:
        return HtmlCode::Comment;
    case HtmlToken::RawText:
        return HtmlCode::RawText;
    case HtmlToken::LineBreak:
        return HtmlCode::LineBreak;
    default:
        return HtmlCode::EndOfInput;
    }
}

HtmlToken HtmlTokenizer::NextToken() {
    for (;;) {
        text.clear();
        tagName.clear();
        attributes = HtmlAttributeListRef();
        if (lineBreakPending) {
            lineBreakPending = false;
            HtmlToken token;
            token.kind = HtmlToken::LineBreak;
            token.text = "\r\n";
            token.code = HtmlCode::LineBreak;
            token.begin = pendingBegin;
            token.end = pendingEnd;
            return token;
        }
        const State before = state;
        const size_t start = source.Offset();
        const size_t openedAt = tagStart;
        int kind;
        try {
            kind = ReadByState();
        } catch (const Eof&) {
            kind = FinishAtEndOfInput();
        }
        HtmlToken token;
        token.kind = kind;
        // A tag's bytes begin at its "<", read with the text before it (or,
        // for a raw text's end tag, with the raw text).
        const bool fromTag = before == InStartTag || before == InDeclaration ||
                             before == InEndTag || before == InComment ||
                             before == InProcessingInstruction || before == PendingRawEnd;
        token.begin = fromTag ? openedAt : start;
        token.end = source.Offset();
        if ((kind == HtmlToken::Text && state != InText && state != AtEndOfInput) ||
            (kind == HtmlToken::RawText && state == PendingRawEnd)) {
            token.end = tagStart; // the tag that ended the text is read next
        } else if (kind == HtmlToken::EndTag && before != PendingRawEnd && !fromTag &&
                   (before == InScript || before == InStyle || before == InTitle ||
                    before == InPlaintext)) {
            token.begin = tagStart; // an empty raw text's end tag
        }
        token.code = CodeOf(kind, text);
        if ((kind == HtmlToken::Text || kind == HtmlToken::RawText) && text.empty()) {
            continue;
        }
        if (kind == HtmlToken::Text && html::IsBlank(text)) {
            // A blank run between tags is layout to the grammar (it goes
            // wherever a line break may). A reader sees it in running text,
            // so it is kept as text; outside preformatted text a run that
            // crosses a line may become one line break.
            if (preformattedDepth == 0 && text.find('\n') != std::string::npos) {
                lineBreakPending = true;
                pendingBegin = token.begin;
                pendingEnd = token.end;
                continue;
            }
            token.code = HtmlCode::LineBreak;
        } else if (kind == HtmlToken::RawText && html::IsBlank(text)) {
            continue;
        }
        token.text = text;
        if (kind == HtmlToken::StartTag || kind == HtmlToken::EndTag) {
            token.attributes = attributes ? std::move(attributes) : HtmlAttributeListRef::New();
            TrackPreformatted(kind);
        }
        return token;
    }
}

// Inside these elements every blank counts.
void HtmlTokenizer::TrackPreformatted(int kind) {
    if (!html::IsPreformatted(tagName)) {
        return;
    }
    if (kind == HtmlToken::StartTag) {
        ++preformattedDepth;
    } else if (preformattedDepth > 0) {
        --preformattedDepth;
    }
}

int HtmlTokenizer::ReadByState() {
    switch (state) {
    case InText:
        return ReadText();
    case InComment:
    case InProcessingInstruction:
    case InStartTag:
    case InDeclaration:
    case InEndTag:
        return ReadTag();
    case InPlaintext:
    case InScript:
    case InStyle:
    case InTitle:
        return ReadRawText();
    case PendingRawEnd:
        text.assign(1, '/');
        text.append(rawName);
        state = InText;
        return HtmlToken::EndTag;
    case AtEndOfInput:
        break;
    }
    return HtmlToken::EndOfInput;
}

int HtmlTokenizer::ReadText() {
    pending.clear();
    for (;;) {
        int c = ReadByte();
        if (c != '<') {
            text.push_back(static_cast<char>(c));
            continue;
        }
        // What follows "<" decides; until then the bytes are held in pending
        // so that an end of input here keeps them in the text.
        pending.assign(1, '<');
        tagStart = source.Offset() - 1;
        int d = ReadByte();
        if (IsAlpha(d)) {
            PutBack();
            state = InStartTag;
            break;
        }
        if (d == '?') {
            // A processing instruction ("<?xml ...?>") is a comment to a
            // browser, up to the first ">".
            state = InProcessingInstruction;
            break;
        }
        if (d == '!') {
            pending = "<!";
            int e = ReadByte();
            if (IsAlpha(e)) {
                PutBack();
                state = InDeclaration;
                break;
            }
            if (e == '-') {
                pending = "<!-";
                int f = ReadByte();
                if (f == '-') {
                    state = InComment;
                    break;
                }
                text += "<!-";
                text.push_back(static_cast<char>(f));
            } else {
                text += "<!";
                text.push_back(static_cast<char>(e));
            }
        } else if (d == '/') {
            pending = "</";
            int e = ReadByte();
            if (IsAlpha(e)) {
                PutBack();
                state = InEndTag;
                break;
            }
            text += "</";
            text.push_back(static_cast<char>(e));
        } else {
            text.push_back('<');
            text.push_back(static_cast<char>(d));
        }
        pending.clear();
    }
    pending.clear();
    if (!text.empty()) {
        return HtmlToken::Text; // the tag follows on the next call
    }
    return ReadTag();
}

int HtmlTokenizer::ReadTag() {
    if (state == InProcessingInstruction) {
        text = "<?";
        for (int c = 0; c != '>';) {
            c = ReadByte();
            text.push_back(static_cast<char>(c));
        }
        state = InText;
        return HtmlToken::Comment;
    }
    if (state == InComment) {
        // Closed by the first ">" after two or more "-" in a row.
        text = "<!--";
        int dashes = 0;
        for (;;) {
            int c = ReadByte();
            text.push_back(static_cast<char>(c));
            if (c == '-') {
                ++dashes;
            } else if (c == '>' && dashes >= 2) {
                break;
            } else {
                dashes = 0;
            }
        }
        state = InText;
        return HtmlToken::Comment;
    }

    const State tagState = state;
    attributes = HtmlAttributeListRef::New();
    if (tagState == InDeclaration) {
        text.assign(1, '!');
    } else if (tagState == InEndTag) {
        text.assign(1, '/');
    }
    int c = ReadByte();
    do {
        text.push_back(static_cast<char>(c));
        tagName.push_back(Upper(static_cast<char>(c)));
        c = ReadByte();
    } while (IsAlnum(c) || c == '.' || c == '-');

    if (!IsSpace(c) && c != '>') {
        // Not a tag after all: it stays text, as written, and reading of
        // text goes on from the offending byte.
        Warn("Bad character in tag name", c);
        PutBack();
        text.insert(text.begin(), '<');
        tagName.clear();
        attributes = HtmlAttributeListRef();
        state = InText;
        return ReadText();
    }
    PutBack();

    if (tagState == InEndTag) {
        for (;;) {
            c = ReadByte();
            if (c == '>') {
                break;
            }
            if (!IsSpace(c)) {
                Warn("Bad character in end tag", c);
            }
        }
        state = InText;
        return HtmlToken::EndTag;
    }

    ReadAttributes();
    state = InText;
    if (tagState == InStartTag) {
        if (tagName == "PLAINTEXT") {
            state = InPlaintext;
        } else if (tagName == "SCRIPT") {
            state = InScript;
        } else if (tagName == "STYLE") {
            state = InStyle;
        } else if (tagName == "TITLE") {
            state = InTitle;
        }
    }
    return HtmlToken::StartTag;
}

void HtmlTokenizer::ReadAttributes() {
    for (;;) {
        int c = ReadByte();
        while (IsSpace(c)) {
            c = ReadByte();
        }
        if (c == '>') {
            return;
        }
        std::string name;
        std::string value;
        auto commit = [&] {
            if (name.empty() || html::IsBlank(name)) {
                if (value.empty()) {
                    return;
                }
                name.swap(value);
                value.clear();
            }
            attributes->Set(name, value);
        };
        try {
            // In a start tag a quote where a name should begin is part of a
            // name, as a browser reads it (<a href="x"">); a declaration's
            // quoted strings are values without names.
            const bool quoteName = state == InStartTag && (c == '"' || c == '\'');
            if (IsAlpha(c) || quoteName) {
                do {
                    name.push_back(static_cast<char>(c));
                    c = ReadByte();
                } while (quoteName ? !IsSpace(c) && c != '>' && c != '=' : IsAttributeNameChar(c));
                const bool endedCleanly = IsSpace(c) || c == '>';
                while (IsSpace(c)) {
                    c = ReadByte();
                }
                if (c == '=') {
                    c = ReadByte();
                    while (IsSpace(c)) {
                        c = ReadByte();
                    }
                    value = ReadValue(c);
                } else if (endedCleanly) {
                    PutBack();
                } else {
                    Warn("Bad character in attribute name", c);
                    value = ReadValue(ReadByte());
                }
            } else {
                value = ReadValue(c);
            }
        } catch (const Eof&) {
            // A tag cut short keeps what was read of its last attribute.
            if (!partialValue.empty()) {
                value = partialValue;
            }
            partialValue.clear();
            commit();
            throw;
        }
        commit();
    }
}

std::string HtmlTokenizer::ReadValue(int first) {
    partialValue.clear();
    if (first == '"' || first == '\'') {
        partialValue.push_back(static_cast<char>(first));
        try {
            for (;;) {
                int c = ReadByte();
                if (c == '>' && state == InDeclaration) {
                    // A browser ends a declaration at its first ">", quotes
                    // or not.
                    PutBack();
                    break;
                }
                partialValue.push_back(static_cast<char>(c));
                if (c == first) {
                    break;
                }
            }
        } catch (const Eof&) {
            Warn(first == '"' ? "Unclosed attribute value string( no matching \" )"
                              : "Unclosed attribute value string( no matching ' )",
                 first);
            throw;
        }
    } else if (first == '>') {
        Warn("Bad character '=' in tag.No matching value for attribute.", first);
        PutBack();
    } else {
        int c = first;
        while (!IsSpace(c)) {
            if (c == '>') {
                PutBack();
                break;
            }
            partialValue.push_back(static_cast<char>(c));
            c = ReadByte();
        }
    }
    std::string value;
    value.swap(partialValue);
    return value;
}

int HtmlTokenizer::ReadRawText() {
    const char* endString = "</TITLE";
    switch (state) {
    case InPlaintext:
        endString = "</PLAINTEXT";
        break;
    case InScript:
        endString = "</SCRIPT";
        break;
    case InStyle:
        endString = "</STYLE";
        break;
    default:
        break;
    }
    const std::string end(endString);
    rawName = end.substr(2);
    size_t matched = 0;
    for (;;) {
        int c = ReadByte();
        text.push_back(static_cast<char>(c));
        if (Upper(static_cast<char>(c)) == end[matched]) {
            if (++matched == end.size()) {
                break;
            }
        } else {
            // Only "<" can begin the end string again.
            matched = c == '<' ? 1 : 0;
        }
    }
    text.resize(text.size() - end.size());
    tagStart = source.Offset() - end.size();
    for (;;) {
        int c = ReadByte();
        if (c == '>') {
            break;
        }
        if (!IsSpace(c)) {
            Warn("Bad character in end tag", c);
        }
    }
    if (!text.empty()) {
        state = PendingRawEnd;
        return HtmlToken::RawText;
    }
    text.assign(1, '/');
    text.append(rawName);
    state = InText;
    return HtmlToken::EndTag;
}

int HtmlTokenizer::FinishAtEndOfInput() {
    const State was = state;
    state = AtEndOfInput;
    switch (was) {
    case InText:
        text += pending;
        pending.clear();
        return HtmlToken::Text;
    case InComment:
        text += "-->";
        return HtmlToken::Comment;
    case InProcessingInstruction:
        return HtmlToken::Comment;
    case InStartTag:
    case InDeclaration:
        Warn("Unexpected end of file while looking for tag end", 0);
        return HtmlToken::StartTag;
    case InEndTag:
        return HtmlToken::EndTag;
    case InPlaintext:
    case InScript:
    case InStyle:
    case InTitle:
        return HtmlToken::RawText;
    case PendingRawEnd:
    case AtEndOfInput:
        break;
    }
    return HtmlToken::EndOfInput;
}

} // namespace pixmill
