// The stored logical font of a text object and Qt's font, both ways: what
// the font dialog gives becomes the height, weight, italic, underline,
// strike-out, pitch-and-family and face name the stored forms keep.
#pragma once

#include "compound/html_property.h"

#include <QFont>
#include <QString>

namespace pixmill {

// The logical font of a Qt font; fields Qt has no counterpart for
// (escapement, character set, precisions, quality) are kept from base.
LogFont LogFontOf(const QFont& font, const LogFont& base = {});

// Filters written as "Name|patterns|...||" (patterns split by ";") in Qt's
// "Name (patterns);;..." form.
QString QtFilterOf(const char* filters);

// The filter of the pictures a web page can show.
inline constexpr const char* kHtmlImageFilter =
    "GIF Files (*.gif)|*.gif|JPEG Files (*.jpg;*.jpeg)|*.jpg;*.jpeg|PNG Files (*.png)|*.png|All "
    "Files|*.*||";

} // namespace pixmill
