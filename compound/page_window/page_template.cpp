#include "compound/page_window/page_template.h"

#include <algorithm>
#include <cctype>

namespace pixmill {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

PageTemplate Parse() {
    const std::vector<std::string> fields = Split(kPageTemplateStrings, '\n');
    PageTemplate strings;
    strings.documentName = fields.at(0);
    strings.untitled = fields.at(1);
    strings.fileTypeName = fields.at(2);
    strings.filterName = fields.at(3);
    strings.filterExtension = fields.at(4);
    std::string list;
    for (std::string pattern : Split(strings.filterExtension, ';')) {
        pattern.erase(0, pattern.find_first_not_of(" *"));
        if (pattern.empty()) {
            continue;
        }
        strings.patterns.push_back("*" + pattern);
        list += (list.empty() ? "" : " ") + strings.patterns.back();
    }
    strings.filterText = strings.fileTypeName + " (" + list + ")";
    return strings;
}

} // namespace

const PageTemplate& PageTemplateOf() {
    static const PageTemplate strings = Parse();
    return strings;
}

bool IsPagePath(const std::string& path) {
    const std::string name = Lower(path);
    for (const std::string& pattern : PageTemplateOf().patterns) {
        const std::string extension = Lower(pattern.substr(1)); // without "*"
        if (name.size() > extension.size() &&
            name.compare(name.size() - extension.size(), extension.size(), extension) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace pixmill
