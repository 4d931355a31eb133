#include "html/html_parser.h"

#include "html/html_error.h"

#include <array>

namespace pixmill {

namespace {

using Entry = HtmlParser::Entry;
namespace C = HtmlCode;
using R = HtmlParser::Rule;

struct Table {
    std::array<std::array<Entry, C::Count>, HtmlParser::kRuleCount> entries;

    Entry* Row(int rule) { return entries[static_cast<size_t>(rule - HtmlParser::Prolog)].data(); }

    void Default(int rule, HtmlParser::Move move, int action) {
        for (int code = 0; code < C::Count; ++code) {
            Row(rule)[code] = Entry{move, static_cast<int8_t>(action)};
        }
    }
    void Set(int rule, int code, HtmlParser::Move move, int action) {
        Row(rule)[code] = Entry{move, static_cast<int8_t>(action)};
    }
    // A line break or a comment is kept wherever the rule allows layout.
    void Layout(int rule) {
        Set(rule, C::LineBreak, HtmlParser::Stay, 14);
        Set(rule, C::Comment, HtmlParser::Stay, 15);
    }
    // What may stand inside a DIV (and an APPLET).
    void FlowContent(int rule) {
        Layout(rule);
        Set(rule, C::Isindex, HtmlParser::Stay, 21);
        Set(rule, C::Block, HtmlParser::Stay, 34);
        Set(rule, C::Text, HtmlParser::Stay, 36);
        Set(rule, C::OtherTag, HtmlParser::Stay, 35);
        Set(rule, C::Script, HtmlParser::Expand, 3);
        Set(rule, C::Div, HtmlParser::Expand, 6);
        Set(rule, C::Plaintext, HtmlParser::Expand, 7);
        Set(rule, C::Anchor, HtmlParser::Expand, 8);
        Set(rule, C::Applet, HtmlParser::Expand, 11);
        Set(rule, C::Span, HtmlParser::Expand, 10);
        Set(rule, C::Map, HtmlParser::Expand, 9);
    }

