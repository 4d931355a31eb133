// How typed text becomes a value under the typing rules panes choose.
#include "pixmill/pane_model.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace pixmill;

TEST(PaneModelKit, TypedTextUnderEachRule) {
    using Below = TypingRules::Below;
    using Above = TypingRules::Above;
    const NumberRange range = {1, 255};
    const TypingRules strict{};
    const TypingRules lenient = {false, true, Below::Keep, Above::RewriteAndStop};
    const TypingRules decimals = {true, true, Below::Keep, Above::Keep};
    struct Case {
        const char* text;
        const TypingRules& rules;
        bool take;
        double value;
        bool rewrite;
    };
    const Case cases[] = {
        {"17", strict, true, 17, false},
        {" +17 ", strict, true, 17, false},
        {"", strict, false, 0, false},
        {"-", strict, false, 0, false},
        {"12a", strict, false, 0, false},
        {"1.5", strict, false, 0, false},
        {"0", strict, true, 0, true},
        {"300", strict, true, 300, true},
        {"99999999999999999999999", strict, true, HUGE_VAL, true},
        {"", lenient, true, 0, false},
        {"0", lenient, true, 0, false},
        {"300", lenient, false, 300, true},
        {"12,5", decimals, true, 12.5, false},
        {"-0.25", decimals, true, -0.25, false},
        {"1e400", decimals, true, HUGE_VAL, false},
        {"x", decimals, true, 0, false},
        {"999", decimals, true, 999, false},
    };
    for (const Case& c : cases) {
        const TypedNumber typed = ReadTyped(c.text, range, c.rules);
        EXPECT_EQ(typed.take, c.take) << '"' << c.text << '"';
        EXPECT_EQ(typed.rewrite, c.rewrite) << '"' << c.text << '"';
        if (c.take) {
            EXPECT_EQ(typed.value, c.value) << '"' << c.text << '"';
        }
    }
    EXPECT_EQ(range.ClampInt(std::nan("")), 1);
    EXPECT_EQ(range.ClampInt(254.5), 255);
}
