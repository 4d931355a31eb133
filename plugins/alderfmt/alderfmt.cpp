// alderfmt: the JPEG format plug-in. The format object, its settings blocks
// "JPEG_Parameters" and "JPEG_Target" and the exported entry points.
#include "alderfmt_pane.h"
#include "alderfmt_settings.h"
#include "alderfmt_strings.h"
#include "jpeg_codec.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/format_plugin.h"
#include "pixmill/help.h"
#include "pixmill/image_kind_set.h"
#include "pixmill/settings_binding.h"

#include <new>

using namespace pixmill;
using namespace pixmill::alder;

namespace {

// 8-bit pictures are stored as one grey component only when the palette is
// a full grey palette.
bool IsGreyPicture(const CVImage* image) {
    return image->BitCount() == 8 && image->paletteCount == 256 && image->IsGray();
}

class JpegFormat final : public CFormatPlugin {
  public:
    // Every request for the format object reloads the stored settings; they
    // are saved when the library is unloaded.
    void Load(CPluginHost* newHost) {
        host = newHost;
        binding.Bind(host, kJpegSchema, settings);
        targetBinding.Bind(host, kJpegTargetSchema, target);
    }

    const char* GetName(bool) override { return LookupString(kStrings, IdsName); }
    const char* GetExtensions() override { return LookupString(kStrings, IdsExtensions); }
    uint16_t GetSignatureSize() override { return 3; }
    bool Recognize(const uint8_t* bytes) override {
        return bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
    }
    int GetId() override { return 0; }
    CFormatCodec* CreateCodec() override {
        return new (std::nothrow) JpegCodec(this, host, &settings, &target);
    }
    uint16_t GetCapabilities() override {
        return CapFlag01 | CapOptionsPane | CapCanSave | CapSavePreview;
    }
    uint16_t GetSaveModes() override { return KindGray8 | KindRgb24; }
    bool CanSave(const CVImage* image) override {
        return image->BitCount() == 24 || IsGreyPicture(image);
    }
    bool AcceptsKinds(const ImageKindSet* kinds) override {
        return kinds->special == 0 && (kinds->kinds & (KindGray8 | KindRgb24)) != 0;
    }
    CPluginPane* CreateOptionsPane(CPaneSite* site) override {
        return new JpegOptionsPane(site, &settings, &target);
    }
    void DestroyOptionsPane(CPluginPane* pane) override {
        delete static_cast<JpegOptionsPane*>(pane);
    }
    void Help(QWidget*) override { OpenHelpPage(kHelpJpeg); }

  private:
    CPluginHost* host = nullptr;
    JpegSettings settings{};
    JpegTargetSettings target{};
    CSettingsBinding binding; // after the blocks: save them before they go
    CSettingsBinding targetBinding;
};

JpegFormat g_format;

} // namespace

PIXMILL_ENTRY int GetFormat(CPluginHost* host, CFormatPlugin** out) {
    g_format.Load(host);
    *out = &g_format;
    return 1;
}

PIXMILL_ENTRY int GetSettingsSchema(const SettingsBlockSchema** blocks) {
    *blocks = kJpegSchemas;
    return 2;
}
