// JpegEncoder: writes one CVImage as a JFIF file, baseline sequential or
// progressive, with Huffman tables optimised for the picture. For the save
// dialog it can instead decode the quantised coefficients straight back into
// a preview image. Qt-free; the codec and the tests drive it directly.
#pragma once

#include "huffman.h"
#include "pixmill/win_types.h"
#include "vector_kernels.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace pixmill {
class CPluginHost;
class CVImage;
class CVStream;
class CVProgress;
class WorkProgress;
} // namespace pixmill

namespace pixmill::alder {

struct EncoderSettings {
    int luminance = 0;   // 0..255, 0 best
    int chrominance = 0; // 0..255, 0 best
    bool progressive = false;
    int sharpen = 0; // 0..100
    // Web encoding: its own tables and rate-optimised coefficient values
    // (more detail per byte: fewer bytes at the same measured quality); off, the exact encoding.
    bool web = false;
};

// One scan of a progressive script: components (0 Y, 1 Cb, 2 Cr), spectral
// band and successive approximation bits.
struct ScanInfo {
    int componentCount;
    int components[3];
    int ss, se, ah, al;
};

// A level moved by the quality offset (-100..100): positive towards 0
// (better), negative towards 255.
int AdjustLevel(int level, int offset);
// The quantisation table of a level, in zig-zag order, as written to the file.
void QuantisationTable(int level, bool chrominance, uint8_t out[64]);
// The familiar 1..100 quality whose tables are the level's (the common
// scaling of the standard tables: 50 writes them as they are, 75 at half
// their steps); what the pane shows beside the stored 0..255 level.
int QualityOfLevel(int level);
// The high-frequency energy above which a block is rounded instead of
// dead-zone quantised, for the quantisers that still take one (the vector
// kernels); the encoder itself rounds every block (kRoundEveryBlock).
int SharpenThreshold(int sharpen);
// A threshold every block's energy passes: each coefficient is rounded to
// the nearest step. A dead zone of a whole step threw away detail the
// tables keep (level 128 lost a fifth of the standard tables' bytes and
// quality), so the sharpen setting no longer changes the exact encoding.
inline constexpr int kRoundEveryBlock = -1;
// The progressive scan script for the output kind and luminance level;
// returns the number of scans.
int ScanScript(bool grey, int luminanceLevel, ScanInfo out[10]);

class JpegEncoder {
  public:
    static constexpr size_t kOutputBufferSize = 200000;

    explicit JpegEncoder(CPluginHost* host);
    ~JpegEncoder();
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;

    // Decides grey or colour, lays out the MCU grid and allocates the
    // coefficient store. Raises image error 3 for images the format cannot
    // store. offset: quality offset, clamped to -100..100 (null: 0).
    // metadataOf: the image whose profile and EXIF are written, when image
    // is a copy made for writing (null: image itself).
    SIZE Begin(const CVImage* image, const int* offset, const CVImage* metadataOf = nullptr);
    // Writes the file into stream through the output buffer (capacity
    // kOutputBufferSize); with a preview image, also decodes the coded
    // coefficients into it.
    void Write(const EncoderSettings& settings, CVStream* stream, CVProgress* progress,
               CVImage* preview, uint8_t* outputBuffer);
    // Returns the coefficient store to the host.
    void FreeStore();

    bool Grey() const { return grey; }
    int LuminanceLevel() const { return luminanceLevel; }
    int ChrominanceLevel() const { return chrominanceLevel; }
    const uint8_t* LuminanceTable() const { return quantTable[0]; }
    const uint8_t* ChrominanceTable() const { return quantTable[1]; }
    // The quantised coefficients of a component's block (bx, by), zig-zag
    // order, DC absolute; valid after Write.
    std::array<int16_t, 64> Block(int component, int bx, int by) const;

  private:
    struct Counters;
    template <bool Gather> class ScanWriter;

    void BuildConversionTables();
    void TransformPicture(WorkProgress& progress);
    void TransformColourMcu(int mx, int my, int16_t* blocks);
    void TransformGreyMcu(int mx, int my, int16_t* block);
    void CompensateUpsampling(int mx, int my, int plane, int16_t samples[64]) const;
    void QuantiseBlock(int16_t* block, int table) const;
    void StoreTransformed(const int16_t samples[64], int table, int16_t* full, int16_t* lastDc);
    void StorePadding(int16_t dc, int table, int16_t* full);
    void PackStore();
    void QuantiseAll(WorkProgress& progress, int first, int last);
    void QuantiseWeb(WorkProgress& progress, int first, int last);
    void EncodeBaseline(WorkProgress& progress, int first, int middle, int last);
    template <bool Gather> void BaselinePass(WorkProgress& progress, Counters* counters);
    void EncodeProgressive(WorkProgress& progress, int first, int last);
    uint64_t ScriptBits(const ScanInfo* script, int scans, Counters* counted, uint64_t limit);
    void DecodePreview(CVImage* preview, WorkProgress& progress);

