#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/packed_pixels.h"
#include "pixmill/plugin_host.h"

#include <algorithm>
#include <cstring>

namespace pixmill {

static_assert(sizeof(CVImage) == 8 + 8 + 40 + 8 + 1024 + 2 + 4 + 1,
              "CVImage is a packed binary record");

CVImage::CVImage(CPluginHost* host)
    : host(host), header{}, bits(nullptr), palette{}, paletteCount(0), transparentColor{},
      hasTransparentColor(0) {}

CVImage::~CVImage() {
    FreeBits();
}

void CVImage::FreeBits() {
    if (bits != nullptr) {
        uint8_t* old = bits;
        bits = nullptr;
        host->Free(old);
    }
}

void CVImage::FillHeader(int width, int height, int bitCount, int colorCount, int xPelsPerMeter,
                         int yPelsPerMeter, bool alphaPlane) {
    if (width < 1 || height < 1) {
        host->RaiseImageError(CVImageError::MismatchedFormat);
    }
    if (width > 65535 || height > 65535) {
        host->RaiseImageError(CVImageError::DimensionsTooLarge);
    }
    if (alphaPlane) {
        bitCount = kAlphaBitCount;
    } else if (bitCount == 16 || bitCount == 32) {
        bitCount = 24;
    }
    header.biSize = 40;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<uint16_t>(bitCount);
    header.biCompression = 0;
    header.biXPelsPerMeter = xPelsPerMeter;
    header.biYPelsPerMeter = yPelsPerMeter;
    if (bitCount > 8) {
        paletteCount = 0;
    } else if (colorCount >= 1 && colorCount <= 256) {
        paletteCount = static_cast<uint16_t>(colorCount);
    } else {
        paletteCount = static_cast<uint16_t>(1u << bitCount);
    }
    header.biClrUsed = header.biClrImportant = paletteCount;
    header.biSizeImage = static_cast<uint32_t>(StrideOf(bitCount, width) * height);
}

void CVImage::Create(int width, int height, int bitCount, int colorCount,
                     const TransparencyInfo* transparency, int xPelsPerMeter, int yPelsPerMeter) {
    FillHeader(width, height, bitCount, colorCount, xPelsPerMeter, yPelsPerMeter);
    if (transparency != nullptr) {
        transparentColor = transparency->color;
        hasTransparentColor = transparency->hasColor;
    } else {
        hasTransparentColor = 0;
    }
    FreeBits();
    // biSizeImage is 32-bit in the record; the block size is computed wide.
    bits = static_cast<uint8_t*>(host->Alloc(ImageBytes() + 1));
}

void CVImage::CreateWithAlpha(int width, int height, int xPelsPerMeter, int yPelsPerMeter) {
    FillHeader(width, height, kAlphaBitCount, 0, xPelsPerMeter, yPelsPerMeter, true);
    hasTransparentColor = 0;
    FreeBits();
    bits = static_cast<uint8_t*>(host->Alloc(ImageBytes() + 1));
}

void CVImage::CreateKeepBuffer(int width, int height, int bitCount, int colorCount,
                               const TransparencyInfo* transparency, int xPelsPerMeter,
                               int yPelsPerMeter) {
    FillHeader(width, height, bitCount, colorCount, xPelsPerMeter, yPelsPerMeter);
    if (transparency != nullptr) {
        transparentColor = transparency->color;
        hasTransparentColor = transparency->hasColor;
    }
    if (bits == nullptr) {
        bits = static_cast<uint8_t*>(host->Alloc(ImageBytes() + 1));
    }
}

void CVImage::CreateLike(const CVImage& source) {
    if (source.HasAlphaPlane()) {
        CreateWithAlpha(source.Width(), source.Height(), source.header.biXPelsPerMeter,
                        source.header.biYPelsPerMeter);
        std::memcpy(palette, source.palette, sizeof palette);
        return;
    }
    const TransparencyInfo transparency = source.Transparency();
    Create(source.Width(), source.Height(), source.BitCount(), source.paletteCount, &transparency,
           source.header.biXPelsPerMeter, source.header.biYPelsPerMeter);
    std::memcpy(palette, source.palette, sizeof palette);
}

bool CVImage::AttachDib(uint8_t* packedDib) {
    BITMAPINFOHEADER dib;
    std::memcpy(&dib, packedDib, sizeof dib);
    if (dib.biWidth > 65536 || dib.biHeight > 65536) {
        host->RaiseImageError(CVImageError::DimensionsTooLarge);
    }
    // A non-positive size cannot describe a bottom-up bitmap of ours.
    if (dib.biWidth < 1 || dib.biHeight < 1) {
        return false;
    }
    if (dib.biPlanes != 1 ||
        (dib.biBitCount != 1 && dib.biBitCount != 4 && dib.biBitCount != 8 &&
         dib.biBitCount != 24) ||
        dib.biCompression != 0) {
        return false;
    }
    const uint32_t dibHeaderSize = dib.biSize;
    uint32_t colors = dib.biClrUsed;
    if (colors == 0) {
        colors = dib.biBitCount <= 8 ? (1u << dib.biBitCount) : 0;
    }
    const uint32_t tableEntries = colors;
    colors = std::min<uint32_t>(colors, 256);
    // The header, table and rows must lie inside the block: a short or
    // inconsistent bitmap is refused instead of read past its end.
    const uint64_t needed = static_cast<uint64_t>(dibHeaderSize) + uint64_t{tableEntries} * 4 +
                            StrideOf(dib.biBitCount, dib.biWidth) * uint64_t(dib.biHeight);
    if (dibHeaderSize < 40 || host->GetSize(packedDib) < needed) {
        return false;
    }

    header = dib;
    header.biSize = 40;
    header.biSizeImage = static_cast<uint32_t>(ImageBytes());
    paletteCount = static_cast<uint16_t>(colors);
    header.biClrUsed = header.biClrImportant = paletteCount;
    std::memcpy(palette, packedDib + dibHeaderSize, colors * sizeof(RGBQUAD));
    hasTransparentColor = 0;

    FreeBits();
    bits = packedDib;
    const size_t pixelOffset = dibHeaderSize + static_cast<size_t>(tableEntries) * 4;
    std::memmove(bits, bits + pixelOffset, ImageBytes());
    host->Share(bits);
    return true;
}

void CVImage::SetPalette(const RGBQUAD* colors) {
    if (paletteCount > 256) {
        paletteCount = 256;
    }
    std::memcpy(palette, colors, paletteCount * sizeof(RGBQUAD));
}

bool CVImage::IsGray() const {
    if (paletteCount == 0) {
        return false;
    }
    for (int i = 0; i < paletteCount; ++i) {
        const RGBQUAD& c = palette[i];
        if (c.rgbRed != c.rgbGreen || c.rgbGreen != c.rgbBlue) {
            return false;
        }
    }
    return true;
}

bool CVImage::IsGrayRamp() const {
    if (paletteCount != 256) {
        return false;
    }
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD& c = palette[i];
        if (c.rgbRed != i || c.rgbGreen != i || c.rgbBlue != i) {
            return false;
        }
    }
    return true;
}

