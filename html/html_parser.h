// The grammar driver: a table-driven LL(1) parser over token codes that calls
// the grammar's actions on a builder.
#pragma once

#include "html/html_builder.h"
#include "html/html_tokenizer.h"

#include <cstdint>
#include <vector>

namespace pixmill {

class HtmlParser {
  public:
    // Rules are the stack symbols from 10000 up; token codes are terminals.
    enum Rule : int16_t {
        Prolog = 10000,
        HtmlStart,
        HeadStart,
        HeadContent,
        RawTextOpt,
        TitleEnd,
        ScriptEnd,
        StyleEnd,
        HeadEnd,
        BodyStart,
        BodyContent,
        DivContent,
        DivEnd,
        PlaintextEnd,
        AnchorContent,
        AnchorEnd,
        AppletContent,
        AppletEnd,
        SpanContent,
        SpanEnd,
        MapContent,
        MapEnd,
        BodyEnd,
        HtmlEnd,
        Epilogue,
        RuleEnd
    };
    static constexpr int kRuleCount = RuleEnd - Prolog;

    enum Move : uint8_t { Error, Expand, Stay, Finish, Leave };
    struct Entry {
        Move move;
        HtmlAction action;
    };

    // Pushes the start rule and reads the first token.
    HtmlParser(HtmlTokenizer& tokenizer, HtmlBuilder& builder);

    // Drives the grammar to the end of input; throws HtmlParseError where the
    // grammar has no rule.
    void Run();

    static const Entry& TableEntry(int rule, int code);
    const HtmlToken& CurrentToken() const { return token; }
    size_t StackDepth() const { return stack.size(); }

  private:
    void Push(int16_t symbol);
    void Consume();
    // Calls the builder; a refused token is a parse error.
    void Act(HtmlAction action);
    [[noreturn]] void Fail();

    HtmlTokenizer& tokenizer;
    HtmlBuilder& builder;
    std::vector<int16_t> stack;
    HtmlToken token;
};

} // namespace pixmill
