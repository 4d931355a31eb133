#include "app/main_frame.h"

#include "acquisition/gui/scan_dialog.h"
#include "acquisition/sane_client.h"
#include "acquisition/twain_document_client.h"
#include "app/app_context.h"
#include "app/batch_commands.h"
#include "app/clipboard_image.h"
#include "app/image_browser.h"
#include "app/library_versions.h"
#include "compound/gui/compound_image_frame.h"
#include "compound/page_window/html_page_frame.h"
#include "compound/page_window/page_template.h"
#include "compound/plugin_image_files.h"
#include "desktop/browser/folder_listing.h"
#include "desktop/browser/thumbnail_source.h"
#include "desktop/commands.h"
#include "desktop/gui/gui_services.h"
#include "desktop/gui/image_canvas.h"
#include "desktop/gui/image_frame.h"
#include "desktop/gui/image_view.h"
#include "desktop/gui/preferences_dialog.h"
#include "desktop/gui/status_progress.h"
#include "host/doc_template.h"
#include "host/host_services.h"
#include "host/image_doc.h"
#include "host/image_io.h"
#include "host/plugin_manager.h"
#include "host/qsettings_store.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/help.h"
#include "pixmill/processing_plugin.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <algorithm>

namespace pixmill {

namespace {

// Status panes: the narrow ones and the placeholder widths of the wide ones.
constexpr int kNarrowPaneWidth = 14;
constexpr int kPanePlaceholder[9] = {0, 0, 20, 0, 28, 0, 15, 0, 16};

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// The area's windows of one kind, in the area's order.
template <typename Window> QList<Window*> WindowsOf(const QMdiArea* area) {
    QList<Window*> windows;
    for (QMdiSubWindow* window : area->subWindowList()) {
        if (auto* typed = qobject_cast<Window*>(window)) {
            windows.push_back(typed);
        }
    }
    return windows;
}

// The page windows' questions and dialogs go through the program's service.
class MainFramePageServices : public PageWindowServices {
  public:
    explicit MainFramePageServices(GuiServices& services) : services(services) {}
    CUserInterface& Ui() override { return services; }
    int RunDialog(QDialog& dialog) override { return services.RunDialog(dialog); }
    QString GetSaveFileName(QWidget* parent, const QString& suggested,
                            const QString& filters) override {
        return services.GetSaveFileName(parent, suggested, filters);
    }
    SaveAnswer AskSaveChanges(QWidget* parent, const QString& title) override {
        switch (services.AskSaveChanges(parent, title)) {
        case GuiServices::SaveAnswer::Yes:
            return SaveAnswer::Yes;
        case GuiServices::SaveAnswer::No:
            return SaveAnswer::No;
        case GuiServices::SaveAnswer::Cancel:
            break;
        }
        return SaveAnswer::Cancel;
    }

  private:
    GuiServices& services;
};

} // namespace

MainFrame::MainFrame(AppContext& app)
    : app(app), thumbnails(std::make_unique<ThumbnailSource>(app.Host(), app.Plugins())) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("Pixmill"));
    setWindowIcon(QIcon(QStringLiteral(":/pixmill/pixmill.png")));
    setAcceptDrops(true);
    mdi = new QMdiArea(this);
    mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi);
    connect(mdi, &QMdiArea::subWindowActivated, this, [this] {
        UpdateCommandStates();
        UpdateStatusPanes();
    });
    CreateStatusBar();
    helpFailures = std::make_unique<HelpFailureReporter>(app.Services());
    batch = std::make_unique<BatchCommands>(*this, this, app);
    pageFiles = std::make_unique<PluginImageFiles>(app.Host(), app.Plugins());
    pageServices = std::make_unique<MainFramePageServices>(app.Services());
    CreateActions();
    CreateMenus();
    // The scanner connection: pictures become untitled documents; the
    // source's events are handed over on this thread.
    twain = std::make_unique<TwainDocumentClient>(
        app.Host(), app.ImageTemplate(),
        [this](std::unique_ptr<ImageDoc> document) { AddDocument(std::move(document)); });
    twain->SetEventNotifier([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                twain->DispatchEvents();
                UpdateCommandStates();
            },
            Qt::QueuedConnection);
    });
    twain->Setup(reinterpret_cast<void*>(winId()));
    // Without a stored placement the window takes most of the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        resize(available.width() * 4 / 5, available.height() * 4 / 5);
        move(available.center() - rect().center());
    }
    RestorePlace();
    UpdateCommandStates();
    SetCompoundWindowContext(CompoundWindowContext{
        &Services(), pageFiles.get(), &app.Store(), FormatFilterText(FormatFilters(app.Plugins())),
        [this](const QImage& picture, const std::string& title) {
            CVImage image(&this->app.Host());
            CVImageOf(picture, image);
            batch->ExportImage(title, image);
        }});
    // A page window edits its compound images in the program's compound
    // image windows; saving there writes into the page.
    SetCompoundEditorOpener([this](CompoundImage image, const QString& title,
                                   SaveIntoPage saveIntoPage, QWidget*) -> QWidget* {
        return OpenCompound(std::move(image), title, std::move(saveIntoPage));
    });
    Services().SetOpenPreview([this](const QString& path) {
        if (ScratchInUse()) {
            return Thumbnail{}; // no picture now; the sizes still show
        }
        return thumbnails->Get(path, 160, 160);
    });
}

