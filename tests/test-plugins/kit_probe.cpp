// A small processing plug-in for the contract tests. Operation 0 inverts the
// pixels into the destination (the block comes from the host); operation 1
// raises the image error named in its settings through the host. Every Apply
// counts in the settings block, which is saved when the library unloads.
#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/plugin_host.h"
#include "pixmill/processing_plugin.h"
#include "pixmill/settings_schema.h"

#include <cstddef>
#include <cstring>

using namespace pixmill;

namespace {

#pragma pack(push, 1)
struct ProbeSettings {
    int32_t applyCount;
    int32_t errorCode;
};
#pragma pack(pop)
static_assert(sizeof(ProbeSettings) == 8);

const SettingsField kFields[] = {
    {"applyCount", offsetof(ProbeSettings, applyCount), FieldType::I32, 0, 1e9, 0,
     "operations applied so far"},
    {"errorCode", offsetof(ProbeSettings, errorCode), FieldType::I32, 0, 7, 7,
     "image error raised by Fail"},
};
const SettingsBlockSchema kSchema = {"KitProbe", sizeof(ProbeSettings), 3, kFields, 2};

class ProbePlugin : public CProcessingPlugin {
  public:
    explicit ProbePlugin(CPluginHost* host) : CProcessingPlugin(host) {
        BindSettings(kSchema, settings);
    }
    uint16_t GetOperationCount() override { return 2; }
    const char* GetName(bool menuForm) override {
        if (currentOperation == 0) {
            return menuForm ? "&Invert" : "Invert";
        }
        return menuForm ? "&Fail" : "Fail";
    }
    const char* GetGroupName(bool menuForm) override { return menuForm ? "&Probe" : "Probe"; }
    const char* GetDescription() override { return "Contract probe"; }
    bool Apply(const CVImage* source, CVImage* destination, CVProgress*) override {
        ++settings.applyCount;
        if (currentOperation == 1) {
            host->RaiseImageError(settings.errorCode);
        }
        const TransparencyInfo transparency = source->Transparency();
        destination->Create(source->Width(), source->Height(), source->BitCount(),
                            source->paletteCount, &transparency, source->header.biXPelsPerMeter,
                            source->header.biYPelsPerMeter);
        destination->SetPalette(source->palette);
        const size_t bytes = source->ImageBytes();
        for (size_t i = 0; i < bytes; ++i) {
            destination->bits[i] = static_cast<uint8_t>(~source->bits[i]);
        }
        return true;
    }
    bool CanApply(const CVImage* image) override {
        return image != nullptr && image->BitCount() == 24;
    }
    ImageKindSet* GetOutputKinds(const ImageKindSet* input) override {
        if (input->special != 0) {
            return nullptr;
        }
        kinds = *input;
        return &kinds;
    }
    uint16_t GetFlags() override { return 0; }
    int GetKind() override { return KindFilter; }

    ProbeSettings settings{};
    ImageKindSet kinds{};
};

CPluginInstance<ProbePlugin> g_plugin;

} // namespace

PIXMILL_ENTRY int GetProcessing(CPluginHost* host, CProcessingPlugin** out) {
    *out = g_plugin.Get(host);
    return 1;
}

PIXMILL_ENTRY int GetSettingsSchema(const SettingsBlockSchema** blocks) {
    *blocks = &kSchema;
    return 1;
}
