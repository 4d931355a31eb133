// The format codec base: white image before rows arrive, direct and preview
// row delivery through a codec that "decodes" a synthetic picture.
#include "host/progress.h"
#include "host/streams.h"
#include "pixmill/cv_image.h"
#include "pixmill/format_codec_base.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace pixmill;
using namespace pixmill::test;

namespace {

// The synthetic source picture: 24-bit, pixel (x, y) = x + 7y, y * 3, x ^ y.
uint32_t SourcePixel(int x, int y) {
    return static_cast<uint32_t>(((x + 7 * y) & 0xFF) | ((y * 3) & 0xFF) << 8 |
                                 ((x ^ y) & 0xFF) << 16);
}

class SyntheticCodec : public FormatCodecBase {
  public:
    SyntheticCodec(CPluginHost* host, int width, int height)
        : FormatCodecBase(nullptr, host), width(width), height(height) {}

    SIZE ReadHeader(CVImage* target, CVStream* input, const SIZE* maxSize) override {
        Reset();
        image = target;
        stream = input;
        bottomUp = true;
        if (maxSize != nullptr && (width > maxSize->cx || height > maxSize->cy)) {
            preview = true;
            const SIZE fit = host->FitSize(width, height, maxSize->cx, maxSize->cy);
            image->Create(fit.cx, fit.cy, 24, 0, nullptr);
        } else {
            image->Create(width, height, 24, 0, nullptr);
        }
        PrepareRows(width, height);
        return SIZE{width, height};
    }
    bool ReadPixels(CVProgress* progress) override {
        uint8_t* row = BeginRows(progress, 0, 100, height, CVImage::StrideOf(24, width));
        firstCheckpoint = checkpoint;
        chunkRows = rowsPerChunk;
        int sinceLast = 0;
        // A delivery moves the band's bottom edge: count the rows each one took.
        const auto delivered = [&](int bottomBefore) {
            if (Band().bottom != bottomBefore) {
                maxRowsPerCall = std::max(maxRowsPerCall, sinceLast);
                sinceLast = 0;
                ++calls;
            }
        };
        for (int y = 0; y < rowsToDeliver(); ++y) {
            for (int x = 0; x < width; ++x) {
                const uint32_t v = SourcePixel(x, y);
                row[3 * x] = static_cast<uint8_t>(v);
                row[3 * x + 1] = static_cast<uint8_t>(v >> 8);
                row[3 * x + 2] = static_cast<uint8_t>(v >> 16);
            }
            ++sinceLast;
            const int bottomBefore = Band().bottom;
            row = RowWritten(row, progress);
            delivered(bottomBefore);
        }
        const int bottomBefore = Band().bottom;
        EndRows(row, progress);
        delivered(bottomBefore);
        return true;
    }
    bool Write(CVStream*, CVProgress*, CVImage*) override { return false; }
    void FreeWorkBuffer() override {}
    void Release() override { delete this; }

    // Sends count bytes of a pattern through the output buffer.
    void WritePattern(CVStream* output, size_t count) {
        stream = output;
        for (size_t i = 0; i < count; ++i) {
            PutByte(static_cast<uint8_t>(i * 7));
        }
        Flush();
    }
    const uint8_t* Buffer() const { return bufferStart; }

    int rowsToDeliver() const { return stopAfter >= 0 ? stopAfter : height; }
    int width, height;
    int stopAfter = -1;
    int firstCheckpoint = 0;
    int chunkRows = 0;
    int calls = 0;
    int maxRowsPerCall = 0;
};

} // namespace

// Rows are not touched before their data arrives (a large picture commits
// memory only as it is decoded): the block stays as the host made it, zeroed.
TEST(CodecBase, RowsAreUntouchedBeforeTheirDataArrives) {
    TestHost host;
    CVImage image(host.get());
    SyntheticCodec codec(host.get(), 40, 30);
    codec.stopAfter = 10; // a "truncated file"
    codec.ReadHeader(&image, nullptr, nullptr);
    for (size_t i = 0; i < image.ImageBytes(); ++i) {
        ASSERT_EQ(image.bits[i], 0);
    }
    codec.ReadPixels(nullptr);
    EXPECT_EQ(PixelAt(image, 5, 9), SourcePixel(5, 9));
    EXPECT_EQ(PixelAt(image, 5, 10), 0u) << "rows never delivered stay as allocated";
}

