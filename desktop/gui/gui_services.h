// The desktop program's user-interface service: message boxes, questions,
// file dialogs and modal dialogs, all in one place so that widget tests can
// script the answers by overriding them. It is also the CUserInterface the
// host's errors and the operation dialog go through.
#pragma once

#include "desktop/browser/thumbnail_source.h"
#include "pixmill/user_interface.h"
#include "pixmill/win_types.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>

class QDialog;
class QWidget;

namespace pixmill {

class CPluginHost;

class GuiServices : public CUserInterface {
  public:
    enum class SaveAnswer { Yes, No, Cancel };

    ~GuiServices() override;

    void ShowMessage(const char* caption, const char* text, MessageIcon icon) override;
    bool AskYesNo(const char* caption, const char* text, bool defaultAnswer) override;
    // The operation dialog with the plug-in's pane and a preview on the
    // selection set with SetOperationContext.
    bool RunOperationDialog(CProcessingPlugin* plugin, const CVImage* image) override;
    // A one-line text question (titles of web-page pictures).
    bool AskText(const char* caption, const char* label, char* text, size_t capacity) override;

    // "Save changes to %s?" with Yes, No and Cancel.
    virtual SaveAnswer AskSaveChanges(QWidget* parent, const QString& title);
    virtual QStringList GetOpenFileNames(QWidget* parent, const QString& filters,
                                         const QString& directory);
    virtual QString GetSaveFileName(QWidget* parent, const QString& suggested,
                                    const QString& filters);
    // Runs a modal dialog; QDialog::Accepted or Rejected.
    virtual int RunDialog(QDialog& dialog);

    // The open dialog's preview of the selected file (no preview without).
    void SetOpenPreview(std::function<Thumbnail(const QString&)> source) {
        openPreview = std::move(source);
    }

    void SetParentWindow(QWidget* window) { parent = window; }
    QWidget* ParentWindow() const { return parent; }
    // What the next operation dialog previews on.
    void SetOperationContext(std::optional<RECT> selection) { this->selection = selection; }

  private:
    QWidget* parent = nullptr;
    std::optional<RECT> selection;
    std::function<Thumbnail(const QString&)> openPreview;
};

// Shows the help's "no browser could be started" as a message of the
// services. While one exists it is the application's child named
// kHelpFailureReporter (pixmill/help.h), where the help code finds it.
class HelpFailureReporter : public QObject {
    Q_OBJECT
  public:
    explicit HelpFailureReporter(GuiServices& services);
    Q_INVOKABLE void Report(const QString& text);

  private:
    GuiServices& services;
};

} // namespace pixmill
