// A library's texts as data: a table of identifier -> text entries, looked
// up by identifier. Every plug-in keeps its own table and reads it through
// these two functions.
#pragma once

#include <cstddef>
#include <span>

namespace pixmill {

struct StringEntry {
    int id;
    const char* text;
};

using StringTable = std::span<const StringEntry>;

// The text of id in table; "" for an identifier the table does not hold.
const char* LookupString(StringTable table, int id);

// Copies the text of id into buffer: at most capacity - 1 characters and a
// terminating zero (a longer text is cut). An unknown id gives the empty
// text; a capacity of 0 leaves buffer untouched.
void LoadString(StringTable table, int id, char* buffer, size_t capacity);

} // namespace pixmill
