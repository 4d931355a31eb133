#include "host/image_metadata.h"

#include "pixmill/image_metadata.h"

namespace pixmill {

namespace {
constexpr uint16_t kTagOrientation = 0x0112;
constexpr uint16_t kTagExifDirectory = 0x8769;
constexpr uint16_t kTagPixelWidth = 0xA002;
constexpr uint16_t kTagPixelHeight = 0xA003;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;

// One directory of a sound EXIF block, its entries edited in place.
class ExifDirectory {
  public:
    ExifDirectory(std::vector<uint8_t>& bytes, size_t offset) : bytes(bytes) {
        little = bytes[0] == 'I';
        if (offset >= 8 && offset + 2 <= bytes.size()) {
            const size_t count = Get(offset, 2);
            if (offset + 2 + 12 * count <= bytes.size()) {
                first = offset + 2;
                entries = count;
            }
        }
    }
    // The entry of tag with a single short or long value (npos when none).
    size_t Find(uint16_t tag) const {
        for (size_t i = 0; i < entries; ++i) {
            const size_t at = first + 12 * i;
            const uint32_t type = Get(at + 2, 2);
            if (Get(at, 2) == tag && Get(at + 4, 4) == 1 &&
                (type == kTypeShort || type == kTypeLong)) {
                return at;
            }
        }
        return npos;
    }
    uint32_t Value(size_t entry) const {
        return Get(entry + 8, Get(entry + 2, 2) == kTypeShort ? 2 : 4);
    }
    void SetValue(size_t entry, uint32_t value) {
        Put(entry + 8, value, Get(entry + 2, 2) == kTypeShort ? 2 : 4);
    }
    static constexpr size_t npos = static_cast<size_t>(-1);

  private:
    uint32_t Get(size_t at, int width) const {
        uint32_t value = 0;
        for (int i = 0; i < width; ++i) {
            const uint8_t byte = bytes[at + static_cast<size_t>(little ? width - 1 - i : i)];
            value = value << 8 | byte;
        }
        return value;
    }
    void Put(size_t at, uint32_t value, int width) {
        for (int i = 0; i < width; ++i) {
            const auto shift = 8 * (little ? i : width - 1 - i);
            bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> shift);
        }
    }

    std::vector<uint8_t>& bytes;
    bool little = false;
    size_t first = 0;
    size_t entries = 0;
};

size_t FirstDirectoryOffset(const std::vector<uint8_t>& exif) {
    const bool little = exif[0] == 'I';
    size_t offset = 0;
    for (int i = 0; i < 4; ++i) {
        offset = offset << 8 | exif[4 + static_cast<size_t>(little ? 3 - i : i)];
    }
    return offset;
}
} // namespace

void FollowPictureChange(ImageMetadata& metadata, int width, int height, bool reoriented) {
    if (metadata.exif.empty()) {
        return;
    }
    if (reoriented) {
        ResetExifOrientation(metadata.exif);
    }
    SetExifPixelSize(metadata.exif, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
}

int ExifOrientation(const std::vector<uint8_t>& exif) {
    if (!IsSoundExif(exif.data(), exif.size())) {
        return 0;
    }
    std::vector<uint8_t> bytes = exif;
    const ExifDirectory first(bytes, FirstDirectoryOffset(exif));
    const size_t entry = first.Find(kTagOrientation);
    return entry == ExifDirectory::npos ? 0 : static_cast<int>(first.Value(entry));
}

bool ResetExifOrientation(std::vector<uint8_t>& exif) {
    if (!IsSoundExif(exif.data(), exif.size())) {
        return false;
    }
    ExifDirectory first(exif, FirstDirectoryOffset(exif));
    const size_t entry = first.Find(kTagOrientation);
    if (entry != ExifDirectory::npos) {
        first.SetValue(entry, 1);
    }
    return true;
}

bool SetExifPixelSize(std::vector<uint8_t>& exif, uint32_t width, uint32_t height) {
    if (!IsSoundExif(exif.data(), exif.size())) {
        return false;
    }
    const ExifDirectory first(exif, FirstDirectoryOffset(exif));
    const size_t link = first.Find(kTagExifDirectory);
    if (link == ExifDirectory::npos) {
        return true;
    }
    ExifDirectory sub(exif, first.Value(link));
    for (const auto& [tag, value] : {std::pair{kTagPixelWidth, width}, {kTagPixelHeight, height}}) {
        const size_t entry = sub.Find(tag);
        if (entry != ExifDirectory::npos) {
            sub.SetValue(entry, value);
        }
    }
    return true;
}

} // namespace pixmill
