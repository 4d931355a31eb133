// The Preferences dialog: the "General" and "HTML Options" pages, bound to
// the Qt-free PreferencesModel.
#pragma once

#include "desktop/preferences_model.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace pixmill {

class GuiServices;

class PreferencesDialog : public QDialog {
    Q_OBJECT
  public:
    PreferencesDialog(const AppSettings& settings, GuiServices& services, QWidget* parent);
    const PreferencesModel& Model() const { return model; }
    QTabWidget* Pages() const { return pages; }

  protected:
    void done(int result) override;

  private:
    void ToModel();
    void ShowColour();

    PreferencesModel model;
    GuiServices& services;
    QTabWidget* pages;
    QSpinBox* sheetWidth;
    QSpinBox* sheetHeight;
    QCheckBox* progressive;
    QCheckBox* zoomToWindow;
    QCheckBox* turnUpright;
    QCheckBox* saveAsSrgb;
    QSpinBox* previewDelay;
    QLabel* fontText;
    QLineEdit* directory;
    QSpinBox* compoundWidth;
    QSpinBox* compoundHeight;
    QPushButton* background;
    QCheckBox* useGamma;
    QLineEdit* gamma;
};

} // namespace pixmill
