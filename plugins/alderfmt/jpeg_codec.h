// JpegCodec: the CFormatCodec of the JPEG plug-in. Reads through libjpeg
// (decoding only) and writes with JpegEncoder. Qt-free.
#pragma once

#include <memory>
#include <vector>

#include "alderfmt_settings.h"
#include "jpeg_encoder.h"
#include "pixmill/format_codec_base.h"
#include "pixmill/ink_colours.h"

namespace pixmill::alder {

struct JpegDecoder;

class JpegCodec : public FormatCodecBase {
  public:
    // settings (and target, when given): the plug-in's current settings,
    // read at every write.
    JpegCodec(CFormatPlugin* plugin, CPluginHost* host, const JpegSettings* settings,
              const JpegTargetSettings* target = nullptr);
    ~JpegCodec() override;

    SIZE BeginWrite(const CVImage* image, const int* parameter) override;
    SIZE ReadHeader(CVImage* image, CVStream* stream, const SIZE* maxSize) override;
    bool ReadPixels(CVProgress* progress) override;
    bool Write(CVStream* stream, CVProgress* progress, CVImage* preview) override;
    void FreeWorkBuffer() override;
    void Release() override { delete this; }

    const JpegEncoder& Encoder() const { return encoder; }
    bool PreviewMode() const { return preview; }
    SIZE DecodedSize() const { return decodedSize; }

  private:
    [[noreturn]] void DecodingFailed();
    void Discard();
    void ReadRows(CVProgress* progress, int firstPercent, int lastPercent);
    void ReadProgressive(CVProgress* progress);

    void WriteWithinBudget(const EncoderSettings& chosen, int64_t budget, CVStream* output,
                           CVProgress* progress, CVImage* previewImage);

    const JpegSettings* settings;
    const JpegTargetSettings* target;
    JpegDecoder* decoder = nullptr;
    std::vector<uint8_t> cmykRow;       // one row of a CMYK or YCCK file
    std::unique_ptr<InkConverter> inks; // its inks as sRGB
    std::unique_ptr<CVImage> flattened; // the written image, transparent colour made white
    SIZE headerSize{};
    JpegEncoder encoder;
};

} // namespace pixmill::alder
