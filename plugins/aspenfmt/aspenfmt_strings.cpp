// The texts of the AVIF format library.
#include "aspenfmt_strings.h"

namespace pixmill::aspen {

namespace {
constexpr StringEntry kEntries[] = {
    {IdsShortName, "AVIF"},     {IdsLongName, "AV1 Image File Format"},
    {IdsExtensions, "*.avif"},  {IdsGroup, "AVIF compression"},
    {IdsQuality, "&Quality :"}, {IdsSpeed, "&Speed :"},
};
} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::aspen
