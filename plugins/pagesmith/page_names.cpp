#include "page_names.h"

#include <cstdio>

namespace pixmill::pagesmith {

PageNames::PageNames(const std::string& projectPath) {
    const size_t slash = projectPath.find_last_of("/\\");
    folder = slash == std::string::npos ? std::string() : projectPath.substr(0, slash + 1);
    const std::string name = projectPath.substr(slash == std::string::npos ? 0 : slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        base = name;
        extension = ".htm";
    } else {
        base = name.substr(0, dot);
        extension = name.substr(dot);
    }
}

std::string PageNames::Thumbnail(int index, int count) const {
    if (index == 0) {
        return base + extension;
    }
    if (index == count - 1) {
        return base + "L" + extension;
    }
    return base + std::to_string(index) + extension;
}

std::string PageNames::Zoom(int number) const {
    char text[32];
    std::snprintf(text, sizeof text, "_z%d", number);
    return base + text + extension;
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LinkTarget(const std::string& fileName) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (const char c : fileName) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= '0' && byte <= '9') || c == '-' || c == '_' || c == '.' || c == '~' ||
            c == '/') {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return out;
}

} // namespace pixmill::pagesmith
