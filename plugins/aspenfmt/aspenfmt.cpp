// aspenfmt: the AVIF format library. The format is described by data; the
// kit's table format object keeps the host and the stored settings and makes
// codecs and options panes from it.
#include "aspenfmt_pane.h"
#include "aspenfmt_settings.h"
#include "aspenfmt_strings.h"
#include "avif_codec.h"

#include "pixmill/entry_points.h"
#include "pixmill/format_table.h"

#include <avif/avif.h>

#include <string>

namespace pixmill::aspen {

namespace {

std::string AvifVersion() {
    return avifVersion();
}

constexpr FormatDescription<AvifSettings> kAvif{
    .format = {.strings = &kStrings,
               .name = IdsShortName,
               .longName = IdsLongName,
               .extensions = IdsExtensions,
               .signatureSize = kAvifSignatureSize,
               .recognize = IsAvifSignature,
               .id = 0,
               .capabilities = CapOptionsPane | CapCanSave | CapSavePreview,
               .saveModes = KindAll | KindRgba32,
               .canSave = nullptr,
               .acceptsKinds = nullptr,
               .helpTopic = kHelpAvif,
               .codecLibrary = "libavif",
               .codecVersion = AvifVersion},
    .schemas = &kAvifSchema,
    .createCodec = MakeCodec<AvifCodec>,
    .createPane = web::MakeTablePane<AvifOptionsModel, kAvifPane>,
};

CTableFormatPlugin<AvifSettings> g_format(kAvif);

} // namespace

} // namespace pixmill::aspen

PIXMILL_FORMAT_ENTRY_POINTS(pixmill::aspen::g_format)
