// The stored settings of the GIF format: interlacing and whether the
// image's transparent colour is written.
#pragma once

#include "pixmill/settings_schema.h"

#include <cstdint>

namespace pixmill::hazel {

#pragma pack(push, 1)
struct GifSettings {
    uint8_t interlace;   // rows in four passes
    uint8_t transparent; // the image's transparent colour marked in the file
    uint8_t reserved[2];
};
#pragma pack(pop)
static_assert(sizeof(GifSettings) == 4);

inline constexpr const char* kSettingsName = "GIF_Parameters";
extern const SettingsBlockSchema kGifSchema;

} // namespace pixmill::hazel
