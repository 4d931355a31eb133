#include "rowanfmt_settings.h"

#include <cstddef>

namespace pixmill::rowan {

namespace {
const SettingsField kFields[] = {
    {"quality", offsetof(WebpSettings, quality), FieldType::I32, 0, 100, 75,
     "lossy quality: 0 smallest .. 100 best"},
    {"effort", offsetof(WebpSettings, effort), FieldType::I32, 0, 6, 4,
     "encoder effort: 0 fastest .. 6 smallest files"},
    {"lossless", offsetof(WebpSettings, lossless), FieldType::U8, 0, 1, 0, "write lossless files"},
};
} // namespace

const SettingsBlockSchema kWebpSchema = {kSettingsName, sizeof(WebpSettings), 3, kFields,
                                         sizeof(kFields) / sizeof(kFields[0])};

} // namespace pixmill::rowan
