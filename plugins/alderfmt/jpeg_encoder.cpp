#include "jpeg_encoder.h"

#include "dct.h"
#include "jpeg_metadata.h"
#include "packed_blocks.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/plugin_host.h"
#include "pixmill/progress.h"
#include "pixmill/stream.h"
#include "pixmill/work_progress.h"
#include "vector_kernels.h"
#include "web_quantiser.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace pixmill::alder {

namespace {

// The example tables of the JPEG standard (luminance, chrominance), row-major.
const uint8_t kBaseLuminance[64] = {16,  11,  10,  16,  24, 40, 51,  61,  12,  12,  14,  19,  26,
                                    58,  60,  55,  14,  13, 16, 24,  40,  57,  69,  56,  14,  17,
                                    22,  29,  51,  87,  80, 62, 18,  22,  37,  56,  68,  109, 103,
                                    77,  24,  35,  55,  64, 81, 104, 113, 92,  49,  64,  78,  87,
                                    103, 121, 120, 101, 72, 92, 95,  98,  112, 100, 103, 99};
const uint8_t kBaseChrominance[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// Progressive scripts: components; Ss, Se; Ah, Al.
const ScanInfo kColourFine[] = {{3, {0, 1, 2}, 0, 0, 0, 1}, {1, {0}, 1, 5, 0, 2},
                                {1, {2}, 1, 63, 0, 1},      {1, {1}, 1, 63, 0, 1},
                                {1, {0}, 6, 63, 0, 2},      {1, {0}, 1, 63, 2, 1},
                                {3, {0, 1, 2}, 0, 0, 1, 0}, {1, {2}, 1, 63, 1, 0},
                                {1, {1}, 1, 63, 1, 0},      {1, {0}, 1, 63, 1, 0}};
const ScanInfo kColourMedium[] = {{3, {0, 1, 2}, 0, 0, 0, 0}, {1, {0}, 1, 5, 0, 1},
                                  {1, {2}, 1, 63, 0, 0},      {1, {1}, 1, 63, 0, 0},
                                  {1, {0}, 6, 63, 0, 1},      {1, {0}, 1, 63, 1, 0}};
const ScanInfo kColourCoarse[] = {{3, {0, 1, 2}, 0, 0, 0, 0},
                                  {1, {0}, 1, 63, 0, 0},
                                  {1, {2}, 1, 63, 0, 0},
                                  {1, {1}, 1, 63, 0, 0}};
const ScanInfo kGreyFine[] = {{1, {0}, 0, 0, 0, 1},  {1, {0}, 1, 5, 0, 2}, {1, {0}, 6, 63, 0, 2},
                              {1, {0}, 1, 63, 2, 1}, {1, {0}, 0, 0, 1, 0}, {1, {0}, 1, 63, 1, 0}};
const ScanInfo kGreyMedium[] = {
    {1, {0}, 0, 0, 0, 0}, {1, {0}, 1, 5, 0, 1}, {1, {0}, 6, 63, 0, 1}, {1, {0}, 1, 63, 1, 0}};
const ScanInfo kGreyCoarse[] = {{1, {0}, 0, 0, 0, 0}, {1, {0}, 1, 63, 0, 0}};

inline int BitLength(uint32_t value) {
    return value == 0 ? 0 : 32 - __builtin_clz(value);
}

// The extra bits of a value of the given bit length: negative values are
// sent as value - 1 in the low bits.
inline uint32_t ExtraBits(int value, int bits) {
    const int v = value < 0 ? value - 1 : value;
    return static_cast<uint32_t>(v) & ((1u << bits) - 1);
}

// Maximum magnitudes that 8-bit samples allow (bit lengths 11 and 10).
constexpr int kMaxDc = 2047;
constexpr int kMaxAc = 1023;

constexpr int kEndOfBandLimit = 0x7FFF;
constexpr int kCorrectionLimit = 1000 - 64 + 1;

} // namespace

int AdjustLevel(int level, int offset) {
    const int a = std::clamp(offset, -100, 100);
    if (a >= 0) {
        return level - (a * level + 50) / 100;
    }
    return level - ((255 - level) * a + 50) / 100;
}

void QuantisationTable(int level, bool chrominance, uint8_t out[64]) {
    const int d = std::clamp(level, 1, 255);
    const int s = std::max(1, d >= 128 ? 7 * d - 633 : 2 * d);
    const uint8_t* base = chrominance ? kBaseChrominance : kBaseLuminance;
    for (int k = 0; k < 64; ++k) {
        const int entry = (base[kNaturalOrder[k]] * s + 128) / 256;
        out[k] = static_cast<uint8_t>(std::clamp(entry, 1, 255));
    }
}

int QualityOfLevel(int level) {
    const int d = std::clamp(level, 1, 255);
    // The tables' scale in percent of the standard ones.
    const double percent = std::max(1, d >= 128 ? 7 * d - 633 : 2 * d) * 100.0 / 256.0;
    const double quality = percent <= 100.0 ? (200.0 - percent) / 2.0 : 5000.0 / percent;
    return std::clamp(static_cast<int>(std::lround(quality)), 1, 100);
}

int SharpenThreshold(int sharpen) {
    const int s = std::clamp(sharpen, 0, 100);
    return (600050 - ((s * 35) / 36) * 6000) / 100;
}

int ScanScript(bool grey, int luminanceLevel, ScanInfo out[10]) {
    const ScanInfo* script;
    int count;
    if (grey) {
        if (luminanceLevel < 50) {
            script = kGreyFine, count = 6;
        } else if (luminanceLevel < 80) {
            script = kGreyMedium, count = 4;
        } else {
            script = kGreyCoarse, count = 2;
        }
    } else if (luminanceLevel < 50) {
        script = kColourFine, count = 10;
    } else if (luminanceLevel < 80) {
        script = kColourMedium, count = 6;
    } else {
        script = kColourCoarse, count = 4;
    }
    std::copy(script, script + count, out);
    return count;
}

// ------------------------------------------------------------------ helpers

struct JpegEncoder::Counters {
    uint32_t dc[2][kHuffmanCounters];
    uint32_t ac[2][kHuffmanCounters];
};

JpegEncoder::JpegEncoder(CPluginHost* host) : host(host) {}

JpegEncoder::~JpegEncoder() {
    FreeStore();
}

void JpegEncoder::FreeStore() {
    if (store != nullptr) {
        host->Free(store);
        store = nullptr;
        storeBytes = 0;
    }
}

SIZE JpegEncoder::Begin(const CVImage* source, const int* offset, const CVImage* metadataOf) {
    image = source;
    metadataImage = metadataOf != nullptr ? metadataOf : source;
    width = source->Width();
    height = source->Height();
    if (source->BitCount() == 24) {
        grey = false;
    } else if (source->BitCount() == 8 && source->paletteCount == 256 && source->IsGray()) {
        grey = true;
        // Grey levels come from the palette, so a grey palette that is not
        // the identity ramp is still written as the picture shows.
        for (int i = 0; i < 256; ++i) {
            greyLevels[i] = source->palette[i].rgbRed;
        }
    } else {
        host->RaiseImageError(CVImageError::UnsupportedFormat);
    }
    qualityOffset = offset != nullptr ? std::clamp(*offset, -100, 100) : 0;
    mcuSize = grey ? 8 : 16;
    blocksPerMcu = grey ? 1 : 6;
    mcusX = (width + mcuSize - 1) / mcuSize;
    mcusY = (height + mcuSize - 1) / mcuSize;
    FreeStore();
    // Room for whole blocks (the packed values never need more), then the
    // masks, the rows' starts and the counts. Pages the packed values do not
    // reach are never touched.
    const size_t blocks = static_cast<size_t>(mcusX) * mcusY * blocksPerMcu;
    const size_t bytes = blocks * (64 * sizeof(int16_t) + sizeof(uint64_t) + 1) +
                         (static_cast<size_t>(mcusY) + 1) * sizeof(size_t);
    store = static_cast<int16_t*>(host->Alloc(bytes));
    storeBytes = bytes;
    masks = reinterpret_cast<uint64_t*>(store + blocks * 64);
    rowStart = reinterpret_cast<size_t*>(masks + blocks);
    counts = reinterpret_cast<uint8_t*>(rowStart + mcusY + 1);
    return SIZE{width, height};
}

std::array<int16_t, 64> JpegEncoder::Block(int component, int bx, int by) const {
    int mcu = by * mcusX + bx, index = 0;
    if (!grey && component == 0) {
        mcu = (by / 2) * mcusX + bx / 2;
        index = (by % 2) * 2 + bx % 2;
    } else if (!grey) {
        index = 3 + component;
    }
    std::array<int16_t, 64> block;
    Unpack(masks[static_cast<size_t>(mcu) * blocksPerMcu + index], PackedValues(mcu, index),
           block.data());
    return block;
}

const int16_t* JpegEncoder::PackedValues(int mcu, int index) const {
    const int my = mcu / mcusX;
    const int16_t* at = store + rowStart[my];
    const size_t end = static_cast<size_t>(mcu) * blocksPerMcu + index;
    for (size_t b = static_cast<size_t>(my) * mcusX * blocksPerMcu; b < end; ++b) {
        at += counts[b];
    }
    return at;
}

void JpegEncoder::BuildConversionTables() {
    for (int i = 0; i < 256; ++i) {
        yR[i] = i * 19595;
        yG[i] = i * 38470;
        yB[i] = i * 7471 - 8355840;
        // Chrominance rounds to nearest like luminance (the offset 128 plus
        // just under half a level, so pure blue and red stay at 255).
        cbR[i] = i * -11059;
        cbG[i] = 8388608 + 32767 - i * 21709;
        cbB[i] = i * 32768;
        crR[i] = i * 32768;
        crG[i] = i * -27439;
        crB[i] = 8388608 + 32767 - i * 5329;
    }
}

// ------------------------------------------------------------------- output

void JpegEncoder::FlushOutput() {
    if (outputCount > 0) {
        if (stream->Write(output, outputCount) != outputCount) {
            host->RaiseImageError(CVImageError::WriteError);
        }
        outputCount = 0;
    }
}

void JpegEncoder::DrainBits() {
    while (bitCount >= 8) {
        bitCount -= 8;
        const uint8_t byte = static_cast<uint8_t>(bitBuffer >> bitCount);
        PutByte(byte);
        if (byte == 0xFF) {
            PutByte(0);
        }
    }
    bitBuffer &= (uint64_t{1} << bitCount) - 1;
}

void JpegEncoder::FlushBits() {
    DrainBits();
    if (bitCount > 0) {
        PutBits(0x7F, 7); // pad with 1-bits to the byte boundary
        DrainBits();
    }
    bitBuffer = 0;
    bitCount = 0;
}

void JpegEncoder::WriteHeaders(bool progressive) {
    PutWord(0xFFD8);
    // JFIF 1.01 in dots per inch; an unknown resolution is written as
    // "aspect ratio only" (units 0, 1:1), never as 0 dpi.
    auto density = [](int32_t perMetre) {
        return static_cast<int>(std::clamp(std::lround(perMetre * 2.54 * 0.01), 0L, 65535L));
    };
    int xDensity = density(image->header.biXPelsPerMeter);
    int yDensity = density(image->header.biYPelsPerMeter);
    const bool known = xDensity > 0 && yDensity > 0;
    if (!known) {
        xDensity = yDensity = 1;
    }
    PutWord(0xFFE0);
    PutWord(16);
    const uint8_t jfif[] = {'J', 'F', 'I', 'F', 0, 1, 1, static_cast<uint8_t>(known ? 1 : 0)};
    for (uint8_t b : jfif) {
        PutByte(b);
    }
    PutWord(xDensity);
    PutWord(yDensity);
    PutByte(0);
    PutByte(0);
    for (const uint8_t b : MetadataSegments(IccToWrite(image->host, metadataImage),
                                            ExifToWrite(image->host, metadataImage))) {
        PutByte(b);
    }
    for (int t = 0; t < (grey ? 1 : 2); ++t) {
        PutWord(0xFFDB);
        PutWord(67);
        PutByte(static_cast<uint8_t>(t));
        for (int k = 0; k < 64; ++k) {
            PutByte(quantTable[t][k]);
        }
    }
    PutWord(progressive ? 0xFFC2 : 0xFFC0);
    PutWord(grey ? 11 : 17);
    PutByte(8);
    PutWord(height);
    PutWord(width);
    if (grey) {
        const uint8_t component[] = {1, 1, 0x11, 0};
        for (uint8_t b : component) {
            PutByte(b);
        }
    } else {
        const uint8_t components[] = {3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
        for (uint8_t b : components) {
            PutByte(b);
        }
    }
}

void JpegEncoder::WriteHuffmanTable(int classAndId, const HuffmanTable& table) {
    PutWord(0xFFC4);
    PutWord(19 + table.count);
    PutByte(static_cast<uint8_t>(classAndId));
    for (int l = 1; l <= 16; ++l) {
        PutByte(table.bits[l]);
    }
    for (int i = 0; i < table.count; ++i) {
        PutByte(table.values[i]);
    }
}

void JpegEncoder::WriteScanHeader(const ScanInfo& scan) {
    PutWord(0xFFDA);
    PutWord(6 + 2 * scan.componentCount);
    PutByte(static_cast<uint8_t>(scan.componentCount));
    for (int i = 0; i < scan.componentCount; ++i) {
        const int c = scan.components[i];
        PutByte(static_cast<uint8_t>(c + 1));
        PutByte(c == 0 ? 0x00 : 0x11);
    }
    PutByte(static_cast<uint8_t>(scan.ss));
    PutByte(static_cast<uint8_t>(scan.se));
    PutByte(static_cast<uint8_t>((scan.ah << 4) | scan.al));
}

// ---------------------------------------------------------------- transform

void JpegEncoder::TransformGreyMcu(int mx, int my, int16_t* block) {
    int16_t samples[64];
    const int validX = std::min(8, width - mx * 8);
    const int validY = std::min(8, height - my * 8);
    for (int r = 0; r < 8; ++r) {
        const uint8_t* row = image->Row(my * 8 + std::min(r, validY - 1)) + mx * 8;
        for (int c = 0; c < 8; ++c) {
            samples[8 * r + c] =
                static_cast<int16_t>(greyLevels[row[std::min(c, validX - 1)]] - 128);
        }
    }
    StoreTransformed(samples, 0, block, nullptr);
}

// The exact encoding quantises and packs each block as it is transformed;
// the web encoding keeps whole blocks for its quantiser. dc (if not null)
// gets the unquantised DC.
void JpegEncoder::StoreTransformed(const int16_t samples[64], int table, int16_t* full,
                                   int16_t* dc) {
    int16_t coefficients[64];
    if (web) {
        ForwardDct(samples, coefficients);
        for (int k = 0; k < 64; ++k) {
            full[k] = coefficients[kNaturalOrder[k]];
        }
        if (dc != nullptr) {
            *dc = full[0];
        }
        return;
    }
    int16_t* start = packedEnd;
    uint64_t mask;
    if (vectorKernels) {
        int unquantisedDc;
        const uint64_t nonZero = TransformQuantiseAvx2(
            samples, naturalQuantiser[table], sharpenThreshold, coefficients, &unquantisedDc);
        packedEnd = PackNatural(coefficients, nonZero, packedEnd, &mask);
        if (dc != nullptr) {
            *dc = static_cast<int16_t>(unquantisedDc);
        }
    } else {
        int16_t zigzag[64];
        ForwardDctScalar(samples, coefficients);
        for (int k = 0; k < 64; ++k) {
            zigzag[k] = coefficients[kNaturalOrder[k]];
        }
        if (dc != nullptr) {
            *dc = zigzag[0];
        }
        QuantiseBlock(zigzag, table);
        packedEnd = PackZigzag(zigzag, packedEnd, &mask);
    }
    masks[packedBlocks] = mask;
    counts[packedBlocks++] = static_cast<uint8_t>(packedEnd - start);
}

// A block wholly in the padding: only the DC of the block before it.
void JpegEncoder::StorePadding(int16_t dc, int table, int16_t* full) {
    if (web) {
        std::memset(full, 0, 64 * sizeof(int16_t));
        full[0] = dc;
        return;
    }
    int16_t block[64] = {dc};
    QuantiseBlock(block, table);
    int16_t* start = packedEnd;
    packedEnd = PackZigzag(block, packedEnd, &masks[packedBlocks]);
    counts[packedBlocks++] = static_cast<uint8_t>(packedEnd - start);
}

// Packs the whole blocks in place, once the web encoding has quantised them.
void JpegEncoder::PackStore() {
    int16_t* to = store;
    size_t b = 0;
    for (int my = 0; my < mcusY; ++my) {
        rowStart[my] = static_cast<size_t>(to - store);
        for (int i = 0; i < mcusX * blocksPerMcu; ++i, ++b) {
            int16_t* start = to;
            to = PackZigzag(store + 64 * b, to, &masks[b]);
            counts[b] = static_cast<uint8_t>(to - start);
        }
    }
}

void JpegEncoder::TransformColourMcu(int mx, int my, int16_t* blocks) {
    const int validX = std::min(16, width - mx * 16);
    const int validY = std::min(16, height - my * 16);
    // Samples: four luminance blocks, then Cb and Cr, the mean of each 2x2
    // with an alternating rounding bias inside the picture and a fixed one
    // in partial MCUs.
    const bool partial = validX < 16 || validY < 16;
    int16_t samples[6][64];
    if (validX == 16 && vectorKernels) {
        const uint8_t* rows[16];
        for (int r = 0; r < 16; ++r) {
            rows[r] = image->Row(my * 16 + std::min(r, validY - 1)) + mx * 48;
            // Sixteen rows are read side by side: fetching a few MCUs ahead
            // keeps the conversion from waiting on memory.
            __builtin_prefetch(rows[r] + 4 * 48);
            __builtin_prefetch(rows[r] + 4 * 48 + 47);
        }
        ConvertMcuAvx2(rows, partial, samples);
    } else {
        int32_t cb[256], cr[256];
        for (int r = 0; r < 16; ++r) {
            const uint8_t* row = image->Row(my * 16 + std::min(r, validY - 1)) + mx * 48;
            int16_t* y = samples[(r >> 3) * 2] + 8 * (r & 7);
            for (int c = 0; c < 16; ++c) {
                const uint8_t* p = row + 3 * std::min(c, validX - 1);
                const int blue = p[0], green = p[1], red = p[2];
                y[c < 8 ? c : 64 + c - 8] =
                    static_cast<int16_t>((yR[red] + yG[green] + yB[blue]) >> 16);
                cb[16 * r + c] = (cbR[red] + cbG[green] + cbB[blue]) >> 16;
                cr[16 * r + c] = (crR[red] + crG[green] + crB[blue]) >> 16;
            }
        }
        for (int plane = 0; plane < 2; ++plane) {
            const int32_t* source = plane == 0 ? cb : cr;
            for (int sy = 0; sy < 8; ++sy) {
                const int32_t* top = source + 32 * sy;
                for (int sx = 0; sx < 8; ++sx) {
                    const int bias = partial ? 3 : (sx & 1) + 1;
                    const int32_t sum =
                        top[2 * sx] + top[2 * sx + 1] + top[16 + 2 * sx] + top[16 + 2 * sx + 1];
                    samples[4 + plane][8 * sy + sx] =
                        static_cast<int16_t>(((sum + bias) >> 2) - 128);
                }
            }
        }
    }
    // Luminance: four blocks; those wholly in the padding carry only the DC
    // of the block before them.
    const bool padRight = validX <= 8;
    const bool padBottom = validY <= 8;
    int16_t lastDc = 0;
    for (int index = 0; index < 4; ++index) {
        int16_t* block = blocks + 64 * index;
        const int bx = index & 1, by = index >> 1;
        if ((bx == 1 && padRight) || (by == 1 && padBottom)) {
            StorePadding(lastDc, 0, block);
            continue;
        }
        StoreTransformed(samples[index], 0, block, &lastDc);
    }
    for (int plane = 0; plane < 2; ++plane) {
        if (web) {
            CompensateUpsampling(mx, my, plane, samples[4 + plane]);
        }
        StoreTransformed(samples[4 + plane], 1, blocks + 64 * (4 + plane), nullptr);
    }
}

// Decoders rebuild full-resolution chrominance by interpolating between
// neighbouring samples, which (averaged back over each 2 x 2) smooths the
// plane by 1/8, 6/8, 1/8 in each direction. The web encoding stores samples
// sharpened by the opposite amount, so that what is shown keeps the colour
// edges and faint tints of the picture. The ring of neighbours comes from the
// picture itself (edges replicated, as in the padding).
void JpegEncoder::CompensateUpsampling(int mx, int my, int plane, int16_t samples[64]) const {
    const int32_t* red = plane == 0 ? cbR : crR;
    const int32_t* green = plane == 0 ? cbG : crG;
    const int32_t* blue = plane == 0 ? cbB : crB;
    auto mean = [&](int cx, int cy) {
        int32_t sum = 0;
        for (int dy = 0; dy < 2; ++dy) {
            const int y = std::clamp(2 * (my * 8 + cy) + dy, 0, height - 1);
            const uint8_t* row = image->Row(y);
            for (int dx = 0; dx < 2; ++dx) {
                const uint8_t* p = row + 3 * std::clamp(2 * (mx * 8 + cx) + dx, 0, width - 1);
                sum += (red[p[2]] + green[p[1]] + blue[p[0]]) >> 16;
            }
        }
        return sum * 0.25f - 128.0f;
    };
    // The 8 x 8 samples with a ring of neighbours: 10 x 10.
    float ring[10][10];
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inside = x > 0 && x < 9 && y > 0 && y < 9;
            ring[y][x] = inside ? samples[8 * (y - 1) + x - 1] : mean(x - 1, y - 1);
        }
    }
    float rows[10][8];
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 8; ++x) {
            rows[y][x] = ring[y][x + 1] - (ring[y][x] - 2 * ring[y][x + 1] + ring[y][x + 2]) / 8;
        }
    }
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const float v = rows[y + 1][x] - (rows[y][x] - 2 * rows[y + 1][x] + rows[y + 2][x]) / 8;
            const int rounded = static_cast<int>(v + (v < 0 ? -0.5f : 0.5f));
            samples[8 * y + x] = static_cast<int16_t>(std::clamp(rounded, -128, 127));
        }
    }
}

