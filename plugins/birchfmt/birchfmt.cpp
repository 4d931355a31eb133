// birchfmt: the TIFF format library. The format is described by data; the
// kit's table format object keeps the host and the stored settings and makes
// codecs and options panes from it.
#include "birchfmt_pane.h"
#include "birchfmt_settings.h"
#include "birchfmt_strings.h"
#include "tiff_codec.h"

#include "pixmill/entry_points.h"
#include "pixmill/format_table.h"

#include <tiffio.h>

#include <string>

namespace pixmill::birch {

namespace {

// Either byte order mark.
bool IsTiffSignature(const uint8_t* bytes) {
    return (bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M');
}

// "LIBTIFF, Version 4.5.0\nCopyright ..." -> "4.5.0".
std::string TiffVersion() {
    std::string text = TIFFGetVersion();
    const size_t start = text.find("Version ");
    if (start == std::string::npos) {
        return text.substr(0, text.find('\n'));
    }
    text = text.substr(start + 8);
    return text.substr(0, text.find_first_of(" \n"));
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
               .saveModes = 0x3F | KindRgba32,
               .canSave = nullptr,
               .acceptsKinds = nullptr,
               .helpTopic = kHelpTiff,
               .codecLibrary = "libtiff",
               .codecVersion = TiffVersion},
    .schemas = &kTiffSchema,
    .createCodec = MakeCodec<TiffCodec>,
    .createPane = MakePane<TiffOptionsPane>,
};

CTableFormatPlugin<TiffSettings> g_format(kTiff);

} // namespace

} // namespace pixmill::birch

PIXMILL_FORMAT_ENTRY_POINTS(pixmill::birch::g_format)
