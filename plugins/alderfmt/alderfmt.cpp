// alderfmt: the JPEG format plug-in. The format's description, with its
// settings blocks "JPEG_Parameters" and "JPEG_Target", and the exported entry
// points; the kit's table format object answers from the description.
#include "alderfmt_pane.h"
#include "alderfmt_settings.h"
#include "alderfmt_strings.h"
#include "jpeg_codec.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/format_table.h"
#include "pixmill/image_kind_set.h"

#include <cstdio>
#include <string>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

using namespace pixmill;
using namespace pixmill::alder;

namespace {

bool IsJpegSignature(const uint8_t* bytes) {
    return bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

// 8-bit pictures are stored as one grey component only when the palette is
// a full grey palette.
bool IsGreyPicture(const CVImage* image) {
    return image->BitCount() == 8 && image->paletteCount == 256 && image->IsGray();
}

bool CanSaveJpeg(const CVImage* image) {
    return image->BitCount() == 24 || IsGreyPicture(image);
}

bool AcceptsJpegKinds(const ImageKindSet* kinds) {
    return kinds->special == 0 && (kinds->kinds & (KindGray8 | KindRgb24)) != 0;
}

#define ALDER_TEXT(x) #x
#define ALDER_EXPAND_TEXT(x) ALDER_TEXT(x)

std::string JpegVersion() {
    return ALDER_EXPAND_TEXT(LIBJPEG_TURBO_VERSION);
}

constexpr FormatDescription<JpegSettings, JpegTargetSettings> kJpeg{
    .format = {.strings = &kStrings,
               .name = IdsName,
               .longName = IdsName,
               .extensions = IdsExtensions,
               .signatureSize = 3,
               .recognize = IsJpegSignature,
               .id = 0,
               .capabilities = CapFlag01 | CapOptionsPane | CapCanSave | CapSavePreview,
               .saveModes = KindGray8 | KindRgb24,
               .canSave = CanSaveJpeg,
               .acceptsKinds = AcceptsJpegKinds,
               .helpTopic = kHelpJpeg,
               .codecLibrary = "libjpeg-turbo",
               .codecVersion = JpegVersion},
    .schemas = kJpegSchemas,
    .createCodec = MakeCodec<JpegCodec>,
    .createPane = MakePane<JpegOptionsPane>,
};

CTableFormatPlugin<JpegSettings, JpegTargetSettings> g_format(kJpeg);

} // namespace

PIXMILL_FORMAT_ENTRY_POINTS(g_format)