void JpegEncoder::TransformPicture(WorkProgress& progress) {
    packedEnd = store;
    packedBlocks = 0;
    for (int my = 0; my < mcusY; ++my) {
        rowStart[my] = static_cast<size_t>(packedEnd - store);
        for (int mx = 0; mx < mcusX; ++mx) {
            int16_t* blocks = StoreBlock(my * mcusX + mx, 0);
            if (grey) {
                TransformGreyMcu(mx, my, blocks);
            } else {
                TransformColourMcu(mx, my, blocks);
            }
        }
        progress.At(my + 1);
    }
}

// ---------------------------------------------------------------- quantiser

void JpegEncoder::QuantiseBlock(int16_t* block, int table) const {
    const uint32_t* divisor = quantDivisor[table];
    const uint64_t* reciprocal = quantReciprocal[table];
    // Blocks above the threshold are rounded to the nearest step, others get
    // a dead zone of a whole step; the encoder rounds every block.
    if (vectorKernels) {
        const bool rounding =
            sharpenThreshold < 6000 && HighFrequencyEnergyAvx2(block) > sharpenThreshold;
        QuantiseAvx2(block, divisor, reciprocal, rounding, kMaxDc, kMaxAc);
        return;
    }
    int energy = 0;
    for (int k = 10; k < 64; ++k) {
        energy += std::abs(block[k]);
    }
    const bool rounding = energy > sharpenThreshold && sharpenThreshold < 6000;
    for (int k = 0; k < 64; ++k) {
        const int c = block[k];
        const uint32_t magnitude = static_cast<uint32_t>(std::abs(c));
        const uint32_t half = divisor[k] >> 1;
        const uint32_t threshold = rounding ? divisor[k] - half : divisor[k];
        if (magnitude < threshold) {
            block[k] = 0;
            continue;
        }
        int v = static_cast<int>(((magnitude + half) * reciprocal[k]) >> 32);
        v = std::min(v, k == 0 ? kMaxDc : kMaxAc);
        block[k] = static_cast<int16_t>(c < 0 ? -v : v);
    }
}

