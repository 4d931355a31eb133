#include "tiff_test_files.h"

#include "host/streams.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace pixmill::test {

namespace {

// A growable in-memory file for libtiff's client procedures.
struct MemoryFile {
    ByteVector bytes;
    uint64_t position = 0;

    static tmsize_t Read(thandle_t h, void* buffer, tmsize_t size) {
        auto* f = static_cast<MemoryFile*>(h);
        if (f->position >= f->bytes.size()) {
            return 0;
        }
        const auto n =
            std::min<uint64_t>(static_cast<uint64_t>(size), f->bytes.size() - f->position);
        std::memcpy(buffer, f->bytes.data() + f->position, n);
        f->position += n;
        return static_cast<tmsize_t>(n);
    }
    static tmsize_t Write(thandle_t h, void* buffer, tmsize_t size) {
        auto* f = static_cast<MemoryFile*>(h);
        const uint64_t end = f->position + static_cast<uint64_t>(size);
        if (end > f->bytes.size()) {
            f->bytes.resize(end);
        }
        std::memcpy(f->bytes.data() + f->position, buffer, static_cast<size_t>(size));
        f->position = end;
        return size;
    }
    static toff_t Seek(thandle_t h, toff_t offset, int whence) {
        auto* f = static_cast<MemoryFile*>(h);
        const int64_t base = whence == SEEK_CUR   ? static_cast<int64_t>(f->position)
                             : whence == SEEK_END ? static_cast<int64_t>(f->bytes.size())
                                                  : 0;
        const int64_t target = base + static_cast<int64_t>(offset);
        if (target < 0) {
            return static_cast<toff_t>(-1);
        }
        f->position = static_cast<uint64_t>(target);
        return f->position;
    }
    static int Close(thandle_t) { return 0; }
    static toff_t Size(thandle_t h) { return static_cast<MemoryFile*>(h)->bytes.size(); }
    // Mapped, as libtiff reads small uncompressed tiles only from mapped
    // contents.
    static int Map(thandle_t handle, void** base, toff_t* size) {
        auto* self = static_cast<MemoryFile*>(handle);
        *base = self->bytes.data();
        *size = self->bytes.size();
        return 1;
    }
    static void Unmap(thandle_t, void*, toff_t) {}

    TIFF* Open(const char* mode) {
        return TIFFClientOpen("memory", mode, this, Read, Write, Seek, Close, Size, Map, Unmap);
    }
};

struct Silence {
    Silence() {
        oldError = TIFFSetErrorHandler(nullptr);
        oldWarning = TIFFSetWarningHandler(nullptr);
    }
    ~Silence() {
        TIFFSetErrorHandler(oldError);
        TIFFSetWarningHandler(oldWarning);
    }
    TIFFErrorHandler oldError, oldWarning;
};

void PutBits(uint8_t* row, uint64_t bitOffset, uint32_t bits, uint32_t value) {
    // Samples are packed from the most significant bit (FillOrder 1).
    for (uint32_t b = 0; b < bits; ++b) {
        const uint64_t at = bitOffset + b;
        if ((value >> (bits - 1 - b)) & 1) {
            row[at >> 3] |= static_cast<uint8_t>(0x80 >> (at & 7));
        }
    }
}

} // namespace

