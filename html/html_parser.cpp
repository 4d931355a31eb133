#include "html/html_parser.h"

#include "html/html_error.h"

#include <array>

namespace pixmill {

namespace {

using Entry = HtmlParser::Entry;
namespace C = HtmlCode;
using R = HtmlParser::Rule;
using A = HtmlAction;

struct Table {
    std::array<std::array<Entry, C::Count>, HtmlParser::kRuleCount> entries;

    Entry* Row(int rule) { return entries[static_cast<size_t>(rule - HtmlParser::Prolog)].data(); }

    void Default(int rule, HtmlParser::Move move, HtmlAction action) {
        for (int code = 0; code < C::Count; ++code) {
            Row(rule)[code] = Entry{move, action};
        }
    }
    void Set(int rule, int code, HtmlParser::Move move, HtmlAction action) {
        Row(rule)[code] = Entry{move, action};
    }
    // A line break or a comment is kept wherever the rule allows layout.
    void Layout(int rule) {
        Set(rule, C::LineBreak, HtmlParser::Stay, A::LineBreak);
        Set(rule, C::Comment, HtmlParser::Stay, A::Comment);
    }
    // What may stand inside a DIV (and an APPLET).
    void FlowContent(int rule) {
        Layout(rule);
        Set(rule, C::Isindex, HtmlParser::Stay, A::Isindex);
        Set(rule, C::Block, HtmlParser::Stay, A::BlockTag);
        Set(rule, C::Text, HtmlParser::Stay, A::Text);
        Set(rule, C::OtherTag, HtmlParser::Stay, A::OtherTag);
        Set(rule, C::Script, HtmlParser::Expand, A::ScriptOpen);
        Set(rule, C::Div, HtmlParser::Expand, A::DivOpen);
        Set(rule, C::Plaintext, HtmlParser::Expand, A::PlaintextOpen);
        Set(rule, C::Anchor, HtmlParser::Expand, A::AnchorOpen);
        Set(rule, C::Applet, HtmlParser::Expand, A::AppletOpen);
        Set(rule, C::Span, HtmlParser::Expand, A::SpanOpen);
        Set(rule, C::Map, HtmlParser::Expand, A::MapOpen);
    }

