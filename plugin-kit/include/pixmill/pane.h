// Settings and options panes made by plug-ins and embedded by the host in its
// own dialogs. Panes are Qt widgets; the interfaces only name QWidget.
#pragma once

#include "pixmill/win_types.h"

class QWidget;

namespace pixmill {

class CVImage;
class CPluginPane;

class PIXMILL_EXPORT CPaneSite {
  public:
    virtual void Changed(CPluginPane* pane) = 0; // slot 0: after every accepted change
    virtual QWidget* GetParentWindow() = 0;      // slot 1
    virtual const CVImage* GetImage() = 0;       // slot 2

  protected:
    ~CPaneSite() = default;
};

class PIXMILL_EXPORT CPluginPane {
  public:
    // Creates the pane's widget as a child of the site's parent window.
    virtual QWidget* Create() = 0;                   // slot 0
    virtual void SetImage(const CVImage* image) = 0; // slot 1
    virtual bool Commit() = 0;                       // slot 2: controls -> settings
    virtual int GetResultMemorySize() = 0;           // slot 3
    // Slot 4: the plug-in that made a pane deletes it through this
    // destructor (the kit's bases do so in DestroySettingsPane and
    // DestroyOptionsPane), whatever the pane's own class.
    virtual ~CPluginPane();
};

} // namespace pixmill
