#include "pineturn_pane.h"

#include "pixmill/cv_image.h"
#include "pixmill/up_down.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pixmill::pineturn {

namespace {

using Choice = RotatePaneModel::Choice;

struct ChoiceControl {
    int id;
    Choice choice;
};
constexpr ChoiceControl kChoices[] = {
    {kIdCustom, Choice::Custom},
    {kId90, Choice::Turn90},
    {kId180, Choice::Turn180},
    {kId270, Choice::Turn270},
    {kIdHorizontal, Choice::FlipHorizontal},
    {kIdVertical, Choice::FlipVertical},
};

// Any text counts: what is no number is 0 degrees; the text stays as typed.
constexpr TypingRules kAngleTyping = {true, true, TypingRules::Below::Keep,
                                      TypingRules::Above::Keep};

} // namespace

void RotatePane::Build(QWidget* root) {
    auto* outer = new QVBoxLayout(root);
    auto* choices = new QButtonGroup(root);
    auto radio = [&](QWidget* parent, const char* text, int id) {
        auto* button = new QRadioButton(QString::fromUtf8(text), parent);
        SetControlId(button, id);
        choices->addButton(button, id);
        return button;
    };

    auto* rotateGroup = new QGroupBox(QStringLiteral("Rotate"), root);
    auto* rotateGrid = new QGridLayout(rotateGroup);
    rotateGrid->addWidget(radio(rotateGroup, "Custo&m", kIdCustom), 0, 0);
    QLineEdit* angle = CNumberControl::MakeEdit(rotateGroup, kIdAngle, 6, "-?\\d*[.,]?\\d*");
    CUpDown* upDown = CNumberControl::MakeUpDown(rotateGroup, kIdAngleUpDown);
    auto* angleRow = new QHBoxLayout;
    angleRow->addWidget(angle);
    angleRow->addWidget(upDown);
    rotateGrid->addLayout(angleRow, 0, 1);
    rotateGrid->addWidget(radio(rotateGroup, "&90\u00b0", kId90), 1, 0);
    rotateGrid->addWidget(radio(rotateGroup, "&180\u00b0", kId180), 2, 0);
    rotateGrid->addWidget(radio(rotateGroup, "&270\u00b0", kId270), 3, 0);
    outer->addWidget(rotateGroup);
    BindNumber(model, RotatePaneModel::CustomAngle, {angle, nullptr, upDown}, kAngleTyping);
    upDown->SetRange(0, 365); // the arrows step through one turn and a little

    auto* flipGroup = new QGroupBox(QStringLiteral("Flip"), root);
    auto* flipLayout = new QVBoxLayout(flipGroup);
    flipLayout->addWidget(radio(flipGroup, "Ho&rizontal", kIdHorizontal));
    flipLayout->addWidget(radio(flipGroup, "&Vertical", kIdVertical));
    outer->addWidget(flipGroup);

    auto* backgroundGroup = new QGroupBox(QStringLiteral("Background Color"), root);
    SetControlId(backgroundGroup, kIdBackgroundGroup);
    auto* backgroundLayout = new QGridLayout(backgroundGroup);
    auto* backgrounds = new QButtonGroup(root);
    auto* custom = new QRadioButton(QStringLiteral("Cus&tom"), backgroundGroup);
    SetControlId(custom, kIdBackgroundCustom);
    auto* smart = new QRadioButton(QStringLiteral("&Smart selection"), backgroundGroup);
    SetControlId(smart, kIdBackgroundSmart);
    backgrounds->addButton(custom, kIdBackgroundCustom);
    backgrounds->addButton(smart, kIdBackgroundSmart);
    auto* swatch = new QPushButton(backgroundGroup);
    SetControlId(swatch, kIdSwatch);
    swatch->setFixedSize(40, 20);
    backgroundLayout->addWidget(custom, 0, 0);
    backgroundLayout->addWidget(swatch, 0, 1);
    backgroundLayout->addWidget(smart, 1, 0, 1, 2);
    outer->addWidget(backgroundGroup);
    outer->addStretch(1);

    QObject::connect(choices, &QButtonGroup::idClicked, root, [this](int id) {
        for (const ChoiceControl& control : kChoices) {
            if (control.id == id) {
                Accept(model.Choose(control.choice));
            }
        }
    });
    QObject::connect(backgrounds, &QButtonGroup::idClicked, root, [this](int id) {
        Accept(model.SetSmartBackground(id == kIdBackgroundSmart));
    });
    QObject::connect(swatch, &QPushButton::clicked, root, [this] { ChooseColor(); });
}

void RotatePane::OnImage() {
    model.SetTransparentImage(Image() != nullptr && Image()->hasTransparentColor != 0);
}

void RotatePane::OnRefresh() {
    Control<QWidget>(kIdBackgroundGroup)->setVisible(model.BackgroundOffered());
    for (const ChoiceControl& control : kChoices) {
        if (control.choice == model.Chosen()) {
            Control<QRadioButton>(control.id)->setChecked(true);
        }
    }
    const RotateSettings& state = model.State();
    Control<QRadioButton>(state.smartBackground ? kIdBackgroundSmart : kIdBackgroundCustom)
        ->setChecked(true);
    auto* swatch = Control<QPushButton>(kIdSwatch);
    const QColor color(state.red, state.green, state.blue);
    swatch->setStyleSheet(QStringLiteral("background-color: %1").arg(color.name()));
    swatch->setProperty("color", color);
}

void RotatePane::ChooseColor() {
    const RotateSettings& state = model.State();
    auto* dialog = new QColorDialog(QColor(state.red, state.green, state.blue), Widget());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QColorDialog::colorSelected, Widget(), [this](const QColor& color) {
        Accept(model.SetBackground(static_cast<uint8_t>(color.red()),
                                   static_cast<uint8_t>(color.green()),
                                   static_cast<uint8_t>(color.blue())));
    });
    dialog->open();
}

} // namespace pixmill::pineturn
