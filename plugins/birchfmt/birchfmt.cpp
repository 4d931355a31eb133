// birchfmt: the TIFF format library. The format is described by data; the
// kit's table format object keeps the host and the stored settings and makes
// codecs and options panes from it.
#include "birchfmt_pane.h"
#include "birchfmt_settings.h"
#include "birchfmt_strings.h"
#include "tiff_codec.h"

#include "pixmill/entry_points.h"
#include "pixmill/format_table.h"

namespace pixmill::birch {

namespace {

// Either byte order mark.
bool IsTiffSignature(const uint8_t* bytes) {
    return (bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M');
}

constexpr FormatDescription<TiffSettings> kTiff{
    .format = {.strings = &kStrings,
               .name = IdsShortName,
               .longName = IdsLongName,
               .extensions = IdsExtensions,
               .signatureSize = 2,
               .recognize = IsTiffSignature,
               .id = 0,
               .capabilities = CapOptionsPane | CapCanSave,
               .saveModes = 0x3F,
               .canSave = nullptr,
               .acceptsKinds = nullptr,
               .helpTopic = kHelpTiff},
    .schemas = &kTiffSchema,
    .createCodec = MakeCodec<TiffCodec>,
    .createPane = MakePane<TiffOptionsPane>,
};

CTableFormatPlugin<TiffSettings> g_format(kTiff);

} // namespace

} // namespace pixmill::birch

PIXMILL_ENTRY int GetFormat(pixmill::CPluginHost* host, pixmill::CFormatPlugin** out) {
    return pixmill::birch::g_format.Attach(host, out);
}

PIXMILL_ENTRY int GetSettingsSchema(const pixmill::SettingsBlockSchema** blocks) {
    return pixmill::birch::g_format.Schemas(blocks);
}
