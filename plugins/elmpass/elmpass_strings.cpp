#include "elmpass_strings.h"

namespace pixmill::elmpass {

namespace {
const StringEntry kEntries[] = {
    {IdCaptionSmooth, "Smoothing filter"},
    {IdCaptionSharpen, "Sharpen filter"},
    {IdCaptionDespeckle, "Despeckle filter"},
};
} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::elmpass
