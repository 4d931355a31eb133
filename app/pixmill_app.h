// PixmillApp: starts and ends the desktop program. Start: settings store,
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

class GuiServices;
class MainFrame;

class PixmillApp : public AppContext {
  public:
    // services: the user-interface service (the program's own when null).
    // pluginRoot: the folder holding Formats/ and Processing/ (the program's
    // folder, or PIXMILL_PLUGIN_ROOT, when empty).
    explicit PixmillApp(GuiServices* services = nullptr, std::string pluginRoot = {});
    ~PixmillApp();

    // False when the program must not start.
    bool InitInstance(const QStringList& files);
    void ExitInstance();

    MainFrame* Frame() const { return mainFrame.get(); }

  private:
    std::unique_ptr<MainFrame> mainFrame;
    bool started = false;
};

} // namespace pixmill
