// elmpass: the "Filter" group of neighbourhood filters. The library's one
// processing object, its texts, and the exported entry points.
#include "elmpass_pane.h"
#include "elmpass_strings.h"
#include "elmpass_settings.h"
#include "filters.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/errors.h"
#include "pixmill/help.h"
#include "pixmill/image_kind_set.h"
#include "pixmill/plugin_host.h"
#include "pixmill/processing_plugin.h"

using namespace pixmill;
using namespace pixmill::elmpass;

namespace {

enum FilterOperation : uint16_t {
    OpNegative = 0,
    OpSmooth = 1,
    OpSharpen = 2,
    OpMedian = 3,
    OpDespeckle = 4,
    OperationCount = 5,
};

constexpr size_t kTextSize = 255;
constexpr uint16_t kTraits = 4;

struct OperationTexts {
    int name;
    int menu;
    int description;
    int caption;   // 0: no strength pane
    int slot;      // strength slot, -1 without pane
    int helpTopic; // 0: no help topic
};

const OperationTexts kOperations[OperationCount] = {
    {IdNameNegative, IdMenuNegative, IdDescriptionNegative, 0, -1, 0},
    {IdNameSmooth, IdMenuSmooth, IdDescriptionSmooth, IdCaptionSmooth, SlotSmooth, 60},
    {IdNameSharpen, IdMenuSharpen, IdDescriptionSharpen, IdCaptionSharpen, SlotSharpen, 49},
    {IdNameMedian, IdMenuMedian, IdDescriptionMedian, 0, -1, 0},
    {IdNameDespeckle, IdMenuDespeckle, IdDescriptionDespeckle, IdCaptionDespeckle, SlotDespeckle,
     201},
};

class CFilterPlugin : public CProcessingPlugin {
  public:
    explicit CFilterPlugin(CPluginHost* host) : CProcessingPlugin(host) {
        for (int i = 0; i < OperationCount; ++i) {
            const OperationTexts& texts = kOperations[i];
            LoadString(kStrings, texts.name, names[i], kTextSize);
            LoadString(kStrings, texts.menu, menuTexts[i], kTextSize);
            LoadString(kStrings, texts.description, descriptions[i], kTextSize);
            LoadString(kStrings, texts.caption, captions[i], kTextSize);
        }
        LoadString(kStrings, IdGroup, group, kTextSize);
        LoadString(kStrings, IdGroupMenu, groupMenu, kTextSize);
        settings = DefaultFilterSettings();
        BindSettings(kFilterSettingsName, settings);
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
        switch (Current()) {
        case OpNegative:
            Negative(*source, *destination, progress);
            break;
        case OpSmooth:
            Smooth(*source, *destination, settings.strength[SlotSmooth], progress);
            break;
        case OpSharpen:
            Sharpen(*source, *destination, settings.strength[SlotSharpen], progress);
            break;
        case OpMedian:
            Median(*source, *destination, progress);
            break;
        default:
            Despeckle(*source, *destination, settings.strength[SlotDespeckle], progress);
            break;
        }
        return true;
    }

    bool CanApply(const CVImage* image) override {
        if (image == nullptr) {
            return false;
        }
        return Current() == OpNegative || AcceptsNeighbourhoodFilter(*image);
    }

    ImageKindSet* GetOutputKinds(const ImageKindSet* input) override {
        return KeepKinds(input, kTraits, outputKinds);
    }

    uint16_t GetFlags() override {
        return kOperations[Current()].slot >= 0 ? uint16_t{OpHasSettings | OpLivePreview}
                                                : uint16_t{0};
    }
    int GetKind() override { return KindFilter; }

    CPluginPane* CreateSettingsPane(CPaneSite* site) override {
        const OperationTexts& texts = kOperations[Current()];
        if (texts.slot < 0) {
            return nullptr;
        }
        return new CStrengthPane(site, &settings, texts.slot, captions[Current()]);
    }
    void DestroySettingsPane(CPluginPane* pane) override {
        delete static_cast<CStrengthPane*>(pane);
    }
    void Help(QWidget*) override {
        if (kOperations[Current()].helpTopic != 0) {
            OpenHelpPage(kOperations[Current()].helpTopic);
        }
    }

  private:
    // An index beyond the operations is treated as the last one.
    int Current() const {
        return currentOperation < OperationCount ? currentOperation : int{OpDespeckle};
    }

    FilterSettings settings;
    ImageKindSet outputKinds{};
    char names[OperationCount][kTextSize];
    char menuTexts[OperationCount][kTextSize];
    char descriptions[OperationCount][kTextSize];
    char captions[OperationCount][kTextSize];
    char group[kTextSize];
    char groupMenu[kTextSize];
};

CPluginInstance<CFilterPlugin> g_plugin;

} // namespace

PIXMILL_ENTRY int GetProcessing(CPluginHost* host, CProcessingPlugin** out) {
    *out = g_plugin.Get(host);
    return 1;
}

PIXMILL_ENTRY int GetSettingsSchema(const SettingsBlockSchema** blocks) {
    *blocks = &kFilterSchema;
    return 1;
}
