#include "host/size_text.h"

#include <cstdio>

namespace pixmill {

std::string SizeText(uint64_t bytes) {
    char text[64];
    if (bytes <= 1024) {
        std::snprintf(text, sizeof text, "%d byte", static_cast<int>(bytes));
        return text;
    }
    double value;
    const char* unit;
    if (bytes <= 1048576ull) {
        value = bytes / 1024.0;
        unit = " Kb";
    } else if (bytes <= 1073741824ull) {
        value = bytes / 1048576.0;
        unit = " Mb";
    } else {
        value = bytes / 1073741824.0;
        unit = " Gb";
    }
    std::snprintf(text, sizeof text, "%f", value);
    std::string number(text);
    number.resize(number.size() < 5 ? number.size() : 5);
    if (number.size() == 5 && number[4] == '.') {
        number.resize(4);
    }
    return number + unit;
}

} // namespace pixmill
