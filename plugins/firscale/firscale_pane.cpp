#include "firscale_pane.h"

#include "pixmill/cv_image.h"
#include "pixmill/up_down.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace pixmill::firscale {

namespace {

// Context help topics of the controls.
void SetHelp(QWidget* control, int topic) {
    control->setProperty("helpId", topic);
}

// A value below 1 counts as 1 and stays as typed; a value above the range is
// replaced by the maximum and taken no further.
constexpr TypingRules kWithImage = {false, true, TypingRules::Below::Keep,
                                    TypingRules::Above::RewriteAndStop};
// Without an image the edits are read as they stand when the pane commits.
constexpr TypingRules kWithoutImage = {false, true, TypingRules::Below::Keep,
                                       TypingRules::Above::Keep};

} // namespace

void ResamplePane::Build(QWidget* root) {
    auto* outer = new QVBoxLayout(root);
    auto* group = new QGroupBox(QStringLiteral("Fit to (in pixels)"), root);
    SetControlId(group, kIdGroup);
    outer->addWidget(group);
    auto* grid = new QGridLayout(group);

    struct Row {
        const char* text;
        int labelId, editId, upDownId, percentId, percentUpDownId, percentLabelId;
        int helpPixels, helpPercent;
        ResamplePaneModel::Field pixels, percent;
    };
    const Row rows[2] = {
        {"&Width :", kIdWidthLabel, kIdWidth, kIdWidthUpDown, kIdWidthPercent,
         kIdWidthPercentUpDown, kIdWidthPercentLabel, 92, 94, ResamplePaneModel::Width,
         ResamplePaneModel::WidthPercent},
        {"&Height :", kIdHeightLabel, kIdHeight, kIdHeightUpDown, kIdHeightPercent,
         kIdHeightPercentUpDown, kIdHeightPercentLabel, 93, 95, ResamplePaneModel::Height,
         ResamplePaneModel::HeightPercent},
    };
    for (int r = 0; r < 2; ++r) {
        const Row& row = rows[r];
        auto* label = new QLabel(QString::fromUtf8(row.text), group);
        SetControlId(label, row.labelId);
        QLineEdit* edit = CNumberControl::MakeEdit(group, row.editId, 5, "\\d*");
        label->setBuddy(edit);
        CUpDown* upDown = CNumberControl::MakeUpDown(group, row.upDownId);
        QLineEdit* percent = CNumberControl::MakeEdit(group, row.percentId, 4, "\\d*");
        CUpDown* percentUpDown = CNumberControl::MakeUpDown(group, row.percentUpDownId);
        auto* percentLabel = new QLabel(QStringLiteral("%"), group);
        SetControlId(percentLabel, row.percentLabelId);
        for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(edit),
                           static_cast<QWidget*>(upDown)}) {
            SetHelp(w, row.helpPixels);
        }
        for (QWidget* w : {static_cast<QWidget*>(percentLabel), static_cast<QWidget*>(percent),
                           static_cast<QWidget*>(percentUpDown)}) {
            SetHelp(w, row.helpPercent);
        }
        grid->addWidget(label, r, 0);
        grid->addWidget(edit, r, 1);
        grid->addWidget(upDown, r, 2);
        grid->addWidget(percent, r, 3);
        grid->addWidget(percentUpDown, r, 4);
        grid->addWidget(percentLabel, r, 5);
        numbers[row.pixels] = &BindNumber(model, row.pixels, {edit, nullptr, upDown});
        numbers[row.percent] =
            &BindNumber(model, row.percent, {percent, nullptr, percentUpDown, percentLabel});
    }

    // The two switches: text, control, help topic and the model's setter.
    const struct {
        const char* text;
        int id, help;
        bool (ResamplePaneModel::*set)(bool);
    } boxes[] = {{"&Maintain aspect ratio", kIdKeepAspect, 96, &ResamplePaneModel::SetKeepAspect},
                 {"High-&quality filter (no moiré)", kIdHighQuality, 98,
                  &ResamplePaneModel::SetHighQuality}};
    for (const auto& box : boxes) {
        auto* check = new QCheckBox(QString::fromUtf8(box.text), root);
        SetControlId(check, box.id);
        SetHelp(check, box.help);
        outer->addWidget(check);
        QObject::connect(check, &QCheckBox::toggled, root, [this, set = box.set](bool checked) {
            if (!Filling()) {
                Accept((model.*set)(checked));
            }
        });
    }
    outer->addStretch(1);
}

void ResamplePane::OnImage() {
    if (Image() != nullptr) {
        model.SetImageSize(Image()->Width(), Image()->Height());
    } else {
        model.SetImageSize(0, 0);
    }
    for (CNumberControl* number : numbers) {
        number->SetRules(model.HasImage() ? kWithImage : kWithoutImage);
    }
}

void ResamplePane::OnRefresh() {
    // Without a current image there is nothing to take a percentage of.
    for (int id : {kIdWidthPercentLabel, kIdWidthPercent, kIdWidthPercentUpDown,
                   kIdHeightPercentLabel, kIdHeightPercent, kIdHeightPercentUpDown}) {
        Control<QWidget>(id)->setVisible(model.HasImage());
    }
    Control<QCheckBox>(kIdKeepAspect)->setChecked(model.KeepAspect());
    Control<QCheckBox>(kIdHighQuality)->setChecked(model.HighQuality());
}

} // namespace pixmill::firscale
