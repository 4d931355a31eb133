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
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace pixmill::pineturn {

namespace {
QString AngleText(double angle) {
    return QString::number(angle, 'g', 6).left(6);
}
} // namespace

RotatePane::RotatePane(CPaneSite* site, RotateSettings& settings)
    : CPaneBase(site), settings(settings), state(settings) {}

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
    auto* angle = new QLineEdit(rotateGroup);
    SetControlId(angle, kIdAngle);
    angle->setMaxLength(6);
    angle->setValidator(
        new QRegularExpressionValidator(QRegularExpression("-?\\d*[.,]?\\d*"), angle));
    auto* upDown = new CUpDown(rotateGroup);
    SetControlId(upDown, kIdAngleUpDown);
    upDown->SetBuddy(angle);
    upDown->SetRange(0, 365);
    auto* angleRow = new QHBoxLayout;
    angleRow->addWidget(angle);
    angleRow->addWidget(upDown);
    rotateGrid->addLayout(angleRow, 0, 1);
    rotateGrid->addWidget(radio(rotateGroup, "&90\u00b0", kId90), 1, 0);
    rotateGrid->addWidget(radio(rotateGroup, "&180\u00b0", kId180), 2, 0);
    rotateGrid->addWidget(radio(rotateGroup, "&270\u00b0", kId270), 3, 0);
    outer->addWidget(rotateGroup);

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

    QObject::connect(choices, &QButtonGroup::idClicked, root, [this](int id) { Choose(id); });
    QObject::connect(angle, &QLineEdit::textChanged, root, [this] { AngleTyped(); });
    QObject::connect(backgrounds, &QButtonGroup::idClicked, root, [this](int id) {
        state.smartBackground = id == kIdBackgroundSmart ? 1 : 0;
        NotifyChanged();
    });
    QObject::connect(swatch, &QPushButton::clicked, root, [this] { ChooseColor(); });
}

void RotatePane::OnImage() {
    // An image with a transparent colour fills with that colour.
    const bool transparent = Image() != nullptr && Image()->hasTransparentColor != 0;
    Control<QWidget>(kIdBackgroundGroup)->setVisible(!transparent);

    int choice = kIdCustom;
    if (state.flip == 1) {
        choice = kIdHorizontal;
    } else if (state.flip == 2) {
        choice = kIdVertical;
    } else if (state.angle == 90.0) {
        choice = kId90;
    } else if (state.angle == 180.0) {
        choice = kId180;
    } else if (state.angle == 270.0) {
        choice = kId270;
    }
    Control<QRadioButton>(choice)->setChecked(true);
    const bool customAngle = choice == kIdCustom;
    Control<QLineEdit>(kIdAngle)->setText(AngleText(customAngle ? state.angle : 0.0));
    Control<QRadioButton>(state.smartBackground ? kIdBackgroundSmart : kIdBackgroundCustom)
        ->setChecked(true);
    PaintSwatch();
}

double RotatePane::TypedAngle() const {
    QString text = Control<QLineEdit>(kIdAngle)->text().trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : 0.0;
}

void RotatePane::Choose(int id) {
    switch (id) {
    case kId90:
        state.flip = 0;
        state.angle = 90.0;
        break;
    case kId180:
        state.flip = 0;
        state.angle = 180.0;
        break;
    case kId270:
        state.flip = 0;
        state.angle = 270.0;
        break;
    case kIdHorizontal:
        state.flip = 1;
        break;
    case kIdVertical:
        state.flip = 2;
        break;
    default:
        state.flip = 0;
        state.angle = TypedAngle();
        break;
    }
    NotifyChanged();
}

void RotatePane::AngleTyped() {
    if (filling) {
        return;
    }
    // Typing an angle chooses the custom angle.
    Control<QRadioButton>(kIdCustom)->setChecked(true);
    state.flip = 0;
    state.angle = TypedAngle();
    NotifyChanged();
}

void RotatePane::ChooseColor() {
    auto* dialog = new QColorDialog(QColor(state.red, state.green, state.blue), Widget());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QColorDialog::colorSelected, Widget(), [this](const QColor& color) {
        state.red = static_cast<uint8_t>(color.red());
        state.green = static_cast<uint8_t>(color.green());
        state.blue = static_cast<uint8_t>(color.blue());
        PaintSwatch();
        NotifyChanged();
    });
    dialog->open();
}

void RotatePane::PaintSwatch() {
    auto* swatch = Control<QPushButton>(kIdSwatch);
    const QColor color(state.red, state.green, state.blue);
    swatch->setStyleSheet(QStringLiteral("background-color: %1").arg(color.name()));
    swatch->setProperty("color", color);
}

bool RotatePane::Commit() {
    if (Widget() != nullptr && Control<QRadioButton>(kIdCustom)->isChecked()) {
        state.flip = 0;
        state.angle = TypedAngle();
    }
    settings.flip = state.flip;
    settings.angle = state.angle;
    settings.red = state.red;
    settings.green = state.green;
    settings.blue = state.blue;
    settings.smartBackground = state.smartBackground;
    return true;
}

} // namespace pixmill::pineturn
