// FormatCodecBase: what the JPEG and TIFF codecs share. The link to the host,
// the stream and the image of the current operation, a 200000-byte output
// buffer at the start of the host's scratch arena, and the delivery of decoded
// rows into the image: straight into its rows, or for reduced previews in
// chunks through the host's band scaler.
#pragma once

#include "pixmill/format_plugin.h"
#include "pixmill/win_types.h"

#include <cstddef>
#include <cstdint>

namespace pixmill {

class CPluginHost;
class CVImage;
class CVStream;
class CVProgress;

class FormatCodecBase : public CFormatCodec {
  public:
    static constexpr size_t kOutputBufferSize = 200000;
    static constexpr size_t kChunkAreaOffset = 400000; // preview chunks: scratch + 400000
    static constexpr size_t kChunkAreaSize = 400000;
    static constexpr size_t kMinimumChunkBytes = 85000;

    FormatCodecBase(CFormatPlugin* plugin, CPluginHost* host);

    // Default write preparation: remembers the image, forgets the stream.
    SIZE BeginWrite(const CVImage* image, const int* parameter) override;
    int GetWrittenSize() override { return writtenSize; }

    const RECT& Band() const { return band; }
    int Checkpoint() const { return checkpoint; }
    size_t RowSize() const { return rowSize; }
    int RowsPerChunk() const { return rowsPerChunk; }

  protected:
    // At the start of every ReadHeader and BeginWrite: clears the per-operation
    // state, resets the scratch arena and takes the output buffer as its first
    // block, below the preview chunk area; later scratch blocks lie beyond it.
    void Reset();
    // Passes the buffered bytes to the stream and empties the buffer.
    void Flush();
    // Appends bytes to the output buffer, flushing it when full.
    void Put(const void* data, size_t count);
    void PutByte(uint8_t value) {
        if (bufferPosition == bufferEnd) {
            Flush();
        }
        *bufferPosition++ = value;
        ++bufferBytes;
    }
    // Refuses (image error 6, naming the size and the host's limit) a
    // picture of more pixels than the host accepts; readers call it before
    // they make anything of the picture's size.
    void CheckPictureSize(int64_t width, int64_t height);
    // End of ReadHeader: the band scaler prepared in preview mode, the band
    // and row count cleared. Rows are not touched before their data arrives,
    // so a large picture commits memory only as it is decoded.
    void PrepareRows(int decodedWidth, int decodedHeight);
    // Returns where the first decoded row goes; sets the first checkpoint.
    uint8_t* BeginRows(CVProgress* progress, int firstPercent, int lastPercent, int totalRows,
                       size_t decodedRowSize);
    // After the codec has written one decoded row at `row`: returns where the
    // next row goes (one row further in the image's direction), handing the
    // rows written since the last checkpoint to the image or the band scaler
    // (and the progress) when the checkpoint is reached.
    uint8_t* RowWritten(uint8_t* row, CVProgress* progress) {
        row = bottomUp ? row - rowSize : row + rowSize;
        ++rowsPending;
        return ++rowsWritten >= checkpoint ? RowsDone(row, progress) : row;
    }
    // After the last row: hands over the rows since the last checkpoint.
    void EndRows(uint8_t* row, CVProgress* progress) {
        if (rowsPending > 0) {
            RowsDone(row, progress);
        }
    }

    // A whole decoded picture as red, green, blue, alpha rows (top first,
    // stride bytes apart): when some pixel is partly transparent and the
    // picture is read at its own size, the image becomes 32-bit with its
    // alpha plane and receives every row (true). Otherwise (a preview, or
    // alpha only 0 and 255) nothing happens: the reader delivers its rows
    // under the alpha rule (alpha_rule.h).
    bool DeliverAlphaPlane(CVProgress* progress, int firstPercent, int lastPercent,
                           const uint8_t* rgba, size_t stride);

    CFormatPlugin* plugin;
    CPluginHost* host;
    CVStream* stream = nullptr;
    CVImage* image = nullptr;

    uint8_t* bufferStart = nullptr;
    uint8_t* bufferPosition = nullptr;
    uint8_t* bufferEnd = nullptr;
    size_t bufferBytes = 0;

    RECT band{};
    int rowsPerChunk = 0;
    size_t rowSize = 0;
    bool preview = false;
    bool bottomUp = false;
    int checkpoint = 0;
    int writtenSize = 0;
    int totalRows = 0;
    SIZE decodedSize{};

  private:
    uint8_t* chunkFirstRow() const;
    // Delivers the pending rows and sets the next checkpoint; returns where
    // the next row goes.
    uint8_t* RowsDone(uint8_t* row, CVProgress* progress);

    int rowsWritten = 0; // rows written since BeginRows
    int rowsPending = 0; // rows written since the last checkpoint
};

} // namespace pixmill
