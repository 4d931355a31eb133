// Processing libraries for the plug-in manager tests, built in variants:
// MANAGER_OPERATIONS operations named "&Op<j>", grouped under
// MANAGER_GROUP when defined; MANAGER_RESAMPLE / MANAGER_CHANGE_COLORS add
// the direct entries; MANAGER_REFUSE makes GetProcessing answer 0. Every
// SetOperation counts in a settings block that is saved on unload.
#include "pixmill/entry_points.h"
#include "pixmill/plugin_host.h"
#include "pixmill/processing_plugin.h"
#include "pixmill/settings_schema.h"

#include <cstddef>
#include <string>

using namespace pixmill;

namespace {

#define MANAGER_STRINGIFY2(x) #x
#define MANAGER_STRINGIFY(x) MANAGER_STRINGIFY2(x)

struct CountBlock {
    int32_t selections;
};
static_assert(sizeof(CountBlock) == 4);

const SettingsField kFields[] = {
    {"selections", offsetof(CountBlock, selections), FieldType::I32, 0, 1e9, 0,
     "operations selected so far"},
};
const SettingsBlockSchema kSchema = {MANAGER_STRINGIFY(MANAGER_SETTINGS), sizeof(CountBlock), 3,
                                     kFields, 1};

class ManagerProcessing : public CProcessingPlugin {
  public:
    explicit ManagerProcessing(CPluginHost* host) : CProcessingPlugin(host) {
        BindSettings(kSchema, block);
    }
    uint16_t GetOperationCount() override { return MANAGER_OPERATIONS; }
    void SetOperation(uint16_t index) override {
        ++block.selections;
        CProcessingPlugin::SetOperation(index);
    }
    const char* GetName(bool menuForm) override {
        name = (menuForm ? "&Op" : "Op") + std::to_string(currentOperation);
        return name.c_str();
    }
    const char* GetGroupName(bool menuForm) override {
#ifdef MANAGER_GROUP
        return menuForm ? "&" MANAGER_GROUP : MANAGER_GROUP;
#else
        (void)menuForm;
        return nullptr;
#endif
    }
    const char* GetDescription() override {
        return "manager test";
    }
    bool Apply(const CVImage*, CVImage*, CVProgress*) override {
        return false;
    }
    // Operation 0 accepts every image, even a null one (the manager must not
    // ask), the others none.
    bool CanApply(const CVImage*) override {
        return currentOperation == 0;
    }
    ImageKindSet* GetOutputKinds(const ImageKindSet*) override {
        return nullptr;
    }
    uint16_t GetFlags() override {
        return 0;
    }
    int GetKind() override {
        return KindFilter;
    }

    CountBlock block{};
    std::string name;
};

CPluginInstance<ManagerProcessing> g_plugin;

} // namespace

PIXMILL_ENTRY int GetProcessing(CPluginHost* host, CProcessingPlugin** out) {
#ifdef MANAGER_REFUSE
    (void)host;
    *out = nullptr;
    return 0;
#else
    *out = g_plugin.Get(host);
    return 1;
#endif
}

PIXMILL_ENTRY int GetSettingsSchema(const SettingsBlockSchema** blocks) {
    *blocks = &kSchema;
    return 1;
}

#ifdef MANAGER_RESAMPLE
// Answers with a digest of its arguments so that forwarding can be checked.
PIXMILL_ENTRY uint8_t ResampleImage(const CVImage*, CVImage*, CVProgress*, int width, int height,
                                    uint8_t keepAspect, uint8_t mayOverwriteSource) {
    if (g_plugin.Existing() == nullptr) {
        return 0;
    }
    return static_cast<uint8_t>(width + height + 2 * keepAspect + 4 * mayOverwriteSource);
}
#endif

#ifdef MANAGER_CHANGE_COLORS
PIXMILL_ENTRY uint8_t ChangeColors(const CVImage*, CVImage*, CVProgress*,
                                   const void* conversion20) {
    if (g_plugin.Existing() == nullptr) {
        return 0;
    }
    return static_cast<const uint8_t*>(conversion20)[0];
}
#endif