MainFrame::~MainFrame() {
    twain.reset(); // the source closes before the windows go
    Services().SetOpenPreview({});
    // Frames hold documents; they go while the plug-ins are still loaded.
    for (QMdiSubWindow* window : mdi->subWindowList()) {
        delete window;
    }
    SetCompoundWindowContext({});
}

GuiServices& MainFrame::Services() {
    return app.Services();
}

PluginManager& MainFrame::Plugins() {
    return app.Plugins();
}

AppSettings& MainFrame::Settings() {
    return app.Settings();
}

QLabel* MainFrame::Pane(int index) const {
    return index >= 0 && index < 9 ? panes[index] : nullptr;
}

void MainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    const QFontMetrics metrics(bar->font());
    for (int i = 1; i < 9; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("pane%1").arg(i));
        if (kPanePlaceholder[i] == 0) {
            label->setFixedWidth(kNarrowPaneWidth);
            label->setEnabled(false);
        } else {
            label->setMinimumWidth(metrics.horizontalAdvance(QString(kPanePlaceholder[i], ' ')) +
                                   metrics.averageCharWidth() * kPanePlaceholder[i] / 2);
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        }
        panes[i] = label;
        bar->addPermanentWidget(label);
    }
    progress = new StatusProgress(bar);
}

QAction* MainFrame::AddCommand(QMenu* menu, int commandId) {
    QAction* action = actions.at(commandId);
    menu->addAction(action);
    return action;
}

void MainFrame::CreateActions() {
    for (const CommandSpec& spec : CommandTable()) {
        auto* action = new QAction(QString::fromUtf8(spec.text), this);
        action->setObjectName(QStringLiteral("command%1").arg(spec.id));
        action->setData(spec.id);
        if (*spec.shortcut != '\0') {
            action->setShortcut(QKeySequence(QString::fromUtf8(spec.shortcut)));
        }
        action->setStatusTip(Text(PromptText(spec)));
        if (const std::string tip = ToolTipText(spec); !tip.empty()) {
            action->setToolTip(Text(tip));
        }
        const int id = spec.id;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        actions[spec.id] = action;
    }
    QStyle* style = this->style();
    actions[cmd::Open]->setIcon(style->standardIcon(QStyle::SP_DialogOpenButton));
    actions[cmd::Save]->setIcon(style->standardIcon(QStyle::SP_DialogSaveButton));
    actions[cmd::Undo]->setIcon(style->standardIcon(QStyle::SP_ArrowBack));
    actions[cmd::Redo]->setIcon(style->standardIcon(QStyle::SP_ArrowForward));
    actions[cmd::ZoomIn]->setIcon(QIcon::fromTheme(QStringLiteral("zoom-in")));
    actions[cmd::ZoomOut]->setIcon(QIcon::fromTheme(QStringLiteral("zoom-out")));
    actions[cmd::FitToWindow]->setIcon(QIcon::fromTheme(QStringLiteral("zoom-fit-best")));
    actions[cmd::About]->setIcon(style->standardIcon(QStyle::SP_MessageBoxInformation));
    for (int id : {cmd::ToggleToolbar, cmd::ToggleStatusBar, cmd::ZoomTool, cmd::SelectTool}) {
        actions[id]->setCheckable(true);
    }
    actions[cmd::ToggleToolbar]->setChecked(true);
    actions[cmd::ToggleStatusBar]->setChecked(true);
    auto* tools = new QActionGroup(this);
    tools->addAction(actions[cmd::ZoomTool]);
    tools->addAction(actions[cmd::SelectTool]);
    actions[ImageView::Tool() == ToolMode::Zoom ? cmd::ZoomTool : cmd::SelectTool]->setChecked(
        true);

    auto withView = [this](void (ImageView::*method)()) {
        return [this, method] {
            if (ImageFrame* frame = ActiveFrame()) {
                (frame->View()->*method)();
                UpdateCommandStates();
            }
        };
    };
    auto withDocument = [this](auto method) {
        return [this, method] {
            if (ImageFrame* frame = ActiveFrame()) {
                method(frame->Document());
                UpdateCommandStates();
                UpdateStatusPanes();
            }
        };
    };
    handlers = {
        {cmd::Open,
         [this] {
             const QStringList files = Services().GetOpenFileNames(
                 this, OpenFilters(), QString::fromLocal8Bit(Settings().image.workingDirectory));
             OpenFiles(files);
         }},
        {cmd::Close,
         [this] {
             if (QMdiSubWindow* window = mdi->activeSubWindow()) {
                 window->close();
             }
         }},
        {cmd::Save,
         [this] {
             if (ImageFrame* frame = ActiveFrame()) {
                 SaveDocument(frame, false);
             }
         }},
        {cmd::SaveAs,
         [this] {
             if (ImageFrame* frame = ActiveFrame()) {
                 SaveDocument(frame, true);
             }
         }},
        {cmd::Preferences, [this] { ShowPreferences(); }},
        {cmd::Exit, [this] { close(); }},
        {cmd::Undo, withDocument([](ImageDoc& d) { d.OnUndo(); })},
        {cmd::Redo, withDocument([](ImageDoc& d) { d.OnRedo(); })},
        {cmd::Crop,
         [this] {
             if (ImageFrame* frame = ActiveFrame()) {
                 QApplication::setOverrideCursor(Qt::WaitCursor);
                 frame->Document().OnCrop();
                 QApplication::restoreOverrideCursor();
                 UpdateCommandStates();
             }
         }},
        {cmd::Copy, [this] { Copy(); }},
        {cmd::Paste, [this] { Paste(); }},
        {cmd::SelectAll,
         [this] {
             if (ImageFrame* frame = ActiveFrame()) {
                 frame->Document().OnSelectAll();
                 frame->View()->DocumentChanged();
                 UpdateCommandStates();
             }
         }},
        {cmd::ToggleToolbar,
         [this] { toolBar->setVisible(actions[cmd::ToggleToolbar]->isChecked()); }},
        {cmd::ToggleStatusBar,
         [this] { statusBar()->setVisible(actions[cmd::ToggleStatusBar]->isChecked()); }},
        {cmd::ZoomIn, withView(&ImageView::ZoomIn)},
        {cmd::ZoomOut, withView(&ImageView::ZoomOut)},
        {cmd::FitToWindow, withView(&ImageView::ZoomToFit)},
        {cmd::ActualPixels, withView(&ImageView::ActualPixels)},
        {cmd::ZoomTool, [] { ImageView::SetTool(ToolMode::Zoom); }},
        {cmd::SelectTool, [] { ImageView::SetTool(ToolMode::Select); }},
        {cmd::Cascade, [this] { mdi->cascadeSubWindows(); }},
        {cmd::TileHorizontally, [this] { Tile(true); }},
        {cmd::TileVertically, [this] { Tile(false); }},
        {cmd::CloseAll, [this] { mdi->closeAllSubWindows(); }},
        {cmd::ZoomedTile, [this] { ZoomedTile(); }},
        {cmd::Browse,
         [this] {
             QString folder = QString::fromLocal8Bit(Settings().image.workingDirectory);
             if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
                 folder = QDir::currentPath();
             }
             OpenBrowser(folder);
         }},
        {cmd::About, [this] { ShowAbout(); }},
        {cmd::TwainSelectSource, [this] { twain->SelectSourceCommand(); }},
        {cmd::TwainAcquire, [this] { twain->AcquireCommand(); }},
        {cmd::SaneScan, [this] { ScanWithSane(); }},
        {cmd::BatchOpen, [this] { batch->BatchOpen(); }},
        {cmd::ExportCurrent, [this] { batch->Export(false); }},
        {cmd::ExportAll, [this] { batch->Export(true); }},
        {cmd::BatchProcessing, [this] { batch->RunBatch(); }},
        {cmd::HelpContents, [] { OpenHelpContents(); }},
        {cmd::NewCompound, [this] { NewCompound(); }},
        {cmd::ImageMap, [this] { CreateImageMap(); }},
    };
}

