// CVImage: the image record of every library. A device-independent bitmap:
// header, one pixel block from the host's memory service (rows bottom-up,
// each padded to 32 bits), a 256-entry palette and a transparent colour.
// Pixels are 1-, 4- or 8-bit palette indexes, 24-bit blue, green, red, or
// (made only on purpose, CreateWithAlpha) 32-bit blue, green, red, alpha
// with straight (not premultiplied) alpha: the picture of a file with
// partly transparent pixels, kept for writers that store alpha.
// The layout is packed and fixed: it is compiled separately into every
// library and written raw into undo files.
#pragma once

#include "pixmill/win_types.h"

#include <cstddef>
#include <cstdint>

namespace pixmill {

class CPluginHost;

#pragma pack(push, 1)

// The transparent colour and its flag as they travel through Create.
struct TransparencyInfo {
    RGBQUAD color;
    uint8_t hasColor;
};
static_assert(sizeof(TransparencyInfo) == 5);

// The bit count of a picture with an alpha plane.
inline constexpr int kAlphaBitCount = 32;

class PIXMILL_EXPORT CVImage {
  public:
    explicit CVImage(CPluginHost* host);
    CVImage(const CVImage&) = delete;
    CVImage& operator=(const CVImage&) = delete;
    // Returns the pixel block's share to the host.
    virtual ~CVImage();

    CPluginHost* const host;
    BITMAPINFOHEADER header;
    uint8_t* bits;
    RGBQUAD palette[256];
    uint16_t paletteCount;
    RGBQUAD transparentColor;
    uint8_t hasTransparentColor;

    // --- record operations (identical in every library) ---

    // Validates the size (image error 2 below 1, 6 above 65535), fills the
    // header, returns the old block and allocates stride * height + 1 bytes.
    // A bit count of 16 or 32 makes a 24-bit image: a 32-bit one only comes
    // from CreateWithAlpha.
    void Create(int width, int height, int bitCount, int colorCount,
                const TransparencyInfo* transparency, int xPelsPerMeter = 0, int yPelsPerMeter = 0);
    // As Create, but keeps an existing block whatever its size, and keeps the
    // transparent colour when transparency is null.
    void CreateKeepBuffer(int width, int height, int bitCount, int colorCount,
                          const TransparencyInfo* transparency, int xPelsPerMeter = 0,
                          int yPelsPerMeter = 0);
    // As Create for a 32-bit picture with an alpha plane (no palette, no
    // transparent colour).
    void CreateWithAlpha(int width, int height, int xPelsPerMeter = 0, int yPelsPerMeter = 0);
    // As Create with source's size, depth (32-bit pictures stay 32-bit), colour count, transparency and
    // resolution; copies source's whole palette.
    void CreateLike(const CVImage& source);
    // Takes a packed DIB (header, colour table, pixels in one host block)
    // without copying the pixels; false when the header is not acceptable.
    bool AttachDib(uint8_t* packedDib);
    void SetPalette(const RGBQUAD* colors);
    bool IsGray() const;
    bool IsGrayRamp() const;
    // unit 0: dots per inch, 1: dots per centimetre, 2: pixels per metre.
    void SetResolution(int x, int y, int unit);
    // Without crop: shares the source's block. With crop (picture
    // coordinates, top row 0): a new block holding the rectangle.
    static void CopyImage(CVImage* destination, const CVImage* source, const RECT* crop);
    // Returns the pixel block to the host and forgets it.
    void FreeBits();

    // --- helpers ---
    int Width() const { return header.biWidth; }
    int Height() const { return header.biHeight; }
    int BitCount() const { return header.biBitCount; }
    bool HasAlphaPlane() const { return header.biBitCount == kAlphaBitCount; }
    size_t Stride() const { return StrideOf(header.biBitCount, header.biWidth); }
    size_t ImageBytes() const { return Stride() * static_cast<size_t>(header.biHeight); }
    // Row y counted from the top of the picture.
    uint8_t* Row(int y) { return bits + Stride() * static_cast<size_t>(header.biHeight - 1 - y); }
    const uint8_t* Row(int y) const {
        return bits + Stride() * static_cast<size_t>(header.biHeight - 1 - y);
    }
    TransparencyInfo Transparency() const { return {transparentColor, hasTransparentColor}; }

    static size_t StrideOf(int bitCount, int width) {
        return ((static_cast<size_t>(bitCount) * static_cast<size_t>(width) + 31) / 8) &
               ~static_cast<size_t>(3);
    }

  private:
    void FillHeader(int width, int height, int bitCount, int colorCount, int xPelsPerMeter,
                    int yPelsPerMeter, bool alphaPlane = false);
};

#pragma pack(pop)

} // namespace pixmill
