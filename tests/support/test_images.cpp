#include "support/test_images.h"

#include "pixmill/packed_pixels.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace pixmill::test {

void FillRandom(CVImage& image, std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    const int bitCount = image.BitCount();
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            if (bitCount >= 24) {
                const int alpha = bitCount == kAlphaBitCount ? byte(random) : 0;
                SetPixelAt(image, x, y,
                           static_cast<uint32_t>(byte(random) | byte(random) << 8 |
                                                 byte(random) << 16) |
                               static_cast<uint32_t>(alpha) << 24);
            } else {
                const int limit = image.paletteCount > 0 ? image.paletteCount : (1 << bitCount);
                SetPixelAt(image, x, y, static_cast<uint32_t>(byte(random) % limit));
            }
        }
    }
}

void FillRandomPalette(CVImage& image, std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < image.paletteCount; ++i) {
        image.palette[i] =
            RGBQUAD{static_cast<uint8_t>(byte(random)), static_cast<uint8_t>(byte(random)),
                    static_cast<uint8_t>(byte(random)), 0};
    }
}

void SetGrayRamp(CVImage& image) {
    for (int i = 0; i < 256; ++i) {
        image.palette[i] =
            RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
    }
}

uint32_t PixelAt(const CVImage& image, int x, int y) {
    const uint8_t* row = image.Row(y);
    if (image.BitCount() == kAlphaBitCount) {
        const uint8_t* pixel = row + 4 * x;
        return uint32_t{pixel[0]} | uint32_t{pixel[1]} << 8 | uint32_t{pixel[2]} << 16 |
               uint32_t{pixel[3]} << 24;
    }
    return image.BitCount() == 24 ? GetPixel<24>(row, x)
                                  : static_cast<uint32_t>(GetIndex(row, x, image.BitCount()));
}

void SetPixelAt(CVImage& image, int x, int y, uint32_t value) {
    uint8_t* row = image.Row(y);
    if (image.BitCount() == kAlphaBitCount) {
        for (int i = 0; i < 4; ++i) {
            row[4 * x + i] = static_cast<uint8_t>(value >> (8 * i));
        }
    } else if (image.BitCount() == 24) {
        SetPixel<24>(row, x, value);
    } else {
        SetIndex(row, x, image.BitCount(), static_cast<int>(value));
    }
}

bool SamePixels(const CVImage& a, const CVImage& b, std::string* why) {
    auto fail = [&](const std::string& reason) {
        if (why != nullptr) {
            *why = reason;
        }
        return false;
    };
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.BitCount() != b.BitCount()) {
        std::ostringstream out;
        out << "size " << a.Width() << "x" << a.Height() << "x" << a.BitCount() << " vs "
            << b.Width() << "x" << b.Height() << "x" << b.BitCount();
        return fail(out.str());
    }
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            if (PixelAt(a, x, y) != PixelAt(b, x, y)) {
                std::ostringstream out;
                out << "pixel (" << x << ", " << y << "): " << std::hex << PixelAt(a, x, y)
                    << " vs " << PixelAt(b, x, y);
                return fail(out.str());
            }
        }
    }
    return true;
}

void DumpImage(const CVImage& image, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return;
    }
    std::fprintf(file, "P6\n%d %d\n255\n", image.Width(), image.Height());
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            uint32_t v = PixelAt(image, x, y);
            if (image.BitCount() <= 8) {
                const RGBQUAD& c = image.palette[v & 0xFF];
                v = static_cast<uint32_t>(c.rgbBlue) | c.rgbGreen << 8 | c.rgbRed << 16;
            }
            const unsigned char rgb[3] = {static_cast<unsigned char>(v >> 16),
                                          static_cast<unsigned char>(v >> 8),
                                          static_cast<unsigned char>(v)};
            std::fwrite(rgb, 1, 3, file);
        }
    }
    std::fclose(file);
}

std::string PngCheckProblems(const std::string& path) {
    // pngcheck is one of the test packages (scripts/install-deps.sh); a
    // missing one fails every check instead of passing it unseen.
    const std::string command = "pngcheck -q '" + path + "' 2>&1";
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return "pngcheck could not be started";
    }
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, got);
    }
    const int status = pclose(pipe);
    if (status != 0) {
        return out.empty() ? "pngcheck failed (is it installed?)" : out;
    }
    return {};
}

std::string PngCheckProblems(const std::vector<uint8_t>& file) {
    char name[] = "/tmp/pixmill-pngcheck-XXXXXX";
    const int descriptor = mkstemp(name);
    if (descriptor < 0) {
        return "no temporary file for pngcheck";
    }
    close(descriptor);
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    std::string problems = PngCheckProblems(std::string(name));
    std::remove(name);
    return problems;
}

std::vector<std::string> PngChunks(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::string> chunks;
    for (size_t at = 8; at + 8 <= bytes.size();) {
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        const size_t length = size_t{b[0]} << 24 | size_t{b[1]} << 16 | size_t{b[2]} << 8 | b[3];
        chunks.push_back(bytes.substr(at + 4, 4));
        at += 12 + length;
    }
    return chunks;
}

} // namespace pixmill::test
