#include "compound/gui/object_properties_dialog.h"

#include "compound/gui/log_font.h"
#include "compound/text_renderer.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace pixmill {

namespace {

QColor QColorOf(uint32_t color) {
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

uint32_t ColorRefOf(const QColor& color) {
    return MakeColorRef(color.red(), color.green(), color.blue());
}

void ShowColor(QPushButton* button, uint32_t color) {
    const QColor shown = QColorOf(color);
    button->setText(shown.name());
    button->setStyleSheet(QStringLiteral("background-color: %1; color: %2")
                              .arg(shown.name(), shown.lightness() < 128 ? "white" : "black"));
}

// Runs the colour dialog through the runner; the colour chosen or nothing.
bool PickColor(const DialogRunner& run, QWidget* parent, uint32_t& color) {
    QColorDialog dialog(QColorOf(color), parent);
    dialog.setObjectName(QStringLiteral("colorDialog"));
    if (run(dialog) != QDialog::Accepted) {
        return false;
    }
    color = ColorRefOf(dialog.currentColor());
    return true;
}

QDialogButtonBox* OkCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

CanvasPropertiesDialog::CanvasPropertiesDialog(int width, int height, uint32_t color,
                                               DialogRunner runner, QWidget* parent)
    : QDialog(parent), background(color), run(std::move(runner)) {
    setObjectName(QStringLiteral("canvasProperties"));
    setWindowTitle(tr("Compound Image Properties"));
    auto* form = new QFormLayout;
    widthBox = new QSpinBox(this);
    widthBox->setObjectName(QStringLiteral("width"));
    widthBox->setRange(1, 32000);
    widthBox->setValue(width);
    heightBox = new QSpinBox(this);
    heightBox->setObjectName(QStringLiteral("height"));
    heightBox->setRange(1, 32000);
    heightBox->setValue(height);
    colorButton = new QPushButton(this);
    colorButton->setObjectName(QStringLiteral("background"));
    ShowColor(colorButton, background);
    connect(colorButton, &QPushButton::clicked, this, [this] {
        if (PickColor(run, this, background)) {
            ShowColor(colorButton, background);
        }
    });
    form->addRow(tr("&Width:"), widthBox);
    form->addRow(tr("&Height:"), heightBox);
    form->addRow(tr("&Background color:"), colorButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancel(this));
}

int CanvasPropertiesDialog::CanvasWidth() const {
    return widthBox->value();
}

int CanvasPropertiesDialog::CanvasHeight() const {
    return heightBox->value();
}

void CanvasPropertiesDialog::SetBackground(uint32_t color) {
    background = color;
    ShowColor(colorButton, background);
}

ObjectPropertiesDialog::ObjectPropertiesDialog(const CompoundObject& edited, DialogRunner runner,
                                               QWidget* parent)
    : QDialog(parent), object(edited), run(std::move(runner)) {
    setObjectName(QStringLiteral("objectProperties"));
    setWindowTitle(QString::fromStdString(object.link.name) + tr(" Properties"));
    auto* form = new QFormLayout;
    if (object.kind == CompoundKind::Text) {
        textEdit = new QPlainTextEdit(QString::fromStdString(object.text), this);
        textEdit->setObjectName(QStringLiteral("text"));
        textEdit->setMaximumHeight(fontMetrics().height() * 5);
        textEdit->setTabChangesFocus(true);
        fontButton = new QPushButton(this);
        fontButton->setObjectName(QStringLiteral("font"));
        connect(fontButton, &QPushButton::clicked, this, [this] { ChooseFont(); });
        colorButton = new QPushButton(this);
        colorButton->setObjectName(QStringLiteral("color"));
        connect(colorButton, &QPushButton::clicked, this, [this] { ChooseColor(); });
        form->addRow(tr("&Text:"), textEdit);
        form->addRow(tr("&Font:"), fontButton);
        form->addRow(tr("&Color:"), colorButton);
        ShowFont();
    }
    nameEdit = new QLineEdit(QString::fromStdString(object.link.name), this);
    nameEdit->setObjectName(QStringLiteral("name"));
    urlEdit = new QLineEdit(QString::fromStdString(object.link.url), this);
    urlEdit->setObjectName(QStringLiteral("url"));
    hintBox = new QCheckBox(tr("Show the name as a &hint"), this);
    hintBox->setObjectName(QStringLiteral("hint"));
    hintBox->setChecked((object.link.flags & HtmlLink::Hint) != 0);
    newWindowBox = new QCheckBox(tr("Open in a &new window"), this);
    newWindowBox->setObjectName(QStringLiteral("newWindow"));
    newWindowBox->setChecked((object.link.flags & HtmlLink::NewWindow) != 0);
    handBox = new QCheckBox(tr("Ha&nd cursor"), this);
    handBox->setObjectName(QStringLiteral("hand"));
    handBox->setChecked((object.link.flags & HtmlLink::Hand) != 0);
    form->addRow(tr("N&ame:"), nameEdit);
    form->addRow(tr("&URL:"), urlEdit);
    form->addRow(QString(), hintBox);
    form->addRow(QString(), newWindowBox);
    form->addRow(QString(), handBox);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancel(this));
}

void ObjectPropertiesDialog::ShowFont() {
    if (fontButton == nullptr) {
        return;
    }
    fontButton->setText(QStringLiteral("%1, %2 px")
                            .arg(QString::fromStdString(FaceNameOf(object.font)))
                            .arg(std::abs(object.font.height)));
    QFont shown = QFontOf(object.font);
    shown.setPixelSize(std::clamp(std::abs(object.font.height), 8, 24));
    fontButton->setFont(shown);
    ShowColor(colorButton, object.textColor);
}

void ObjectPropertiesDialog::SetFont(const LogFont& font, uint32_t color) {
    object.font = font;
    object.textColor = color;
    fontChanged = true;
    ShowFont();
}

void ObjectPropertiesDialog::ChooseFont() {
    // The dialog speaks in points; text objects keep pixels (96 per inch).
    QFont shown = QFontOf(object.font);
    shown.setPointSizeF(std::abs(object.font.height) * 72.0 / 96.0);
    QFontDialog dialog(shown, this);
    dialog.setObjectName(QStringLiteral("fontDialog"));
    if (run(dialog) == QDialog::Accepted) {
        SetFont(LogFontOf(dialog.currentFont(), object.font), object.textColor);
    }
}

void ObjectPropertiesDialog::ChooseColor() {
    uint32_t color = object.textColor;
    if (PickColor(run, this, color)) {
        SetFont(object.font, color);
    }
}

CompoundObject ObjectPropertiesDialog::Result() const {
    CompoundObject out = object;
    out.link.name = nameEdit->text().toStdString();
    out.link.url = urlEdit->text().trimmed().toStdString();
    out.link.flags =
        (object.link.flags & ~(HtmlLink::Hint | HtmlLink::NewWindow | HtmlLink::Hand)) |
        (hintBox->isChecked() ? HtmlLink::Hint : 0) |
        (newWindowBox->isChecked() ? HtmlLink::NewWindow : 0) |
        (handBox->isChecked() ? HtmlLink::Hand : 0);
    if (textEdit != nullptr) {
        out.text = textEdit->toPlainText().toStdString();
    }
    return out;
}

} // namespace pixmill
