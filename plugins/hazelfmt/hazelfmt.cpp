// hazelfmt: the GIF format library. The format is described by data; the
// kit's table format object keeps the host and the stored settings and makes
// codecs and options panes from it.
#include "gif_codec.h"
#include "hazelfmt_pane.h"
#include "hazelfmt_settings.h"
#include "hazelfmt_strings.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/format_table.h"

namespace pixmill::hazel {

namespace {

// Palette pictures only: the host converts others to 256 colours.
bool CanSaveGif(const CVImage* image) {
    return image->BitCount() <= 8;
}

constexpr FormatDescription<GifSettings> kGif{
    .format = {.strings = &kStrings,
               .name = IdsShortName,
               .longName = IdsLongName,
               .extensions = IdsExtensions,
               .signatureSize = kGifSignatureSize,
               .recognize = IsGifSignature,
               .id = 0,
               .capabilities = CapOptionsPane | CapCanSave,
               .saveModes = KindBilevel | KindPaletted4 | KindGray8 | KindPaletted8,
               .canSave = CanSaveGif,
               .acceptsKinds = nullptr,
               .helpTopic = kHelpGif},
    .schemas = &kGifSchema,
    .createCodec = MakeCodec<GifCodec>,
    .createPane = MakePane<GifOptionsPane>,
};

CTableFormatPlugin<GifSettings> g_format(kGif);

} // namespace

} // namespace pixmill::hazel

PIXMILL_ENTRY int GetFormat(pixmill::CPluginHost* host, pixmill::CFormatPlugin** out) {
    return pixmill::hazel::g_format.Attach(host, out);
}

PIXMILL_ENTRY int GetSettingsSchema(const pixmill::SettingsBlockSchema** blocks) {
    return pixmill::hazel::g_format.Schemas(blocks);
}
