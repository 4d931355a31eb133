// CPaneBase: the plumbing every plug-in pane shares. The pane is a QWidget
// built by the plug-in inside the parent widget its site names; controls keep
// their dialog identifiers as the "controlId" property (and object name), so
// behaviour and tests can find them by identifier.
//
// A pane keeps its values in a pane model (pixmill/pane_model.h) and binds
// its number controls to the model's fields with BindNumber; every other
// control forwards its event to the model and calls Accept. Accept shows the
// model in all controls again and tells the site when something changed.
#pragma once

#include "pixmill/number_control.h"
#include "pixmill/pane.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <utility>
#include <vector>

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

    // The re-entry guard: true while the pane sets its own controls, whose
    // change signals are then no user input.
    bool Filling() const { return filling; }
    class FillingScope {
      public:
        explicit FillingScope(CPaneBase& pane) : pane(pane), before(pane.filling) {
            pane.filling = true;
        }
        ~FillingScope() { pane.filling = before; }
        FillingScope(const FillingScope&) = delete;
        FillingScope& operator=(const FillingScope&) = delete;

      private:
        CPaneBase& pane;
        bool before;
    };

  protected:
    // Builds the controls into root (which has no layout yet).
    virtual void Build(QWidget* root) = 0;
    // The image changed (or was set first); give the model what it needs of
    // it. The controls are refreshed afterwards.
    virtual void OnImage() {}
    // Shows what the number controls do not: choices, texts, visibility.
    // Runs under the re-entry guard.
    virtual void OnRefresh() {}

    // Binds number controls to a field of the model (the pane owns the
    // binding); call it from Build.
    CNumberControl& BindNumber(CPaneModel& model, int field, const NumberWidgets& widgets,
                               const TypingRules& rules = {});
    // Shows the model in every control; the edit the user is typing into
    // keeps its text.
    void Refresh(const CNumberControl* typedInto = nullptr);
    // After user input reached the model: refresh, and tell the site when a
    // value changed.
    void Accept(bool changed, const CNumberControl* typedInto = nullptr);
    // Tells the site about an accepted change, unless the pane is filling
    // its own controls.
    void NotifyChanged();

    CPaneSite* site;
    const CVImage* image = nullptr;
    QPointer<QWidget> root;

  private:
    friend class CNumberControl;

    bool filling = false;
    std::vector<std::unique_ptr<CNumberControl>> numbers;
};

// A pane over one settings block: its model starts from the block (and any
// further arguments), and Commit stores the model back into the block.
template <class Model, class Settings> class CModelPane : public CPaneBase {
  public:
    template <class... Extra>
    CModelPane(CPaneSite* site, Settings& settings, Extra&&... extra)
        : CPaneBase(site), settings(settings), model(settings, std::forward<Extra>(extra)...) {}

    bool Commit() override {
        model.Store(settings);
        return true;
    }

  protected:
    Settings& settings;
    Model model;
};

} // namespace pixmill
