// Out-of-line destructors and small helpers of the contract's interfaces.
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/image_kind_set.h"
#include "pixmill/pane.h"
#include "pixmill/plugin_host.h"
#include "pixmill/stream.h"

namespace pixmill {

CPluginHost::~CPluginHost() = default;

void CPluginHost::RaiseImageErrorDetail(int code, const char* detail) {
    throw CVImageError(code, detail);
}

bool CPluginHost::LoadSettingsText(const char*, char* buffer, size_t capacity) {
    if (capacity > 0) {
        buffer[0] = '\0';
    }
    return false;
}
CVStream::~CVStream() = default;
CFormatCodec::~CFormatCodec() = default;
CPluginPane::~CPluginPane() = default;

uint16_t KindOf(const CVImage& image) {
    switch (image.header.biBitCount) {
    case 1:
        return KindBilevel;
    case 4:
        return KindPaletted4;
    case 8:
        return image.IsGray() ? KindGray8 : KindPaletted8;
    case kAlphaBitCount:
        return KindRgba32;
    default:
        return KindRgb24;
    }
}

} // namespace pixmill
