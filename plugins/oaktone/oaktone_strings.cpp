#include "oaktone_strings.h"

namespace pixmill::oaktone {

namespace {
const StringEntry kEntries[] = {
    {IdChannelAll, "All colors"},
    {IdChannelRed, "Red"},
    {IdChannelGreen, "Green"},
    {IdChannelBlue, "Blue"},
};
} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::oaktone