    // Output.
    void PutByte(uint8_t value) {
        if (outputCount == kOutputBufferSize) {
            FlushOutput();
        }
        output[outputCount++] = value;
    }
    void PutWord(int value) {
        PutByte(static_cast<uint8_t>(value >> 8));
        PutByte(static_cast<uint8_t>(value));
    }
    void FlushOutput();
    // Bits gather in a 64-bit word and go out four bytes at a time (count
    // at most 31).
    void PutBits(uint32_t value, int count) {
        bitBuffer = (bitBuffer << count) | (value & ((1u << count) - 1));
        bitCount += count;
        if (bitCount >= 32) {
            const uint32_t word = static_cast<uint32_t>(bitBuffer >> (bitCount - 32));
            // No 0xFF byte (no zero byte in its complement): no stuffing.
            const uint32_t inverse = ~word;
            if (((inverse - 0x01010101u) & ~inverse & 0x80808080u) == 0 &&
                outputCount + 4 <= kOutputBufferSize) {
                output[outputCount] = static_cast<uint8_t>(word >> 24);
                output[outputCount + 1] = static_cast<uint8_t>(word >> 16);
                output[outputCount + 2] = static_cast<uint8_t>(word >> 8);
                output[outputCount + 3] = static_cast<uint8_t>(word);
                outputCount += 4;
                bitCount -= 32;
            } else {
                DrainBits();
            }
        }
    }
    void DrainBits(); // every whole byte, with 0xFF stuffing
    void FlushBits();
    void WriteHeaders(bool progressive);
    void WriteHuffmanTable(int classAndId, const HuffmanTable& table);
    void WriteScanHeader(const ScanInfo& scan);

    // Whole blocks, before the web encoding's quantiser and packing.
    int16_t* StoreBlock(int mcu, int index) const {
        return store + (static_cast<size_t>(mcu) * blocksPerMcu + index) * 64;
    }
    // Where a block's packed values start, walking its row of MCUs.
    const int16_t* PackedValues(int mcu, int index) const;

    CPluginHost* host;
    const CVImage* image = nullptr;
    const CVImage* metadataImage = nullptr;
    CVStream* stream = nullptr;
    int width = 0, height = 0;
    bool grey = false;
    int qualityOffset = 0;
    int luminanceLevel = 0, chrominanceLevel = 0;
    int sharpenThreshold = kRoundEveryBlock;
    bool vectorKernels = false; // the AVX2 kernels, chosen at every write
    bool web = false;           // blocks quantised by QuantiseWeb
    uint8_t quantTable[2][64] = {};
    uint32_t quantDivisor[2][64] = {};    // 8 x table entry
    uint64_t quantReciprocal[2][64] = {}; // ceil(2^32 / divisor)
    NaturalQuantiser naturalQuantiser[2] = {};
    uint8_t greyLevels[256] = {}; // palette index -> grey level

    int mcuSize = 8, mcusX = 0, mcusY = 0, blocksPerMcu = 1;
    // The store: whole blocks, or packed (packed_blocks.h): per block its
    // mask and value count, the values of each row of MCUs from rowStart.
    int16_t* store = nullptr;
    size_t storeBytes = 0;
    uint64_t* masks = nullptr;
    uint8_t* counts = nullptr;
    size_t* rowStart = nullptr;
    int16_t* packedEnd = nullptr; // while storing
    size_t packedBlocks = 0;

    // Colour conversion, 16.16 fixed point per input value.
    int32_t yR[256], yG[256], yB[256];
    int32_t cbR[256], cbG[256], cbB[256];
    int32_t crR[256], crG[256], crB[256];

    HuffmanTable dcTable[2], acTable[2];

    uint8_t* output = nullptr;
    size_t outputCount = 0;
    uint64_t bitBuffer = 0; // pending bits, at most 31 between calls
    int bitCount = 0;

    // Progressive state.
    int dcPredictor[3] = {};
    int eobRun = 0;
    int correctionCount = 0;
    uint8_t correctionBits[1000] = {};
};

} // namespace pixmill::alder
