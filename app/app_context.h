// AppContext: what the main window and its commands read of the running
// program: the user-interface service, the settings store and the program's
// records, the host services, the plug-ins and one document template per
// format. The application object (PixmillApp) fills it at start and empties
// it at exit; the frame sees only this, so the two do not include each other.
#pragma once

#include "desktop/app_settings.h"

#include <memory>
#include <string>
#include <vector>

namespace pixmill {

class GuiServices;
class HostServices;
class PluginManager;
class ImageDocTemplate;
class QSettingsStore;

class AppContext {
  public:
    GuiServices& Services() const { return *services; }
    HostServices& Host() const { return *host; }
    PluginManager& Plugins() const { return *plugins; }
    AppSettings& Settings() { return settings; }
    RecentFiles& Recent() { return recent; }
    const std::vector<std::unique_ptr<ImageDocTemplate>>& Templates() const { return templates; }
    // The template for images that come without a file (the first format's).
    ImageDocTemplate* ImageTemplate() const;
    QSettingsStore& Store() const { return *store; }
    // The folder holding Formats/, Processing/, Sources/ and Destinations/.
    const std::string& PluginRoot() const { return pluginRoot; }

  protected:
    AppContext();
    ~AppContext();

    std::unique_ptr<GuiServices> ownServices;
    GuiServices* services = nullptr;
    std::string pluginRoot;
    std::unique_ptr<QSettingsStore> store;
    AppSettings settings;
    RecentFiles recent;
    std::unique_ptr<HostServices> host;
    std::unique_ptr<PluginManager> plugins;
    std::vector<std::unique_ptr<ImageDocTemplate>> templates;
};

} // namespace pixmill
