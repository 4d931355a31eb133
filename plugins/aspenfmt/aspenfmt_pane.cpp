#include "aspenfmt_pane.h"

#include "aspenfmt_strings.h"

namespace pixmill::aspen {

namespace {
const web::PaneControl kControls[] = {
    {web::PaneControl::Number, AvifOptionsModel::Quality, LookupString(kStrings, IdsQuality),
     IdQualityEdit, IdQualitySlider, kHelpQuality},
    {web::PaneControl::Number, AvifOptionsModel::Speed, LookupString(kStrings, IdsSpeed),
     IdSpeedEdit, IdSpeedSlider, kHelpSpeed},
};
} // namespace

AvifOptionsPane::AvifOptionsPane(CPaneSite* site, AvifSettings* settings)
    : CTablePane(site, *settings, LookupString(kStrings, IdsGroup), kControls) {}

} // namespace pixmill::aspen
