// The gallery's download of its full-size pictures: one zip archive holding
// the big pictures as they were written, so a visitor takes the whole set in
// one file. Pictures are already compressed, so the entries are stored as
// they are (no second compression that would gain nothing and cost time).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pixmill::pagesmith {

// A zip without its 64-bit extension: no entry, offset or archive past this.
inline constexpr uint64_t kZipLimit = 0xFFFFFFFFu;
inline constexpr size_t kZipEntryLimit = 0xFFFF;

// Writes `files` (full paths) into the archive `target`, each under its own
// file name (UTF-8), through a temporary file renamed over the target only
// when complete. Returns "" or what went wrong; nothing is left behind then.
// An archive that would pass 4 GiB or 65535 entries is refused.
std::string WritePictureZip(const std::string& target, const std::vector<std::string>& files);

// What the index links: the archive's name and size, nothing when there is
// no archive.
struct PictureDownload {
    std::string name; // file name beside the pages; "" when none
    uint64_t bytes = 0;
    // The link's text: "Download all pictures (ZIP, 12.4 MB)".
    std::string LinkText() const;
};

} // namespace pixmill::pagesmith
