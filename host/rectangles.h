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

} // namespace pixmill