TEST(CodecBase, DirectDeliveryFillsEveryRowWithProgress) {
    TestHost host;
    RecordingProgressDisplay display;
    HostProgress progress(&display, "Open test");
    CVImage image(host.get());
    SyntheticCodec codec(host.get(), 33, 57);
    codec.ReadHeader(&image, nullptr, nullptr);
    codec.ReadPixels(&progress);
    for (int y = 0; y < 57; ++y) {
        for (int x = 0; x < 33; ++x) {
            ASSERT_EQ(PixelAt(image, x, y), SourcePixel(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(codec.firstCheckpoint, 3) << "57 rows * 5 / 100 rounded";
    EXPECT_EQ(codec.Band().top, 0) << "the band walked up to the top";
    EXPECT_GE(codec.calls, 15);
}

TEST(CodecBase, PreviewChunksAtWidth1000) {
    TestHost host;
    RecordingProgressDisplay display;
    HostProgress progress(&display, "Open test");
    CVImage image(host.get());
    SyntheticCodec codec(host.get(), 1000, 700);
    const SIZE box{100, 100};
    codec.ReadHeader(&image, nullptr, &box);
    ASSERT_EQ(image.Width(), 100);
    ASSERT_EQ(image.Height(), 70);
    codec.ReadPixels(&progress);
    EXPECT_EQ(codec.chunkRows, 133);
    EXPECT_GE(codec.firstCheckpoint, 28);
    EXPECT_LE(codec.firstCheckpoint, 131);
    // Nearest-pixel scaling with 16.16 steps of 10.
    for (int y = 0; y < 70; ++y) {
        for (int x = 0; x < 100; ++x) {
            ASSERT_EQ(PixelAt(image, x, y), SourcePixel(x * 10, y * 10)) << x << "," << y;
        }
    }
}

TEST(CodecBase, PreviewCheckpointNeverBeyondTheTotalRows) {
    TestHost host;
    CVImage image(host.get());
    SyntheticCodec codec(host.get(), 1000, 20);
    const SIZE box{50, 50};
    codec.ReadHeader(&image, nullptr, &box);
    codec.ReadPixels(nullptr);
    EXPECT_LE(codec.firstCheckpoint, 20);
    EXPECT_EQ(PixelAt(image, 10, 0), SourcePixel(200, 0));
}

TEST(CodecBase, WidePreviewRowsNeverOverrunTheChunk) {
    // Rows wider than the 85000-byte minimum chunk, and so few rows that the
    // progress object repeats its positions: every checkpoint must still lie
    // ahead of the rows delivered, or the codec writes past the chunk area.
    TestHost host;
    RecordingProgressDisplay display;
    HostProgress progress(&display, "Open test");
    CVImage image(host.get());
    SyntheticCodec codec(host.get(), 30000, 15);
    const SIZE box{20000, 100};
    codec.ReadHeader(&image, nullptr, &box);
    ASSERT_EQ(image.Width(), 20000);
    ASSERT_EQ(image.Height(), 10);
    codec.ReadPixels(&progress);
    EXPECT_EQ(codec.chunkRows, 4);
    EXPECT_LE(codec.maxRowsPerCall, codec.chunkRows);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20000; x += 7) {
            ASSERT_EQ(PixelAt(image, x, y), SourcePixel(x * 3 / 2, y * 3 / 2)) << x << "," << y;
        }
    }
}

TEST(CodecBase, LaterScratchBlocksNeverOverlapTheOutputBuffer) {
    // A codec may carve work blocks from the arena after Reset, up to all
    // that is left; none may share bytes with the output buffer.
    TestHost host;
    CVImage image(host.get());
    SyntheticCodec codec(host.get(), 8, 8);
    for (size_t bytes : {size_t{4096}, size_t{600001}, size_t{800000}}) {
        codec.ReadHeader(&image, nullptr, nullptr);
        uint8_t* block = host->ScratchAlloc(bytes);
        ASSERT_NE(block, nullptr) << bytes;
        const uint8_t* buffer = codec.Buffer();
        EXPECT_TRUE(block >= buffer + FormatCodecBase::kOutputBufferSize || block + bytes <= buffer)
            << bytes;
        std::memset(block, 0xA5, bytes);
        MemoryStream stream(host.get(), 1 << 16, 1 << 16);
        codec.WritePattern(&stream, 3 * FormatCodecBase::kOutputBufferSize / 2);
        EXPECT_EQ(std::count(block, block + bytes, 0xA5), static_cast<long>(bytes))
            << "the block survives the buffer's use";
        ASSERT_EQ(stream.Length(), 3 * FormatCodecBase::kOutputBufferSize / 2);
        for (size_t i = 0; i < stream.Length(); ++i) {
            ASSERT_EQ(stream.Data()[i], static_cast<uint8_t>(i * 7)) << i;
        }
    }
}
