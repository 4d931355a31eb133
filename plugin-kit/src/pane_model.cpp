#include "pixmill/pane_model.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

namespace pixmill {

double NumberRange::Clamp(double value) const {
    if (std::isnan(value)) {
        return minimum;
    }
    return std::clamp(value, minimum, maximum);
}

int NumberRange::ClampInt(double value) const {
    return static_cast<int>(std::lround(Clamp(value)));
}

NumberRange RangeOf(const SettingsField& field) {
    return {field.minimum, field.maximum};
}

namespace {

// The number a whole text spells, if it spells one.
bool ParseNumber(std::string_view text, bool decimals, double& value) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return false;
    }
    const bool negative = text.front() == '-';
    if (decimals) {
        std::string spelled(text);
        std::replace(spelled.begin(), spelled.end(), ',', '.');
        const char* end = spelled.data() + spelled.size();
        const auto [stop, error] = std::from_chars(spelled.data(), end, value);
        if (error == std::errc::result_out_of_range && stop == end) {
            value = negative ? -HUGE_VAL : HUGE_VAL;
            return true;
        }
        return error == std::errc() && stop == end;
    }
    long long whole = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, whole);
    if (stop != end) {
        return false;
    }
    if (error == std::errc::result_out_of_range) {
        value = negative ? -HUGE_VAL : HUGE_VAL;
        return true;
    }
    value = static_cast<double>(whole);
    return error == std::errc();
}

} // namespace

TypedNumber ReadTyped(std::string_view text, const NumberRange& range, const TypingRules& rules) {
    TypedNumber typed;
    if (!ParseNumber(text, rules.decimals, typed.value)) {
        if (!rules.notANumberIsZero) {
            return typed; // "-" or an empty edit: nothing to take yet
        }
        typed.value = 0;
    }
    typed.take = true;
    if (typed.value < range.minimum) {
        typed.rewrite = rules.below == TypingRules::Below::Rewrite;
    } else if (typed.value > range.maximum) {
        typed.rewrite = rules.above != TypingRules::Above::Keep;
        typed.take = rules.above != TypingRules::Above::RewriteAndStop;
    }
    return typed;
}

} // namespace pixmill
