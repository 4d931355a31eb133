// Workspace: what the desktop program's child windows (image windows, the
// image browser, the batch commands) ask of the main window around them,
// without knowing its class. The main frame implements it and connects its
// children's signals itself, so nothing below the top floor includes it.
#pragma once

#include <QList>
#include <QStringList>

#include <memory>

namespace pixmill {

class GuiServices;
class ImageFrame;
class PluginManager;
class ImageDoc;
class StatusProgress;
struct AppSettings;

class Workspace {
  public:
    virtual ~Workspace();

    // Messages, questions, file dialogs and modal dialogs.
    virtual GuiServices& Services() = 0;
    // The loaded format and processing plug-ins.
    virtual PluginManager& Plugins() = 0;
    // The global settings records (preview delay, zoom to window ...).
    virtual AppSettings& Settings() = 0;
    // The status bar's progress, which documents and the batch step.
    virtual StatusProgress* Progress() const = 0;
    // True while a read or a progress-stepped piece of work holds the
    // plug-ins' scratch space: nothing else may decode then.
    virtual bool ScratchInUse() const = 0;

    // Opens files; a file that fails shows its message and opens nothing.
    virtual void OpenFiles(const QStringList& paths) = 0;
    // One file in a new image window (null when it could not be opened).
    virtual ImageFrame* OpenFile(const QString& path) = 0;
    // A new image window on the document.
    virtual ImageFrame* AddDocument(std::unique_ptr<ImageDoc> document) = 0;
    virtual ImageFrame* ActiveFrame() const = 0;
    virtual QList<ImageFrame*> Frames() const = 0;
    // Asks about a modified document; true when its window may close.
    virtual bool QuerySave(ImageFrame* frame) = 0;
};

} // namespace pixmill
