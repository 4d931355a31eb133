// ImageMetadata: the ICC profile and EXIF of a picture, kept by the host
// beside the image record (which has no place for them). The document owns
// the one of its picture; readers fill it and writers take it only through
// a MetadataBinding, which ties it to the one record being read or written.
#pragma once

#include <cstdint>
#include <vector>

namespace pixmill {

class HostServices;
class CVImage;

struct ImageMetadata {
    std::vector<uint8_t> icc;
    std::vector<uint8_t> exif; // TIFF-structured, without "Exif\0\0"

    bool Empty() const { return icc.empty() && exif.empty(); }
    void Clear() {
        icc.clear();
        exif.clear();
    }
    bool operator==(const ImageMetadata&) const = default;
};

// While it lives, the host hands image's reader's metadata to record or
// answers image's writer from it. A read that starts clears record first; a
// read that continues (pixels after the header) adds to it. A null record
// binds nothing: what a reader hands over is dropped, a writer gets none.
// (Defined in host_services.cpp, beside the host's own binding.)
class MetadataBinding {
  public:
    enum Use { ReadAnew, ReadOn };
    // The host is image's own (the program's HostServices).
    MetadataBinding(const CVImage& image, ImageMetadata* record, Use use);
    // For a write: the writer reads record, nothing is added to it.
    MetadataBinding(const CVImage& image, const ImageMetadata* record);
    ~MetadataBinding();
    MetadataBinding(const MetadataBinding&) = delete;
    MetadataBinding& operator=(const MetadataBinding&) = delete;

  private:
    void Bind(ImageMetadata* record, bool fillable);

    HostServices* host = nullptr;
    const CVImage* image;
};

// After the picture was turned or flipped into its upright position, the
// orientation tag (when present) says so: 1. False when EXIF is not sound.
bool ResetExifOrientation(std::vector<uint8_t>& exif);
// Writes the picture's size into the pixel-dimension tags of the EXIF
// sub-directory where they are present (short or long values; pictures are
// at most 65535 pixels a side, so either holds the size).
bool SetExifPixelSize(std::vector<uint8_t>& exif, uint32_t width, uint32_t height);
// What the metadata says after an operation changed the picture to width x
// height: the profile still describes the colours, so it stays; EXIF stays
// too, but a turned or flipped picture (reoriented) is upright now
// (orientation 1) and the pixel dimensions are the new ones.
void FollowPictureChange(ImageMetadata& metadata, int width, int height, bool reoriented);
// The orientation tag's value (0 when absent or unreadable).
int ExifOrientation(const std::vector<uint8_t>& exif);

} // namespace pixmill
