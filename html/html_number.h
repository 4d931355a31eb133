// The number reader for attribute values such as WIDTH="50%".
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace pixmill {

class ParseIntException : public std::runtime_error {
  public:
    explicit ParseIntException(const std::string& text);
    // The text that did not read as a number.
    const std::string& Text() const { return text; }

  private:
    std::string text;
};

// A decimal integer (with an optional sign), optionally followed by "%"
// (then *percent is set), optionally followed by blanks, and nothing else.
// Anything else, or a value outside the range of int, throws
// ParseIntException.
int ParseHtmlInt(std::string_view text, bool* percent = nullptr);

} // namespace pixmill
