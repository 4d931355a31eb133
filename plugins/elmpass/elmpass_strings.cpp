#include "elmpass_strings.h"

namespace pixmill::elmpass {

namespace {
const StringEntry kEntries[] = {
    {IdNameNegative, "Negative"},
    {IdNameSmooth, "Smooth"},
    {IdNameSharpen, "Sharpen"},
    {IdNameMedian, "Median"},
    {IdGroup, "Filter"},
    {IdMenuNegative, "&Negative"},
    {IdMenuSmooth, "&Smooth"},
    {IdMenuSharpen, "S&harpen"},
    {IdMenuMedian, "&Median"},
    {IdGroupMenu, "&Filter"},
    {IdDescriptionNegative, "Filter Image"},
    {IdDescriptionSmooth, "Filter Image"},
    {IdDescriptionSharpen, "Filter Image"},
    {IdDescriptionMedian, "Filter Image"},
    {IdCaptionSmooth, "Smoothing filter"},
    {IdCaptionSharpen, "Sharpen filter"},
    {IdNameDespeckle, "Despeckle"},
    {IdMenuDespeckle, "&Despeckle"},
    {IdDescriptionDespeckle, "Filter Image"},
    {IdCaptionDespeckle, "Despeckle filter"},
};
} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::elmpass
