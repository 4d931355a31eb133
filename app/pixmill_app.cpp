#include "app/pixmill_app.h"

#include "app/main_frame.h"
#include "app/screen_profile.h"
#include "desktop/gui/gui_services.h"
#include "desktop/gui/image_canvas.h"
#include "host/doc_template.h"
#include "host/host_services.h"
#include "host/plugin_manager.h"
#include "host/qsettings_store.h"
#include "pixmill/user_interface.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>

#include <cstdlib>

namespace pixmill {

namespace {
std::string DefaultPluginRoot() {
    if (const char* root = std::getenv("PIXMILL_PLUGIN_ROOT"); root != nullptr && *root) {
        std::string path = root;
        return path.back() == '/' ? path : path + "/";
    }
    return ProgramDirectory();
}
} // namespace

PixmillApp::PixmillApp(GuiServices* external, std::string root) {
    services = external;
    pluginRoot = root.empty() ? DefaultPluginRoot() : std::move(root);
    if (services == nullptr) {
        ownServices = std::make_unique<GuiServices>();
        services = ownServices.get();
    }
    if (pluginRoot.back() != '/') {
        pluginRoot += '/';
    }
}

PixmillApp::~PixmillApp() {
    ExitInstance();
}

bool PixmillApp::InitInstance(const QStringList& files) {
    // Where settings live, then the program's records and the recent files.
    store = std::make_unique<QSettingsStore>();
    recent.Load(*store);
    settings.Load(*store, QDir::currentPath().toStdString());

    // The display: the gamma table; a screen of fewer than 8 bits per pixel
    // cannot show the pictures.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr || screen->depth() < 8) {
        return false;
    }
    ImageCanvas::SetDisplayGamma(MakeGammaTable(settings.gamma));
    ImageCanvas::SetScreenProfile(ReadScreenProfile());

    // The plug-ins, formats first.
    SetUserInterface(services);
    host = std::make_unique<HostServices>(*store, services);
    host->SetAutoOrient(settings.image.keepStoredOrientation == 0);
    plugins = std::make_unique<PluginManager>(host.get());
    plugins->LoadFormats(pluginRoot + "Formats/");
    plugins->LoadProcessing(pluginRoot + "Processing/");
    started = true;
    if (plugins->FormatCount() == 0) {
        return false;
    }
    for (int i = 0; i < plugins->FormatCount(); ++i) {
        templates.push_back(
            std::make_unique<ImageDocTemplate>(*host, *plugins, plugins->FormatAt(i)));
    }

    mainFrame = std::make_unique<MainFrame>(*this);
    services->SetParentWindow(mainFrame.get());
    mainFrame->ShowPlaced();
    mainFrame->OpenFiles(files);
    return true;
}

void PixmillApp::ExitInstance() {
    if (!started) {
        return;
    }
    started = false;
    // Windows and documents first: documents hold images of the host.
    services->SetParentWindow(nullptr);
    mainFrame.reset();
    templates.clear();
    // Plug-ins save their settings as they unload, through the host and the
    // store, which therefore go after them.
    plugins.reset();
    settings.Save(*store);
    recent.Save(*store);
    host.reset();
    SetUserInterface(nullptr);
    store->Flush();
}

} // namespace pixmill
