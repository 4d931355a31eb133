#include "aspenfmt_pane.h"

#include "aspenfmt_strings.h"

namespace pixmill::aspen {

namespace {
constexpr web::PaneControl kControls[] = {
    {web::PaneControl::Number, AvifOptionsModel::Quality, IdsQuality, IdQualityEdit,
     IdQualitySlider, kHelpQuality},
    {web::PaneControl::Number, AvifOptionsModel::Speed, IdsSpeed, IdSpeedEdit, IdSpeedSlider,
     kHelpSpeed},
};
} // namespace

const web::PaneTable kAvifPane{&kStrings, IdsGroup, kControls};

} // namespace pixmill::aspen