    Table() {
        using M = HtmlParser::Move;
        Default(R::Prolog, M::Leave, 13);
        Layout(R::Prolog);
        Set(R::Prolog, C::Doctype, M::Finish, 12);
        Set(R::Prolog, C::DivEnd, M::Error, -1);

        Default(R::HtmlStart, M::Leave, 17);
        Layout(R::HtmlStart);
        Set(R::HtmlStart, C::Html, M::Finish, 16);
        Set(R::HtmlStart, C::DivEnd, M::Error, -1);

        Default(R::HeadStart, M::Leave, 19);
        Layout(R::HeadStart);
        Set(R::HeadStart, C::Head, M::Finish, 18);
        Set(R::HeadStart, C::DivEnd, M::Error, -1);

        Default(R::HeadContent, M::Leave, -1);
        Layout(R::HeadContent);
        Set(R::HeadContent, C::Meta, M::Stay, 20);
        Set(R::HeadContent, C::Isindex, M::Stay, 21);
        Set(R::HeadContent, C::Link, M::Stay, 22);
        Set(R::HeadContent, C::Base, M::Stay, 23);
        Set(R::HeadContent, C::Title, M::Expand, 4);
        Set(R::HeadContent, C::Script, M::Expand, 3);
        Set(R::HeadContent, C::Style, M::Expand, 1);
        Set(R::HeadContent, C::DivEnd, M::Error, -1);

        Default(R::RawTextOpt, M::Leave, -1);
        Set(R::RawTextOpt, C::RawText, M::Finish, 30);

        Default(R::TitleEnd, M::Leave, 25);
        Set(R::TitleEnd, C::TitleEnd, M::Finish, 24);
        Default(R::ScriptEnd, M::Leave, 27);
        Set(R::ScriptEnd, C::ScriptEnd, M::Finish, 26);
        Default(R::StyleEnd, M::Leave, 29);
        Set(R::StyleEnd, C::StyleEnd, M::Finish, 28);

        Default(R::HeadEnd, M::Leave, 31);
        Set(R::HeadEnd, C::HeadEnd, M::Finish, 31);
        for (int code : {C::Link, C::Style, C::DivEnd}) {
            Set(R::HeadEnd, code, M::Error, -1);
        }

        Default(R::BodyStart, M::Leave, 33);
        Layout(R::BodyStart);
        Set(R::BodyStart, C::Body, M::Finish, 32);
        for (int code : {C::Link, C::Style, C::DivEnd}) {
            Set(R::BodyStart, code, M::Error, -1);
        }

        Default(R::BodyContent, M::Leave, -1);
        FlowContent(R::BodyContent);
        for (int code : {C::Doctype, C::Html, C::Head, C::Meta, C::Base, C::TitleEnd, C::ScriptEnd,
                         C::StyleEnd, C::HeadEnd, C::Body, C::PlaintextEnd, C::AnchorEnd,
                         C::SpanEnd, C::MapEnd, C::Area, C::Param, C::AppletEnd}) {
            Set(R::BodyContent, code, M::Stay, 5);
        }
        Set(R::BodyContent, C::Title, M::Expand, 5);
        for (int code : {C::Link, C::Style, C::DivEnd}) {
            Set(R::BodyContent, code, M::Error, -1);
        }

        Default(R::DivContent, M::Leave, -1);
        FlowContent(R::DivContent);
        Default(R::DivEnd, M::Leave, 37);
        Set(R::DivEnd, C::DivEnd, M::Finish, 37);

        Default(R::PlaintextEnd, M::Leave, 39);
        Set(R::PlaintextEnd, C::PlaintextEnd, M::Finish, 38);

        Default(R::AnchorContent, M::Leave, -1);
        Layout(R::AnchorContent);
        Set(R::AnchorContent, C::Text, M::Stay, 36);
        Set(R::AnchorContent, C::OtherTag, M::Stay, 35);
        Set(R::AnchorContent, C::Script, M::Expand, 3);
        Set(R::AnchorContent, C::Applet, M::Expand, 11);
        Set(R::AnchorContent, C::Span, M::Expand, 10);
        Set(R::AnchorContent, C::Map, M::Expand, 9);
        Default(R::AnchorEnd, M::Leave, 40);
        Set(R::AnchorEnd, C::AnchorEnd, M::Finish, 40);

        Default(R::AppletContent, M::Leave, -1);
        FlowContent(R::AppletContent);
        Set(R::AppletContent, C::Param, M::Stay, 41);
        Default(R::AppletEnd, M::Leave, 42);
        Set(R::AppletEnd, C::AppletEnd, M::Finish, 42);

        Default(R::SpanContent, M::Leave, -1);
        Layout(R::SpanContent);
        Set(R::SpanContent, C::Text, M::Stay, 36);
        Set(R::SpanContent, C::OtherTag, M::Stay, 35);
        Set(R::SpanContent, C::Script, M::Expand, 3);
        Set(R::SpanContent, C::Anchor, M::Expand, 8);
        Set(R::SpanContent, C::Applet, M::Expand, 11);
        Set(R::SpanContent, C::Span, M::Expand, 10);
        Set(R::SpanContent, C::Map, M::Expand, 9);
        Default(R::SpanEnd, M::Leave, 44);
        Set(R::SpanEnd, C::SpanEnd, M::Finish, 44);

        Default(R::MapContent, M::Leave, -1);
        Layout(R::MapContent);
        Set(R::MapContent, C::Area, M::Stay, 45);
        Default(R::MapEnd, M::Leave, 46);
        Set(R::MapEnd, C::MapEnd, M::Finish, 46);

        Default(R::BodyEnd, M::Error, -1);
        Set(R::BodyEnd, C::BodyEnd, M::Finish, 47);
        for (int code : {C::HtmlEnd, C::EndOfInput, C::LineBreak, C::Comment}) {
            Set(R::BodyEnd, code, M::Leave, 47);
        }

        Default(R::HtmlEnd, M::Error, -1);
        Layout(R::HtmlEnd);
        Set(R::HtmlEnd, C::HtmlEnd, M::Finish, 48);
        Set(R::HtmlEnd, C::EndOfInput, M::Leave, 48);

        Default(R::Epilogue, M::Error, -1);
        Layout(R::Epilogue);
        Set(R::Epilogue, C::EndOfInput, M::Leave, -1);

        // Raw text can only follow TITLE, SCRIPT, STYLE and PLAINTEXT.
        for (int rule = HtmlParser::Prolog; rule < HtmlParser::RuleEnd; ++rule) {
            if (rule != R::RawTextOpt) {
                Set(rule, C::RawText, M::Error, -1);
            }
        }
    }
};

const Table& TheTable() {
    static const Table table;
    return table;
}

// The sequences pushed by an expansion, by action number, in the order they
// are processed.
struct Expansion {
    int16_t first;
    int16_t second;
};

bool ExpansionOf(int action, Expansion& out) {
    switch (action) {
    case 1:
        out = {R::RawTextOpt, R::StyleEnd};
        return true;
    case 3:
        out = {R::RawTextOpt, R::ScriptEnd};
        return true;
    case 4:
    case 5:
        out = {R::RawTextOpt, R::TitleEnd};
        return true;
    case 6:
        out = {R::DivContent, R::DivEnd};
        return true;
    case 7:
        out = {R::RawTextOpt, R::PlaintextEnd};
        return true;
    case 8:
        out = {R::AnchorContent, R::AnchorEnd};
        return true;
    case 9:
        out = {R::MapContent, R::MapEnd};
        return true;
    case 10:
        out = {R::SpanContent, R::SpanEnd};
        return true;
    case 11:
        out = {R::AppletContent, R::AppletEnd};
        return true;
    default:
        return false;
    }
}

const int16_t kStartSequence[] = {R::Prolog,  R::HtmlStart, R::HeadStart,   R::HeadContent,
                                  R::HeadEnd, R::BodyStart, R::BodyContent, R::BodyEnd,
                                  R::HtmlEnd, R::Epilogue};

} // namespace

const HtmlParser::Entry& HtmlParser::TableEntry(int rule, int code) {
    return TheTable().entries[static_cast<size_t>(rule - Prolog)][static_cast<size_t>(code)];
}

HtmlParser::HtmlParser(HtmlTokenizer& tokenizer, HtmlBuilder& builder)
    : tokenizer(tokenizer), builder(builder) {
    stack.reserve(100);
    Push(HtmlCode::EndOfInput);
    for (size_t i = std::size(kStartSequence); i-- > 0;) {
        Push(kStartSequence[i]);
    }
    Consume();
}

void HtmlParser::Push(int16_t symbol) {
    stack.push_back(symbol);
}

void HtmlParser::Consume() {
    token = tokenizer.NextToken();
}

void HtmlParser::Fail() {
    throw HtmlParseError(tokenizer.Source().Name(), tokenizer.Line());
}

void HtmlParser::Run() {
    const int code0 = HtmlCode::EndOfInput;
    while (!stack.empty()) {
        const int16_t top = stack.back();
        const int code =
            token.code >= 0 && token.code < HtmlCode::Count ? token.code : HtmlCode::OtherTag;
        if (top < Prolog) {
            if (top != code) {
                Fail();
            }
            if (code == code0) {
                return; // the parse is complete
            }
            stack.pop_back();
            Consume();
            continue;
        }
        const Entry& entry = TableEntry(top, code);
        switch (entry.move) {
        case Error:
            Fail();
        case Expand: {
            Expansion expansion{};
            if (!ExpansionOf(entry.action, expansion)) {
                Fail();
            }
            Push(expansion.second);
            Push(expansion.first);
            builder.Action(entry.action, token);
            Consume();
            break;
        }
        case Stay:
            if (entry.action >= 0) {
                builder.Action(entry.action, token);
            }
            Consume();
            break;
        case Finish:
            stack.pop_back();
            if (entry.action >= 0) {
                builder.Action(entry.action, token);
            }
            Consume();
            break;
        case Leave:
            stack.pop_back();
            if (entry.action >= 0) {
                builder.Action(entry.action, token);
            }
            break;
        }
    }
}

} // namespace pixmill
