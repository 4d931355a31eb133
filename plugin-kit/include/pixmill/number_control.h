// CNumberControl: an edit, a track bar and an up-down (each optional) bound
// to one number field of a pane model. User input goes to the model; what the
// model then holds comes back into the controls through the pane's Refresh,
// under the pane's one re-entry guard, so no control echoes its own update.
#pragma once

#include "pixmill/pane_model.h"

#include <QString>

class QLineEdit;
class QSlider;
class QWidget;

namespace pixmill {

class CPaneBase;
class CUpDown;

struct NumberWidgets {
    QLineEdit* edit = nullptr;
    QSlider* slider = nullptr;
    CUpDown* upDown = nullptr;
    QWidget* label = nullptr; // enabled and disabled with the controls
    int sliderOffset = 0;     // track bar position = value + offset
};

class CNumberControl {
  public:
    CNumberControl(CPaneBase& pane, CPaneModel& model, int field, const NumberWidgets& widgets,
                   const TypingRules& rules);

    void SetRules(const TypingRules& newRules) { rules = newRules; }
    int Field() const { return field; }
    const NumberWidgets& Widgets() const { return widgets; }

    // Shows the model's value and enabled state; the edit keeps its text when
    // it is the control the user is typing into.
    void Show(bool withEdit);

    // Controls configured the way the panes use them; the bound range comes
    // from the model.
    static QLineEdit* MakeEdit(QWidget* parent, int id, int maxLength,
                               const char* pattern = nullptr);
    static QSlider* MakeSlider(QWidget* parent, int id, int pageStep, int tickInterval = 0);
    static CUpDown* MakeUpDown(QWidget* parent, int id);

  private:
    void Typed(const QString& text);
    void Moved(double value);
    QString Text(double value) const;

    CPaneBase& pane;
    CPaneModel& model;
    int field;
    NumberWidgets widgets;
    TypingRules rules;
};

} // namespace pixmill
