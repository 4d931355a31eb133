// The texts of the GIF format library.
#include "hazelfmt_strings.h"

namespace pixmill::hazel {

namespace {
constexpr StringEntry kEntries[] = {
    {IdsShortName, "GIF"},         {IdsLongName, "Graphics Interchange Format"},
    {IdsExtensions, "*.gif"},      {IdsGroup, "GIF options"},
    {IdsInterlace, "&Interlaced"}, {IdsTransparent, "&Transparent colour"},
};
} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::hazel
