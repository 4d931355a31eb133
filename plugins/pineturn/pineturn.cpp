// The rotate operation and the library's entry points.
#include "pineturn_pane.h"
#include "pineturn_settings.h"
#include "pineturn_strings.h"
#include "rotate.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/help.h"
#include "pixmill/plugin_host.h"
#include "pixmill/processing_plugin.h"

using namespace pixmill;
using namespace pixmill::pineturn;

namespace {

constexpr int kHelpTopic = 97;

class RotateOperation : public CProcessingPlugin {
  public:
    explicit RotateOperation(CPluginHost* host)
        : CProcessingPlugin(host), settings(DefaultSettings()) {
        LoadString(kStrings, kStrName, name, sizeof name);
        LoadString(kStrings, kStrMenuName, menuName, sizeof menuName);
        LoadString(kStrings, kStrDescription, description, sizeof description);
        BindSettings(kRotateSchema.name, settings, kSettingsVersion);
    }

    uint16_t GetOperationCount() override { return 1; }
    const char* GetName(bool menuForm) override { return menuForm ? menuName : name; }
    const char* GetGroupName(bool) override { return nullptr; }
    const char* GetDescription() override { return description; }

    bool Apply(const CVImage* source, CVImage* destination, CVProgress* progress) override {
        RotateRequest request;
        request.flip = settings.flip;
        request.angle = settings.angle;
        request.customBackground = Bgr{settings.blue, settings.green, settings.red};
        request.smartBackground = settings.smartBackground != 0;
        Rotate(host, source, destination, progress, request);
        return true;
    }
    bool CanApply(const CVImage*) override { return true; }
    ImageKindSet* GetOutputKinds(const ImageKindSet* input) override {
        return KeepKinds(input, input != nullptr ? input->traits : 0, kinds);
    }
    uint16_t GetFlags() override { return OpHasSettings | OpLivePreview; }
    int GetKind() override { return KindImageOperation; }
    CPluginPane* CreateSettingsPane(CPaneSite* site) override {
        return new RotatePane(site, settings);
    }
    void DestroySettingsPane(CPluginPane* pane) override { delete static_cast<RotatePane*>(pane); }
    void Help(QWidget*) override { OpenHelpPage(kHelpTopic); }

    RotateSettings settings;

  private:
    char name[256];
    char menuName[256];
    char description[256];
    ImageKindSet kinds{};
};

CPluginInstance<RotateOperation> g_operation;

} // namespace

PIXMILL_ENTRY int GetProcessing(CPluginHost* host, CProcessingPlugin** out) {
    *out = g_operation.Get(host);
    return 1;
}

PIXMILL_ENTRY int GetSettingsSchema(const SettingsBlockSchema** blocks) {
    *blocks = &kRotateSchema;
    return 1;
}

static_assert(std::is_same_v<decltype(&GetProcessing), GetProcessingFn>);
static_assert(std::is_same_v<decltype(&GetSettingsSchema), GetSettingsSchemaFn>);
