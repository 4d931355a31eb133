#include "picture_size.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace pixmill::pagesmith {

namespace {

unsigned Big16(const uint8_t* p) {
    return unsigned{p[0]} << 8 | p[1];
}
unsigned Little16(const uint8_t* p) {
    return unsigned{p[1]} << 8 | p[0];
}
uint32_t Big32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
uint32_t Little24(const uint8_t* p) {
    return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

// JPEG: the first start-of-frame marker's lines and columns.
PictureSize JpegSize(std::ifstream& in) {
    in.seekg(2);
    uint8_t marker[4];
    while (in.read(reinterpret_cast<char*>(marker), 4)) {
        if (marker[0] != 0xFF) {
            return {};
        }
        if (marker[1] == 0xFF) { // fill byte
            in.seekg(-3, std::ios::cur);
            continue;
        }
        const unsigned length = Big16(marker + 2);
        const bool frame = marker[1] >= 0xC0 && marker[1] <= 0xCF && marker[1] != 0xC4 &&
                           marker[1] != 0xC8 && marker[1] != 0xCC;
        if (frame) {
            uint8_t header[5];
            if (!in.read(reinterpret_cast<char*>(header), 5)) {
                return {};
            }
            return {static_cast<int>(Big16(header + 3)), static_cast<int>(Big16(header + 1))};
        }
        if (length < 2) {
            return {};
        }
        in.seekg(length - 2, std::ios::cur);
    }
    return {};
}

} // namespace

PictureSize ReadPictureSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    uint8_t head[30] = {};
    if (!in.read(reinterpret_cast<char*>(head), sizeof head) && in.gcount() < 10) {
        return {};
    }
    in.clear();
    if (head[0] == 0xFF && head[1] == 0xD8) {
        return JpegSize(in);
    }
    if (std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0 && std::memcmp(head + 12, "IHDR", 4) == 0) {
        return {static_cast<int>(Big32(head + 16)), static_cast<int>(Big32(head + 20))};
    }
    if (std::memcmp(head, "GIF8", 4) == 0) {
        return {static_cast<int>(Little16(head + 6)), static_cast<int>(Little16(head + 8))};
    }
    if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0) {
        if (std::memcmp(head + 12, "VP8X", 4) == 0) {
            return {static_cast<int>(Little24(head + 24) + 1),
                    static_cast<int>(Little24(head + 27) + 1)};
        }
        if (std::memcmp(head + 12, "VP8L", 4) == 0 && head[20] == 0x2F) {
            const uint32_t bits = uint32_t{head[21]} | uint32_t{head[22]} << 8 |
                                  uint32_t{head[23]} << 16 | uint32_t{head[24]} << 24;
            return {static_cast<int>((bits & 0x3FFF) + 1),
                    static_cast<int>((bits >> 14 & 0x3FFF) + 1)};
        }
        if (std::memcmp(head + 12, "VP8 ", 4) == 0 && head[23] == 0x9D && head[24] == 0x01 &&
            head[25] == 0x2A) {
            return {static_cast<int>(Little16(head + 26) & 0x3FFF),
                    static_cast<int>(Little16(head + 28) & 0x3FFF)};
        }
    }
    return {};
}

} // namespace pixmill::pagesmith
