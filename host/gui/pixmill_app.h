// CPixmillApp: starts and ends the desktop program. Start: settings store,
// the program's records, the display, the plug-ins (no format plug-in ends
// the start), one document template per format, the main window, the files
// named on the command line. End: the plug-ins are unloaded before the host
// services and the settings store, then the records are saved.
#pragma once

#include "host/app_settings.h"

#include <QStringList>

#include <memory>
#include <string>
#include <vector>

namespace pixmill {

class CGuiServices;
class CHostServices;
class CMainFrame;
class CPluginManager;
class CVImageDocTemplate;
class QSettingsStore;

class CPixmillApp {
  public:
    // services: the user-interface service (the program's own when null).
    // pluginRoot: the folder holding Formats/ and Processing/ (the program's
    // folder, or PIXMILL_PLUGIN_ROOT, when empty).
    explicit CPixmillApp(CGuiServices* services = nullptr, std::string pluginRoot = {});
    ~CPixmillApp();

    // False when the program must not start.
    bool InitInstance(const QStringList& files);
    void ExitInstance();

    CMainFrame* MainFrame() const { return mainFrame.get(); }
    CGuiServices& Services() const { return *services; }
    CHostServices& Host() const { return *host; }
    CPluginManager& Plugins() const { return *plugins; }
    AppSettings& Settings() { return settings; }
    RecentFiles& Recent() { return recent; }
    const std::vector<std::unique_ptr<CVImageDocTemplate>>& Templates() const { return templates; }
    // The template for images that come without a file (the first format's).
    CVImageDocTemplate* ImageTemplate() const;
    QSettingsStore& Store() const { return *store; }
    // The folder holding Formats/, Processing/, Sources/ and Destinations/.
    const std::string& PluginRoot() const { return pluginRoot; }

  private:
    std::unique_ptr<CGuiServices> ownServices;
    CGuiServices* services;
    std::string pluginRoot;
    std::unique_ptr<QSettingsStore> store;
    AppSettings settings;
    RecentFiles recent;
    std::unique_ptr<CHostServices> host;
    std::unique_ptr<CPluginManager> plugins;
    std::vector<std::unique_ptr<CVImageDocTemplate>> templates;
    std::unique_ptr<CMainFrame> mainFrame;
    bool started = false;
};

} // namespace pixmill
