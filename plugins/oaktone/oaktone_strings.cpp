#include "oaktone_strings.h"

namespace pixmill::oaktone {

namespace {
const StringEntry kEntries[] = {
    {IdNameTone, "Brightness-Contrast-Intensity"},
    {IdMenuTone, "&Brightness-Contrast-Intensity"},
    {IdNameGamma, "Gamma"},
    {IdMenuGamma, "&Gamma"},
    {IdGroup, "Adjust"},
    {IdGroupMenu, "&Adjust"},
    {IdDescriptionTone, "Adjust image colors"},
    {IdDescriptionGamma, "Adjust image colors"},
    {IdChannelAll, "All colors"},
    {IdChannelRed, "Red"},
    {IdChannelGreen, "Green"},
    {IdChannelBlue, "Blue"},
};
} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::oaktone
