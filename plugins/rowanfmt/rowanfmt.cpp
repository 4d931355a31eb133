// rowanfmt: the WebP format library. The format is described by data; the
// kit's table format object keeps the host and the stored settings and makes
// codecs and options panes from it.
#include "rowanfmt_pane.h"
#include "rowanfmt_settings.h"
#include "rowanfmt_strings.h"
#include "webp_codec.h"

#include "pixmill/entry_points.h"
#include "pixmill/format_table.h"

namespace pixmill::rowan {

namespace {

constexpr FormatDescription<WebpSettings> kWebp{
    .format = {.strings = &kStrings,
               .name = IdsShortName,
               .longName = IdsLongName,
               .extensions = IdsExtensions,
               .signatureSize = kWebpSignatureSize,
               .recognize = IsWebpSignature,
               .id = 0,
               .capabilities = CapOptionsPane | CapCanSave | CapSavePreview,
               .saveModes = KindAll,
               .canSave = nullptr,
               .acceptsKinds = nullptr,
               .helpTopic = kHelpWebp},
    .schemas = &kWebpSchema,
    .createCodec = MakeCodec<WebpCodec>,
    .createPane = MakePane<WebpOptionsPane>,
};

CTableFormatPlugin<WebpSettings> g_format(kWebp);

} // namespace

} // namespace pixmill::rowan

PIXMILL_ENTRY int GetFormat(pixmill::CPluginHost* host, pixmill::CFormatPlugin** out) {
    return pixmill::rowan::g_format.Attach(host, out);
}

PIXMILL_ENTRY int GetSettingsSchema(const pixmill::SettingsBlockSchema** blocks) {
    return pixmill::rowan::g_format.Schemas(blocks);
}
