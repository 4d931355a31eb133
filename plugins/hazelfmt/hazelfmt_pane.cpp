#include "hazelfmt_pane.h"

#include "hazelfmt_strings.h"

namespace pixmill::hazel {

namespace {
const web::PaneControl kControls[] = {
    {web::PaneControl::Check, GifOptionsModel::Interlace, LookupString(kStrings, IdsInterlace),
     IdInterlace, 0, kHelpInterlace},
    {web::PaneControl::Check, GifOptionsModel::Transparent, LookupString(kStrings, IdsTransparent),
     IdTransparent, 0, kHelpTransparent},
};
} // namespace

GifOptionsPane::GifOptionsPane(CPaneSite* site, GifSettings* settings)
    : CTablePane(site, *settings, LookupString(kStrings, IdsGroup), kControls) {}

} // namespace pixmill::hazel