// The exact encoding's blocks were quantised as they were transformed.
void JpegEncoder::QuantiseAll(WorkProgress& progress, int first, int last) {
    if (web) {
        QuantiseWeb(progress, first, last);
        PackStore();
        return;
    }
    progress.Begin(first, last, 0, 1);
    progress.At(1);
}

// The symbol statistics of plainly rounded values give the first estimate of
// what each value costs; the trellis then chooses every block's values
// against it, with bits worth more in luminance blocks busier than the
// picture's average (their errors show less) and less in smooth ones.
void JpegEncoder::QuantiseWeb(WorkProgress& progress, int first, int last) {
    const int tables = grey ? 1 : 2;
    const TrellisQuantiser quantiser[2] = {{quantTable[0], WebLambda(false)},
                                           {quantTable[1], WebLambda(true)}};
    // The blocks of every rowStep-th row of MCUs in MCU order with their
    // component, one progress step a row.
    auto eachBlock = [&](int from, int to, int rowStep, auto&& visit) {
        progress.Begin(from, to, 0, mcusY);
        for (int my = 0; my < mcusY; my += rowStep) {
            for (int mcu = my * mcusX; mcu < (my + 1) * mcusX; ++mcu) {
                for (int b = 0; b < blocksPerMcu; ++b) {
                    visit(StoreBlock(mcu, b), b < 4 ? 0 : b - 3);
                }
            }
            progress.At(my + 1);
        }
    };
    SymbolCounts counts[2];
    int predictor[3] = {};
    double activitySum = 0;
    long lumaBlocks = 0;
    // Every second row of MCUs tells the statistics well enough.
    const int middle = first + (last - first) / 8;
    eachBlock(first, middle, 2, [&](const int16_t* block, int component) {
        const int table = component == 0 ? 0 : 1;
        int16_t rounded[64];
        quantiser[table].Round(block, rounded);
        counts[table].AddBlock(rounded, rounded[0] - predictor[component]);
        predictor[component] = rounded[0];
        if (component == 0) {
            activitySum += BlockActivity(block);
            ++lumaBlocks;
        }
    });
    const float meanActivity = static_cast<float>(activitySum / std::max(lumaBlocks, 1L));
    auto scale = [&](const int16_t* block, int component) {
        return component == 0 ? ActivityLambdaScale(BlockActivity(block), meanActivity) : 1.0f;
    };
    SymbolCosts costs[2];
    for (int t = 0; t < tables; ++t) {
        costs[t] = counts[t].Costs();
    }
    eachBlock(middle, last, 1, [&](int16_t* block, int component) {
        const int table = component == 0 ? 0 : 1;
        quantiser[table].Quantise(block, costs[table], scale(block, component));
    });
}

