#include "larchfmt_pane.h"

#include "larchfmt_strings.h"

namespace pixmill::larch {

namespace {
const web::PaneControl kControls[] = {
    {web::PaneControl::Number, PngOptionsModel::Level, LookupString(kStrings, IdsLevel),
     IdLevelEdit, IdLevelSlider, kHelpLevel},
    {web::PaneControl::Check, PngOptionsModel::Interlace, LookupString(kStrings, IdsInterlace),
     IdInterlace, 0, kHelpInterlace},
};
} // namespace

PngOptionsPane::PngOptionsPane(CPaneSite* site, PngSettings* settings)
    : CTablePane(site, *settings, LookupString(kStrings, IdsGroup), kControls) {}

} // namespace pixmill::larch
