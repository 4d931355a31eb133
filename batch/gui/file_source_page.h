// The built-in file source's page: a folder tree ("Look In"), the matching
// files of the folder (with "File Pre&view": size and depth), the file type
// list, the four add and remove buttons and the files chosen for the run.
#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QTreeWidget;

namespace pixmill {

class BatchFileSource;
class FolderTree;
class BatchJob;

class FileSourcePage : public QWidget {
    Q_OBJECT
  public:
    FileSourcePage(BatchJob& job, QWidget* parent);

    // The folder shown; lists its files.
    void ShowFolder(const QString& folder);
    // Puts the page's values into the source: folder, filter, preview and
    // the chosen files; the source starts again before the first file.
    void TakeOver();

    QTreeWidget* FileList() const { return files; }
    QListWidget* ChosenList() const { return chosen; }

  private:
    void ListFiles();
    void AddFiles(bool all);
    void UpdateCount();
    // "%s\t%dx%d  %d bit": name, size and depth from the file's header.
    QString PreviewLine(const QString& path) const;

    BatchFileSource& source;
    BatchJob& job;
    QString folder;
    FolderTree* tree;
    QTreeWidget* files;
    QCheckBox* preview;
    QComboBox* types;
    QListWidget* chosen;
    QLabel* count;
};

} // namespace pixmill
