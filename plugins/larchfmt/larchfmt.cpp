// larchfmt: the PNG format library. One format object per library; it keeps
// the host and the stored settings, makes codecs and options panes.
#include "larchfmt_pane.h"
#include "larchfmt_settings.h"
#include "larchfmt_strings.h"
#include "png_codec.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/format_plugin.h"
#include "pixmill/help.h"
#include "pixmill/settings_binding.h"

#include <cstring>
#include <new>

namespace pixmill::larch {

namespace {

class PngFormat final : public CFormatPlugin {
  public:
    // Every request for the format object reloads the stored settings; they
    // are saved when the library is unloaded.
    void Attach(CPluginHost* newHost) {
        host = newHost;
        binding.Bind(host, kPngSchema, settings);
    }

    const char* GetName(bool longForm) override {
        return LookupString(kStrings, longForm ? IdsLongName : IdsShortName);
    }
    const char* GetExtensions() override { return LookupString(kStrings, IdsExtensions); }
    uint16_t GetSignatureSize() override { return sizeof kPngSignature; }
    bool Recognize(const uint8_t* bytes) override {
        return std::memcmp(bytes, kPngSignature, sizeof kPngSignature) == 0;
    }
    int GetId() override { return 0; }
    CFormatCodec* CreateCodec() override {
        return new (std::nothrow) PngCodec(this, host, &settings);
    }
    uint16_t GetCapabilities() override { return CapOptionsPane | CapCanSave; }
    uint16_t GetSaveModes() override { return KindAll; }
    bool CanSave(const CVImage*) override { return true; }
    bool AcceptsKinds(const ImageKindSet* kinds) override { return kinds->special == 0; }
    CPluginPane* CreateOptionsPane(CPaneSite* site) override {
        return new PngOptionsPane(site, &settings);
    }
    void DestroyOptionsPane(CPluginPane* pane) override {
        delete static_cast<PngOptionsPane*>(pane);
    }
    void Help(QWidget*) override { OpenHelpPage(kHelpPng); }

  private:
    CPluginHost* host = nullptr;
    PngSettings settings{};
    CSettingsBinding binding; // after the block: saves it before it goes
};

PngFormat g_format;

} // namespace

} // namespace pixmill::larch

PIXMILL_ENTRY int GetFormat(pixmill::CPluginHost* host, pixmill::CFormatPlugin** out) {
    pixmill::larch::g_format.Attach(host);
    *out = &pixmill::larch::g_format;
    return 1;
}

PIXMILL_ENTRY int GetSettingsSchema(const pixmill::SettingsBlockSchema** blocks) {
    *blocks = &pixmill::larch::kPngSchema;
    return 1;
}
