#include "app/clipboard_image.h"

#include "compound/plugin_image_files.h"
#include "pixmill/cv_image.h"

#include <QByteArray>

#include <cstring>

namespace pixmill {

QImage ImageFromPackedDib(const uint8_t* dib, size_t size) {
    if (dib == nullptr || size < sizeof(BITMAPINFOHEADER)) {
        return {};
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib, sizeof header);
    const uint32_t colours = header.biClrUsed != 0
                                 ? header.biClrUsed
                                 : (header.biBitCount <= 8 ? 1u << header.biBitCount : 0u);
    // A BMP file is the packed bitmap behind a 14-byte file header.
    const uint32_t fileSize = static_cast<uint32_t>(14 + size);
    const uint32_t offset = 14 + header.biSize + 4 * colours;
    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    std::memcpy(file.data() + 2, &fileSize, 4);
    std::memcpy(file.data() + 10, &offset, 4);
    file.append(reinterpret_cast<const char*>(dib), static_cast<qsizetype>(size));
    return QImage::fromData(file, "BMP");
}

void ImageFromQImage(const QImage& source, CVImage& image) {
    CVImageOf(source, image);
}

} // namespace pixmill
