// elmpass: the "Filter" group of neighbourhood filters. The library's one
// processing object and the exported entry points.
#include "elmpass_pane.h"
#include "elmpass_settings.h"
#include "elmpass_strings.h"
#include "filters.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/errors.h"
#include "pixmill/operation_table.h"
#include "pixmill/plugin_host.h"

#include <iterator>

using namespace pixmill;
using namespace pixmill::elmpass;

namespace {

enum FilterOperation : uint16_t {
    OpNegative,
    OpSmooth,
    OpSharpen,
    OpMedian,
    OpDespeckle,
    OpEmboss
};

constexpr uint16_t kTraits = 4;
constexpr uint16_t kPaneFlags = OpHasSettings | OpLivePreview;

constexpr OperationEntry kOperations[] = {
    {"Negative", "&Negative", "Filter Image", 0, KindFilter, 0},
    {"Smooth", "&Smooth", "Filter Image", kPaneFlags, KindFilter, kHelpSmooth},
    {"Sharpen", "S&harpen", "Filter Image", kPaneFlags, KindFilter, kHelpSharpen},
    {"Median", "&Median", "Filter Image", 0, KindFilter, 0},
    {"Despeckle", "&Despeckle", "Filter Image", kPaneFlags, KindFilter, kHelpDespeckle},
    {"Emboss", "&Emboss", "Filter Image", 0, KindFilter, kHelpEmboss},
};

// The strength pane of each operation flagged with a pane.
struct StrengthPaneSpec {
    int caption; // string id
    int slot;
};
constexpr StrengthPaneSpec kPanes[] = {
    {0, -1}, {IdCaptionSmooth, SlotSmooth},       {IdCaptionSharpen, SlotSharpen},
    {0, -1}, {IdCaptionDespeckle, SlotDespeckle}, {0, -1},
};
static_assert(std::size(kPanes) == std::size(kOperations));

class FilterPlugin : public CTableProcessingPlugin {
  public:
    explicit FilterPlugin(CPluginHost* host)
        : CTableProcessingPlugin(host, kStrings, kOperations, {"Filter", "&Filter"}) {
        BindSettings(kFilterSchema, settings);
    }

  private:
    bool Run(const CVImage* source, CVImage* destination, CVProgress* progress) override {
        if (source == nullptr || destination == nullptr) {
            host->RaiseImageError(CVImageError::MismatchedFormat);
        }
        if (source == destination) {
            return ApplyInPlace(destination, progress);
        }
        switch (currentOperation) {
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
        case OpDespeckle:
            Despeckle(*source, *destination, settings.strength[SlotDespeckle], progress);
            break;
        default:
            Emboss(*source, *destination, progress);
            break;
        }
        return true;
    }
    bool Accepts(const CVImage& image) override {
        return currentOperation == OpNegative || AcceptsNeighbourhoodFilter(image);
    }
    ImageKindSet OutputKinds(const ImageKindSet& input) override {
        return {input.kinds, 0, 0, kTraits};
    }
    CPluginPane* CreatePane(CPaneSite* site) override {
        const StrengthPaneSpec& pane = kPanes[currentOperation];
        return new StrengthPane(site, &settings, pane.slot, LookupString(kStrings, pane.caption));
    }

    FilterSettings settings;
};

CPluginInstance<FilterPlugin> g_plugin;

} // namespace

PIXMILL_PROCESSING_ENTRY_POINTS(g_plugin, &kFilterSchema, 1)
