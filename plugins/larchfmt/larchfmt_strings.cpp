// The texts of the PNG format library.
#include "larchfmt_strings.h"

namespace pixmill::larch {

namespace {
constexpr StringEntry kEntries[] = {
    {IdsShortName, "PNG"},
    {IdsLongName, "Portable Network Graphics"},
    {IdsExtensions, "*.png"},
    {IdsGroup, "PNG options"},
    {IdsLevel, "Compression &level :"},
    {IdsInterlace, "&Interlaced"},
};
} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::larch