ByteVector MakeTiff(const TiffSpec& spec) {
    MemoryFile file;
    TIFF* tif = file.Open("w");
    if (tif == nullptr) {
        return {};
    }
    for (int page = 0; page < spec.pages; ++page) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, spec.width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, spec.height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, spec.bitsPerSample);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spec.samplesPerPixel);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, spec.photometric);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, spec.compression);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, spec.planar);
        if (spec.sampleFormat != SAMPLEFORMAT_UINT) {
            TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, spec.sampleFormat);
        }
        if (spec.pages > 1) {
            TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
            TIFFSetField(tif, TIFFTAG_PAGENUMBER, page, spec.pages);
        }
        if (!spec.extraSamples.empty()) {
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, static_cast<uint16_t>(spec.extraSamples.size()),
                         spec.extraSamples.data());
        }
        if (!spec.red.empty()) {
            TIFFSetField(tif, TIFFTAG_COLORMAP, spec.red.data(), spec.green.data(),
                         spec.blue.data());
        }
        if (spec.minSample >= 0) {
            TIFFSetField(tif, TIFFTAG_MINSAMPLEVALUE, static_cast<uint16_t>(spec.minSample));
        }
        if (spec.maxSample >= 0) {
            TIFFSetField(tif, TIFFTAG_MAXSAMPLEVALUE, static_cast<uint16_t>(spec.maxSample));
        }
        if (spec.xResolution > 0) {
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, spec.resolutionUnit);
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<double>(spec.xResolution));
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<double>(spec.yResolution));
        }
        const uint32_t invert = page > 0 ? (1u << spec.bitsPerSample) - 1 : 0;
        const bool separate = spec.planar == PLANARCONFIG_SEPARATE;
        const uint32_t samplesInRow = separate ? 1 : spec.samplesPerPixel;
        const uint64_t rowBits = uint64_t{spec.width} * spec.bitsPerSample * samplesInRow;
        const size_t rowBytes = static_cast<size_t>((rowBits + 7) / 8);
        auto fillRow = [&](std::vector<uint8_t>& row, uint32_t y, uint32_t plane) {
            std::fill(row.begin(), row.end(), 0);
            for (uint32_t x = 0; x < spec.width; ++x) {
                for (uint32_t s = 0; s < samplesInRow; ++s) {
                    const uint32_t v = spec.sample(x, y, separate ? plane : s) ^ invert;
                    if (spec.bitsPerSample == 16) {
                        const auto v16 = static_cast<uint16_t>(v);
                        std::memcpy(&row[2 * (size_t{x} * samplesInRow + s)], &v16, 2);
                    } else {
                        PutBits(row.data(), (uint64_t{x} * samplesInRow + s) * spec.bitsPerSample,
                                spec.bitsPerSample, v);
                    }
                }
            }
        };
        if (spec.moreTags) {
            spec.moreTags(tif);
        }
        std::vector<uint8_t> row(rowBytes);
        if (spec.tiled) {
            // Square tiles cut from the full rows (contiguous 8-bit samples).
            const uint32_t tile = spec.tileSize;
            TIFFSetField(tif, TIFFTAG_TILEWIDTH, tile);
            TIFFSetField(tif, TIFFTAG_TILELENGTH, tile);
            const size_t pixelBytes = spec.samplesPerPixel * spec.bitsPerSample / 8;
            std::vector<uint8_t> buffer(static_cast<size_t>(TIFFTileSize(tif)));
            for (uint32_t ty = 0; ty < spec.height; ty += tile) {
                for (uint32_t tx = 0; tx < spec.width; tx += tile) {
                    std::fill(buffer.begin(), buffer.end(), 0);
                    for (uint32_t y = ty; y < std::min(ty + tile, spec.height); ++y) {
                        fillRow(row, y, 0);
                        const uint32_t columns = std::min(tile, spec.width - tx);
                        std::memcpy(&buffer[((y - ty) * tile) * pixelBytes], &row[tx * pixelBytes],
                                    columns * pixelBytes);
                    }
                    TIFFWriteTile(tif, buffer.data(), tx, ty, 0, 0);
                }
            }
        } else {
            if (spec.rowsPerStrip > 0) {
                TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, spec.rowsPerStrip);
            }
            const uint32_t planes = separate ? spec.samplesPerPixel : 1;
            for (uint32_t plane = 0; plane < planes; ++plane) {
                for (uint32_t y = 0; y < spec.height; ++y) {
                    fillRow(row, y, plane);
                    TIFFWriteScanline(tif, row.data(), y, static_cast<uint16_t>(plane));
                }
            }
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return file.bytes;
}

