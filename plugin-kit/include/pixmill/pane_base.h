// CPaneBase: the plumbing every plug-in pane shares. The pane is a QWidget
// built by the plug-in inside the parent widget its site names; controls keep
// their dialog identifiers as the "controlId" property (and object name), so
// behaviour and tests can find them by identifier.
#pragma once

#include "pixmill/pane.h"

#include <QPointer>
#include <QWidget>

namespace pixmill {

class CVImage;

class CPaneBase : public CPluginPane {
  public:
    explicit CPaneBase(CPaneSite* site);
    virtual ~CPaneBase();

    QWidget* Create() override;
    void SetImage(const CVImage* image) override;
    int GetResultMemorySize() override { return 0; }

    QWidget* Widget() const { return root.data(); }
    CPaneSite* Site() const { return site; }
    const CVImage* Image() const { return image; }

    // Gives a control its dialog identifier.
    static void SetControlId(QWidget* control, int id);
    // Finds a control of the pane by its dialog identifier.
    template <class T> T* Control(int id) const {
        return root ? root->findChild<T*>(ControlName(id)) : nullptr;
    }
    static QString ControlName(int id);

  protected:
    // Builds the controls into root (which has no layout yet).
    virtual void Build(QWidget* root) = 0;
    // The image changed (or was set first); refresh what depends on it.
    virtual void OnImage() {}
    // Tells the site about an accepted change, unless the pane is filling
    // its own controls.
    void NotifyChanged();

    CPaneSite* site;
    const CVImage* image = nullptr;
    QPointer<QWidget> root;
    bool filling = false; // true while the pane sets its own controls
};

} // namespace pixmill
