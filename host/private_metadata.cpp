#include "host/private_metadata.h"

#include "host/image_metadata.h"
#include "pixmill/image_metadata.h"

#include <exiv2/exiv2.hpp>

#include <cstring>
#include <mutex>

namespace pixmill {

namespace {

// The editing library reports what it skips on stderr; a damaged block is
// handled here, so the messages go.
void QuietLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute); });
}

// The tags that name people or identify one camera body, lens or picture.
constexpr const char* kPrivateKeys[] = {
    "Exif.Image.Artist",           "Exif.Image.XPAuthor",
    "Exif.Image.CameraSerialNumber", "Exif.Photo.CameraOwnerName",
    "Exif.Photo.BodySerialNumber", "Exif.Photo.LensSerialNumber",
    "Exif.Photo.ImageUniqueID",    "Exif.Photo.MakerNote",
};

bool IsPrivate(const Exiv2::Exifdatum& datum, bool keepLocation) {
    const std::string group = datum.groupName();
    if (group == "GPSInfo" || datum.key() == "Exif.Image.GPSTag") {
        return !keepLocation;
    }
    // Maker notes are decoded into the maker's own groups.
    if (Exiv2::ExifTags::isMakerGroup(group) || group == "MakerNote") {
        return true;
    }
    // The embedded preview (the second directory and its JPEG) shows the
    // picture as the camera took it, before any crop or retouch, and only
    // adds bytes to a picture that is itself small.
    if (group == "Thumbnail") {
        return true;
    }
    for (const char* key : kPrivateKeys) {
        if (datum.key() == key) {
            return true;
        }
    }
    return false;
}

bool Decode(const std::vector<uint8_t>& exif, Exiv2::ExifData& data) {
    if (!IsSoundExif(exif.data(), exif.size())) {
        return false;
    }
    QuietLibrary();
    try {
        Exiv2::ExifParser::decode(data, exif.data(), exif.size());
        return true;
    } catch (const Exiv2::AnyError&) {
        return false;
    }
}

} // namespace

void RemovePrivateExif(std::vector<uint8_t>& exif, MetadataPrivacy privacy) {
    if (privacy == MetadataPrivacy::KeepAll || exif.empty()) {
        return;
    }
    Exiv2::ExifData data;
    if (!Decode(exif, data)) {
        exif.clear();
        return;
    }
    const bool keepLocation = privacy == MetadataPrivacy::KeepLocation;
    bool removed = false;
    for (auto it = data.begin(); it != data.end();) {
        if (IsPrivate(*it, keepLocation)) {
            it = data.erase(it);
            removed = true;
        } else {
            ++it;
        }
    }
    if (!removed) {
        return; // nothing private: the block stays byte for byte
    }
    try {
        Exiv2::Blob blob;
        // A new layout: every offset is written anew.
        Exiv2::ExifParser::encode(blob, exif[0] == 'I' ? Exiv2::littleEndian : Exiv2::bigEndian,
                                  data);
        exif.assign(blob.begin(), blob.end());
    } catch (const Exiv2::AnyError&) {
        exif.clear();
    }
    if (!exif.empty() && !IsSoundExif(exif.data(), exif.size())) {
        exif.clear();
    }
}

void RemovePrivateMetadata(ImageMetadata& metadata, MetadataPrivacy privacy) {
    RemovePrivateExif(metadata.exif, privacy);
}

bool ExifHasLocation(const std::vector<uint8_t>& exif) {
    Exiv2::ExifData data;
    if (!Decode(exif, data)) {
        return false;
    }
    for (const Exiv2::Exifdatum& datum : data) {
        if (datum.groupName() == "GPSInfo" && datum.key() != "Exif.GPSInfo.GPSVersionID") {
            return true;
        }
    }
    return false;
}

} // namespace pixmill
