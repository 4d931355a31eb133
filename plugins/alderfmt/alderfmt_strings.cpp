#include "alderfmt_strings.h"

namespace pixmill::alder {

namespace {

const StringEntry kEntries[] = {
    {IdsName, "JPEG"},
    {IdsExtensions, "*.jpg;*.jif;*.jpeg;*.jfif;*.jpe"},
    {IdsGroup, "JPEG compression parameters"},
    {IdsScale, "High quality...................................Low quality"},
    {IdsLuminance, "&Luminance :"},
    {IdsNumbers, "0         50        100        150        200         255"},
    {IdsChrominance, "Ch&rominance :"},
    {IdsProgressive, "Pro&gressive"},
    {IdsSmoothing, "&Block smoothing"},
    {IdsLock, "Lock &sliders"},
    {IdsSharpen, "Sharpe&n :"},
    {IdsTargetBytes, "Largest &file (bytes, 0 any size) :"},
    {IdsWeb, "&Web encoding (more detail per byte)"},
};

} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::alder
