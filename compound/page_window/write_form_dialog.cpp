#include "compound/page_window/write_form_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pixmill {

namespace {

constexpr int kFormCount = WriteFormDialog::kFormCount;
constexpr CompoundForm kForms[kFormCount] = {CompoundForm::ImageMap, CompoundForm::Applet,
                                             CompoundForm::Html, CompoundForm::Responsive};
constexpr const char* kFormTexts[kFormCount] = {"Image with image map", "Applet", "HTML form",
                                                "Image with image map, fitting narrow screens"};
constexpr const char* kFormNames[kFormCount] = {"imageMapForm", "appletForm", "htmlForm",
                                                "responsiveForm"};

} // namespace

WriteFormDialog::WriteFormDialog(CompoundForm chosen, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Save into page"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Write the compound image into the page as:"), this));
    for (int i = 0; i < kFormCount; ++i) {
        buttons[i] = new QRadioButton(QString::fromUtf8(kFormTexts[i]), this);
        buttons[i]->setObjectName(QString::fromUtf8(kFormNames[i]));
        layout->addWidget(buttons[i]);
    }
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(box);
    SetForm(chosen);
}

QRadioButton* WriteFormDialog::Button(CompoundForm form) const {
    for (int i = 0; i < kFormCount; ++i) {
        if (kForms[i] == form) {
            return buttons[i];
        }
    }
    return buttons[2];
}

void WriteFormDialog::SetForm(CompoundForm form) {
    Button(form)->setChecked(true);
}

CompoundForm WriteFormDialog::Form() const {
    for (int i = 0; i < kFormCount; ++i) {
        if (buttons[i]->isChecked()) {
            return kForms[i];
        }
    }
    return CompoundForm::Html;
}

} // namespace pixmill
