#include "png_files.h"

#include <csetjmp>
#include <cstring>

namespace pixmill::test {

namespace {

struct Buffer {
    ByteVector bytes;
    size_t position = 0;
};

extern "C" void Append(png_structp png, png_bytep data, size_t n) {
    auto* b = static_cast<Buffer*>(png_get_io_ptr(png));
    b->bytes.insert(b->bytes.end(), data, data + n);
}
extern "C" void NoFlush(png_structp) {}
extern "C" void Take(png_structp png, png_bytep out, size_t n) {
    auto* b = static_cast<Buffer*>(png_get_io_ptr(png));
    if (b->bytes.size() - b->position < n) {
        png_error(png, "short");
    }
    std::memcpy(out, b->bytes.data() + b->position, n);
    b->position += n;
}
extern "C" void Quiet(png_structp, png_const_charp) {}

int Channels(int colorType) {
    switch (colorType) {
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    default:
        return 1;
    }
}

// Packs one row of samples the way the file holds them.
ByteVector PackRow(const PngSpec& spec, uint32_t y) {
    const int channels = Channels(spec.colorType);
    const size_t bits = static_cast<size_t>(spec.width) * channels * spec.bitDepth;
    ByteVector row((bits + 7) / 8, 0);
    size_t bit = 0;
    for (uint32_t x = 0; x < spec.width; ++x) {
        for (int c = 0; c < channels; ++c, bit += spec.bitDepth) {
            const uint32_t v = spec.sample(x, y, c);
            if (spec.bitDepth == 16) {
                row[bit / 8] = static_cast<uint8_t>(v >> 8);
                row[bit / 8 + 1] = static_cast<uint8_t>(v);
            } else if (spec.bitDepth == 8) {
                row[bit / 8] = static_cast<uint8_t>(v);
            } else {
                const int shift = 8 - spec.bitDepth - static_cast<int>(bit % 8);
                row[bit / 8] |= static_cast<uint8_t>((v & ((1u << spec.bitDepth) - 1)) << shift);
            }
        }
    }
    return row;
}

bool Write(const PngSpec& spec, Buffer& out, std::vector<png_bytep>& pointers) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Quiet);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, Append, NoFlush);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colorType,
                 spec.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty()) {
        png_set_PLTE(png, info, spec.palette.data(), static_cast<int>(spec.palette.size()));
    }
    if (!spec.alphas.empty()) {
        png_set_tRNS(png, info, spec.alphas.data(), static_cast<int>(spec.alphas.size()), nullptr);
    }
    if (spec.keyed) {
        png_set_tRNS(png, info, nullptr, 0, &spec.key);
    }
    if (spec.background) {
        png_set_bKGD(png, info, &spec.backgroundColor);
    }
    if (spec.xDensity > 0) {
        png_set_pHYs(png, info, spec.xDensity, spec.yDensity, PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    png_set_interlace_handling(png);
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

ByteVector MakePng(const PngSpec& spec) {
    std::vector<ByteVector> rows;
    std::vector<png_bytep> pointers;
    for (uint32_t y = 0; y < spec.height; ++y) {
        rows.push_back(PackRow(spec, y));
    }
    for (ByteVector& row : rows) {
        pointers.push_back(row.data());
    }
    Buffer out;
    return Write(spec, out, pointers) ? out.bytes : ByteVector{};
}

namespace {

bool ReadFacts(Buffer& in, PngFacts& facts) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Quiet);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &in, Take);
    png_read_info(png, info);
    png_get_IHDR(png, info, &facts.width, &facts.height, &facts.bitDepth, &facts.colorType,
                 &facts.interlace, nullptr, nullptr);
    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(png, info, &palette, &entries) != 0) {
        facts.palette.assign(palette, palette + entries);
    }
    png_bytep alpha = nullptr;
    int alphas = 0;
    png_color_16p key = nullptr;
    if (png_get_tRNS(png, info, &alpha, &alphas, &key) != 0) {
        if (facts.colorType == PNG_COLOR_TYPE_PALETTE) {
            facts.alphas.assign(alpha, alpha + alphas);
        } else if (key != nullptr) {
            facts.keyed = true;
            facts.key = *key;
        }
    }
    int unit = 0;
    png_get_pHYs(png, info, &facts.xDensity, &facts.yDensity, &unit);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool ReadRgba(Buffer& in, std::vector<uint32_t>& pixels, std::vector<uint8_t>& data,
              std::vector<png_bytep>& rows) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Quiet);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &in, Take);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_tRNS_to_alpha(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const uint32_t width = png_get_image_width(png, info);
    const uint32_t height = png_get_image_height(png, info);
    data.resize(static_cast<size_t>(width) * height * 4);
    rows.resize(height);
    for (uint32_t y = 0; y < height; ++y) {
        rows[y] = data.data() + static_cast<size_t>(y) * width * 4;
    }
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    pixels.resize(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint8_t* p = data.data() + 4 * i;
        pixels[i] = uint32_t{p[3]} << 24 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
    }
    return true;
}

} // namespace

PngFacts FactsOf(const ByteVector& file) {
    Buffer in{file, 0};
    PngFacts facts;
    if (!ReadFacts(in, facts)) {
        return PngFacts{};
    }
    return facts;
}

std::vector<uint32_t> DecodeWithLibpng(const ByteVector& file) {
    Buffer in{file, 0};
    std::vector<uint32_t> pixels;
    std::vector<uint8_t> data;
    std::vector<png_bytep> rows;
    if (!ReadRgba(in, pixels, data, rows)) {
        return {};
    }
    return pixels;
}

} // namespace pixmill::test
