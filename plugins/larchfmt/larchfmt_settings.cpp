#include "larchfmt_settings.h"

#include <cstddef>

namespace pixmill::larch {

namespace {
const SettingsField kFields[] = {
    {"compressionLevel", offsetof(PngSettings, compressionLevel), FieldType::I32, 0, 9, 6,
     "deflate level of written files: 0 none .. 9 smallest"},
    {"interlace", offsetof(PngSettings, interlace), FieldType::U8, 0, 1, 0,
     "write interlaced (Adam7) files"},
};
} // namespace

const SettingsBlockSchema kPngSchema = {kSettingsName, sizeof(PngSettings), 3, kFields,
                                        sizeof(kFields) / sizeof(kFields[0])};

} // namespace pixmill::larch
