// The picture an operation dialog previews on: the selection (or the whole
// image) as a copy of the same kind, reduced by nearest pixel to fit a box
// when it is larger, so that every setting change answers quickly.
#pragma once

#include "pixmill/win_types.h"

namespace pixmill {

class CVImage;

// Fills target (made with the image's host) from image; selection may be
// null. The copy keeps bit count, palette and transparency (an alpha plane
// too).
void MakePreviewSource(const CVImage& image, const RECT* selection, int maxWidth, int maxHeight,
                       CVImage& target);

} // namespace pixmill
