// The rotate operation and the library's entry points.
#include "pineturn_pane.h"
#include "pineturn_settings.h"
#include "pineturn_strings.h"
#include "rotate.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/operation_table.h"
#include "pixmill/plugin_host.h"

using namespace pixmill;
using namespace pixmill::pineturn;

namespace {

constexpr OperationEntry kOperations[] = {
    {"Rotate", "R&otate", "Rotate Image", OpHasSettings | OpLivePreview | OpReorients,
     KindImageOperation, kHelpRotate},
};

class RotateOperation : public CTableProcessingPlugin {
  public:
    explicit RotateOperation(CPluginHost* host) : CTableProcessingPlugin(host, {}, kOperations) {
        BindSettings(kRotateSchema, settings);
    }

    RotateSettings settings;

  private:
    bool Run(const CVImage* source, CVImage* destination, CVProgress* progress) override {
        RotateRequest request;
        request.flip = settings.flip;
        request.angle = settings.angle;
        request.customBackground = Bgr{settings.blue, settings.green, settings.red};
        request.smartBackground = settings.smartBackground != 0;
        Rotate(host, source, destination, progress, request);
        return true;
    }
    bool Accepts(const CVImage&) override { return true; }
    ImageKindSet OutputKinds(const ImageKindSet& input) override {
        return {input.kinds, 0, 0, input.traits};
    }
    CPluginPane* CreatePane(CPaneSite* site) override { return new RotatePane(site, settings); }
};

CPluginInstance<RotateOperation> g_operation;

} // namespace

PIXMILL_PROCESSING_ENTRY_POINTS(g_operation, &kRotateSchema, 1)

static_assert(std::is_same_v<decltype(&GetProcessing), GetProcessingFn>);
static_assert(std::is_same_v<decltype(&GetSettingsSchema), GetSettingsSchemaFn>);
