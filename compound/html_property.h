// The stored records of compound images: the logical font of a text (kept
// byte for byte in settings and undo files) and "HtmlProperty", the
// preferences' "HTML Options" page, which holds the defaults of new compound
// images. The desktop program's settings include it.
#pragma once

#include <cstdint>

namespace pixmill {

#pragma pack(push, 1)

// The logical font of a text, and of the HTML generation preview.
struct LogFont {
    int32_t height = -10;
    int32_t width = 0;
    int32_t escapement = 0;
    int32_t orientation = 0;
    int32_t weight = 0;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeOut = 0;
    uint8_t charSet = 0;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    char faceName[32] = "Terminal";
};
static_assert(sizeof(LogFont) == 60);

// "HtmlProperty": the "HTML Options" page of the preferences.
struct HtmlProperty {
    LogFont font;
    uint8_t spare1[4] = {};
    char workingDirectory[260] = {};
    int32_t compoundWidth = 500;    // 10..32000
    int32_t compoundHeight = 500;   // 10..32000
    uint32_t background = 0xFFFFFF; // 0x00BBGGRR
    uint32_t textColor = 0;         // default text colour of compound images, 0x00BBGGRR
};
static_assert(sizeof(HtmlProperty) == 340);

#pragma pack(pop)

inline constexpr const char* kHtmlPropertyName = "HtmlProperty";

} // namespace pixmill
