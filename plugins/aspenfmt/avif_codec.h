// AvifCodec: reads the first picture of an AVIF file (still or sequence)
// and writes any image kind as AVIF, through libavif. Alpha follows the
// readers' rule (pixmill/alpha_rule.h): blended onto white, fully
// transparent pixels kept as the transparent colour; a written image's
// transparent colour becomes transparent pixels (alpha coded losslessly).
// Writing can decode its result as a preview.
#pragma once

#include "aspenfmt_settings.h"
#include "web_codec_base.h"

#include <cstdint>
#include <vector>

struct avifDecoder; // the library's state of one read

namespace pixmill::aspen {

inline constexpr int kAvifSignatureSize = 12;
// An "ftyp" box whose major brand is "avif" or "avis".
bool IsAvifSignature(const uint8_t* bytes);

class AvifCodec : public web::WebCodecBase {
  public:
    // settings: the format's stored settings, read at every write.
    AvifCodec(CFormatPlugin* plugin, CPluginHost* host, const AvifSettings* settings);
    ~AvifCodec() override;

    SIZE BeginWrite(const CVImage* image, const int* parameter) override;
    SIZE ReadHeader(CVImage* image, CVStream* stream, const SIZE* maxSize) override;
    bool ReadPixels(CVProgress* progress) override;
    bool Write(CVStream* stream, CVProgress* progress, CVImage* preview) override;

  protected:
    void DropWork() override;

  private:
    // A read error naming what the AVIF library found (an avifResult).
    [[noreturn]] void FailAvif(int result);
    const AvifSettings* settings;
    ::avifDecoder* decoder = nullptr;
    std::vector<uint8_t> pixels; // red, green, blue, alpha
};

} // namespace pixmill::aspen
