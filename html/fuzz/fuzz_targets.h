// The fuzz entry points of the HTML code: libFuzzer drives them in the fuzz
// build, and the tests replay a fixed corpus of inputs through them. Each
// aborts when a property of the code fails.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixmill {

// Parses the bytes as a page, then writes, clones and edits the tree.
int FuzzHtmlParse(const uint8_t* data, size_t size);
// Takes the bytes up to the first line feed as a URL and the rest as a base.
int FuzzHtmlUrl(const uint8_t* data, size_t size);

} // namespace pixmill
