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

#include <gif_lib.h>

#include <string>

namespace pixmill::hazel {

namespace {

// Palette pictures only: the host converts others to 256 colours.
bool CanSaveGif(const CVImage* image) {
    return image->BitCount() <= 8;
}

std::string GiflibVersion() {
    return std::to_string(GIFLIB_MAJOR) + "." + std::to_string(GIFLIB_MINOR) + "." +
           std::to_string(GIFLIB_RELEASE);
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
               .helpTopic = kHelpGif,
               .codecLibrary = "giflib",
               .codecVersion = GiflibVersion},
    .schemas = &kGifSchema,
    .createCodec = MakeCodec<GifCodec>,
    .createPane = web::MakeTablePane<GifOptionsModel, kGifPane>,
};

CTableFormatPlugin<GifSettings> g_format(kGif);

} // namespace

} // namespace pixmill::hazel

PIXMILL_FORMAT_ENTRY_POINTS(pixmill::hazel::g_format)
