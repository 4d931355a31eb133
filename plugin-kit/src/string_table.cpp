#include "pixmill/string_table.h"

#include <algorithm>
#include <cstring>

namespace pixmill {

const char* LookupString(StringTable table, int id) {
    for (const StringEntry& entry : table) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return "";
}

void LoadString(StringTable table, int id, char* buffer, size_t capacity) {
    if (capacity == 0) {
        return;
    }
    const char* text = LookupString(table, id);
    const size_t length = std::min(std::strlen(text), capacity - 1);
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
}

} // namespace pixmill
