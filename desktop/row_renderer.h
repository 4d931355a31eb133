// The row renderer: builds the visible part of an image at a zoom, one
// screen row at a time, as 32-bit pixels 0xFFRRGGBB (the layout of a Qt RGB32
// image). Every source depth goes through the gamma table: paletted images
// through their palette passed through it, 24-bit images per sample, and
// pictures with an alpha plane over a light checkerboard. Only
// the requested area is converted, so large images scroll and zoom at the
// cost of what is on screen.
#pragma once

#include "desktop/image_display.h"

#include <cstddef>
#include <cstdint>

namespace pixmill {

class CVImage;

// An area of the zoomed image (screen pixels, top row 0).
struct RenderArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Writes area.height rows of area.width pixels to out, rows outStride
// pixels apart. The area is limited to the zoomed image by the caller.
void RenderRows(const CVImage& image, double zoom, const GammaTable& gamma, const RenderArea& area,
                uint32_t* out, size_t outStride);

} // namespace pixmill
