#include "aspenfmt_settings.h"

#include <algorithm>
#include <cstddef>

namespace pixmill::aspen {

namespace {
const SettingsField kFields[] = {
    {"quality", offsetof(AvifSettings, quality), FieldType::I32, 0, 100, 60,
     "quality: 0 smallest .. 100 best"},
    {"speed", offsetof(AvifSettings, speed), FieldType::I32, 0, 10, 6,
     "encoder speed: 0 slowest, smallest files .. 10 fastest"},
};
} // namespace

const SettingsBlockSchema kAvifSchema = {kSettingsName, sizeof(AvifSettings), 3, kFields,
                                         sizeof(kFields) / sizeof(kFields[0])};

int QuantizerOf(int quality) {
    return ((100 - std::clamp(quality, 0, 100)) * 63 + 50) / 100;
}

} // namespace pixmill::aspen