// Windows side by side (sideBySide) or one above the other, filling the area.
void MainFrame::Tile(bool sideBySide) {
    const QList<QMdiSubWindow*> windows = mdi->subWindowList();
    if (windows.isEmpty()) {
        return;
    }
    const QSize area = mdi->viewport()->size();
    const int count = static_cast<int>(windows.size());
    const int width = sideBySide ? area.width() / count : area.width();
    const int height = sideBySide ? area.height() : area.height() / count;
    for (int i = 0; i < count; ++i) {
        windows[i]->showNormal();
        windows[i]->setGeometry(sideBySide ? i * width : 0, sideBySide ? 0 : i * height, width,
                                height);
    }
}

void MainFrame::ZoomedTile() {
    if (mdi->subWindowList().isEmpty()) {
        return;
    }
    mdi->tileSubWindows();
    for (ImageFrame* frame : Frames()) {
        frame->View()->ZoomToFit();
    }
}

bool MainFrame::ScratchInUse() const {
    if (progress->Active()) {
        return true;
    }
    const QList<ImageFrame*> frames = Frames();
    return std::any_of(frames.begin(), frames.end(),
                       [](ImageFrame* frame) { return frame->Document().PixelsPending(); });
}

ImageBrowser* MainFrame::OpenBrowser(const QString& folder) {
    auto* browser = new ImageBrowser(*this, *thumbnails, folder);
    ShowSubWindow(browser, 9);
    return browser;
}

void MainFrame::ShowSubWindow(QMdiSubWindow* window, int tenths) {
    mdi->addSubWindow(window);
    const QSize area = mdi->viewport()->size();
    window->resize(std::max(area.width() * tenths / 10, 480),
                   std::max(area.height() * tenths / 10, 360));
    connect(window, &QWidget::windowTitleChanged, this, &MainFrame::UpdateWindowTitle);
    window->show();
    KeepInsideArea(window);
    mdi->setActiveSubWindow(window);
    UpdateCommandStates();
}

