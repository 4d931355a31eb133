// rowanfmt: the WebP format library. The format is described by data; the
// kit's table format object keeps the host and the stored settings and makes
// codecs and options panes from it.
#include "rowanfmt_pane.h"
#include "rowanfmt_settings.h"
#include "rowanfmt_strings.h"
#include "webp_codec.h"

#include "pixmill/entry_points.h"
#include "pixmill/format_table.h"

#include <webp/decode.h>

#include <string>

namespace pixmill::rowan {

namespace {

// libwebp packs its version as 0xMMmmrr.
std::string WebpVersion() {
    const int packed = WebPGetDecoderVersion();
    return std::to_string((packed >> 16) & 0xff) + "." + std::to_string((packed >> 8) & 0xff) +
           "." + std::to_string(packed & 0xff);
}

constexpr FormatDescription<WebpSettings> kWebp{
    .format = {.strings = &kStrings,
               .name = IdsShortName,
               .longName = IdsLongName,
               .extensions = IdsExtensions,
               .signatureSize = kWebpSignatureSize,
               .recognize = IsWebpSignature,
               .id = 0,
               .capabilities = CapOptionsPane | CapCanSave | CapSavePreview,
               .saveModes = KindAll | KindRgba32,
               .canSave = nullptr,
               .acceptsKinds = nullptr,
               .helpTopic = kHelpWebp,
               .codecLibrary = "libwebp",
               .codecVersion = WebpVersion},
    .schemas = &kWebpSchema,
    .createCodec = MakeCodec<WebpCodec>,
    .createPane = web::MakeTablePane<WebpOptionsModel, kWebpPane>,
};

CTableFormatPlugin<WebpSettings> g_format(kWebp);

} // namespace

} // namespace pixmill::rowan

PIXMILL_FORMAT_ENTRY_POINTS(pixmill::rowan::g_format)
