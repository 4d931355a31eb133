// oaktone: the "Adjust" group (brightness-contrast-intensity and gamma per
// colour channel). The library's one processing object and the exported
// entry points.
#include "oaktone_pane.h"
#include "oaktone_settings.h"
#include "oaktone_strings.h"
#include "tone.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/errors.h"
#include "pixmill/operation_table.h"
#include "pixmill/plugin_host.h"

using namespace pixmill;
using namespace pixmill::oaktone;

namespace {

enum AdjustOperation : uint16_t { OpTone, OpGamma };

constexpr uint16_t kFlags = OpHasSettings | OpLivePreview;

constexpr OperationEntry kOperations[] = {
    {"Brightness-Contrast-Intensity", "&Brightness-Contrast-Intensity", "Adjust image colors",
     kFlags, KindFilter, kHelpTone},
    {"Gamma", "&Gamma", "Adjust image colors", kFlags, KindFilter, kHelpGamma},
};

class AdjustPlugin : public CTableProcessingPlugin {
  public:
    explicit AdjustPlugin(CPluginHost* host)
        : CTableProcessingPlugin(host, kStrings, kOperations, {"Adjust", "&Adjust"}) {
        for (int i = 0; i < RowCount; ++i) {
            channelNames[i] = LookupString(kStrings, IdChannelAll + i);
        }
        BindSettings(kAdjustSchema, settings);
    }

  private:
    bool Run(const CVImage* source, CVImage* destination, CVProgress* progress) override {
        if (source == nullptr || destination == nullptr) {
            host->RaiseImageError(CVImageError::MismatchedFormat);
        }
        if (source == destination) {
            return ApplyInPlace(destination, progress);
        }
        if (currentOperation == OpTone) {
            AdjustTone(*source, *destination, settings, progress);
        } else {
            AdjustGamma(*source, *destination, settings, progress);
        }
        return true;
    }
    bool Accepts(const CVImage& image) override { return AcceptsAdjustment(image); }
    ImageKindSet OutputKinds(const ImageKindSet& input) override { return {input.kinds, 0, 0, 0}; }
    CPluginPane* CreatePane(CPaneSite* site) override {
        if (currentOperation == OpTone) {
            return new TonePane(site, &settings, channelNames);
        }
        return new GammaPane(site, &settings, channelNames);
    }

    AdjustSettings settings;
    const char* channelNames[RowCount];
};

CPluginInstance<AdjustPlugin> g_plugin;

} // namespace

PIXMILL_PROCESSING_ENTRY_POINTS(g_plugin, &kAdjustSchema, 1)
