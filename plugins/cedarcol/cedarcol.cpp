// The colour-conversion library: its one plug-in object and the exported
// entry points.
#include "color_plugin.h"
#include "cedarcol_settings.h"

#include "pixmill/entry_points.h"

#include <cstring>

using namespace pixmill;
using namespace pixmill::cedarcol;

namespace {
CPluginInstance<CColorPlugin> g_plugin;
}

PIXMILL_ENTRY int GetProcessing(CPluginHost* host, CProcessingPlugin** out) {
    *out = g_plugin.Get(host);
    return 1;
}

PIXMILL_ENTRY uint8_t ChangeColors(const CVImage* source, CVImage* destination,
                                   CVProgress* progress, const void* conversion20) {
    CColorPlugin* plugin = g_plugin.Existing();
    if (plugin == nullptr || source == nullptr || destination == nullptr ||
        conversion20 == nullptr) {
        return 0;
    }
    QorelColorInfo block;
    std::memcpy(&block, conversion20, sizeof block);
    plugin->ChangeColors(source, destination, progress, block);
    return 1;
}

PIXMILL_ENTRY int GetSettingsSchema(const SettingsBlockSchema** blocks) {
    *blocks = &kColorInfoSchema;
    return 1;
}
