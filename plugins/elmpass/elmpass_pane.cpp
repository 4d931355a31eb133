#include "elmpass_pane.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

namespace pixmill::elmpass {

StrengthPane::StrengthPane(CPaneSite* site, FilterSettings* settings, int slot, const char* caption)
    : CModelPane(site, *settings, slot), caption(caption != nullptr ? caption : "") {}

void StrengthPane::Build(QWidget* root) {
    auto* layout = new QGridLayout(root);
    auto* label = new QLabel(QString::fromLatin1(caption.c_str()), root);
    SetControlId(label, IdStrengthCaption);
    layout->addWidget(label, 0, 0, 1, 2);
    QSlider* trackBar = CNumberControl::MakeSlider(root, IdStrengthTrackBar, 10, 10);
    layout->addWidget(trackBar, 1, 0);
    QLineEdit* edit = CNumberControl::MakeEdit(root, IdStrengthEdit, 6);
    layout->addWidget(edit, 1, 1);
    BindNumber(model, StrengthPaneModel::Strength, {edit, trackBar});
}

bool StrengthPane::Commit() {
    if (Widget() == nullptr) {
        return false;
    }
    return CModelPane::Commit();
}

} // namespace pixmill::elmpass