// ----------------------------------------------------------------- baseline

// Each block's AC values are walked through its mask: a zero run is the
// distance between two non-zero positions.
template <bool Gather> void JpegEncoder::BaselinePass(WorkProgress& progress, Counters* counters) {
    int predictor[3] = {0, 0, 0};
    const int16_t* values = store;
    const uint64_t* mask = masks;
    for (int my = 0; my < mcusY; ++my) {
        for (int mx = 0; mx < mcusX; ++mx) {
            for (int b = 0; b < blocksPerMcu; ++b) {
                const int component = b < 4 ? 0 : b - 3;
                const int table = component == 0 ? 0 : 1;
                uint64_t m = *mask++;
                const int dc = (m & 1) != 0 ? *values++ : 0;
                const int diff = dc - predictor[component];
                predictor[component] = dc;
                const int dcBits = BitLength(static_cast<uint32_t>(std::abs(diff)));
                if constexpr (Gather) {
                    ++counters->dc[table][dcBits];
                } else {
                    const HuffmanTable& dcCodes = dcTable[table];
                    PutBits((uint32_t{dcCodes.code[dcBits]} << dcBits) | ExtraBits(diff, dcBits),
                            dcCodes.size[dcBits] + dcBits);
                }
                const HuffmanTable& ac = acTable[table];
                int last = 0;
                for (m &= ~uint64_t{1}; m != 0; m &= m - 1) {
                    const int k = __builtin_ctzll(m);
                    const int c = *values++;
                    int run = k - last - 1;
                    last = k;
                    while (run > 15) {
                        if constexpr (Gather) {
                            ++counters->ac[table][0xF0];
                        } else {
                            PutBits(ac.code[0xF0], ac.size[0xF0]);
                        }
                        run -= 16;
                    }
                    const int bits = BitLength(static_cast<uint32_t>(std::abs(c)));
                    const int symbol = (run << 4) | bits;
                    if constexpr (Gather) {
                        ++counters->ac[table][symbol];
                    } else {
                        PutBits((uint32_t{ac.code[symbol]} << bits) | ExtraBits(c, bits),
                                ac.size[symbol] + bits);
                    }
                }
                if (last != 63) {
                    if constexpr (Gather) {
                        ++counters->ac[table][0x00];
                    } else {
                        PutBits(ac.code[0x00], ac.size[0x00]);
                    }
                }
            }
        }
        progress.At(my + 1);
    }
}

