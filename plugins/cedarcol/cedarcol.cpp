// The colour-conversion library: its one plug-in object and the exported
// entry points.
#include "cedarcol.h"

#include "cedarcol_pane.h"
#include "cedarcol_strings.h"
#include "palette_reduce.h"

#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/scope_guards.h"

#include <cstring>
#include <iterator>

namespace pixmill::cedarcol {

namespace {

constexpr uint16_t kPaneFlags = OpLivePreview | OpHasSettings;

constexpr OperationEntry kOperations[] = {
    {"Black and White (1-bit)", "&Black and White (1-bit)", "Transform image colorspace",
     kPaneFlags, KindColorConversion, kHelpBlackAndWhite},
    {"Grayscale (8-bit)", "&Grayscale (8-bit)", "Transform image colorspace", 0,
     KindColorConversion, 0},
    {"Paletted", "&Paletted", "Transform image colorspace", kPaneFlags, KindColorConversion,
     kHelpPaletted},
    {"RGB Color (24-bit)", "&RGB Color (24-bit)", "Transform image colorspace", 0,
     KindImageOperation, 0},
};

// What each operation converts to: its conversion code and its output kinds.
struct Target {
    int32_t code;
    uint16_t kinds;
};
constexpr Target kTargets[] = {
    {CodeBilevel, KindBilevel},
    {CodeGray, KindGray8},
    {CodeColorCount, KindPaletted4 | KindPaletted8},
    {CodeRgb, KindRgb24},
};
static_assert(std::size(kTargets) == std::size(kOperations));

} // namespace

ColorPlugin::ColorPlugin(CPluginHost* host)
    : CTableProcessingPlugin(host, kStrings, kOperations, {"Convert to", "&Convert to"}) {
    BindSettings(kColorInfoSchema, settings);
    mappingBinding.Bind(host, kColorMappingSchema, mapping);
    // The planes are not stored: a remembered fixed palette is loaded again,
    // so that it is not replaced by black entries.
    if (settings.fixedPalette != 0) {
        LoadFixedPalette(settings.paletteKind, planes);
    }
}

void ColorPlugin::Convert(const CVImage* source, CVImage* destination, CVProgress* progress) {
    ConversionParameters params;
    params.info = settings;
    params.ditherLevel = mapping.ditherLevel;
    params.tolerance = mapping.tolerance;
    params.highQuality = mapping.highQuality != 0;
    params.fixedPalette = planes;
    ConvertColors(host, *source, *destination, progress, params);
}

bool ColorPlugin::Run(const CVImage* source, CVImage* destination, CVProgress* progress) {
    settings.conversionCode = kTargets[currentOperation].code;
    Convert(source, destination, progress);
    return true;
}

void ColorPlugin::ChangeColors(const CVImage* source, CVImage* destination, CVProgress* progress,
                               const QorelColorInfo& block) {
    // The stored block comes back however the conversion ends.
    RestoreOnExit restore(settings);
    settings = block;
    Convert(source, destination, progress);
}

bool ColorPlugin::Accepts(const CVImage& image) {
    switch (currentOperation) {
    case OpBlackAndWhite:
        return image.BitCount() != 1;
    case OpGrayscale:
        return !(image.BitCount() == 8 && image.IsGray());
    case OpPaletted:
        return true;
    default:
        return image.BitCount() != 24;
    }
}

ImageKindSet ColorPlugin::OutputKinds(const ImageKindSet&) {
    return {kTargets[currentOperation].kinds, 0, 0, 0};
}

CPluginPane* ColorPlugin::CreatePane(CPaneSite* site) {
    ColorPaneTarget target{settings, mapping, [this](int kind) { LoadPalette(kind); }};
    if (currentOperation == OpBlackAndWhite) {
        return new BlackWhitePane(site, std::move(target));
    }
    return new PalettePane(site, std::move(target));
}

void ColorPlugin::LoadPalette(int kind) {
    const int count = LoadFixedPalette(kind, planes);
    if (count > 0) {
        settings.colorCount = count;
        settings.fixedPalette = 1;
    } else {
        settings.fixedPalette = 0;
    }
}

namespace {
CPluginInstance<ColorPlugin> g_plugin;
}

} // namespace pixmill::cedarcol

using namespace pixmill;
using namespace pixmill::cedarcol;

PIXMILL_PROCESSING_ENTRY_POINTS(g_plugin, kColorSchemas, 2)

PIXMILL_ENTRY uint8_t ChangeColors(const CVImage* source, CVImage* destination,
                                   CVProgress* progress, const void* conversion20) {
    ColorPlugin* plugin = g_plugin.Existing();
    if (plugin == nullptr || source == nullptr || destination == nullptr ||
        conversion20 == nullptr) {
        return 0;
    }
    QorelColorInfo block;
    std::memcpy(&block, conversion20, sizeof block);
    plugin->ChangeColors(source, destination, progress, block);
    return 1;
}