QList<ImageBrowser*> MainFrame::Browsers() const {
    return WindowsOf<ImageBrowser>(mdi);
}

void MainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QMenu* newMenu = file->addMenu(tr("&New"));
    newMenu->setObjectName(QStringLiteral("newMenu"));
    AddCommand(newMenu, cmd::NewCompound);
    for (int id : {cmd::Open, cmd::Browse, cmd::BatchOpen, cmd::Close, cmd::Save, cmd::SaveAs}) {
        AddCommand(file, id);
    }
    QMenu* acquire = file->addMenu(tr("Acquire &Image"));
    acquire->setObjectName(QStringLiteral("acquireMenu"));
    for (int id : {cmd::TwainSelectSource, cmd::TwainAcquire, cmd::SaneScan}) {
        AddCommand(acquire, id);
    }
    file->addSeparator();
    AddCommand(file, cmd::ImageMap);
    QMenu* exportMenu = file->addMenu(tr("&Export"));
    AddCommand(exportMenu, cmd::ExportCurrent);
    AddCommand(exportMenu, cmd::ExportAll);
    AddCommand(file, cmd::BatchProcessing);
    file->addSeparator();
    AddCommand(file, cmd::Preferences);
    file->addSeparator();
    recentMenu = file->addMenu(tr("Recent &Files"));
    recentMenu->setObjectName(QStringLiteral("recentMenu"));
    file->addSeparator();
    AddCommand(file, cmd::Exit);
    connect(file, &QMenu::aboutToShow, this, [this] { UpdateRecentMenu(); });

    editMenu = menuBar()->addMenu(tr("&Edit"));
    AddCommand(editMenu, cmd::Undo);
    AddCommand(editMenu, cmd::Redo);
    editMenu->addSeparator();
    AddCommand(editMenu, cmd::Crop);
    AddCommand(editMenu, cmd::Copy);
    AddCommand(editMenu, cmd::Paste);
    editMenu->addSeparator();
    AddCommand(editMenu, cmd::SelectAll);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    AddCommand(view, cmd::ToggleToolbar);
    AddCommand(view, cmd::ToggleStatusBar);
    view->addSeparator();
    for (int id : {cmd::ZoomIn, cmd::ZoomOut, cmd::ActualPixels, cmd::FitToWindow}) {
        AddCommand(view, id);
    }
    view->addSeparator();
    AddCommand(view, cmd::ZoomTool);
    AddCommand(view, cmd::SelectTool);

    imageMenu = menuBar()->addMenu(tr("&Image"));
    imageMenu->setObjectName(QStringLiteral("imageMenu"));
    if (app.Plugins().MenuCount() > 0) {
        BuildImageMenu(imageMenu, 0);
    }

    windowMenu = menuBar()->addMenu(tr("&Window"));
    for (int id : {cmd::Cascade, cmd::TileHorizontally, cmd::TileVertically, cmd::ZoomedTile,
                   cmd::CloseAll}) {
        AddCommand(windowMenu, id);
    }
    connect(windowMenu, &QMenu::aboutToShow, this, &MainFrame::UpdateWindowList);
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    AddCommand(help, cmd::HelpContents);
    help->addSeparator();
    AddCommand(help, cmd::About);
    for (QMenu* menu : {file, editMenu, view, imageMenu, windowMenu}) {
        connect(menu, &QMenu::aboutToShow, this, &MainFrame::UpdateCommandStates);
    }

    toolBar = addToolBar(tr("Standard"));
    toolBar->setObjectName(QStringLiteral("toolBar"));
    for (int id :
         std::initializer_list<int>{cmd::Open, cmd::Save, 0, cmd::Undo, cmd::Redo, 0, cmd::ZoomIn,
                                    cmd::ZoomOut, cmd::ActualPixels, cmd::FitToWindow, 0,
                                    cmd::ZoomTool, cmd::SelectTool, 0, cmd::About}) {
        if (id == 0) {
            toolBar->addSeparator();
        } else {
            toolBar->addAction(actions[id]);
        }
    }
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
}

// The open windows below the Window menu's commands, numbered, the active
// one checked; choosing one brings it to the front.
void MainFrame::UpdateWindowList() {
    for (QAction* action : windowListActions) {
        windowMenu->removeAction(action);
        action->deleteLater();
    }
    windowListActions.clear();
    const QList<QMdiSubWindow*> windows = mdi->subWindowList();
    if (windows.isEmpty()) {
        return;
    }
    windowListActions.append(windowMenu->addSeparator());
    int number = 0;
    for (QMdiSubWindow* window : windows) {
        ++number;
        const QString text = number < 10
                                 ? QStringLiteral("&%1 %2").arg(number).arg(window->windowTitle())
                                 : QStringLiteral("%1 %2").arg(number).arg(window->windowTitle());
        QAction* action = windowMenu->addAction(text);
        action->setCheckable(true);
        action->setChecked(window == mdi->activeSubWindow());
        connect(action, &QAction::triggered, this,
                [this, window] { mdi->setActiveSubWindow(window); });
        windowListActions.append(action);
    }
}

