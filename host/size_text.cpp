#include "host/size_text.h"

#include <cstdio>
#include <iterator>

namespace pixmill {

std::string SizeText(uint64_t bytes) {
    char text[64];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%d %s", static_cast<int>(bytes),
                      bytes == 1 ? "byte" : "bytes");
        return text;
    }
    static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024.0;
    size_t unit = 0;
    // 1023.9 KB would round to "1024 KB": move on to the next unit first.
    while (value >= 999.95 && unit + 1 < std::size(kUnits)) {
        value /= 1024.0;
        ++unit;
    }
    const char* format = value < 9.995 ? "%.2f %s" : value < 99.95 ? "%.1f %s" : "%.0f %s";
    std::snprintf(text, sizeof text, format, value, kUnits[unit]);
    return text;
}

} // namespace pixmill
