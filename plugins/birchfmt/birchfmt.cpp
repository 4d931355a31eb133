// birchfmt: the TIFF format library. One format object per library; it keeps
// the host and the stored settings, makes codecs and options panes.
#include "birchfmt_pane.h"
#include "birchfmt_settings.h"
#include "birchfmt_strings.h"
#include "tiff_codec.h"

#include "pixmill/entry_points.h"
#include "pixmill/format_plugin.h"
#include "pixmill/help.h"
#include "pixmill/settings_binding.h"

namespace pixmill::birch {

namespace {

class TiffFormat : public CFormatPlugin {
  public:
    TiffFormat() = default;
    TiffFormat(const TiffFormat&) = delete;
    TiffFormat& operator=(const TiffFormat&) = delete;
    // Every request for the format object reloads the stored settings; they
    // are saved when the library is unloaded.
    void Attach(CPluginHost* newHost) {
        host = newHost;
        binding.Bind(host, kTiffSchema, settings);
    }

    const char* GetName(bool longForm) override {
        return LookupString(kStrings, longForm ? IdsLongName : IdsShortName);
    }
    const char* GetExtensions() override { return LookupString(kStrings, IdsExtensions); }
    uint16_t GetSignatureSize() override { return 2; }
    bool Recognize(const uint8_t* bytes) override {
        return (bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M');
    }
    int GetId() override { return 0; }
    CFormatCodec* CreateCodec() override { return new TiffCodec(this, host, &settings); }
    uint16_t GetCapabilities() override { return CapOptionsPane | CapCanSave; }
    uint16_t GetSaveModes() override { return 0x3F; }
    bool CanSave(const CVImage*) override { return true; }
    bool AcceptsKinds(const ImageKindSet* kinds) override { return kinds->special == 0; }
    CPluginPane* CreateOptionsPane(CPaneSite* site) override {
        return new TiffOptionsPane(site, &settings);
    }
    void DestroyOptionsPane(CPluginPane* pane) override {
        delete static_cast<TiffOptionsPane*>(pane);
    }
    void Help(QWidget*) override { OpenHelpPage(kHelpTiff); }

  private:
    CPluginHost* host = nullptr;
    TiffSettings settings{ChoiceNone};
    CSettingsBinding binding; // after the block: saves it before it goes
};

TiffFormat g_format;

} // namespace

} // namespace pixmill::birch

PIXMILL_ENTRY int GetFormat(pixmill::CPluginHost* host, pixmill::CFormatPlugin** out) {
    pixmill::birch::g_format.Attach(host);
    *out = &pixmill::birch::g_format;
    return 1;
}

PIXMILL_ENTRY int GetSettingsSchema(const pixmill::SettingsBlockSchema** blocks) {
    *blocks = &pixmill::birch::kTiffSchema;
    return 1;
}
