#include "larchfmt_pane.h"

#include "larchfmt_strings.h"

namespace pixmill::larch {

namespace {
constexpr web::PaneControl kControls[] = {
    {web::PaneControl::Number, PngOptionsModel::Level, IdsLevel, IdLevelEdit, IdLevelSlider,
     kHelpLevel},
    {web::PaneControl::Check, PngOptionsModel::Interlace, IdsInterlace, IdInterlace, 0,
     kHelpInterlace},
};
} // namespace

const web::PaneTable kPngPane{&kStrings, IdsGroup, kControls};

} // namespace pixmill::larch
