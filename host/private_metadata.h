// What a picture published on the web should not tell: where it was taken
// (the GPS directory), who took or owns it (artist and owner names), and
// which camera body and lens took it (serial numbers, the maker's notes,
// which hold serial numbers and owner names in makers' own layouts), nor
// the camera's embedded preview (the uncropped picture, in bytes a web
// picture does not need). Web output drops these from the EXIF it writes;
// the rest stays, rewritten as a valid EXIF block. Qt-free.
#pragma once

#include <cstdint>
#include <vector>

namespace pixmill {

struct ImageMetadata;

// How much of a picture's EXIF an output keeps.
enum class MetadataPrivacy {
    KeepAll,      // everything (the default of most outputs)
    WebSafe,      // without location, serial numbers, names, maker notes and preview
    KeepLocation, // web-safe, but the location stays (the user asked for it)
};

// Removes the private tags from exif (TIFF-structured). A block that cannot
// be read well enough to edit is removed whole rather than published as it
// is. KeepAll changes nothing.
void RemovePrivateExif(std::vector<uint8_t>& exif, MetadataPrivacy privacy);
// The same for a picture's metadata (the ICC profile is not private).
void RemovePrivateMetadata(ImageMetadata& metadata, MetadataPrivacy privacy);

// Whether the EXIF holds a GPS directory (for info).
bool ExifHasLocation(const std::vector<uint8_t>& exif);

} // namespace pixmill
