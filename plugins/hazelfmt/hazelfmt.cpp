// hazelfmt: the GIF format library. One format object per library; it keeps
// the host and the stored settings, makes codecs and options panes.
#include "gif_codec.h"
#include "hazelfmt_pane.h"
#include "hazelfmt_settings.h"
#include "hazelfmt_strings.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/format_plugin.h"
#include "pixmill/help.h"
#include "pixmill/settings_binding.h"

#include <new>

namespace pixmill::hazel {

namespace {

class GifFormat final : public CFormatPlugin {
  public:
    // Every request for the format object reloads the stored settings; they
    // are saved when the library is unloaded.
    void Attach(CPluginHost* newHost) {
        host = newHost;
        binding.Bind(host, kGifSchema, settings);
    }

    const char* GetName(bool longForm) override {
        return LookupString(kStrings, longForm ? IdsLongName : IdsShortName);
    }
    const char* GetExtensions() override { return LookupString(kStrings, IdsExtensions); }
    uint16_t GetSignatureSize() override { return kGifSignatureSize; }
    bool Recognize(const uint8_t* bytes) override { return IsGifSignature(bytes); }
    int GetId() override { return 0; }
    CFormatCodec* CreateCodec() override {
        return new (std::nothrow) GifCodec(this, host, &settings);
    }
    uint16_t GetCapabilities() override { return CapOptionsPane | CapCanSave; }
    // Palette pictures only: the host converts others to 256 colours.
    uint16_t GetSaveModes() override {
        return KindBilevel | KindPaletted4 | KindGray8 | KindPaletted8;
    }
    bool CanSave(const CVImage* image) override { return image->BitCount() <= 8; }
    bool AcceptsKinds(const ImageKindSet* kinds) override { return kinds->special == 0; }
    CPluginPane* CreateOptionsPane(CPaneSite* site) override {
        return new GifOptionsPane(site, &settings);
    }
    void DestroyOptionsPane(CPluginPane* pane) override {
        delete static_cast<GifOptionsPane*>(pane);
    }
    void Help(QWidget*) override { OpenHelpPage(kHelpGif); }

  private:
    CPluginHost* host = nullptr;
    GifSettings settings{};
    CSettingsBinding binding; // after the block: saves it before it goes
};

GifFormat g_format;

} // namespace

} // namespace pixmill::hazel

PIXMILL_ENTRY int GetFormat(pixmill::CPluginHost* host, pixmill::CFormatPlugin** out) {
    pixmill::hazel::g_format.Attach(host);
    *out = &pixmill::hazel::g_format;
    return 1;
}

PIXMILL_ENTRY int GetSettingsSchema(const pixmill::SettingsBlockSchema** blocks) {
    *blocks = &pixmill::hazel::kGifSchema;
    return 1;
}
