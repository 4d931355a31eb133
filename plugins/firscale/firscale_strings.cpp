#include "firscale_strings.h"

namespace pixmill::firscale {

namespace {
constexpr StringEntry kEntries[] = {
    {kStrName, "Resample"},
    {kStrMenuName, "&Resample"},
    {kStrDescription, "Resample the current image"},
};
} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::firscale
