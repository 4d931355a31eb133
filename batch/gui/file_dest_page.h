// The built-in file destination's page: "Save To" with a folder tree, the
// thumbnail group (size, name expansion, fit, discard aspect ratio, smart
// cut), the two naming radios, "Generate Thumbnails &Only" and "JPEG
// Enhancement". TakeOver puts the values into the destination, whose
// ApplyPage then validates them.
#pragma once

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace pixmill {

class BatchFileDest;
class FolderTree;

class FileDestPage : public QWidget {
    Q_OBJECT
  public:
    FileDestPage(BatchFileDest& destination, QWidget* parent);
    void TakeOver();
    QLineEdit* PathField() const { return path; }

  private:
    void UpdateEnabling();

    BatchFileDest& destination;
    QLineEdit* path;
    FolderTree* tree;
    QSpinBox* enhance;
    QSpinBox* width;
    QSpinBox* height;
    QCheckBox* thumbnails;
    QLineEdit* thumbName;
    QCheckBox* fit;
    QRadioButton* discard;
    QRadioButton* smartCut;
    QRadioButton* askName;
    QRadioButton* originalName;
    QCheckBox* thumbnailsOnly;
};

} // namespace pixmill
