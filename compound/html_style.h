// The value of a STYLE attribute as an ordered list of (property, value)
// pairs, and the lengths and colours the compound image's HTML form keeps
// in it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pixmill {

class HtmlStyle {
  public:
    HtmlStyle() = default;
    // Splits at ";" into pairs at the first ":", names and values trimmed.
    explicit HtmlStyle(std::string_view text);

    // Replaces an existing property's value in place, or appends.
    void Set(const std::string& name, const std::string& value);
    void Remove(const std::string& name);
    // The value (names compared without case); null when absent.
    const std::string* Find(std::string_view name) const;
    // "%s:%s;" for every pair, with no blanks.
    std::string ToString() const;
    const std::vector<std::pair<std::string, std::string>>& Pairs() const { return pairs; }

  private:
    std::vector<std::pair<std::string, std::string>> pairs;
};

// A length that is neither "px" nor "pt".
class ParsePxValueException : public std::runtime_error {
  public:
    explicit ParsePxValueException(const std::string& text)
        : std::runtime_error("not a pixel length: " + text) {}
};

// "%dpx"
std::string PxLength(int pixels);
// "%dpt " (with the trailing blank)
std::string PtLength(int points);
// A decimal integer followed by "px" (as is) or "pt" (points * dpi / 72,
// truncated); anything else throws ParsePxValueException.
int ParsePxValue(std::string_view text, int dpi);
// The same, 0 where the text is no such length.
int ParsePxValueOrZero(std::string_view text, int dpi);

// Font sizes. A size is kept in the unit the page wrote it in: "px", "pt"
// (at the document's dpi) or "em"/"rem" (of the browser's 16-pixel default),
// with decimals. Reading rounds to the nearest pixel, and writing gives as
// many decimals as the pixel value needs, so a size goes through any number
// of round trips unchanged.
inline constexpr int kEmPixels = 16;
// The pixels of a font size; false for anything that is no such length.
bool ParseFontSize(std::string_view text, int dpi, int& pixels);
// The unit of a font size as written ("px", "pt", "em", "rem"), lower case;
// empty when the text is no font size.
std::string FontSizeUnit(std::string_view text);
// pixels in the unit (one of FontSizeUnit's); "pt" keeps its trailing blank.
std::string FontSizeText(int pixels, const std::string& unit, int dpi);

// "rgb(%d,%d,%d)" of a 0x00BBGGRR colour.
std::string RgbText(uint32_t color);
// "rgb(r,g,b)" with exactly three numbers; anything else is black.
uint32_t ParseRgb(std::string_view text);

} // namespace pixmill
