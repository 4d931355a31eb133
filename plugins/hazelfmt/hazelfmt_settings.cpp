#include "hazelfmt_settings.h"

#include <cstddef>

namespace pixmill::hazel {

namespace {
const SettingsField kFields[] = {
    {"interlace", offsetof(GifSettings, interlace), FieldType::U8, 0, 1, 0,
     "write interlaced files"},
    {"transparent", offsetof(GifSettings, transparent), FieldType::U8, 0, 1, 1,
     "mark the image's transparent colour in written files"},
};
} // namespace

const SettingsBlockSchema kGifSchema = {kSettingsName, sizeof(GifSettings), 3, kFields,
                                        sizeof(kFields) / sizeof(kFields[0])};

} // namespace pixmill::hazel
