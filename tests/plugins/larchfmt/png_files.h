// PNG files for the tests, made and judged with libpng's own low-level API.
#pragma once

#include "web_test_support.h"

#include <png.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace pixmill::test {

// A picture to write with libpng. sample(x, y, c) gives channel c of pixel
// (x, y) as a value of bitDepth bits (palette pictures: the index).
struct PngSpec {
    uint32_t width = 13;
    uint32_t height = 9;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlace = false;
    std::vector<png_color> palette;
    std::vector<uint8_t> alphas; // tRNS of a palette picture
    bool keyed = false;          // tRNS of a grey or colour picture
    png_color_16 key{};
    bool background = false; // bKGD
    png_color_16 backgroundColor{};
    uint32_t xDensity = 0, yDensity = 0; // pHYs in dots per metre
    std::function<uint32_t(uint32_t x, uint32_t y, uint32_t c)> sample;
};

ByteVector MakePng(const PngSpec& spec);

// What libpng finds in a file's header.
struct PngFacts {
    uint32_t width = 0, height = 0;
    int colorType = -1, bitDepth = 0, interlace = 0;
    std::vector<png_color> palette;
    std::vector<uint8_t> alphas;
    bool keyed = false;
    png_color_16 key{};
    uint32_t xDensity = 0, yDensity = 0;
};
PngFacts FactsOf(const ByteVector& file);

// libpng's reading expanded to 8-bit red, green, blue, alpha: 0xAARRGGBB per
// pixel, top row first. Empty when libpng refuses the file.
std::vector<uint32_t> DecodeWithLibpng(const ByteVector& file);

} // namespace pixmill::test
