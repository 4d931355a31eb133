// Qt helpers for pane tests (offscreen platform): the one QApplication of a
// test program, a pane site that counts change notices, and controls found
// by dialog identifier.
#pragma once

#include "pixmill/pane.h"
#include "pixmill/pane_base.h"

#include <QWidget>

namespace pixmill::test {

// Creates the program's QApplication unless there is one; it lasts until the
// test run ends.
void EnsureApplication();

// The control with dialog identifier id below root, or null.
template <class T> T* FindControl(QWidget* root, int id) {
    return root->findChild<T*>(CPaneBase::ControlName(id));
}

// A pane site: panes are built into `parent`, see `image`, and every change
// notice counts in `changes`.
class TestPaneSite : public CPaneSite {
  public:
    void Changed(CPluginPane*) override { ++changes; }
    QWidget* GetParentWindow() override { return &parent; }
    const CVImage* GetImage() override { return image; }
    template <class T> T* Find(int id) { return FindControl<T>(&parent, id); }

    QWidget parent;
    const CVImage* image = nullptr;
    int changes = 0;
};

} // namespace pixmill::test
