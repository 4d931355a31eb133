#include "cedarcol_pane.h"

#include "cedarcol_settings.h"
#include "cedarcol_strings.h"

#include "pixmill/up_down.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <utility>

namespace pixmill::cedarcol {

namespace {

// Labels of the dialogs.
constexpr const char* kThresholdText = "&Threshold:";
constexpr const char* kDitherText = "&Dithering:";
constexpr const char* kPaletteText = "&Palette:";
constexpr const char* kColorsText = "&Colors:";
constexpr const char* kBitsText = "&Bits:";
constexpr const char* kToleranceText = "&Web tolerance:";
constexpr const char* kRefineText = "&Refine colours (slower)";

// Typing above the range puts the maximum into the edit; typing below it
// leaves the text, and the value counts as the minimum.
constexpr TypingRules kTyping = {false, true, TypingRules::Below::Keep,
                                 TypingRules::Above::Rewrite};

QLabel* AddLabel(QGridLayout* grid, int row, const char* text, QWidget* buddy) {
    auto* label = new QLabel(QString::fromUtf8(text), grid->parentWidget());
    label->setBuddy(buddy);
    grid->addWidget(label, row, 0);
    return label;
}

// An edit with an up-down after it, in one row of the grid; label: set to
// the row's label when it goes with the controls' enabled state.
NumberWidgets AddUpDownRow(QGridLayout* grid, int row, const char* text, int editId, int upDownId,
                           int maxChars, QLabel** label = nullptr) {
    QWidget* parent = grid->parentWidget();
    NumberWidgets widgets;
    widgets.edit = CNumberControl::MakeEdit(parent, editId, maxChars, "\\d*");
    widgets.upDown = CNumberControl::MakeUpDown(parent, upDownId);
    QLabel* rowLabel = AddLabel(grid, row, text, widgets.edit);
    if (label != nullptr) {
        *label = rowLabel;
        widgets.label = rowLabel;
    }
    grid->addWidget(widgets.edit, row, 1);
    grid->addWidget(widgets.upDown, row, 2);
    return widgets;
}

// A track bar with its edit after it, in one row of the grid.
NumberWidgets AddTrackBarRow(QGridLayout* grid, int row, const char* text, int trackBarId,
                             int editId) {
    QWidget* parent = grid->parentWidget();
    NumberWidgets widgets;
    widgets.slider = CNumberControl::MakeSlider(parent, trackBarId, 1);
    widgets.edit = CNumberControl::MakeEdit(parent, editId, 2, "\\d*");
    AddLabel(grid, row, text, widgets.slider);
    grid->addWidget(widgets.slider, row, 1);
    grid->addWidget(widgets.edit, row, 2);
    return widgets;
}

} // namespace

// ---------------------------------------------------------- black and white

BlackWhitePane::BlackWhitePane(CPaneSite* site, ColorPaneTarget target)
    : CPaneBase(site), target(std::move(target)),
      model(this->target.settings, this->target.mapping.ditherLevel) {}

void BlackWhitePane::Build(QWidget* root) {
    auto* grid = new QGridLayout(root);
    QLabel* thresholdLabel = nullptr;
    NumberWidgets threshold =
        AddUpDownRow(grid, 0, kThresholdText, IdcThreshold, IdcThresholdUpDown, 3, &thresholdLabel);
    SetControlId(thresholdLabel, IdcThresholdLabel);
    BindNumber(model, BlackWhitePaneModel::Threshold, threshold, kTyping);
    BindNumber(model, BlackWhitePaneModel::Dither,
               AddTrackBarRow(grid, 1, kDitherText, IdcDither, IdcDitherEdit), kTyping);
}

bool BlackWhitePane::Commit() {
    if (!root) {
        return false;
    }
    model.Store(target.settings, target.mapping.ditherLevel);
    return true;
}

// ----------------------------------------------------------------- paletted

PalettePane::PalettePane(CPaneSite* site, ColorPaneTarget target)
    : CPaneBase(site), target(std::move(target)),
      model(this->target.settings, this->target.mapping.ditherLevel, this->target.mapping.tolerance,
            this->target.mapping.highQuality != 0) {}

void PalettePane::Build(QWidget* root) {
    auto* grid = new QGridLayout(root);
    kindBox = new QComboBox(root);
    SetControlId(kindBox, IdcPaletteKind);
    for (int kind = 0; kind < kPaletteKindCount; ++kind) {
        kindBox->addItem(QString::fromUtf8(LookupString(kStrings, IdsPaletteKindFirst + kind)));
    }
    AddLabel(grid, 0, kPaletteText, kindBox);
    grid->addWidget(kindBox, 0, 1, 1, 2);
    BindNumber(model, PalettePaneModel::Colors,
               AddUpDownRow(grid, 1, kColorsText, IdcColors, IdcColorsUpDown, 3), kTyping);
    BindNumber(model, PalettePaneModel::Bits,
               AddUpDownRow(grid, 2, kBitsText, IdcBits, IdcBitsUpDown, 1), kTyping);
    BindNumber(model, PalettePaneModel::Dither,
               AddTrackBarRow(grid, 3, kDitherText, IdcDither, IdcDitherEdit), kTyping);
    BindNumber(model, PalettePaneModel::Tolerance,
               AddTrackBarRow(grid, 4, kToleranceText, IdcTolerance, IdcToleranceEdit), kTyping);
    refineBox = new QCheckBox(QString::fromUtf8(kRefineText), root);
    SetControlId(refineBox, IdcHighQuality);
    grid->addWidget(refineBox, 5, 0, 1, 3);

    QObject::connect(kindBox, &QComboBox::currentIndexChanged, root, [this](int index) {
        if (!Filling()) {
            Accept(model.SetKind(index));
        }
    });
    QObject::connect(refineBox, &QCheckBox::toggled, root, [this](bool on) {
        if (!Filling()) {
            Accept(model.SetHighQuality(on));
        }
    });
}

void PalettePane::OnRefresh() {
    kindBox->setCurrentIndex(model.Kind());
    refineBox->setChecked(model.HighQuality());
    refineBox->setEnabled(model.HighQualityEnabled());
}

bool PalettePane::Commit() {
    if (!root) {
        return false;
    }
    model.Store(target.settings, target.mapping.ditherLevel, target.mapping.tolerance,
                target.mapping.highQuality);
    target.loadPalette(model.Kind());
    return true;
}

} // namespace pixmill::cedarcol
