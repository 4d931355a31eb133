// aspenfmt: the AVIF format library. One format object per library; it keeps
// the host and the stored settings, makes codecs and options panes.
#include "aspenfmt_pane.h"
#include "aspenfmt_settings.h"
#include "aspenfmt_strings.h"
#include "avif_codec.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/format_plugin.h"
#include "pixmill/help.h"
#include "pixmill/settings_binding.h"

#include <new>

namespace pixmill::aspen {

namespace {

class AvifFormat final : public CFormatPlugin {
  public:
    // Every request for the format object reloads the stored settings; they
    // are saved when the library is unloaded.
    void Attach(CPluginHost* newHost) {
        host = newHost;
        binding.Bind(host, kAvifSchema, settings);
    }

    const char* GetName(bool longForm) override {
        return LookupString(kStrings, longForm ? IdsLongName : IdsShortName);
    }
    const char* GetExtensions() override { return LookupString(kStrings, IdsExtensions); }
    uint16_t GetSignatureSize() override { return kAvifSignatureSize; }
    bool Recognize(const uint8_t* bytes) override { return IsAvifSignature(bytes); }
    int GetId() override { return 0; }
    CFormatCodec* CreateCodec() override {
        return new (std::nothrow) AvifCodec(this, host, &settings);
    }
    uint16_t GetCapabilities() override { return CapOptionsPane | CapCanSave | CapSavePreview; }
    uint16_t GetSaveModes() override { return KindAll; }
    bool CanSave(const CVImage*) override { return true; }
    bool AcceptsKinds(const ImageKindSet* kinds) override { return kinds->special == 0; }
    CPluginPane* CreateOptionsPane(CPaneSite* site) override {
        return new AvifOptionsPane(site, &settings);
    }
    void DestroyOptionsPane(CPluginPane* pane) override {
        delete static_cast<AvifOptionsPane*>(pane);
    }
    void Help(QWidget*) override { OpenHelpPage(kHelpAvif); }

  private:
    CPluginHost* host = nullptr;
    AvifSettings settings{};
    CSettingsBinding binding; // after the block: saves it before it goes
};

AvifFormat g_format;

} // namespace

} // namespace pixmill::aspen

PIXMILL_ENTRY int GetFormat(pixmill::CPluginHost* host, pixmill::CFormatPlugin** out) {
    pixmill::aspen::g_format.Attach(host);
    *out = &pixmill::aspen::g_format;
    return 1;
}

PIXMILL_ENTRY int GetSettingsSchema(const pixmill::SettingsBlockSchema** blocks) {
    *blocks = &pixmill::aspen::kAvifSchema;
    return 1;
}