void JpegEncoder::EncodeBaseline(WorkProgress& progress, int first, int middle, int last) {
    Counters counters{};
    if (web) {
        const int quantised = first + (middle - first) / 2;
        QuantiseWeb(progress, first, quantised);
        PackStore();
        first = quantised;
    }
    progress.Begin(first, middle, 0, mcusY);
    BaselinePass<true>(progress, &counters);
    const int tables = grey ? 1 : 2;
    for (int t = 0; t < tables; ++t) {
        if (!BuildHuffmanTable(counters.dc[t], dcTable[t]) ||
            !BuildHuffmanTable(counters.ac[t], acTable[t])) {
            host->RaiseImageError(CVImageError::WriteError);
        }
    }
    WriteHuffmanTable(0x00, dcTable[0]);
    WriteHuffmanTable(0x10, acTable[0]);
    if (!grey) {
        WriteHuffmanTable(0x01, dcTable[1]);
        WriteHuffmanTable(0x11, acTable[1]);
    }
    ScanInfo scan{grey ? 1 : 3, {0, 1, 2}, 0, 63, 0, 0};
    WriteScanHeader(scan);
    progress.Begin(middle, last, 0, mcusY);
    BaselinePass<false>(progress, nullptr);
    FlushBits();
}

// -------------------------------------------------------------- progressive

