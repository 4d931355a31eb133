// The page document's template: its strings and what the main window's open
// dialog and open path make of them.
#pragma once

#include <string>
#include <vector>

namespace pixmill {

inline constexpr const char* kPageTemplateStrings =
    "HTML File\nUntitled\nHTML Files\nHTML Files(*.htm; * html)\n.htm;*.html";

struct PageTemplate {
    std::string documentName;    // "HTML File"
    std::string untitled;        // "Untitled"
    std::string fileTypeName;    // "HTML Files"
    std::string filterName;      // as the template writes it
    std::string filterExtension; // ".htm;*.html"
    // "*.htm", "*.html": from the extension field, which names both
    // correctly (the filter name's own list drops a dot).
    std::vector<std::string> patterns;
    // "HTML Files (*.htm *.html)", as a file dialog takes it.
    std::string filterText;
};

const PageTemplate& PageTemplateOf();
// Whether a file opens as a page (by its extension, case aside).
bool IsPagePath(const std::string& path);

} // namespace pixmill
