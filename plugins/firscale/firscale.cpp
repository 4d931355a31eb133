// The resample operation and the library's entry points. The host also
// calls ResampleImage directly to resample records for its own purposes.
#include "firscale_pane.h"
#include "firscale_settings.h"
#include "firscale_strings.h"
#include "resample.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/operation_table.h"
#include "pixmill/plugin_host.h"

using namespace pixmill;
using namespace pixmill::firscale;

namespace {

constexpr OperationEntry kOperations[] = {
    {"Resample", "&Resample", "Resample the current image", OpHasSettings | OpTakesAlpha,
     KindImageOperation,
     kHelpResample},
};

// Target sides are taken modulo 65536.
int LowBits(int value) {
    return static_cast<int>(static_cast<uint32_t>(value) & 0xFFFFu);
}

class ResampleOperation : public CTableProcessingPlugin {
  public:
    explicit ResampleOperation(CPluginHost* host) : CTableProcessingPlugin(host, {}, kOperations) {
        BindSettings(kResampleSchema, settings);
    }

    // The direct entry: keepAspect replaces the stored flag for this call
    // and the stored flag comes back afterwards, also when the call fails.
    bool ResampleDirect(const CVImage* source, CVImage* destination, CVProgress* progress,
                        int width, int height, bool keepAspect, bool mayOverwriteSource) {
        struct Restore {
            uint8_t& flag;
            uint8_t saved;
            ~Restore() { flag = saved; }
        } restore{settings.keepAspect, settings.keepAspect};
        settings.keepAspect = keepAspect ? 1 : 0;
        // The program's own pictures (thumbnails, previews) always get the
        // high-quality filter.
        return Resize(source, destination, progress, width, height, settings.keepAspect != 0,
                      mayOverwriteSource, ResampleFilter::Lanczos3);
    }

    ResampleSettings settings;

  private:
    bool Run(const CVImage* source, CVImage* destination, CVProgress* progress) override {
        return Resize(source, destination, progress, settings.width, settings.height,
                      settings.keepAspect != 0, false,
                      settings.filter != 0 ? ResampleFilter::Lanczos3
                                           : ResampleFilter::AreaAverage);
    }
    bool Accepts(const CVImage&) override { return true; }
    ImageKindSet OutputKinds(const ImageKindSet& input) override {
        return {input.kinds, 0, 0, input.traits};
    }
    CPluginPane* CreatePane(CPaneSite* site) override { return new ResamplePane(site, settings); }

    bool Resize(const CVImage* source, CVImage* destination, CVProgress* progress, int width,
                int height, bool keepAspect, bool mayOverwriteSource, ResampleFilter filter) {
        ResampleRequest request;
        request.width = LowBits(width);
        request.height = LowBits(height);
        request.keepAspect = keepAspect;
        request.mayOverwriteSource = mayOverwriteSource;
        request.filter = filter;
        Resample(host, source, destination, progress, request);
        return true;
    }
};

CPluginInstance<ResampleOperation> g_operation;

} // namespace

PIXMILL_PROCESSING_ENTRY_POINTS(g_operation, &kResampleSchema, 1)

PIXMILL_ENTRY uint8_t ResampleImage(const CVImage* source, CVImage* destination,
                                    CVProgress* progress, int width, int height, uint8_t keepAspect,
                                    uint8_t mayOverwriteSource) {
    ResampleOperation* operation = g_operation.Existing();
    if (operation == nullptr) {
        return 0;
    }
    return operation->ResampleDirect(source, destination, progress, width, height, keepAspect != 0,
                                     mayOverwriteSource != 0)
               ? 1
               : 0;
}

static_assert(std::is_same_v<decltype(&ResampleImage), ResampleImageFn>);
static_assert(std::is_same_v<decltype(&GetProcessing), GetProcessingFn>);
static_assert(std::is_same_v<decltype(&GetSettingsSchema), GetSettingsSchemaFn>);
