// GifCodec: reads the first picture of a GIF file (animations stop after
// their first frame) into a paletted CVImage and writes paletted images as
// GIF, through giflib on a copy of the file in memory. The frame is placed
// on the file's logical screen; a transparent palette index becomes the
// image's transparent colour and is written back.
#pragma once

#include "hazelfmt_settings.h"
#include "web_codec_base.h"

#include <cstdint>
#include <vector>

struct GifFileType; // the library's state of one read

namespace pixmill::hazel {

inline constexpr int kGifSignatureSize = 6;
// "GIF87a" or "GIF89a".
bool IsGifSignature(const uint8_t* bytes);

// The rows of an interlaced frame in the order the file stores them: four
// passes starting at rows 0, 4, 2 and 1. (Exposed for tests.)
std::vector<int> InterlacedRowOrder(int height);

class GifCodec : public web::WebCodecBase {
  public:
    // settings: the format's stored settings, read at every write.
    GifCodec(CFormatPlugin* plugin, CPluginHost* host, const GifSettings* settings);
    ~GifCodec() override;

    SIZE BeginWrite(const CVImage* image, const int* parameter) override;
    SIZE ReadHeader(CVImage* image, CVStream* stream, const SIZE* maxSize) override;
    bool ReadPixels(CVProgress* progress) override;
    bool Write(CVStream* stream, CVProgress* progress, CVImage* preview) override;

    // The file as giflib's read function sees it.
    struct Input {
        const uint8_t* data = nullptr;
        size_t size = 0;
        size_t position = 0;
        bool ranOut = false; // the decoder asked for bytes past the end
    };

  protected:
    void DropWork() override;

  private:
    // A read error naming what the GIF library found (its error code).
    [[noreturn]] void FailGif(int error);
    struct Frame {
        int left = 0, top = 0, width = 0, height = 0;
        bool interlaced = false;
        int colors = 0;
        int fill = 0; // index of the screen outside the frame
    };
    void CloseDecoder();

    const GifSettings* settings;
    ::GifFileType* decoder = nullptr;
    Input reading;
    Frame frame;
    std::vector<uint8_t> indices; // the frame's pixels, one index a byte
};

} // namespace pixmill::hazel
