#include "jpeg_metadata.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace pixmill {

namespace {
constexpr uint8_t kIccIdentifier[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
constexpr size_t kMaxSegmentPayload = 65533; // 65535 minus the length word

void AppendSegment(std::vector<uint8_t>& out, int marker, const uint8_t* head, size_t headSize,
                   const uint8_t* data, size_t size) {
    const size_t length = 2 + headSize + size;
    const size_t at = out.size();
    out.resize(at + 2 + length);
    uint8_t* p = out.data() + at;
    p[0] = 0xFF;
    p[1] = static_cast<uint8_t>(marker);
    p[2] = static_cast<uint8_t>(length >> 8);
    p[3] = static_cast<uint8_t>(length);
    std::memcpy(p + 4, head, headSize);
    std::memcpy(p + 4 + headSize, data, size);
}
} // namespace

void KeepMetadataMarkers(jpeg_decompress_struct& info) {
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
}

std::vector<uint8_t> JoinIccSegments(const std::vector<std::vector<uint8_t>>& payloads) {
    if (payloads.empty()) {
        return {};
    }
    const size_t count = payloads[0].size() >= 2 ? payloads[0][1] : 0;
    if (count == 0 || payloads.size() != count) {
        return {};
    }
    std::vector<const std::vector<uint8_t>*> bySequence(count, nullptr);
    for (const auto& payload : payloads) {
        if (payload.size() < 2 || payload[1] != count || payload[0] < 1 || payload[0] > count ||
            bySequence[payload[0] - 1] != nullptr) {
            return {};
        }
        bySequence[payload[0] - 1] = &payload;
    }
    std::vector<uint8_t> profile;
    for (const auto* payload : bySequence) {
        profile.insert(profile.end(), payload->begin() + 2, payload->end());
    }
    return profile;
}

std::vector<uint8_t> HandOverMetadata(const jpeg_decompress_struct& info, CPluginHost* host,
                                      const CVImage* image, bool storedAsInks) {
    std::vector<std::vector<uint8_t>> iccPayloads;
    bool exifHandedOver = false;
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker != nullptr;
         marker = marker->next) {
        const uint8_t* data = marker->data;
        const size_t size = marker->data_length;
        if (marker->marker == JPEG_APP0 + 2 && size >= sizeof kIccIdentifier &&
            std::memcmp(data, kIccIdentifier, sizeof kIccIdentifier) == 0) {
            iccPayloads.emplace_back(data + sizeof kIccIdentifier, data + size);
        } else if (marker->marker == JPEG_APP0 + 1 && !exifHandedOver &&
                   size > sizeof kExifHeader &&
                   std::memcmp(data, kExifHeader, sizeof kExifHeader) == 0) {
            PutExif(host, image, data, size); // the first EXIF segment counts
            exifHandedOver = true;
        }
    }
    std::vector<uint8_t> profile = JoinIccSegments(iccPayloads);
    if (!storedAsInks) {
        PutIccProfile(host, image, profile.data(), profile.size());
    }
    return profile;
}

std::vector<uint8_t> MetadataSegments(MetadataBytes icc, MetadataBytes exif) {
    std::vector<uint8_t> out;
    if (!exif.Empty() && exif.size <= kMaxSegmentPayload - sizeof kExifHeader) {
        AppendSegment(out, JPEG_APP0 + 1, kExifHeader, sizeof kExifHeader, exif.data, exif.size);
    }
    const size_t segments = (icc.size + kIccBytesPerSegment - 1) / kIccBytesPerSegment;
    if (!icc.Empty() && segments <= 255) {
        for (size_t i = 0; i < segments; ++i) {
            uint8_t head[sizeof kIccIdentifier + 2];
            std::memcpy(head, kIccIdentifier, sizeof kIccIdentifier);
            head[sizeof kIccIdentifier] = static_cast<uint8_t>(i + 1);
            head[sizeof kIccIdentifier + 1] = static_cast<uint8_t>(segments);
            const size_t offset = i * kIccBytesPerSegment;
            const size_t size = std::min(kIccBytesPerSegment, icc.size - offset);
            AppendSegment(out, JPEG_APP0 + 2, head, sizeof head, icc.data + offset, size);
        }
    }
    return out;
}

} // namespace pixmill
