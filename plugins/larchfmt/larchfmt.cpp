// larchfmt: the PNG format library. The format is described by data; the
// kit's table format object keeps the host and the stored settings and makes
// codecs and options panes from it.
#include "larchfmt_pane.h"
#include "larchfmt_settings.h"
#include "larchfmt_strings.h"
#include "png_codec.h"

#include "pixmill/entry_points.h"
#include "pixmill/format_table.h"

#include <png.h>

#include <cstring>
#include <string>

namespace pixmill::larch {

namespace {

bool IsPngSignature(const uint8_t* bytes) {
    return std::memcmp(bytes, kPngSignature, sizeof kPngSignature) == 0;
}

std::string PngVersion() {
    return png_get_libpng_ver(nullptr);
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
               .saveModes = KindAll | KindRgba32,
               .canSave = nullptr,
               .acceptsKinds = nullptr,
               .helpTopic = kHelpPng,
               .codecLibrary = "libpng",
               .codecVersion = PngVersion},
    .schemas = &kPngSchema,
    .createCodec = MakeCodec<PngCodec>,
    .createPane = web::MakeTablePane<PngOptionsModel, kPngPane>,
};

CTableFormatPlugin<PngSettings> g_format(kPng);

} // namespace

} // namespace pixmill::larch

PIXMILL_FORMAT_ENTRY_POINTS(pixmill::larch::g_format)
