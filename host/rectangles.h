// Rectangles of image pixels: the rule the document and the selection
// tracker share for a rectangle the user drew.
#pragma once

#include "pixmill/win_types.h"

#include <algorithm>

namespace pixmill {

// r with left <= right and top <= bottom, inside a width x height image.
inline RECT NormalisedInside(const RECT& r, int width, int height) {
    RECT n{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
           std::max(r.top, r.bottom)};
    n.left = std::clamp(n.left, 0, width);
    n.right = std::clamp(n.right, 0, width);
    n.top = std::clamp(n.top, 0, height);
    n.bottom = std::clamp(n.bottom, 0, height);
    return n;
}

// r of a fromWidth x fromHeight image on the same part of the picture
// resized to toWidth x toHeight: each edge moves by its side's factor,
// rounded to the nearest pixel and kept inside the new image.
inline RECT ScaledRect(const RECT& r, int fromWidth, int fromHeight, int toWidth, int toHeight) {
    auto scale = [](long value, long to, long from) {
        return from <= 0 ? 0 : static_cast<int>((value * to + from / 2) / from);
    };
    const RECT n = NormalisedInside(r, fromWidth, fromHeight);
    return NormalisedInside(
        RECT{scale(n.left, toWidth, fromWidth), scale(n.top, toHeight, fromHeight),
             scale(n.right, toWidth, fromWidth), scale(n.bottom, toHeight, fromHeight)},
        toWidth, toHeight);
}

} // namespace pixmill
