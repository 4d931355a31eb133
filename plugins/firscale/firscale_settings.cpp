#include "firscale_settings.h"

#include <cstddef>

namespace pixmill::firscale {

namespace {
const SettingsField kFields[] = {
    {"width", offsetof(ResampleSettings, width), FieldType::I32, 1, 32767, 100,
     "target width in pixels"},
    {"height", offsetof(ResampleSettings, height), FieldType::I32, 1, 32767, 100,
     "target height in pixels"},
    {"keepAspect", offsetof(ResampleSettings, keepAspect), FieldType::Bool, 0, 1, 1,
     "fit inside width x height keeping the aspect ratio"},
    {"filter", offsetof(ResampleSettings, filter), FieldType::U8, 0, 1, 1,
     "1 high quality (Lanczos-3: no moire, sharp edges), 0 area average"},
};
} // namespace

const SettingsBlockSchema kResampleSchema = {"Resample", sizeof(ResampleSettings), 3, kFields,
                                             sizeof kFields / sizeof kFields[0]};

} // namespace pixmill::firscale
