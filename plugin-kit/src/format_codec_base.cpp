#include "pixmill/format_codec_base.h"
#include "pixmill/alpha_rule.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/plugin_host.h"
#include "pixmill/progress.h"
#include "pixmill/stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace pixmill {

FormatCodecBase::FormatCodecBase(CFormatPlugin* plugin, CPluginHost* host)
    : plugin(plugin), host(host) {
    Reset();
}

void FormatCodecBase::Reset() {
    preview = false;
    bufferBytes = 0;
    writtenSize = 0;
    host->ScratchReset();
    // The buffer is the block the arena hands out first, so that later
    // ScratchAlloc calls lie beyond it and never overlap it.
    bufferStart = bufferPosition = host->ScratchAlloc(kOutputBufferSize);
    if (bufferStart == nullptr ||
        bufferStart + kOutputBufferSize > host->GetScratch() + kChunkAreaOffset) {
        host->RaiseImageError(CVImageError::OutOfMemory);
    }
    bufferEnd = bufferStart + kOutputBufferSize;
}

SIZE FormatCodecBase::BeginWrite(const CVImage* source, const int*) {
    image = const_cast<CVImage*>(source);
    stream = nullptr;
    writtenSize = 0;
    return SIZE{source->Width(), source->Height()};
}

void FormatCodecBase::Flush() {
    if (bufferBytes > 0) {
        const size_t written = stream->Write(bufferStart, bufferBytes);
        if (written != bufferBytes) {
            host->RaiseImageError(CVImageError::WriteError);
        }
    }
    bufferBytes = 0;
    bufferPosition = bufferStart;
}

void FormatCodecBase::Put(const void* data, size_t count) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    while (count > 0) {
        if (bufferPosition == bufferEnd) {
            Flush();
        }
        const size_t n = std::min<size_t>(count, bufferEnd - bufferPosition);
        std::memcpy(bufferPosition, bytes, n);
        bufferPosition += n;
        bufferBytes += n;
        bytes += n;
        count -= n;
    }
}

void FormatCodecBase::CheckPictureSize(int64_t width, int64_t height) {
    const uint64_t limit = host->MaxImagePixels();
    if (width > 0 && height > 0 &&
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > limit) {
        char detail[160];
        std::snprintf(detail, sizeof detail,
                      "%lld x %lld pixels is more than the limit of %llu pixels",
                      static_cast<long long>(width), static_cast<long long>(height),
                      static_cast<unsigned long long>(limit));
        host->RaiseImageErrorDetail(CVImageError::DimensionsTooLarge, detail);
    }
}

void FormatCodecBase::PrepareRows(int decodedWidth, int decodedHeight) {
    rowSize = CVImage::StrideOf(image->BitCount(), decodedWidth);
    decodedSize = SIZE{decodedWidth, decodedHeight};
    if (preview) {
        host->ScaleBegin(image, decodedSize, bottomUp);
    }
    const int h = image->Height();
    if (bottomUp && !preview) {
        band = RECT{0, h, 0, h};
    } else {
        band = RECT{0, 0, 0, 0};
    }
    totalRows = 0;
}

bool FormatCodecBase::DeliverAlphaPlane(CVProgress* progress, int firstPercent,
                                        int lastPercent, const uint8_t* rgba, size_t stride) {
    if (preview || !AnyPartialAlpha(rgba, decodedSize.cx, decodedSize.cy, stride)) {
        return false;
    }
    image->CreateWithAlpha(decodedSize.cx, decodedSize.cy, image->header.biXPelsPerMeter,
                           image->header.biYPelsPerMeter);
    PrepareRows(decodedSize.cx, decodedSize.cy);
    uint8_t* row = BeginRows(progress, firstPercent, lastPercent, decodedSize.cy,
                             CVImage::StrideOf(kAlphaBitCount, decodedSize.cx));
    for (int y = 0; y < decodedSize.cy; ++y) {
        PutRgbaRow(rgba + stride * static_cast<size_t>(y), row, decodedSize.cx);
        row = RowWritten(row, progress);
    }
    EndRows(row, progress);
    return true;
}

uint8_t* FormatCodecBase::chunkFirstRow() const {
    uint8_t* chunk = host->GetScratch() + kChunkAreaOffset;
    return bottomUp ? chunk + rowSize * static_cast<size_t>(rowsPerChunk - 1) : chunk;
}

uint8_t* FormatCodecBase::BeginRows(CVProgress* progress, int firstPercent, int lastPercent,
                                    int rows, size_t decodedRowSize) {
    rowSize = decodedRowSize;
    totalRows = rows;
    rowsWritten = 0;
    rowsPending = 0;
    const int first =
        progress != nullptr ? progress->Begin(firstPercent, lastPercent, 0, rows) : rows;
    if (preview) {
        if (rowSize > kChunkAreaSize) {
            // Not even one decoded row fits the chunk area.
            host->RaiseImageError(CVImageError::DimensionsTooLarge);
        }
        rowsPerChunk = std::max<int>(1, static_cast<int>(kChunkAreaSize / rowSize));
        checkpoint = std::min(first, rowsPerChunk - 2);
        if (static_cast<size_t>(std::max(checkpoint, 0)) * rowSize < kMinimumChunkBytes) {
            checkpoint = std::min(static_cast<int>(kMinimumChunkBytes / rowSize), rows);
        }
        // Very wide rows: at least one row, never more than a chunk.
        checkpoint = std::clamp(checkpoint, 1, rowsPerChunk);
        return chunkFirstRow();
    }
    // At least one row: a codec that waits for its row count to equal the
    // checkpoint must reach it.
    checkpoint = std::max(first, 1);
    if (bottomUp) {
        return image->bits + image->Stride() * static_cast<size_t>(image->Height() - 1);
    }
    return image->bits;
}

uint8_t* FormatCodecBase::RowsDone(uint8_t* row, CVProgress* progress) {
    const int rows = rowsPending;
    rowsPending = 0;
    if (!preview) {
        const int direction = bottomUp ? -1 : 1;
        band.bottom += direction * rows;
        checkpoint = progress != nullptr ? progress->Step(nullptr) : totalRows;
        const int delivered = bottomUp ? image->Height() - band.bottom : band.bottom;
        checkpoint = std::max(checkpoint, delivered + 1);
        band.top += direction * rows;
        return row; // RowWritten has already stepped past the delivered rows
    }
    band.left = 0;
    band.right = decodedSize.cx;
    band.bottom += rows;
    if (rows > 0) {
        host->ScaleLines(&band, chunkFirstRow());
    }
    const int next = progress != nullptr ? progress->Step(nullptr) : totalRows;
    // At least one row beyond the band, also for rows wider than the minimum
    // chunk: a checkpoint the codec has already passed would let it write
    // past the chunk area.
    const int minimumRows = std::max(1, static_cast<int>(kMinimumChunkBytes / rowSize));
    checkpoint = std::max(next, band.bottom + minimumRows);
    checkpoint = std::min(checkpoint, band.bottom + rowsPerChunk);
    band.top = band.bottom;
    return chunkFirstRow();
}

} // namespace pixmill
