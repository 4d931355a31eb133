#include "rowanfmt_pane.h"

#include "rowanfmt_strings.h"

namespace pixmill::rowan {

namespace {
constexpr web::PaneControl kControls[] = {
    {web::PaneControl::Number, WebpOptionsModel::Quality, IdsQuality, IdQualityEdit,
     IdQualitySlider, kHelpQuality},
    {web::PaneControl::Number, WebpOptionsModel::Effort, IdsEffort, IdEffortEdit, IdEffortSlider,
     kHelpEffort},
    {web::PaneControl::Check, WebpOptionsModel::Lossless, IdsLossless, IdLossless, 0,
     kHelpLossless},
};
} // namespace

const web::PaneTable kWebpPane{&kStrings, IdsGroup, kControls};

} // namespace pixmill::rowan
