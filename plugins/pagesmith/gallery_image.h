// One picture of a gallery as the destination collected it during the run:
// what every page set and the parts of a sharded run are made from.
#pragma once

#include <string>
#include <vector>

namespace pixmill::pagesmith {

// The picture written at one of the further widths the modern pages offer.
struct SizedPicture {
    std::string file; // full path
    int width = 0, height = 0;
    bool operator==(const SizedPicture&) const = default;
};

// One picture of the run.
struct GalleryImage {
    std::string itemName;
    std::string bigFile;       // full path
    std::string thumbnailFile; // full path, empty when there is none
    bool bigPresent = false;
    int width = 0, height = 0;
    std::string thumbnailTitle, zoomTitle;
    // What the picture shows (its caption) and a longer text; both may be empty.
    std::string caption, description;
    long long order = 0; // the picture's place in the whole run (a sharded run's parts)
    // The big picture in the run's further output formats (full paths).
    std::vector<std::string> otherFiles;
    // The picture at the profile's further widths, in every output format,
    // narrowest first per format; the full-size files are width x height.
    std::vector<SizedPicture> sizedFiles;
    // The thumbnail at twice its pixels for sharp screens (full path; empty
    // when there is none).
    std::string doubleThumbnailFile;
};

} // namespace pixmill::pagesmith