void MainFrame::BuildImageMenu(QMenu* menu, int index) {
    for (const MenuItem& item : app.Plugins().GetMenu(index).items) {
        if (item.submenu >= 0) {
            BuildImageMenu(menu->addMenu(Text(item.text)), item.submenu);
            continue;
        }
        QAction* action = menu->addAction(Text(item.text));
        action->setData(item.commandId);
        action->setObjectName(QStringLiteral("command%1").arg(item.commandId));
        if (CProcessingPlugin* plugin = app.Plugins().SelectOperation(item.commandId)) {
            action->setStatusTip(QString::fromUtf8(plugin->GetDescription()));
        }
        const int id = item.commandId;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        operationActions.push_back(action);
    }
}

void MainFrame::UpdateRecentMenu() {
    recentMenu->clear();
    const std::vector<std::string>& files = app.Recent().Files();
    for (size_t i = 0; i < files.size(); ++i) {
        const QString path = QString::fromStdString(files[i]);
        QAction* action = recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(path));
        action->setStatusTip(Text(PromptText(*FindCommand(cmd::RecentFile))));
        connect(action, &QAction::triggered, this, [this, path] {
            if (progress->Active()) {
                return;
            }
            const bool opened = IsPagePath(path.toStdString()) ? OpenPage(path) != nullptr
                                                               : OpenFile(path) != nullptr;
            if (!opened) {
                app.Recent().Remove(path.toStdString()); // gone or unreadable
            }
        });
    }
    recentMenu->setEnabled(!files.empty());
}

QAction* MainFrame::Action(int commandId) const {
    if (auto it = actions.find(commandId); it != actions.end()) {
        return it->second;
    }
    for (QAction* action : operationActions) {
        if (action->data().toInt() == commandId) {
            return action;
        }
    }
    return nullptr;
}

ImageFrame* MainFrame::ActiveFrame() const {
    return qobject_cast<ImageFrame*>(mdi->activeSubWindow());
}

QList<ImageFrame*> MainFrame::Frames() const {
    return WindowsOf<ImageFrame>(mdi);
}

void MainFrame::UpdateCommandStates() {
    ImageFrame* frame = ActiveFrame();
    CommandState state;
    state.windows = !mdi->subWindowList().isEmpty();
    if (frame != nullptr) {
        ImageDoc& document = frame->Document();
        state.document = true;
        state.selection = document.HasSelection();
        state.canUndo = document.CanUndo();
        state.canRedo = document.CanRedo();
        state.zoom = frame->View()->Zoom();
        actions[cmd::Undo]->setText(Text(document.UndoMenuText()));
        actions[cmd::Redo]->setText(Text(document.RedoMenuText()));
    } else {
        actions[cmd::Undo]->setText(QString::fromUtf8(FindCommand(cmd::Undo)->text));
        actions[cmd::Redo]->setText(QString::fromUtf8(FindCommand(cmd::Redo)->text));
    }
    for (const CommandSpec& spec : CommandTable()) {
        actions[spec.id]->setEnabled(IsCommandEnabled(spec.enabling, state));
    }
    const CVImage* image = frame != nullptr ? &frame->Document().Image() : nullptr;
    for (QAction* action : operationActions) {
        action->setEnabled(app.Plugins().CanApplyCommand(image, action->data().toInt()));
    }
    UpdateWindowTitle();
    // Without documents the frame offers File, Edit (Paste only), View and Help.
    imageMenu->menuAction()->setVisible(frame != nullptr);
    windowMenu->menuAction()->setVisible(state.windows);
    for (QAction* action : editMenu->actions()) {
        action->setVisible(frame != nullptr || action == actions[cmd::Paste]);
    }
}

void MainFrame::UpdateWindowTitle() {
    QMdiSubWindow* active = mdi->activeSubWindow();
    ImageFrame* frame = ActiveFrame();
    const bool modified = frame != nullptr && frame->Document().IsModified();
    setWindowTitle(QString::fromStdString(MainWindowTitle(
        active != nullptr ? active->windowTitle().toStdString() : std::string(), modified)));
}

void MainFrame::UpdateStatusPanes() {
    ImageFrame* frame = ActiveFrame();
    ImageView* view = frame != nullptr ? frame->View() : nullptr;
    panes[2]->setText(view != nullptr ? view->MousePositionPane() : QString());
    panes[4]->setText(view != nullptr ? view->ImageSizePane() : QString());
    panes[6]->setText(view != nullptr ? view->MemoryPane() : QString());
    panes[8]->setText(view != nullptr ? view->DiskPane() : QString());
}

void MainFrame::RunCommand(int commandId) {
    if (progress->Active()) {
        return; // one piece of work at a time
    }
    if (app.Plugins().IsOperationCommand(commandId)) {
        RunOperation(commandId);
    } else if (auto it = handlers.find(commandId); it != handlers.end()) {
        it->second();
    }
    UpdateCommandStates();
}

