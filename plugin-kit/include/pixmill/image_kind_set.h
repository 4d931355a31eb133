// ImageKindSet: which image kinds a format stores or an operation accepts
// and produces.
#pragma once

#include "pixmill/cv_image.h"

#include <cstdint>

namespace pixmill {

enum ImageKind : uint16_t {
    KindBilevel = 0x01,   // 1-bit
    KindPaletted4 = 0x02, // 4-bit paletted
    KindGray8 = 0x04,     // 8-bit grey
    KindPaletted8 = 0x08, // 8-bit paletted
    KindRgb24 = 0x10,     // 24-bit RGB
    KindAll = 0x1F,       // every kind without an alpha plane
    KindRgba32 = 0x100,   // 32-bit RGB with alpha (save modes: the format stores the plane)
};

#pragma pack(push, 1)
struct ImageKindSet {
    uint16_t kinds;
    uint8_t special; // non-zero: refused by every operation and format of this program
    uint8_t reserved;
    uint16_t traits; // per-plug-in flags of an answer
};
#pragma pack(pop)
static_assert(sizeof(ImageKindSet) == 6);

// The kind bit of an image: 8-bit images with a grey palette count as grey.
PIXMILL_EXPORT uint16_t KindOf(const CVImage& image);

} // namespace pixmill
