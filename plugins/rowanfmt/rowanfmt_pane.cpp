#include "rowanfmt_pane.h"

#include "rowanfmt_strings.h"

namespace pixmill::rowan {

namespace {
const web::PaneControl kControls[] = {
    {web::PaneControl::Number, WebpOptionsModel::Quality, LookupString(kStrings, IdsQuality),
     IdQualityEdit, IdQualitySlider, kHelpQuality},
    {web::PaneControl::Number, WebpOptionsModel::Effort, LookupString(kStrings, IdsEffort),
     IdEffortEdit, IdEffortSlider, kHelpEffort},
    {web::PaneControl::Check, WebpOptionsModel::Lossless, LookupString(kStrings, IdsLossless),
     IdLossless, 0, kHelpLossless},
};
} // namespace

WebpOptionsPane::WebpOptionsPane(CPaneSite* site, WebpSettings* settings)
    : CTablePane(site, *settings, LookupString(kStrings, IdsGroup), kControls) {}

} // namespace pixmill::rowan
