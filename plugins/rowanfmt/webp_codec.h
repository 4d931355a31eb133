// WebpCodec: reads the first frame of a WebP file (still or animated) onto
// its canvas and writes any image kind as WebP, through libwebp. Alpha
// follows the readers' rule (pixmill/alpha_rule.h): blended onto white,
// fully transparent pixels kept as the transparent colour; a written image's
// transparent colour becomes transparent pixels. Writing can decode its result as a preview.
#pragma once

#include "rowanfmt_settings.h"
#include "web_codec_base.h"

#include <cstdint>
#include <vector>

namespace pixmill::rowan {

inline constexpr int kWebpSignatureSize = 12;
// "RIFF", a length, "WEBP".
bool IsWebpSignature(const uint8_t* bytes);

class WebpCodec : public web::WebCodecBase {
  public:
    // settings: the format's stored settings, read at every write.
    WebpCodec(CFormatPlugin* plugin, CPluginHost* host, const WebpSettings* settings);

    SIZE BeginWrite(const CVImage* image, const int* parameter) override;
    SIZE ReadHeader(CVImage* image, CVStream* stream, const SIZE* maxSize) override;
    bool ReadPixels(CVProgress* progress) override;
    bool Write(CVStream* stream, CVProgress* progress, CVImage* preview) override;

  protected:
    void DropWork() override;

  private:
    void WriteWithMetadata(CVStream* output, const uint8_t* encoded, size_t size);
    // Decodes the first frame onto a transparent canvas of width x height.
    void DecodeFrame(int width, int height);
    // Whether the file is shorter than its RIFF header says.
    bool CutShort() const;

    const WebpSettings* settings;
    // The first frame's place on the canvas and its coded bytes.
    int frameLeft = 0, frameTop = 0, frameWidth = 0, frameHeight = 0;
    size_t frameOffset = 0, frameSize = 0;
    std::vector<uint8_t> canvas; // red, green, blue, alpha
};

} // namespace pixmill::rowan
