#include "app/app_context.h"

#include "desktop/gui/gui_services.h"
#include "host/doc_template.h"
#include "host/host_services.h"
#include "host/plugin_manager.h"
#include "host/qsettings_store.h"

namespace pixmill {

AppContext::AppContext() = default;

AppContext::~AppContext() = default;

ImageDocTemplate* AppContext::ImageTemplate() const {
    return templates.empty() ? nullptr : templates.front().get();
}

} // namespace pixmill
