// The neighbourhood filters: Negative, Smooth, Sharpen, Median, Despeckle,
// Emboss.
// Qt-free; every filter makes destination a new image of the source's size,
// depth, palette, transparency and resolution, with blocks from the source's
// host, and raises image errors through that host.
//
// A "value" is one byte: blue, green or red of a 24-bit pixel, or the grey
// level of an 8-bit grey pixel. Rows are worked in storage order (the first
// stored row is the bottom row of the picture).
#pragma once

#include <cstdint>

namespace pixmill {
class CVImage;
class CVProgress;
} // namespace pixmill

namespace pixmill::elmpass {

// Smooth, Sharpen, Median, Despeckle and Emboss accept 24-bit images and 8-bit images
// whose palette is all grey.
bool AcceptsNeighbourhoodFilter(const CVImage& image);

// 24-bit: every value complemented. Paletted: pixels copied, every palette
// entry complemented. The transparent colour is complemented too.
void Negative(const CVImage& source, CVImage& destination, CVProgress* progress);
void Smooth(const CVImage& source, CVImage& destination, int strength, CVProgress* progress);
void Sharpen(const CVImage& source, CVImage& destination, int strength, CVProgress* progress);
void Median(const CVImage& source, CVImage& destination, CVProgress* progress);
void Despeckle(const CVImage& source, CVImage& destination, int strength, CVProgress* progress);
// Relief lit from the top left: 128 plus the picture's neighbours below and
// to the right minus those above and to the left, so flat areas turn
// mid-grey. The first and last rows and columns keep their values.
void Emboss(const CVImage& source, CVImage& destination, CVProgress* progress);

// The despeckle threshold of a strength: ((50 - s) * 2) / 7, at least 0.
int DespeckleThreshold(int strength);

// Limits v to 0..255.
uint8_t ClampValue(int v);

} // namespace pixmill::elmpass
