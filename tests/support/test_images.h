// Image builders and comparisons for tests.
#pragma once

#include "pixmill/cv_image.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace pixmill::test {

// Fills every pixel (and the padding) with random bytes; for paletted images
// pixel values stay below paletteCount.
void FillRandom(CVImage& image, std::mt19937& random);
// Gives every palette entry (up to paletteCount) a random colour.
void FillRandomPalette(CVImage& image, std::mt19937& random);
// Sets a 256-entry grey ramp palette.
void SetGrayRamp(CVImage& image);
// Pixel value at (x, y), y from the top: the palette index, 0xRRGGBB, or
// 0xAARRGGBB for a picture with an alpha plane.
uint32_t PixelAt(const CVImage& image, int x, int y);
void SetPixelAt(CVImage& image, int x, int y, uint32_t value);
// True when both images have the same size, depth and pixels (padding ignored).
bool SamePixels(const CVImage& a, const CVImage& b, std::string* why = nullptr);
// Writes the image as a binary PPM/PGM-like dump for looking at failures.
void DumpImage(const CVImage& image, const std::string& path);
// What pngcheck says against the PNG file at path: "" when it finds the file
// valid (every chunk in its place, none repeated that must not be, every
// checksum right), else its report.
std::string PngCheckProblems(const std::string& path);
// The same for a PNG file held in memory.
std::string PngCheckProblems(const std::vector<uint8_t>& file);
// The chunk types of the PNG file at path in file order ("IHDR", "eXIf", ...).
std::vector<std::string> PngChunks(const std::string& path);

} // namespace pixmill::test
