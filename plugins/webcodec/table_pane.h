// CTablePane: an options pane built from a table of controls, each bound to
// a field of the pane's model: a number (label, track bar and edit) or a
// check box. The web-format plug-ins describe their panes this way, as a
// constexpr PaneTable that MakeTablePane turns into the pane.
#pragma once

#include "pixmill/pane_base.h"
#include "pixmill/string_table.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QVBoxLayout>

#include <span>

namespace pixmill::web {

struct PaneControl {
    enum Kind { Number, Check };
    Kind kind;
    int field;    // the model's field
    int label;    // string id: the label's or the check box's text
    int id;       // dialog identifier of the edit or the check box
    int sliderId; // dialog identifier of the track bar (numbers)
    int helpTopic;
};

// A pane: its group box title and its controls, texts from the library's
// string table.
struct PaneTable {
    const StringTable* strings;
    int title; // string id
    std::span<const PaneControl> controls;
};

template <class Model, class Settings> class CTablePane : public CModelPane<Model, Settings> {
  public:
    CTablePane(CPaneSite* site, Settings& settings, const PaneTable& table)
        : CModelPane<Model, Settings>(site, settings), strings(*table.strings),
          title(LookupString(strings, table.title)), controls(table.controls) {}

  protected:
    void Build(QWidget* root) override {
        auto* outer = new QVBoxLayout(root);
        outer->setContentsMargins(0, 0, 0, 0);
        auto* group = new QGroupBox(QString::fromUtf8(title), root);
        outer->addWidget(group);
        auto* grid = new QGridLayout(group);
        int row = 0;
        for (const PaneControl& control : controls) {
            if (control.kind == PaneControl::Check) {
                auto* box = new QCheckBox(QString::fromUtf8(Label(control)), group);
                CPaneBase::SetControlId(box, control.id);
                box->setProperty("helpId", control.helpTopic);
                grid->addWidget(box, row++, 0, 1, 3);
                const int field = control.field;
                QObject::connect(box, &QCheckBox::toggled, root, [this, field](bool on) {
                    if (!this->Filling()) {
                        this->Accept(this->model.Set(field, on ? 1 : 0));
                    }
                });
                continue;
            }
            NumberWidgets widgets;
            widgets.slider = CNumberControl::MakeSlider(group, control.sliderId, 1, 1);
            widgets.edit = CNumberControl::MakeEdit(group, control.id, 3, "\\d{0,3}");
            auto* label = new QLabel(QString::fromUtf8(Label(control)), group);
            label->setBuddy(widgets.slider);
            widgets.label = label;
            for (QWidget* part :
                 {static_cast<QWidget*>(widgets.slider), static_cast<QWidget*>(widgets.edit)}) {
                part->setProperty("helpId", control.helpTopic);
            }
            grid->addWidget(label, row, 0);
            grid->addWidget(widgets.slider, row, 1);
            grid->addWidget(widgets.edit, row++, 2);
            this->BindNumber(this->model, control.field, widgets, TypingRules{false, true});
        }
    }

    void OnRefresh() override {
        for (const PaneControl& control : controls) {
            if (control.kind == PaneControl::Check) {
                auto* box = this->template Control<QCheckBox>(control.id);
                box->setChecked(this->model.Value(control.field) != 0);
                box->setEnabled(this->model.Enabled(control.field));
            }
        }
    }

  private:
    const char* Label(const PaneControl& control) const {
        return LookupString(strings, control.label);
    }

    StringTable strings;
    const char* title;
    std::span<const PaneControl> controls;
};

// The pane factory of a format description (MakePane's counterpart) for a
// pane described by table.
template <class Model, const PaneTable& table, class Settings>
CPluginPane* MakeTablePane(CPaneSite* site, Settings* settings) {
    return new CTablePane<Model, Settings>(site, *settings, table);
}

} // namespace pixmill::web
