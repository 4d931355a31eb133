// larchfmt: the PNG format library. The format is described by data; the
// kit's table format object keeps the host and the stored settings and makes
// codecs and options panes from it.
#include "larchfmt_pane.h"
#include "larchfmt_settings.h"
#include "larchfmt_strings.h"
#include "png_codec.h"

#include "pixmill/entry_points.h"
#include "pixmill/format_table.h"

#include <cstring>

namespace pixmill::larch {

namespace {

bool IsPngSignature(const uint8_t* bytes) {
    return std::memcmp(bytes, kPngSignature, sizeof kPngSignature) == 0;
}

constexpr FormatDescription<PngSettings> kPng{
    .format = {.strings = &kStrings,
               .name = IdsShortName,
               .longName = IdsLongName,
               .extensions = IdsExtensions,
               .signatureSize = sizeof kPngSignature,
               .recognize = IsPngSignature,
               .id = 0,
               .capabilities = CapOptionsPane | CapCanSave,
               .saveModes = KindAll,
               .canSave = nullptr,
               .acceptsKinds = nullptr,
               .helpTopic = kHelpPng},
    .schemas = &kPngSchema,
    .createCodec = MakeCodec<PngCodec>,
    .createPane = MakePane<PngOptionsPane>,
};

CTableFormatPlugin<PngSettings> g_format(kPng);

} // namespace

} // namespace pixmill::larch

PIXMILL_ENTRY int GetFormat(pixmill::CPluginHost* host, pixmill::CFormatPlugin** out) {
    return pixmill::larch::g_format.Attach(host, out);
}

PIXMILL_ENTRY int GetSettingsSchema(const pixmill::SettingsBlockSchema** blocks) {
    return pixmill::larch::g_format.Schemas(blocks);
}
