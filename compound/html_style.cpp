#include "compound/html_style.h"

#include "compound/compound_object.h"
#include "html/html_text_util.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace pixmill {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && html::IsSpace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && html::IsSpace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// A whole decimal integer (optional sign); false for anything else.
bool ReadInt(std::string_view text, int& value) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

} // namespace

HtmlStyle::HtmlStyle(std::string_view text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view pair = text.substr(start, end - start);
        const size_t colon = pair.find(':');
        if (colon != std::string_view::npos) {
            pairs.emplace_back(std::string(Trim(pair.substr(0, colon))),
                               std::string(Trim(pair.substr(colon + 1))));
        } else if (!Trim(pair).empty()) {
            pairs.emplace_back(std::string(Trim(pair)), std::string());
        }
        start = end + 1;
    }
}

void HtmlStyle::Set(const std::string& name, const std::string& value) {
    for (auto& pair : pairs) {
        if (html::EqualNoCase(pair.first, name)) {
            pair.second = value;
            return;
        }
    }
    pairs.emplace_back(name, value);
}

void HtmlStyle::Remove(const std::string& name) {
    std::erase_if(pairs, [&name](const auto& pair) { return html::EqualNoCase(pair.first, name); });
}

const std::string* HtmlStyle::Find(std::string_view name) const {
    for (const auto& pair : pairs) {
        if (html::EqualNoCase(pair.first, name)) {
            return &pair.second;
        }
    }
    return nullptr;
}

std::string HtmlStyle::ToString() const {
    std::string out;
    for (const auto& pair : pairs) {
        out += pair.first + ":" + pair.second + ";";
    }
    return out;
}

std::string PxLength(int pixels) {
    return std::to_string(pixels) + "px";
}

std::string PtLength(int points) {
    return std::to_string(points) + "pt ";
}

int ParsePxValue(std::string_view text, int dpi) {
    text = Trim(text);
    int value = 0;
    if (text.size() > 2 && ReadInt(text.substr(0, text.size() - 2), value)) {
        const std::string unit = html::ToLower(text.substr(text.size() - 2));
        if (unit == "px") {
            return value;
        }
        if (unit == "pt") {
            return static_cast<int>(static_cast<long long>(value) * dpi / 72);
        }
    }
    throw ParsePxValueException(std::string(text));
}

int ParsePxValueOrZero(std::string_view text, int dpi) {
    try {
        return ParsePxValue(text, dpi);
    } catch (const ParsePxValueException&) {
        return 0;
    }
}

namespace {

// A decimal number with an optional fraction ("12", "13.5", ".75").
bool ReadDecimal(std::string_view text, double& value) {
    if (text.empty() || text.front() == '-' ||
        text.find_first_not_of("+0123456789.") != std::string_view::npos) {
        return false;
    }
    if (text.front() == '+') {
        text.remove_prefix(1);
    }
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

// The pixels of one unit.
double UnitPixels(const std::string& unit, int dpi) {
    if (unit == "pt") {
        return dpi / 72.0;
    }
    if (unit == "em" || unit == "rem") {
        return kEmPixels;
    }
    return 1.0;
}

} // namespace

std::string FontSizeUnit(std::string_view text) {
    text = Trim(text);
    for (const char* unit : {"rem", "px", "pt", "em"}) {
        const size_t length = std::char_traits<char>::length(unit);
        double value = 0;
        if (text.size() > length &&
            html::EqualNoCase(text.substr(text.size() - length), unit) &&
            ReadDecimal(Trim(text.substr(0, text.size() - length)), value)) {
            return unit;
        }
    }
    return {};
}

bool ParseFontSize(std::string_view text, int dpi, int& pixels) {
    const std::string unit = FontSizeUnit(text);
    if (unit.empty() || dpi <= 0) {
        return false;
    }
    text = Trim(text);
    double value = 0;
    ReadDecimal(Trim(text.substr(0, text.size() - unit.size())), value);
    const double exact = value * UnitPixels(unit, dpi);
    if (exact > 100000) {
        return false;
    }
    pixels = static_cast<int>(std::lround(exact));
    return true;
}

std::string FontSizeText(int pixels, const std::string& unit, int dpi) {
    const std::string written = unit.empty() ? "px" : unit;
    const double value = pixels / UnitPixels(written, dpi);
    // The fewest decimals that give the value exactly (19px is 14.25pt at
    // 96 dpi), at most four, which read back as the same pixels anyway.
    std::string number;
    for (int decimals = 0; decimals <= 4; ++decimals) {
        char text[48];
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        number = text;
        if (std::abs(std::strtod(text, nullptr) - value) < 1e-9) {
            break;
        }
    }
    return number + written + (written == "pt" ? " " : "");
}

std::string RgbText(uint32_t color) {
    char text[48];
    std::snprintf(text, sizeof text, "rgb(%d,%d,%d)", RedOf(color), GreenOf(color), BlueOf(color));
    return text;
}

uint32_t ParseRgb(std::string_view text) {
    text = Trim(text);
    if (text.size() < 5 || !html::EqualNoCase(text.substr(0, 4), "rgb(") || text.back() != ')') {
        return 0;
    }
    std::string_view inside = text.substr(4, text.size() - 5);
    int channels[3] = {0, 0, 0};
    int count = 0;
    size_t start = 0;
    while (start <= inside.size()) {
        size_t end = inside.find(',', start);
        if (end == std::string_view::npos) {
            end = inside.size();
        }
        int value = 0;
        if (count == 3 || !ReadInt(Trim(inside.substr(start, end - start)), value)) {
            return 0;
        }
        channels[count++] = value;
        start = end + 1;
    }
    return count == 3 ? MakeColorRef(channels[0], channels[1], channels[2]) : 0;
}

} // namespace pixmill
