// What a written picture carries of its source's ICC profile and EXIF, the
// same rule for the document's saves, convert and the batch engine's main
// images: the profile goes with the pixels where the format holds one;
// where it does not (GIF), where the output is stripped, or where the user
// asked for sRGB, the pixels are converted to sRGB instead, so that no
// picture leaves with colours that only its dropped profile explains. Web
// output also leaves the private EXIF tags out. Qt-free.
#pragma once

#include "host/image_metadata.h"
#include "host/private_metadata.h"

namespace pixmill {

class CFormatPlugin;
class CVImage;

struct OutputMetadataPolicy {
    bool strip = false;  // no profile and no EXIF (--strip)
    bool toSrgb = false; // sRGB pixels, no profile (--to-srgb)
    MetadataPrivacy privacy = MetadataPrivacy::KeepAll; // --web-safe, the gallery
};

// Whether files of the format carry an ICC profile (JPEG, PNG, TIFF, WebP,
// AVIF).
bool FormatHoldsProfile(CFormatPlugin* format);

// The metadata to write with picture into a file of format. When the
// colours must be converted, picture becomes a converted copy (the pixels
// it shared with others stay as they were).
ImageMetadata MetadataForOutput(CVImage& picture, const ImageMetadata& metadata,
                                CFormatPlugin* format, const OutputMetadataPolicy& policy);

} // namespace pixmill
