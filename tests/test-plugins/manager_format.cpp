// A format library for the plug-in manager tests. Built twice: with
// MANAGER_FORMAT_MM it recognises files starting "MM" or "II" (2-byte
// signature), otherwise files starting FF D8 FF (3-byte signature).
#include "pixmill/entry_points.h"
#include "pixmill/format_plugin.h"
#include "pixmill/settings_schema.h"

#include <cstddef>

using namespace pixmill;

namespace {

#ifdef MANAGER_FORMAT_MM
constexpr const char* kExtensions = "*.tif;*.tiff";
constexpr uint16_t kSignatureSize = 2;
constexpr int kId = 0;
bool Matches(const uint8_t* b) {
    return (b[0] == 'M' && b[1] == 'M') || (b[0] == 'I' && b[1] == 'I');
}
#else
constexpr const char* kExtensions = "*.jpg;*.jif;*.jpeg;*.jfif;*.jpe";
constexpr uint16_t kSignatureSize = 3;
constexpr int kId = 7;
bool Matches(const uint8_t* b) {
    return b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF;
}
#endif

class ManagerFormat : public CFormatPlugin {
  public:
    const char* GetName(bool) override { return kExtensions; }
    const char* GetExtensions() override { return kExtensions; }
    uint16_t GetSignatureSize() override { return kSignatureSize; }
    bool Recognize(const uint8_t* bytes) override { return Matches(bytes); }
    int GetId() override { return kId; }
    CFormatCodec* CreateCodec() override { return nullptr; }
    uint16_t GetCapabilities() override { return 0; }
    uint16_t GetSaveModes() override { return 0; }
    bool CanSave(const CVImage*) override { return false; }
    bool AcceptsKinds(const ImageKindSet*) override { return false; }
    CPluginPane* CreateOptionsPane(CPaneSite*) override { return nullptr; }
    void DestroyOptionsPane(CPluginPane*) override {}
    void Help(QWidget*) override {}
};

ManagerFormat g_format;

#ifdef MANAGER_FORMAT_MM
struct Block {
    int32_t value;
};
const SettingsField kFields[] = {
    {"value", offsetof(Block, value), FieldType::I32, 0, 10, 1, "a value"},
};
const SettingsBlockSchema kSchema = {"ManagerFormat", sizeof(Block), 3, kFields, 1};
#endif

} // namespace

PIXMILL_ENTRY int GetFormat(CPluginHost*, CFormatPlugin** out) {
    *out = &g_format;
    return 1;
}

#ifdef MANAGER_FORMAT_MM
PIXMILL_ENTRY int GetSettingsSchema(const SettingsBlockSchema** blocks) {
    *blocks = &kSchema;
    return 1;
}
#endif
