#include "cedarcol_strings.h"

namespace pixmill::cedarcol {

namespace {
const StringEntry kEntries[] = {
    {1, "Windows system"},
    {2, "Macintosh system"},
    {3, "Adaptive"},
    {4, "Netscape Navigator"},
    {5, "Microsoft Internet Explorer"},
    {8, "Black and White (1-bit)"},
    {9, "Grayscale (8-bit)"},
    {10, "Paletted"},
    {11, "RGB Color (24-bit)"},
    {12, "&Black and White (1-bit)"},
    {13, "&Grayscale (8-bit)"},
    {14, "&Paletted"},
    {15, "&RGB Color (24-bit)"},
    {16, "Convert to"},
    {17, "&Convert to"},
    {18, "Transform image colorspace"},
    {19, "Transform image colorspace"},
    {20, "Transform image colorspace"},
    {21, "Transform image colorspace"},
};
} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::cedarcol
