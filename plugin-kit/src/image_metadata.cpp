#include "pixmill/image_metadata.h"

#include "pixmill/plugin_host.h"

#include <cstring>

namespace pixmill {

namespace {
uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Reads 16- and 32-bit numbers in the byte order an EXIF block declares.
struct TiffOrder {
    bool little;
    uint16_t U16(const uint8_t* p) const {
        return little ? static_cast<uint16_t>(p[0] | p[1] << 8)
                      : static_cast<uint16_t>(p[0] << 8 | p[1]);
    }
    uint32_t U32(const uint8_t* p) const {
        return little
                   ? (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0]
                   : BigEndian32(p);
    }
};
} // namespace

bool IsSoundIccProfile(const uint8_t* data, size_t size) {
    constexpr size_t kHeader = 128;
    if (data == nullptr || size < kHeader + 4 || BigEndian32(data) != size ||
        std::memcmp(data + 36, "acsp", 4) != 0) {
        return false;
    }
    const uint64_t tags = BigEndian32(data + kHeader);
    if (tags > (size - kHeader - 4) / 12) {
        return false;
    }
    for (uint64_t i = 0; i < tags; ++i) {
        const uint8_t* entry = data + kHeader + 4 + 12 * i;
        const uint64_t offset = BigEndian32(entry + 4);
        const uint64_t length = BigEndian32(entry + 8);
        if (offset + length > size) {
            return false;
        }
    }
    return true;
}

bool IsSoundExif(const uint8_t* data, size_t size) {
    if (data == nullptr || size < 8) {
        return false;
    }
    TiffOrder order{};
    if (data[0] == 'I' && data[1] == 'I') {
        order.little = true;
    } else if (data[0] != 'M' || data[1] != 'M') {
        return false;
    }
    if (order.U16(data + 2) != 42) {
        return false;
    }
    const uint64_t first = order.U32(data + 4);
    if (first < 8 || first + 2 > size) {
        return false;
    }
    const uint64_t count = order.U16(data + first);
    return first + 2 + 12 * count <= size;
}

void SkipExifHeader(const uint8_t*& data, size_t& size) {
    if (data != nullptr && size >= sizeof kExifHeader &&
        std::memcmp(data, kExifHeader, sizeof kExifHeader) == 0) {
        data += sizeof kExifHeader;
        size -= sizeof kExifHeader;
    }
}

void PutIccProfile(CPluginHost* host, const CVImage* image, const uint8_t* data, size_t size) {
    if (IsSoundIccProfile(data, size)) {
        host->PutImageMetadata(image, MetadataIcc, data, size);
    }
}

void PutExif(CPluginHost* host, const CVImage* image, const uint8_t* data, size_t size) {
    SkipExifHeader(data, size);
    if (IsSoundExif(data, size)) {
        host->PutImageMetadata(image, MetadataExif, data, size);
    }
}

MetadataBytes IccToWrite(CPluginHost* host, const CVImage* image) {
    MetadataBytes bytes;
    bytes.data = host->GetImageMetadata(image, MetadataIcc, &bytes.size);
    return bytes.data != nullptr ? bytes : MetadataBytes{};
}

MetadataBytes ExifToWrite(CPluginHost* host, const CVImage* image) {
    MetadataBytes bytes;
    bytes.data = host->GetImageMetadata(image, MetadataExif, &bytes.size);
    return bytes.data != nullptr ? bytes : MetadataBytes{};
}

} // namespace pixmill