// One scan of a progressive script, block by block. With Gather the symbols
// are only counted, for the scan's optimised Huffman tables; without, they
// are written.
template <bool Gather> class JpegEncoder::ScanWriter {
  public:
    ScanWriter(JpegEncoder& encoder, const ScanInfo& scan, Counters* counters)
        : e(encoder), scan(scan), counters(counters) {}

    void Run() {
        e.eobRun = 0;
        e.correctionCount = 0;
        e.dcPredictor[0] = e.dcPredictor[1] = e.dcPredictor[2] = 0;
        band = scan.ss == 0 ? 1 : BandMask(scan.ss, scan.se);
        if (scan.componentCount > 1 || e.grey) {
            // Interleaved (or the only component): MCU order.
            const int16_t* values = e.store;
            size_t b = 0;
            for (int mcu = 0; mcu < e.mcusX * e.mcusY; ++mcu) {
                for (int i = 0; i < e.blocksPerMcu; ++i, ++b) {
                    Block(e.masks[b], values, i < 4 ? 0 : i - 3);
                    values += e.counts[b];
                }
            }
        } else if (scan.components[0] == 0) {
            // Luminance alone: only the blocks that cover the picture, row
            // by row of blocks (the upper or lower half of each MCU).
            acTableIndex = 0;
            const int blocksX = (e.width + 7) / 8, blocksY = (e.height + 7) / 8;
            for (int by = 0; by < blocksY; ++by) {
                const int16_t* values = e.store + e.rowStart[by / 2];
                size_t b = static_cast<size_t>(by / 2) * e.mcusX * 6;
                const int lower = (by % 2) * 2;
                for (int bx = 0; bx < blocksX; bx += 2, b += 6) {
                    const uint8_t* n = e.counts + b;
                    const int16_t* at = values + (lower != 0 ? n[0] + n[1] : 0);
                    Block(e.masks[b + lower], at, 0);
                    if (bx + 1 < blocksX) {
                        Block(e.masks[b + lower + 1], at + n[lower], 0);
                    }
                    values += n[0] + n[1] + n[2] + n[3] + n[4] + n[5];
                }
            }
        } else {
            const int component = scan.components[0];
            acTableIndex = 1;
            const int16_t* values = e.store;
            size_t b = 0;
            for (int mcu = 0; mcu < e.mcusX * e.mcusY; ++mcu, b += 6) {
                const uint8_t* n = e.counts + b;
                const int skip = n[0] + n[1] + n[2] + n[3] + (component == 2 ? n[4] : 0);
                Block(e.masks[b + 3 + component], values + skip, component);
                values += n[0] + n[1] + n[2] + n[3] + n[4] + n[5];
            }
        }
        FlushEndOfBand();
    }

  private:
    void Symbol(bool dc, int table, int value) {
        if constexpr (Gather) {
            ++(dc ? counters->dc : counters->ac)[table][value];
        } else {
            const HuffmanTable& t = dc ? e.dcTable[table] : e.acTable[table];
            e.PutBits(t.code[value], t.size[value]);
        }
    }
    void Bits(uint32_t value, int count) {
        if constexpr (Gather) {
            extraBits += count;
        } else {
            e.PutBits(value, count);
        }
    }
    void Corrections(int start, int count) {
        if constexpr (Gather) {
            extraBits += count;
        } else {
            for (int i = 0; i < count; ++i) {
                e.PutBits(e.correctionBits[start + i], 1);
            }
        }
    }
    void FlushEndOfBand() {
        if (e.eobRun > 0) {
            const int n = BitLength(static_cast<uint32_t>(e.eobRun)) - 1;
            Symbol(false, acTableIndex, n << 4);
            if (n != 0) {
                Bits(static_cast<uint32_t>(e.eobRun), n);
            }
            e.eobRun = 0;
            Corrections(0, e.correctionCount);
            e.correctionCount = 0;
        }
    }

    // A block given by its mask and packed values (packed_blocks.h).
    void Block(uint64_t mask, const int16_t* values, int component) {
        const int table = component == 0 ? 0 : 1;
        if (scan.ss == 0) {
            DcBlock((mask & 1) != 0 ? values[0] : 0, component, table);
        } else {
            // The values of the band follow those before it.
            const int16_t* at = values + Count(mask & ((uint64_t{1} << scan.ss) - 1));
            if (scan.ah == 0) {
                AcFirstBlock(mask & band, at, table);
            } else {
                AcRefinementBlock(mask & band, at, table);
            }
        }
    }

    // Set bits of a mask that holds few of them.
    static int Count(uint64_t mask) {
        int n = 0;
        for (; mask != 0; mask &= mask - 1) {
            ++n;
        }
        return n;
    }

    void DcBlock(int dc, int component, int table) {
        if (scan.ah != 0) {
            Bits(static_cast<uint32_t>(dc >> scan.al) & 1, 1);
            return;
        }
        const int value = dc >> scan.al;
        const int diff = value - e.dcPredictor[component];
        e.dcPredictor[component] = value;
        const int n = BitLength(static_cast<uint32_t>(std::abs(diff)));
        Symbol(true, table, n);
        if (n != 0) {
            Bits(ExtraBits(diff, n), n);
        }
    }

    // Zero runs are the distances between the positions whose magnitude at
    // this scan's precision is not zero.
    void AcFirstBlock(uint64_t mask, const int16_t* values, int table) {
        int last = scan.ss - 1;
        for (; mask != 0; mask &= mask - 1) {
            const int k = __builtin_ctzll(mask);
            const int c = *values++;
            const int magnitude = std::abs(c) >> scan.al;
            if (magnitude == 0) {
                continue;
            }
            FlushEndOfBand();
            int run = k - last - 1;
            last = k;
            while (run > 15) {
                Symbol(false, table, 0xF0);
                run -= 16;
            }
            const int n = BitLength(static_cast<uint32_t>(magnitude));
            Symbol(false, table, (run << 4) + n);
            Bits(ExtraBits(c < 0 ? -magnitude : magnitude, n), n);
        }
        if (last < scan.se) {
            if (++e.eobRun == kEndOfBandLimit) {
                FlushEndOfBand();
            }
        }
    }

    // Coefficients already non-zero get one correction bit, newly non-zero
    // ones (magnitude 1) a code and a sign bit.
    void AcRefinementBlock(uint64_t mask, const int16_t* values, int table) {
        int positions[64], magnitudes[64];
        bool negative[64];
        int count = 0, lastNew = 0;
        for (; mask != 0; mask &= mask - 1) {
            const int c = *values++;
            const int magnitude = std::abs(c) >> scan.al;
            if (magnitude != 0) {
                positions[count] = __builtin_ctzll(mask);
                magnitudes[count] = magnitude;
                negative[count] = c < 0;
                if (magnitude == 1) {
                    lastNew = positions[count];
                }
                ++count;
            }
        }
        int run = 0;
        int previous = scan.ss - 1;
        int pendingStart = e.correctionCount;
        int pending = 0;
        for (int i = 0; i < count; ++i) {
            const int k = positions[i];
            run += k - previous - 1;
            previous = k;
            while (run > 15 && k <= lastNew) {
                FlushEndOfBand();
                Symbol(false, table, 0xF0);
                run -= 16;
                Corrections(pendingStart, pending);
                pendingStart = e.correctionCount;
                pending = 0;
            }
            if (magnitudes[i] > 1) {
                e.correctionBits[pendingStart + pending++] =
                    static_cast<uint8_t>(magnitudes[i] & 1);
                continue;
            }
            FlushEndOfBand();
            Symbol(false, table, (run << 4) + 1);
            Bits(negative[i] ? 0 : 1, 1);
            Corrections(pendingStart, pending);
            pendingStart = e.correctionCount;
            pending = 0;
            run = 0;
        }
        run += scan.se - previous;
        if (run > 0 || pending > 0) {
            ++e.eobRun;
            e.correctionCount += pending;
            if (e.eobRun == kEndOfBandLimit || e.correctionCount > kCorrectionLimit) {
                FlushEndOfBand();
            }
        }
    }

    JpegEncoder& e;
    const ScanInfo& scan;
    Counters* counters;
    int acTableIndex = 0;
    uint64_t band = 0; // the scan's positions

  public:
    uint64_t extraBits = 0; // bits beside the Huffman codes, counted when gathering
};

