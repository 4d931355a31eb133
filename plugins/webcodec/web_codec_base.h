// WebCodecBase: the codec base of the web-format plug-ins. Their libraries
// decode from and encode into whole buffers, so the base reads the stream
// into memory (bounded), creates the picture at full or preview size, hands
// out rows top-down through the format codec base (full pictures or band
// scaler chunks) and finishes an operation the way every codec does.
#pragma once

#include "pixmill/cv_image.h"
#include "pixmill/format_codec_base.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pixmill::web {

// What a reader found in a file's header.
struct PictureInfo {
    int width = 0;
    int height = 0;
    int depth = 24; // 1, 4, 8 or 24
    int colors = 0; // palette entries (paletted depths)
    RGBQUAD palette[256]{};
    TransparencyInfo transparency{};
    int xPelsPerMeter = 0;
    int yPelsPerMeter = 0;
};

// Files larger than this are not read into memory.
inline constexpr size_t kMaxFileBytes = size_t{1} << 30;

class WebCodecBase : public FormatCodecBase {
  public:
    WebCodecBase(CFormatPlugin* plugin, CPluginHost* host) : FormatCodecBase(plugin, host) {}

    void Release() override { delete this; }
    void FreeWorkBuffer() override { DropWork(); }

  protected:
    // Starts a read: the operation's state and the whole file.
    void BeginRead(CVImage* target, CVStream* input);
    // Starts a write of source.
    void BeginWriteOf(const CVImage* source, const int* parameter);
    // Creates the image for a picture: its own size, or with a fit box that
    // it exceeds, the fitted preview size; prepares the rows. Sizes beyond
    // 65535 are refused with image error 6. Paletted pictures get the
    // info's palette.
    void CreatePicture(const PictureInfo& info, const SIZE* maxSize);
    // Hands every picture row, top first, to fill(y, row): the row in the
    // image's layout at the picture's width. Progress over firstPercent ..
    // lastPercent.
    template <class Fill>
    void DeliverRows(CVProgress* progress, int firstPercent, int lastPercent, Fill&& fill) {
        const int rows = decodedSize.cy;
        uint8_t* row = BeginRows(progress, firstPercent, lastPercent, rows,
                                 CVImage::StrideOf(image->BitCount(), decodedSize.cx));
        for (int y = 0; y < rows; ++y) {
            fill(y, row);
            row = RowWritten(row, progress);
        }
        EndRows(row, progress);
    }
    // Ends a read or a write: the progress range and the stream's length.
    void Finish(CVProgress* progress, CVStream* measured);
    // Writes bytes to the stream; a short write is a write error.
    void WriteBytes(CVStream* output, const uint8_t* data, size_t size);
    // Drops the work of the operation (the file's bytes, the decoder's state).
    virtual void DropWork() {
        input.clear();
        input.shrink_to_fit();
    }
    [[noreturn]] void Fail(int code);
    // A read error with its reason in words: the data ends before the
    // picture does (cutShort), or it is damaged; detail is what the
    // library found, shown in brackets after the words. The whole file is
    // in memory, so where reading stopped says nothing: the reader must say.
    [[noreturn]] void FailDamaged(bool cutShort, const std::string& detail = {});

    std::vector<uint8_t> input; // the file being read
};

} // namespace pixmill::web
