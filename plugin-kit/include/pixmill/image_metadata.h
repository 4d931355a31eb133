// Checks and shapes shared by the readers and writers of picture metadata
// (ICC profiles and EXIF), so that every format hands the host the same
// thing and damaged metadata is recognised the same way everywhere.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixmill {

class CPluginHost;
class CVImage;

// The six bytes that precede EXIF in JPEG's APP1 segment and in some WebP
// and PNG files; the host's form of EXIF starts after them.
inline constexpr uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

// An ICC profile whose header agrees with its length and carries the
// profile signature, and whose tag table lies inside it.
bool IsSoundIccProfile(const uint8_t* data, size_t size);
// TIFF-structured EXIF whose byte order mark, first directory and its
// entries lie inside the bytes.
bool IsSoundExif(const uint8_t* data, size_t size);
// The EXIF bytes without a leading "Exif\0\0" when there is one.
void SkipExifHeader(const uint8_t*& data, size_t& size);

// Hands the host a profile or EXIF when it is sound (drops it otherwise).
void PutIccProfile(CPluginHost* host, const CVImage* image, const uint8_t* data, size_t size);
void PutExif(CPluginHost* host, const CVImage* image, const uint8_t* data, size_t size);

// What the host wants written beside image (empty when nothing).
struct MetadataBytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool Empty() const { return size == 0; }
};
MetadataBytes IccToWrite(CPluginHost* host, const CVImage* image);
MetadataBytes ExifToWrite(CPluginHost* host, const CVImage* image);

} // namespace pixmill
