// The destination's settings page: a first page with the three page kinds,
// their styles and templates, the preview options and the configurations,
// and property pages stepped through with "<  &Previous" / "&Next  >".
// The page edits a copy of the profile; Commit hands it to the destination.
#pragma once

#include "html_profile.h"
#include "pagesmith_pane_model.h"

#include <QWidget>

#include <functional>
#include <vector>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace pixmill::pagesmith {

class WebPageDestination;

class PagesmithPage : public QWidget {
  public:
    PagesmithPage(WebPageDestination& destination, QWidget* parent);
    ~PagesmithPage() override;

    // The edited profile and project name go to the destination.
    void Commit();
    // Shows the profile's values again (after a configuration changed).
    void Refresh();

    // Asks for a file: save = a name to write. Tests replace it.
    std::function<QString(bool save, const QString& filter)> chooseFile;
    // Opens a file or page in the desktop's program; false when none did.
    std::function<bool(const QString& path)> openFile;
    // Where previews are written.
    QString previewFolder;
    // The preview picture used when the profile names none.
    QString defaultPreviewImage;

    int CurrentPage() const;
    const HtmlProfile& Edited() const { return edited; }

  private:
    QWidget* BuildFirstPage();
    QWidget* BuildPropertyPage(PropertyPage& page);
    void Step(int delta);
    void UpdateEnabling();
    void FillConfigurations();
    void ChooseConfiguration(int index);
    void SaveProfileAs();
    void LoadProfile();
    void RemoveProfile();
    void Preview(bool zoom);
    void Edit(const std::string& file);

    WebPageDestination& destination;
    HtmlProfile edited;
    std::vector<PropertyPage> pages;
    std::vector<std::function<void()>> refreshers;
    bool filling = false;

    QStackedWidget* stack = nullptr;
    QPushButton* previous = nullptr;
    QPushButton* next = nullptr;
    QLineEdit* project = nullptr;
    QCheckBox* thumbnails = nullptr;
    QRadioButton* thumbAutomatic = nullptr;
    QRadioButton* thumbTemplate = nullptr;
    QLineEdit* thumbTemplateFile = nullptr;
    QCheckBox* zoom = nullptr;
    QRadioButton* justImage = nullptr;
    QRadioButton* zoomPage = nullptr;
    QRadioButton* zoomAutomatic = nullptr;
    QRadioButton* zoomTemplate = nullptr;
    QLineEdit* zoomTemplateFile = nullptr;
    QCheckBox* index = nullptr;
    QCheckBox* askTitles = nullptr;
    QCheckBox* modern = nullptr;
    QCheckBox* pictureZip = nullptr;
    QLineEdit* galleryTitle = nullptr;
    QLineEdit* pictureSizes = nullptr;
    QCheckBox* keepLocation = nullptr;
    QComboBox* configurations = nullptr;
};

} // namespace pixmill::pagesmith