void MainFrame::RunOperation(int commandId) {
    ImageFrame* frame = ActiveFrame();
    if (frame == nullptr || !app.Plugins().CanApplyCommand(&frame->Document().Image(), commandId)) {
        return;
    }
    ImageDoc& document = frame->Document();
    const QPoint scroll(frame->View()->horizontalScrollBar()->value(),
                        frame->View()->verticalScrollBar()->value());
    Services().SetOperationContext(document.HasSelection() ? std::optional(document.Selection())
                                                           : std::nullopt);
    const bool done = document.ApplyCommand(commandId);
    Services().SetOperationContext(std::nullopt);
    if (!done) {
        return;
    }
    // The picture stays where the user left it: same zoom, same scroll
    // position (kept inside the new size when the image changed size).
    ImageView* view = frame->View();
    view->DocumentChanged();
    view->horizontalScrollBar()->setValue(scroll.x());
    view->verticalScrollBar()->setValue(scroll.y());
    frame->UpdateTitle();
    UpdateStatusPanes();
}

QString MainFrame::OpenFilters() const {
    std::vector<FormatFilter> filters = FormatFilters(app.Plugins());
    QStringList patterns;
    for (const std::string& pattern : PageTemplateOf().patterns) {
        patterns << QString::fromStdString(pattern);
    }
    filters.push_back({QString::fromStdString(PageTemplateOf().filterText), patterns});
    return FormatFilterText(filters);
}

ImageFrame* MainFrame::AddDocument(std::unique_ptr<ImageDoc> document) {
    auto* frame = new ImageFrame(std::move(document), *this);
    connect(frame, &ImageFrame::StatusChanged, this, &MainFrame::UpdateStatusPanes);
    connect(frame, &ImageFrame::CommandStatesChanged, this, &MainFrame::UpdateCommandStates);
    connect(frame, &QWidget::windowTitleChanged, this, &MainFrame::UpdateWindowTitle);
    mdi->addSubWindow(frame);
    frame->show();
    frame->SizeToImage(Settings().image.zoomToWindow != 0);
    KeepInsideArea(frame);
    mdi->setActiveSubWindow(frame);
    UpdateCommandStates();
    UpdateStatusPanes();
    return frame;
}

// A new window lies wholly inside the visible area: the area's cascade
// would otherwise push later windows past its right or bottom edge.
void MainFrame::KeepInsideArea(QMdiSubWindow* window) {
    const QSize area = mdi->viewport()->size();
    const QRect at = window->geometry();
    const int x = std::clamp(at.x(), 0, std::max(0, area.width() - at.width()));
    const int y = std::clamp(at.y(), 0, std::max(0, area.height() - at.height()));
    if (x != at.x() || y != at.y()) {
        window->move(x, y);
    }
}

CompoundImageFrame* MainFrame::OpenCompound(CompoundImage image, const QString& title,
                                            SaveIntoPage saveIntoPage) {
    const QString shown =
        title.isEmpty() ? QStringLiteral("Compound image %1").arg(++compoundCount) : title;
    auto* frame = new CompoundImageFrame(std::move(image), shown, std::move(saveIntoPage));
    connect(frame, &QWidget::windowTitleChanged, this, &MainFrame::UpdateWindowTitle);
    mdi->addSubWindow(frame);
    frame->show();
    KeepInsideArea(frame);
    mdi->setActiveSubWindow(frame);
    UpdateCommandStates();
    return frame;
}

CompoundImageFrame* MainFrame::NewCompound() {
    return OpenCompound(CompoundImage(CompoundDefaults::Load(app.Store())));
}

// The active image's picture as the one image object of a compound image of
// its size, ready for regions.
CompoundImageFrame* MainFrame::CreateImageMap() {
    ImageFrame* active = ActiveFrame();
    if (active == nullptr) {
        return nullptr;
    }
    const ImageDoc& document = active->Document();
    QImage picture = QImageOf(document.Image());
    if (picture.isNull()) {
        return nullptr;
    }
    const CompoundDefaults defaults = CompoundDefaults::Load(app.Store());
    CompoundImage image(defaults);
    image.SetCanvas(picture.width(), picture.height(), defaults.background);
    image.Insert(CompoundObject::MakeImage(std::make_shared<const QImage>(std::move(picture)),
                                           document.Path(), 0, 0));
    return OpenCompound(std::move(image), QString::fromStdString(document.Title()));
}

ImageFrame* MainFrame::OpenFile(const QString& path) {
    const std::string fileName = QFileInfo(path).absoluteFilePath().toStdString();
    auto document = std::make_unique<ImageDoc>(app.Host(), app.Plugins());
    document->SetProgressDisplay(progress);
    document->SetProgressiveView(Settings().image.progressiveView != 0);
    if (!document->OnOpenDocument(fileName)) {
        return nullptr; // the document showed its error; nothing else changed
    }
    app.Recent().Add(fileName);
    return AddDocument(std::move(document));
}

void MainFrame::OpenFiles(const QStringList& paths) {
    // Several files at once are read whole, one after the other.
    const int32_t progressive = Settings().image.progressiveView;
    if (paths.size() > 1) {
        Settings().image.progressiveView = 0;
    }
    for (const QString& path : paths) {
        if (IsPagePath(path.toStdString())) {
            OpenPage(path);
        } else {
            OpenFile(path);
        }
    }
    Settings().image.progressiveView = progressive;
}

