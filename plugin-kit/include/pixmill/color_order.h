// Rows of 24-bit pixels between the image's blue, green, red order and the
// red, green, blue order most file formats store: the same byte swap both
// ways, done with a byte shuffle where the processor has one, since a plain
// copy of a large picture otherwise spends much of its time here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixmill {

// Copies pixels three-byte pixels from from to to, the first and third
// byte of each exchanged. from and to must not overlap.
void ReverseColorOrder(const uint8_t* from, uint8_t* to, size_t pixels);

} // namespace pixmill
