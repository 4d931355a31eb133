// Colours between ICC profiles, through Little CMS: a picture that carries
// a profile (an Adobe RGB photograph, a grey scan) is converted to sRGB
// wherever its pixels leave without that profile — thumbnails, galleries,
// stripped outputs, formats that hold no profile, the clipboard — so that
// browsers and other programs, which take untagged pixels for sRGB, show
// the colours the profile meant. Perceptual intent with black-point
// compensation, as other tools convert photographs for the web. Qt-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pixmill {

class CVImage;
struct ImageMetadata;

// Converts image's colours (24-bit pixels, or the palette of 1-, 4- and
// 8-bit pictures) from the profile to sRGB. False, the picture unchanged,
// when the profile cannot be read or does not describe RGB or grey pixels
// (a CMYK profile describes the file's ink values, which readers have
// already turned into RGB).
bool ConvertToSrgb(CVImage& image, const std::vector<uint8_t>& icc);

// Converts the picture to sRGB when its metadata carries a profile, and
// drops the profile (the pixels are sRGB now, which untagged pixels mean).
// A profile that cannot be used stays with the picture.
void ConvertMetadataToSrgb(CVImage& image, ImageMetadata& metadata);

// Converts the picture (24-bit pixels or the palette) between two profiles
// in place (empty: sRGB); the display's conversion, a picture's profile to
// the screen's. False when the source profile is not an RGB or grey one,
// the target not an RGB one, or either cannot be read.
bool ConvertBetween(CVImage& image, const std::vector<uint8_t>& from,
                    const std::vector<uint8_t>& to);

// The description a profile gives itself ("Adobe RGB (1998)"); empty when
// it has none or cannot be read.
std::string ProfileDescription(const std::vector<uint8_t>& icc);

} // namespace pixmill
