#include "hazelfmt_pane.h"

#include "hazelfmt_strings.h"

namespace pixmill::hazel {

namespace {
constexpr web::PaneControl kControls[] = {
    {web::PaneControl::Check, GifOptionsModel::Interlace, IdsInterlace, IdInterlace, 0,
     kHelpInterlace},
    {web::PaneControl::Check, GifOptionsModel::Transparent, IdsTransparent, IdTransparent, 0,
     kHelpTransparent},
};
} // namespace

const web::PaneTable kGifPane{&kStrings, IdsGroup, kControls};

} // namespace pixmill::hazel
