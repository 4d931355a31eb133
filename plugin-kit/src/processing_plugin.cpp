#include "pixmill/processing_plugin.h"
#include "pixmill/cv_image.h"
#include "pixmill/pane.h"
#include "pixmill/plugin_host.h"

namespace pixmill {

CProcessingPlugin::CProcessingPlugin(CPluginHost* host) : host(host) {}

CProcessingPlugin::~CProcessingPlugin() = default;

uint16_t CProcessingPlugin::GetOperation() {
    return currentOperation;
}

void CProcessingPlugin::SetOperation(uint16_t index) {
    currentOperation = index;
}

int CProcessingPlugin::Query7() {
    return 0;
}

int CProcessingPlugin::Query14() {
    return 0;
}

bool CProcessingPlugin::ApplyInPlace(CVImage* image, CVProgress* progress) {
    CVImage temporary(host);
    if (!Apply(image, &temporary, progress)) {
        return false;
    }
    CVImage::CopyImage(image, &temporary, nullptr);
    return true; // the temporary's share goes with it
}

CPluginPane* CProcessingPlugin::CreateSettingsPane(CPaneSite*) {
    return nullptr;
}

void CProcessingPlugin::DestroySettingsPane(CPluginPane* pane) {
    delete pane;
}

void CProcessingPlugin::Help(QWidget*) {}

} // namespace pixmill