    Table() {
        using M = HtmlParser::Move;
        Default(R::Prolog, M::Leave, A::NoDoctype);
        Layout(R::Prolog);
        Set(R::Prolog, C::Doctype, M::Finish, A::Doctype);
        Set(R::Prolog, C::DivEnd, M::Error, A::None);

        Default(R::HtmlStart, M::Leave, A::HtmlImplied);
        Layout(R::HtmlStart);
        Set(R::HtmlStart, C::Html, M::Finish, A::HtmlOpen);
        Set(R::HtmlStart, C::DivEnd, M::Error, A::None);

        Default(R::HeadStart, M::Leave, A::HeadImplied);
        Layout(R::HeadStart);
        Set(R::HeadStart, C::Head, M::Finish, A::HeadOpen);
        Set(R::HeadStart, C::DivEnd, M::Error, A::None);

        Default(R::HeadContent, M::Leave, A::None);
        Layout(R::HeadContent);
        Set(R::HeadContent, C::Meta, M::Stay, A::Meta);
        Set(R::HeadContent, C::Isindex, M::Stay, A::Isindex);
        Set(R::HeadContent, C::Link, M::Stay, A::Link);
        Set(R::HeadContent, C::Base, M::Stay, A::Base);
        Set(R::HeadContent, C::Title, M::Expand, A::TitleOpen);
        Set(R::HeadContent, C::Script, M::Expand, A::ScriptOpen);
        Set(R::HeadContent, C::Style, M::Expand, A::StyleOpen);
        Set(R::HeadContent, C::DivEnd, M::Error, A::None);
        // Tags that belong before the head, met after something that opened
        // it (a META before the DOCTYPE), stay where they are.
        for (int code : {C::Doctype, C::Html, C::Head}) {
            Set(R::HeadContent, code, M::Stay, A::OtherTag);
        }

        Default(R::RawTextOpt, M::Leave, A::None);
        Set(R::RawTextOpt, C::RawText, M::Finish, A::RawText);

        Default(R::TitleEnd, M::Leave, A::TitleUnclosed);
        Set(R::TitleEnd, C::TitleEnd, M::Finish, A::TitleClose);
        Default(R::ScriptEnd, M::Leave, A::ScriptUnclosed);
        Set(R::ScriptEnd, C::ScriptEnd, M::Finish, A::ScriptClose);
        Default(R::StyleEnd, M::Leave, A::StyleUnclosed);
        Set(R::StyleEnd, C::StyleEnd, M::Finish, A::StyleClose);

        Default(R::HeadEnd, M::Leave, A::HeadClose);
        Set(R::HeadEnd, C::HeadEnd, M::Finish, A::HeadClose);
        for (int code : {C::Link, C::Style, C::DivEnd}) {
            Set(R::HeadEnd, code, M::Error, A::None);
        }

        Default(R::BodyStart, M::Leave, A::BodyImplied);
        Layout(R::BodyStart);
        Set(R::BodyStart, C::Body, M::Finish, A::BodyOpen);
        Set(R::BodyStart, C::Link, M::Stay, A::LateLink);
        Set(R::BodyStart, C::Style, M::Expand, A::LateStyle);
        Set(R::BodyStart, C::DivEnd, M::Error, A::None);

        Default(R::BodyContent, M::Leave, A::None);
        FlowContent(R::BodyContent);
        for (int code : {C::Doctype, C::Html, C::Head, C::TitleEnd, C::ScriptEnd, C::StyleEnd,
                         C::HeadEnd, C::Body, C::PlaintextEnd, C::AnchorEnd, C::SpanEnd, C::MapEnd,
                         C::Area, C::Param, C::AppletEnd}) {
            Set(R::BodyContent, code, M::Stay, A::MisplacedTag);
        }
        // What belongs in the head, met in the body: the builder decides.
        Set(R::BodyContent, C::Title, M::Expand, A::LateTitle);
        Set(R::BodyContent, C::Meta, M::Stay, A::LateMeta);
        Set(R::BodyContent, C::Base, M::Stay, A::LateBase);
        Set(R::BodyContent, C::Link, M::Stay, A::LateLink);
        Set(R::BodyContent, C::Style, M::Expand, A::LateStyle);
        Set(R::BodyContent, C::DivEnd, M::Error, A::None);

        Default(R::DivContent, M::Leave, A::None);
        FlowContent(R::DivContent);
        Default(R::DivEnd, M::Leave, A::DivClose);
        Set(R::DivEnd, C::DivEnd, M::Finish, A::DivClose);

        Default(R::PlaintextEnd, M::Leave, A::PlaintextUnclosed);
        Set(R::PlaintextEnd, C::PlaintextEnd, M::Finish, A::PlaintextClose);

        Default(R::AnchorContent, M::Leave, A::None);
        Layout(R::AnchorContent);
        Set(R::AnchorContent, C::Text, M::Stay, A::Text);
        Set(R::AnchorContent, C::OtherTag, M::Stay, A::OtherTag);
        Set(R::AnchorContent, C::Script, M::Expand, A::ScriptOpen);
        Set(R::AnchorContent, C::Applet, M::Expand, A::AppletOpen);
        Set(R::AnchorContent, C::Span, M::Expand, A::SpanOpen);
        Set(R::AnchorContent, C::Map, M::Expand, A::MapOpen);
        Default(R::AnchorEnd, M::Leave, A::AnchorClose);
        Set(R::AnchorEnd, C::AnchorEnd, M::Finish, A::AnchorClose);

        Default(R::AppletContent, M::Leave, A::None);
        FlowContent(R::AppletContent);
        Set(R::AppletContent, C::Param, M::Stay, A::Param);
        Default(R::AppletEnd, M::Leave, A::AppletClose);
        Set(R::AppletEnd, C::AppletEnd, M::Finish, A::AppletClose);

        Default(R::SpanContent, M::Leave, A::None);
        Layout(R::SpanContent);
        Set(R::SpanContent, C::Text, M::Stay, A::Text);
        Set(R::SpanContent, C::OtherTag, M::Stay, A::OtherTag);
        Set(R::SpanContent, C::Script, M::Expand, A::ScriptOpen);
        Set(R::SpanContent, C::Anchor, M::Expand, A::AnchorOpen);
        Set(R::SpanContent, C::Applet, M::Expand, A::AppletOpen);
        Set(R::SpanContent, C::Span, M::Expand, A::SpanOpen);
        Set(R::SpanContent, C::Map, M::Expand, A::MapOpen);
        Default(R::SpanEnd, M::Leave, A::SpanClose);
        Set(R::SpanEnd, C::SpanEnd, M::Finish, A::SpanClose);

        Default(R::MapContent, M::Leave, A::None);
        Layout(R::MapContent);
        Set(R::MapContent, C::Area, M::Stay, A::Area);
        Default(R::MapEnd, M::Leave, A::MapClose);
        Set(R::MapEnd, C::MapEnd, M::Finish, A::MapClose);

        Default(R::BodyEnd, M::Error, A::None);
        Set(R::BodyEnd, C::BodyEnd, M::Finish, A::BodyClose);
        for (int code : {C::HtmlEnd, C::EndOfInput, C::LineBreak, C::Comment}) {
            Set(R::BodyEnd, code, M::Leave, A::BodyClose);
        }

        Default(R::HtmlEnd, M::Error, A::None);
        Layout(R::HtmlEnd);
        Set(R::HtmlEnd, C::HtmlEnd, M::Finish, A::HtmlClose);
        Set(R::HtmlEnd, C::EndOfInput, M::Leave, A::HtmlClose);

        Default(R::Epilogue, M::Error, A::None);
        Layout(R::Epilogue);
        Set(R::Epilogue, C::EndOfInput, M::Leave, A::None);

        // Raw text can only follow TITLE, SCRIPT, STYLE and PLAINTEXT.
        for (int rule = HtmlParser::Prolog; rule < HtmlParser::RuleEnd; ++rule) {
            if (rule != R::RawTextOpt) {
                Set(rule, C::RawText, M::Error, A::None);
            }
        }
    }
};

const Table& TheTable() {
    static const Table table;
    return table;
}

// The sequences pushed by an expansion, by its action, in the order they
// are processed.
struct Expansion {
    int16_t first;
    int16_t second;
};

bool ExpansionOf(HtmlAction action, Expansion& out) {
    switch (action) {
    case A::StyleOpen:
    case A::LateStyle:
        out = {R::RawTextOpt, R::StyleEnd};
        return true;
    case A::ScriptOpen:
        out = {R::RawTextOpt, R::ScriptEnd};
        return true;
    case A::TitleOpen:
    case A::LateTitle:
        out = {R::RawTextOpt, R::TitleEnd};
        return true;
    case A::DivOpen:
        out = {R::DivContent, R::DivEnd};
        return true;
    case A::PlaintextOpen:
        out = {R::RawTextOpt, R::PlaintextEnd};
        return true;
    case A::AnchorOpen:
        out = {R::AnchorContent, R::AnchorEnd};
        return true;
    case A::MapOpen:
        out = {R::MapContent, R::MapEnd};
        return true;
    case A::SpanOpen:
        out = {R::SpanContent, R::SpanEnd};
        return true;
    case A::AppletOpen:
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

void HtmlParser::Act(HtmlAction action) {
    try {
        builder.Action(action, token);
    } catch (const HtmlActionRefused&) {
        Fail();
    }
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
            Act(entry.action);
            Consume();
            break;
        }
        case Stay:
            if (entry.action != A::None) {
                Act(entry.action);
            }
            Consume();
            break;
        case Finish:
            stack.pop_back();
            if (entry.action != A::None) {
                Act(entry.action);
            }
            Consume();
            break;
        case Leave:
            stack.pop_back();
            if (entry.action != A::None) {
                Act(entry.action);
            }
            break;
        }
    }
}

} // namespace pixmill