void CVImage::SetResolution(int x, int y, int unit) {
    switch (unit) {
    case 0:
        header.biXPelsPerMeter = static_cast<int32_t>(x * 39.37007874015748 + 0.5);
        header.biYPelsPerMeter = static_cast<int32_t>(y * 39.37007874015748 + 0.5);
        break;
    case 1:
        header.biXPelsPerMeter = x * 100;
        header.biYPelsPerMeter = y * 100;
        break;
    case 2:
        header.biXPelsPerMeter = x;
        header.biYPelsPerMeter = y;
        break;
    default:
        break;
    }
}

void CVImage::CopyImage(CVImage* destination, const CVImage* source, const RECT* crop) {
    if (crop == nullptr) {
        if (destination == source) {
            return;
        }
        destination->FreeBits();
        destination->header = source->header;
        destination->paletteCount = source->paletteCount;
        destination->transparentColor = source->transparentColor;
        destination->hasTransparentColor = source->hasTransparentColor;
        std::memcpy(destination->palette, source->palette, sizeof destination->palette);
        destination->bits = source->bits;
        if (destination->bits != nullptr) {
            destination->host->Share(destination->bits);
        }
        return;
    }

    // The rectangle must lie inside the source; anything else would read
    // outside its pixels.
    if (crop->left < 0 || crop->top < 0 || crop->right > source->Width() ||
        crop->bottom > source->Height()) {
        source->host->RaiseImageError(CVImageError::MismatchedFormat);
    }

    const int bitCount = source->header.biBitCount;
    const TransparencyInfo transparency = source->Transparency();
    if (source->HasAlphaPlane()) {
        destination->CreateWithAlpha(crop->right - crop->left, crop->bottom - crop->top,
                                     source->header.biXPelsPerMeter,
                                     source->header.biYPelsPerMeter);
    } else {
        destination->Create(crop->right - crop->left, crop->bottom - crop->top, bitCount,
                            source->paletteCount, &transparency, source->header.biXPelsPerMeter,
                            source->header.biYPelsPerMeter);
    }
    std::memcpy(destination->palette, source->palette, sizeof destination->palette);

    const int width = destination->Width();
    const bool packed = source->paletteCount >= 1 && source->paletteCount <= 16;
    for (int y = crop->top; y < crop->bottom; ++y) {
        const uint8_t* from = source->Row(y);
        uint8_t* to = destination->Row(y - crop->top);
        if (packed && bitCount < 8) {
            // Pixel by pixel, so that a crop can start at any bit position.
            std::memset(to, 0, destination->Stride());
            ForIndexDepth(bitCount, [&](auto depth) {
                constexpr int Bits = decltype(depth)::value;
                for (int x = 0; x < width; ++x) {
                    OrPixel<Bits>(to, x, GetPixel<Bits>(from, x + crop->left));
                }
            });
        } else {
            const size_t bytes = static_cast<size_t>(bitCount) * width / 8;
            const size_t start = static_cast<size_t>(crop->left) * bitCount / 8;
            std::memcpy(to, from + start, bytes);
        }
    }
}

} // namespace pixmill
