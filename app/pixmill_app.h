// CPixmillApp: starts and ends the desktop program. Start: settings store,
// the program's records, the display, the plug-ins (no format plug-in ends
// the start), one document template per format, the main window, the files
// named on the command line. End: the plug-ins are unloaded before the host
// services and the settings store, then the records are saved.
#pragma once

#include "app/app_context.h"

#include <QStringList>

#include <memory>
#include <string>
#include <vector>

namespace pixmill {

class CGuiServices;
class CMainFrame;

class CPixmillApp : public AppContext {
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

  private:
    std::unique_ptr<CMainFrame> mainFrame;
    bool started = false;
};

} // namespace pixmill
