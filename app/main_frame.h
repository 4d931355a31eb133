// MainFrame: the main window. Menus and toolbar come from the command table
// (plus the "&Image" popup of the plug-in manager's menu model between View
// and Window), the status bar has the message pane, four narrow panes and the
// image view's four panes, and documents live in a QMdiArea.
#pragma once

#include "compound/page_window/compound_editor_opener.h"
#include "desktop/app_settings.h"
#include "desktop/gui/workspace.h"

#include <QMainWindow>
#include <QUrl>

#include <functional>
#include <map>
#include <memory>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace pixmill {

class ImageBrowser;
class CompoundImageFrame;
class CompoundImage;
class HtmlPageFrame;
class CompoundImageFiles;
class PageWindowServices;
class BatchCommands;
class ImageFrame;
class GuiServices;
class AppContext;
class StatusProgress;
class ImageDoc;
class TwainDocumentClient;
class HelpFailureReporter;
class ThumbnailSource;

class MainFrame : public QMainWindow, public Workspace {
    Q_OBJECT
  public:
    explicit MainFrame(AppContext& app);
    ~MainFrame() override;

    StatusProgress* Progress() const override { return progress; }
    AppContext& App() const { return app; }
    // The thumbnails of the browsers and the open dialog's preview.
    ThumbnailSource& Thumbnails() const { return *thumbnails; }
    // True while a read or a progress-stepped piece of work holds the
    // plug-ins' scratch space: nothing else may decode then.
    bool ScratchInUse() const override;
    // A new image browser on folder.
    ImageBrowser* OpenBrowser(const QString& folder);
    QList<ImageBrowser*> Browsers() const;
    BatchCommands& Batch() { return *batch; }
    GuiServices& Services() override;
    PluginManager& Plugins() override;
    AppSettings& Settings() override;
    QMdiArea* MdiArea() const { return mdi; }
    ImageFrame* ActiveFrame() const override;
    QList<ImageFrame*> Frames() const override;
    QAction* Action(int commandId) const;
    QMenu* ImageMenu() const { return imageMenu; }
    QMenu* WindowMenu() const { return windowMenu; }
    QToolBar* ToolBar() const { return toolBar; }
    // Status panes 2, 4, 6 and 8.
    QLabel* Pane(int index) const;

    // Runs a menu command as if chosen (operation identifiers included).
    void RunCommand(int commandId);
    // Opens files; a file that fails shows its message and opens nothing.
    void OpenFiles(const QStringList& paths) override;
    ImageFrame* OpenFile(const QString& path) override;
    // An HTML page in a page window (null when it cannot be parsed).
    HtmlPageFrame* OpenPage(const QString& path);
    QList<HtmlPageFrame*> Pages() const;
    // How page windows open a compound image window on their objects.
    void SetCompoundEditorOpener(CompoundEditorOpener opener) {
        compoundEditorOpener = std::move(opener);
    }
    // Files dropped onto the window (local files only).
    void OpenDropped(const QList<QUrl>& urls);
    ImageFrame* AddDocument(std::unique_ptr<ImageDoc> document) override;
    // A compound image window on the image ("Compound image %d" without a
    // title).
    CompoundImageFrame* OpenCompound(CompoundImage image, const QString& title = {},
                                     SaveIntoPage saveIntoPage = {});
    // File > New > Compound Image and Create image map.
    CompoundImageFrame* NewCompound();
    CompoundImageFrame* CreateImageMap();
    bool SaveDocument(ImageFrame* frame, bool saveAs);
    // Asks about a modified document; true when it may close.
    bool QuerySave(ImageFrame* frame) override;

    // "WindowPlace": placement and bar flags.
    void RestorePlace();
    void StorePlace();
    // Shows the window as the stored placement says.
    void ShowPlaced();
    // Gamma changed: every view draws again.
    void ApplyDisplayGamma();
    // The scanner client of File > Acquire Image.
    TwainDocumentClient& Twain() { return *twain; }

  public slots:
    void UpdateCommandStates();
    void UpdateStatusPanes();
    // The title names the active window and marks unsaved changes.
    void UpdateWindowTitle();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // Adds a window to the area at tenths of its size, shown and active.
    void ShowSubWindow(QMdiSubWindow* window, int tenths);
    void KeepInsideArea(QMdiSubWindow* window);
    void CreateActions();
    void CreateMenus();
    void CreateStatusBar();
    void UpdateWindowList();
    void BuildImageMenu(QMenu* menu, int index);
    void UpdateRecentMenu();
    QAction* AddCommand(QMenu* menu, int commandId);
    QString OpenFilters() const;
    void RunOperation(int commandId);
    void Tile(bool sideBySide);
    // Tiles the windows and zooms each picture to fit its tile.
    void ZoomedTile();
    void Copy();
    void Paste();
    void ShowPreferences();
    void ShowAbout();
    void ScanWithSane();

    AppContext& app;
    QMdiArea* mdi;
    QToolBar* toolBar = nullptr;
    StatusProgress* progress = nullptr;
    QMenu* editMenu = nullptr;
    QMenu* imageMenu = nullptr;
    QMenu* windowMenu = nullptr;
    QList<QAction*> windowListActions; // the open windows, below the commands
    QMenu* recentMenu = nullptr;
    std::map<int, QAction*> actions;
    std::map<int, std::function<void()>> handlers;
    std::vector<QAction*> operationActions;
    QLabel* panes[9] = {};
    bool startMaximized = false;
    std::unique_ptr<TwainDocumentClient> twain;
    std::unique_ptr<HelpFailureReporter> helpFailures;
    std::unique_ptr<ThumbnailSource> thumbnails;
    std::unique_ptr<BatchCommands> batch;
    int compoundCount = 0;
    // Page windows: their picture files, questions and editors.
    std::unique_ptr<CompoundImageFiles> pageFiles;
    std::unique_ptr<PageWindowServices> pageServices;
    CompoundEditorOpener compoundEditorOpener;
};

} // namespace pixmill
