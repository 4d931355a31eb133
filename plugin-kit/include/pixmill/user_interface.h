// The user-interface service: message boxes, questions and the operation
// settings dialog. The GUI installs a Qt implementation, the command line one
// that writes to stderr, tests a scripted one. Without an installed service
// messages go to stderr and questions get their default answer.
#pragma once

#include "pixmill/win_types.h"

#include <cstddef>

namespace pixmill {

class CProcessingPlugin;
class CVImage;

enum class MessageIcon { Stop, Warning, Information, Question };

class PIXMILL_EXPORT CUserInterface {
  public:
    virtual ~CUserInterface();
    virtual void ShowMessage(const char* caption, const char* text, MessageIcon icon) = 0;
    // A Yes/No question; returns true for Yes.
    virtual bool AskYesNo(const char* caption, const char* text, bool defaultAnswer) = 0;
    // The modal settings dialog with preview for the plug-in's current
    // operation; true when the user confirmed. Headless front ends answer true
    // without showing anything, so the stored settings apply.
    virtual bool RunOperationDialog(CProcessingPlugin* plugin, const CVImage* image) = 0;
    // A one-line text question: text (capacity bytes) comes prefilled and
    // receives what was entered; true for OK. Headless front ends keep the
    // prefilled text and answer false.
    virtual bool AskText(const char* caption, const char* label, char* text, size_t capacity) {
        (void)caption, (void)label, (void)text, (void)capacity;
        return false;
    }
};

// The service used by errors' Report(true) in this library. Each library that
// carries the kit has its own pointer; the program sets its own at start.
PIXMILL_EXPORT CUserInterface* GetUserInterface();
PIXMILL_EXPORT void SetUserInterface(CUserInterface* ui);

} // namespace pixmill