// The bits a script spends on the quantised store: per scan its optimised
// Huffman codes, the extra bits and the table it writes. The symbol counts
// of every scan are kept in counted[i]. Counting stops once the bits reach
// limit (the script has lost then).
uint64_t JpegEncoder::ScriptBits(const ScanInfo* script, int scans, Counters* counted,
                                 uint64_t limit) {
    uint64_t bits = 0;
    for (int i = 0; i < scans && bits < limit; ++i) {
        const ScanInfo& scan = script[i];
        Counters& counters = counted[i];
        std::memset(&counters, 0, sizeof(counters));
        ScanWriter<true> writer(*this, scan, &counters);
        writer.Run();
        bits += writer.extraBits;
        if (scan.ss == 0 && scan.ah != 0) {
            continue; // DC refinement: bits only
        }
        const bool dcScan = scan.ss == 0;
        const int tables = dcScan ? (scan.componentCount > 1 ? 2 : 1) : 1;
        for (int t = 0; t < tables; ++t) {
            const int index = dcScan ? t : (scan.components[0] == 0 ? 0 : 1);
            const uint32_t* counts = dcScan ? counters.dc[index] : counters.ac[index];
            HuffmanTable table;
            if (!BuildHuffmanTable(counts, table)) {
                host->RaiseImageError(CVImageError::WriteError);
            }
            bits += 8u * (21 + table.count);
            for (int symbol = 0; symbol < 256; ++symbol) {
                bits += uint64_t{counts[symbol]} * table.size[symbol];
            }
        }
    }
    return bits;
}

void JpegEncoder::EncodeProgressive(WorkProgress& progress, int first, int last) {
    const int quantised = first + (last - first) / 3;
    QuantiseAll(progress, first, quantised);
    ScanInfo script[10];
    int scans = ScanScript(grey, luminanceLevel, script);
    std::vector<Counters> counted; // the chosen script's symbol counts, when known
    if (web) {
        // The web encoding takes whichever script codes this picture in the
        // fewest bits. From the coarse script to the fine one the count
        // falls and then rises again, so the search starts from the end the
        // level makes likelier and stops at the first script that is no
        // gain. Above the fine levels the fine script, the dearest to
        // count, does not win on photographs and is not tried.
        const bool fineLevel = luminanceLevel < 36;
        const int order[3] = {fineLevel ? 0 : 80, 50, fineLevel ? 80 : -1};
        uint64_t fewest = UINT64_MAX;
        for (int level : order) {
            if (level < 0) {
                break;
            }
            ScanInfo candidate[10];
            const int count = ScanScript(grey, level, candidate);
            std::vector<Counters> counts(count);
            const uint64_t bits = ScriptBits(candidate, count, counts.data(), fewest);
            if (bits >= fewest) {
                break;
            }
            fewest = bits;
            scans = count;
            std::copy(candidate, candidate + count, script);
            counted = std::move(counts);
        }
    }
    progress.Begin(quantised, last, 0, scans);
    for (int i = 0; i < scans; ++i) {
        const ScanInfo& scan = script[i];
        const bool dcScan = scan.ss == 0;
        if (!(dcScan && scan.ah != 0)) {
            Counters counters;
            if (counted.empty()) {
                std::memset(&counters, 0, sizeof(counters));
                ScanWriter<true>(*this, scan, &counters).Run();
            } else {
                counters = counted[i];
            }
            if (dcScan) {
                const int tables = scan.componentCount > 1 ? 2 : 1;
                for (int t = 0; t < tables; ++t) {
                    if (!BuildHuffmanTable(counters.dc[t], dcTable[t])) {
                        host->RaiseImageError(CVImageError::WriteError);
                    }
                    WriteHuffmanTable(0x00 | t, dcTable[t]);
                }
            } else {
                const int t = scan.components[0] == 0 ? 0 : 1;
                if (!BuildHuffmanTable(counters.ac[t], acTable[t])) {
                    host->RaiseImageError(CVImageError::WriteError);
                }
                WriteHuffmanTable(0x10 | t, acTable[t]);
            }
        }
        WriteScanHeader(scan);
        ScanWriter<false>(*this, scan, nullptr).Run();
        FlushBits();
        progress.At(i + 1);
    }
}

