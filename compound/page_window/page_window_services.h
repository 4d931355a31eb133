// What the page window asks of the program around it: messages and
// questions, modal dialogs and file names (the program's own service, or a
// scripted one in tests), and how editors are opened on the page's objects.
#pragma once

#include "compound/page_window/compound_editor_opener.h"

#include <QString>

class QDialog;
class QWidget;

namespace pixmill {

class CUserInterface;

class PageWindowServices {
  public:
    enum class SaveAnswer { Yes, No, Cancel };

    virtual ~PageWindowServices();
    // Messages and Yes/No questions.
    virtual CUserInterface& Ui() = 0;
    // Runs a modal dialog; QDialog::Accepted or Rejected.
    virtual int RunDialog(QDialog& dialog) = 0;
    virtual QString GetSaveFileName(QWidget* parent, const QString& suggested,
                                    const QString& filters) = 0;
    // "Save changes to %s?" with Yes, No and Cancel.
    virtual SaveAnswer AskSaveChanges(QWidget* parent, const QString& title) = 0;
};

struct PageWindowHooks {
    // Empty: "Edit Compound image with image mapping" stays disabled.
    CompoundEditorOpener openCompoundEditor;
    ImageFileOpener openImageFile;
    // The image window already open on a picture file, if any (one the user
    // opened by hand counts as the picture's editor).
    ImageFileOpener findImageWindow;
    // The folder whose "Java/" class files go with an applet.
    QString programDirectory;
};

} // namespace pixmill
