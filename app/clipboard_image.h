// The clipboard's side of the packed bitmap: the document builds the packed
// DIB of its selection (host/), the clipboard takes and gives QImages.
#pragma once

#include <QImage>

#include <cstddef>
#include <cstdint>

namespace pixmill {

class CVImage;

// A QImage of a packed DIB (header, colour table, bottom-up rows).
QImage ImageFromPackedDib(const uint8_t* dib, size_t size);
// Fills image (made empty with its host) as a 24-bit picture of source.
void ImageFromQImage(const QImage& source, CVImage& image);

} // namespace pixmill
