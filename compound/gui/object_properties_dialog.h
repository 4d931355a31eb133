// The properties dialogs of the compound image window: the canvas (size and
// background colour) and an object (name, link, hint, new window, hand
// cursor; for a text also its text, font and colour). Nested dialogs (font,
// colour) run through the runner given, so tests can answer them.
#pragma once

#include "compound/compound_object.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace pixmill {

using DialogRunner = std::function<int(QDialog&)>;

class CanvasPropertiesDialog : public QDialog {
    Q_OBJECT
  public:
    CanvasPropertiesDialog(int width, int height, uint32_t background, DialogRunner run,
                           QWidget* parent);
    int CanvasWidth() const;
    int CanvasHeight() const;
    uint32_t Background() const { return background; }
    void SetBackground(uint32_t color);

  private:
    QSpinBox* widthBox;
    QSpinBox* heightBox;
    QPushButton* colorButton;
    uint32_t background;
    DialogRunner run;
};

class ObjectPropertiesDialog : public QDialog {
    Q_OBJECT
  public:
    ObjectPropertiesDialog(const CompoundObject& object, DialogRunner run, QWidget* parent);
    // The object with the dialog's values.
    CompoundObject Result() const;
    // The font or the colour of a text was changed.
    bool FontChanged() const { return fontChanged; }
    void SetFont(const LogFont& font, uint32_t color);

  private:
    void ChooseFont();
    void ChooseColor();
    void ShowFont();

    CompoundObject object;
    DialogRunner run;
    QLineEdit* nameEdit;
    QLineEdit* urlEdit;
    QCheckBox* hintBox;
    QCheckBox* newWindowBox;
    QCheckBox* handBox;
    QPlainTextEdit* textEdit = nullptr;
    QPushButton* fontButton = nullptr;
    QPushButton* colorButton = nullptr;
    bool fontChanged = false;
};

} // namespace pixmill
