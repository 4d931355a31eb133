// OpenDialog: the program's file dialog for opening pictures, with a
// preview beside the file list: the selected picture's thumbnail, its pixel
// size and depth, and the file's size. The filters are "All supported
// images" and one per format.
#pragma once

#include "desktop/browser/thumbnail_source.h"

#include <QFileDialog>

#include <functional>

class QLabel;

namespace pixmill {

class OpenDialog : public QFileDialog {
    Q_OBJECT
  public:
    // preview: the thumbnail of a file (failed when it has none to show).
    OpenDialog(QWidget* parent, const QString& filters, const QString& directory,
               std::function<Thumbnail(const QString&)> preview);

    // Shows a file in the preview area (the dialog calls it as the current
    // file changes).
    void ShowPreview(const QString& path);
    QLabel* PreviewPicture() const { return picture; }
    QLabel* PreviewText() const { return text; }

  private:
    std::function<Thumbnail(const QString&)> preview;
    QLabel* picture;
    QLabel* text;
    QString shown; // the file in the preview
};

} // namespace pixmill
