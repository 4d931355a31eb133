#include "html/html_number.h"

#include <climits>

namespace pixmill {

ParseIntException::ParseIntException(const std::string& text)
    : std::runtime_error("not a number: \"" + text + "\""), text(text) {}

int ParseHtmlInt(std::string_view text, bool* percent) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    const size_t digitsStart = i;
    long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            throw ParseIntException(std::string(text));
        }
        ++i;
    }
    if (i == digitsStart) {
        throw ParseIntException(std::string(text));
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX || value < INT_MIN) {
        throw ParseIntException(std::string(text));
    }
    bool isPercent = false;
    if (i < text.size() && text[i] == '%') {
        isPercent = true;
        ++i;
    }
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    if (i != text.size()) {
        throw ParseIntException(std::string(text));
    }
    if (percent) {
        *percent = isPercent;
    }
    return static_cast<int>(value);
}

} // namespace pixmill
