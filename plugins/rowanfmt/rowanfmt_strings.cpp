// The texts of the WebP format library.
#include "rowanfmt_strings.h"

namespace pixmill::rowan {

namespace {
constexpr StringEntry kEntries[] = {
    {IdsShortName, "WebP"},         {IdsLongName, "WebP image"}, {IdsExtensions, "*.webp"},
    {IdsGroup, "WebP compression"}, {IdsQuality, "&Quality :"},  {IdsEffort, "&Effort :"},
    {IdsLossless, "&Lossless"},
};
} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::rowan
