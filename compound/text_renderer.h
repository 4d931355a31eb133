// Drawing a compound image: the canvas with its pictures and texts composed
// in list order (regions are not drawn), and the width a text takes.
#pragma once

#include "compound/compound_image.h"

#include <QFont>
#include <QImage>

namespace pixmill {

// The Qt font of a logical font: its face (or a family by its pitch and
// family bits), pixel size from the height, weight, italic, underline and
// strike-out.
QFont QFontOf(const LogFont& font);
// The width of the widest line in pixels. Without a running GUI
// application (no font database) an estimate of half the height per
// character.
int MeasureTextWidth(const std::string& text, const LogFont& font);
// The canvas picture with every image and text painted over it; 24-bit.
QImage ComposeCanvas(const CompoundImage& image);

} // namespace pixmill