HtmlPageFrame* MainFrame::OpenPage(const QString& path) {
    const QString fileName = QFileInfo(path).absoluteFilePath();
    PageWindowHooks hooks;
    hooks.openCompoundEditor = compoundEditorOpener;
    hooks.openImageFile = [this](const QString& image) -> QWidget* { return OpenFile(image); };
    hooks.findImageWindow = [this](const QString& image) -> QWidget* {
        const std::string wanted = QFileInfo(image).absoluteFilePath().toStdString();
        for (ImageFrame* frame : Frames()) {
            if (frame->Document().Path() == wanted) {
                return frame;
            }
        }
        return nullptr;
    };
    hooks.programDirectory = QString::fromStdString(app.PluginRoot());
    auto* frame = new HtmlPageFrame(*pageFiles, *pageServices, std::move(hooks));
    if (!frame->Open(fileName)) {
        delete frame; // the parser showed its error
        return nullptr;
    }
    app.Recent().Add(fileName.toStdString());
    ShowSubWindow(frame, 8);
    return frame;
}

QList<HtmlPageFrame*> MainFrame::Pages() const {
    return WindowsOf<HtmlPageFrame>(mdi);
}

bool MainFrame::SaveDocument(ImageFrame* frame, bool saveAs) {
    ImageDoc& document = frame->Document();
    QString path = QString::fromStdString(document.Path());
    const bool hasFile = !path.isEmpty() && QFileInfo(path).isAbsolute();
    CFormatPlugin* format = hasFile ? FormatForWriting(app.Plugins(), path.toStdString()) : nullptr;
    if (saveAs || !hasFile || format == nullptr || (format->GetCapabilities() & CapCanSave) == 0) {
        QStringList filters;
        QString selected;
        for (const auto& documentTemplate : app.Templates()) {
            CFormatPlugin* candidate = documentTemplate->Format();
            if ((candidate->GetCapabilities() & CapCanSave) == 0) {
                continue;
            }
            QString filter = Text(documentTemplate->Strings().filterName);
            const int open = static_cast<int>(filter.lastIndexOf('('));
            filter = filter.left(open) + filter.mid(open).replace(';', ' ');
            filters << filter;
            if (candidate == document.Format()) {
                selected = filter;
            }
        }
        const QString suggested = hasFile
                                      ? path
                                      : QString::fromLocal8Bit(Settings().image.workingDirectory) +
                                            '/' + QString::fromStdString(document.Title());
        path = Services().GetSaveFileName(this, suggested, filters.join(QStringLiteral(";;")));
        if (path.isEmpty()) {
            return false;
        }
        if (QFileInfo(path).suffix().isEmpty() && document.Format() != nullptr) {
            path += QString::fromStdString(ImageDoc::FirstExtension(document.Format()));
        }
    }
    document.SetConvertToSrgb(Settings().image.saveAsSrgb != 0);
    const bool saved = document.OnSaveDocument(path.toStdString(), true);
    if (saved) {
        app.Recent().Add(document.Path());
        frame->UpdateTitle();
        if (document.SavedConverted()) {
            // The file holds fewer colours than the window: say so, since
            // the window keeps showing the full picture.
            statusBar()->showMessage(
                tr("%1 was written as a copy converted to %2 bits; the picture keeps %3 bits")
                    .arg(QFileInfo(path).fileName())
                    .arg(document.WrittenBitCount())
                    .arg(document.Image().BitCount()),
                10000);
        } else {
            statusBar()->clearMessage();
        }
    }
    UpdateStatusPanes();
    UpdateCommandStates();
    return saved;
}

bool MainFrame::QuerySave(ImageFrame* frame) {
    if (!frame->Document().IsModified()) {
        return true;
    }
    mdi->setActiveSubWindow(frame);
    switch (Services().AskSaveChanges(this, Text(frame->Document().Title()))) {
    case GuiServices::SaveAnswer::Yes:
        return SaveDocument(frame, false);
    case GuiServices::SaveAnswer::No:
        return true;
    case GuiServices::SaveAnswer::Cancel:
        return false;
    }
    return false;
}

void MainFrame::Copy() {
    ImageFrame* frame = ActiveFrame();
    if (frame == nullptr) {
        return;
    }
    const PackedDib dib = frame->Document().OnCopy();
    if (dib.block == nullptr) {
        return;
    }
    const QImage image = ImageFromPackedDib(static_cast<const uint8_t*>(dib.block), dib.size);
    app.Host().Free(dib.block);
    if (!image.isNull()) {
        QApplication::clipboard()->setImage(image);
    }
}

void MainFrame::Paste() {
    const QImage image = QApplication::clipboard()->image();
    ImageDocTemplate* documentTemplate = app.ImageTemplate();
    if (image.isNull() || documentTemplate == nullptr) {
        return;
    }
    CVImage picture(&app.Host());
    try {
        ImageFromQImage(image, picture);
    } catch (CQorelError& error) {
        error.Report(true);
        return;
    }
    AddDocument(documentTemplate->OpenFromImage(picture));
}

