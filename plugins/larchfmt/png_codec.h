// PngCodec: reads a PNG file into a CVImage and writes a CVImage as PNG,
// through libpng on a copy of the file in memory. Every colour type and bit
// depth is read: palettes and grey levels as paletted images, colour as
// 24 bits; 16-bit samples keep their high byte, alpha is flattened onto the
// file's background colour (or white), and a fully transparent palette
// entry or transparent colour becomes the image's transparent colour.
#pragma once

#include "larchfmt_settings.h"
#include "web_codec_base.h"

#include <cstdint>
#include <vector>

namespace pixmill::larch {

inline constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct PngReader; // libpng's structures for one read

class PngCodec : public web::WebCodecBase {
  public:
    // settings: the format's stored settings, read at every write.
    PngCodec(CFormatPlugin* plugin, CPluginHost* host, const PngSettings* settings);
    ~PngCodec() override;

    SIZE BeginWrite(const CVImage* image, const int* parameter) override;
    SIZE ReadHeader(CVImage* image, CVStream* stream, const SIZE* maxSize) override;
    bool ReadPixels(CVProgress* progress) override;
    bool Write(CVStream* stream, CVProgress* progress, CVImage* preview) override;

  protected:
    void DropWork() override;

  private:
    const PngSettings* settings;
    PngReader* reader = nullptr;
};

// How a picture of a colour type and bit depth is held: depth 1, 4, 8 or
// 24. (Exposed for tests.)
int DepthForPng(int colorType, int bitDepth);

} // namespace pixmill::larch
