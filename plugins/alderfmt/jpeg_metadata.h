// ICC profiles and EXIF in JPEG files: the profile in APP2 "ICC_PROFILE"
// segments (split over as many as it needs, each numbered), EXIF in one APP1
// "Exif" segment.
#pragma once

#include "pixmill/image_metadata.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct jpeg_decompress_struct;

namespace pixmill {

class CPluginHost;
class CVImage;

// The profile bytes one APP2 segment holds at most (65535 minus the length
// word and the 14-byte identifier with the segment's number and count).
constexpr size_t kIccBytesPerSegment = 65519;

// The markers to keep while reading the header (before jpeg_read_header).
void KeepMetadataMarkers(jpeg_decompress_struct& info);
// Hands the host the profile and EXIF found in the kept markers; a profile
// with missing, repeated or inconsistent segments is dropped. Returns the
// profile. A picture stored as inks keeps its profile back: the reader turns
// the inks into sRGB, which the CMYK profile does not describe.
std::vector<uint8_t> HandOverMetadata(const jpeg_decompress_struct& info, CPluginHost* host,
                                      const CVImage* image, bool storedAsInks);

// Joins APP2 segment payloads (each after its identifier: number, count,
// bytes); empty when the segments do not make one whole profile.
std::vector<uint8_t> JoinIccSegments(const std::vector<std::vector<uint8_t>>& payloads);

// The segments (marker, length and payload) that carry icc and exif; a
// profile too large for 255 segments or EXIF too large for one is left out.
std::vector<uint8_t> MetadataSegments(MetadataBytes icc, MetadataBytes exif);

} // namespace pixmill