// File > Acquire Image > Scan (SANE): the scanner and its settings, then
// every page scanned becomes an untitled document; Esc cancels.
void MainFrame::ScanWithSane() {
    ImageDocTemplate* documentTemplate = app.ImageTemplate();
    if (documentTemplate == nullptr) {
        return;
    }
    try {
        SaneClient sane;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        std::vector<SaneDeviceInfo> devices = sane.Devices();
        QApplication::restoreOverrideCursor();
        if (devices.empty()) {
            Services().ShowMessage("Pixmill", "No scanner was found", MessageIcon::Warning);
            return;
        }
        ScanDialog dialog(sane, std::move(devices), this);
        if (Services().RunDialog(dialog) != QDialog::Accepted || dialog.Device() == nullptr) {
            return;
        }
        HostProgress work(progress, "Scanning " + dialog.Device()->Name());
        dialog.Device()->Scan(app.Host(), &work, [&](CVImage& page) {
            AddDocument(documentTemplate->OpenFromImage(page));
        });
    } catch (CQorelError& error) {
        if (QApplication::overrideCursor() != nullptr) {
            QApplication::restoreOverrideCursor();
        }
        error.Report(true);
    }
}

void MainFrame::ShowPreferences() {
    PreferencesDialog dialog(Settings(), Services(), this);
    if (Services().RunDialog(dialog) != QDialog::Accepted) {
        return;
    }
    Settings() = dialog.Model().Values();
    app.Host().SetAutoOrient(Settings().image.keepStoredOrientation == 0);
    ApplyDisplayGamma();
    for (ImageBrowser* browser : Browsers()) {
        browser->SetCellSize(Settings().image.sheetWidth, Settings().image.sheetHeight);
    }
}

void MainFrame::ApplyDisplayGamma() {
    ImageCanvas::SetDisplayGamma(MakeGammaTable(Settings().gamma));
    for (ImageFrame* frame : Frames()) {
        frame->View()->viewport()->update();
    }
}

void MainFrame::ShowAbout() {
    QString libraries;
    for (const LibraryVersion& library : LibraryVersions(app.Plugins())) {
        libraries += QStringLiteral("\n%1 %2").arg(QString::fromStdString(library.name),
                                                   QString::fromStdString(library.version));
    }
    QMessageBox box(QMessageBox::Information, tr("About Pixmill"),
                    tr("Pixmill %1\n\nPrepares pictures for the web: opens, views, crops, "
                       "converts, filters, resamples, adjusts, rotates and saves images.\n\n"
                       "%2 format and %3 processing plug-ins loaded.\n\nLibraries:%4")
                        .arg(QStringLiteral(PIXMILL_VERSION))
                        .arg(app.Plugins().FormatCount())
                        .arg(app.Plugins().ProcessorCount())
                        .arg(libraries),
                    QMessageBox::Ok, this);
    Services().RunDialog(box);
}

void MainFrame::RestorePlace() {
    WindowPlace place;
    if (!ReadRecord(app.Store(), kWindowPlaceName, place)) {
        return;
    }
    const WindowPlacement& p = place.placement;
    if (p.width > 0 && p.height > 0) {
        setGeometry(p.x, p.y, p.width, p.height);
    }
    startMaximized = p.showState == 2;
    // The bars are hidden through their own toggle commands.
    if (place.toolbarVisible == 0) {
        actions[cmd::ToggleToolbar]->setChecked(false);
        RunCommand(cmd::ToggleToolbar);
    }
    if (place.statusBarVisible == 0) {
        actions[cmd::ToggleStatusBar]->setChecked(false);
        RunCommand(cmd::ToggleStatusBar);
    }
}

void MainFrame::StorePlace() {
    WindowPlace place;
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    place.placement.showState = isMaximized() ? 2 : (isMinimized() ? 1 : 0);
    place.placement.x = normal.x();
    place.placement.y = normal.y();
    place.placement.width = normal.width();
    place.placement.height = normal.height();
    place.toolbarVisible = actions[cmd::ToggleToolbar]->isChecked() ? 1 : 0;
    place.statusBarVisible = actions[cmd::ToggleStatusBar]->isChecked() ? 1 : 0;
    WriteRecord(app.Store(), kWindowPlaceName, place);
}

void MainFrame::ShowPlaced() {
    if (startMaximized) {
        showMaximized();
    } else {
        show();
    }
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (progress->Active()) {
        event->ignore();
        return;
    }
    StorePlace();
    mdi->closeAllSubWindows();
    const QList<QMdiSubWindow*> windows = mdi->subWindowList();
    if (std::any_of(windows.begin(), windows.end(),
                    [](QMdiSubWindow* window) { return window->isVisible(); })) {
        event->ignore(); // a document chose to stay
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void MainFrame::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    OpenDropped(event->mimeData()->urls());
}

void MainFrame::OpenDropped(const QList<QUrl>& urls) {
    if (progress->Active()) {
        return;
    }
    QStringList files;
    for (const QUrl& url : urls) {
        if (url.isLocalFile()) {
            files << url.toLocalFile();
        }
    }
    OpenFiles(files);
}

} // namespace pixmill
