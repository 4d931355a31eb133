// oaktone: the "Adjust" group (brightness-contrast-intensity and gamma per
// colour channel). The library's one processing object, its texts, and the
// exported entry points.
#include "oaktone_settings.h"
#include "oaktone_pane.h"
#include "oaktone_strings.h"
#include "tone.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/errors.h"
#include "pixmill/help.h"
#include "pixmill/image_kind_set.h"
#include "pixmill/plugin_host.h"
#include "pixmill/processing_plugin.h"

using namespace pixmill;
using namespace pixmill::oaktone;

namespace {

enum AdjustOperation : uint16_t {
    OpTone = 0,
    OpGamma = 1,
    OperationCount = 2,
};

constexpr size_t kTextSize = 255;
constexpr size_t kChannelNameSize = 64;

struct OperationTexts {
    int name;
    int menu;
    int description;
    int helpTopic;
};
const OperationTexts kOperations[OperationCount] = {
    {IdNameTone, IdMenuTone, IdDescriptionTone, 48},
    {IdNameGamma, IdMenuGamma, IdDescriptionGamma, 56},
};

class CAdjustPlugin : public CProcessingPlugin {
  public:
    explicit CAdjustPlugin(CPluginHost* host) : CProcessingPlugin(host) {
        for (int i = 0; i < OperationCount; ++i) {
            LoadString(kStrings, kOperations[i].name, names[i], kTextSize);
            LoadString(kStrings, kOperations[i].menu, menuTexts[i], kTextSize);
            LoadString(kStrings, kOperations[i].description, descriptions[i], kTextSize);
        }
        LoadString(kStrings, IdGroup, group, kTextSize);
        LoadString(kStrings, IdGroupMenu, groupMenu, kTextSize);
        for (int i = 0; i < RowCount; ++i) {
            LoadString(kStrings, IdChannelAll + i, channelNames[i], kChannelNameSize);
            channelNameList[i] = channelNames[i];
        }
        settings = DefaultAdjustSettings();
        BindSettings(kAdjustSettingsName, settings);
    }

    uint16_t GetOperationCount() override { return OperationCount; }
    const char* GetName(bool menuForm) override {
        return menuForm ? menuTexts[Current()] : names[Current()];
    }
    const char* GetGroupName(bool menuForm) override { return menuForm ? groupMenu : group; }
    const char* GetDescription() override { return descriptions[Current()]; }

    bool Apply(const CVImage* source, CVImage* destination, CVProgress* progress) override {
        if (source == nullptr || destination == nullptr) {
            host->RaiseImageError(CVImageError::MismatchedFormat);
        }
        if (source == destination) {
            return ApplyInPlace(destination, progress);
        }
        if (Current() == OpTone) {
            AdjustTone(*source, *destination, settings, progress);
        } else {
            AdjustGamma(*source, *destination, settings, progress);
        }
        return true;
    }

    bool CanApply(const CVImage* image) override {
        return image != nullptr && AcceptsAdjustment(*image);
    }

    ImageKindSet* GetOutputKinds(const ImageKindSet* input) override {
        return KeepKinds(input, 0, outputKinds);
    }

    uint16_t GetFlags() override { return OpHasSettings | OpLivePreview; }
    int GetKind() override { return KindFilter; }

    CPluginPane* CreateSettingsPane(CPaneSite* site) override {
        if (Current() == OpTone) {
            return new CTonePane(site, &settings, channelNameList);
        }
        return new CGammaPane(site, &settings, channelNameList);
    }
    void DestroySettingsPane(CPluginPane* pane) override { delete static_cast<CPaneBase*>(pane); }
    void Help(QWidget*) override { OpenHelpPage(kOperations[Current()].helpTopic); }

  private:
    int Current() const { return currentOperation == OpTone ? int{OpTone} : int{OpGamma}; }

    AdjustSettings settings;
    ImageKindSet outputKinds{};
    char names[OperationCount][kTextSize];
    char menuTexts[OperationCount][kTextSize];
    char descriptions[OperationCount][kTextSize];
    char group[kTextSize];
    char groupMenu[kTextSize];
    char channelNames[RowCount][kChannelNameSize];
    const char* channelNameList[RowCount];
};

CPluginInstance<CAdjustPlugin> g_plugin;

} // namespace

PIXMILL_ENTRY int GetProcessing(CPluginHost* host, CProcessingPlugin** out) {
    *out = g_plugin.Get(host);
    return 1;
}

PIXMILL_ENTRY int GetSettingsSchema(const SettingsBlockSchema** blocks) {
    *blocks = &kAdjustSchema;
    return 1;
}