std::vector<uint32_t> ReadRgbaWithLibtiff(const ByteVector& bytes) {
    Silence silence;
    MemoryFile file{bytes, 0};
    TIFF* tif = file.Open("r");
    if (tif == nullptr) {
        return {};
    }
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    std::vector<uint32_t> pixels(size_t{w} * h);
    const int ok = TIFFReadRGBAImageOriented(tif, w, h, pixels.data(), ORIENTATION_TOPLEFT, 0);
    TIFFClose(tif);
    return ok ? pixels : std::vector<uint32_t>{};
}

uint32_t TagOf(const ByteVector& bytes, ttag_t tag) {
    MemoryFile file{bytes, 0};
    TIFF* tif = file.Open("r");
    if (tif == nullptr) {
        return 0;
    }
    uint32_t value = 0;
    const TIFFField* field = TIFFFieldWithTag(tif, tag);
    if (field != nullptr) {
        if (TIFFFieldDataType(field) == TIFF_SHORT) {
            uint16_t v16 = 0;
            if (TIFFGetField(tif, tag, &v16)) {
                value = v16;
            }
        } else {
            TIFFGetField(tif, tag, &value);
        }
    }
    TIFFClose(tif);
    return value;
}

float FloatTagOf(const ByteVector& bytes, ttag_t tag) {
    MemoryFile file{bytes, 0};
    TIFF* tif = file.Open("r");
    float value = 0;
    if (tif != nullptr) {
        TIFFGetField(tif, tag, &value);
        TIFFClose(tif);
    }
    return value;
}

bool HasTag(const ByteVector& bytes, ttag_t tag) {
    MemoryFile file{bytes, 0};
    TIFF* tif = file.Open("r");
    if (tif == nullptr) {
        return false;
    }
    // Asked for its raw presence: a defaulted tag does not count.
    float value = 0;
    uint16_t unit = 0;
    const bool present = tag == TIFFTAG_RESOLUTIONUNIT ? TIFFGetField(tif, tag, &unit) != 0
                                                       : TIFFGetField(tif, tag, &value) != 0;
    TIFFClose(tif);
    return present;
}

bool HasColorMap(const ByteVector& bytes) {
    MemoryFile file{bytes, 0};
    TIFF* tif = file.Open("r");
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    const bool has = tif != nullptr && TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b);
    if (tif != nullptr) {
        TIFFClose(tif);
    }
    return has;
}

void ReadWithCodec(CPluginHost* host, const ByteVector& file, CVImage& image, const SIZE* box,
                   CVProgress* progress, bool headerOnly) {
    MemoryStream stream(host, file.size() + 1, 4096);
    if (!file.empty()) {
        stream.Write(file.data(), file.size());
    }
    stream.Seek(0, CVStream::FromStart);
    std::unique_ptr<birch::TiffCodec> codec(new birch::TiffCodec(nullptr, host, nullptr));
    codec->ReadHeader(&image, &stream, box);
    if (!headerOnly) {
        codec->ReadPixels(progress);
    }
}

ByteVector WriteWithCodec(CPluginHost* host, const CVImage& image, int32_t choice,
                          CVProgress* progress) {
    const birch::TiffSettings settings{choice};
    MemoryStream stream(host, 4096, 4096);
    std::unique_ptr<birch::TiffCodec> codec(new birch::TiffCodec(nullptr, host, &settings));
    codec->BeginWrite(&image, nullptr);
    codec->Write(&stream, progress, nullptr);
    EXPECT_EQ(static_cast<size_t>(codec->GetWrittenSize()), stream.Length());
    return ByteVector(stream.Data(), stream.Data() + stream.Length());
}

uint32_t ColorAt(const CVImage& image, int x, int y) {
    const uint32_t v = PixelAt(image, x, y);
    if (image.BitCount() == 24) {
        return v;
    }
    const RGBQUAD& c = image.palette[v];
    return uint32_t{c.rgbRed} << 16 | uint32_t{c.rgbGreen} << 8 | c.rgbBlue;
}

uint32_t RgbOf(uint32_t abgr) {
    return (abgr & 0xFF) << 16 | (abgr & 0xFF00) | ((abgr >> 16) & 0xFF);
}

} // namespace pixmill::test