// ------------------------------------------------------------------ preview

void JpegEncoder::DecodePreview(CVImage* preview, WorkProgress& progress) {
    preview->Create(width, height, grey ? 8 : 24, grey ? 256 : 0, nullptr);
    if (grey) {
        RGBQUAD ramp[256];
        for (int i = 0; i < 256; ++i) {
            ramp[i] = RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                              static_cast<uint8_t>(i), 0};
        }
        preview->SetPalette(ramp);
    }
    auto clamp = [](int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
    auto decode = [&](const int16_t* block, int table, int32_t* out) {
        int32_t coefficients[64];
        for (int k = 0; k < 64; ++k) {
            coefficients[kNaturalOrder[k]] = block[k] * quantTable[table][k];
        }
        InverseDct(coefficients, out);
    };
    int32_t samples[6][64];
    const int16_t* values = store;
    size_t index = 0;
    for (int my = 0; my < mcusY; ++my) {
        for (int mx = 0; mx < mcusX; ++mx) {
            for (int b = 0; b < blocksPerMcu; ++b, ++index) {
                int16_t block[64];
                Unpack(masks[index], values, block);
                values += counts[index];
                decode(block, b < 4 ? 0 : 1, samples[b]);
            }
            const int validX = std::min(mcuSize, width - mx * mcuSize);
            const int validY = std::min(mcuSize, height - my * mcuSize);
            for (int r = 0; r < validY; ++r) {
                uint8_t* row = preview->Row(my * mcuSize + r);
                if (grey) {
                    for (int c = 0; c < validX; ++c) {
                        row[mx * 8 + c] = clamp(samples[0][8 * r + c] + 128);
                    }
                    continue;
                }
                const int32_t* ys = samples[(r >> 3) * 2] + 8 * (r & 7);
                const int32_t* cbs = samples[4] + 8 * (r >> 1);
                const int32_t* crs = samples[5] + 8 * (r >> 1);
                uint8_t* p = row + mx * 48;
                for (int c = 0; c < validX; ++c) {
                    const int y = (c < 8 ? ys[c] : ys[64 + c - 8]) + 128;
                    const int cb = cbs[c >> 1];
                    const int cr = crs[c >> 1];
                    p[3 * c] = clamp(y + ((116130 * cb + 32768) >> 16));
                    p[3 * c + 1] = clamp(y + ((-22554 * cb - 46802 * cr + 32768) >> 16));
                    p[3 * c + 2] = clamp(y + ((91882 * cr + 32768) >> 16));
                }
            }
        }
        progress.At(my + 1);
    }
}

// -------------------------------------------------------------------- write

void JpegEncoder::Write(const EncoderSettings& settings, CVStream* target, CVProgress* progress,
                        CVImage* preview, uint8_t* outputBuffer) {
    if (image == nullptr || store == nullptr) {
        host->RaiseImageError(CVImageError::WriteError); // no Begin, or its store was freed
    }
    stream = target;
    output = outputBuffer;
    outputCount = 0;
    bitBuffer = 0;
    bitCount = 0;
    luminanceLevel = AdjustLevel(settings.luminance, qualityOffset);
    chrominanceLevel = AdjustLevel(settings.chrominance, qualityOffset);
    web = settings.web;
    if (web) {
        WebQuantisationTable(luminanceLevel, false, quantTable[0]);
        WebQuantisationTable(chrominanceLevel, true, quantTable[1]);
    } else {
        QuantisationTable(luminanceLevel, false, quantTable[0]);
        QuantisationTable(chrominanceLevel, true, quantTable[1]);
    }
    for (int t = 0; t < 2; ++t) {
        for (int k = 0; k < 64; ++k) {
            quantDivisor[t][k] = 8u * quantTable[t][k];
            quantReciprocal[t][k] =
                ((uint64_t{1} << 32) + quantDivisor[t][k] - 1) / quantDivisor[t][k];
            naturalQuantiser[t].divisor[kNaturalOrder[k]] = quantDivisor[t][k];
            naturalQuantiser[t].reciprocal[kNaturalOrder[k]] =
                static_cast<uint32_t>(quantReciprocal[t][k]); // at most 2^29
        }
    }
    sharpenThreshold = kRoundEveryBlock;
    BuildConversionTables();
    vectorKernels = VectorKernelsActive();

    stream->Seek(0, CVStream::FromStart);
    WriteHeaders(settings.progressive);
    FlushOutput();

    // Small pictures have fewer work units than the bar has steps: a report
    // catches up with every step it has passed.
    WorkProgress steps(progress, WorkProgress::Pace::CatchUp);
    const bool withPreview = preview != nullptr;
    const int transformEnd = withPreview ? 20 : 35;
    const int codingEnd = withPreview ? 70 : 100;
    steps.Begin(0, transformEnd, 0, mcusY);
    TransformPicture(steps);
    if (settings.progressive) {
        EncodeProgressive(steps, transformEnd, codingEnd);
    } else {
        EncodeBaseline(steps, transformEnd, (transformEnd + codingEnd) / 2, codingEnd);
    }
    PutWord(0xFFD9);
    FlushOutput();
    if (withPreview) {
        steps.Begin(70, 100, 0, mcusY);
        DecodePreview(preview, steps);
    }
    if (progress != nullptr) {
        progress->End();
    }
}

} // namespace pixmill::alder
