// Workspace: what the desktop program's child windows (image windows, the
// image browser, the batch commands) ask of the main window around them,
// without knowing its class. The main frame implements it and connects its
// children's signals itself, so nothing below the top floor includes it.
#pragma once

#include <QList>
#include <QStringList>

#include <memory>

namespace pixmill {

class CGuiServices;
class CImageFrame;
class CPluginManager;
class CQorelImageDoc;
class CStatusProgress;
struct AppSettings;

class Workspace {
  public:
    virtual ~Workspace();

    // Messages, questions, file dialogs and modal dialogs.
    virtual CGuiServices& Services() = 0;
    // The loaded format and processing plug-ins.
    virtual CPluginManager& Plugins() = 0;
    // The global settings records (preview delay, zoom to window ...).
    virtual AppSettings& Settings() = 0;
    // The status bar's progress, which documents and the batch step.
    virtual CStatusProgress* Progress() const = 0;
    // True while a read or a progress-stepped piece of work holds the
    // plug-ins' scratch space: nothing else may decode then.
    virtual bool ScratchInUse() const = 0;

    // Opens files; a file that fails shows its message and opens nothing.
    virtual void OpenFiles(const QStringList& paths) = 0;
    // One file in a new image window (null when it could not be opened).
    virtual CImageFrame* OpenFile(const QString& path) = 0;
    // A new image window on the document.
    virtual CImageFrame* AddDocument(std::unique_ptr<CQorelImageDoc> document) = 0;
    virtual CImageFrame* ActiveFrame() const = 0;
    virtual QList<CImageFrame*> Frames() const = 0;
    // Asks about a modified document; true when its window may close.
    virtual bool QuerySave(CImageFrame* frame) = 0;
};

} // namespace pixmill
