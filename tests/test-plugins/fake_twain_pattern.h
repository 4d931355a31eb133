// The pictures the fake source manager delivers, shared with the tests that
// check them: picture k has depth 24, 8, 1, 24, ... and a pattern that
// differs per picture.
#pragma once

#include <cstdint>

namespace fake_twain {

inline int DepthOf(int k) {
    static constexpr int kDepths[3] = {24, 8, 1};
    return kDepths[k % 3];
}
inline int WidthOf(int k) {
    return 21 + k;
}
inline int HeightOf(int k) {
    return 9 + 2 * k;
}
// The colour of pixel (x, y), rows counted from the top, as 0xRRGGBB.
inline uint32_t ColorAt(int k, int x, int y) {
    switch (DepthOf(k)) {
    case 24:
        return (uint32_t((x + y) * 3 & 255) << 16) | (uint32_t(y * 9 & 255) << 8) |
               uint32_t((x * 5 + k) & 255);
    case 8: {
        const uint32_t grey = uint32_t((x * 11 + y * 3 + k) & 255);
        return grey * 0x010101u;
    }
    default:
        return ((x + y + k) & 1) != 0 ? 0xFFFFFFu : 0u;
    }
}

} // namespace fake_twain
